// Cursor read-outs and placement. Texts are printf-style fixed-point with the
// locale's decimal separator; indices come from TMapGeometry::PixelToIndex on
// the result's own grid and are checked against the matrix before the read.
#include "map/MapCoreReadout.h"

#include <cmath>
#include <cstdio>

#include "common/NumText.h"

namespace valdrin::map {

using namespace calc;
using enum TShowMode;
using enum TViewPlane;
using common::FormatFixed;

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

std::string PlaneReadout(TPixel p, const TMapGeometry &g, TPixel lastClick, char sep)
{
    const auto [X, Y] = g.PixelToOffset(p);
    const double dx = (p.x - lastClick.x) / g.MapScaleX;
    const double dy = (lastClick.y - p.y) / g.MapScaleY;
    const double R = std::sqrt(dx * dx + dy * dy);
    return "X = " + FormatFixed(X, 1, sep) + ", Y = " + FormatFixed(Y, 1, sep)
        + ", R = " + FormatFixed(R, 2, sep);
}

std::string ResponseReadout(
    TPixel p, const TMapGeometry &g, const TResult &result, double Vp, char sep)
{
    const TWaveGrid &grid = result.WaveGrid;
    const int side = ResponseSide(grid);
    const auto ij = g.PixelToIndex(p, side, side);
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
    return L + "x = " + FormatFixed(kx, 5, sep) + ", " + L + "y = " + FormatFixed(ky, 5, sep)
        + ", C(" + L + "0-" + L + ") = " + FormatFixed(*c, 3, sep) + " = " + FormatFixed(d, 2, sep)
        + " dB";
}

std::string NodeReadout(TPixel p, const TMapGeometry &g, const TResult &result, char sep)
{
    const TPlaneGrid &grid = result.PlaneGrid;
    const auto ij = g.PixelToIndex(p, grid.NU, grid.NV);
    const double *v
        = ij ? common::MatrixElement(result.ResultMatrix, ij->first, ij->second) : nullptr;
    if (!v)
        return {};
    const double u = ij->first * grid.UStep + grid.UMin;
    const double w = ij->second * grid.VStep + grid.VMin;
    const char *L = "";
    switch (result.ResultMode) {
    case smMinMagnitude:
        L = "M";
        break;
    case smLocError:
        L = "E";
        break;
    case smCornerFreq:
        L = "F";
        break;
    case smSourceSize:
        L = "R";
        break;
    default:
        return {};
    }
    std::string value;
    if (std::isnan(*v) || *v == -INFINITY)
        value = kNoValueText;
    else if (*v == INFINITY)
        value = kNotRegisteredText;
    else
        value = FormatFixed(*v, 3, sep);
    // The axes of the result's plane: U and V are y, z in YZ and x, z in XZ.
    const char *a = result.Plane == vpYZ ? "y" : "x";
    const char *b = result.Plane == vpXY ? "y" : "z";
    return std::string(a) + " = " + FormatFixed(u, 5, sep) + ", " + b + " = "
        + FormatFixed(w, 5, sep) + ", " + L + "(" + a + "," + b + ") = " + value;
}

std::string InfoLabelText(TPixel p, const TMapGeometry &g, const TReadoutContext &ctx)
{
    const TResult none;
    const TResult &result = ctx.Result ? *ctx.Result : none;
    std::string text;
    switch (ChooseReadout(ctx.Selected, result, ctx.GridsMatch)) {
    case TReadoutKind::Response:
        text = ResponseReadout(p, g, result, ctx.Vp, ctx.DecimalSep);
        break;
    case TReadoutKind::Node:
        text = NodeReadout(p, g, result, ctx.DecimalSep);
        break;
    case TReadoutKind::Plane:
        break;
    }
    return text.empty() ? PlaneReadout(p, g, ctx.LastClick, ctx.DecimalSep) : text;
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

std::array<std::string, 4> PlacementCells(
    int row, TPixel p, const TMapGeometry &g, double X0, double Y0, char sep, bool degrees)
{
    const auto [dx, dy] = g.PixelToOffset(p);
    char name[16];
    std::snprintf(name, sizeof name, "s%2.2d", row - 1);
    // A tenth of a degree is up to 11 km; a millionth is about 0.1 m, as a
    // tenth of a metre is in metres.
    const int decimals = degrees ? 6 : 1;
    return { FormatFixed(X0 + dx, decimals, sep), FormatFixed(Y0 + dy, decimals, sep), "0", name };
}

TPlacementStep PlaceStation(common::TCellTable &cooGrid, int sensors, int remaining, TPixel p,
    const TMapGeometry &g, double X0, double Y0, char sep, bool degrees)
{
    TPlacementStep step;
    step.Row = sensors - remaining + 1;
    step.Written = step.Row >= 1 && step.Row < cooGrid.RowCount();
    if (step.Written) {
        const auto cells = PlacementCells(step.Row, p, g, X0, Y0, sep, degrees);
        for (int c = 0; c < 4; ++c)
            cooGrid.SetCell(step.Row, c + 1, cells[static_cast<std::size_t>(c)]);
    }
    step.Remaining = step.Written ? remaining - 1 : 0;
    step.Finished = step.Remaining < 1;
    if (!step.Finished)
        step.Caption = PlacementCaption(step.Remaining);
    return step;
}

} // namespace valdrin::map
