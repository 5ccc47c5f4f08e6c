#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <utility>

#include "calc/ArrayResponse.h"
#include "calc/NetworkModel.h"
#include "common/Error.h"

using namespace valdrin::calc;
using valdrin::common::TValdrinError;

namespace {

double At(const TMatrix2D &m, int p, int q)
{
    return m[static_cast<std::size_t>(p)][static_cast<std::size_t>(q)];
}

TStationSet DefaultStations(TViewPlane plane = TViewPlane::vpXY)
{
    return ReadStations(DefaultCooGrid(), DefaultStrGrid(), plane, '.');
}

TStationSet Line(const std::vector<double> &u, const std::vector<double> &v)
{
    TStationSet s;
    s.U = u;
    s.V = v;
    s.Count = static_cast<int>(u.size());
    return s;
}

TWaveGrid Grid(int kCount, double dk)
{
    return TWaveGrid { kCount * dk, dk, kCount };
}

double MaxDifference(const TMatrix2D &a, const TMatrix2D &b)
{
    double d = 0;
    for (std::size_t p = 0; p < a.size(); ++p)
        for (std::size_t q = 0; q < a[p].size(); ++q)
            d = std::max(d, std::fabs(a[p][q] - b[p][q]));
    return d;
}

} // namespace

TEST(ArrayResponse, DefaultNetworkMatchesTheStraightforwardFormEverywhere)
{
    const auto st = DefaultStations();
    const TWaveGrid grid { 0.005, 0.00002, 250 };
    const auto ref = ArrayResponseReference(st, 25, grid, false);
    for (int threads : { 1, 2, 3 }) {
        TRunControl rc;
        rc.Threads = threads;
        const auto fast = ArrayResponse(st, 25, grid, false, rc);
        ASSERT_TRUE(fast);
        ASSERT_EQ(fast->Matrix.size(), 501u);
        ASSERT_EQ(fast->Matrix[0].size(), 501u);
        EXPECT_LE(MaxDifference(fast->Matrix, ref.Matrix), 1e-12) << threads;
        EXPECT_NEAR(fast->Min, ref.Min, 1e-12);
        EXPECT_DOUBLE_EQ(fast->Matrix[250][250], 1.0);
    }
}

// The fast form's arithmetic element by element: the factor of row p times
// that of column q summed over the stations in their order from zero,
// |sum| / M; rows past K, and row K left of its centre, mirror the computed
// ones. Every side (each remainder of the column groups and of the row
// blocks) and thread count gives this matrix to the bit.
TEST(ArrayResponse, EveryElementSummedInTheStationsOrderWhateverTheSideAndThreads)
{
    const auto st = DefaultStations();
    const TArrayOffsets o = ArrayOffsets(st, 25, false);
    const std::size_t m = o.A.size();
    constexpr double kTwoPi = 6.283185307179586;
    for (int K : { 0, 1, 2, 3, 4, 5, 6, 7, 9, 30 }) {
        const TWaveGrid grid = Grid(K, 0.0003);
        const std::size_t side = 2 * static_cast<std::size_t>(K) + 1;
        auto factor = [&](double coef, std::size_t j) {
            const double phi = kTwoPi * (coef * ((static_cast<double>(j) - K) * grid.DK));
            return std::pair { std::cos(phi), std::sin(phi) };
        };
        auto element = [&](std::size_t p, std::size_t q) {
            double re = 0, im = 0;
            for (std::size_t s = 0; s < m; ++s) {
                const auto [pr, pi] = factor(o.A[s], p);
                const auto [qr, qi] = factor(o.B[s], q);
                re += pr * qr - pi * qi;
                im += pr * qi + pi * qr;
            }
            const double a = re * (1.0 / static_cast<double>(m)),
                         b = im * (1.0 / static_cast<double>(m));
            return std::sqrt(a * a + b * b);
        };
        for (int threads : { 1, 2 }) {
            TRunControl rc;
            rc.Threads = threads;
            const auto r = ArrayResponse(st, 25, grid, false, rc);
            ASSERT_TRUE(r);
            for (std::size_t p = 0; p < side; ++p)
                for (std::size_t q = 0; q < side; ++q) {
                    const bool mirrored = p > side / 2 || (p == side / 2 && q < side / 2);
                    const double expected
                        = mirrored ? element(side - 1 - p, side - 1 - q) : element(p, q);
                    ASSERT_EQ(r->Matrix[p][q], expected)
                        << "K " << K << ", threads " << threads << ", at " << p << ", " << q;
                }
        }
    }
}

TEST(ArrayResponse, CentreIsOneAndTheMatrixIsPointSymmetric)
{
    const auto r = ArrayResponse(DefaultStations(TViewPlane::vpYZ), 25, Grid(40, 0.0001), false);
    ASSERT_TRUE(r);
    const int last = 80;
    EXPECT_EQ(r->Matrix[40][40], 1.0);
    for (int p = 0; p <= last; ++p)
        for (int q = 0; q <= last; ++q) {
            const double v = At(r->Matrix, p, q);
            ASSERT_GE(v, 0.0);
            ASSERT_LE(v, 1.0 + 1e-15);
            ASSERT_NEAR(v, At(r->Matrix, last - p, last - q), 1e-15) << p << ", " << q;
        }
}

TEST(ArrayResponse, TwoStationsSumOnlyTheSecondSoEveryElementIsOne)
{
    const auto r = ArrayResponse(Line({ 5, 300 }, { -7, 40 }), 2, Grid(20, 0.0003), false);
    ASSERT_TRUE(r);
    for (const auto &row : r->Matrix)
        for (double v : row)
            ASSERT_NEAR(v, 1.0, 1e-15);
    EXPECT_NEAR(r->Min, 1.0, 1e-15);
}

TEST(ArrayResponse, TwoSummedStationsGiveAbsCosine)
{
    // The first row takes no part in the sum, wherever it lies.
    auto st = Line({ 999, 0, 100 }, { 999, 0, 0 });
    st.CentreU = 0;
    st.CentreV = 0;
    const auto r = ArrayResponse(st, 3, Grid(50, 0.0001), false);
    ASSERT_TRUE(r);
    for (int p = 0; p <= 100; ++p) {
        const double kU = (p - 50) * 0.0001;
        for (int q : { 0, 17, 50, 100 })
            ASSERT_NEAR(
                At(r->Matrix, p, q), std::fabs(std::cos(std::numbers::pi * kU * 100)), 1e-12);
    }
    EXPECT_NEAR(r->Matrix[100][50], 0.0, 1e-12); // kU = 0.005
    EXPECT_NEAR(r->Min, 0.0, 1e-12);
}

TEST(ArrayResponse, UniformLineOfFiveIsTheDirichletKernel)
{
    auto st = Line({ -50, 0, 100, 200, 300, 400 }, { -50, 0, 0, 0, 0, 0 });
    st.CentreU = 200;
    st.CentreV = 0;
    const auto r = ArrayResponse(st, 6, Grid(100, 0.0001), false);
    ASSERT_TRUE(r);
    const double d = 100;
    for (int p = 0; p <= 200; ++p) {
        const double k = (p - 100) * 0.0001;
        const double den = 5 * std::sin(std::numbers::pi * k * d);
        const double expected = std::fabs(den) < 1e-12
            ? 1.0
            : std::fabs(std::sin(5 * std::numbers::pi * k * d) / den);
        ASSERT_NEAR(At(r->Matrix, p, 100), expected, 1e-12) << "k = " << k;
    }
    EXPECT_NEAR(r->Matrix[100][100], 1.0, 1e-15); // k = 0
    EXPECT_NEAR(r->Matrix[120][100], 0.0, 1e-12); // k = 0.002
    EXPECT_NEAR(r->Matrix[200][100], 1.0, 1e-12); // grating lobe at 0.01
}

TEST(ArrayResponse, DegreesMatchTheStraightforwardForm)
{
    // A small network near 30 E, 60 N, about 2 km across.
    TStationSet st = Line({ 30.0, 30.010, 29.985, 30.021, 29.996, 30.004 },
        { 60.0, 60.004, 60.011, 59.993, 59.989, 60.002 });
    st.CentreU = 30.004;
    st.CentreV = 60.002;
    const TWaveGrid grid = Grid(60, 0.00005);
    const auto ref = ArrayResponseReference(st, 6, grid, true);
    const auto fast = ArrayResponse(st, 6, grid, true);
    ASSERT_TRUE(fast);
    EXPECT_LE(MaxDifference(fast->Matrix, ref.Matrix), 1e-12);
    EXPECT_NEAR(fast->Min, ref.Min, 1e-12);
    // The latitude cosine matters: the same offsets in metres differ.
    const auto metres = ArrayResponseReference(st, 6, grid, false);
    EXPECT_GT(MaxDifference(metres.Matrix, ref.Matrix), 0.1);
}

TEST(ArrayResponse, ANetworkAcrossTheAntimeridianIsOneNetworkHoweverWritten)
{
    // The same stations with longitudes beyond 180 written either way.
    TStationSet east
        = Line({ 179.99, 180.03, 179.96, 180.01, 179.98 }, { 10.0, 10.01, 9.99, 10.02, 10.0 });
    east.CentreU = 179.99;
    east.CentreV = 10.0;
    TStationSet west = east;
    west.U = { 179.99, -179.97, 179.96, -179.99, 179.98 };
    const TWaveGrid grid = Grid(40, 0.0001);
    const auto a = ArrayResponse(east, 5, grid, true);
    const auto b = ArrayResponse(west, 5, grid, true);
    ASSERT_TRUE(a && b);
    EXPECT_LE(MaxDifference(a->Matrix, b->Matrix), 1e-9);
    EXPECT_LE(MaxDifference(ArrayResponseReference(west, 5, grid, true).Matrix, b->Matrix), 1e-12);
}

TEST(ArrayResponse, RefusesWhatCannotBeComputed)
{
    const auto st = DefaultStations();
    for (int n : { 0, 1 }) {
        EXPECT_THROW(ArrayResponse(st, n, Grid(10, 0.001), false), TValdrinError);
        EXPECT_THROW(ArrayResponseReference(st, n, Grid(10, 0.001), false), TValdrinError);
    }
    EXPECT_THROW(ArrayResponse(st, 26, Grid(10, 0.001), false), std::invalid_argument);
    EXPECT_THROW(ArrayResponse(st, 25, TWaveGrid { 0.005, 0, 0 }, false), TValdrinError);
    EXPECT_THROW(ArrayResponse(st, 25, TWaveGrid { 0.005, -1e-5, 0 }, false), TValdrinError);
    try {
        ArrayResponse(st, 25, Grid(2001, 1e-6), false); // side 4003
        FAIL() << "a 4003 x 4003 matrix was not refused";
    } catch (const TValdrinError &e) {
        EXPECT_NE(std::string(e.what()).find("4001"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ArrayResponse(st, 25, Grid(100000000, 1e-7), false), TValdrinError);
}

TEST(ArrayResponse, ProgressGrowsToTheRowCountAndCancelStopsTheRun)
{
    const auto st = DefaultStations();
    for (int threads : { 1, 2 }) {
        TRunControl rc;
        rc.Threads = threads;
        int calls = 0, last = 0, total = 0;
        bool increasing = true;
        rc.Progress = [&](int done, int all) {
            increasing = increasing && done > last;
            last = done;
            total = all;
            ++calls;
        };
        ASSERT_TRUE(ArrayResponse(st, 25, Grid(30, 0.0001), false, rc));
        EXPECT_TRUE(increasing);
        EXPECT_EQ(last, 61);
        EXPECT_EQ(total, 61);
        EXPECT_GE(calls, 8);
    }

    std::atomic<bool> cancel { true };
    TRunControl rc;
    rc.Cancel = &cancel;
    EXPECT_FALSE(ArrayResponse(st, 25, Grid(30, 0.0001), false, rc));

    cancel = false;
    int calls = 0;
    rc.Threads = 2;
    rc.Progress = [&](int, int) {
        ++calls;
        cancel = true;
    };
    EXPECT_FALSE(ArrayResponse(st, 25, Grid(200, 0.00002), false, rc));
    EXPECT_LE(calls, 2); // each worker finishes at most its current rows
}

TEST(ArrayResponse, AnErrorInTheProgressCallbackReachesTheCaller)
{
    TRunControl rc;
    rc.Threads = 2;
    rc.Progress = [](int, int) { throw std::runtime_error("gauge gone"); };
    EXPECT_THROW(
        ArrayResponse(DefaultStations(), 25, Grid(30, 0.0001), false, rc), std::runtime_error);
}
