// The results file as it was written before the coordinate texts were
// kept per row and column, kept as the benchmarks' baseline. Numbers are fixed point with a point,
// right-aligned in a minimum width (w:d = width w, d decimals; longer numbers are written in full).
// Values without a number are written unpadded as nan, inf or -inf, the tokens numpy, pandas and
// GMT read: an exact null of the response gives a dB field of -inf, a node without a value (NaN)
// nan in each of its value fields, a node that is not registered (+inf) inf in each of them.
#include "baseline/Baseline.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <sstream>

#include "common/Error.h"

namespace valdrin::calc::baseline {

using enum TShowMode;
using enum TViewPlane;

namespace {

constexpr const char *kLineEnd = "\r\n";

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
    const auto res
        = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    const auto len = static_cast<int>(res.ptr - buf);
    if (len < width)
        out.append(static_cast<std::size_t>(width - len), ' ');
    out.append(buf, res.ptr);
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
    for (std::size_t p = 0; p < rows; ++p) {
        const auto &row = r.ResultMatrix[p];
        const double kU = (static_cast<double>(p) - g.KCount) * g.DK * scale;
        const std::size_t cols = Cols(row, side);
        for (std::size_t q = 0; q < cols; ++q) {
            const double kV = (static_cast<double>(q) - g.KCount) * g.DK * scale;
            auto &b = sink.Buf();
            AppendFixed(b, kU, 8, 5);
            b += '\t';
            AppendFixed(b, kV, 8, 5);
            b += '\t';
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
    for (std::size_t i = 0; i < rows; ++i) {
        const auto &row = r.ResultMatrix[i];
        const double u = static_cast<double>(i) * g.UStep + g.UMin;
        const std::size_t cols = Cols(row, g.NV);
        for (std::size_t j = 0; j < cols; ++j) {
            const double v = static_cast<double>(j) * g.VStep + g.VMin;
            const double value = row[j];
            auto &b = sink.Buf();
            AppendFixed(b, u, 1, 4);
            b += '\t';
            AppendFixed(b, v, 1, 4);
            b += '\t';
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
    const TShowMode mode = result.ResultMode;
    const char L = mode == smCdF ? 'F' : 'K';
    const auto [a1, a2] = Letters(result.Plane);
    TLineSink sink(out);
    auto &b = sink.Buf();
    b += L;
    b += a1;
    b += '\t';
    b += L;
    b += a2;
    switch (mode) {
    case smCdK:
    case smCdF:
        b += std::string("\t|C(") + L + "0-" + L + ")|\tdB";
        sink.EndLine();
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
        sink.EndLine();
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

} // namespace valdrin::calc::baseline
