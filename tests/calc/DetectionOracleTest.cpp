// The engine against a straightforward scan: one thread, every node and
// station in table order, a full ray search for every trial magnitude, the
// per-station values sorted whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "CalcFixtures.h"
#include "DetectionOracle.h"
#include "LayerFixtures.h"
#include "calc/Computation.h"
#include "calc/geodesy.h"
#include "medium/Threshold.h"

using namespace valdrin::calc;
using enum TShowMode;
using enum TViewPlane;
namespace medium = valdrin::medium;
using valdrin::calc::fixtures::Grid;
using valdrin::calc::fixtures::SameMatrix;
using valdrin::calc::oracle::OracleScan;

namespace {

TCalcSnapshot Snapshot(TShowMode mode, TViewPlane plane, TPlaneGrid grid, int N)
{
    TCalcSnapshot s;
    s.Params.Mode = mode;
    s.Params.Plane = plane;
    s.Params.N = N;
    s.Stations = ReadStations(DefaultCooGrid(), DefaultStrGrid(), plane, '.');
    s.Stations.Count = N;
    s.PlaneGrid = grid;
    // Vary the coefficients so that the rank of a station changes over the grid.
    for (std::size_t i = 0; i < static_cast<std::size_t>(N); ++i) {
        s.Stations.A1[i] = 1.1 + 0.05 * static_cast<double>(i % 5);
        s.Stations.A3[i] = 0.2 + 0.1 * static_cast<double>(i % 3);
        s.Stations.An[i] = 0.005 + 0.003 * static_cast<double>(i % 4);
    }
    return s;
}

void ExpectEngineMatchesOracle(const TCalcSnapshot &s)
{
    const TMatrix2D oracle = OracleScan(s);
    int finite = 0;
    for (const auto &row : oracle)
        finite += static_cast<int>(
            std::count_if(row.begin(), row.end(), [](double x) { return std::isfinite(x); }));
    EXPECT_GT(finite, 0) << "nothing to compare";
    for (int threads : { 1, 2, 3 }) {
        TRunControl rc;
        rc.Threads = threads;
        const auto r = RunComputation(s, rc);
        ASSERT_TRUE(r);
        EXPECT_TRUE(SameMatrix(r->ResultMatrix, oracle)) << "threads " << threads;
    }
}

} // namespace

TEST(DetectionOracle, HomogeneousEveryModeAndPlane)
{
    struct Case {
        TViewPlane plane;
        TPlaneGrid grid;
    };
    const Case cases[] = {
        { vpXY, Grid(-2000, 2000, 250, -1500, 1500, 300, 403) }, // through ARA0 itself
        { vpYZ, Grid(-1500, 1500, 375, 300, 500, 50, 0) },
        { vpXZ, Grid(-1000, 1000, 400, 350, 450, 25, 81) },
    };
    for (const Case &c : cases)
        for (TShowMode mode : { smMinMagnitude, smLocError, smCornerFreq, smSourceSize })
            for (int k : { 1, 3, 25 }) {
                SCOPED_TRACE(testing::Message()
                    << "plane " << int(c.plane) << " mode " << int(mode) << " k " << k);
                TCalcSnapshot s = Snapshot(mode, c.plane, c.grid, 25);
                s.Params.k = k;
                ExpectEngineMatchesOracle(s);
            }
}

TEST(DetectionOracle, HomogeneousInDegrees)
{
    TCalcSnapshot s
        = Snapshot(smMinMagnitude, vpXY, Grid(29.97, 30.03, 0.01, 59.98, 60.02, 0.01, 200), 25);
    s.Params.Degrees = true;
    for (std::size_t i = 0; i < 25; ++i) { // the network around 30 E, 60 N
        s.Stations.U[i] = 30 + s.Stations.U[i] / 55800;
        s.Stations.V[i] = 60 + s.Stations.V[i] / 111400;
    }
    s.Stations.U[3] = 30.01; // exactly on a node
    s.Stations.V[3] = 60.0;
    s.Stations.W[3] = 200;
    ExpectEngineMatchesOracle(s);
    s.Params.Mode = smLocError;
    ExpectEngineMatchesOracle(s);
}

TEST(DetectionOracle, LayeredSourceBelowTheStations)
{
    TCalcSnapshot s
        = Snapshot(smMinMagnitude, vpXY, Grid(-2000, 2000, 800, -2000, 2000, 800, -300), 12);
    s.Params.Medium = TMediumKind::Layered;
    s.Model = medium::testing::ReadThreeLayers();
    ExpectEngineMatchesOracle(s);
    s.Params.Mode = smSourceSize;
    s.Params.k = 4;
    ExpectEngineMatchesOracle(s);
}

TEST(DetectionOracle, LayeredStationsAboveAndBelowTheSource)
{
    // Source plane in the first layer; some stations deep in #2 and #3, one
    // in #1 with the source (the direct segment), rays going both ways.
    TCalcSnapshot s
        = Snapshot(smCornerFreq, vpXY, Grid(-1500, 1500, 600, -1500, 1500, 750, 150), 10);
    s.Params.Medium = TMediumKind::Layered;
    s.Params.k = 2;
    s.Params.FcNum = 2;
    s.Model = medium::testing::ReadThreeLayers();
    const double w[] = { 400, 120, 50, -20, -150, -480, -900, 300, 0, 180 };
    for (std::size_t i = 0; i < 10; ++i)
        s.Stations.W[i] = w[i];
    s.Model[1].SpreadExp = 0.5;
    ExpectEngineMatchesOracle(s);
    s.Params.Mode = smMinMagnitude;
    s.Params.k = 1;
    ExpectEngineMatchesOracle(s);
}

TEST(DetectionOracle, LayeredInTheVerticalPlanesAndInDegrees)
{
    for (TViewPlane plane : { vpYZ, vpXZ }) {
        SCOPED_TRACE(int(plane));
        TCalcSnapshot s
            = Snapshot(smMinMagnitude, plane, Grid(-1200, 1200, 600, 300, 500, 100, -50), 8);
        s.Params.Medium = TMediumKind::Layered;
        s.Params.k = 3;
        s.Model = medium::testing::ReadThreeLayers();
        ExpectEngineMatchesOracle(s);
    }
    TCalcSnapshot d
        = Snapshot(smMinMagnitude, vpXY, Grid(29.98, 30.02, 0.01, 59.99, 60.01, 0.01, -300), 8);
    d.Params.Degrees = true;
    d.Params.Medium = TMediumKind::Layered;
    d.Params.k = 2;
    d.Model = medium::testing::ReadThreeLayers();
    for (std::size_t i = 0; i < 8; ++i) {
        d.Stations.U[i] = 30 + d.Stations.U[i] / 55800;
        d.Stations.V[i] = 60 + d.Stations.V[i] / 111400;
    }
    ExpectEngineMatchesOracle(d);
}

namespace {

// The default network read for a plane, with its value at the node
// (X, Y, Z) = (x, y, z) of a grid whose first node it is.
double FirstNode(
    TViewPlane plane, TShowMode mode, bool layered, bool degrees, double x, double y, double z)
{
    TCellTable coo = DefaultCooGrid();
    if (degrees) // the network around 30 E, 60 N
        for (int r = 1; r < coo.RowCount(); ++r) {
            coo.SetCell(r, 1, std::to_string(30 + std::stod(coo.Cell(r, 1)) / 55800));
            coo.SetCell(r, 2, std::to_string(60 + std::stod(coo.Cell(r, 2)) / 111400));
        }
    const double d = degrees ? 0.01 : 200; // horizontal step
    TPlaneGrid g;
    switch (plane) {
    case vpYZ:
        g = Grid(y, y + 2 * d, d, z, z + 400, 200, x);
        break;
    case vpXZ:
        g = Grid(x, x + 2 * d, d, z, z + 400, 200, y);
        break;
    default:
        g = Grid(x, x + 2 * d, d, y, y + 2 * d, d, z);
        break;
    }
    TCalcSnapshot s = Snapshot(mode, plane, g, 25);
    s.Stations = ReadStations(coo, DefaultStrGrid(), plane, '.');
    s.Params.Degrees = degrees;
    s.Params.LocErrorPct = 50;
    if (layered) {
        s.Params.Medium = TMediumKind::Layered;
        s.Model = medium::testing::ReadThreeLayers();
    }
    const auto r = RunComputation(s);
    return r ? r->ResultMatrix[0][0] : NAN;
}

} // namespace

TEST(DetectionSections, OneSourcePointHasOneValueFromEveryPlane)
{
    for (bool degrees : { false, true })
        for (bool layered : { false, true })
            for (TShowMode mode : { smMinMagnitude, smLocError, smCornerFreq, smSourceSize }) {
                SCOPED_TRACE(testing::Message()
                    << "degrees " << degrees << " layered " << layered << " mode " << int(mode));
                const double x = degrees ? 30 : 0, y = degrees ? 60 : 0, z = -300;
                const double xy = FirstNode(vpXY, mode, layered, degrees, x, y, z);
                ASSERT_TRUE(std::isfinite(xy));
                for (TViewPlane plane : { vpYZ, vpXZ }) {
                    const double section = FirstNode(plane, mode, layered, degrees, x, y, z);
                    // The homogeneous law in metres keeps the plane's own order of
                    // terms: equal to the printed digit, not always to the bit.
                    if (!degrees && !layered)
                        EXPECT_NEAR(section, xy, 1e-12 * std::fabs(xy)) << int(plane);
                    else
                        EXPECT_EQ(section, xy) << int(plane);
                }
            }
}

TEST(DetectionSections, ADepthSectionStepsWhereTheRayCrossesIntoTheNextLayer)
{
    // Two layers with the boundary at 0 m; one station at the surface, a
    // column of nodes from 600 m below the boundary to 380 m above it.
    medium::THorizontalModel model = medium::testing::ReadThreeLayers();
    model.resize(2);
    model[0].H = 200;
    medium::UpdateLayerBounds(model);
    model[1].Bottom = -INFINITY;
    TCellTable coo = DefaultCooGrid();
    coo.SetCell(1, 1, "700");
    coo.SetCell(1, 2, "-400");
    coo.SetCell(1, 3, "195");
    TCalcSnapshot s = Snapshot(smMinMagnitude, vpYZ, Grid(0, 0, 100, -600, 180, 20, 0), 1);
    s.Stations = ReadStations(coo, DefaultStrGrid(), vpYZ, '.');
    s.Stations.Count = 1;
    s.Params.k = 1;
    s.Params.Medium = TMediumKind::Layered;
    s.Model = model;
    const auto r = RunComputation(s);
    ASSERT_TRUE(r);
    const auto &column = r->ResultMatrix[0];
    std::size_t step = 0;
    double largest = 0;
    for (std::size_t j = 0; j < column.size(); ++j) {
        const double z = -600 + 20.0 * static_cast<double>(j);
        medium::THorizontalModel m = model;
        const double expected = medium::StationMinMagnitude(
            true, m, 1, 1.3, 0.0001, 0.4, std::hypot(400, 700), z, 195, 200 - z, 0.04, 3000, 5);
        EXPECT_EQ(column[j], expected) << z;
        if (j > 0 && std::fabs(column[j] - column[j - 1]) > largest) {
            largest = std::fabs(column[j] - column[j - 1]);
            step = j;
        }
    }
    // The largest change between neighbours lies across the boundary: from
    // -20 m (a ray through both layers) to 0 m (in the station's layer).
    EXPECT_EQ(-600 + 20.0 * static_cast<double>(step), 0); // 0 m lies in the upper layer
}

// Random networks: coefficients, heights and k drawn afresh, stations
// clustered so that several lie at nearly one distance from a node, some
// copies of one station (equal values), a node on a station; metres and
// degrees, every plane. The engine's estimate-first scan must give the
// straightforward scan's numbers bit for bit.
TEST(DetectionOracle, RandomNetworksEveryMediumOfDistance)
{
    std::mt19937 rng(20240515);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 24; ++round) {
        const bool degrees = round % 2 == 1;
        const TViewPlane plane = round % 6 < 2 ? vpXY : round % 6 < 4 ? vpYZ : vpXZ;
        const int N = 2 + static_cast<int>(unit(rng) * 40);
        TCalcSnapshot s = Snapshot(round % 3 == 0 ? smCornerFreq : smMinMagnitude, plane,
            degrees ? Grid(29.9, 30.1, 0.02, 59.95, 60.05, 0.01, plane == vpXY ? 150 : 60)
                    : Grid(-3000, 3000, 500, -2000, 2000, 400, 100),
            std::min(N, 25));
        if (plane != vpXY && !degrees)
            s.PlaneGrid = Grid(-3000, 3000, 500, -800, 400, 100, 150);
        if (plane != vpXY && degrees)
            s.PlaneGrid = Grid(59.95, 60.05, 0.01, -800, 400, 100, 30.02);
        TStationSet &st = s.Stations;
        for (auto *a : { &st.U, &st.V, &st.W, &st.A0, &st.A1, &st.A2, &st.A3, &st.An, &st.SNR })
            a->resize(static_cast<std::size_t>(N));
        st.Name.resize(static_cast<std::size_t>(N));
        for (std::size_t i = 0; i < static_cast<std::size_t>(N); ++i) {
            const double spread = i % 4 == 0 ? 0.05 : 1; // a cluster
            const double x = (unit(rng) - 0.5) * 4000 * spread,
                         y = (unit(rng) - 0.5) * 4000 * spread;
            const double lon = 30 + x / 55800, lat = 60 + y / 111400;
            const double h = 100 + unit(rng) * 400;
            // Each plane reads its own columns: U, V, W as the station table gives them.
            const double X = degrees ? lon : x, Y = degrees ? lat : y;
            st.U[i] = plane == vpYZ ? Y : X;
            st.V[i] = plane == vpXY ? Y : h;
            st.W[i] = plane == vpXY ? h : plane == vpYZ ? X : Y;
            st.A0[i] = 0.5 + unit(rng);
            st.A1[i] = i % 5 == 0 ? 1.3 : 0.5 + unit(rng) * 2;
            st.A2[i] = unit(rng) * 0.01;
            st.A3[i] = unit(rng) - 0.5;
            st.An[i] = 0.001 + unit(rng) * 0.05;
            st.SNR[i] = 1 + unit(rng) * 5;
        }
        if (N > 3) { // a copy: equal values at every node
            for (auto *a : { &st.U, &st.V, &st.W, &st.A0, &st.A1, &st.A2, &st.A3, &st.An, &st.SNR })
                (*a)[1] = (*a)[2];
        }
        // A station on the first node of the grid.
        const TPlaneGrid &g = s.PlaneGrid;
        st.U[0] = g.UMin;
        st.V[0] = g.VMin;
        st.W[0] = g.WPlane;
        st.Count = N;
        s.Params.N = N;
        s.Params.k = 1 + static_cast<int>(unit(rng) * N);
        SCOPED_TRACE(testing::Message() << "round " << round << " N " << N << " k " << s.Params.k);
        ExpectEngineMatchesOracle(s);
    }
}

TEST(SortAscending, OrdersAndNeverExchangesEqualElements)
{
    TDoubleDynArray v { 3, -1, 2, 2, -7, 0.5 };
    oracle::SortAscending(v);
    EXPECT_EQ(v, (TDoubleDynArray { -7, -1, 0.5, 2, 2, 3 }));
    TDoubleDynArray zeros { 0.0, -0.0, -1 };
    oracle::SortAscending(zeros);
    EXPECT_EQ(zeros[0], -1);
    EXPECT_TRUE(std::signbit(zeros[1])); // +0 and -0 are equal: kept in their order
    EXPECT_FALSE(std::signbit(zeros[2]));
    TDoubleDynArray empty;
    oracle::SortAscending(empty);
    EXPECT_TRUE(empty.empty());
}

// The same for the layered medium, where the magnitude search settles most
// trials in double: random stations above, beside and below the source
// levels, varied Vs and corner-frequency multipliers, every plane.
TEST(DetectionOracle, RandomLayeredNetworks)
{
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int round = 0; round < 6; ++round) {
        const TViewPlane plane = round < 2 ? vpXY : round < 4 ? vpYZ : vpXZ;
        const int N = 2 + static_cast<int>(unit(rng) * 10);
        TCalcSnapshot s = Snapshot(round % 2 ? smCornerFreq : smMinMagnitude, plane,
            plane == vpXY ? Grid(-2000, 2000, 500, -2000, 2000, 500, round % 2 ? 150 : -250)
                          : Grid(-2000, 2000, 500, -600, 150, 150, 100),
            std::min(N, 25));
        s.Params.Medium = TMediumKind::Layered;
        s.Model = medium::testing::ReadThreeLayers();
        s.Params.Vs = 2000 + unit(rng) * 2000;
        s.Params.FcNum = 1 + unit(rng) * 6;
        TStationSet &st = s.Stations;
        for (auto *a : { &st.U, &st.V, &st.W, &st.A0, &st.A1, &st.A2, &st.A3, &st.An, &st.SNR })
            a->resize(static_cast<std::size_t>(N));
        st.Name.resize(static_cast<std::size_t>(N));
        for (std::size_t i = 0; i < static_cast<std::size_t>(N); ++i) {
            const double x = (unit(rng) - 0.5) * 4000, y = (unit(rng) - 0.5) * 4000;
            const double h = 190 - unit(rng) * 800; // in any of the three layers
            st.U[i] = plane == vpYZ ? y : x;
            st.V[i] = plane == vpXY ? y : h;
            st.W[i] = plane == vpXY ? h : plane == vpYZ ? x : y;
            st.A0[i] = 0.5 + unit(rng);
            st.A1[i] = 0.5 + unit(rng) * 2;
            st.A2[i] = unit(rng) * 0.01;
            st.A3[i] = unit(rng) * 3 - 1.5;
            st.An[i] = 0.001 + unit(rng) * 0.05;
            st.SNR[i] = 1 + unit(rng) * 5;
        }
        st.Count = N;
        s.Params.N = N;
        s.Params.k = 1 + static_cast<int>(unit(rng) * N);
        SCOPED_TRACE(testing::Message() << "round " << round << " N " << N << " k " << s.Params.k);
        ExpectEngineMatchesOracle(s);
    }
}
