#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/MathRout.h"

using namespace valdrin::common;

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(ValueToColor, QuarterEndsAreTheFiveColours)
{
    EXPECT_EQ(ValueToColor(0, 0, 1), (TColor { 255, 255, 255 }));
    EXPECT_EQ(ValueToColor(0.25, 0, 1), (TColor { 0, 255, 0 }));
    EXPECT_EQ(ValueToColor(0.5, 0, 1), (TColor { 0, 0, 255 }));
    EXPECT_EQ(ValueToColor(0.75, 0, 1), (TColor { 255, 0, 0 }));
    EXPECT_EQ(ValueToColor(1, 0, 1), (TColor { 0, 0, 0 }));
    // Any range maps the same way, a reversed one too.
    EXPECT_EQ(ValueToColor(-55, -60, -40), (TColor { 0, 255, 0 }));
    EXPECT_EQ(ValueToColor(-40, -60, -40), (TColor { 0, 0, 0 }));
    EXPECT_EQ(ValueToColor(0, 0, -10), (TColor { 255, 255, 255 }));
    EXPECT_EQ(ValueToColor(-10, 0, -10), (TColor { 0, 0, 0 }));
    EXPECT_EQ((TColor { 0, 0, 255 }).Packed(), 65536u * 255);
    EXPECT_EQ((TColor { 1, 2, 3 }).Packed(), 1u + 2 * 256 + 3 * 65536);
}

TEST(ValueToColor, OutsideTheScale)
{
    EXPECT_EQ(ValueToColor(-0.001, 0, 1), (TColor { 255, 255, 255 }));
    EXPECT_EQ(ValueToColor(kNaN, 0, 1), (TColor { 255, 255, 255 }));
    EXPECT_EQ(ValueToColor(-kInf, 0, 1), (TColor { 255, 255, 255 }));
    EXPECT_EQ(ValueToColor(1.001, 0, 1), (TColor { 0, 0, 0 }));
    EXPECT_EQ(ValueToColor(kInf, 0, 1), (TColor { 0, 0, 0 }));
    EXPECT_EQ(ValueToColor(7, 3, 3), (TColor { 255, 255, 255 })); // Hi == Lo: f = 0
    EXPECT_EQ(ValueToColor(0.5, kNaN, 1), (TColor { 255, 255, 255 }));
    EXPECT_EQ(ValueToColor(0, -1e308, 1e308), (TColor { 255, 255, 255 })); // the span overflows
}

TEST(ValueToColor, TiesRoundToEven)
{
    // 0.125 * 1020 = 127.5 exactly: k = 128, not 127.
    EXPECT_EQ(ValueToColor(0.125, 0, 1), (TColor { 127, 255, 127 }));
    EXPECT_EQ(ValueToColor(0.375, 0, 1), (TColor { 0, 127, 128 }));
    EXPECT_EQ(ValueToColor(0.625, 0, 1), (TColor { 128, 0, 127 }));
    EXPECT_EQ(ValueToColor(0.875, 0, 1), (TColor { 127, 0, 0 }));
    // 2.5 / 1020 and 3.5 / 1020 go to 2 and 4.
    EXPECT_EQ(ValueToColor(2.5, 0, 1020), (TColor { 253, 255, 253 }));
    EXPECT_EQ(ValueToColor(3.5, 0, 1020), (TColor { 251, 255, 251 }));
    EXPECT_EQ(RoundEven(0.5), 0);
    EXPECT_EQ(RoundEven(1.5), 2);
    EXPECT_EQ(RoundEven(-2.5), -2);
    EXPECT_EQ(RoundEven(2.500001), 3);
}

TEST(ValueToColor, NoJumpsAlongTheScale)
{
    TColor prev = ValueToColor(0, 0, 1);
    for (int i = 1; i <= 4080; ++i) {
        const TColor c = ValueToColor(i / 4080.0, 0, 1);
        const int step = std::abs(c.R - prev.R) + std::abs(c.G - prev.G) + std::abs(c.B - prev.B);
        ASSERT_LE(step, 2) << "at f = " << i / 4080.0;
        prev = c;
    }
}

TEST(ArrayMinMax, RangeOfIndices)
{
    const TDoubleDynArray v { 3, -1, 7, 2, 9, -4 };
    auto r = ArrayMinMax(v);
    EXPECT_EQ(r.MinV, -4);
    EXPECT_EQ(r.MaxV, 9);
    r = ArrayMinMax(v, 1, 3);
    EXPECT_EQ(r.MinV, -1);
    EXPECT_EQ(r.MaxV, 7);
    r = ArrayMinMax(v, 2, 100); // beyond the end: to the last index
    EXPECT_EQ(r.MinV, -4);
    EXPECT_EQ(r.MaxV, 9);
    r = ArrayMinMax(v, 4, 4);
    EXPECT_EQ(r.MinV, 9);
    EXPECT_EQ(r.MaxV, 9);
    r = ArrayMinMax({});
    EXPECT_EQ(r.MinV, 0);
    EXPECT_EQ(r.MaxV, 0);
    r = ArrayMinMax(v, 6); // From outside the array: no element is read
    EXPECT_EQ(r.MinV, 0);
    EXPECT_EQ(r.MaxV, 0);
    r = ArrayMinMax(v, -1);
    EXPECT_EQ(r.MinV, 0);
}

TEST(MatrixFiniteMinMax, SkipsNaNAndInfinities)
{
    auto r = MatrixFiniteMinMax({ { kNaN, 2, kInf }, {}, { -kInf, -3, 5 } });
    EXPECT_TRUE(r.Found);
    EXPECT_EQ(r.MinV, -3);
    EXPECT_EQ(r.MaxV, 5);
    r = MatrixFiniteMinMax({ { kNaN, kInf } });
    EXPECT_FALSE(r.Found);
    EXPECT_EQ(r.MinV, 0);
    EXPECT_FALSE(MatrixFiniteMinMax({}).Found);
    r = MatrixFiniteMinMax({ { 4 } });
    EXPECT_EQ(r.MinV, 4);
    EXPECT_EQ(r.MaxV, 4);
}

TEST(ClampToRange, TheUpperBoundHasTheLastWordInAReversedRange)
{
    EXPECT_EQ(ClampToRange(7, 1, 5), 5);
    EXPECT_EQ(ClampToRange(-7, 1, 5), 1);
    EXPECT_EQ(ClampToRange(3, 1, 5), 3);
    // min 10, max 5: 7 is below min (10) and then above max (5).
    EXPECT_EQ(ClampToRange(7, 10, 5), 5);
    EXPECT_EQ(ClampToRange(12.0, 10.0, 5.0), 5.0);
    EXPECT_TRUE(std::isnan(ClampToRange(std::nan(""), 1.0, 5.0)));
}
