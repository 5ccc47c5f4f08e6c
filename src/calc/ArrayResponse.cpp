// Array response: C(kU, kV) = |(1/(N-1)) * sum_s exp(i*phi_s)| over stations
// s = 1..N-1, phi_s = 2*pi*(a_s*kU + b_s*kV), with a_s, b_s the station's
// offsets from the centre station (metres; with degrees, 111120 m per degree
// and the longitude offset, taken into (-180, 180], scaled by the cosine of
// the mean latitude).
//
// The fast form splits exp(i*phi_s) = exp(i*2*pi*a_s*kU) * exp(i*2*pi*b_s*kV):
// one table of factors per row p and one per column q, so the double loop is
// complex multiply-adds only. C(-k) is the conjugate sum, so |C| is symmetric
// under (p, q) -> (2K - p, 2K - q) and only rows 0..K are computed.
#include "calc/ArrayResponse.h"
#include "calc/ParallelItems.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "calc/geodesy.h"
#include "common/Error.h"

namespace valdrin::calc {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kMetresPerDegree = 111120;

struct TOffsets {
    std::vector<double> A, B; // per summed station: phase = 2*pi*(A*kU + B*kV)
};

int CheckedSide(const TStationSet &stations, int N, const TWaveGrid &grid)
{
    if (N < 0 || static_cast<std::size_t>(N) > std::min(stations.U.size(), stations.V.size()))
        throw std::invalid_argument("ArrayResponse: N exceeds the station set");
    if (N < 2)
        throw common::TValdrinError("Для расчета функции отклика нужно не менее двух датчиков");
    if (!(grid.DK > 0) || !std::isfinite(grid.DK) || grid.KCount < 0)
        throw common::TValdrinError("Шаг волнового числа должен быть больше нуля");
    const long long side = 2LL * grid.KCount + 1;
    if (side > kMaxMatrixSide)
        throw common::TValdrinError("Слишком большая сетка волновых чисел: " + std::to_string(side)
            + " × " + std::to_string(side) + " (допустимо не более "
            + std::to_string(kMaxMatrixSide) + " × " + std::to_string(kMaxMatrixSide)
            + "). Увеличьте шаг или уменьшите диапазон волнового числа.");
    return static_cast<int>(side);
}

double LongitudeScale(double v, double centreV)
{
    return std::cos(((v + centreV) / 2) * (std::numbers::pi / 180));
}

TOffsets Offsets(const TStationSet &st, int N, bool degrees)
{
    TOffsets o;
    for (int s = 1; s < N; ++s) {
        const auto i = static_cast<std::size_t>(s);
        const double du = st.U[i] - st.CentreU, dv = st.V[i] - st.CentreV;
        if (degrees) {
            // 180.03 and -179.97 are one longitude.
            const double dLon = WrapLongitudeDifference(du);
            o.A.push_back(kMetresPerDegree * dLon * LongitudeScale(st.V[i], st.CentreV));
            o.B.push_back(kMetresPerDegree * dv);
        } else {
            o.A.push_back(du);
            o.B.push_back(dv);
        }
    }
    return o;
}

// exp(i*2*pi*coef[s]*(j - K)*DK) for j = 0 .. count-1, laid out
// [j * m + s] (rowMajor) or [s * count + j].
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

constexpr int kRowBlock = 4; // rows sharing one pass over the column factors
constexpr int kColBlock = 128; // columns of accumulators kept in L1

struct TFastTables {
    int Side = 0, K = 0;
    std::size_t M = 0; // summed stations
    std::vector<double> Pr, Pi; // [p * M + s], p = 0..K
    std::vector<double> Qr, Qi; // [s * Side + q]
};

// Rows p0 .. p0+rows-1 (all <= K) into the matrix, each with its mirror row.
// The inner loop runs along q over contiguous factors and vectorises; on
// x86-64 an AVX2 copy is picked at load time where the CPU has it (same
// operations, no FMA contraction, so the same result).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void ComputeRows(const TFastTables &t, int p0, int rows, TMatrix2D &out)
{
    const std::size_t side = static_cast<std::size_t>(t.Side), m = t.M;
    const double inv = 1.0 / static_cast<double>(m);
    double re[kRowBlock][kColBlock], im[kRowBlock][kColBlock];
    for (std::size_t q0 = 0; q0 < side; q0 += kColBlock) {
        const std::size_t nq = std::min<std::size_t>(kColBlock, side - q0);
        for (int r = 0; r < rows; ++r)
            for (std::size_t q = 0; q < nq; ++q)
                re[r][q] = im[r][q] = 0;
        for (std::size_t s = 0; s < m; ++s) {
            const double *qr = &t.Qr[s * side + q0];
            const double *qi = &t.Qi[s * side + q0];
            for (int r = 0; r < rows; ++r) {
                const std::size_t at = static_cast<std::size_t>(p0 + r) * m + s;
                const double pr = t.Pr[at], pi = t.Pi[at];
                double *ar = re[r], *ai = im[r];
                for (std::size_t q = 0; q < nq; ++q) {
                    ar[q] += pr * qr[q] - pi * qi[q];
                    ai[q] += pr * qi[q] + pi * qr[q];
                }
            }
        }
        for (int r = 0; r < rows; ++r) {
            const auto p = static_cast<std::size_t>(p0) + static_cast<std::size_t>(r);
            auto &row = out[p];
            auto &mirror = out[side - 1 - p];
            for (std::size_t q = 0; q < nq; ++q) {
                const double a = re[r][q] * inv, b = im[r][q] * inv;
                const double v = std::sqrt(a * a + b * b); // ComplexAbs, inlined
                row[q0 + q] = v;
                mirror[side - 1 - (q0 + q)] = v;
            }
        }
    }
}

double MatrixMin(const TMatrix2D &m)
{
    double lo = m[0][0];
    for (const auto &row : m)
        for (double v : row)
            lo = std::min(lo, v);
    return lo;
}

} // namespace

TArrayOffsets ArrayOffsets(const TStationSet &stations, int N, bool degrees)
{
    if (N < 0 || static_cast<std::size_t>(N) > std::min(stations.U.size(), stations.V.size()))
        throw std::invalid_argument("ArrayOffsets: N exceeds the station set");
    TOffsets o = Offsets(stations, N, degrees);
    return { std::move(o.A), std::move(o.B) };
}

std::optional<TResponse> ArrayResponse(const TStationSet &stations, int N, const TWaveGrid &grid,
    bool degrees, const TRunControl &control)
{
    const int side = CheckedSide(stations, N, grid);
    auto cancelled = [&] { return control.Cancel && control.Cancel->load(); };
    if (cancelled())
        return std::nullopt;

    TFastTables t;
    t.Side = side;
    t.K = grid.KCount;
    const TOffsets o = Offsets(stations, N, degrees);
    t.M = o.A.size();
    AxisFactors(o.A, t.K + 1, t.K, grid.DK, true, t.Pr, t.Pi); // rows 0..K only
    AxisFactors(o.B, side, t.K, grid.DK, false, t.Qr, t.Qi);

    TResponse result;
    result.Matrix.assign(
        static_cast<std::size_t>(side), std::vector<double>(static_cast<std::size_t>(side)));

    const int halfRows = t.K + 1; // rows 0..K; the rest are their mirrors
    const int blocks = (halfRows + kRowBlock - 1) / kRowBlock;
    int rowsDone = 0;
    const bool complete = ParallelItems(
        blocks, control, [] { return 0; },
        [&](int &, int b) {
            ComputeRows(
                t, b * kRowBlock, std::min(kRowBlock, halfRows - b * kRowBlock), result.Matrix);
        },
        [&](int b) {
            const int p0 = b * kRowBlock;
            const int rows = std::min(kRowBlock, halfRows - p0);
            // Each row below K also fills its mirror row; row K is its own.
            rowsDone += 2 * rows - (p0 + rows - 1 == t.K ? 1 : 0);
            if (control.Progress)
                control.Progress(rowsDone, side);
        });
    if (!complete)
        return std::nullopt;
    result.Min = MatrixMin(result.Matrix);
    return result;
}

TResponse ArrayResponseReference(
    const TStationSet &stations, int N, const TWaveGrid &grid, bool degrees)
{
    const int side = CheckedSide(stations, N, grid);
    const int K = grid.KCount;
    TResponse result;
    result.Matrix.assign(
        static_cast<std::size_t>(side), std::vector<double>(static_cast<std::size_t>(side)));
    for (int p = 0; p < side; ++p) {
        const double kU = (p - K) * grid.DK;
        for (int q = 0; q < side; ++q) {
            const double kV = (q - K) * grid.DK;
            double re = 0, im = 0;
            for (int s = 1; s < N; ++s) {
                const auto i = static_cast<std::size_t>(s);
                const double du = degrees
                    ? WrapLongitudeDifference(stations.U[i] - stations.CentreU)
                    : stations.U[i] - stations.CentreU;
                const double dv = stations.V[i] - stations.CentreV;
                const double phi = degrees ? kTwoPi * kMetresPerDegree
                        * (du * LongitudeScale(stations.V[i], stations.CentreV) * kU + dv * kV)
                                           : kTwoPi * (du * kU + dv * kV);
                re += std::cos(phi);
                im += std::sin(phi);
            }
            re /= N - 1;
            im /= N - 1;
            const double v = common::ComplexAbs(re, im);
            result.Matrix[static_cast<std::size_t>(p)][static_cast<std::size_t>(q)] = v;
            result.Min = (p == 0 && q == 0) ? v : std::min(result.Min, v);
        }
    }
    return result;
}

} // namespace valdrin::calc
