// Inverse geodetic problem on the WGS-84 ellipsoid (Vincenty 1975), in
// extended precision. Angles in degrees, lengths in metres.
#pragma once

#include <cmath>
#include <limits>

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

// A cheaper estimate of the same length from the chord between the points
// (heights 0), for lines up to 1000 km. The geodesic is no shorter than the
// chord c, and as its curvature nowhere exceeds the ellipsoid's largest,
// 1/rho with rho = a(1 - e^2) (the meridian at the equator), no longer than
// the arc of radius rho over that chord (Schur's comparison): within
// 2*rho*asin(c/(2*rho)) - c <= c^3/(24*rho^2*(1 - x^2)), x = c/(2*rho), of c.
// GeoInverse's own length departs from the geodesic by the truncation of
// Vincenty's series in lambda (terms of order f^3, some 4e-8 of the length;
// 7e-9 seen) and by its stop on lambda at 1e-12 rad, sigma taken from the
// pass before (some 1e-12*a = 6.4e-6 m); the chord's roundings in double
// stay below 1e-8 m. The bound allows 1e-3 m + 1e-6 of the length for these.
struct TGeoCartesian {
    double X = 0, Y = 0, Z = 0; // m, Earth-centred
    // False for a latitude beyond +-90 degrees, a longitude beyond +-1000, or not finite.
    bool Ok = false;
};
TGeoCartesian GeoCartesianEstimate(double latitude, double longitude);
// The length and its bound; NaN for a point not Ok or a chord beyond 1000 km.
inline double GeoChordEstimate(const TGeoCartesian &P1, const TGeoCartesian &P2, double &bound)
{
    constexpr double kRho = 6335400; // below a(1 - e^2) = 6335439.3 m
    constexpr double kMaxChord = 1e6;
    const double dx = P1.X - P2.X, dy = P1.Y - P2.Y, dz = P1.Z - P2.Z;
    const double c = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!P1.Ok || !P2.Ok || !(c <= kMaxChord))
        return std::numeric_limits<double>::quiet_NaN();
    const double x = c / (2 * kRho);
    const double half = c * x * x / (12 * (1 - x * x)); // half of c^3/(24 rho^2 (1 - x^2))
    bound = half + 1e-3 + 1e-6 * c;
    return c + half;
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
