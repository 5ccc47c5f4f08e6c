// Order statistics of the station values per node, and the analyses built on
// them. A node's k-th after one station is added or removed follows from the
// (k-1)-th, k-th and (k+1)-th alone, so each what-if costs one evaluation of
// that station per node instead of a run.
#include "calc/Planning.h"

#include <algorithm>

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

} // namespace valdrin::calc
