#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "calc/Computation.h"
#include "calc/geodesy.h"

#ifdef VALDRIN_HAVE_GEOGRAPHICLIB
#include <GeographicLib/Geodesic.hpp>
#endif

using namespace valdrin::calc;

namespace {

struct GeoCase {
    double Lat1, Lon1, Lat2, Lon2;
    double Distance; // m, to 1 mm
    double Azimuth; // degrees
    double AzimuthTol;
};

class GeoInverseFigures : public ::testing::TestWithParam<GeoCase> { };

} // namespace

TEST_P(GeoInverseFigures, DistanceAndAzimuth)
{
    const auto &c = GetParam();
    const auto v = GeoInverse(MakeGeoPoint(c.Lat1, c.Lon1, 0), MakeGeoPoint(c.Lat2, c.Lon2, 0));
    EXPECT_NEAR(static_cast<double>(v.Distance), c.Distance, 0.0005);
    EXPECT_NEAR(static_cast<double>(v.Azimuth), c.Azimuth, c.AzimuthTol);
    EXPECT_GE(v.Azimuth, 0);
    EXPECT_LT(v.Azimuth, 360);
}

INSTANTIATE_TEST_SUITE_P(Reference, GeoInverseFigures,
    ::testing::Values(GeoCase { 0, 0, 1, 0, 110574.389, 0, 1e-9 },
        GeoCase { 0, 0, 0, 1, 111319.491, 90, 1e-9 },
        GeoCase { 60, 30, 60.01, 30.02, 1576.817, 45.05, 0.005 }));

TEST(GeoInverse, EdgesOfTheIteration)
{
    // Equal points: the offsets keep sin(sigma) off zero.
    const auto same = GeoInverse(MakeGeoPoint(55.7, 37.6, 0), MakeGeoPoint(55.7, 37.6, 0));
    EXPECT_LT(same.Distance, 1e-8);
    // Everywhere, equal points differ by their heights alone; at a reduced
    // latitude of 45 degrees the offsets cancel and the fault path gives it.
    for (double lat = -89; lat <= 89; lat += 0.5) {
        for (double l : { lat, 45.09621215078338886 }) {
            const auto v = GeoInverse(MakeGeoPoint(l, 37, 0), MakeGeoPoint(l, 37, 5));
            ASSERT_NEAR(static_cast<double>(v.Distance), 5, 1e-8) << l;
        }
    }

    const auto up = GeoInverse(MakeGeoPoint(10, 20, 0), MakeGeoPoint(10, 20, 100));
    EXPECT_NEAR(static_cast<double>(up.Distance), 100, 1e-8);

    // Westward and southward lines keep the azimuth in [0, 360).
    const auto west = GeoInverse(MakeGeoPoint(0, 1, 0), MakeGeoPoint(0, 0, 0));
    EXPECT_NEAR(static_cast<double>(west.Azimuth), 270, 1e-9);
    EXPECT_NEAR(static_cast<double>(west.Distance), 111319.491, 0.0005);
    const auto south = GeoInverse(MakeGeoPoint(1, 0, 0), MakeGeoPoint(0, 0, 0));
    EXPECT_NEAR(static_cast<double>(south.Azimuth), 180, 1e-9);

    // Nearly antipodal: no convergence, but a value and no exception.
    const auto anti = GeoInverse(MakeGeoPoint(0, 0, 0), MakeGeoPoint(0.5, 179.7, 0));
    EXPECT_TRUE(std::isfinite(static_cast<double>(anti.Distance)));
    EXPECT_GT(anti.Distance, 1.9e7);
}

TEST(GeoInverse, ArithmeticFaultsGiveTheHeightDifferenceQuietly)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::feclearexcept(FE_ALL_EXCEPT);
    const auto v = GeoInverse(MakeGeoPoint(nan, 0, 30), MakeGeoPoint(1, 1, 70));
    EXPECT_EQ(v.Azimuth, 0);
    EXPECT_NEAR(static_cast<double>(v.Distance), 40, 1e-12);
    // The caller's floating-point flags are left as they were.
    EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO), 0);
}

TEST(GeoDistance, GeoInverseDistanceFromKeptLatitudesBitForBit)
{
    // Random lines short and long, the poles, equal points (the fault path at
    // a reduced latitude of 45 degrees), nearly antipodal points, a NaN and
    // an infinite latitude, a longitude difference across the antimeridian.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<std::array<double, 4>> lines = { { 90, 0, 89.9, 10 }, { -90, 5, -90, 100 },
        { 45.09621215078338886, 37, 45.09621215078338886, 37 }, { 55.7, 37.6, 55.7, 37.6 },
        { 0, 0, 0.5, 179.7 }, { std::nan(""), 0, 1, 1 }, { INFINITY, 0, 1, 1 },
        { 10, 179.9, 10.1, -179.95 } };
    for (int i = 0; i < 20000; ++i) {
        const double lat = unit(rng) * 180 - 90, lon = unit(rng) * 360 - 180;
        const double d = std::pow(10, unit(rng) * 7 - 6);
        lines.push_back({ lat, lon, std::clamp(lat + d * (unit(rng) - 0.5), -90.0, 90.0),
            lon + d * (unit(rng) - 0.5) });
    }
    for (const auto &l : lines) {
        const TExtended expected
            = GeoInverse(MakeGeoPoint(l[0], l[1], 0), MakeGeoPoint(l[2], l[3], 0)).Distance;
        const TExtended d
            = GeoDistance(GeoReducedLatitude(l[0]), l[1], GeoReducedLatitude(l[2]), l[3]);
        ASSERT_TRUE(d == expected && std::signbit(d) == std::signbit(expected))
            << l[0] << " " << l[1] << " " << l[2] << " " << l[3];
    }
}

TEST(GeoChordEstimate, BoundsTheGeodesicUpToAThousandKilometres)
{
    // Lines from a millimetre to 1000 km at every latitude, over the poles and
    // the antimeridian: GeoInverse's length lies between the chord and the
    // arc, give or take a tenth of what the bound allows it beyond them.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(0, 1);
    int tried = 0;
    for (int i = 0; i < 200000; ++i) {
        const double lat1 = i % 100 == 0 ? 90 : unit(rng) * 180 - 90;
        const double lon1 = unit(rng) * 360 - 180;
        const double d = std::pow(10, unit(rng) * 8 - 8) * 9; // degrees
        const double lat2 = std::clamp(lat1 + d * (unit(rng) - 0.5), -90.0, 90.0);
        const double lon2 = lon1 + d * (unit(rng) - 0.5) / std::max(std::cos(lat1 / 57.3), 0.01);
        double bound = 0;
        const double e = GeoChordEstimate(
            GeoCartesianEstimate(lat1, lon1), GeoCartesianEstimate(lat2, lon2), bound);
        if (std::isnan(e))
            continue;
        ++tried;
        const double g = static_cast<double>(
            GeoInverse(MakeGeoPoint(lat1, lon1, 0), MakeGeoPoint(lat2, lon2, 0)).Distance);
        const double allowed = 1e-3 + 1e-6 * e, half = bound - allowed;
        ASSERT_LE(std::fabs(g - e), half + allowed / 10)
            << lat1 << " " << lon1 << " " << lat2 << " " << lon2;
    }
    EXPECT_GT(tried, 150000);
    double bound = 0;
    EXPECT_TRUE(std::isnan(GeoChordEstimate(
        GeoCartesianEstimate(0, 0), GeoCartesianEstimate(0, 10), bound))); // beyond 1000 km
    EXPECT_FALSE(GeoCartesianEstimate(90.5, 0).Ok);
    EXPECT_FALSE(GeoCartesianEstimate(std::nan(""), 0).Ok);
}

TEST(FloatMod, TruncatesTowardZero)
{
    EXPECT_NEAR(static_cast<double>(FloatMod(7.5L, 2)), 1.5, 1e-15);
    EXPECT_NEAR(static_cast<double>(FloatMod(-7.5L, 2)), -1.5, 1e-15);
    EXPECT_NEAR(static_cast<double>(FloatMod(7.5L, -2)), 1.5, 1e-15);
    EXPECT_EQ(FloatMod(4, 2), 0);
    EXPECT_TRUE(std::isnan(static_cast<double>(FloatMod(1, 0))));
}

TEST(GeoInverse, AgreesWithGeographicLibToATenthOfAMillimetre)
{
#ifndef VALDRIN_HAVE_GEOGRAPHICLIB
    GTEST_SKIP() << "GeographicLib not available";
#else
    // The same ellipsoid: a from the b and f the unit works with.
    const double f = 0.003352810671830975;
    const GeographicLib::Geodesic ref(6356752.3142 / (1 - f), f);
    std::mt19937_64 rng(20240517);
    std::uniform_real_distribution<double> lat(-80, 80), lon(-180, 180), unit(0, 1);
    int checked = 0;
    double worst = 0;
    for (int i = 0; i < 400; ++i) {
        const double lat1 = lat(rng), lon1 = lon(rng);
        // Separations from about a metre to about 90 degrees of arc.
        const double span = std::pow(10.0, -5 + 7 * unit(rng));
        const double lat2 = std::clamp(lat1 + span * (unit(rng) - 0.5), -89.0, 89.0);
        const double lon2 = lon1 + span * (unit(rng) - 0.5);
        double s12 = 0, azi1 = 0, azi2 = 0;
        ref.Inverse(lat1, lon1, lat2, lon2, s12, azi1, azi2);
        const auto v = GeoInverse(MakeGeoPoint(lat1, lon1, 0), MakeGeoPoint(lat2, lon2, 0));
        const double err = std::fabs(static_cast<double>(v.Distance) - s12);
        worst = std::max(worst, err);
        EXPECT_LT(err, 1e-4) << lat1 << ", " << lon1 << " -> " << lat2 << ", " << lon2 << ": "
                             << s12 << " m";
        if (s12 > 1) {
            double az = azi2 < 0 ? azi2 + 360 : azi2;
            double d = std::fabs(static_cast<double>(v.Azimuth) - az);
            d = std::min(d, 360 - d);
            EXPECT_LT(d, 1e-6) << lat1 << ", " << lon1 << " -> " << lat2 << ", " << lon2;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 400);
    RecordProperty("WorstDistanceErrorMetres", std::to_string(worst));
#endif
}

TEST(GeoInverse, PolesAgreeWithGeographicLib)
{
#ifndef VALDRIN_HAVE_GEOGRAPHICLIB
    GTEST_SKIP() << "GeographicLib not available";
#else
    const double f = 0.003352810671830975;
    const GeographicLib::Geodesic ref(6356752.3142 / (1 - f), f);
    // Nodes and stations at +-90 degrees, with any longitude, to and from
    // the other pole, the equator and their neighbourhood.
    const double cases[][4] = { { 90, 0, 89, 0 }, { 90, 37, 89, -120 }, { 89, 20, 90, 0 },
        { -90, 10, -89.5, 170 }, { -89.9, 0, -90, 45 }, { 90, 0, -90, 0 }, { 90, 15, 0, 100 },
        { -90, 0, 30, -60 }, { 90, 5, 90, -175 } };
    for (const auto &c : cases) {
        double s12 = 0, azi1 = 0, azi2 = 0;
        ref.Inverse(c[0], c[1], c[2], c[3], s12, azi1, azi2);
        const auto v = GeoInverse(MakeGeoPoint(c[0], c[1], 0), MakeGeoPoint(c[2], c[3], 0));
        EXPECT_NEAR(static_cast<double>(v.Distance), s12, 1e-4)
            << c[0] << ", " << c[1] << " -> " << c[2] << ", " << c[3];
    }
#endif
}

TEST(GeoInverse, LongitudeDifferencesWrapAcrossTheAntimeridian)
{
    EXPECT_EQ(WrapLongitudeDifference(359.5), -0.5);
    EXPECT_EQ(WrapLongitudeDifference(-180.0), 180);
    EXPECT_EQ(WrapLongitudeDifference(180.0), 180);
    EXPECT_EQ(WrapLongitudeDifference(-540.25L), 179.75L);
    EXPECT_EQ(WrapLongitudeDifference(12.345), 12.345); // untouched inside
    const auto a = GeoInverse(MakeGeoPoint(10, 179.97, 0), MakeGeoPoint(10.02, 180.03, 0));
    const auto b = GeoInverse(MakeGeoPoint(10, 179.97, 0), MakeGeoPoint(10.02, -179.97, 0));
    EXPECT_NEAR(static_cast<double>(a.Distance), static_cast<double>(b.Distance), 1e-6);
}

TEST(ScanNodes, ALocationErrorAtThePoleIsThatOfItsDistance)
{
    // Node at 90 N, station at 89 N (111.7 km): 50 % gives 55.8 km, not the
    // 9 946 km of the opposite pole.
    TCalcSnapshot s;
    s.Params.Mode = TShowMode::smLocError;
    s.Params.Degrees = true;
    s.Params.N = 1;
    s.Params.k = 1;
    s.Params.LocErrorPct = 50;
    s.Stations.U = { 37 };
    s.Stations.V = { 89 };
    s.Stations.W = { 0 };
    for (auto *a : { &s.Stations.A0, &s.Stations.A1, &s.Stations.A2, &s.Stations.A3, &s.Stations.An,
             &s.Stations.SNR })
        *a = { 1 };
    s.Stations.Count = 1;
    s.PlaneGrid = { 0, 0, 1, 90, 90, 1, 0, 1, 1 };
    const auto r = RunComputation(s);
    ASSERT_TRUE(r);
    EXPECT_NEAR(r->ResultMatrix[0][0], 111.694e3 / 2, 10);
}
