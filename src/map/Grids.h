// Node grid of the view plane, wavenumber grid and the "Авто" range rule.
#pragma once

#include <optional>
#include <string>

#include "calc/NetworkModel.h"

namespace valdrin::map {

struct TAxisRange {
    double Min = 0, Max = 0, Step = 0, Centre = 0;
    bool operator==(const TAxisRange &) const = default;
};

struct TRanges {
    TAxisRange X { -2000, 2000, 50, 0 };
    TAxisRange Y { -2000, 2000, 50, 0 };
    TAxisRange Z { 300, 500, 20, 400 };
    bool operator==(const TRanges &) const = default;
};

// Always fills the range fields; NU = NV = 0 when a step is 0 or below, a
// minimum lies above its maximum, a value is not finite, or the plane would
// have more than 4001 * 4001 nodes.
calc::TPlaneGrid UpdatePlaneGrid(const TRanges &ranges, calc::TViewPlane plane);
bool IsUsable(const calc::TPlaneGrid &grid);

// KCount = 0 and DK kept as given when DK is 0 or below (or not finite), or
// KMax is negative: no grid. A ratio above 1e9 pins KCount at 1e9, which the
// response refuses as too large.
calc::TWaveGrid UpdateWaveGrid(double KMax, double DK);
bool IsUsable(const calc::TWaveGrid &grid);

// The "Авто" rule for one axis from that axis's station coordinates
// (non-finite entries skipped); nullopt when there are none. In metres the
// step is a whole number near a tenth of the span; in degrees (longitude or
// latitude) it is the step of the 1-2-5 series (0.001, 0.002, 0.005, 0.01 ...
// degrees) nearest a tenth of the span, so a network a fraction of a degree
// wide gets about as many nodes as one in metres. The range is rounded
// outward to the step.
std::optional<TAxisRange> AutoRange(const calc::TDoubleDynArray &coords, bool degrees = false);

// The Russian message for an unusable grid, for the caller to show; empty
// for a usable one.
std::string PlaneGridProblem(const calc::TPlaneGrid &grid);

} // namespace valdrin::map
