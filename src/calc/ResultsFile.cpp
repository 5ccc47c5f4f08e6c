// The results file. Numbers are fixed point with a point, right-aligned in a
// minimum width (w:d = width w, d decimals; longer numbers are written in
// full). Values without a number are written unpadded as nan, inf or -inf,
// the tokens numpy, pandas and GMT read: an exact null of the response gives
// a dB field of -inf, a node without a value (NaN) nan in each of its value
// fields, a node that is not registered (+inf) inf in each of them.
#include "calc/ResultsFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/Error.h"

namespace valdrin::calc {

using enum TShowMode;
using enum TViewPlane;

namespace {

constexpr std::size_t kFieldMax = 400; // longest number text: 309 digits, sign, point, 8 decimals

// "00", "01", ... "99".
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> a {};
    for (int i = 0; i < 100; ++i) {
        const auto at = 2 * static_cast<std::size_t>(i);
        a[at] = static_cast<char>('0' + i / 10);
        a[at + 1] = static_cast<char>('0' + i % 10);
    }
    return a;
}();

// The digit writers go inline into each field's caller: a call per field
// costs as much as the digits.
#if defined(__GNUC__)
#define VALDRIN_INLINE __attribute__((always_inline)) inline
#else
#define VALDRIN_INLINE inline
#endif

// Decimal digits of n (1 for 0).

VALDRIN_INLINE int DigitCount(std::uint64_t n)
{
    static constexpr std::uint64_t kPow10[]
        = { 1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000, 10000000000,
              100000000000, 1000000000000, 10000000000000, 100000000000000, 1000000000000000,
              10000000000000000, 100000000000000000, 1000000000000000000, 10000000000000000000u };
    // floor(bits * log10(2)) is the count or one less.
    const int t = static_cast<int>(std::bit_width(n | 1)) * 1233 >> 12;
    return t + (n >= kPow10[t] ? 1 : 0);
}

// The eight digits of x < 10^8, leading zeros included, at out.
VALDRIN_INLINE void PutEightDigits(char *out, std::uint32_t x)
{
    const std::uint32_t hi = x / 10000, lo = x % 10000;
    std::memcpy(out, &kDigitPairs[2 * (hi / 100)], 2);
    std::memcpy(out + 2, &kDigitPairs[2 * (hi % 100)], 2);
    std::memcpy(out + 4, &kDigitPairs[2 * (lo / 100)], 2);
    std::memcpy(out + 6, &kDigitPairs[2 * (lo % 100)], 2);
}

// n / 10^Decimals (n < 10^16), with minus before it when set, right-aligned
// in at least width characters at out (at least one digit before the
// point); returns the end. out has room for kFieldMax + width: the digits
// are moved sixteen at a time and what they overrun is written after them.
template<int Decimals>
VALDRIN_INLINE char *PutScaledAs(char *out, std::uint64_t n, bool minus, int width)
{
    char digits[32] = {}; // n as sixteen digits, and room to read sixteen from any of them
    if (n < 100000000) {
        std::fill_n(digits, 8, '0');
        PutEightDigits(digits + 8, static_cast<std::uint32_t>(n));
    } else {
        PutEightDigits(digits, static_cast<std::uint32_t>(n / 100000000));
        PutEightDigits(digits + 8, static_cast<std::uint32_t>(n % 100000000));
    }
    const int whole = std::max(DigitCount(n) - Decimals, 1);
    const int len = (minus ? 1 : 0) + whole + (Decimals > 0 ? Decimals + 1 : 0);
    char *end = out + std::max(len, width);
    if (width <= 8)
        std::fill_n(out, 8, ' '); // the digits overwrite what is not padding
    else
        std::fill(out, end - len, ' ');
    char *p = end - len;
    if (minus)
        *p++ = '-';
    std::memcpy(p, digits + 16 - Decimals - whole, 16);
    p += whole;
    if constexpr (Decimals > 0) {
        *p++ = '.';
        std::memcpy(p, digits + 16 - Decimals, Decimals);
    }
    return end;
}

VALDRIN_INLINE char *PutScaled(char *out, std::uint64_t n, bool minus, int width, int decimals)
{
    switch (decimals) {
    case 0:
        return PutScaledAs<0>(out, n, minus, width);
    case 1:
        return PutScaledAs<1>(out, n, minus, width);
    case 2:
        return PutScaledAs<2>(out, n, minus, width);
    case 3:
        return PutScaledAs<3>(out, n, minus, width);
    case 4:
        return PutScaledAs<4>(out, n, minus, width);
    case 5:
        return PutScaledAs<5>(out, n, minus, width);
    case 6:
        return PutScaledAs<6>(out, n, minus, width);
    case 7:
        return PutScaledAs<7>(out, n, minus, width);
    default:
        return PutScaledAs<8>(out, n, minus, width);
    }
}

// The number as std::to_chars writes it with decimals places (the exact
// binary value rounded, ties to even, "-" for any negative value "-0.00"
// included), right-aligned in at least width characters at out; nan, inf
// and -inf unpadded. Returns the end; out has room for kFieldMax + width.
//
// The product y = |value| * 10^d is rounded once (half an ulp, at most
// y * 2^-53); where its fraction lies farther than twice that from one
// half, rounding y to an integer gives the exact value's rounding, and the
// digits come from that integer, written from the right straight into out.
// Ties and near-ties, and values too large for it, go to std::to_chars.
char *PutFixed(char *out, double value, int width, int decimals)
{
    static constexpr double kPow10[] = { 1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8 };
    if (!std::isfinite(value)) {
        const std::string_view token = std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
        return std::copy(token.begin(), token.end(), out);
    }
    if (decimals >= 0 && decimals <= 8) {
        const double y = std::fabs(value) * kPow10[decimals];
        if (y < 0x1p50) {
            const auto whole = static_cast<std::uint64_t>(y); // floor, y >= 0
            const double frac = y - static_cast<double>(whole); // exact for y < 2^52
            if (std::fabs(frac - 0.5) > 0x1p-51 * y + 0x1p-60)
                return PutScaled(
                    out, whole + (frac > 0.5 ? 1 : 0), std::signbit(value), width, decimals);
        }
    }
    char buf[kFieldMax];
    const char *last
        = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals).ptr;
    const auto len = static_cast<int>(last - buf);
    if (len < width)
        out = std::fill_n(out, width - len, ' ');
    return std::copy(static_cast<const char *>(buf), last, out);
}

// The response's dB field, 20 * log10(v) to two places, from an estimate.
//
// DbEstimates gives 20 * log10(v) for a normal v > 0 to within 1e-10 dB:
// v = m * 2^e with m in [sqrt(1/2), sqrt(2)), ln m = 2 * atanh(t),
// t = (m - 1) / (m + 1), |t| <= 0.1716, from the series to t^21 (the rest
// is below 1e-17); the roundings on the way add up to less than 1e-11 dB
// for the largest |dB|, 6470 at the smallest normal v. The library's
// 20 * log10(v) lies within 2 ulp of the exact value, under 3e-12 dB.
// Where the estimate times 100 has its fraction farther than 1e-6 from one
// half, and the estimate is farther than 1e-6 dB from zero (its sign is
// then the library value's), rounding the estimate gives the same two
// decimals as rounding the library's value, ties to even or not; the rest
// (a chance of about 2e-6 per value), zero, subnormal and non-finite
// values take the library's log10. NaN marks a value without an estimate.
// Integer steps and masks instead of branches, so that the loop vectorises
// (AVX2 where the CPU has it).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void DbEstimates(const double *v, std::size_t count, double *dB)
{
    constexpr double kDbPerNeper = 8.685889638065036553; // 20 / ln 10
    constexpr double kLn2 = 0.6931471805599453094;
    constexpr std::uint64_t kMantissa = (std::uint64_t { 1 } << 52) - 1;
    constexpr std::uint64_t kSqrt2 = std::bit_cast<std::uint64_t>(1.4142135623730951) & kMantissa;
    for (std::size_t i = 0; i < count; ++i) {
        // v = m * 2^e, m in [sqrt(1/2), sqrt(2)).
        const auto bits = std::bit_cast<std::uint64_t>(v[i]);
        const std::uint64_t fraction = bits & kMantissa;
        const std::uint64_t high = fraction > kSqrt2 ? 1 : 0;
        const double m = std::bit_cast<double>(fraction | ((1023 - high) << 52));
        // The biased exponent (plus high) as a double: its bits under the mantissa of 2^52.
        const double e
            = std::bit_cast<double>(((bits >> 52) + high) | std::bit_cast<std::uint64_t>(0x1p52))
            - 0x1p52 - 1023;
        const double t = (m - 1) / (m + 1);
        const double t2 = t * t;
        double series = 1.0 / 21; // sum of t2^j / (2j + 1), j = 0..10
        for (int odd = 19; odd >= 1; odd -= 2)
            series = series * t2 + 1.0 / odd;
        const double estimate = kDbPerNeper * (e * kLn2 + 2 * t * series);
        // Only normal positive values have one (not zero, subnormal,
        // negative, infinite or NaN): a mask, as a branch would not vectorise.
        const std::uint64_t usable = (bits >> 52) - 1 < 2046 ? ~std::uint64_t { 0 } : 0;
        dB[i] = std::bit_cast<double>((std::bit_cast<std::uint64_t>(estimate) & usable)
            | (std::bit_cast<std::uint64_t>(std::numeric_limits<double>::quiet_NaN()) & ~usable));
    }
}

char *PutDecibels(char *out, double v, double estimate)
{
    const double y = std::fabs(estimate) * 100;
    if (y < 0x1p50) { // false for NaN
        const auto whole = static_cast<std::uint64_t>(y);
        const double frac = y - static_cast<double>(whole);
        if (std::fabs(frac - 0.5) > 1e-6 && y > 1e-4)
            return PutScaled(out, whole + (frac > 0.5 ? 1 : 0), estimate < 0, 7, 2);
    }
    return PutFixed(out, 20 * std::log10(v), 7, 2); // log10(0) = -inf
}

struct TAxisLetters {
    char First, Second;
};

TAxisLetters Letters(TViewPlane plane)
{
    switch (plane) {
    case vpYZ:
        return { 'y', 'z' };
    case vpXZ:
        return { 'x', 'z' };
    case vpXY:
    default:
        return { 'x', 'y' };
    }
}

// Lines are written straight into a buffer that is handed to the stream in
// pieces, so a large file costs neither a line-by-line stream nor one huge
// string. A line starts with at least kLineRoom characters free: its two
// coordinate texts and three numbers always fit.
class TLineSink {
public:
    static constexpr std::size_t kLineRoom = 6 * kFieldMax; // 2 texts, 3 numbers, padding

    explicit TLineSink(std::ostream &out)
        : m_out(out)
        , m_buf(kChunk + kLineRoom)
    {
    }
    char *Begin() { return m_buf.data() + m_size; }
    void EndLine(char *end)
    {
        *end++ = '\r';
        *end++ = '\n';
        m_size = static_cast<std::size_t>(end - m_buf.data());
        if (m_size >= kChunk)
            Flush();
    }
    void Append(std::string_view text)
    {
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t n = std::min(text.size() - at, kChunk - m_size);
            std::copy_n(text.data() + at, n, Begin());
            m_size += n;
            at += n;
            if (m_size >= kChunk)
                Flush();
        }
    }
    void Flush()
    {
        m_out.write(m_buf.data(), static_cast<std::streamsize>(m_size));
        m_size = 0;
        if (!m_out)
            throw common::TValdrinError("Ошибка записи файла результатов");
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream &m_out;
    std::vector<char> m_buf;
    std::size_t m_size = 0;
};

// A coordinate's text and its tab, written once for its row or column; a
// short one (all but coordinates beyond 10^10) is put as one 16-byte move.
class TCoordText {
public:
    TCoordText(double value, int width, int decimals)
    {
        char buf[kFieldMax + 16];
        char *end = PutFixed(buf, value, width, decimals);
        *end++ = '\t';
        m_len = static_cast<std::size_t>(end - buf);
        if (m_len <= m_short.size())
            std::copy(buf, end, m_short.begin());
        else
            m_long.assign(buf, end);
    }
    // out has room for at least 16 characters more than the text.
    char *Put(char *out) const
    {
        if (!m_long.empty())
            return std::copy(m_long.begin(), m_long.end(), out);
        std::memcpy(out, m_short.data(), m_short.size());
        return out + m_len;
    }

private:
    std::array<char, 16> m_short {};
    std::size_t m_len = 0;
    std::string m_long;
};

// Rows of the matrix that exist both in the grid and in the matrix.
std::size_t Rows(const TMatrix2D &m, long long gridRows)
{
    return gridRows <= 0 ? 0 : std::min(m.size(), static_cast<std::size_t>(gridRows));
}
std::size_t Cols(const std::vector<double> &row, long long gridCols)
{
    return gridCols <= 0 ? 0 : std::min(row.size(), static_cast<std::size_t>(gridCols));
}

void WriteResponse(TLineSink &sink, const TResult &r, double scale)
{
    const TWaveGrid &g = r.WaveGrid;
    const long long side = 2LL * g.KCount + 1;
    const std::size_t rows = Rows(r.ResultMatrix, side);
    std::vector<TCoordText> kVText;
    std::vector<double> dB; // a row's estimates
    for (std::size_t p = 0; p < rows; ++p) {
        const auto &row = r.ResultMatrix[p];
        const double kU = (static_cast<double>(p) - g.KCount) * g.DK * scale;
        const std::size_t cols = Cols(row, side);
        for (std::size_t q = kVText.size(); q < cols; ++q)
            kVText.emplace_back((static_cast<double>(q) - g.KCount) * g.DK * scale, 8, 5);
        const TCoordText kUText(kU, 8, 5);
        dB.resize(cols);
        DbEstimates(row.data(), cols, dB.data());
        for (std::size_t q = 0; q < cols; ++q) {
            char *b = kVText[q].Put(kUText.Put(sink.Begin()));
            b = PutFixed(b, row[q], 8, 6);
            *b++ = '\t';
            sink.EndLine(PutDecibels(b, row[q], dB[q]));
        }
    }
}

void WriteNodes(TLineSink &sink, const TResult &r, double C1, double C2)
{
    const TPlaneGrid &g = r.PlaneGrid;
    const bool energy = r.ResultMode == smMinMagnitude;
    const std::size_t rows = Rows(r.ResultMatrix, g.NU);
    std::vector<TCoordText> vText;
    for (std::size_t i = 0; i < rows; ++i) {
        const auto &row = r.ResultMatrix[i];
        const std::size_t cols = Cols(row, g.NV);
        if (cols == 0)
            continue;
        for (std::size_t j = vText.size(); j < cols; ++j)
            vText.emplace_back(static_cast<double>(j) * g.VStep + g.VMin, 1, 4);
        const TCoordText uText(static_cast<double>(i) * g.UStep + g.UMin, 1, 4);
        for (std::size_t j = 0; j < cols; ++j) {
            const double value = row[j];
            char *b = PutFixed(vText[j].Put(uText.Put(sink.Begin())), value, 4, 2);
            if (energy) {
                // A node without a magnitude has no class or energy either,
                // whatever C1 is (0 * inf would make a NaN of "not registered").
                const double K = std::isfinite(value) ? C1 * value + C2 : value;
                const double E = std::isfinite(value) ? std::pow(10.0, K) : value;
                *b++ = '\t';
                b = PutFixed(b, K, 5, 3);
                *b++ = '\t';
                b = PutFixed(b, E, 8, 6);
            }
            sink.EndLine(b);
        }
    }
}

} // namespace

void WriteResultsFile(std::ostream &out, const TResult &result, double Vp, double C1, double C2)
{
    WriteResultsFile(out, result, Vp, C1, C2, true);
}

void WriteResultsFile(
    std::ostream &out, const TResult &result, double Vp, double C1, double C2, bool header)
{
    const TShowMode mode = result.ResultMode;
    const char L = mode == smCdF ? 'F' : 'K';
    const auto [a1, a2] = Letters(result.Plane);
    TLineSink sink(out);
    std::string h;
    h += L;
    h += a1;
    h += '\t';
    h += L;
    h += a2;
    auto endHeader = [&] {
        if (header)
            sink.EndLine(std::copy(h.begin(), h.end(), sink.Begin()));
    };
    switch (mode) {
    case smCdK:
    case smCdF:
        h += std::string("\t|C(") + L + "0-" + L + ")|\tdB";
        endHeader();
        WriteResponse(sink, result, mode == smCdF ? Vp : 1.0);
        break;
    case smMinMagnitude:
    case smLocError:
    case smCornerFreq:
    case smSourceSize:
        h += mode == smMinMagnitude ? "\tM\tK\tE"
            : mode == smLocError    ? "\tError"
            : mode == smCornerFreq  ? "\tFc"
                                    : "\tR0";
        endHeader();
        WriteNodes(sink, result, C1, C2);
        break;
    default:
        sink.Append(h); // no result: the first part of the header, without a line end
        break;
    }
    sink.Flush();
    out.flush();
    if (!out)
        throw common::TValdrinError("Ошибка записи файла результатов");
}

std::string FormatResultsFile(const TResult &result, double Vp, double C1, double C2)
{
    std::ostringstream out;
    WriteResultsFile(out, result, Vp, C1, C2);
    return std::move(out).str();
}

} // namespace valdrin::calc
