// The status line under the window's map: where the pointer is in absolute
// coordinates, the value under it, and how far and in which direction it is
// from the last pressed point.
#pragma once

#include <string>

#include "calc/NetworkModel.h"
#include "calc/Result.h"
#include "map/MapCore.h"
#include "map/MapFrame.h"

namespace valdrin::map {

struct TStatusContext {
    TMapPicture Picture = TMapPicture::Stations; // what the page shows
    const calc::TResult *Result = nullptr; // read for a result picture
    calc::TViewPlane Plane = calc::TViewPlane::vpXY; // of the page
    double WPlane = 0; // the plane's fixed coordinate: Z in XY (m), X in YZ, Y in XZ
    bool Degrees = false; // X, Y are longitude and latitude
    char DecimalSep = '.';
};

// "X = 1234.5 м, Y = -200.0 м | M = 1.234 | R = 943.4 м, азимут 32.0°" on a
// plane (lon, lat as "43.123456°E, 42.570000°N"; Z added in YZ and XZ), or
// "Kx = ..., Ky = ... | C = 0.512 (-5.81 дБ)" on the response map. The
// distance is geodesic in degrees (with the heights), straight in metres;
// the azimuth is clockwise from north at lastClick and left out where the two
// points lie on one vertical. Empty outside the plot.
std::string MapStatusText(
    TPointF pixel, const TMapFrame &frame, TPointF lastClick, const TStatusContext &ctx);

} // namespace valdrin::map
