#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "common/NumText.h"

using namespace valdrin::common;

TEST(TextToFloat, AcceptsTheUsersSeparatorOnly)
{
    EXPECT_EQ(TextToFloat("1.5", '.'), 1.5);
    EXPECT_EQ(TextToFloat("1,5", ','), 1.5);
    EXPECT_FALSE(TextToFloat("1,5", '.'));
    EXPECT_FALSE(TextToFloat("1.5", ','));
    EXPECT_EQ(TextToFloat(" -2000 ", '.'), -2000);
    EXPECT_EQ(TextToFloat("1e3", ','), 1000);
    EXPECT_EQ(TextToFloat("+.5", '.'), 0.5);
    EXPECT_EQ(TextToFloat("-,5", ','), -0.5);
    EXPECT_EQ(TextToFloat("5.", '.'), 5);
}

TEST(TextToFloat, RejectsWhatIsNotANumber)
{
    for (const char *bad :
        { "", " ", "-", "+", "1.2.3", "1e", "1e+", "inf", "nan", "0x10", "1 2", "1,000.5", "e5" })
        EXPECT_FALSE(TextToFloat(bad, '.')) << bad;
    EXPECT_FALSE(TextToFloat("1e400", '.'));
    EXPECT_EQ(TextToFloat("1e-400", '.'), 0.0);
    {
        // Underflow under a comma locale, as a window runs: the tiny value, not 1.
        const std::string was = std::setlocale(LC_NUMERIC, nullptr);
        const bool comma = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr;
        const auto tiny = TextToFloat("1.5e-400", '.');
        std::setlocale(LC_NUMERIC, was.c_str());
        ASSERT_TRUE(tiny);
        EXPECT_LT(*tiny, 1e-300) << (comma ? "ru_RU" : "C");
    }
}

TEST(TextToFloatAnySep, ReadsEitherSeparatorButNeverTwo)
{
    for (char sep : { '.', ',' }) {
        SCOPED_TRACE(sep);
        EXPECT_EQ(TextToFloatAnySep("43,000", sep), 43);
        EXPECT_EQ(TextToFloatAnySep("42.8", sep), 42.8);
        EXPECT_EQ(TextToFloatAnySep("-,5E2", sep), -50);
        for (const char *bad : { "1,000.5", "1.000,5", "1,2,3", "42.8a", "", "1 000" })
            EXPECT_FALSE(TextToFloatAnySep(bad, sep)) << bad;
    }
}

TEST(TextToInt, DecimalIntegersOnly)
{
    EXPECT_EQ(TextToInt("25"), 25);
    EXPECT_EQ(TextToInt(" -3 "), -3);
    EXPECT_EQ(TextToInt("+7"), 7);
    EXPECT_FALSE(TextToInt("2.5"));
    EXPECT_FALSE(TextToInt(""));
    EXPECT_FALSE(TextToInt("abc"));
    EXPECT_FALSE(TextToInt("99999999999"));
}

TEST(FormatGeneral, ShortestRoundTripWithThePointAndExponentBelowTenMicro)
{
    EXPECT_EQ(FormatGeneral(0), "0");
    EXPECT_EQ(FormatGeneral(50), "50");
    EXPECT_EQ(FormatGeneral(-2000), "-2000");
    EXPECT_EQ(FormatGeneral(0.1), "0.1");
    EXPECT_EQ(FormatGeneral(0.00002), "0.00002");
    EXPECT_EQ(FormatGeneral(0.000001), "1E-6");
    EXPECT_EQ(FormatGeneral(1.5e-7), "1.5E-7");
    EXPECT_EQ(FormatGeneral(123456789012345678.0), "123456789012345680");
    EXPECT_EQ(FormatGeneral(1e20), "1E20");
    EXPECT_EQ(FormatGeneral(2.5, ','), "2,5");
}

TEST(FormatGeneral, ReadsBackToTheSameDouble)
{
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<std::uint64_t> bits;
    int checked = 0;
    while (checked < 20000) {
        std::uint64_t b = bits(rng);
        double v;
        std::memcpy(&v, &b, sizeof v);
        if (!std::isfinite(v))
            continue;
        ++checked;
        const auto text = FormatGeneral(v);
        const auto back = TextToFloat(text, '.');
        ASSERT_TRUE(back) << text;
        EXPECT_EQ(*back, v == 0 ? 0.0 : v) << text;
    }
}

TEST(FormatFixedAndExponent, DesktopFormats)
{
    EXPECT_EQ(FormatFixed(0.7716535, 3), "0.772");
    EXPECT_EQ(FormatFixed(-0.5, 1, ','), "-0,5");
    // Read-outs: no sign on a value that shows as zero.
    EXPECT_EQ(FormatShown(-1e-13, 1, ','), "0,0");
    EXPECT_EQ(FormatShown(-0.0, 2), "0.00");
    EXPECT_EQ(FormatShown(-0.5, 1), "-0.5");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::infinity(), 2), "INF");
    EXPECT_EQ(FormatExponent(0.000123456, 5), "1.2346E-004");
    EXPECT_EQ(FormatExponent(12345.678, 5, ','), "1,2346E+004");
    EXPECT_EQ(FormatExponent(0, 5), "0.0000E+000");
}
