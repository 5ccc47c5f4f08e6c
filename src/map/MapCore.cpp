// Pixel geometry and result pictures. Every real-to-pixel and real-to-index
// conversion rounds to the nearest integer, ties to even (common::RoundEven);
// indices are checked against the matrix before every read.
#include "map/MapCore.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace valdrin::map {

using namespace calc;
using enum TShowMode;

namespace {

// Pixel coordinates beyond this are far off any image; clamping keeps the
// conversion to an integer defined for absurd station coordinates.
constexpr double kPixelLimit = 1e6;

int ToPixel(double x)
{
    if (std::isnan(x))
        return 0;
    return static_cast<int>(common::RoundEven(std::clamp(x, -kPixelLimit, kPixelLimit)));
}

// Row-major index of a pixel already checked to lie inside the image.
std::size_t PixelIndex(int width, int x, int y)
{
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width)
        + static_cast<std::size_t>(x);
}

bool IsResponseMode(TShowMode m)
{
    return m == smCdK || m == smCdF;
}

bool IsVolumeMode(TShowMode m)
{
    return m == smMinMagnitude || m == smLocError || m == smCornerFreq || m == smSourceSize;
}

} // namespace

TMapGeometry::TMapGeometry(int width, int height)
    : W(std::max(width, 1))
    , H(std::max(height, 1))
    , MapCentre { W / 2, H / 2 }
{
}

void TMapGeometry::SetStationScale(const TPlaneGrid &grid)
{
    auto span = [](double lo, double hi) {
        const double s = hi - lo;
        return (std::isfinite(s) && s > 0) ? s : 1.0;
    };
    MapScaleX = W / span(grid.UMin, grid.UMax);
    MapScaleY = H / span(grid.VMin, grid.VMax);
}

void TMapGeometry::SetResponseScale(int L)
{
    L = std::max(L, 1);
    MapScaleX = MapScaleY = std::min(static_cast<double>(W) / L, static_cast<double>(H) / L);
}

TPixel TMapGeometry::PlaneToPixel(double u, double v, const TPlaneGrid &grid) const
{
    return { ToPixel((u - grid.UMin) * MapScaleX), H - ToPixel((v - grid.VMin) * MapScaleY) };
}

std::pair<double, double> TMapGeometry::PixelToOffset(TPixel p) const
{
    return { (p.x - MapCentre.x) / MapScaleX, (MapCentre.y - p.y) / MapScaleY };
}

std::optional<std::pair<int, int>> TMapGeometry::PixelToIndex(TPixel p, int nI, int nJ) const
{
    if (!Contains(p) || nI < 1 || nJ < 1)
        return std::nullopt;
    // x < W, so the index stays within 0 .. n - 1.
    const int i = static_cast<int>(common::RoundEven(static_cast<double>(p.x) / W * (nI - 1)));
    const int j = static_cast<int>(common::RoundEven(static_cast<double>(H - p.y) / H * (nJ - 1)));
    return std::pair { i, j };
}

TPixelImage::TPixelImage(int width, int height)
    : Width(std::max(width, 0))
    , Height(std::max(height, 0))
    , Pixels(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height),
          TColor { 255, 255, 255 })
{
}

void TPixelImage::SetPixel(int x, int y, TColor c)
{
    if (x < 0 || y < 0 || x >= Width || y >= Height)
        return;
    Pixels[PixelIndex(Width, x, y)] = c;
}

TColor TPixelImage::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= Width || y >= Height)
        return { 255, 255, 255 };
    return Pixels[PixelIndex(Width, x, y)];
}

bool ResultMatchesGrids(
    const TResult &result, TViewPlane plane, const TPlaneGrid &planeGrid, const TWaveGrid &waveGrid)
{
    if (result.ResultMatrix.empty())
        return true;
    if (IsResponseMode(result.ResultMode))
        return result.WaveGrid.KCount == waveGrid.KCount && result.WaveGrid.DK == waveGrid.DK;
    if (IsVolumeMode(result.ResultMode))
        return result.Plane == plane && result.PlaneGrid == planeGrid;
    return true;
}

bool ResultShapeIsConsistent(const TResult &result)
{
    const TMatrix2D &m = result.ResultMatrix;
    auto shaped = [&m](long long nI, long long nJ) {
        if (nI < 1 || nJ < 1 || static_cast<long long>(m.size()) != nI)
            return false;
        return std::all_of(m.begin(), m.end(),
            [nJ](const auto &col) { return static_cast<long long>(col.size()) == nJ; });
    };
    if (IsResponseMode(result.ResultMode)) {
        const int side = ResponseSide(result.WaveGrid);
        return shaped(side, side);
    }
    if (IsVolumeMode(result.ResultMode))
        return shaped(result.PlaneGrid.NU, result.PlaneGrid.NV);
    return false;
}

int ResponseSide(const TWaveGrid &grid)
{
    const long long side = 2LL * grid.KCount + 1;
    return static_cast<int>(std::clamp<long long>(side, 0, std::numeric_limits<int>::max()));
}

TMapPicture ChooseMapPicture(
    TShowMode selected, const TResult &result, bool saveEnabled, bool gridsMatch)
{
    if (selected != result.ResultMode || selected == smStations)
        return TMapPicture::Stations;
    if (!saveEnabled || !gridsMatch || !ResultShapeIsConsistent(result))
        return TMapPicture::Stations;
    if (IsResponseMode(selected))
        return TMapPicture::Response;
    if (IsVolumeMode(selected))
        return TMapPicture::Volume;
    return TMapPicture::Stations;
}

double ResponseDbFloor(const TResult &result)
{
    double best = 0;
    for (const auto &col : result.ResultMatrix)
        for (double c : col)
            if (std::isfinite(c) && c > 0 && (best == 0 || c < best))
                best = c;
    return best > 0 ? best : 1.0;
}

double ResponseDb(double c, double floorC)
{
    if (std::isnan(c) || std::isinf(c))
        return c; // keeps its own colour
    return 20 * std::log10(c > 0 ? c : floorC);
}

TColourRange ResponseColourRange(const TResult &result, TResponseUnit unit)
{
    if (unit == TResponseUnit::Unit01)
        return { 0, 1, false, true };
    const double min = result.ResultMin;
    const double ref = (std::isfinite(min) && min > 0) ? min : ResponseDbFloor(result);
    return { 20 * std::log10(ref), 0, false, true };
}

TColourRange VolumeColourRange(const TResult &result)
{
    const auto r = common::MatrixFiniteMinMax(result.ResultMatrix);
    return { r.MinV, r.MaxV, result.ResultMode == smCornerFreq, r.Found };
}

TColourRange DivergingColourRange(const TResult &result)
{
    const auto r = common::MatrixFiniteMinMax(result.ResultMatrix);
    const double m = std::max(std::fabs(r.MinV), std::fabs(r.MaxV));
    TColourRange range { -m, m, false, r.Found };
    range.Diverging = true;
    return range;
}

TColor RangeColor(double v, const TColourRange &range)
{
    if (std::isnan(v))
        return kNoValueColor;
    if (v == INFINITY)
        return kNotRegisteredColor;
    if (std::isinf(v))
        return kNoValueColor; // -inf has no meaning in any mode
    if (range.Diverging) {
        // A zero span (everything 0) is all white.
        const double m = std::max(std::fabs(range.Lo), std::fabs(range.Hi));
        const double f = m > 0 ? std::clamp(v / m, -1.0, 1.0) : 0.0;
        const auto fade = static_cast<std::uint8_t>(common::RoundEven(255 * (1 - std::fabs(f))));
        return f < 0 ? TColor { fade, fade, 255 } : TColor { 255, fade, fade };
    }
    if (range.Reversed)
        return common::ValueToColor(range.Hi - v, 0, range.Hi - range.Lo);
    return common::ValueToColor(v, range.Lo, range.Hi);
}

TPixelImage DrawResponseMap(const TResult &result, TResponseUnit unit, TMapGeometry &geometry)
{
    const TMatrix2D &m = result.ResultMatrix;
    const int side = ResponseSide(result.WaveGrid);
    const int L = m.empty() ? side : static_cast<int>(m.size());
    geometry.SetResponseScale(L);

    TPixelImage image(geometry.W, geometry.H);
    const TColourRange range = ResponseColourRange(result, unit);
    const bool db = unit == TResponseUnit::Decibel;
    const double floorC = db ? ResponseDbFloor(result) : 1.0;
    for (int x = 0; x < geometry.W; ++x)
        for (int y = 0; y < geometry.H; ++y) {
            const auto ij = geometry.PixelToIndex({ x, y }, side, side);
            const double *c = ij ? common::MatrixElement(m, ij->first, ij->second) : nullptr;
            if (!c) {
                image.SetPixel(x, y, kNoValueColor);
                continue;
            }
            image.SetPixel(x, y, RangeColor(db ? ResponseDb(*c, floorC) : *c, range));
        }
    return image;
}

TPixelImage DrawVolumeMap(const TResult &result, const TMapGeometry &geometry, bool diverging)
{
    TPixelImage image(geometry.W, geometry.H);
    const TMatrix2D &m = result.ResultMatrix;
    const TColourRange range = diverging ? DivergingColourRange(result) : VolumeColourRange(result);
    const int nI = result.PlaneGrid.NU, nJ = result.PlaneGrid.NV;
    // A pixel's column index depends on x alone and its row index on y
    // alone: both are found once, and each node is coloured once when the
    // nodes are fewer than the pixels (a station dragged redraws the map at
    // every step).
    std::vector<int> iOf(static_cast<std::size_t>(std::max(geometry.W, 0)), -1);
    std::vector<int> jOf(static_cast<std::size_t>(std::max(geometry.H, 0)), -1);
    for (int x = 0; x < geometry.W; ++x)
        if (const auto ij = geometry.PixelToIndex({ x, 0 }, nI, nJ))
            iOf[static_cast<std::size_t>(x)] = ij->first;
    for (int y = 0; y < geometry.H; ++y)
        if (const auto ij = geometry.PixelToIndex({ 0, y }, nI, nJ))
            jOf[static_cast<std::size_t>(y)] = ij->second;
    const auto colourOf = [&](int i, int j) {
        const double *v = i >= 0 && j >= 0 ? common::MatrixElement(m, i, j) : nullptr;
        return v ? RangeColor(*v, range) : kNoValueColor;
    };
    const auto nodes
        = static_cast<std::size_t>(std::max(nI, 0)) * static_cast<std::size_t>(std::max(nJ, 0));
    const bool cache = nodes > 0 && nodes <= image.Pixels.size();
    std::vector<TColor> colours(cache ? nodes : 0);
    std::vector<bool> coloured(cache ? nodes : 0, false);
    for (int y = 0; y < geometry.H; ++y) {
        const int j = jOf[static_cast<std::size_t>(y)];
        for (int x = 0; x < geometry.W; ++x) {
            const int i = iOf[static_cast<std::size_t>(x)];
            if (!cache || i < 0 || j < 0) {
                image.SetPixel(x, y, colourOf(i, j));
                continue;
            }
            const std::size_t k = static_cast<std::size_t>(i) * static_cast<std::size_t>(nJ)
                + static_cast<std::size_t>(j);
            if (!coloured[k]) {
                colours[k] = colourOf(i, j);
                coloured[k] = true;
            }
            image.SetPixel(x, y, colours[k]);
        }
    }
    return image;
}

std::vector<TStationMark> StationMarks(const TStationSet &stations,
    const common::TCellTable &cooGrid, const TPlaneGrid &grid, const TMapGeometry &geometry)
{
    std::vector<TStationMark> marks;
    const std::size_t n = std::min({ static_cast<std::size_t>(std::max(stations.Count, 0)),
        stations.U.size(), stations.V.size() });
    marks.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int row = static_cast<int>(i) + 1;
        marks.push_back({ geometry.PlaneToPixel(stations.U[i], stations.V[i], grid),
            cooGrid.Cell(row, 0), cooGrid.Cell(row, 4) });
    }
    return marks;
}

std::string VolumeQuantity(TShowMode mode)
{
    switch (mode) {
    case smMinMagnitude:
        return "Минимальная магнитуда";
    case smLocError:
        return "Ошибка локации, м";
    case smCornerFreq:
        return "Угловая частота, Гц";
    case smSourceSize:
        return "Размер очага, м";
    default:
        return {};
    }
}

TLegend MapLegend(TMapPicture picture, const TResult &result, TResponseUnit unit, bool diverging,
    const TColourRange *range)
{
    TLegend legend;
    if (picture == TMapPicture::Stations)
        return legend;
    bool nan = false, inf = false;
    for (const auto &col : result.ResultMatrix)
        for (double v : col) {
            nan = nan || (std::isnan(v) || v == -INFINITY);
            inf = inf || v == INFINITY;
        }
    legend.Shown = true;
    legend.ShowNoValue = nan;
    legend.ShowNotRegistered = inf;
    if (picture == TMapPicture::Response) {
        legend.Quantity = unit == TResponseUnit::Decibel ? "|C|, дБ" : "|C|, 0-1";
        legend.Range = range ? *range : ResponseColourRange(result, unit);
        return legend;
    }
    legend.Range = range ? *range
        : diverging      ? DivergingColourRange(result)
                         : VolumeColourRange(result);
    // The volume modes always name both swatches: users learn the colours
    // before they meet them.
    legend.ShowNoValue = legend.ShowNotRegistered = true;
    legend.Quantity = VolumeQuantity(result.ResultMode);
    return legend;
}

} // namespace valdrin::map
