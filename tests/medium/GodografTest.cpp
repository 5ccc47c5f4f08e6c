#include "medium/godograf.h"

#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "LayerFixtures.h"

using namespace valdrin::medium;

using namespace valdrin::medium::testing;

namespace {

constexpr double kPi = std::numbers::pi;

TRayTransitions Crossing(int from, int to, std::int32_t kind = tkTransmit)
{
    TRayTransitions t;
    const int s = to > from ? 1 : -1;
    for (int l = from; l != to; l += s)
        t.push_back({ l, l + s, kind, 0, 0 });
    return t;
}

double SumDX(const TTravelParams &seg)
{
    double r = 0;
    for (const auto &s : seg)
        r += s.DX;
    return r;
}

} // namespace

TEST(SnellAngle, RefractionBothWaysAndBeyondTheCriticalAngle)
{
    const TAngleResult same = SnellAngle(0.3, 1800, 1800);
    EXPECT_TRUE(same.Ok);
    EXPECT_NEAR(same.Angle, 0.3, 1e-15);

    const TAngleResult slower = SnellAngle(0.5, 2160, 1800);
    EXPECT_TRUE(slower.Ok);
    EXPECT_NEAR(std::sin(slower.Angle) / 1800, std::sin(0.5) / 2160, 1e-15);

    // A downward ray (negative angle) into a faster layer turns away from the
    // vertical, like an upward one.
    const TAngleResult down = SnellAngle(-0.5, 1800, 2160);
    EXPECT_TRUE(down.Ok);
    EXPECT_LT(down.Angle, -0.5);
    EXPECT_NEAR(down.Angle, -SnellAngle(0.5, 1800, 2160).Angle, 1e-15);

    const TAngleResult beyond = SnellAngle(1.2, 1500, 2160);
    EXPECT_FALSE(beyond.Ok);
    EXPECT_EQ(beyond.Angle, 0);
    EXPECT_FALSE(SnellAngle(-1.2, 1500, 2160).Ok);

    const TAngleResult refl = ReflectedAngle(0.5, 1800, 1800);
    EXPECT_TRUE(refl.Ok);
    EXPECT_NEAR(refl.Angle, kPi - 0.5, 1e-15);
    EXPECT_NEAR(ReflectedAngle(1.2, 1500, 2160).Angle, kPi, 1e-15);
}

TEST(InterfaceCoefficients, ImpedanceContrast)
{
    EXPECT_EQ(ReflectionCoef(1800, 1800, 2, 2), 0);
    EXPECT_EQ(TransmissionCoef(1800, 1800, 2, 2), 1);
    EXPECT_NEAR(TransmissionCoef(1500, 1800, 1.8, 1.98), 2 * 2700.0 / (2700 + 3564), 1e-15);
    EXPECT_NEAR(TransmissionCoef(1500, 1800, 1.8, 1.98), 0.8621, 5e-5);
    EXPECT_NEAR(ReflectionCoef(1500, 1800, 1.8, 1.98), (3564 - 2700) / 6264.0, 1e-15);

    const THorizontalModel m = ThreeLayers();
    struct Case {
        std::int32_t kind;
        double expected;
    };
    const double rf = 1.8, rt = 1.98;
    const Case cases[] = {
        { 1, ReflectionCoef(1500, 1800, rf, rt) },
        { 3, ReflectionCoef(1500, 1040.5, rf, rt) },
        { 5, ReflectionCoef(750, 1800, rf, rt) },
        { 8, TransmissionCoef(1500, 1800, rf, rt) },
        { 72, TransmissionCoef(1500, 1800, rf, rt) },
        { 24, TransmissionCoef(1500, 1040.5, rf, rt) },
        { 88, TransmissionCoef(1500, 1040.5, rf, rt) },
        { 40, TransmissionCoef(750, 1800, rf, rt) },
        { 104, TransmissionCoef(750, 1800, rf, rt) },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(TransitionCoef(0, { 0, 1, c.kind, 0, 0 }, m), c.expected);
    }
    EXPECT_EQ(TransitionCoef(1, { 0, 1, 8, 0, 0 }, m), TransmissionCoef(750, 1040.5, rf, rt));
    EXPECT_TRUE(std::isnan(TransitionCoef(0, { 0, 1, 2, 0, 0 }, m)));
    EXPECT_TRUE(std::isnan(TransitionCoef(0, { 0, 3, 8, 0, 0 }, m)));
    EXPECT_TRUE(std::isnan(TransitionCoef(3, { 0, 1, 8, 0, 0 }, m)));
}

TEST(AngleSteps, ForwardAndBackwardUndoEachOther)
{
    const THorizontalModel m = ThreeLayers();
    for (std::int32_t kind : { 8, 72, 24, 88, 40 }) {
        SCOPED_TRACE(kind);
        const TRayTransition t { 2, 1, kind, 0, 0 };
        const TAngleResult f = AngleForward(0, t, m, 0.4);
        ASSERT_TRUE(f.Ok);
        const TAngleResult b = AngleBackward(0, t, m, f.Angle);
        ASSERT_TRUE(b.Ok);
        EXPECT_NEAR(b.Angle, 0.4, 1e-14);
    }
    // A P wave transmitted as S: sin(out)/Vs(To) = sin(in)/Vp(From).
    const TAngleResult ps = AngleForward(0, { 2, 1, 24, 0, 0 }, m, 0.4);
    EXPECT_NEAR(std::sin(ps.Angle) / 1040.5, std::sin(0.4) / 2160, 1e-15);
    const TAngleResult refl = AngleForward(0, { 1, 1, 1, 0, 0 }, m, 0.4);
    EXPECT_NEAR(refl.Angle, kPi - 0.4, 1e-14);

    EXPECT_FALSE(AngleForward(0, { 0, 1, 16, 0, 0 }, m, 0.4).Ok);
    EXPECT_FALSE(AngleForward(0, { 0, -1, 8, 0, 0 }, m, 0.4).Ok);
    EXPECT_FALSE(AngleBackward(0, { 7, 1, 8, 0, 0 }, m, 0.4).Ok);
}

TEST(LayerBoundsAndHeadWaves, Bookkeeping)
{
    THorizontalModel m = ThreeLayers();
    m[2].Bottom = -INFINITY;
    m[1].Top = 12345;
    UpdateLayerBounds(m);
    EXPECT_EQ(m[0].Top, 200);
    EXPECT_EQ(m[1].Top, 100);
    EXPECT_EQ(m[2].Top, -100);
    EXPECT_EQ(m[2].Bottom, -500);

    EXPECT_EQ(FindHeadWaves(Crossing(2, 0)).Count, 0);
    EXPECT_EQ(FindHeadWaves(Crossing(2, 0)).First, -1);
    TRayTransitions t = Crossing(0, 3);
    t[1].Kind = 72;
    t[2].Kind = 104;
    EXPECT_EQ(FindHeadWaves(t).First, 1);
    EXPECT_EQ(FindHeadWaves(t).Count, 2);
}

TEST(TraceRay, DirectRegimeRunsInTheFirstLayerToTheSurface)
{
    THorizontalModel m = ThreeLayers();
    TRayTransitions none;
    TTravelParams seg;
    bool ok = false;
    TraceRay(m, none, seg, 400, -100, 12345, 2.5, ok); // 300 m below the surface
    ASSERT_TRUE(ok);
    ASSERT_EQ(seg.size(), 1u);
    EXPECT_EQ(seg[0].Layer, 0);
    EXPECT_EQ(seg[0].DX, 400);
    EXPECT_EQ(seg[0].DZ, 300);
    EXPECT_NEAR(seg[0].Angle, 0.9273, 5e-5);
    EXPECT_NEAR(seg[0].Length, 500, 1e-12);
    EXPECT_NEAR(seg[0].Time, 500.0 / 1500 / 86400, 1e-18);
    EXPECT_NEAR(seg[0].Spreading, 1.0 / 500, 1e-18);
    EXPECT_EQ(seg[0].Frequency, 2.5);
    EXPECT_NEAR(seg[0].Attenuation, std::exp(-kPi * 2.5 * (500.0 / 1500) / 10), 1e-15);
    EXPECT_NEAR(RayFactor(seg, none), seg[0].Spreading * seg[0].Attenuation, 1e-18);

    m[0].SpreadExp = 0;
    TraceRay(m, none, seg, 400, -100, 0, 2.5, ok);
    EXPECT_EQ(seg[0].Spreading, 1);
}

TEST(TraceRay, UpwardThroughTwoInterfacesComesWithinATenthOfAMetre)
{
    for (double distance : { 0.0, 3.7, 250.0, 1000.0, 2870.5, 15000.0 }) {
        SCOPED_TRACE(distance);
        THorizontalModel m = ThreeLayers();
        TRayTransitions t = Crossing(2, 0);
        TTravelParams seg;
        bool ok = false;
        TraceRay(m, t, seg, distance, -300, 400, 4, ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(seg.size(), 3u);
        EXPECT_EQ(seg[0].Layer, 2);
        EXPECT_EQ(seg[1].Layer, 1);
        EXPECT_EQ(seg[2].Layer, 0);
        EXPECT_EQ(seg[0].DZ, 200); // -300 up to the top of #3
        EXPECT_EQ(seg[1].DZ, 200); // all of #2
        EXPECT_EQ(seg[2].DZ, 300); // from the bottom of #1 up to the station
        const double reach = SumDX(seg);
        EXPECT_LT(std::fabs(reach - distance), 0.1);
        // The path kept is the last angle tried: it reached the distance,
        // unlike the angle one step back.
        EXPECT_GE(reach, distance);
        // Snell's invariant along the ray.
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(std::sin(seg[static_cast<std::size_t>(k)].Angle)
                    / m[static_cast<std::size_t>(seg[static_cast<std::size_t>(k)].Layer)]
                          .Velocity[0],
                std::sin(seg[0].Angle) / 2160, 1e-15);
        double total = 0, spread = 1, time = 0;
        for (const auto &s : seg) {
            total += s.Length;
            spread *= s.Spreading;
            time += s.Length / m[static_cast<std::size_t>(s.Layer)].Velocity[0] / 86400;
            EXPECT_NEAR(s.Attenuation,
                std::exp(-kPi * 4 * s.Length
                    / (m[static_cast<std::size_t>(s.Layer)].Q
                        * m[static_cast<std::size_t>(s.Layer)].Velocity[0])),
                1e-15);
        }
        EXPECT_NEAR(spread, 1 / total, 1e-15 / total);
        EXPECT_NEAR(seg[0].Time + seg[1].Time + seg[2].Time, time, 1e-15);
        EXPECT_EQ(t[0].Coefficient, TransmissionCoef(2160, 1800, 2.178, 1.98));
        EXPECT_EQ(t[1].Coefficient, TransmissionCoef(1800, 1500, 1.98, 1.8));
    }
}

TEST(TraceRay, DistanceZeroStopsAtTheSmallestAnglesTried)
{
    THorizontalModel m = ThreeLayers();
    TRayTransitions t = Crossing(2, 0);
    TTravelParams seg;
    bool ok = false;
    TraceRay(m, t, seg, 0, -300, 400, 4, ok);
    ASSERT_TRUE(ok);
    // 1, 0.1, 0.01 (reach 0.12 m), then 0.001 degree: the first reach below 0.1 m.
    EXPECT_NEAR(seg[0].Angle, kPi / 180 / 1000, 1e-18);
    EXPECT_LT(SumDX(seg), 0.1);
    EXPECT_GT(SumDX(seg), 0);
}

TEST(TraceRay, DownwardRayCarriesNegativeAngles)
{
    THorizontalModel m = ThreeLayers();
    TRayTransitions t = Crossing(0, 2);
    TTravelParams seg;
    bool ok = false;
    TraceRay(m, t, seg, 300, 150, -400, 4, ok);
    ASSERT_TRUE(ok);
    for (const auto &s : seg) {
        EXPECT_LE(s.Angle, 0);
        EXPECT_GE(s.DX, 0);
    }
    EXPECT_EQ(seg[0].DZ, -50);
    EXPECT_EQ(seg[1].DZ, -200);
    EXPECT_EQ(seg[2].DZ, -300);
    EXPECT_LT(seg[1].Angle, seg[0].Angle); // faster below: away from the vertical
    EXPECT_LT(std::fabs(SumDX(seg) - 300), 0.1);
}

TEST(TraceRay, WhatCannotBeTracedReportsFailure)
{
    THorizontalModel m = ThreeLayers();
    TTravelParams seg;
    bool ok = true;

    // Both ends on the interface: every vertical run is 0 and the reach too.
    TRayTransitions t = Crossing(1, 0);
    TraceRay(m, t, seg, 100, 100, 100, 4, ok);
    EXPECT_FALSE(ok);

    TRayTransitions head = Crossing(2, 0, 72);
    ok = true;
    TraceRay(m, head, seg, 100, -300, 400, 4, ok);
    EXPECT_FALSE(ok); // head waves are refused

    for (TRayTransitions bad : { TRayTransitions { { 2, 5, 8, 0, 0 } },
             TRayTransitions { { -1, 0, 8, 0, 0 } }, TRayTransitions { { 1, 0, 2, 0, 0 } } }) {
        ok = true;
        TraceRay(m, bad, seg, 100, -300, 400, 4, ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(seg.size(), bad.size() + 1);
    }
    for (double d : { -1.0, std::nan(""), double(INFINITY) }) {
        ok = true;
        t = Crossing(2, 0);
        TraceRay(m, t, seg, d, -300, 400, 4, ok);
        EXPECT_FALSE(ok);
    }
    // At the surface with no distance the first segment has no length, so
    // its spreading has no value.
    TRayTransitions none;
    ok = true;
    TraceRay(m, none, seg, 0, 200, 200, 4, ok);
    EXPECT_FALSE(ok);

    THorizontalModel empty;
    ok = true;
    TraceRay(empty, none, seg, 10, 0, 0, 4, ok);
    EXPECT_FALSE(ok);
}

TEST(TraceRayGeometry, SharedFirstLevelGivesTheSameRay)
{
    THorizontalModel base = ThreeLayers();
    for (auto [from, to, start, end] : { std::tuple { 2, 0, -300.0, 400.0 },
             std::tuple { 0, 2, 150.0, -400.0 }, std::tuple { 1, 0, 0.0, 370.0 } }) {
        const TRayTransitions tr = Crossing(from, to);
        const TTakeOffTable table = BuildTakeOffTable(base, tr, start, end);
        ASSERT_FALSE(table.Theta.empty());
        TTakeOffCache cache;
        cache.Table = &table;
        // Near distances first and again: the finer levels kept for one are
        // replayed for the next.
        std::vector<double> distances;
        for (double d = 0; d < 40000; d = d * 1.37 + 11.3)
            distances.insert(distances.end(), { d, d + 0.05, d + 0.3, d });
        for (double d : distances) {
            THorizontalModel m1 = base, m2 = base;
            TRayTransitions t1 = tr, t2 = tr;
            TTravelParams s1, s2;
            bool ok1 = false;
            TraceRay(m1, t1, s1, d, start, end, 7.5, ok1);
            const bool ok2 = TraceRayGeometry(m2, t2, s2, d, start, end, &cache);
            SetRayFrequency(s2, m2, 7.5);
            ASSERT_EQ(ok1, ok2);
            ASSERT_EQ(s1.size(), s2.size());
            for (std::size_t k = 0; k < s1.size(); ++k) {
                EXPECT_EQ(s1[k].Angle, s2[k].Angle);
                EXPECT_EQ(s1[k].Length, s2[k].Length);
                EXPECT_EQ(s1[k].Spreading, s2[k].Spreading);
                EXPECT_EQ(s1[k].Attenuation, s2[k].Attenuation);
                EXPECT_EQ(s1[k].Time, s2[k].Time);
                EXPECT_EQ(s1[k].DX, s2[k].DX);
            }
            EXPECT_EQ(RayFactor(s1, t1), RayFactor(s2, t2));
        }
        EXPECT_FALSE(cache.Level1.empty());
    }
    EXPECT_TRUE(BuildTakeOffTable(base, {}, 0, 0).Theta.empty());
    EXPECT_TRUE(BuildTakeOffTable(base, Crossing(2, 0, 72), 0, 0).Theta.empty());
}

TEST(SteepAngles, TheLibraryFunctionsOnTheFullAngleBitForBit)
{
    // Angles from the vertical above pi/4 take a reduction of their own:
    // every result must be the library's own on the full angle, in both
    // directions and near the vertical and the critical angle.
    using Ext = long double;
    std::uint64_t x = 88172645463325252u; // xorshift
    auto next = [&] {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        return static_cast<double>(x >> 11) * 0x1p-53;
    };
    for (int i = 0; i < 200000; ++i) {
        double angle = 0.7 + next() * (kPi / 2 - 0.7);
        if (i % 50 == 0)
            angle = std::nextafter(kPi / 2, 0.0) - (i % 7) * 1e-16;
        if (i % 2)
            angle = -angle;
        const double V1 = 1000 + next() * 2000;
        const double V2 = i % 10 == 0 ? V1 / std::sin(std::fabs(angle)) * (1 - next() * 1e-9)
                                      : 500 + next() * 2000;
        const Ext s = std::sin(Ext(angle)) * V2 / V1;
        const TAngleResult r = SnellAngle(angle, V1, V2);
        ASSERT_EQ(r.Ok, std::fabs(s) <= 1) << angle;
        if (r.Ok) {
            ASSERT_EQ(r.Angle, static_cast<double>(std::asin(s)))
                << angle << " " << V1 << " " << V2;
        }
    }
    // The horizontal runs of traced rays through all three layers.
    for (double distance : { 10.0, 700.0, 2500.0, 9000.0 })
        for (bool up : { true, false }) {
            THorizontalModel m = ThreeLayers();
            TRayTransitions t = up ? Crossing(2, 0) : Crossing(0, 2);
            TTravelParams seg;
            ASSERT_TRUE(TraceRayGeometry(m, t, seg, distance, up ? -300 : 150, up ? 400 : -400));
            for (const TRaySegment &s : seg)
                EXPECT_EQ(s.DX, static_cast<double>(std::tan(Ext(s.Angle)) * s.DZ)) << distance;
        }
}
