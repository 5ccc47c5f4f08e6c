// Plane coordinates (u, v) of the page become (x, y, z): XY is (u, v, W),
// YZ is (W, u, v), XZ is (u, W, v). Distances in degrees: Vincenty's inverse
// problem on WGS-84 (calc/geodesy).
#include "map/MapStatus.h"

#include <cmath>
#include <numbers>

#include "calc/geodesy.h"
#include "common/NumText.h"
#include "map/MapCoreReadout.h"

namespace valdrin::map {

using namespace calc;
using common::FormatShown;

namespace {

struct TPoint3 {
    double X = 0, Y = 0, Z = 0;
};

TPoint3 Absolute(double u, double v, const TStatusContext &ctx)
{
    switch (ctx.Plane) {
    case TViewPlane::vpYZ:
        return { ctx.WPlane, u, v };
    case TViewPlane::vpXZ:
        return { u, ctx.WPlane, v };
    case TViewPlane::vpXY:
        break;
    }
    return { u, v, ctx.WPlane };
}

std::string Degrees(double a, const char *plus, const char *minus, char sep)
{
    return FormatShown(std::fabs(a), 6, sep) + "°" + (a < 0 ? minus : plus);
}

std::string Position(const TPoint3 &p, const TStatusContext &ctx)
{
    const char sep = ctx.DecimalSep;
    std::string s = ctx.Degrees
        ? Degrees(p.X, "E", "W", sep) + ", " + Degrees(p.Y, "N", "S", sep)
        : "X = " + FormatShown(p.X, 1, sep) + " м, Y = " + FormatShown(p.Y, 1, sep) + " м";
    if (ctx.Plane != TViewPlane::vpXY)
        s += ", Z = " + FormatShown(p.Z, 1, sep) + " м";
    return s;
}

std::string Distance(const TPoint3 &from, const TPoint3 &to, const TStatusContext &ctx)
{
    double distance = 0, azimuth = NAN;
    if (ctx.Degrees) {
        const TGeoPoint a = MakeGeoPoint(from.Y, from.X, from.Z);
        const TGeoPoint b = MakeGeoPoint(to.Y, to.X, to.Z);
        distance = static_cast<double>(GeoInverse(a, b).Distance);
        // GeoInverse gives the azimuth at its second point: from b back to a
        // it is the reverse of the azimuth at a.
        if (from.X != to.X || from.Y != to.Y)
            azimuth = std::fmod(static_cast<double>(GeoInverse(b, a).Azimuth) + 180, 360);
    } else {
        const double dx = to.X - from.X, dy = to.Y - from.Y, dz = to.Z - from.Z;
        distance = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (dx != 0 || dy != 0) {
            azimuth = std::atan2(dx, dy) * 180 / std::numbers::pi;
            if (azimuth < 0)
                azimuth += 360;
        }
    }
    std::string s = "R = " + FormatShown(distance, 1, ctx.DecimalSep) + " м";
    if (std::isfinite(azimuth))
        s += ", азимут " + FormatShown(azimuth, 1, ctx.DecimalSep) + "°";
    return s;
}

} // namespace

std::string MapStatusText(
    TPointF pixel, const TMapFrame &frame, TPointF lastClick, const TStatusContext &ctx)
{
    if (!frame.Plot().Contains(pixel.X, pixel.Y))
        return {};
    const char sep = ctx.DecimalSep;
    const auto [u, v] = frame.ToPlane(pixel.X, pixel.Y);
    const TResult none;
    const TResult &result = ctx.Result ? *ctx.Result : none;
    if (ctx.Picture == TMapPicture::Response) {
        const bool f = result.ResultMode == TShowMode::smCdF;
        std::string s = std::string(f ? "Fx = " : "Kx = ") + FormatShown(u, 6, sep) + ", "
            + (f ? "Fy = " : "Ky = ") + FormatShown(v, 6, sep) + (f ? " Гц" : " 1/м");
        const int side = ResponseSide(result.WaveGrid);
        const auto ij = FrameIndex(pixel, frame, side, side);
        if (const double *c
            = ij ? common::MatrixElement(result.ResultMatrix, ij->first, ij->second) : nullptr) {
            s += " | C = " + FormatShown(*c, 3, sep);
            if (*c > 0)
                s += " (" + FormatShown(20 * std::log10(*c), 2, sep) + " дБ)";
        }
        return s;
    }
    const TPoint3 here = Absolute(u, v, ctx);
    std::string s = Position(here, ctx);
    if (ctx.Picture == TMapPicture::Volume) {
        const auto ij = FrameIndex(pixel, frame, result.PlaneGrid.NU, result.PlaneGrid.NV);
        if (const double *x
            = ij ? common::MatrixElement(result.ResultMatrix, ij->first, ij->second) : nullptr)
            s += std::string(" | ") + QuantityLetter(result.ResultMode) + " = "
                + NodeValueText(*x, sep);
    }
    return s + " | " + Distance(Absolute(lastClick.X, lastClick.Y, ctx), here, ctx);
}

} // namespace valdrin::map
