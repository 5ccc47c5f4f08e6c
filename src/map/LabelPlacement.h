// Station name labels that never cover each other or a station mark: each
// label takes the first free one of eight places around its mark, else the
// nearest free spot further out, joined to the mark by a short leader line.
#pragma once

#include <vector>

#include "map/MapFrame.h"

namespace valdrin::map {

struct TLabelItem {
    TPointF Centre; // station mark centre, pixels
    TRectF Mark; // what the mark covers (circle and number), pixels
    double W = 0, H = 0; // label size, pixels; W <= 0: no label
};

struct TLabelPlace {
    bool Placed = false; // false: no label (empty, or no free spot found)
    TRectF Rect;
    bool Leader = false; // draw a line From (the mark's edge) To (the label)
    TPointF From, To;
};

// Places the labels in item order. A label stays inside bounds when it can;
// when all of bounds is taken it goes outside. Labels of marks whose centre
// lies outside bounds are not placed.
std::vector<TLabelPlace> PlaceLabels(const std::vector<TLabelItem> &items, const TRectF &bounds);

} // namespace valdrin::map
