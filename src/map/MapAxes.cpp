// Ticks on the 1-2-5 series: step = NiceStep(span / (maxTicks - 1)), ticks at
// whole multiples of the step (computed as n * step, so no drift builds up).
#include "map/MapAxes.h"

#include <algorithm>
#include <cmath>

#include "common/NumText.h"

namespace valdrin::map {

using namespace calc;
using enum TAxisKind;

namespace {

// Largest 1-2-5 value at or below x (x > 0).
double NiceBelow(double x)
{
    const double p = std::pow(10.0, std::floor(std::log10(x)));
    for (double m : { 5.0, 2.0, 1.0 })
        if (m * p <= x * (1 + 1e-12)) // the tolerance keeps 1, 2, 5 themselves
            return m * p;
    return p / 2;
}

int StepDigits(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    // 1e-9 absorbs the representation error of steps such as 0.1.
    return std::clamp(static_cast<int>(-std::floor(std::log10(step) + 1e-9)), 0, 10);
}

std::string Degrees(double value, int digits, bool longitude, char sep)
{
    if (longitude) {
        value = std::remainder(value, 360.0); // into [-180, 180]
        if (value == -180)
            value = 180;
    }
    const double a = std::fabs(value);
    std::string s = common::FormatFixed(a, digits, sep) + "°";
    // A value that prints as zero has no hemisphere.
    if (common::FormatFixed(a, digits, sep) == common::FormatFixed(0, digits, sep))
        return s;
    if (longitude)
        return s + (value > 0 ? (a == 180 ? "" : "E") : "W");
    return s + (value > 0 ? "N" : "S");
}

std::string AxisTitle(TAxisKind kind, const std::string &name, bool km)
{
    switch (kind) {
    case Metres:
        return name + (km ? ", км" : ", м");
    case Elevation:
        return name + " (высота), м";
    case Longitude:
        return "Долгота";
    case Latitude:
        return "Широта";
    case Wavenumber:
        return name + ", 1/м";
    case Frequency:
        return name + ", Гц";
    }
    return name;
}

std::string PlainNumber(double v, char sep)
{
    return common::FormatGeneral(v == 0 ? 0.0 : v, sep);
}

} // namespace

double NiceStep(double rough)
{
    if (!(rough > 0) || !std::isfinite(rough))
        return 1;
    const double below = NiceBelow(rough);
    if (below >= rough * (1 - 1e-12))
        return below;
    const double p = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : { 1.0, 2.0, 5.0, 10.0 })
        if (m * p >= rough * (1 - 1e-12))
            return m * p;
    return 10 * p;
}

std::string TickLabel(double value, double step, TAxisKind kind, bool km, char sep)
{
    if (value == 0)
        value = 0; // no "-0"
    switch (kind) {
    case Longitude:
        return Degrees(value, StepDigits(step), true, sep);
    case Latitude:
        return Degrees(value, StepDigits(step), false, sep);
    default:
        break;
    }
    if (km)
        return common::FormatFixed(value / 1000, StepDigits(step / 1000), sep);
    return common::FormatFixed(value, StepDigits(step), sep);
}

TAxisTicks ChooseTicks(
    double lo, double hi, TAxisKind kind, int maxTicks, const std::string &name, char sep)
{
    TAxisTicks out;
    const double span = hi - lo;
    out.Km = kind == Metres && span > kKmSwitchSpan;
    out.Title = AxisTitle(kind, name, out.Km);
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(span > 0))
        return out;
    maxTicks = std::max(maxTicks, 2);
    const double unit = out.Km ? 1000.0 : 1.0;
    out.Step = NiceStep(span / unit / (maxTicks - 1)) * unit;
    // Ends that miss a step by a rounding error still get their tick.
    const double eps = 1e-9;
    const double first = std::ceil(lo / out.Step - eps), last = std::floor(hi / out.Step + eps);
    for (double n = first; n <= last; ++n) {
        const double v = n * out.Step;
        out.Ticks.push_back({ v, TickLabel(v, out.Step, kind, out.Km, sep) });
    }
    return out;
}

TAxisKinds PlaneAxisKinds(TViewPlane plane, bool degrees)
{
    switch (plane) {
    case TViewPlane::vpXY:
        return degrees ? TAxisKinds { Longitude, Latitude, "X", "Y" }
                       : TAxisKinds { Metres, Metres, "X", "Y" };
    case TViewPlane::vpYZ:
        return { degrees ? Latitude : Metres, Elevation, "Y", "Z" };
    case TViewPlane::vpXZ:
        return { degrees ? Longitude : Metres, Elevation, "X", "Z" };
    }
    return {};
}

TAxisKinds ResponseAxisKinds(TShowMode mode)
{
    if (mode == TShowMode::smCdF)
        return { Frequency, Frequency, "Fx", "Fy" };
    return { Wavenumber, Wavenumber, "Kx", "Ky" };
}

TScaleBar ChooseScaleBar(double pixelsPerMetre, double maxPixels, char sep)
{
    TScaleBar bar;
    if (!(pixelsPerMetre > 0) || !std::isfinite(pixelsPerMetre) || !(maxPixels > 0))
        return bar;
    const double maxMetres = maxPixels / pixelsPerMetre;
    if (!std::isfinite(maxMetres))
        return bar;
    bar.Metres = NiceBelow(maxMetres);
    bar.Pixels = bar.Metres * pixelsPerMetre;
    bar.Label = bar.Metres >= 1000 ? PlainNumber(bar.Metres / 1000, sep) + " км"
                                   : PlainNumber(bar.Metres, sep) + " м";
    return bar;
}

std::string MapTitleLine(TMapPicture picture, const TResult &result, TResponseUnit unit,
    TViewPlane plane, const TPlaneGrid &grid, bool degrees, const TTitleInfo &info, char sep)
{
    std::vector<std::string> parts;
    const char *const dash = " — ";
    if (picture == TMapPicture::Response) {
        const bool dF = result.ResultMode == TShowMode::smCdF;
        parts.push_back(std::string(dF ? "Функция C(dF)" : "Функция C(dK)")
            + (unit == TResponseUnit::Decibel ? ", дБ" : ", 0-1"));
    } else {
        const std::string q = picture != TMapPicture::Volume ? std::string("Станции")
            : !info.Quantity.empty()                         ? info.Quantity
                                                             : VolumeQuantity(result.ResultMode);
        // Fixed coordinate: Z in XY; X (longitude) in YZ; Y (latitude) in XZ.
        const double w = picture == TMapPicture::Volume ? result.PlaneGrid.WPlane : grid.WPlane;
        std::string fixed;
        switch (plane) {
        case TViewPlane::vpXY:
            fixed = "плоскость XY, Z = " + PlainNumber(w, sep) + " м";
            break;
        case TViewPlane::vpYZ:
            fixed = "плоскость YZ, X = "
                + (degrees ? Degrees(w, 6, true, sep) : PlainNumber(w, sep) + " м");
            break;
        case TViewPlane::vpXZ:
            fixed = "плоскость XZ, Y = "
                + (degrees ? Degrees(w, 6, false, sep) : PlainNumber(w, sep) + " м");
            break;
        }
        parts.push_back(q);
        parts.push_back(fixed);
    }
    // The array response depends on neither k nor the medium.
    const bool planeMap = picture != TMapPicture::Response;
    if (planeMap && info.k > 0)
        parts.push_back("k = " + std::to_string(info.k));
    if (planeMap && info.Medium)
        parts.emplace_back(
            *info.Medium == TMediumKind::Layered ? "слоистая среда" : "однородная среда");
    if (info.RunTime) {
        std::tm tm {};
        char buf[32] = {};
        if (localtime_r(&*info.RunTime, &tm)
            && std::strftime(buf, sizeof buf, "%d.%m.%Y %H:%M", &tm))
            parts.push_back(std::string("расчет ") + buf);
    }
    std::string line;
    for (const std::string &p : parts)
        line += (line.empty() ? "" : dash) + p;
    return line;
}

} // namespace valdrin::map
