// The planning analyses against their brute force: a run of the changed
// network, the order statistics against a full sort.
#include "calc/Planning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "CalcFixtures.h"
#include "LayerFixtures.h"
#include "calc/Detection.h"
#include "common/Error.h"

using namespace valdrin::calc;
using enum TShowMode;
using valdrin::calc::fixtures::Grid;
using valdrin::calc::fixtures::SameBits;
using valdrin::calc::fixtures::SameMatrix;

namespace {

constexpr double kInf = INFINITY;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The default network on a small grid.
TCalcSnapshot Small(TShowMode mode, int k = 3)
{
    TCalcSnapshot s;
    s.Params.Mode = mode;
    s.Params.k = k;
    s.Stations = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    s.PlaneGrid = Grid(-2000, 2000, 400, -2000, 2000, 500, 400);
    s.WaveGrid = { 0.005, 0.00002, 250 };
    return s;
}

TCalcSnapshot Layered(TShowMode mode)
{
    TCalcSnapshot s = Small(mode);
    s.Params.Medium = TMediumKind::Layered;
    s.Model = valdrin::medium::testing::ThreeLayers();
    s.PlaneGrid = Grid(-1500, 1500, 750, -1500, 1500, 1000, 0);
    return s;
}

// The network without station s.
TCalcSnapshot Without(TCalcSnapshot snap, std::size_t s)
{
    TStationSet &st = snap.Stations;
    for (auto *a : { &st.U, &st.V, &st.W, &st.A0, &st.A1, &st.A2, &st.A3, &st.An, &st.SNR })
        a->erase(a->begin() + static_cast<std::ptrdiff_t>(s));
    st.Name.erase(st.Name.begin() + static_cast<std::ptrdiff_t>(s));
    --st.Count;
    --snap.Params.N;
    return snap;
}

// The r-th smallest (1-based) of the values that are not NaN; NaN beyond them.
double Rank(std::vector<double> v, int r)
{
    std::erase_if(v, [](double x) { return std::isnan(x); });
    std::sort(v.begin(), v.end());
    if (r < 1)
        return -kInf;
    return r <= static_cast<int>(v.size()) ? v[static_cast<std::size_t>(r - 1)] : NAN;
}

TEST(OrderStats, AddingAndRemovingAgreeWithSortingFromScratch)
{
    // Few distinct values, so that ties, infinities and NaN meet often.
    const double pool[] = { 1, 2, 2.5, 3, kInf, NAN };
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<int> pick(0, 5), size(0, 9), kPick(1, 6);
    for (int trial = 0; trial < 20000; ++trial) {
        std::vector<double> v(static_cast<std::size_t>(size(rng)));
        for (double &x : v)
            x = pool[pick(rng)];
        const int k = kPick(rng);
        const TOrderStats st = MakeOrderStats(v, k);
        SCOPED_TRACE(::testing::Message() << "trial " << trial << " k " << k);
        ASSERT_TRUE(SameBits(st.Below, Rank(v, k - 1)));
        ASSERT_TRUE(SameBits(st.Kth, Rank(v, k)));
        ASSERT_TRUE(SameBits(st.Above, Rank(v, k + 1)));

        const double m = pool[pick(rng)];
        std::vector<double> added = v;
        added.push_back(m);
        ASSERT_TRUE(SameBits(KthAfterAdding(st, k, m), Rank(added, k))) << "adding " << m;
        if (!v.empty()) {
            const auto s = static_cast<std::size_t>(trial) % v.size();
            std::vector<double> removed = v;
            removed.erase(removed.begin() + static_cast<std::ptrdiff_t>(s));
            ASSERT_TRUE(SameBits(KthAfterRemoving(st, v[s]), Rank(removed, k)))
                << "removing " << v[s];
        }
    }
}

TEST(OrderStats, ScanGivesTheMatrixOfTheRunBitForBit)
{
    for (const TCalcSnapshot &snap : { Small(smMinMagnitude), Small(smLocError, 1),
             Small(smSourceSize, 25), Layered(smCornerFreq) }) {
        const auto grid = ScanOrderStats(snap);
        ASSERT_TRUE(grid);
        EXPECT_TRUE(SameMatrix(grid->Matrix, RunComputation(snap)->ResultMatrix));
        EXPECT_EQ(grid->At(0, 0).Count, snap.Params.N);
    }
}

// Mean and largest rise over the nodes finite in both, and the nodes lost
// below the target, straight from two runs.
TOutageFigures Compare(const TMatrix2D &with, const TMatrix2D &without, double target, double cell)
{
    TOutageFigures f;
    double sum = 0, max = -kInf;
    int lost = 0;
    for (std::size_t i = 0; i < with.size(); ++i)
        for (std::size_t j = 0; j < with[i].size(); ++j) {
            const double a = with[i][j], b = without[i][j];
            if (std::isfinite(a) && std::isfinite(b)) {
                sum += b - a;
                max = std::max(max, b - a);
                ++f.Nodes;
            }
            lost += a <= target && !(b <= target);
        }
    if (f.Nodes > 0) {
        f.MeanRise = sum / f.Nodes;
        f.MaxRise = max;
    }
    f.AreaLost = lost * cell;
    return f;
}

TEST(Outage, EveryStationAgainstARunWithoutIt)
{
    TCalcSnapshot snap = Small(smMinMagnitude);
    snap.PlaneGrid = Grid(-2000, 2000, 250, -2000, 2000, 250, 400);
    // One station that registers nothing (noise too high), so that the
    // k-th meets +infinity and ties.
    snap.Stations.An[4] = 1e9;
    const auto figures = OutageFigures(snap, {}, 1.0);
    const auto grid = ScanOrderStats(snap);
    ASSERT_TRUE(figures && grid);
    const TMatrix2D with = RunComputation(snap)->ResultMatrix;
    int rising = 0;
    for (std::size_t s = 0; s < static_cast<std::size_t>(snap.Params.N); ++s) {
        SCOPED_TRACE(s);
        const TCalcSnapshot less = Without(snap, s);
        const TMatrix2D without = RunComputation(less)->ResultMatrix;
        EXPECT_TRUE(SameMatrix(*OutageMap(snap, *grid, s), without));
        const TOutageFigures f = Compare(with, without, 1.0, 250.0 * 250);
        const TOutageFigures &got = (*figures)[s];
        EXPECT_EQ(got.Nodes, f.Nodes);
        EXPECT_NEAR(got.MeanRise, f.MeanRise, 1e-12);
        EXPECT_EQ(got.MaxRise, f.MaxRise);
        EXPECT_EQ(got.AreaLost, f.AreaLost);
        rising += got.MaxRise > 0;
    }
    EXPECT_EQ((*figures)[4].MaxRise, 0); // the deaf station matters nowhere
    EXPECT_GT(rising, 10);
    // Source modes: the map without a station is the run without it.
    const TCalcSnapshot layered = Layered(smSourceSize);
    const auto layeredGrid = ScanOrderStats(layered);
    EXPECT_TRUE(SameMatrix(
        *OutageMap(layered, *layeredGrid, 0), RunComputation(Without(layered, 0))->ResultMatrix));
}

TEST(GainMap, EveryCandidateAgainstARunWithTheStationAdded)
{
    TCalcSnapshot snap = Small(smMinMagnitude);
    snap.Stations.An[0] = 0.02; // the new station takes row 2's noise, not the first's
    const auto grid = ScanOrderStats(snap);
    const TMatrix2D before = grid->Matrix;
    // The whole grid, and a target area that takes only some nodes.
    const TGainOptions::TArea whole, part { -1000, 2000, -500, 500 };
    for (const auto &area : { whole, part })
        for (const double target : { kNaN, 1.1 }) {
            const TGainOptions options { 4, 3, 1, target, area };
            const auto map = GainMap(snap, *grid, options);
            ASSERT_TRUE(map);
            ASSERT_EQ(map->Grid.NU, 4);
            ASSERT_EQ(map->Grid.NV, 3);
            EXPECT_DOUBLE_EQ(map->Grid.UMin, -2000);
            EXPECT_DOUBLE_EQ(3 * map->Grid.UStep + map->Grid.UMin, 2000);
            const TPlaneGrid &g = snap.PlaneGrid;
            for (int a = 0; a < 4; ++a)
                for (int b = 0; b < 3; ++b) {
                    const double u = a * map->Grid.UStep + map->Grid.UMin;
                    const double v = b * map->Grid.VStep + map->Grid.VMin;
                    const TMatrix2D after
                        = RunComputation(WithStationAdded(snap, u, v, 1))->ResultMatrix;
                    double sum = 0;
                    int finite = 0, grown = 0;
                    for (std::size_t i = 0; i < after.size(); ++i)
                        for (std::size_t j = 0; j < after[i].size(); ++j) {
                            const double nu = static_cast<double>(i) * g.UStep + g.UMin;
                            const double nv = static_cast<double>(j) * g.VStep + g.VMin;
                            if (nu < area.U0 || nu > area.U1 || nv < area.V0 || nv > area.V1)
                                continue;
                            if (std::isfinite(before[i][j])) {
                                sum += before[i][j] - after[i][j];
                                ++finite;
                            }
                            grown += (after[i][j] <= target) - (before[i][j] <= target);
                        }
                    const double expected = std::isnan(target) ? sum / finite : grown * 400.0 * 500;
                    EXPECT_NEAR(map->Gain[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)],
                        expected, 1e-12)
                        << a << " " << b << " " << area.U0;
                }
        }
    // Greedy: the best of each map, placed before the next is looked for.
    const TGainOptions options { 4, 3, 1, kNaN, {} };
    const auto next = NextStations(snap, options, 2);
    ASSERT_TRUE(next && next->size() == 2);
    TCalcSnapshot network = snap;
    for (const TNextStation &placed : *next) {
        const auto map = GainMap(network, *ScanOrderStats(network), options);
        double best = -kInf;
        for (const auto &row : map->Gain)
            best = std::max(best, *std::max_element(row.begin(), row.end()));
        EXPECT_EQ(placed.Gain, best);
        EXPECT_GT(placed.Gain, 0);
        network = WithStationAdded(network, placed.U, placed.V, 1);
    }
    // The default candidates are the nodes themselves.
    const auto nodes = GainMap(snap, *grid, {});
    EXPECT_EQ(nodes->Grid, snap.PlaneGrid);
    snap.Params.Plane = TViewPlane::vpYZ;
    EXPECT_THROW(GainMap(snap, *grid, {}), valdrin::common::TValdrinError);
}

TEST(Probability, RecursionAgainstEveryOutcome)
{
    const std::vector<double> m { 1.0, 1.2, kNaN, 0.8, kInf, 1.5, 1.1 };
    const std::vector<double> scale { 0.1, 0.3, 0.2, 0, 0.1, 0.25, 0.15 };
    for (const double M : { 0.5, 0.8, 1.05, 1.3, 2.0 })
        for (int k = 1; k <= 6; ++k) {
            double expected = 0;
            for (unsigned mask = 0; mask < 1u << m.size(); ++mask) {
                double p = 1;
                int detected = 0;
                for (std::size_t s = 0; s < m.size(); ++s) {
                    if (std::isnan(m[s])) { // no value: never detects
                        p *= (mask >> s & 1u) ? 0 : 1;
                        continue;
                    }
                    const double ps = scale[s] > 0
                        ? 0.5 * std::erfc((m[s] - M) / scale[s] / std::sqrt(2.0))
                        : (M >= m[s] ? 1.0 : 0.0);
                    const bool d = mask >> s & 1u;
                    p *= d ? ps : 1 - ps;
                    detected += d;
                }
                if (detected >= k)
                    expected += p;
            }
            EXPECT_NEAR(DetectionProbability(m, scale, k, M), expected, 1e-14) << M << " " << k;
        }
}

TEST(Probability, NoScatterGivesTheKthAndMonteCarloAgrees)
{
    TCalcSnapshot snap = Small(smMinMagnitude);
    snap.Stations.An[7] = 1e9; // never detects
    const TResult run = *RunComputation(snap);
    EXPECT_TRUE(
        SameMatrix(RunProbabilityComputation(snap, 0, 0.9)->ResultMatrix, run.ResultMatrix));
    const TResult faint = *RunProbabilityComputation(snap, 1e-7, 0.9);
    for (std::size_t i = 0; i < run.ResultMatrix.size(); ++i)
        for (std::size_t j = 0; j < run.ResultMatrix[i].size(); ++j)
            EXPECT_NEAR(faint.ResultMatrix[i][j], run.ResultMatrix[i][j], 0.0006);

    // At a few nodes, thresholds drawn with the scatter: the share of draws
    // whose k-th is below the map's magnitude is p, and the recursion's
    // probability at another magnitude is the share detected there.
    const double sigmaDb = 3, p = 0.9;
    const TResult map = *RunProbabilityComputation(snap, sigmaDb, p);
    const TStationValues values(snap);
    auto scratch = values.NewScratch();
    std::mt19937 rng(5);
    std::normal_distribution<double> z;
    constexpr int kDraws = 20000;
    const double se = 4 * std::sqrt(p * (1 - p) / kDraws);
    for (const auto &[i, j] : { std::pair(0, 0), std::pair(5, 4), std::pair(8, 2) }) {
        std::vector<double> m(25), scale(25, sigmaDb / 20);
        for (std::size_t s = 0; s < 25; ++s)
            m[s] = values.Value(scratch, s, i, j);
        const double Mp
            = map.ResultMatrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        const double M2 = Mp - 0.05;
        int below = 0, detected2 = 0;
        for (int d = 0; d < kDraws; ++d) {
            std::vector<double> drawn(25);
            for (std::size_t s = 0; s < 25; ++s)
                drawn[s] = m[s] + scale[s] * z(rng);
            std::nth_element(drawn.begin(), drawn.begin() + 2, drawn.end());
            below += drawn[2] <= Mp;
            detected2 += drawn[2] <= M2;
        }
        EXPECT_NEAR(below / double(kDraws), p, se + 0.005) << i << " " << j;
        const double p2 = DetectionProbability(m, scale, 3, M2);
        EXPECT_NEAR(detected2 / double(kDraws), p2, 4 * std::sqrt(p2 * (1 - p2) / kDraws) + 0.002);
    }
    snap.Params.Mode = smLocError;
    EXPECT_THROW(RunProbabilityComputation(snap, 3, 0.9), valdrin::common::TValdrinError);
}

TEST(ArrayLimits, UniformLineOfFiveAgainstItsClosedForm)
{
    // Row 0 is left out of the response: five stations 100 m apart follow it.
    constexpr double d = 100;
    TStationSet line;
    for (const double x : { 50.0, 0.0, 100.0, 200.0, 300.0, 400.0 }) {
        line.U.push_back(x);
        line.V.push_back(x == 50 ? 30 : 0);
    }
    line.CentreU = 200;
    const auto c = [](double k) {
        return std::fabs(std::sin(5 * M_PI * k * d) / (5 * std::sin(M_PI * k * d)));
    };
    // The crossing of a level between a and b, where c(a) and c(b) are on either side.
    const auto solve = [&](double a, double b, double level) {
        const bool rising = c(b) > c(a);
        for (int n = 0; n < 200; ++n) {
            const double mid = (a + b) / 2;
            ((c(mid) >= level) == rising ? b : a) = mid;
        }
        return a;
    };
    const double kMin = solve(1e-9, 1 / (5 * d), std::sqrt(0.5));
    const double kMax = solve(1 / d - 1 / (5 * d), 1 / d - 1e-9, 0.5);
    const TArrayLimits limits = ArrayLimits(line, 6, false, 0.02);
    EXPECT_NEAR(limits.KMinSmallest, kMin, 1e-9);
    EXPECT_NEAR(limits.KMax, kMax, 1e-9);
    // Across the line the peak never falls: those azimuths are left out of
    // the mean, which the others widen.
    EXPECT_LT(limits.KMinAzimuths, 360);
    EXPECT_GT(limits.KMinMean, kMin);
    // Within a range below the grating lobe there is none.
    EXPECT_EQ(ArrayLimits(line, 6, false, 0.007).KMax, kInf);
}

} // namespace
