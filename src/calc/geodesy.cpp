// Vincenty, T. (1975): Direct and inverse solutions of geodesics on the
// ellipsoid with application of nested equations. Notation as there: U
// reduced latitude, lambda longitude on the auxiliary sphere, sigma arc,
// alpha azimuth of the geodesic at the equator, sigma_m the arc midpoint.
#include "calc/geodesy.h"

#include <cfenv>
#include <cmath>
#include <limits>
#include <numbers>

namespace valdrin::calc {

namespace {

constexpr TExtended kB = 6356752.3142L; // semi-minor axis, m
constexpr TExtended kF = 0.003352810671830975L; // flattening
constexpr TExtended kE2 = 0.00673949674227L; // second eccentricity squared
constexpr TExtended kTolerance = 1e-12L; // on lambda, rad (~6 um on the ground)
constexpr int kMaxPasses = 100;
constexpr TExtended kCos2AlphaGuard = 1e-50L; // an equatorial line has no sigma_m term
constexpr TExtended kOffset = 1e-15L; // keeps sin(sigma) off zero for equal points
constexpr TExtended kPi = std::numbers::pi_v<TExtended>;
constexpr TExtended kRad = kPi / 180;

struct TSurface {
    TExtended S = 0; // geodesic length, m
    TExtended Azimuth = 0; // degrees
};

struct TSinCos {
    TExtended S = 0, C = 0;
};

// sin and cos of the reduced latitude, tan U = (1 - f) tan(phi). 90 degrees
// in radians lies a rounding past pi/2, where tan is huge and negative (the
// opposite pole), so the poles are taken as they are.
TSinCos ReducedLatitude(TExtended latitude)
{
    if (std::fabs(latitude) >= 90)
        return { latitude > 0 ? TExtended(1) : TExtended(-1), 0 };
    const TExtended U = std::atan((1 - kF) * std::tan(latitude * kRad));
    return { std::sin(U), std::cos(U) };
}

// The geodesic between reduced latitudes U1 and U2, longitudes L apart
// (radians). Without Azimuth the azimuth is left out and its field holds
// lambda instead: the azimuth is finite exactly where lambda is (sin, cos,
// atan2 and FloatMod of finite values are finite and raise neither fault),
// and that is all GeoInverse asks of it when only the distance is kept.
template<bool Azimuth> TSurface SolveReduced(const TSinCos &U1, const TSinCos &U2, TExtended L)
{
    const TExtended cU1 = U1.C + kOffset, sU1 = U1.S + kOffset;
    const TExtended cU2 = U2.C, sU2 = U2.S;

    TExtended lambda = L, sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
    for (int passes = 1;; ++passes) {
        const TExtended prev = lambda;
        const TExtended sinL = std::sin(prev), cosL = std::cos(prev);
        const TExtended a = cU2 * sinL, b = cU1 * sU2 - sU1 * cU2 * cosL;
        sinSigma = std::sqrt(a * a + b * b);
        cosSigma = sU1 * sU2 + cU1 * cU2 * cosL;
        sigma = std::atan2(sinSigma, cosSigma);
        const TExtended sinAlpha = cU1 * cU2 * sinL / sinSigma;
        cos2Alpha = (1 + sinAlpha) * (1 - sinAlpha);
        cos2SigmaM
            = std::fabs(cos2Alpha) >= kCos2AlphaGuard ? cosSigma - 2 * sU1 * sU2 / cos2Alpha : 0;
        const TExtended C = kF / 16 * cos2Alpha * (4 + kF * (4 - 3 * cos2Alpha));
        lambda = L
            + (1 - C) * kF * sinAlpha
                * (sigma
                    + C * sinSigma
                        * (cos2SigmaM + C * cosSigma * (2 * cos2SigmaM * cos2SigmaM - 1)));
        if (passes >= kMaxPasses || std::fabs(lambda - prev) <= kTolerance)
            break;
    }

    const TExtended u2 = cos2Alpha * kE2;
    const TExtended A = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)));
    const TExtended B = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)));
    const TExtended c2m = cos2SigmaM * cos2SigmaM;
    const TExtended dSigma = B * sinSigma
        * (cos2SigmaM
            + B / 4
                * (cosSigma * (2 * c2m - 1)
                    - B / 6 * cos2SigmaM * (4 * sinSigma * sinSigma - 3) * (4 * c2m - 3)));
    TSurface r;
    r.S = kB * A * (sigma - dSigma);
    if constexpr (Azimuth) {
        const TExtended alpha2
            = std::atan2(cU1 * std::sin(lambda), cU1 * sU2 * std::cos(lambda) - sU1 * cU2);
        r.Azimuth = FloatMod(alpha2 + 2 * kPi, 2 * kPi) / kRad;
    } else {
        r.Azimuth = lambda;
    }
    return r;
}

TSurface Solve(const TGeoPoint &P1, const TGeoPoint &P2)
{
    const TExtended L = WrapLongitudeDifference(P2.Longitude - P1.Longitude) * kRad;
    const TSinCos U1 = ReducedLatitude(P1.Latitude), U2 = ReducedLatitude(P2.Latitude);
    return SolveReduced<true>(U1, U2, L);
}

// Solve's surface, with a fault (a flag raised, or a value not finite) as
// zero; the caller's flags are restored. The reduced latitudes raise no
// fault of their own for any latitude (a pole or an infinity takes the pole
// branch, a NaN passes quietly), so they may be found outside.
template<class F> TSurface Guarded(F &&solve)
{
    std::fexcept_t saved;
    std::fegetexceptflag(&saved, FE_ALL_EXCEPT);
    std::feclearexcept(FE_DIVBYZERO | FE_INVALID);
    TSurface surface = solve();
    const bool fault = std::fetestexcept(FE_DIVBYZERO | FE_INVALID) != 0
        || !std::isfinite(surface.S) || !std::isfinite(surface.Azimuth);
    std::fesetexceptflag(&saved, FE_ALL_EXCEPT);
    if (fault)
        surface = {};
    return surface;
}

} // namespace

TReducedLatitude ReducedLatitudeEstimate(double latitude)
{
    if (std::fabs(latitude) >= 90)
        return { latitude > 0 ? 1.0 : -1.0, 0 };
    const double U = std::atan((1 - double(kF)) * std::tan(latitude * double(kRad)));
    return { std::sin(U), std::cos(U) };
}

double GeoDistanceEstimate(TReducedLatitude U1, TReducedLatitude U2, double longitudeDifference)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double f = double(kF), e2 = double(kE2);
    // Converged well past the extended iteration's own stop, so that the two
    // differ only by where that one stopped.
    constexpr double tolerance = 1e-14;
    constexpr int maxPasses = 20;
    constexpr double maxSigma = 2.5; // rad; nearer the antipode the extended path decides
    const double L = WrapLongitudeDifference(longitudeDifference) * double(kRad);
    const double cU1 = U1.C + double(kOffset), sU1 = U1.S + double(kOffset);
    const double cU2 = U2.C, sU2 = U2.S;
    double lambda = L, sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
    for (int passes = 1;; ++passes) {
        if (passes > maxPasses)
            return nan;
        const double prev = lambda;
        const double sinL = std::sin(prev), cosL = std::cos(prev);
        const double a = cU2 * sinL, b = cU1 * sU2 - sU1 * cU2 * cosL;
        sinSigma = std::sqrt(a * a + b * b);
        cosSigma = sU1 * sU2 + cU1 * cU2 * cosL;
        sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = cU1 * cU2 * sinL / sinSigma;
        cos2Alpha = (1 + sinAlpha) * (1 - sinAlpha);
        cos2SigmaM = std::fabs(cos2Alpha) >= double(kCos2AlphaGuard)
            ? cosSigma - 2 * sU1 * sU2 / cos2Alpha
            : 0;
        const double C = f / 16 * cos2Alpha * (4 + f * (4 - 3 * cos2Alpha));
        lambda = L
            + (1 - C) * f * sinAlpha
                * (sigma
                    + C * sinSigma
                        * (cos2SigmaM + C * cosSigma * (2 * cos2SigmaM * cos2SigmaM - 1)));
        if (!std::isfinite(lambda))
            return nan;
        if (std::fabs(lambda - prev) <= tolerance)
            break;
    }
    if (!(sigma <= maxSigma))
        return nan;
    const double u2 = cos2Alpha * e2;
    const double A = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)));
    const double B = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)));
    const double c2m = cos2SigmaM * cos2SigmaM;
    const double dSigma = B * sinSigma
        * (cos2SigmaM
            + B / 4
                * (cosSigma * (2 * c2m - 1)
                    - B / 6 * cos2SigmaM * (4 * sinSigma * sinSigma - 3) * (4 * c2m - 3)));
    const double s = std::fabs(double(kB) * A * (sigma - dSigma));
    return std::isfinite(s) ? s : nan;
}

TGeoCartesian GeoCartesianEstimate(double latitude, double longitude)
{
    constexpr double f = double(kF);
    constexpr double e2 = f * (2 - f);
    const double a = double(kB) / (1 - f);
    if (!(std::fabs(latitude) <= 90) || !(std::fabs(longitude) <= 1000))
        return {};
    const double phi = latitude * double(kRad), lambda = longitude * double(kRad);
    const double sp = std::sin(phi), cp = std::cos(phi);
    const double N = a / std::sqrt(1 - e2 * sp * sp);
    return { N * cp * std::cos(lambda), N * cp * std::sin(lambda), N * (1 - e2) * sp, true };
}

TGeoPoint MakeGeoPoint(TExtended latitude, TExtended longitude, TExtended height)
{
    return { latitude, longitude, height };
}

TGeoVector GeoInverse(const TGeoPoint &P1, const TGeoPoint &P2)
{
    // Faults are detected from the floating-point flags (and from what they
    // leave behind), with the caller's flags restored afterwards.
    const TSurface surface = Guarded([&] { return Solve(P1, P2); });
    const TExtended dh = P1.Height - P2.Height;
    return { surface.Azimuth, std::sqrt(surface.S * surface.S + dh * dh) };
}

TGeoLatitude GeoReducedLatitude(TExtended latitude)
{
    const TSinCos U = ReducedLatitude(latitude);
    return { U.S, U.C };
}

TExtended GeoDistance(
    const TGeoLatitude &U1, TExtended longitude1, const TGeoLatitude &U2, TExtended longitude2)
{
    const TExtended L = WrapLongitudeDifference(longitude2 - longitude1) * kRad;
    const TSurface surface = Guarded([&] {
        return SolveReduced<false>({ U1.S, U1.C }, { U2.S, U2.C }, L);
    });
    const TExtended dh = TExtended(0) - TExtended(0);
    return std::sqrt(surface.S * surface.S + dh * dh);
}

TExtended FloatMod(TExtended x, TExtended y)
{
    if (y == 0)
        return std::numeric_limits<TExtended>::quiet_NaN();
    return x - y * std::trunc(x / y);
}

} // namespace valdrin::calc
