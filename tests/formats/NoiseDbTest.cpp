#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "common/Error.h"
#include "formats/NoiseDb.h"
#include "noise/NoiseLevel.h"

using namespace valdrin::formats;
using namespace valdrin::noise;

namespace {

std::string G17(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// A smooth acceleration spectrum, dB re 1 (m/s^2)^2/Hz, at 0.05..20 Hz.
constexpr int kPoints = 60;
double Freq(int i)
{
    return 0.05 * std::pow(400.0, i / (kPoints - 1.0));
}
double Db(double f)
{
    return -140 - 10 * std::log10(1 + f) + 5 * std::sin(f);
}

std::optional<TNoiseLevel> Band(const TNoiseSpectrum &s)
{
    return NoiseBandLevel(SpectrumColumnPoints(s, 0, true), 0.5, 8);
}

} // namespace

TEST(NoiseDb, MustangAndPeriodFilesGiveTheLinearFilesBandLevel)
{
    // The noise page's own file: a DC row, then velocity power.
    std::string linear = "f\tZ\n0\t0\n";
    // MUSTANG noise-psd text: comments, "frequency, power" pairs.
    std::string mustang
        = "# start=2024-01-01T00:00:00\n# SNCL: IU.ANMO.00.BHZ\n# frequency, power\n";
    // The same against period, in the file's descending frequency order.
    std::string period = "Period(s)\tdB_Z\n";
    for (int i = 0; i < kPoints; ++i) {
        const double f = Freq(i), w = 2 * std::numbers::pi * f;
        linear += G17(f) + "\t" + G17(std::pow(10.0, Db(f) / 10) / (w * w)) + "\n";
        mustang += G17(f) + ", " + G17(Db(f)) + "\n";
    }
    for (int i = 0; i < kPoints; ++i)
        period += G17(1 / Freq(i)) + "\t" + G17(Db(Freq(i))) + "\n";

    std::istringstream in(linear);
    const TNoiseLoad reference = ReadNoiseFile(in, "linear.dat");
    ASSERT_EQ(reference.Status, TNoiseLoadStatus::Complete) << reference.Message;
    const auto expected = Band(reference.Spectrum);
    ASSERT_TRUE(expected);

    EXPECT_EQ(DetectSpectrumUnit(linear), TSpectrumUnit::VelocityPower);
    // Told by the numbers alone: a stray negative power is not dB, all negative ones are.
    EXPECT_EQ(DetectSpectrumUnit("f Z N\n0.5 1 1\n1 -1 1e-14\n"), TSpectrumUnit::VelocityPower);
    EXPECT_EQ(
        DetectSpectrumUnit("f Z N\n0.5 -150 -151\n1 -140 -139.5\n"), TSpectrumUnit::AccelerationDb);
    for (const std::string *file : { &mustang, &period }) {
        EXPECT_EQ(DetectSpectrumUnit(*file), TSpectrumUnit::AccelerationDb);
        const TNoiseSpectrum s = ParseDbSpectrum(*file, "db.txt");
        ASSERT_EQ(s.Freq.size(), kPoints + 1u);
        EXPECT_EQ(s.Freq[0], 0); // the row the page never draws
        for (std::size_t r = 2; r < s.Freq.size(); ++r)
            EXPECT_LT(s.Freq[r - 1], s.Freq[r]);
        const auto level = Band(s);
        ASSERT_TRUE(level);
        EXPECT_NEAR(level->TrueMm, expected->TrueMm, 1e-9 * expected->TrueMm);
        EXPECT_NEAR(level->WaMm, expected->WaMm, 1e-9 * expected->WaMm);
    }
    EXPECT_EQ(ParseDbSpectrum(period, "p.txt").Names, std::vector<std::string> { "dB_Z" });
}

TEST(NoiseDb, RefusesWhatItCannotRead)
{
    const std::pair<std::string, std::string> cases[] = {
        { "x\tZ\n1\t-140\n", "частота (freq) или период (period)" },
        { "period Z N\n1 -140 -141\n0 -140 -141\n",
            "«n.txt», строка 3: период должен быть больше 0" },
        { "freq Z\n1 -140\n2 -1e4O\n", "строка 3: не число" },
        { "freq Z\n1 -140\n2 -1e40\n", "строка 3: значение вне" },
        { "freq Z\n1 -140\n2 5000\n", "строка 3: значение вне допустимого диапазона" },
        { "freq Z N\n1 -140\n", "строка 2: чисел в строке 2, а ожидалось 3" },
        { "# frequency, power\n", "нет данных" },
    };
    for (const auto &[text, message] : cases) {
        std::string e;
        try {
            ParseDbSpectrum(text, "n.txt");
        } catch (const valdrin::common::TValdrinError &err) {
            e = err.what();
        }
        EXPECT_NE(e.find(message), std::string::npos) << text << " -> " << e;
    }
}
