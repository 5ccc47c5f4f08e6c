// The array response and its results file as they were before the sums
// were kept in registers and the fields put straight into the write buffer,
// kept as the benchmarks' baseline (the same bytes): the matrix zero-filled
// first, sums of 128 columns kept in memory, each field appended to a string.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "baseline/Baseline.h"
#include "calc/ArrayResponse.h"

namespace valdrin::calc::baseline {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kRowBlock = 4;
constexpr int kColBlock = 128;

void AxisFactors(const std::vector<double> &coef, int count, int K, double DK, bool rowMajor,
    std::vector<double> &re, std::vector<double> &im)
{
    const std::size_t m = coef.size(), n = static_cast<std::size_t>(count);
    re.assign(m * n, 0.0);
    im.assign(m * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        const double k = (static_cast<double>(j) - K) * DK;
        for (std::size_t s = 0; s < m; ++s) {
            const double phi = kTwoPi * (coef[s] * k);
            const std::size_t at = rowMajor ? j * m + s : s * n + j;
            re[at] = std::cos(phi);
            im[at] = std::sin(phi);
        }
    }
}

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void ComputeRows(std::size_t side, std::size_t m, const std::vector<double> &Pr,
    const std::vector<double> &Pi, const std::vector<double> &Qr, const std::vector<double> &Qi,
    int p0, int rows, TMatrix2D &out)
{
    const double inv = 1.0 / static_cast<double>(m);
    double re[kRowBlock][kColBlock], im[kRowBlock][kColBlock];
    for (std::size_t q0 = 0; q0 < side; q0 += kColBlock) {
        const std::size_t nq = std::min<std::size_t>(kColBlock, side - q0);
        for (int r = 0; r < rows; ++r)
            for (std::size_t q = 0; q < nq; ++q)
                re[r][q] = im[r][q] = 0;
        for (std::size_t s = 0; s < m; ++s) {
            const double *qr = &Qr[s * side + q0];
            const double *qi = &Qi[s * side + q0];
            for (int r = 0; r < rows; ++r) {
                const std::size_t at = static_cast<std::size_t>(p0 + r) * m + s;
                const double pr = Pr[at], pi = Pi[at];
                double *ar = re[r], *ai = im[r];
                for (std::size_t q = 0; q < nq; ++q) {
                    ar[q] += pr * qr[q] - pi * qi[q];
                    ai[q] += pr * qi[q] + pi * qr[q];
                }
            }
        }
        for (int r = 0; r < rows; ++r) {
            const std::size_t p = static_cast<std::size_t>(p0 + r);
            auto &row = out[p];
            auto &mirror = out[side - 1 - p];
            for (std::size_t q = 0; q < nq; ++q) {
                const double a = re[r][q] * inv, b = im[r][q] * inv;
                const double v = std::sqrt(a * a + b * b);
                row[q0 + q] = v;
                mirror[side - 1 - (q0 + q)] = v;
            }
        }
    }
}

char *FixedChars(char *buf, char *end, double value, int decimals)
{
    static constexpr double kPow10[] = { 1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8 };
    if (decimals >= 0 && decimals <= 8) {
        const double y = std::fabs(value) * kPow10[decimals];
        if (y < 0x1p50) {
            const double fl = std::floor(y);
            const double frac = y - fl;
            if (std::fabs(frac - 0.5) > 0x1p-51 * y + 0x1p-60) {
                auto n = static_cast<std::uint64_t>(fl) + (frac > 0.5 ? 1 : 0);
                char digits[24];
                char *d = std::to_chars(digits, digits + sizeof digits, n).ptr;
                auto count = static_cast<int>(d - digits);
                char *p = buf;
                if (std::signbit(value))
                    *p++ = '-';
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
    char *last = FixedChars(buf, buf + sizeof buf, value, decimals);
    const auto len = static_cast<int>(last - buf);
    if (len < width)
        out.append(static_cast<std::size_t>(width - len), ' ');
    out.append(buf, last);
}

std::string FixedText(double value, int width, int decimals)
{
    std::string s;
    AppendFixed(s, value, width, decimals);
    return s;
}

} // namespace

TResponse ArrayResponseZeroFilled(const TStationSet &stations, int N, const TWaveGrid &grid)
{
    const TArrayOffsets o = ArrayOffsets(stations, N, false);
    const int K = grid.KCount, side = 2 * K + 1;
    const std::size_t m = o.A.size(), n = static_cast<std::size_t>(side);
    std::vector<double> Pr, Pi, Qr, Qi;
    AxisFactors(o.A, K + 1, K, grid.DK, true, Pr, Pi);
    AxisFactors(o.B, side, K, grid.DK, false, Qr, Qi);
    TResponse result;
    result.Matrix.assign(n, std::vector<double>(n));
    for (int p0 = 0; p0 <= K; p0 += kRowBlock)
        ComputeRows(n, m, Pr, Pi, Qr, Qi, p0, std::min(kRowBlock, K + 1 - p0), result.Matrix);
    result.Min = result.Matrix[0][0];
    for (const auto &row : result.Matrix)
        for (double v : row)
            result.Min = std::min(result.Min, v);
    return result;
}

void WriteResponseFileAppending(std::ostream &out, const TResult &r)
{
    constexpr std::size_t kChunk = 1 << 16;
    std::string b = "Kx\tKy\t|C(K0-K)|\tdB\r\n";
    const TWaveGrid &g = r.WaveGrid;
    std::vector<std::string> kVText;
    for (std::size_t p = 0; p < r.ResultMatrix.size(); ++p) {
        const auto &row = r.ResultMatrix[p];
        for (std::size_t q = kVText.size(); q < row.size(); ++q)
            kVText.push_back(FixedText((static_cast<double>(q) - g.KCount) * g.DK, 8, 5) + '\t');
        const std::string kUText
            = FixedText((static_cast<double>(p) - g.KCount) * g.DK, 8, 5) + '\t';
        for (std::size_t q = 0; q < row.size(); ++q) {
            b += kUText;
            b += kVText[q];
            AppendFixed(b, row[q], 8, 6);
            b += '\t';
            AppendFixed(b, 20 * std::log10(row[q]), 7, 2);
            b += "\r\n";
            if (b.size() >= kChunk) {
                out.write(b.data(), static_cast<std::streamsize>(b.size()));
                b.clear();
            }
        }
    }
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
}

} // namespace valdrin::calc::baseline
