#include <gtest/gtest.h>

#include <limits>

#include "medium/Attenuation.h"

using namespace valdrin::medium;

using Texts = std::array<std::string, 6>;

TEST(MagnitudeTransform, DefaultsGiveTheInitialTexts)
{
    const auto t = MagnitudeTransform(1.5, -3.5, 3.0);
    ASSERT_TRUE(t);
    EXPECT_EQ(TransformTexts(*t), (Texts { "0.772", "1.837", "0.921", "0.980", "2.333", "3.153" }));
    EXPECT_EQ(
        TransformTexts(*t, ','), (Texts { "0,772", "1,837", "0,921", "0,980", "2,333", "3,153" }));
}

TEST(MagnitudeTransform, SMovesOnlyA1AndC0OnlyA3)
{
    const auto base = TransformTexts(*MagnitudeTransform(1.5, -3.5, 3.0));
    const auto s = TransformTexts(*MagnitudeTransform(1.5, -2.0, 3.0));
    const auto c = TransformTexts(*MagnitudeTransform(1.5, -3.5, 4.0));
    for (std::size_t i : { 0u, 2u, 3u, 5u })
        EXPECT_EQ(s[i], base[i]) << i;
    EXPECT_NE(s[1], base[1]);
    EXPECT_NE(s[4], base[4]);
    for (std::size_t i : { 0u, 1u, 3u, 4u })
        EXPECT_EQ(c[i], base[i]) << i;
    EXPECT_NE(c[2], base[2]);
    EXPECT_NE(c[5], base[5]);
    // An unconverted S or C0 reads as 0 (their minimum).
    EXPECT_EQ(TransformTexts(*MagnitudeTransform(1.5, 0, 0))[1], "0.000");
}

TEST(MagnitudeTransform, NoCoefficientWithoutB0)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(MagnitudeTransform(0, -3.5, 3));
    EXPECT_FALSE(MagnitudeTransform(-0.0, -3.5, 3));
    EXPECT_FALSE(MagnitudeTransform(nan, -3.5, 3));
    EXPECT_FALSE(MagnitudeTransform(1.5, nan, 3));
    EXPECT_FALSE(MagnitudeTransform(1e-320, -3.5, 3)); // quotients overflow
    EXPECT_TRUE(MagnitudeTransform(0.1, -3.5, 3)); // the control's minimum
}

TEST(A2Range, DefaultsAndTheEdgesOfTheBand)
{
    const auto r = A2Range(0.1, 10, 3000, 100);
    ASSERT_TRUE(r.Min);
    ASSERT_TRUE(r.Max);
    EXPECT_EQ(A2Text(*r.Min), "0.0004548");
    EXPECT_EQ(A2Text(*r.Max), "0.0454792");
    EXPECT_EQ(A2Text(*r.Max, ','), "0,0454792");
    EXPECT_EQ(A2Text(*A2Coefficient(0, 3000, 100)), "0.0000000");
}

TEST(A2Range, NoCoefficientWithoutVsOrQ)
{
    EXPECT_FALSE(A2Coefficient(1, 0, 100));
    EXPECT_FALSE(A2Coefficient(1, 3000, 0));
    EXPECT_FALSE(A2Coefficient(1, -3000, 100));
    EXPECT_FALSE(A2Coefficient(1, 1e-200, 1e-200)); // the product underflows to 0
    const auto r = A2Range(0.1, 10, 3000, 0);
    EXPECT_FALSE(r.Min);
    EXPECT_FALSE(r.Max);
}

TEST(VpVsCaption, RatioTextOrNothing)
{
    EXPECT_EQ(VpVsCaption(6000, 3000), "Vp/Vs = 2.000");
    EXPECT_EQ(VpVsCaption(5000, 3000, ','), "Vp/Vs = 1,667");
    EXPECT_EQ(VpVsCaption(0, 3000), "Vp/Vs = 0.000");
    EXPECT_FALSE(VpVsCaption(6000, 0));
    EXPECT_FALSE(VelocityRatio(0, 0));
    EXPECT_FALSE(VelocityRatio(1e308, 1e-308));
}
