// The one mapping between the pixels of a map page and the plane shown on it.
// The renderer draws through it; the window's read-out and placement use the
// same object, so a pixel always means the same plane point.
#pragma once

#include <optional>
#include <utility>

#include "calc/NetworkModel.h"

namespace valdrin::map {

struct TPointF {
    double X = 0, Y = 0;
    bool operator==(const TPointF &) const = default;
};

// A rectangle in page pixels (x to the right, y down).
struct TRectF {
    double X = 0, Y = 0, W = 0, H = 0;
    double Right() const { return X + W; }
    double Bottom() const { return Y + H; }
    // Rectangles that only touch do not intersect.
    bool Intersects(const TRectF &o) const
    {
        return X < o.Right() && o.X < Right() && Y < o.Bottom() && o.Y < Bottom();
    }
    bool Contains(double x, double y) const
    {
        return x >= X && x <= Right() && y >= Y && y <= Bottom();
    }
    bool operator==(const TRectF &) const = default;
};

// Plane rectangle shown: U to the right, V upwards, in plane units (metres,
// degrees, or the response map's wavenumbers).
struct TPlaneRange {
    double UMin = 0, UMax = 1, VMin = 0, VMax = 1;
    bool operator==(const TPlaneRange &) const = default;
};

enum class TAspectMode {
    TrueProportions, // one metre on the ground as long across as up
    Fill // the plane rectangle stretched over the whole frame
};

// Ground length of one plane unit along U and V, metres. Plane axes in
// metres give 1, 1. In degrees a degree of latitude is kMetresPerDegree and
// one of longitude that times cos(latitude); the latitude is the middle of
// the V range in XY and the plane's fixed coordinate in XZ.
struct TGroundScale {
    double U = 1, V = 1;
};
constexpr double kMetresPerDegree = 111195.0; // 2 pi R / 360, R = 6371 km (mean Earth radius)
TGroundScale PlaneGroundScale(
    calc::TViewPlane plane, bool degrees, const TPlaneRange &range, double wPlane);

class TMapFrame {
public:
    TMapFrame() = default;
    // Fits the plane range into frame. With TrueProportions the plot is as
    // large as fits with equal ground lengths across and up, at the frame's
    // top-left corner; with Fill it is the frame. A span that is not finite
    // and positive counts as one plane unit, a frame side below 1 pixel as 1.
    TMapFrame(const TRectF &frame, const TPlaneRange &range, TAspectMode aspect,
        TGroundScale ground = {});

    const TRectF &Plot() const { return m_plot; }
    const TPlaneRange &Range() const { return m_range; }
    double ScaleX() const { return m_scaleX; } // pixels per plane unit across (> 0)
    double ScaleY() const { return m_scaleY; } // pixels per plane unit up (> 0)
    TAspectMode Aspect() const { return m_aspect; }

    // Moves the plot (scales unchanged), e.g. to centre the page's contents.
    void MoveTo(double x, double y);

    std::pair<double, double> ToPixel(double u, double v) const;
    std::pair<double, double> ToPlane(double x, double y) const;

    // Fractional node indices (i, j) of an nI x nJ matrix spread over the
    // whole range (node 0 at UMin, node nI - 1 at UMax); nullopt outside the
    // plot or for a count below 1.
    std::optional<std::pair<double, double>> ToNode(double x, double y, int nI, int nJ) const;

private:
    TRectF m_plot { 0, 0, 1, 1 };
    TPlaneRange m_range;
    double m_scaleX = 1, m_scaleY = 1;
    TAspectMode m_aspect = TAspectMode::Fill;
};

} // namespace valdrin::map
