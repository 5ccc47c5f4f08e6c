// Order statistics of the station values per node, and the analyses built on
// them. A node's k-th after one station is added or removed follows from the
// (k-1)-th, k-th and (k+1)-th alone, so each what-if costs one evaluation of
// that station per node instead of a run.
#include "calc/Planning.h"

#include <algorithm>
#include <stdexcept>

#include "calc/Detection.h"
#include "calc/ParallelItems.h"

namespace valdrin::calc {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

} // namespace

TOrderStats MakeOrderStats(std::span<const double> values, int k)
{
    // At most 100 stations: a small sorted copy of the values is cheapest.
    double sorted[kMaxStations + 1];
    std::vector<double> large;
    double *first = sorted;
    if (values.size() > std::size(sorted)) {
        large.resize(values.size());
        first = large.data();
    }
    double *last = first;
    for (const double x : values)
        if (!std::isnan(x))
            *last++ = x;
    const auto count = static_cast<int>(last - first);
    const int keep = std::min(count, k + 1);
    std::partial_sort(first, first + keep, last);
    TOrderStats st;
    st.Count = count;
    const auto rank = [&](int r) { return r <= count ? first[r - 1] : kNaN; };
    st.Below = k == 1 ? -kInf : rank(k - 1);
    st.Kth = rank(k);
    st.Above = rank(k + 1);
    return st;
}

double KthAfterAdding(const TOrderStats &stats, int k, double m)
{
    if (std::isnan(m))
        return stats.Kth;
    if (stats.Count + 1 < k)
        return kNaN;
    if (stats.Count + 1 == k) // the new value joins the k - 1 there are
        return std::max(stats.Below, m);
    return std::min(stats.Kth, std::max(stats.Below, m));
}

double KthAfterRemoving(const TOrderStats &stats, int /*k*/, double s)
{
    // A NaN s or k-th compares false: the k-th stays (NaN stays NaN).
    return s <= stats.Kth ? stats.Above : stats.Kth;
}

std::optional<TOrderGrid> ScanOrderStats(const TCalcSnapshot &snapshot, const TRunControl &control)
{
    CheckNodeSnapshot(snapshot);
    const TStationValues values(snapshot);
    TOrderGrid grid;
    grid.NU = snapshot.PlaneGrid.NU;
    grid.NV = snapshot.PlaneGrid.NV;
    grid.K = snapshot.Params.k;
    grid.Nodes.resize(static_cast<std::size_t>(grid.NU) * static_cast<std::size_t>(grid.NV));
    grid.Matrix.assign(
        static_cast<std::size_t>(grid.NU), std::vector<double>(static_cast<std::size_t>(grid.NV)));
    const std::size_t n = values.Count();
    struct TState {
        TStationValues::TScratch Scratch;
        std::vector<double> Row;
    };
    int rowsDone = 0;
    const bool complete = ParallelItems(
        grid.NU, control,
        [&] {
            return TState { values.NewScratch(), std::vector<double>(n) };
        },
        [&](TState &state, int i) {
            for (int j = 0; j < grid.NV; ++j) {
                for (std::size_t s = 0; s < n; ++s)
                    state.Row[s] = values.Value(state.Scratch, s, i, j);
                const TOrderStats st = MakeOrderStats(state.Row, grid.K);
                grid.Nodes[static_cast<std::size_t>(i) * static_cast<std::size_t>(grid.NV)
                    + static_cast<std::size_t>(j)]
                    = st;
                grid.Matrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                    = values.NodeValue(st.Kth, j);
            }
        },
        [&](int) {
            if (control.Progress)
                control.Progress(++rowsDone, grid.NU);
        });
    if (!complete)
        return std::nullopt;
    return grid;
}

namespace {

// One row's sums per station, added up in row order afterwards so that the
// figures do not depend on the threads.
struct TOutageSums {
    double Sum = 0, Max = -kInf;
    int Nodes = 0, Lost = 0;
};

} // namespace

std::optional<std::vector<TOutageFigures>> OutageFigures(
    const TCalcSnapshot &snapshot, const TRunControl &control, double target)
{
    CheckNodeSnapshot(snapshot);
    const TStationValues values(snapshot);
    const TPlaneGrid &g = snapshot.PlaneGrid;
    const int k = snapshot.Params.k;
    const std::size_t n = values.Count();
    std::vector<std::vector<TOutageSums>> rows(static_cast<std::size_t>(g.NU));
    struct TState {
        TStationValues::TScratch Scratch;
        std::vector<double> Values;
    };
    int rowsDone = 0;
    const bool complete = ParallelItems(
        g.NU, control,
        [&] {
            return TState { values.NewScratch(), std::vector<double>(n) };
        },
        [&](TState &state, int i) {
            std::vector<TOutageSums> sums(n);
            for (int j = 0; j < g.NV; ++j) {
                for (std::size_t s = 0; s < n; ++s)
                    state.Values[s] = values.Value(state.Scratch, s, i, j);
                const TOrderStats st = MakeOrderStats(state.Values, k);
                for (std::size_t s = 0; s < n; ++s) {
                    const double without = KthAfterRemoving(st, k, state.Values[s]);
                    TOutageSums &sum = sums[s];
                    if (std::isfinite(st.Kth) && std::isfinite(without)) {
                        const double rise = without - st.Kth;
                        sum.Sum += rise;
                        sum.Max = std::max(sum.Max, rise);
                        ++sum.Nodes;
                    }
                    sum.Lost += st.Kth <= target && !(without <= target);
                }
            }
            rows[static_cast<std::size_t>(i)] = std::move(sums);
        },
        [&](int) {
            if (control.Progress)
                control.Progress(++rowsDone, g.NU);
        });
    if (!complete)
        return std::nullopt;
    std::vector<TOutageFigures> figures(n);
    for (std::size_t s = 0; s < n; ++s) {
        TOutageSums total;
        for (const auto &row : rows) {
            total.Sum += row[s].Sum;
            total.Max = std::max(total.Max, row[s].Max);
            total.Nodes += row[s].Nodes;
            total.Lost += row[s].Lost;
        }
        TOutageFigures &f = figures[s];
        f.Nodes = total.Nodes;
        if (total.Nodes > 0) {
            f.MeanRise = total.Sum / total.Nodes;
            f.MaxRise = total.Max;
        }
        f.AreaLost = total.Lost * g.UStep * g.VStep;
    }
    return figures;
}

std::optional<TMatrix2D> OutageMap(const TCalcSnapshot &snapshot, const TOrderGrid &grid,
    std::size_t station, const TRunControl &control)
{
    CheckNodeSnapshot(snapshot);
    if (station >= static_cast<std::size_t>(snapshot.Params.N))
        throw std::invalid_argument("OutageMap: no such station");
    const TStationValues values(snapshot);
    TMatrix2D matrix(static_cast<std::size_t>(grid.NU));
    const bool complete = ParallelItems(
        grid.NU, control, [&] { return values.NewScratch(); },
        [&](TStationValues::TScratch &scratch, int i) {
            std::vector<double> row(static_cast<std::size_t>(grid.NV));
            for (int j = 0; j < grid.NV; ++j) {
                const double s = values.Value(scratch, station, i, j);
                row[static_cast<std::size_t>(j)]
                    = values.NodeValue(KthAfterRemoving(grid.At(i, j), grid.K, s), j);
            }
            matrix[static_cast<std::size_t>(i)] = std::move(row);
        },
        [](int) {});
    if (!complete)
        return std::nullopt;
    return matrix;
}

} // namespace valdrin::calc
