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

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
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

TArrayOffsets Offsets(const TStationSet &st, int N, bool degrees)
{
    TArrayOffsets o;
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

// exp(i*2*pi*coef[s]*(j - K)*DK) for j = 0 .. count-1 and every s, handed
// to put(j, s, re, im).
template<class Put>
void AxisFactors(const std::vector<double> &coef, int count, int K, double DK, Put put)
{
    for (int j = 0; j < count; ++j) {
        const double k = (static_cast<double>(j) - K) * DK;
        for (std::size_t s = 0; s < coef.size(); ++s) {
            const double phi = kTwoPi * (coef[s] * k);
            put(static_cast<std::size_t>(j), s, std::cos(phi), std::sin(phi));
        }
    }
}

constexpr int kRowBlock = 4; // rows sharing one pass over the column factors

struct TFastTables {
    int Side = 0, K = 0;
    std::size_t M = 0; // summed stations
    std::vector<double> Pr, Pi; // [p * M + s], p = 0..K
    // Columns in groups of four, each station's factors of a group side by
    // side: [(g * M + s) * 8 + k], real parts k = 0..3, imaginary 4..7, for
    // q = 4 * g + k. Columns past Side are zero.
    std::vector<double> Q;
};

// Four doubles, element by element the same IEEE operations as on scalars.
using TQuad = double __attribute__((vector_size(4 * sizeof(double))));

// |C| of rows p0 .. p0+rows-1 (rows <= kRowBlock, all <= K) into
// scratch[r * Side + q]. Four columns at a time keep their sums of four rows
// in registers over all stations: each station costs two loads of column
// factors and eight of row factors, where sums kept in memory would cost
// four loads and two stores per row. Every element is still summed over the
// stations in their order with the same operations, so the matrix is the
// same to the bit. On x86-64 an AVX2 copy is picked at load time where the
// CPU has it (no FMA contraction: same result).
#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void ComputeRows(const TFastTables &t, int p0, int rows, double *scratch)
{
    const std::size_t side = static_cast<std::size_t>(t.Side), m = t.M;
    const double inv = 1.0 / static_cast<double>(m);
    const double *pr[kRowBlock], *pi[kRowBlock];
    for (int r = 0; r < kRowBlock; ++r) {
        // Rows past the block's end repeat its last row: computed, not stored.
        const auto p = static_cast<std::size_t>(p0 + std::min(r, rows - 1));
        pr[r] = &t.Pr[p * m];
        pi[r] = &t.Pi[p * m];
    }
    auto store = [&](int r, std::size_t q, double re, double im) {
        const double a = re * inv, b = im * inv;
        scratch[static_cast<std::size_t>(r) * side + q] = std::sqrt(a * a + b * b); // ComplexAbs
    };
    for (std::size_t q = 0; q < side; q += 4) {
        TQuad re[kRowBlock] = {}, im[kRowBlock] = {};
        const double *f = &t.Q[q / 4 * m * 8];
        for (std::size_t s = 0; s < m; ++s, f += 8) {
            TQuad qr, qi;
            std::memcpy(&qr, f, sizeof qr);
            std::memcpy(&qi, f + 4, sizeof qi);
            for (int r = 0; r < kRowBlock; ++r) {
                const double a = pr[r][s], b = pi[r][s];
                re[r] += a * qr - b * qi;
                im[r] += a * qi + b * qr;
            }
        }
        for (int r = 0; r < rows; ++r)
            for (std::size_t k = 0; k < 4 && q + k < side; ++k)
                store(r, q + k, re[r][k], im[r][k]);
    }
}

// Rows p0 .. p0+rows-1 and their mirrors into the matrix, built from the
// computed values (never zero-filled first). Row K is its own mirror: its
// left half is taken from its right half, as the mirror writes left it.
void StoreRows(const TFastTables &t, int p0, int rows, const double *scratch, TMatrix2D &out)
{
    const auto side = static_cast<std::size_t>(t.Side);
    for (int r = 0; r < rows; ++r) {
        const double *v = scratch + static_cast<std::size_t>(r) * side;
        const auto p = static_cast<std::size_t>(p0) + static_cast<std::size_t>(r);
        auto &row = out[p];
        row.assign(v, v + side);
        if (p + 1 == side - p) {
            for (std::size_t q = 0; q < p; ++q)
                row[q] = v[side - 1 - q];
        } else {
            out[side - 1 - p].assign(
                std::make_reverse_iterator(v + side), std::make_reverse_iterator(v));
        }
    }
}

// Maps the pages of the rows' storage in one call, where the system can:
// one page fault per 4 KiB of a large matrix costs more than its sums on
// some virtual machines. Only a hint, and only where the rows lie side by
// side: rows spread over separate mappings (a thread's heaps) could span
// other memory, which must not be touched, so they fault page by page.
void PrefaultRows([[maybe_unused]] const TMatrix2D &rows)
{
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (rows.empty() || rows.front().capacity() == 0)
        return;
    auto first = reinterpret_cast<std::uintptr_t>(rows.front().data());
    auto last = first;
    std::uintptr_t bytes = 0;
    for (const auto &row : rows) {
        const auto at = reinterpret_cast<std::uintptr_t>(row.data());
        const std::uintptr_t size = row.capacity() * sizeof(double);
        first = std::min(first, at);
        last = std::max(last, at + size);
        bytes += size + 64; // and the allocator's header
    }
    if (last - first > bytes)
        return;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    first -= first % page;
    // NOLINTNEXTLINE(performance-no-int-to-ptr): madvise takes a page's address
    ::madvise(reinterpret_cast<void *>(first), last - first, MADV_POPULATE_WRITE);
#endif
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
    return Offsets(stations, N, degrees);
}

std::optional<TResponse> ArrayResponse(const TStationSet &stations, int N, const TWaveGrid &grid,
    bool degrees, const TRunControl &control)
{
    const int side = CheckedSide(stations, N, grid);
    if (control.Cancelled())
        return std::nullopt;

    TFastTables t;
    t.Side = side;
    t.K = grid.KCount;
    const TArrayOffsets o = Offsets(stations, N, degrees);
    t.M = o.A.size();
    const std::size_t m = t.M, groups = (static_cast<std::size_t>(side) + 3) / 4;
    t.Pr.resize(static_cast<std::size_t>(t.K + 1) * m); // rows 0..K only
    t.Pi.resize(t.Pr.size());
    AxisFactors(o.A, t.K + 1, t.K, grid.DK, [&](std::size_t p, std::size_t s, double c, double si) {
        t.Pr[p * m + s] = c;
        t.Pi[p * m + s] = si;
    });
    t.Q.assign(groups * m * 8, 0.0);
    AxisFactors(o.B, side, t.K, grid.DK, [&](std::size_t q, std::size_t s, double c, double si) {
        double *f = &t.Q[(q / 4 * m + s) * 8 + q % 4];
        f[0] = c;
        f[4] = si;
    });

    TResponse result;
    result.Matrix.resize(static_cast<std::size_t>(side)); // rows filled whole by StoreRows
    for (auto &row : result.Matrix)
        row.reserve(static_cast<std::size_t>(side));
    PrefaultRows(result.Matrix);

    const int halfRows = t.K + 1; // rows 0..K; the rest are their mirrors
    const int blocks = (halfRows + kRowBlock - 1) / kRowBlock;
    int rowsDone = 0;
    const bool complete = ParallelItems(
        blocks, control,
        [&] { return std::vector<double>(static_cast<std::size_t>(kRowBlock * side)); },
        [&](std::vector<double> &scratch, int b) {
            const int p0 = b * kRowBlock, rows = std::min(kRowBlock, halfRows - p0);
            ComputeRows(t, p0, rows, scratch.data());
            StoreRows(t, p0, rows, scratch.data(), result.Matrix);
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
