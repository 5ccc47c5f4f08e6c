#include "medium/Threshold.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "LayerFixtures.h"

using namespace valdrin::medium;

using namespace valdrin::medium::testing;

namespace {

constexpr double kPi = std::numbers::pi;

// The station table's default row: a0 1, a1 1.3, a2 0.0001, a3 0.4, An 0.01, SNR 4.
double DefaultLaw(double epi, double sourceW, double stationW)
{
    return LawMagnitude(1, 1.3, 0.0001, 0.4, epi, sourceW, stationW, 0.01 * 4);
}

} // namespace

TEST(AttenuationLaw, FiguresOfTheDefaultRow)
{
    EXPECT_NEAR(DefaultLaw(3000, 400, 400), -0.3774, 5e-5);
    EXPECT_NEAR(DefaultLaw(1000, 400, 400), -0.99784, 5e-6);
    EXPECT_NEAR(DefaultLaw(10000, 400, 400), 0.30306, 5e-6);
    EXPECT_NEAR(DefaultLaw(10000, 400, 400) - DefaultLaw(1000, 400, 400), 1.3 + 0.0009, 1e-12);
    // The height difference is part of R, in either order.
    EXPECT_EQ(DefaultLaw(0, -600, 400), DefaultLaw(1000, 400, 400));
    EXPECT_EQ(DefaultLaw(600, 0, 800), DefaultLaw(600, 800, 0));
    EXPECT_EQ(LawAtDistance(LawNoiseTerm(1, 0.04), 1.3, 0.0001, 0.4, 1000, 400, 400),
        DefaultLaw(1000, 400, 400));
}

// The law's logarithm must be the library's bit for bit: on both sides of
// the switch at |x - 1| = 0.29, across the range, and where the library
// takes its own way (zero, negative, infinite, NaN).
TEST(AttenuationLaw, LogarithmIsTheLibrarysBitForBit)
{
    using L = valdrin::common::TExtended;
    std::vector<L> xs { 1, 10, 1000, 1e-3L, 0.5L, 2, 0, -0.0L, -1,
        std::numeric_limits<L>::denorm_min(), std::numeric_limits<L>::min(),
        std::numeric_limits<L>::max(), std::numeric_limits<L>::infinity(),
        std::numeric_limits<L>::quiet_NaN() };
    for (const L edge : { 1 + L(0.29), 1 - L(0.29), L(1) }) {
        L up = edge, down = edge;
        xs.push_back(edge);
        for (int i = 0; i < 64; ++i) {
            xs.push_back(up = std::nextafter(up, L(3)));
            xs.push_back(down = std::nextafter(down, L(0)));
        }
    }
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> near(0.6, 1.4), wide(-300, 300);
    for (int i = 0; i < 200000; ++i) {
        xs.push_back(L(near(rng)) + L(near(rng)) * 0x1p-60L);
        xs.push_back(std::pow(L(10), L(wide(rng))));
    }
    int differ = 0;
    for (const L x : xs) {
        const L mine = Log10Extended(x), library = std::log10(x);
        const bool same = std::isnan(library)
            ? std::isnan(mine)
            : mine == library && std::signbit(mine) == std::signbit(library);
        if (!same && ++differ <= 5)
            ADD_FAILURE() << "lg of " << static_cast<double>(x);
    }
    EXPECT_EQ(differ, 0);
}

TEST(AttenuationLaw, NoValueWithoutDistanceOrNoise)
{
    EXPECT_TRUE(std::isnan(DefaultLaw(0, 400, 400)));
    EXPECT_TRUE(std::isnan(LawMagnitude(1, 1.3, 0.0001, 0.4, 1000, 0, 0, 0)));
    EXPECT_TRUE(std::isnan(LawMagnitude(1, 1.3, 0.0001, 0.4, 1000, 0, 0, -0.04)));
    EXPECT_TRUE(std::isnan(LawMagnitude(1, 1.3, 0.0001, 0.4, 1000, 0, 0, std::nan(""))));
    // Squares that overflow a double do not overflow R.
    const double far = LawMagnitude(1, 1.3, 0, 0.4, 1e200, 0, 1e200, 0.04);
    EXPECT_NEAR(far, std::log10(0.04) + 1.3 * (197 + std::log10(std::sqrt(2.0))) + 0.4, 1e-9);
    EXPECT_EQ(SafeHypot(3.0, -4.0), 5.0);
    EXPECT_EQ(SafeHypot(0.0, 0.0), 0.0);
}

TEST(SourceTerms, BruneFigures)
{
    const TSourceTerms s = SourceTerms(1, 3000, -200);
    EXPECT_NEAR(s.StressDrop, 1.66e6, 1e-6);
    EXPECT_NEAR(s.M0, 4.027e10, 5e6);
    EXPECT_NEAR(s.R0, 21.98, 5e-3);
    EXPECT_NEAR(s.Fc, 50.84, 5e-3);
    EXPECT_NEAR(s.S, s.M0 / (kPi * s.R0 * s.R0) / 1e7, 1e-9 * s.S);
    EXPECT_NEAR(SourceTerms(1, 3000, 0).R0, 21.80, 5e-3);
    EXPECT_NEAR(SourceTerms(1, 3000, 0).Fc, 51.24, 5e-3);
    EXPECT_NEAR(SourceTerms(0, 3000, -200).R0, 6.95, 5e-3);
    EXPECT_NEAR(SourceTerms(0, 3000, -200).Fc, 160.77, 5e-3);
    EXPECT_TRUE(std::isnan(SourceTerms(1, 3000, -8500).R0)); // no stress drop left
}

TEST(StraightTransitions, OneTransmissionPerInterfaceInTheOrderOfTravel)
{
    const THorizontalModel m = ReadThreeLayers();
    EXPECT_EQ(LayerOfAltitude(m, 400), 0);
    EXPECT_EQ(LayerOfAltitude(m, 100), 0); // on an interface: the layer above
    EXPECT_EQ(LayerOfAltitude(m, 99.9), 1);
    EXPECT_EQ(LayerOfAltitude(m, -1e9), 2);
    EXPECT_EQ(LayerOfAltitude({}, 0), 0);

    const TRayTransitions up = StraightTransitions(m, -300, 400);
    ASSERT_EQ(up.size(), 2u);
    EXPECT_EQ(up[0].FromLayer, 2);
    EXPECT_EQ(up[0].ToLayer, 1);
    EXPECT_EQ(up[1].FromLayer, 1);
    EXPECT_EQ(up[1].ToLayer, 0);
    EXPECT_EQ(up[1].Kind, tkTransmit);
    const TRayTransitions down = StraightTransitions(m, 150, 0);
    ASSERT_EQ(down.size(), 1u);
    EXPECT_EQ(down[0].FromLayer, 0);
    EXPECT_EQ(down[0].ToLayer, 1);
    EXPECT_TRUE(StraightTransitions(m, -150, -450).empty());
}

TEST(PathFactor, SameLayerIsTheDirectSegmentOfTheFirstLayer)
{
    for (double sourceW : { 150.0, -300.0 }) { // in #1, and in #3 with the station
        SCOPED_TRACE(sourceW);
        THorizontalModel m = ReadThreeLayers();
        const double stationW = sourceW == 150 ? 180 : -450;
        const TPathFactor p = PathFactor(m, 400, sourceW, stationW, 5);
        ASSERT_TRUE(p.Ok);
        const double L = std::hypot(400, 200 - sourceW);
        EXPECT_NEAR(p.Factor, 1 / L * std::exp(-kPi * 5 * L / (10 * 1500)), 1e-15 / L);
    }
}

TEST(PathFactor, ProductOfSegmentsAndInterfaces)
{
    THorizontalModel m = ReadThreeLayers();
    const TPathFactor p = PathFactor(m, 1200, -300, 400, 5);
    ASSERT_TRUE(p.Ok);
    TRayTransitions t = StraightTransitions(m, -300, 400);
    TTravelParams seg;
    bool ok = false;
    TraceRay(m, t, seg, 1200, -300, 400, 5, ok);
    double f = 1, total = 0;
    for (std::size_t k = 0; k < seg.size(); ++k) {
        f *= seg[k].Attenuation;
        total += seg[k].Length;
    }
    f *= t[0].Coefficient * t[1].Coefficient / total;
    EXPECT_NEAR(p.Factor, f, 1e-12 * f);
    EXPECT_EQ(m[2].Bottom, -500); // the bounds were rewritten
}

TEST(StationMinMagnitude, HomogeneousIsTheLaw)
{
    THorizontalModel none;
    EXPECT_EQ(
        StationMinMagnitude(false, none, 1, 1.3, 0.0001, 0.4, 1000, 400, 400, -200, 0.04, 3000, 5),
        DefaultLaw(1000, 400, 400));
    EXPECT_TRUE(std::isnan(
        StationMinMagnitude(false, none, 1, 1.3, 0.0001, 0.4, 0, 400, 400, -200, 0.04, 3000, 5)));
}

TEST(RaiseToThreshold, TrialSequenceOfTheThreeStages)
{
    const double law = -0.5, noise = 0.04, depth = 500, Vs = 3000, n = 5;
    // Reached from law + 2.37 on: the corner frequency falls as M grows.
    const double edge = n * SourceTerms(law + 2.365, Vs, depth).Fc;
    std::vector<double> freqs;
    const double M = RaiseToThreshold(law, noise, depth, Vs, n, [&](double f) {
        freqs.push_back(f);
        return TPathFactor { f < edge ? 1e30 : 0.0, true };
    });
    EXPECT_NEAR(M, law + 2.37, 1e-12);
    const double trials[]
        = { 1, 2, 3, 2.1, 2.2, 2.3, 2.4, 2.31, 2.32, 2.33, 2.34, 2.35, 2.36, 2.37 };
    ASSERT_EQ(freqs.size(), std::size(trials));
    for (std::size_t i = 0; i < freqs.size(); ++i) {
        const double expected = n * SourceTerms(law + trials[i], Vs, depth).Fc;
        EXPECT_NEAR(freqs[i], expected, 1e-9 * expected) << "trial " << trials[i];
    }
}

TEST(RaiseToThreshold, BoundedWhenTheThresholdIsNeverReached)
{
    int calls = 0;
    const double never = RaiseToThreshold(0.3, 0.04, 500, 3000, 5, [&](double) {
        ++calls;
        return TPathFactor { 0, true };
    });
    EXPECT_EQ(never, INFINITY);
    EXPECT_LE(calls, kMaxStageTrials); // the moment overflows first
    calls = 0;
    const double nanAmp = RaiseToThreshold(0.3, 0.04, 500, 3000, 5, [&](double) {
        ++calls;
        return TPathFactor { std::nan(""), true };
    });
    EXPECT_EQ(nanAmp, INFINITY);

    auto always = [](double) { return TPathFactor { 1e30, true }; };
    EXPECT_NEAR(RaiseToThreshold(0.3, 0.04, 500, 3000, 5, always), 0.31, 1e-12);
    EXPECT_TRUE(std::isnan(RaiseToThreshold(0.3, 0.04, 500, 3000, 5, [](double) {
        return TPathFactor { 1e30, false };
    })));
    EXPECT_TRUE(std::isnan(RaiseToThreshold(0.3, 0.04, -8500, 3000, 5, always)));
    EXPECT_TRUE(std::isnan(RaiseToThreshold(std::nan(""), 0.04, 500, 3000, 5, always)));
}

TEST(StationMinMagnitude, LayeredRaisesTheLawAlongTheRay)
{
    THorizontalModel m = ReadThreeLayers();
    const double law = DefaultLaw(1200, -300, 400);
    const double M
        = StationMinMagnitude(true, m, 1, 1.3, 0.0001, 0.4, 1200, -300, 400, 500, 0.04, 3000, 5);
    ASSERT_TRUE(std::isfinite(M));
    EXPECT_GE(M, law + 0.01 - 1e-12);
    // On the 0.01 grid above the law: reached there, not one step below.
    const double steps = (M - law) / 0.01;
    EXPECT_NEAR(steps, std::nearbyint(steps), 1e-6);
    auto amp = [&](double mag) {
        const TSourceTerms s = SourceTerms(mag, 3000, 500);
        THorizontalModel mm = ReadThreeLayers();
        return PathFactor(mm, 1200, -300, 400, 5 * s.Fc).Factor * s.S;
    };
    EXPECT_GE(amp(M), 0.04 / 2080);
    EXPECT_LT(amp(M - 0.01), 0.04 / 2080);

    // A loud enough source is registered at the first trial of each stage.
    const double loud
        = StationMinMagnitude(true, m, 1, 1.3, 0.0001, 9, 1200, -300, 400, 500, 0.04, 3000, 5);
    EXPECT_NEAR(loud, LawMagnitude(1, 1.3, 0.0001, 9, 1200, -300, 400, 0.04) + 0.01, 1e-12);

    // No impedance in the start layer: nothing is transmitted, not registered.
    m[2].Rho = 0;
    EXPECT_EQ(
        StationMinMagnitude(true, m, 1, 1.3, 0.0001, 0.4, 1200, -300, 400, 500, 0.04, 3000, 5),
        INFINITY);
}

TEST(BruneSource, Figures)
{
    EXPECT_NEAR(BruneSource(1, 3000, -200).R0, 21.98, 5e-3);
    EXPECT_NEAR(BruneSource(1, 3000, -200).Fc, 50.84, 5e-3);
    EXPECT_NEAR(BruneSource(1, 3000, 0).R0, 21.80, 5e-3);
    EXPECT_NEAR(BruneSource(1, 3000, 0).Fc, 51.24, 5e-3);
    EXPECT_NEAR(BruneSource(0, 3000, -200).R0, 6.95, 5e-3);
    EXPECT_NEAR(BruneSource(0, 3000, -200).Fc, 160.77, 5e-3);
}

TEST(TrialDecider, SettlesTrialsAsTheFullEvaluationDoes)
{
    // Rays up from three depths and across the layers, magnitudes in fine
    // steps through the threshold: every settled trial agrees with the full one.
    const double Vs = 3000, n = 5, noise = 0.04, threshold = noise / kWaToTm;
    int settled = 0, open = 0;
    for (const double startAlt : { 150.0, -50.0, -300.0 })
        for (const double endAlt : { 190.0, -150.0, -700.0 })
            for (const double epi : { 0.0, 300.0, 2500.0 }) {
                THorizontalModel m = ReadThreeLayers();
                TRayTransitions tr = StraightTransitions(m, startAlt, endAlt);
                TTravelParams seg;
                if (!TraceRayGeometry(m, tr, seg, epi, startAlt, endAlt))
                    continue;
                const double depth = 200 - startAlt;
                const TTrialDecider decide
                    = MakeTrialDecider(MakeSourceConstants(depth, Vs, n), seg, tr, m, threshold);
                ASSERT_TRUE(decide.Ok) << startAlt << " " << endAlt << " " << epi;
                for (double M = -3; M < 6; M += 0.0137) {
                    const TSourceTerms src = SourceTerms(M, Vs, depth);
                    SetRayFrequency(seg, m, n * src.Fc);
                    const double amp = RayFactor(seg, tr) * src.S;
                    const bool reached = amp >= threshold;
                    const int d = decide(M);
                    // Far below the threshold the attenuation may leave the range.
                    if (d == 0 && std::fabs(std::log(amp / threshold)) < 20)
                        ++open;
                    else
                        EXPECT_EQ(d > 0, reached) << M;
                    settled += d != 0;
                }
            }
    EXPECT_GT(settled, 1000);
    EXPECT_LE(open, settled / 100);
    // Out of range: left to the full evaluation.
    EXPECT_FALSE(MakeSourceConstants(-8500, Vs, n).Ok); // no stress drop
    EXPECT_FALSE(MakeSourceConstants(500, 0, n).Ok);
}
