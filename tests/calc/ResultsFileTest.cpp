#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>

#include "calc/ArrayResponse.h"
#include "calc/NetworkModel.h"
#include "calc/ResultsFile.h"
#include "common/Error.h"
#include "common/StrRout.h"

using namespace valdrin::calc;
using valdrin::common::MakeCharSet;
using valdrin::common::SplitToStrings;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Lines without their CR LF; fails when any line end is not CR LF.
std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    for (const auto &l : lines)
        EXPECT_EQ(l.find_first_of("\r\n"), std::string::npos) << "bare line end in: " << l;
    return lines;
}

std::vector<std::string> Fields(const std::string &line)
{
    return SplitToStrings(line, MakeCharSet("\t"), false);
}

TResult DefaultResponse(TShowMode mode)
{
    const auto st = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    const TWaveGrid grid { 0.005, 0.00002, 250 };
    TResult r;
    auto resp = ArrayResponse(st, 25, grid, false);
    r.ResultMatrix = std::move(resp->Matrix);
    r.ResultMin = resp->Min;
    r.ResultMode = mode;
    r.WaveGrid = grid;
    r.Saveable = true;
    return r;
}

TResult Nodes(TShowMode mode, TViewPlane plane, TMatrix2D m, TPlaneGrid grid)
{
    TResult r;
    r.ResultMode = mode;
    r.Plane = plane;
    r.ResultMatrix = std::move(m);
    r.PlaneGrid = grid;
    r.Saveable = true;
    return r;
}

} // namespace

TEST(ResultsFile, ResponseOverWavenumber)
{
    const auto text = FormatResultsFile(DefaultResponse(TShowMode::smCdK), 6000, 1.5, 4.5);
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 1u + 501 * 501);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(lines[0], "Kx\tKy\t|C(K0-K)|\tdB");
    EXPECT_EQ(lines[1].substr(0, 18), "-0.00500\t-0.00500\t");
    EXPECT_EQ(lines[1 + 250 * 501 + 250], " 0.00000\t 0.00000\t1.000000\t   0.00");
    EXPECT_EQ(lines.back().substr(0, 18), " 0.00500\t 0.00500\t");
    for (std::size_t i = 1; i < lines.size(); i += 997)
        ASSERT_EQ(Fields(lines[i]).size(), 4u) << lines[i];
}

TEST(ResultsFile, ResponseOverFrequencyScalesTheAxesByVp)
{
    const auto lines = Lines(FormatResultsFile(DefaultResponse(TShowMode::smCdF), 6000, 1.5, 4.5));
    EXPECT_EQ(lines[0], "Fx\tFy\t|C(F0-F)|\tdB");
    const auto f = Fields(lines[1]);
    EXPECT_EQ(f[0], "-30.00000");
    EXPECT_EQ(f[1], "-30.00000");
}

TEST(ResultsFile, AHeaderPerModeAndPlane)
{
    const TMatrix2D one { { 1.0 } };
    const TPlaneGrid g { 0, 0, 1, 0, 0, 1, 0, 1, 1 };
    struct Case {
        TShowMode Mode;
        TViewPlane Plane;
        const char *Header;
        std::size_t FieldCount;
    };
    const Case cases[] = {
        { TShowMode::smMinMagnitude, TViewPlane::vpYZ, "Ky\tKz\tM\tK\tE", 5 },
        { TShowMode::smLocError, TViewPlane::vpXZ, "Kx\tKz\tError", 3 },
        { TShowMode::smCornerFreq, TViewPlane::vpXY, "Kx\tKy\tFc", 3 },
        { TShowMode::smSourceSize, TViewPlane::vpXY, "Kx\tKy\tR0", 3 },
        { TShowMode::smCdK, TViewPlane::vpYZ, "Ky\tKz\t|C(K0-K)|\tdB", 4 },
        { TShowMode::smCdF, TViewPlane::vpXZ, "Fx\tFz\t|C(F0-F)|\tdB", 4 },
    };
    for (const auto &c : cases) {
        const auto lines = Lines(FormatResultsFile(Nodes(c.Mode, c.Plane, one, g), 6000, 1.5, 4.5));
        ASSERT_EQ(lines.size(), 2u) << c.Header;
        EXPECT_EQ(lines[0], c.Header);
        EXPECT_EQ(Fields(lines[1]).size(), c.FieldCount) << lines[1];
    }
    // No result: the first part of the header and nothing after it.
    EXPECT_EQ(FormatResultsFile(TResult {}, 6000, 1.5, 4.5), "Kx\tKy");
    auto r = TResult {};
    r.Plane = TViewPlane::vpYZ;
    r.ResultMode = static_cast<TShowMode>(9);
    EXPECT_EQ(FormatResultsFile(r, 6000, 1.5, 4.5), "Ky\tKz");
}

TEST(ResultsFile, NodeLinesAndTheirFormats)
{
    // Plane YZ, Y -2000..-1950 step 50, Z 300..320 step 20: 2 x 2 nodes.
    const TPlaneGrid g { -2000, -1950, 50, 300, 320, 20, 0, 2, 2 };
    const auto lines = Lines(FormatResultsFile(Nodes(TShowMode::smMinMagnitude, TViewPlane::vpYZ,
                                                   { { 0.30306, -10.25 }, { 2.5, -0.004 } }, g),
        6000, 1.5, 4.5));
    ASSERT_EQ(lines.size(), 5u);
    auto f = Fields(lines[1]);
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[0], "-2000.0000");
    EXPECT_EQ(f[1], "300.0000");
    EXPECT_EQ(f[2], "0.30");
    EXPECT_EQ(f[3], "4.955");
    EXPECT_NEAR(std::stod(f[4]), std::pow(10.0, 1.5 * 0.30306 + 4.5), 1e-6);
    f = Fields(lines[2]);
    EXPECT_EQ(f[1], "320.0000");
    EXPECT_EQ(f[2], "-10.25"); // wider than 4, written in full
    EXPECT_EQ(f[3], "-10.875");
    EXPECT_EQ(f[4], "0.000000");
    f = Fields(lines[3]);
    EXPECT_EQ(f[0], "-1950.0000");
    EXPECT_EQ(f[2], "2.50");

    const auto err = Lines(FormatResultsFile(Nodes(TShowMode::smLocError, TViewPlane::vpXZ,
                                                 { { 7.1 } }, { -2000, 0, 50, 0, 0, 1, 0, 1, 1 }),
        6000, 1.5, 4.5));
    EXPECT_EQ(err[1], "-2000.0000\t0.0000\t7.10");
}

TEST(ResultsFile, ValuesWithoutANumber)
{
    auto r = DefaultResponse(TShowMode::smCdK);
    r.ResultMatrix[0][0] = 0;
    r.ResultMatrix[0][1] = kNaN;
    const auto lines = Lines(FormatResultsFile(r, 6000, 1.5, 4.5));
    EXPECT_EQ(Fields(lines[1])[2], "0.000000");
    EXPECT_EQ(Fields(lines[1])[3], "-inf");
    EXPECT_EQ(Fields(lines[2])[2], "nan");
    EXPECT_EQ(Fields(lines[2])[3], "nan");

    const TPlaneGrid g { 0, 10, 10, 0, 0, 1, 0, 2, 1 };
    for (double c1 : { 1.5, 0.0 }) {
        const auto nodes = Lines(FormatResultsFile(
            Nodes(TShowMode::smMinMagnitude, TViewPlane::vpXY, { { kNaN }, { kInf } }, g), 6000, c1,
            4.5));
        EXPECT_EQ(nodes[1], "0.0000\t0.0000\tnan\tnan\tnan");
        EXPECT_EQ(nodes[2], "10.0000\t0.0000\tinf\tinf\tinf");
    }
}

TEST(ResultsFile, WritesOnlyWhatTheMatrixHolds)
{
    // The grid says 3 x 3, the matrix holds 2 rows, the second one short.
    const TPlaneGrid g { 0, 2, 1, 0, 2, 1, 0, 3, 3 };
    auto lines = Lines(FormatResultsFile(
        Nodes(TShowMode::smLocError, TViewPlane::vpXY, { { 1, 2, 3 }, { 4 } }, g), 6000, 1.5, 4.5));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], "1.0000\t0.0000\t4.00");
    // A matrix larger than its grid: the grid's part.
    lines = Lines(FormatResultsFile(Nodes(TShowMode::smLocError, TViewPlane::vpXY,
                                        TMatrix2D(5, std::vector<double>(5, 1.0)), g),
        6000, 1.5, 4.5));
    EXPECT_EQ(lines.size(), 10u);
    // A response matrix kept with a node mode's grid of zero nodes: nothing.
    auto r = DefaultResponse(TShowMode::smCdK);
    r.ResultMode = TShowMode::smCornerFreq;
    EXPECT_EQ(FormatResultsFile(r, 6000, 1.5, 4.5), "Kx\tKy\tFc\r\n");
    // A broken wave grid.
    r = DefaultResponse(TShowMode::smCdK);
    r.WaveGrid.KCount = -3;
    EXPECT_EQ(FormatResultsFile(r, 6000, 1.5, 4.5), "Kx\tKy\t|C(K0-K)|\tdB\r\n");
    r.WaveGrid.KCount = 10;
    EXPECT_EQ(Lines(FormatResultsFile(r, 6000, 1.5, 4.5)).size(), 1u + 21 * 21);
}

TEST(ResultsFile, AFailingStreamIsReported)
{
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_THROW(WriteResultsFile(out, DefaultResponse(TShowMode::smCdK), 6000, 1.5, 4.5),
        valdrin::common::TValdrinError);
}

TEST(ResultsFile, APointWhateverTheLocale)
{
    const char *set = nullptr;
    for (const char *name : { "ru_RU.UTF-8", "ru_RU.utf8", "de_DE.UTF-8", "de_DE.utf8" })
        if ((set = std::setlocale(LC_NUMERIC, name)))
            break;
    if (!set)
        GTEST_SKIP() << "no comma locale installed";
    const auto lines = Lines(FormatResultsFile(Nodes(TShowMode::smLocError, TViewPlane::vpXY,
                                                   { { 1.5 } }, { 0.5, 0.5, 1, 0, 0, 1, 0, 1, 1 }),
        0, 0, 0));
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(lines[1], "0.5000\t0.0000\t1.50");
}

namespace {

// A field as std::to_chars writes it, right-aligned to width; "nan", "inf".
std::string ToCharsField(double v, int width, int decimals)
{
    if (std::isnan(v))
        return "nan";
    if (std::isinf(v))
        return v < 0 ? "-inf" : "inf";
    char buf[400];
    const auto end
        = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr;
    std::string s(buf, end);
    return std::string(s.size() < std::size_t(width) ? std::size_t(width) - s.size() : 0, ' ') + s;
}

} // namespace

// Every number as std::to_chars writes it, exact value rounded with ties to
// even: values of every size, exact ties (0.125 to two places, 2.5e-5 to
// five), neighbours of the ties one ulp either side, negatives that round
// to zero ("-0.00"), and rows and columns whose texts are written once.
TEST(ResultsFile, NumbersAsToCharsWritesThem)
{
    const auto fixed = ToCharsField;
    std::mt19937_64 rng(99);
    std::vector<double> values = { 0.125, -0.125, 0.375, 2.5e-5, 1.5e-5, -0.001, -0.0, 0.0, 0.005,
        0.015, 1e15, -3.0e14, 123456.785, 4503599627370497.0, 1e-300, 9.995, 99.995 };
    for (std::size_t i = 0, n = values.size(); i < n; ++i) {
        values.push_back(std::nextafter(values[i], 1e300));
        values.push_back(std::nextafter(values[i], -1e300));
    }
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-12, 16);
    while (values.size() < 3000)
        values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
    for (int k = 0; k < 200; ++k) // ties and their neighbours at two and three places
        values.push_back(static_cast<double>(k) / 8
            + (k % 3 == 0        ? 0
                    : k % 3 == 1 ? 1e-12
                                 : -1e-12));

    TResult r;
    r.ResultMode = TShowMode::smMinMagnitude;
    r.PlaneGrid = { -1.00005, 1, 0.000125, -0.5, 0.5, 0.125, 0, 3, 0 };
    r.PlaneGrid.NV = static_cast<int>(values.size() / 3);
    r.ResultMatrix.assign(3, {});
    std::string expected = "Kx\tKy\tM\tK\tE\r\n";
    for (std::size_t i = 0; i < 3; ++i)
        for (std::size_t j = 0; j < static_cast<std::size_t>(r.PlaneGrid.NV); ++j) {
            const double m = values[i * static_cast<std::size_t>(r.PlaneGrid.NV) + j];
            r.ResultMatrix[i].push_back(m);
            const double K = std::isfinite(m) ? 1.5 * m + 4.5 : m;
            const double E = std::isfinite(m) ? std::pow(10.0, K) : m;
            expected += fixed(static_cast<double>(i) * r.PlaneGrid.UStep + r.PlaneGrid.UMin, 1, 4)
                + '\t' + fixed(static_cast<double>(j) * r.PlaneGrid.VStep + r.PlaneGrid.VMin, 1, 4)
                + '\t' + fixed(m, 4, 2) + '\t' + fixed(K, 5, 3) + '\t' + fixed(E, 8, 6) + "\r\n";
        }
    const std::string text = FormatResultsFile(r, 6000, 1.5, 4.5);
    EXPECT_TRUE(text == expected);
    for (std::size_t at = 0; at < std::min(text.size(), expected.size()); ++at)
        if (text[at] != expected[at]) {
            ADD_FAILURE() << "first difference at " << at << ": "
                          << text.substr(text.rfind('\n', at) + 1, 80) << " vs "
                          << expected.substr(expected.rfind('\n', at) + 1, 80);
            break;
        }
    // Without the header: the same lines alone.
    std::ostringstream out;
    WriteResultsFile(out, r, 6000, 1.5, 4.5, false);
    EXPECT_TRUE(out.str() == expected.substr(expected.find('\n') + 1));
}

// The response's fields as std::to_chars writes them, the dB field from the
// library's log10: values at and one or two ulps beside the dB roundings'
// ties, near 1 (a dB of -0.00, 0.00 or just above), tiny, subnormal, zero,
// above 1 and without a number, among random ones.
TEST(ResultsFile, ResponseFieldsAsToCharsWritesThem)
{
    const auto fixed = ToCharsField;
    std::vector<double> values = { 0.0, -0.0, 1.0, 1.5, 1 + 1e-15, 1 - 1e-15, 1 - 1e-12, 0.99999,
        1e-300, 4.9e-324, 2.2250738585072014e-308, 0x1p-1022, 1e-20, kNaN, kInf };
    for (int k = 1; k < 2000; k += 2) // dB ties at two places: -0.005, -0.015, ...
        for (const double at : { -k / 200.0, -k / 2.0 - 0.005 }) {
            const double v = std::pow(10.0, at / 20);
            values.insert(values.end(),
                { v, std::nextafter(v, 0.0), std::nextafter(v, 2.0),
                    std::nextafter(std::nextafter(v, 0.0), 0.0) });
        }
    std::mt19937_64 rng(15);
    std::uniform_real_distribution<double> unit(0, 1);
    const int K = 50, side = 2 * K + 1;
    while (values.size() < std::size_t(side) * side)
        values.push_back(unit(rng));
    TResult r;
    r.ResultMode = TShowMode::smCdK;
    r.WaveGrid = { 0.005, 0.0001, K };
    r.ResultMatrix.assign(side, {});
    std::string expected = "Kx\tKy\t|C(K0-K)|\tdB\r\n";
    for (std::size_t p = 0; p < std::size_t(side); ++p)
        for (std::size_t q = 0; q < std::size_t(side); ++q) {
            const double v = values[p * std::size_t(side) + q];
            r.ResultMatrix[p].push_back(v);
            expected += fixed((static_cast<double>(p) - K) * 0.0001, 8, 5) + '\t'
                + fixed((static_cast<double>(q) - K) * 0.0001, 8, 5) + '\t' + fixed(v, 8, 6) + '\t'
                + fixed(20 * std::log10(v), 7, 2) + "\r\n";
        }
    const std::string text = FormatResultsFile(r, 6000, 1.5, 4.5);
    EXPECT_TRUE(text == expected);
    for (std::size_t at = 0; at < std::min(text.size(), expected.size()); ++at)
        if (text[at] != expected[at]) {
            ADD_FAILURE() << "first difference at " << at << ": "
                          << text.substr(text.rfind('\n', at) + 1, 60) << " vs "
                          << expected.substr(expected.rfind('\n', at) + 1, 60);
            break;
        }
}
