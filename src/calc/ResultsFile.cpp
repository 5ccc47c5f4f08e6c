// The results file. Numbers are fixed point with a point, right-aligned in a
// minimum width (w:d = width w, d decimals; longer numbers are written in
// full). Values without a number are written unpadded as nan, inf or -inf,
// the tokens numpy, pandas and GMT read: an exact null of the response gives
// a dB field of -inf, a node without a value (NaN) nan in each of its value
// fields, a node that is not registered (+inf) inf in each of them.
#include "calc/ResultsFile.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <vector>

#include "common/Error.h"

namespace valdrin::calc {

using enum TShowMode;
using enum TViewPlane;

namespace {

constexpr const char *kLineEnd = "\r\n";

void AppendPadded(std::string &out, const char *first, const char *last, int width)
{
    const auto len = static_cast<int>(last - first);
    if (len < width)
        out.append(static_cast<std::size_t>(width - len), ' ');
    out.append(first, last);
}

// The text of value rounded to decimals places, as std::to_chars writes it
// (the exact binary value rounded, ties to even, "-" for any negative value
// "-0.00" included) into buf; returns its end. The product value * 10^d is
// rounded once (half an ulp, at most |y| * 2^-53); where its fraction lies
// farther than twice that from one half, rounding y to an integer gives the
// exact value's rounding, and the digits come from that integer. Ties and
// near-ties, and values too large for it, go to std::to_chars.
char *FixedChars(char *buf, char *end, double value, int decimals)
{
    static constexpr double kPow10[] = { 1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8 };
    if (decimals >= 0 && decimals <= 8) {
        const double y = std::fabs(value) * kPow10[decimals];
        if (y < 0x1p50) {
            const double fl = std::floor(y);
            const double frac = y - fl; // exact for y < 2^52
            if (std::fabs(frac - 0.5) > 0x1p-51 * y + 0x1p-60) {
                auto n = static_cast<std::uint64_t>(fl) + (frac > 0.5 ? 1 : 0);
                char digits[24];
                char *d = std::to_chars(digits, digits + sizeof digits, n).ptr;
                auto count = static_cast<int>(d - digits);
                char *p = buf;
                if (std::signbit(value))
                    *p++ = '-';
                // At least one digit before the point.
                const int whole = count - decimals;
                if (whole <= 0) {
                    *p++ = '0';
                    if (decimals > 0) {
                        *p++ = '.';
                        for (int z = 0; z < -whole; ++z)
                            *p++ = '0';
                        p = std::copy(digits, d, p);
                    }
                } else {
                    p = std::copy(digits, digits + whole, p);
                    if (decimals > 0) {
                        *p++ = '.';
                        p = std::copy(digits + whole, d, p);
                    }
                }
                return p;
            }
        }
    }
    return std::to_chars(buf, end, value, std::chars_format::fixed, decimals).ptr;
}

void AppendFixed(std::string &out, double value, int width, int decimals)
{
    if (std::isnan(value)) {
        out += "nan";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-inf" : "inf";
        return;
    }
    char buf[400];
    AppendPadded(out, buf, FixedChars(buf, buf + sizeof buf, value, decimals), width);
}

std::string FixedText(double value, int width, int decimals)
{
    std::string s;
    AppendFixed(s, value, width, decimals);
    return s;
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

// Lines are gathered in a buffer and handed to the stream in pieces, so a
// 501 x 501 response costs neither a line-by-line stream nor one huge string.
class TLineSink {
public:
    explicit TLineSink(std::ostream &out)
        : m_out(out)
    {
        m_buf.reserve(kChunk + 256);
    }
    std::string &Buf() { return m_buf; }
    void EndLine()
    {
        m_buf += kLineEnd;
        if (m_buf.size() >= kChunk)
            Flush();
    }
    void Flush()
    {
        m_out.write(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
        m_buf.clear();
        if (!m_out)
            throw common::TValdrinError("Ошибка записи файла результатов");
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream &m_out;
    std::string m_buf;
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
    // The coordinate texts, written once for every row and column.
    std::vector<std::string> kVText;
    for (std::size_t p = 0; p < rows; ++p) {
        const auto &row = r.ResultMatrix[p];
        const double kU = (static_cast<double>(p) - g.KCount) * g.DK * scale;
        const std::size_t cols = Cols(row, side);
        for (std::size_t q = kVText.size(); q < cols; ++q)
            kVText.push_back(
                FixedText((static_cast<double>(q) - g.KCount) * g.DK * scale, 8, 5) + '\t');
        const std::string kUText = FixedText(kU, 8, 5) + '\t';
        for (std::size_t q = 0; q < cols; ++q) {
            auto &b = sink.Buf();
            b += kUText;
            b += kVText[q];
            AppendFixed(b, row[q], 8, 6);
            b += '\t';
            AppendFixed(b, 20 * std::log10(row[q]), 7, 2); // log10(0) = -inf
            sink.EndLine();
        }
    }
}

void WriteNodes(TLineSink &sink, const TResult &r, double C1, double C2)
{
    const TPlaneGrid &g = r.PlaneGrid;
    const bool energy = r.ResultMode == smMinMagnitude;
    const std::size_t rows = Rows(r.ResultMatrix, g.NU);
    // The coordinate texts, written once for every row and column.
    std::vector<std::string> vText;
    for (std::size_t i = 0; i < rows; ++i) {
        const auto &row = r.ResultMatrix[i];
        const double u = static_cast<double>(i) * g.UStep + g.UMin;
        const std::size_t cols = Cols(row, g.NV);
        for (std::size_t j = vText.size(); j < cols; ++j)
            vText.push_back(FixedText(static_cast<double>(j) * g.VStep + g.VMin, 1, 4) + '\t');
        const std::string uText = cols > 0 ? FixedText(u, 1, 4) + '\t' : std::string();
        for (std::size_t j = 0; j < cols; ++j) {
            const double value = row[j];
            auto &b = sink.Buf();
            b += uText;
            b += vText[j];
            AppendFixed(b, value, 4, 2);
            if (energy) {
                // A node without a magnitude has no class or energy either,
                // whatever C1 is (0 * inf would make a NaN of "not registered").
                const double K = std::isfinite(value) ? C1 * value + C2 : value;
                const double E = std::isfinite(value) ? std::pow(10.0, K) : value;
                b += '\t';
                AppendFixed(b, K, 5, 3);
                b += '\t';
                AppendFixed(b, E, 8, 6);
            }
            sink.EndLine();
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
    auto &b = sink.Buf();
    // Without the header its text is built as usual and dropped at its line end.
    auto endHeader = [&] {
        if (header)
            sink.EndLine();
        else
            b.clear();
    };
    b += L;
    b += a1;
    b += '\t';
    b += L;
    b += a2;
    switch (mode) {
    case smCdK:
    case smCdF:
        b += std::string("\t|C(") + L + "0-" + L + ")|\tdB";
        endHeader();
        WriteResponse(sink, result, mode == smCdF ? Vp : 1.0);
        break;
    case smMinMagnitude:
    case smLocError:
    case smCornerFreq:
    case smSourceSize:
        b += mode == smMinMagnitude ? "\tM\tK\tE"
            : mode == smLocError    ? "\tError"
            : mode == smCornerFreq  ? "\tFc"
                                    : "\tR0";
        endHeader();
        WriteNodes(sink, result, C1, C2);
        break;
    default:
        break; // no result: the first part of the header, without a line end
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
