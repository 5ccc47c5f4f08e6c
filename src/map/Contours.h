// Contour lines of a node matrix: marching squares with linear interpolation
// along the cell edges, the segments joined into polylines.
#pragma once

#include <string>
#include <vector>

#include "common/MathRout.h"
#include "map/MapFrame.h"

namespace valdrin::map {

using TPolyline = std::vector<TPointF>;

// Lines of m[i][j] == level in node-index coordinates (X = i, Y = j). A cell
// with a corner that is not finite (NaN: no value, +inf: not registered)
// gives no segment, so the line stops at it instead of bending round it. A
// closed line ends with its first point again. Columns of unequal length are
// read up to the shortest.
std::vector<TPolyline> ContourLines(const common::TMatrix2D &m, double level);

// About `about` round levels (1-2-5 step) strictly inside lo .. hi; none for
// a range that is not finite and positive.
std::vector<double> AutoContourLevels(double lo, double hi, int about = 6);

// What the user asked for: "auto" ("авто") or a list of levels such as
// "0 0.5 1 1.5" (blanks or ';' between, a point or a comma as the decimal
// separator; with a comma, ';' or blanks separate). "" or "нет" / "none": no
// lines. Throws common::TValdrinError with the Russian message for any other
// text.
struct TContourLevels {
    bool Auto = false;
    std::vector<double> Levels; // sorted, no repeats
    bool operator==(const TContourLevels &) const = default;
};
TContourLevels ParseContourLevels(const std::string &text);

// Places along a line (page pixels) for its level's label: every `spacing`
// pixels of arc length, starting half a spacing in; a line shorter than
// minLength gets none. Angle in radians of the line there, turned into
// -pi/2 .. pi/2 so that the text never stands upside down.
struct TLineLabel {
    TPointF At;
    double Angle = 0;
};
std::vector<TLineLabel> LineLabelPlaces(const TPolyline &line, double spacing, double minLength);

} // namespace valdrin::map
