// Cursor read-outs and placement. Texts are printf-style fixed-point with the
// locale's decimal separator; indices come from TMapGeometry::PixelToIndex
// (the fixed bitmap) or TMapFrame::ToNode (a rendered page) on the result's
// own grid and are checked against the matrix before the read.
#include "map/MapCoreReadout.h"

#include <cmath>
#include <cstdio>
#include <functional>

#include "common/NumText.h"

namespace valdrin::map {

using namespace calc;
using enum TShowMode;
using enum TViewPlane;
using common::FormatShown;

TReadoutKind ChooseReadout(TShowMode selected, const TResult &result, bool gridsMatch)
{
    if (selected != result.ResultMode || selected == smStations || !gridsMatch)
        return TReadoutKind::Plane;
    if (selected == smCdK || selected == smCdF)
        return TReadoutKind::Response;
    if (result.ResultMatrix.empty())
        return TReadoutKind::Plane;
    return TReadoutKind::Node;
}

namespace {

std::string PlaneText(double X, double Y, double R, char sep)
{
    return "X = " + FormatShown(X, 1, sep) + ", Y = " + FormatShown(Y, 1, sep)
        + ", R = " + FormatShown(R, 2, sep);
}

std::string ResponseText(
    std::optional<std::pair<int, int>> ij, const TResult &result, double Vp, char sep)
{
    const TWaveGrid &grid = result.WaveGrid;
    const double *c
        = ij ? common::MatrixElement(result.ResultMatrix, ij->first, ij->second) : nullptr;
    if (!c)
        return {};
    double kx = (ij->first - grid.KCount) * grid.DK;
    double ky = (ij->second - grid.KCount) * grid.DK;
    std::string L = "K";
    if (result.ResultMode == smCdF) {
        kx *= Vp;
        ky *= Vp;
        L = "F";
    }
    // C = 0 has no logarithm; "-INF" says so rather than a made-up floor.
    const double d = *c > 0 ? 20 * std::log10(*c) : -INFINITY;
    return L + "x = " + FormatShown(kx, 5, sep) + ", " + L + "y = " + FormatShown(ky, 5, sep)
        + ", C(" + L + "0-" + L + ") = " + FormatShown(*c, 3, sep) + " = " + FormatShown(d, 2, sep)
        + " dB";
}

} // namespace

const char *QuantityLetter(TShowMode mode)
{
    switch (mode) {
    case smMinMagnitude:
        return "M";
    case smLocError:
        return "E";
    case smCornerFreq:
        return "F";
    case smSourceSize:
        return "R";
    default:
        return "";
    }
}

std::string NodeValueText(double v, char decimalSep)
{
    if (std::isnan(v) || v == -INFINITY)
        return kNoValueText;
    if (v == INFINITY)
        return kNotRegisteredText;
    return FormatShown(v, 3, decimalSep);
}

namespace {

std::string NodeText(std::optional<std::pair<int, int>> ij, const TResult &result, char sep)
{
    const TPlaneGrid &grid = result.PlaneGrid;
    const double *v
        = ij ? common::MatrixElement(result.ResultMatrix, ij->first, ij->second) : nullptr;
    if (!v)
        return {};
    const double u = ij->first * grid.UStep + grid.UMin;
    const double w = ij->second * grid.VStep + grid.VMin;
    const char *L = QuantityLetter(result.ResultMode);
    if (!*L)
        return {};
    const std::string value = NodeValueText(*v, sep);
    // The axes of the result's plane: U and V are y, z in YZ and x, z in XZ.
    const char *a = result.Plane == vpYZ ? "y" : "x";
    const char *b = result.Plane == vpXY ? "y" : "z";
    return std::string(a) + " = " + FormatShown(u, 5, sep) + ", " + b + " = "
        + FormatShown(w, 5, sep) + ", " + L + "(" + a + "," + b + ") = " + value;
}

// The read-out the context asks for, through one way of finding the node
// under the pointer; the plane read-out where the result cannot be read.
template<class Index, class Plane>
std::string InfoText(const TReadoutContext &ctx, const Index &index, const Plane &plane)
{
    const TResult none;
    const TResult &result = ctx.Result ? *ctx.Result : none;
    std::string text;
    switch (ChooseReadout(ctx.Selected, result, ctx.GridsMatch)) {
    case TReadoutKind::Response: {
        const int side = ResponseSide(result.WaveGrid);
        text = ResponseText(index(side, side), result, ctx.Vp, ctx.DecimalSep);
        break;
    }
    case TReadoutKind::Node:
        text = NodeText(index(result.PlaneGrid.NU, result.PlaneGrid.NV), result, ctx.DecimalSep);
        break;
    case TReadoutKind::Plane:
        break;
    }
    return text.empty() ? plane() : text;
}

std::pair<double, double> FrameOffset(TPointF p, const TMapFrame &f)
{
    const auto [u, v] = f.ToPlane(p.X, p.Y);
    const TPlaneRange &r = f.Range();
    return { u - (r.UMin + r.UMax) / 2, v - (r.VMin + r.VMax) / 2 };
}

} // namespace

std::string PlaneReadout(TPixel p, const TMapGeometry &g, TPixel lastClick, char sep)
{
    const auto [X, Y] = g.PixelToOffset(p);
    const double dx = (p.x - lastClick.x) / g.MapScaleX;
    const double dy = (lastClick.y - p.y) / g.MapScaleY;
    return PlaneText(X, Y, std::sqrt(dx * dx + dy * dy), sep);
}

std::string ResponseReadout(
    TPixel p, const TMapGeometry &g, const TResult &result, double Vp, char sep)
{
    const int side = ResponseSide(result.WaveGrid);
    return ResponseText(g.PixelToIndex(p, side, side), result, Vp, sep);
}

std::string NodeReadout(TPixel p, const TMapGeometry &g, const TResult &result, char sep)
{
    return NodeText(g.PixelToIndex(p, result.PlaneGrid.NU, result.PlaneGrid.NV), result, sep);
}

std::string InfoLabelText(TPixel p, const TMapGeometry &g, const TReadoutContext &ctx)
{
    return InfoText(
        ctx, [&](int nI, int nJ) { return g.PixelToIndex(p, nI, nJ); },
        [&] { return PlaneReadout(p, g, ctx.LastClick, ctx.DecimalSep); });
}

std::optional<std::pair<int, int>> FrameIndex(TPointF p, const TMapFrame &f, int nI, int nJ)
{
    const auto node = f.ToNode(p.X, p.Y, nI, nJ);
    if (!node)
        return std::nullopt;
    return std::pair { static_cast<int>(common::RoundEven(node->first)),
        static_cast<int>(common::RoundEven(node->second)) };
}

std::string PlaneReadout(TPointF p, const TMapFrame &f, TPointF lastClick, char sep)
{
    const auto [X, Y] = FrameOffset(p, f);
    const auto [u, v] = f.ToPlane(p.X, p.Y);
    return PlaneText(X, Y, std::hypot(u - lastClick.X, v - lastClick.Y), sep);
}

std::string ResponseReadout(
    TPointF p, const TMapFrame &f, const TResult &result, double Vp, char sep)
{
    const int side = ResponseSide(result.WaveGrid);
    return ResponseText(FrameIndex(p, f, side, side), result, Vp, sep);
}

std::string NodeReadout(TPointF p, const TMapFrame &f, const TResult &result, char sep)
{
    return NodeText(FrameIndex(p, f, result.PlaneGrid.NU, result.PlaneGrid.NV), result, sep);
}

std::string InfoLabelText(TPointF p, const TMapFrame &f, const TReadoutContext &ctx)
{
    return InfoText(
        ctx, [&](int nI, int nJ) { return FrameIndex(p, f, nI, nJ); },
        [&] { return PlaneReadout(p, f, ctx.LastClickPlane, ctx.DecimalSep); });
}

std::string PlacementCaption(int remaining)
{
    return kPlacementHint + std::to_string(remaining);
}

int StartPlacement(common::TCellTable &cooGrid, int sensors)
{
    for (int r = 1; r < cooGrid.RowCount(); ++r)
        for (int c = 1; c < cooGrid.ColCount; ++c)
            cooGrid.SetCell(r, c, {});
    return sensors;
}

namespace {

std::array<std::string, 4> Cells(
    int row, double dx, double dy, double X0, double Y0, char sep, bool degrees)
{
    char name[16];
    std::snprintf(name, sizeof name, "s%2.2d", row - 1);
    // A tenth of a degree is up to 11 km; a millionth is about 0.1 m, as a
    // tenth of a metre is in metres.
    const int decimals = degrees ? 6 : 1;
    return { FormatShown(X0 + dx, decimals, sep), FormatShown(Y0 + dy, decimals, sep), "0", name };
}

TPlacementStep Place(common::TCellTable &cooGrid, int sensors, int remaining,
    const std::function<std::array<std::string, 4>(int row)> &cells)
{
    TPlacementStep step;
    step.Row = sensors - remaining + 1;
    step.Written = step.Row >= 1 && step.Row < cooGrid.RowCount();
    if (step.Written) {
        const auto texts = cells(step.Row);
        for (int c = 0; c < 4; ++c)
            cooGrid.SetCell(step.Row, c + 1, texts[static_cast<std::size_t>(c)]);
    }
    step.Remaining = step.Written ? remaining - 1 : 0;
    step.Finished = step.Remaining < 1;
    if (!step.Finished)
        step.Caption = PlacementCaption(step.Remaining);
    return step;
}

} // namespace

std::array<std::string, 4> PlacementCells(
    int row, TPixel p, const TMapGeometry &g, double X0, double Y0, char sep, bool degrees)
{
    const auto [dx, dy] = g.PixelToOffset(p);
    return Cells(row, dx, dy, X0, Y0, sep, degrees);
}

std::array<std::string, 4> PlacementCells(
    int row, TPointF p, const TMapFrame &f, double X0, double Y0, char sep, bool degrees)
{
    const auto [dx, dy] = FrameOffset(p, f);
    return Cells(row, dx, dy, X0, Y0, sep, degrees);
}

TPlacementStep PlaceStation(common::TCellTable &cooGrid, int sensors, int remaining, TPixel p,
    const TMapGeometry &g, double X0, double Y0, char sep, bool degrees)
{
    return Place(cooGrid, sensors, remaining,
        [&](int row) { return PlacementCells(row, p, g, X0, Y0, sep, degrees); });
}

TPlacementStep PlaceStation(common::TCellTable &cooGrid, int sensors, int remaining, TPointF p,
    const TMapFrame &f, double X0, double Y0, char sep, bool degrees)
{
    return Place(cooGrid, sensors, remaining,
        [&](int row) { return PlacementCells(row, p, f, X0, Y0, sep, degrees); });
}

} // namespace valdrin::map
