#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>

#include "noise/NoiseLevel.h"

using namespace valdrin::noise;

namespace {

constexpr double kPi = std::numbers::pi;

// Peterson's models as acceleration power in dB re 1 (m/s^2)^2/Hz:
// A + B*log10(T) on period segments starting at T (s).
struct TSegment {
    double T, A, B;
};
constexpr TSegment kNhnm[] = {
    { 0.10, -108.73, -17.23 },
    { 0.22, -150.34, -80.50 },
    { 0.32, -122.31, -23.87 },
    { 0.80, -116.85, 32.51 },
    { 3.80, -108.48, 18.08 },
    { 4.60, -74.66, -32.95 },
    { 6.30, 0.66, -127.18 },
    { 7.90, -93.37, -22.42 },
    { 15.40, 73.54, -162.98 },
    { 20.00, -151.52, 10.01 },
    { 354.8, -206.66, 31.63 },
};
constexpr TSegment kNlnm[] = {
    { 0.10, -162.36, 5.64 },
    { 0.17, -166.7, 0 },
    { 0.40, -170.0, -8.30 },
    { 0.80, -166.4, 28.90 },
    { 1.24, -168.6, 52.48 },
    { 2.40, -159.98, 29.81 },
    { 4.30, -141.1, 0 },
    { 5.00, -71.36, -99.77 },
    { 6.00, -97.26, -66.49 },
    { 10.0, -132.18, -31.57 },
    { 12.0, -205.27, 36.16 },
    { 15.6, -37.65, -104.33 },
    { 21.9, -114.37, -47.10 },
    { 31.6, -160.58, -16.28 },
    { 45.0, -187.5, 0 },
    { 70.0, -216.47, 15.70 },
    { 101, -185.0, 0 },
    { 154, -168.34, -7.61 },
    { 328, -217.43, 11.90 },
    { 600, -258.28, 26.60 },
    { 10000, -346.88, 48.75 },
};

// Velocity power of a model at f, (m/s)^2/Hz.
template<std::size_t N> double ModelVelocityPower(const TSegment (&segs)[N], double f)
{
    const double T = 1 / f;
    std::size_t k = 0;
    while (k + 1 < N && segs[k + 1].T <= T * 1.01) // table periods are rounded
        ++k;
    const double accDb = segs[k].A + segs[k].B * std::log10(T);
    const double w = 2 * kPi * f;
    return std::pow(10.0, accDb / 10) / (w * w);
}

TNoiseSpectrum Spectrum(std::vector<double> freq, std::vector<double> values)
{
    TNoiseSpectrum s;
    s.Names = { "Z" };
    s.Freq = std::move(freq);
    s.Data = { std::move(values) };
    return s;
}

} // namespace

// Each table point lies on the published model to within its rounding to
// two significant digits and the rounding of its frequency (1 dB).
TEST(NoiseModels, TablesFollowPetersonsModels)
{
    for (const auto &p : NhnmPoints)
        EXPECT_NEAR(10 * std::log10(p.P / ModelVelocityPower(kNhnm, p.F)), 0, 1) << "NHNM " << p.F;
    for (const auto &p : NlnmPoints)
        EXPECT_NEAR(10 * std::log10(p.P / ModelVelocityPower(kNlnm, p.F)), 0, 1) << "NLNM " << p.F;
    EXPECT_EQ(NlnmPoints[1].F, 0.001);
    EXPECT_EQ(NlnmPoints[1].P, 3.5e-14);
}

TEST(NoiseModels, DrawnAsDisplacementInAscendingFrequency)
{
    const auto nhnm = ModelPoints(NhnmPoints);
    const auto nlnm = ModelPoints(NlnmPoints);
    ASSERT_EQ(nhnm.size(), 13u);
    ASSERT_EQ(nlnm.size(), 22u);
    EXPECT_DOUBLE_EQ(nhnm.back().Y, 1.8e-13 / std::pow(20 * kPi, 2));
    EXPECT_DOUBLE_EQ(nlnm[1].Y, 3.5e-14 / std::pow(0.002 * kPi, 2));
    // The low model stays below the high one where both have a point.
    for (const auto &lo : nlnm)
        for (const auto &hi : nhnm)
            if (lo.X == hi.X) {
                EXPECT_LT(lo.Y, hi.Y) << lo.X;
            }
}

TEST(NoiseSeries, FirstRowIsNeverDrawn)
{
    // Row 0 carries the lowest frequency and a huge value: neither shows.
    const auto s = Spectrum({ 0.01, 1, 2, 3 }, { 1e3, 4, 4, 4 });
    const auto pts = SpectrumColumnPoints(s, 0, true);
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts.front().X, 1);
    EXPECT_DOUBLE_EQ(pts.front().Y, 4 / std::pow(2 * kPi, 2));
    const auto other = SpectrumColumnPoints(Spectrum({ 5, 1, 2, 3 }, { 0, 4, 4, 4 }), 0, true);
    EXPECT_DOUBLE_EQ(NoiseBandLevel(pts, 0, 100)->TrueMm, NoiseBandLevel(other, 0, 100)->TrueMm);
}

TEST(NoiseSeries, LogYSkipsValuesOfZeroOrLess)
{
    const auto s = Spectrum({ 0, 1, 2, 3, 4, 5 }, { 1, 1, 0, -1, 1, 1 });
    const auto logY = SpectrumColumnPoints(s, 0, true);
    ASSERT_EQ(logY.size(), 3u);
    EXPECT_EQ(logY[1].X, 4);
    const auto linY = SpectrumColumnPoints(s, 0, false);
    ASSERT_EQ(linY.size(), 5u);
    EXPECT_EQ(linY[1].Y, 0);
    EXPECT_LT(linY[2].Y, 0);
    // The skipped rows take no part in the band: 1..5 Hz with and without them.
    const auto withGap = NoiseBandLevel(logY, 1, 5);
    const auto full = NoiseBandLevel(linY, 1, 5);
    ASSERT_TRUE(withGap && full);
    EXPECT_NE(withGap->TrueMm, full->TrueMm);
}

TEST(NoiseSeries, AscendingFrequencyWhateverTheFileOrder)
{
    const auto s = Spectrum({ 9, 3, 1, 2, 2, 0.5 }, { 1, 3, 1, 5, 7, 6 });
    const auto pts = SpectrumColumnPoints(s, 0, true);
    ASSERT_EQ(pts.size(), 5u);
    const double w2 = std::pow(4 * kPi, 2); // f = 2 Hz
    EXPECT_EQ(pts[0].X, 0.5);
    EXPECT_EQ(pts[1].X, 1);
    EXPECT_EQ(pts[2].X, 2);
    EXPECT_DOUBLE_EQ(pts[2].Y, 5 / w2); // equal frequencies keep the file order
    EXPECT_DOUBLE_EQ(pts[3].Y, 7 / w2);
    EXPECT_EQ(pts[4].X, 3);
}

TEST(NoiseSeries, GuardsAgainstBadColumnsAndFrequencies)
{
    const auto s = Spectrum({ 0, 0, -1, 1e-300, 2 }, { 1, 1, 1, 1, 1 });
    EXPECT_TRUE(SpectrumColumnPoints(s, -1, true).empty());
    EXPECT_TRUE(SpectrumColumnPoints(s, 1, true).empty());
    // f <= 0 has no displacement and 1e-300 Hz overflows it.
    const auto pts = SpectrumColumnPoints(s, 0, false);
    ASSERT_EQ(pts.size(), 1u);
    EXPECT_EQ(pts[0].X, 2);

    TNoiseSpectrum ragged = Spectrum({ 0, 1, 2 }, { 1, 1, 1, 1, 1 });
    EXPECT_EQ(SpectrumColumnPoints(ragged, 0, true).size(), 2u);
}

// A flat displacement spectrum D on an even grid of step h: the band from
// x[i] to x[k] sums to D * (h/2 + (x[k] - x[i])).
TEST(NoiseBandLevel, FlatSpectrumHasAClosedForm)
{
    const double D = 4e-14; // m^2/Hz
    TChartPoints pts;
    for (int k = 1; k <= 200; ++k)
        pts.push_back({ 0.1 * k, D });
    const auto level = NoiseBandLevel(pts, 1, 10);
    ASSERT_TRUE(level);
    const double S = D * (0.1 / 2 + (10.0 - 1.0));
    EXPECT_NEAR(level->TrueMm, 1000 * std::sqrt(S), 1e-12);
    EXPECT_NEAR(level->WaMm, 2080 * 1000 * std::sqrt(S), 1e-9);

    // Through a file: velocity power D*(2*pi*f)^2 is displacement power D.
    std::ostringstream file;
    file.precision(17);
    file << "f Z\n0.05 1\n";
    for (int k = 1; k <= 200; ++k)
        file << 0.1 * k << ' ' << D * std::pow(2 * kPi * 0.1 * k, 2) << '\n';
    std::istringstream in(file.str());
    const auto load = ReadNoiseFile(in, "flat.dat");
    const auto fromFile = NoiseBandLevel(SpectrumColumnPoints(load.Spectrum, 0, true), 1, 10);
    ASSERT_TRUE(fromFile);
    EXPECT_NEAR(fromFile->TrueMm / level->TrueMm, 1, 1e-9);
}

TEST(NoiseBandLevel, WeightOfTheFirstPoint)
{
    const TChartPoints pts { { 1, 2 }, { 2, 4 }, { 4, 8 }, { 8, 16 } };
    auto S = [](double s) { return 1000 * std::sqrt(s); };
    // Fmin at or below the lowest frequency: the first interval, x[1] - x[0].
    EXPECT_DOUBLE_EQ(NoiseBandLevel(pts, 1, 4)->TrueMm, S(2.0 / 2 * 1 + 4 * 1 + 8 * 2));
    EXPECT_DOUBLE_EQ(NoiseBandLevel(pts, 0, 4)->TrueMm, S(2.0 / 2 * 1 + 4 * 1 + 8 * 2));
    EXPECT_DOUBLE_EQ(NoiseBandLevel(pts, -5, 4)->TrueMm, S(2.0 / 2 * 1 + 4 * 1 + 8 * 2));
    // Fmin between points: the interval below the first point taken.
    EXPECT_DOUBLE_EQ(NoiseBandLevel(pts, 3, 100)->TrueMm, S(8.0 / 2 * 2 + 16 * 4));
    // Fmax below the next point: the half-weighted point alone.
    EXPECT_DOUBLE_EQ(NoiseBandLevel(pts, 1.5, 3)->TrueMm, S(4.0 / 2 * 1));
    EXPECT_DOUBLE_EQ(NoiseBandLevel(pts, 8, 8)->TrueMm, S(16.0 / 2 * 4));
}

TEST(NoiseBandLevel, NoValueInsteadOfReadingBeyondTheSeries)
{
    const TChartPoints pts { { 1, 2 }, { 2, 4 } };
    EXPECT_FALSE(NoiseBandLevel({}, 1, 10));
    EXPECT_FALSE(NoiseBandLevel({ { 1, 2 } }, 0, 10));
    EXPECT_FALSE(NoiseBandLevel(pts, 2.5, 10)); // Fmin above every frequency
    EXPECT_FALSE(NoiseBandLevel(pts, std::nan(""), 10));
    EXPECT_FALSE(NoiseBandLevel({ { 1, -2 }, { 2, -4 }, { 3, 1 } }, 1, 10)); // negative sum
    EXPECT_TRUE(NoiseBandLevel({ { 1, -2 }, { 2, 4 } }, 1, 10)); // -1 + 4 >= 0
}

TEST(NoiseLevelText, CaptionAndTwoLinesInTheLocalesSeparator)
{
    const TNoiseLevel level { 0.000123456, 0.000123456 * 2080 };
    EXPECT_EQ(NoiseLevelText(level, '.'), "Смещение, мм:\r\n0.25679 (WA)\r\n1.2346E-004 (true)");
    EXPECT_EQ(NoiseLevelText(level, ','), "Смещение, мм:\r\n0,25679 (WA)\r\n1,2346E-004 (true)");
    EXPECT_EQ(NoiseLevelText(std::nullopt, ','), "Смещение, мм:\r\nнет значения");
}
