// The results file. Numbers are fixed point with a point, right-aligned in a
// minimum width (w:d = width w, d decimals; longer numbers are written in
// full). Values without a number are written unpadded as nan, inf or -inf,
// the tokens numpy, pandas and GMT read: an exact null of the response gives
// a dB field of -inf, a node without a value (NaN) nan in each of its value
// fields, a node that is not registered (+inf) inf in each of them.
#include "calc/ResultsFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/Error.h"

namespace valdrin::calc {

using enum TShowMode;
using enum TViewPlane;

namespace {

constexpr const char *kLineEnd = "\r\n";

constexpr std::size_t kFieldMax = 400; // longest number text: 309 digits, sign, point, 8 decimals

// "00", "01", ... "99".
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> a {};
    for (int i = 0; i < 100; ++i) {
        a[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        a[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return a;
}();

// The digits of n, count of them (leading zeros included), ending at last;
// returns the first; n keeps what is left above them.
char *DigitsBefore(char *last, std::uint64_t &n, int count)
{
    for (; count >= 2; count -= 2) {
        const auto pair = static_cast<std::size_t>(n % 100) * 2;
        n /= 100;
        last -= 2;
        last[0] = kDigitPairs[pair];
        last[1] = kDigitPairs[pair + 1];
    }
    if (count == 1) {
        *--last = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    return last;
}

// Decimal digits of n (1 for 0).
int DigitCount(std::uint64_t n)
{
    int count = 1;
    for (; n >= 10000; n /= 10000)
        count += 4;
    return count + (n >= 10) + (n >= 100) + (n >= 1000);
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
            if (std::fabs(frac - 0.5) > 0x1p-51 * y + 0x1p-60) {
                std::uint64_t n = whole + (frac > 0.5 ? 1 : 0);
                const bool minus = std::signbit(value);
                // At least one digit before the point.
                const int len
                    = minus + std::max(DigitCount(n), decimals + 1) + (decimals > 0 ? 1 : 0);
                char *end = out + std::max(len, width);
                std::fill(out, end - len, ' ');
                char *first = DigitsBefore(end, n, decimals);
                if (decimals > 0)
                    *--first = '.';
                while (n >= 100)
                    first = DigitsBefore(first, n, 2);
                first = DigitsBefore(first, n, n >= 10 ? 2 : 1);
                if (minus)
                    *--first = '-';
                return end;
            }
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
    for (std::size_t p = 0; p < rows; ++p) {
        const auto &row = r.ResultMatrix[p];
        const double kU = (static_cast<double>(p) - g.KCount) * g.DK * scale;
        const std::size_t cols = Cols(row, side);
        for (std::size_t q = kVText.size(); q < cols; ++q)
            kVText.emplace_back((static_cast<double>(q) - g.KCount) * g.DK * scale, 8, 5);
        const TCoordText kUText(kU, 8, 5);
        for (std::size_t q = 0; q < cols; ++q) {
            char *b = kVText[q].Put(kUText.Put(sink.Begin()));
            b = PutFixed(b, row[q], 8, 6);
            *b++ = '\t';
            b = PutFixed(b, 20 * std::log10(row[q]), 7, 2); // log10(0) = -inf
            sink.EndLine(b);
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
