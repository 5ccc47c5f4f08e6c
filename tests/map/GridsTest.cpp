#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calc/NetworkModel.h"
#include "map/Grids.h"

using namespace valdrin::map;
using valdrin::calc::TViewPlane;

namespace {

TRanges WithX(double lo, double hi, double step)
{
    TRanges r;
    r.X = { lo, hi, step, 0 };
    return r;
}

} // namespace

TEST(UpdatePlaneGrid, NodeCountsOfTheDefaultsAndOfARaggedRange)
{
    const TRanges defaults;
    const auto xy = UpdatePlaneGrid(defaults, TViewPlane::vpXY);
    EXPECT_EQ(xy.NU, 81);
    EXPECT_EQ(xy.NV, 81);
    EXPECT_EQ(xy.WPlane, 400);
    EXPECT_TRUE(IsUsable(xy));

    const auto xz = UpdatePlaneGrid(defaults, TViewPlane::vpXZ);
    EXPECT_EQ(xz.NU, 81);
    EXPECT_EQ(xz.NV, 11); // 300 to 500 step 20
    EXPECT_EQ(xz.WPlane, 0);

    const auto ragged = UpdatePlaneGrid(WithX(0, 100, 30), TViewPlane::vpXY);
    EXPECT_EQ(ragged.NU, 4); // 0, 30, 60, 90
    EXPECT_LT(ragged.UMin + (ragged.NU - 1) * ragged.UStep, ragged.UMax);

    const auto single = UpdatePlaneGrid(WithX(7, 7, 1), TViewPlane::vpXY);
    EXPECT_EQ(single.NU, 1);
    EXPECT_EQ(UpdatePlaneGrid(WithX(0, 0.3, 0.1), TViewPlane::vpXY).NU, 4);
}

TEST(UpdatePlaneGrid, ThePlaneChoosesTheAxes)
{
    TRanges r;
    r.X = { -10, 10, 5, 1 };
    r.Y = { 0, 100, 10, 2 };
    r.Z = { 300, 500, 20, 3 };
    const auto yz = UpdatePlaneGrid(r, TViewPlane::vpYZ);
    EXPECT_EQ(yz.UMin, 0);
    EXPECT_EQ(yz.UMax, 100);
    EXPECT_EQ(yz.UStep, 10);
    EXPECT_EQ(yz.VMin, 300);
    EXPECT_EQ(yz.VStep, 20);
    EXPECT_EQ(yz.WPlane, 1); // X0
    EXPECT_EQ(yz.NU, 11);
    EXPECT_EQ(yz.NV, 11);
    EXPECT_EQ(UpdatePlaneGrid(r, TViewPlane::vpXZ).WPlane, 2);
    EXPECT_EQ(UpdatePlaneGrid(r, TViewPlane::vpXY).WPlane, 3);
    EXPECT_EQ(UpdatePlaneGrid(r, static_cast<TViewPlane>(7)).UMin, -10); // any other: XY
}

TEST(UpdatePlaneGrid, NonsenseRangesGiveNoGridAndSaySo)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        TRanges R;
        const char *Word; // a word of the message
    };
    const Case cases[] = {
        { WithX(0, 100, 0), "Шаг" }, { WithX(0, 100, -5), "Шаг" },
        { WithX(0, 100, nan), "Недопустимое" }, { WithX(100, 0, 10), "Минимум" },
        { WithX(-inf, 0, 10), "Недопустимое" }, { WithX(-1e300, 1e300, 1e-300), "узлов" },
        { WithX(0, 1e6, 0.01), "узлов" },
        { WithX(0, 4001 * 4001.0 - 1, 1), "узлов" }, // 4001^2 * 81 nodes
    };
    for (const auto &c : cases) {
        const auto g = UpdatePlaneGrid(c.R, TViewPlane::vpXY);
        EXPECT_EQ(g.NU, 0);
        EXPECT_EQ(g.NV, 0);
        EXPECT_FALSE(IsUsable(g));
        EXPECT_EQ(g.UMin, c.R.X.Min); // the range fields are filled all the same
        const auto text = PlaneGridProblem(g);
        EXPECT_NE(text.find(c.Word), std::string::npos) << text;
    }
    EXPECT_EQ(PlaneGridProblem(UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY)), "");

    // Just inside the node limit: 4001 x 4001.
    TRanges big;
    big.X = { 0, 4000, 1, 0 };
    big.Y = { 0, 4000, 1, 0 };
    EXPECT_TRUE(IsUsable(UpdatePlaneGrid(big, TViewPlane::vpXY)));
    big.Y.Max = 4001;
    EXPECT_FALSE(IsUsable(UpdatePlaneGrid(big, TViewPlane::vpXY)));

    valdrin::calc::TPlaneGrid forged = UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY);
    forged.UStep = 0; // counts that do not fit their steps
    EXPECT_FALSE(IsUsable(forged));
}

TEST(UpdateWaveGrid, KCountRoundsTiesToEvenAndRefusesAZeroStep)
{
    const auto g = UpdateWaveGrid(0.005, 0.00002);
    EXPECT_EQ(g.KCount, 250);
    EXPECT_EQ(2 * g.KCount + 1, 501);
    EXPECT_TRUE(IsUsable(g));
    EXPECT_EQ(UpdateWaveGrid(2.5, 1).KCount, 2);
    EXPECT_EQ(UpdateWaveGrid(3.5, 1).KCount, 4);
    EXPECT_EQ(UpdateWaveGrid(0, 1).KCount, 0);
    EXPECT_TRUE(IsUsable(UpdateWaveGrid(0, 1)));
    EXPECT_EQ(UpdateWaveGrid(10, 0.0000001).KCount, 100000000); // control extremes

    for (double dk : { 0.0, -0.001, std::numeric_limits<double>::quiet_NaN() }) {
        const auto bad = UpdateWaveGrid(0.005, dk);
        EXPECT_EQ(bad.KCount, 0);
        EXPECT_FALSE(IsUsable(bad));
    }
    EXPECT_FALSE(IsUsable(UpdateWaveGrid(-0.005, 0.001)));
    const auto huge = UpdateWaveGrid(1e300, 1e-300);
    EXPECT_TRUE(IsUsable(huge));
    EXPECT_EQ(huge.KCount, 1000000000); // pinned; 2 * KCount + 1 still fits an int
}

TEST(AutoRange, DefaultStationsOnEachAxis)
{
    using namespace valdrin::calc;
    const auto s = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    EXPECT_EQ(AutoRange(s.U), (TAxisRange { -1545, 1854, 309, 154.5 }));
    EXPECT_EQ(AutoRange(s.V), (TAxisRange { -1788, 1788, 298, 0 })); // 298.5 -> 298
    EXPECT_EQ(AutoRange(s.W), (TAxisRange { 328, 416, 8, 372 }));
}

TEST(AutoRange, EdgesOfTheRule)
{
    EXPECT_EQ(AutoRange({ 5, 5, 5 }), (TAxisRange { 5, 5, 1, 5 }));
    EXPECT_EQ(AutoRange({ 2.5, 2.5 }), (TAxisRange { 2, 3, 1, 2.5 }));
    EXPECT_EQ(AutoRange({ 0, 4 }), (TAxisRange { 0, 4, 1, 2 })); // step 0.4 -> at least 1
    EXPECT_EQ(AutoRange({ 0, 25 }), (TAxisRange { 0, 26, 2, 13 })); // 2.5 -> 2
    EXPECT_FALSE(AutoRange({}));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(AutoRange({ nan }));
    EXPECT_EQ(AutoRange({ nan, 10, 20 }), (TAxisRange { 10, 20, 1, 15 }));
    EXPECT_FALSE(AutoRange({ -1.7e308, 1.7e308 })); // the span overflows
}

TEST(AutoRange, DegreesStepThroughTheOneTwoFiveSeries)
{
    // 0.23 degrees wide: 0.02 is the series step nearest 0.023, about the
    // dozen nodes a network in metres gets (not 2 whole-degree nodes).
    EXPECT_EQ(AutoRange({ 30.0, 30.23, 30.1 }, true), (TAxisRange { 30, 30.24, 0.02, 30.12 }));
    EXPECT_EQ(AutoRange({ 59.99, 60.04 }, true), (TAxisRange { 59.99, 60.04, 0.005, 60.015 }));
    EXPECT_EQ(AutoRange({ -0.7, 0.0, 0.3 }, true), (TAxisRange { -0.7, 0.3, 0.1, -0.2 }));
    EXPECT_EQ(AutoRange({ 10, 44.5 }, true), (TAxisRange { 10, 45, 5, 27.5 })); // 3.45 -> 5
    EXPECT_EQ(AutoRange({ 0, 30 }, true), (TAxisRange { 0, 30, 2, 15 })); // 3 -> 2
    // One position: the smallest step, 0.001 degree.
    EXPECT_EQ(
        AutoRange({ 37.6175, 37.6175 }, true), (TAxisRange { 37.617, 37.618, 0.001, 37.6175 }));
    EXPECT_FALSE(AutoRange({}, true));
}
