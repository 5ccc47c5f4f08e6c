// What goes around the map: tick values and their labels, axis titles, the
// scale bar and the title line. Texts are Russian, numbers carry the decimal
// separator passed in.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "calc/Result.h"
#include "map/MapCore.h"

namespace valdrin::map {

// Units of one map axis.
enum class TAxisKind {
    Metres, // X or Y in metres; kilometres when the range exceeds 10 km
    Elevation, // Z of a section, always metres
    Longitude, // degrees with E / W
    Latitude, // degrees with N / S
    Wavenumber, // cycles per metre
    Frequency // Hz
};

// Smallest step of the 1-2-5 series (..., 0.1, 0.2, 0.5, 1, 2, 5, 10, ...)
// at or above rough; 1 for a rough step that is not finite and positive.
double NiceStep(double rough);

struct TTick {
    double Value = 0; // plane units (metres even when labelled in km)
    std::string Label; // e.g. "-1500", "12,5", "43.12°E"
};

struct TAxisTicks {
    double Step = 0; // plane units
    bool Km = false; // labels and title in kilometres
    std::vector<TTick> Ticks;
    std::string Title; // e.g. "X, км", "Широта", "Z (высота), м"
};

constexpr double kKmSwitchSpan = 10000; // m: a wider range is labelled in km

// Ticks on lo .. hi (both included when they fall on a step) for at most
// maxTicks ticks (at least 2). name is the axis letter used in the title ("X").
TAxisTicks ChooseTicks(double lo, double hi, TAxisKind kind, int maxTicks, const std::string &name,
    char decimalSep = '.');

// One tick label: digits after the separator as the step needs.
std::string TickLabel(double value, double step, TAxisKind kind, bool km, char decimalSep = '.');

// Axis units of a map picture: in XY X, Y (or longitude, latitude), in YZ
// and XZ the horizontal axis and the elevation; on the response map K or F.
struct TAxisKinds {
    TAxisKind U = TAxisKind::Metres, V = TAxisKind::Metres;
    std::string UName = "X", VName = "Y";
};
TAxisKinds PlaneAxisKinds(calc::TViewPlane plane, bool degrees);
TAxisKinds ResponseAxisKinds(calc::TShowMode mode);

// Scale bar: the longest 1-2-5 ground length that fits in maxPixels.
struct TScaleBar {
    double Metres = 0; // 0: nothing fits (or the scale is unusable)
    double Pixels = 0;
    std::string Label; // "500 м", "2 км"
};
TScaleBar ChooseScaleBar(double pixelsPerMetre, double maxPixels, char decimalSep = '.');

// What the title line needs beyond the picture itself.
struct TTitleInfo {
    int k = 0; // stations that must register (0: not shown)
    std::optional<calc::TMediumKind> Medium; // not shown when unset
    std::optional<std::time_t> RunTime; // the run's end, local time
    std::string Quantity; // names a derived map's quantity instead of the result's
};

// "Минимальная магнитуда — плоскость XY, Z = 400 м — k = 3 — однородная среда —
// 05.03.2025 14:07": the quantity, the plane and its fixed coordinate, k,
// the medium and the run's date and time, each part only when known (k and
// the medium not on the response map).
std::string MapTitleLine(TMapPicture picture, const calc::TResult &result, TResponseUnit unit,
    calc::TViewPlane plane, const calc::TPlaneGrid &grid, bool degrees, const TTitleInfo &info,
    char decimalSep = '.');

} // namespace valdrin::map
