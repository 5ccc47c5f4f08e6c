// Node grid of the view plane, wavenumber grid and the "Авто" range rule.
// Node counts are worked out in double and checked before they become ints,
// so no step, range or ratio can divide by zero or overflow.
#include "map/Grids.h"

#include <algorithm>
#include <cmath>

namespace valdrin::map {

using calc::TPlaneGrid;
using calc::TViewPlane;
using calc::TWaveGrid;
using enum calc::TViewPlane;

namespace {

// The 0.0001 keeps a range of exactly n steps at n + 1 nodes.
constexpr double kRangeSlack = 0.0001;

// Largest node count of a plane: a matrix of 16 million doubles (128 MB) is
// the most a run is allowed to allocate.
constexpr double kMaxPlaneNodes = 4001.0 * 4001.0;

// Beyond this KMax / DK ratio KCount is pinned there: 2 * KCount + 1 still
// fits an int and the response refuses such a grid as too large.
constexpr double kMaxKCount = 1e9;

bool AllFinite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

bool AxisShapeOk(double lo, double hi, double step)
{
    return AllFinite({ lo, hi, step }) && step > 0 && lo <= hi;
}

double AxisNodes(double lo, double hi, double step)
{
    return std::ceil((hi - lo + kRangeSlack) / step);
}

} // namespace

TPlaneGrid UpdatePlaneGrid(const TRanges &ranges, TViewPlane plane)
{
    const TAxisRange *u = &ranges.X, *v = &ranges.Y;
    double w = ranges.Z.Centre;
    switch (plane) {
    case vpYZ:
        u = &ranges.Y;
        v = &ranges.Z;
        w = ranges.X.Centre;
        break;
    case vpXZ:
        u = &ranges.X;
        v = &ranges.Z;
        w = ranges.Y.Centre;
        break;
    case vpXY:
    default:
        break;
    }
    TPlaneGrid g;
    g.UMin = u->Min;
    g.UMax = u->Max;
    g.UStep = u->Step;
    g.VMin = v->Min;
    g.VMax = v->Max;
    g.VStep = v->Step;
    g.WPlane = w;
    if (!AxisShapeOk(g.UMin, g.UMax, g.UStep) || !AxisShapeOk(g.VMin, g.VMax, g.VStep)
        || !std::isfinite(g.WPlane))
        return g;
    const double nu = AxisNodes(g.UMin, g.UMax, g.UStep);
    const double nv = AxisNodes(g.VMin, g.VMax, g.VStep);
    // A NaN product (inf range) fails this test as well.
    if (!(nu >= 1 && nv >= 1 && nu * nv <= kMaxPlaneNodes))
        return g;
    g.NU = static_cast<int>(nu);
    g.NV = static_cast<int>(nv);
    return g;
}

bool IsUsable(const TPlaneGrid &grid)
{
    return grid.NU >= 1 && grid.NV >= 1 && AxisShapeOk(grid.UMin, grid.UMax, grid.UStep)
        && AxisShapeOk(grid.VMin, grid.VMax, grid.VStep) && std::isfinite(grid.WPlane)
        && static_cast<double>(grid.NU) * grid.NV <= kMaxPlaneNodes;
}

TWaveGrid UpdateWaveGrid(double KMax, double DK)
{
    TWaveGrid g;
    g.KMax = KMax;
    g.DK = DK;
    if (!(DK > 0) || !std::isfinite(DK) || !(KMax >= 0) || !std::isfinite(KMax))
        return g;
    const double ratio = KMax / DK;
    g.KCount = ratio >= kMaxKCount ? static_cast<int>(kMaxKCount)
                                   : static_cast<int>(std::nearbyint(ratio)); // ties to even
    return g;
}

bool IsUsable(const TWaveGrid &grid)
{
    return grid.DK > 0 && std::isfinite(grid.DK) && grid.KMax >= 0 && std::isfinite(grid.KMax)
        && grid.KCount >= 0 && grid.KCount <= static_cast<int>(kMaxKCount);
}

namespace {

// A step of the 1-2-5 series as Mantissa * 10^Exponent.
struct TSeriesStep {
    double Mantissa = 1; // 1, 2 or 5
    int Exponent = 0;
    double Value() const
    {
        return Exponent < 0 ? Mantissa / std::pow(10.0, -Exponent)
                            : Mantissa * std::pow(10.0, Exponent);
    }
};

// Smallest step in degrees: about 111 m of latitude.
constexpr int kMinDegreeExponent = -3;

// The 1-2-5 step nearest the target on a logarithmic scale (ties to the
// smaller), at least 10^kMinDegreeExponent.
TSeriesStep NearestSeriesStep(double target)
{
    TSeriesStep best { 1, kMinDegreeExponent };
    if (!(target > best.Value()))
        return best;
    const double lg = std::log10(target);
    double bestMiss = INFINITY;
    const int e0 = static_cast<int>(std::floor(lg)) - 1;
    for (int e = std::max(e0, kMinDegreeExponent); e <= e0 + 2; ++e)
        for (double m : { 1.0, 2.0, 5.0 }) {
            const TSeriesStep c { m, e };
            const double miss = std::fabs(std::log10(c.Value()) - lg);
            if (miss < bestMiss) {
                bestMiss = miss;
                best = c;
            }
        }
    return best;
}

// x rounded down (or up) to a whole number; within a relative 1e-9 of a
// whole number it is that number, so a value on the grid stays on it.
double FloorNear(double x, bool up)
{
    const double r = std::nearbyint(x);
    if (std::fabs(x - r) <= 1e-9 * std::max(1.0, std::fabs(x)))
        return r;
    return up ? std::ceil(x) : std::floor(x);
}

// min, max = lo, hi rounded outward to the step, each worked out as a whole
// count of Mantissa over (or times) a power of ten, so 59.99 comes out as
// the double nearest 59.99 rather than 5999 * 0.01.
std::optional<TAxisRange> DegreeRange(double lo, double hi)
{
    const TSeriesStep step = NearestSeriesStep((hi - lo) / 10);
    const double scale = std::pow(10.0, std::abs(step.Exponent));
    auto toUnits = [&](double x) { return step.Exponent < 0 ? x * scale : x / scale; };
    auto fromUnits = [&](double n) { return step.Exponent < 0 ? n / scale : n * scale; };
    const double nMin = FloorNear(toUnits(lo) / step.Mantissa, false) * step.Mantissa;
    const double nMax = FloorNear(toUnits(hi) / step.Mantissa, true) * step.Mantissa;
    TAxisRange r;
    r.Step = step.Value();
    r.Min = fromUnits(nMin);
    r.Max = fromUnits(nMax);
    r.Centre = fromUnits((nMin + nMax) / 2);
    if (!AllFinite({ r.Min, r.Max, r.Centre, r.Step }))
        return std::nullopt;
    return r;
}

} // namespace

std::optional<TAxisRange> AutoRange(const calc::TDoubleDynArray &coords, bool degrees)
{
    bool any = false;
    double lo = 0, hi = 0;
    for (double c : coords) {
        if (!std::isfinite(c))
            continue;
        lo = any ? std::min(lo, c) : c;
        hi = any ? std::max(hi, c) : c;
        any = true;
    }
    if (!any)
        return std::nullopt;
    if (degrees)
        return DegreeRange(lo, hi);
    // nearbyint keeps ties to even (298.5 -> 298); the step is a whole number >= 1.
    const double step = std::max(std::nearbyint((hi - lo) / 10), 1.0);
    if (!std::isfinite(step))
        return std::nullopt;
    TAxisRange r;
    r.Step = step;
    r.Min = std::floor(lo / step) * step;
    r.Max = std::ceil(hi / step) * step;
    r.Centre = (r.Min + r.Max) / 2;
    if (!AllFinite({ r.Min, r.Max, r.Centre }))
        return std::nullopt;
    return r;
}

std::string PlaneGridProblem(const TPlaneGrid &grid)
{
    if (IsUsable(grid))
        return {};
    if (!AllFinite(
            { grid.UMin, grid.UMax, grid.UStep, grid.VMin, grid.VMax, grid.VStep, grid.WPlane }))
        return "Недопустимое значение в диапазонах сетки";
    if (!(grid.UStep > 0) || !(grid.VStep > 0))
        return "Шаг сетки должен быть больше нуля";
    if (grid.UMin > grid.UMax || grid.VMin > grid.VMax)
        return "Минимум диапазона сетки больше максимума";
    return "Слишком много узлов сетки: увеличьте шаг или сузьте диапазон";
}

} // namespace valdrin::map
