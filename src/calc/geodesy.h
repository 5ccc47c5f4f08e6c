// Inverse geodetic problem on the WGS-84 ellipsoid (Vincenty 1975), in
// extended precision. Angles in degrees, lengths in metres.
#pragma once

#include <cmath>

#include "common/MathRout.h"

namespace valdrin::calc {

using common::TExtended;

struct TGeoPoint {
    TExtended Latitude = 0; // degrees, north positive
    TExtended Longitude = 0; // degrees, east positive
    TExtended Height = 0; // metres
};

struct TGeoVector {
    TExtended Azimuth = 0; // degrees clockwise from north, 0 <= azimuth < 360
    TExtended Distance = 0; // metres (>= 0)
};

TGeoPoint MakeGeoPoint(TExtended latitude, TExtended longitude, TExtended height);

// The geodesic from P1 to P2: azimuth at P2 in the direction of travel, and
// the length combined with the height difference. A latitude of ±90 degrees
// (or beyond, which the station table refuses) is the pole. An arithmetic fault (a
// division by zero or an invalid operation) gives azimuth 0 and the height
// difference alone; nearly antipodal points that do not converge within 100
// passes give the values of the last pass. Never throws.
TGeoVector GeoInverse(const TGeoPoint &P1, const TGeoPoint &P2);

// The reduced latitude of a point as GeoInverse takes it (sin and cos),
// for callers that solve many geodesics from the same points.
struct TGeoLatitude {
    TExtended S = 0, C = 0;
};
TGeoLatitude GeoReducedLatitude(TExtended latitude);
// GeoInverse(P1, P2).Distance for P1 and P2 of height 0, from their reduced
// latitudes and longitudes: the same number, without the azimuth.
TExtended GeoDistance(
    const TGeoLatitude &U1, TExtended longitude1, const TGeoLatitude &U2, TExtended longitude2);

// A quick double-precision length of the same geodesic, for callers that
// only need to know which of many lengths are close to each other. Points
// as the (sin, cos) of their reduced latitudes, from ReducedLatitudeEstimate.
struct TReducedLatitude {
    double S = 0, C = 0;
};
TReducedLatitude ReducedLatitudeEstimate(double latitude);
// GeoInverse(P1, P2).Distance for heights 0, to within GeoEstimateBound of
// it; NaN where that cannot be vouched for (nearly antipodal points, a slow
// convergence, a value that is not finite).
double GeoDistanceEstimate(TReducedLatitude U1, TReducedLatitude U2, double longitudeDifference);
// The same series in double against extended precision differ by the
// rounding of terms of order 1 scaled by the semi-axis (some 1e-9 m), and by
// where the two iterations stop on lambda (tolerance 1e-12, contraction about
// f, so some 3e-15 rad or 2e-8 m). The bound is ten thousand times that.
inline double GeoEstimateBound(double distance)
{
    return 1e-4 + 1e-10 * distance;
}

// A longitude difference in degrees brought into (-180, 180]; a value
// already there is returned as it is.
template<class T> T WrapLongitudeDifference(T d)
{
    if (d > -180 && d <= 180)
        return d;
    T r = std::remainder(d, T(360)); // exact, in [-180, 180]
    if (r <= -180)
        r += 360;
    return r;
}

// x - y * trunc(x / y); NaN for y = 0.
TExtended FloatMod(TExtended x, TExtended y);

} // namespace valdrin::calc
