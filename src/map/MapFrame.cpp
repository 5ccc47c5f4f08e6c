// Pixel <-> plane mapping: x = Plot.X + (u - UMin) * ScaleX,
// y = Plot.Bottom - (v - VMin) * ScaleY. Longitude degrees are shortened by
// cos(latitude) on a sphere; the ellipsoid would change that by under 0.4 %,
// far below what a picture shows.
#include "map/MapFrame.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace valdrin::map {

using enum calc::TViewPlane;

namespace {

double Span(double lo, double hi)
{
    const double s = hi - lo;
    return (std::isfinite(s) && s > 0) ? s : 1.0;
}

double SafeMin(double lo)
{
    return std::isfinite(lo) ? lo : 0.0;
}

} // namespace

TGroundScale PlaneGroundScale(
    calc::TViewPlane plane, bool degrees, const TPlaneRange &range, double wPlane)
{
    if (!degrees)
        return {};
    auto lonScale = [](double lat) {
        // Near a pole a longitude degree has almost no length; a floor keeps
        // the plot from collapsing to a line.
        const double c = std::isfinite(lat) ? std::cos(lat * std::numbers::pi / 180) : 1.0;
        return kMetresPerDegree * std::max(std::fabs(c), 0.01);
    };
    switch (plane) {
    case vpXY:
        return { lonScale((range.VMin + range.VMax) / 2), kMetresPerDegree };
    case vpXZ:
        return { lonScale(wPlane), 1 };
    case vpYZ:
        return { kMetresPerDegree, 1 };
    }
    return {};
}

TMapFrame::TMapFrame(
    const TRectF &frame, const TPlaneRange &range, TAspectMode aspect, TGroundScale ground)
    : m_range(range)
    , m_aspect(aspect)
{
    const double fw = std::isfinite(frame.W) ? std::max(frame.W, 1.0) : 1.0;
    const double fh = std::isfinite(frame.H) ? std::max(frame.H, 1.0) : 1.0;
    const double du = Span(range.UMin, range.UMax), dv = Span(range.VMin, range.VMax);
    m_range.UMin = SafeMin(range.UMin);
    m_range.VMin = SafeMin(range.VMin);
    m_range.UMax = m_range.UMin + du;
    m_range.VMax = m_range.VMin + dv;
    double w = fw, h = fh;
    if (aspect == TAspectMode::TrueProportions) {
        const double gu = ground.U > 0 && std::isfinite(ground.U) ? ground.U : 1.0;
        const double gv = ground.V > 0 && std::isfinite(ground.V) ? ground.V : 1.0;
        const double perMetre = std::min(fw / (du * gu), fh / (dv * gv)); // pixels per ground metre
        w = std::clamp(du * gu * perMetre, 1.0, fw);
        h = std::clamp(dv * gv * perMetre, 1.0, fh);
    }
    m_plot = { std::isfinite(frame.X) ? frame.X : 0, std::isfinite(frame.Y) ? frame.Y : 0, w, h };
    m_scaleX = w / du;
    m_scaleY = h / dv;
}

void TMapFrame::MoveTo(double x, double y)
{
    m_plot.X = x;
    m_plot.Y = y;
}

std::pair<double, double> TMapFrame::ToPixel(double u, double v) const
{
    return { m_plot.X + (u - m_range.UMin) * m_scaleX,
        m_plot.Bottom() - (v - m_range.VMin) * m_scaleY };
}

std::pair<double, double> TMapFrame::ToPlane(double x, double y) const
{
    return { m_range.UMin + (x - m_plot.X) / m_scaleX,
        m_range.VMin + (m_plot.Bottom() - y) / m_scaleY };
}

std::optional<std::pair<double, double>> TMapFrame::ToNode(double x, double y, int nI, int nJ) const
{
    if (nI < 1 || nJ < 1 || !m_plot.Contains(x, y))
        return std::nullopt;
    const double fi = (x - m_plot.X) / m_plot.W * (nI - 1);
    const double fj = (m_plot.Bottom() - y) / m_plot.H * (nJ - 1);
    return std::pair { std::clamp(fi, 0.0, nI - 1.0), std::clamp(fj, 0.0, nJ - 1.0) };
}

} // namespace valdrin::map
