// Order statistics of the station values per node, and the analyses built on
// them. A node's k-th after one station is added or removed follows from the
// (k-1)-th, k-th and (k+1)-th alone, so each what-if costs one evaluation of
// that station per node instead of a run.
#include "calc/Planning.h"

#include <algorithm>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "calc/ArrayResponse.h"
#include "calc/Detection.h"
#include "calc/ParallelItems.h"
#include "common/Error.h"

namespace valdrin::calc {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Every station's value at node (i, j) into out, exactly for those that may
// be among the k + 1 smallest. Each true value lies within the largest bound
// w of its estimate, so the (k+1)-th true value is at most e + w, e the
// (k+1)-th estimate; a station whose estimate exceeds e + 2w lies beyond it
// for certain, and its estimate, also beyond it, stands in for its value:
// the order statistics and every comparison with the k-th come out the same.
void NodeValues(const TStationValues &values, TStationValues::TScratch &scratch, int i, int j,
    int k, std::vector<double> &out, std::vector<double> &order)
{
    const std::size_t n = values.Count(), rank = static_cast<std::size_t>(k) + 1;
    const auto est = n > rank ? values.Estimates(scratch, i, j) : std::nullopt;
    if (!est) {
        for (std::size_t s = 0; s < n; ++s)
            out[s] = values.Value(scratch, s, i, j);
        return;
    }
    order.assign(est->Value.begin(), est->Value.end());
    std::nth_element(
        order.begin(), order.begin() + static_cast<std::ptrdiff_t>(rank - 1), order.end());
    const double worst = *std::max_element(est->Bound.begin(), est->Bound.end());
    const double high = order[rank - 1] + 2 * worst;
    for (std::size_t s = 0; s < n; ++s)
        out[s] = est->Value[s] > high ? est->Value[s] : values.Value(scratch, s, i, j);
}

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

double KthAfterRemoving(const TOrderStats &stats, double s)
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
        std::vector<double> Row, Order;
    };
    const bool complete = ParallelItems(
        grid.NU, control,
        [&] {
            return TState { values.NewScratch(), std::vector<double>(n), {} };
        },
        [&](TState &state, int i) {
            for (int j = 0; j < grid.NV; ++j) {
                NodeValues(values, state.Scratch, i, j, grid.K, state.Row, state.Order);
                const TOrderStats st = MakeOrderStats(state.Row, grid.K);
                grid.Nodes[static_cast<std::size_t>(i) * static_cast<std::size_t>(grid.NV)
                    + static_cast<std::size_t>(j)]
                    = st;
                grid.Matrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                    = values.NodeValue(st.Kth, j);
            }
        },
        ItemProgress(control, grid.NU));
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
        std::vector<double> Values, Order;
    };
    const bool complete = ParallelItems(
        g.NU, control,
        [&] {
            return TState { values.NewScratch(), std::vector<double>(n), {} };
        },
        [&](TState &state, int i) {
            std::vector<TOutageSums> sums(n);
            for (int j = 0; j < g.NV; ++j) {
                NodeValues(values, state.Scratch, i, j, k, state.Values, state.Order);
                const TOrderStats st = MakeOrderStats(state.Values, k);
                for (std::size_t s = 0; s < n; ++s) {
                    const double without = KthAfterRemoving(st, state.Values[s]);
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
        ItemProgress(control, g.NU));
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
                    = values.NodeValue(KthAfterRemoving(grid.At(i, j), s), j);
            }
            matrix[static_cast<std::size_t>(i)] = std::move(row);
        },
        [](int) {});
    if (!complete)
        return std::nullopt;
    return matrix;
}

TCalcSnapshot WithStationAdded(TCalcSnapshot snapshot, double u, double v, std::size_t row)
{
    TStationSet &st = snapshot.Stations;
    const auto n = static_cast<std::size_t>(snapshot.Params.N);
    for (auto *a : { &st.U, &st.V, &st.W, &st.A0, &st.A1, &st.A2, &st.A3, &st.An, &st.SNR })
        a->resize(n);
    st.Name.resize(n);
    st.U.push_back(u);
    st.V.push_back(v);
    st.W.push_back(snapshot.Params.SurfaceAlt);
    for (auto *a : { &st.A0, &st.A1, &st.A2, &st.A3, &st.An, &st.SNR })
        a->push_back((*a)[row]);
    st.Name.emplace_back();
    st.Count = ++snapshot.Params.N;
    return snapshot;
}

namespace {

// The candidates: the node grid itself, or NU x NV points spread evenly over
// its extent (one point: its middle).
TPlaneGrid CandidateGrid(const TPlaneGrid &nodes, int nu, int nv)
{
    TPlaneGrid c = nodes;
    const auto axis = [](int n, int count, double min, double step, double &cMin, double &cMax,
                          double &cStep, int &cCount) {
        if (count <= 0 || count == n)
            return;
        const double last = (n - 1) * step + min;
        cCount = count;
        cStep = count > 1 ? (last - min) / (count - 1) : 1;
        cMin = count > 1 ? min : (min + last) / 2;
        cMax = count > 1 ? last : cMin;
    };
    axis(nodes.NU, nu, nodes.UMin, nodes.UStep, c.UMin, c.UMax, c.UStep, c.NU);
    axis(nodes.NV, nv, nodes.VMin, nodes.VStep, c.VMin, c.VMax, c.VStep, c.NV);
    return c;
}

void CheckGainInput(const TCalcSnapshot &snapshot, const TGainOptions &options)
{
    CheckNodeSnapshot(snapshot);
    if (snapshot.Params.Plane != TViewPlane::vpXY)
        throw common::TValdrinError("Места новых станций подбираются только в плоскости XY");
    if (options.Row >= static_cast<std::size_t>(snapshot.Params.N))
        throw common::TValdrinError("Нет строки " + std::to_string(options.Row + 1)
            + " в таблице станций: новая станция берет коэффициенты и шум одной из строк 1.."
            + std::to_string(snapshot.Params.N));
    if (options.CandidatesU > kMaxMatrixSide || options.CandidatesV > kMaxMatrixSide
        || options.CandidatesU < 0 || options.CandidatesV < 0)
        throw common::TValdrinError("Сетка мест-кандидатов должна быть от 1 до "
            + std::to_string(kMaxMatrixSide) + " по каждой оси");
}

} // namespace

std::optional<TGainMap> GainMap(const TCalcSnapshot &snapshot, const TOrderGrid &grid,
    const TGainOptions &options, const TRunControl &control)
{
    CheckGainInput(snapshot, options);
    const TPlaneGrid &g = snapshot.PlaneGrid;
    TGainMap map;
    map.Grid = CandidateGrid(g, options.CandidatesU, options.CandidatesV);
    const TPlaneGrid &c = map.Grid;
    const bool area = !std::isnan(options.Target);
    const double target = options.Target, cell = g.UStep * g.VStep;
    // The mean is over the nodes finite now: adding a station keeps them
    // finite, so the count is the same for every candidate.
    std::vector<std::pair<int, int>> nodes;
    const TGainOptions::TArea &in = options.Area;
    for (int i = 0; i < grid.NU; ++i) {
        const double u = i * g.UStep + g.UMin; // as the scan places the node
        if (!(u >= in.U0 && u <= in.U1))
            continue;
        for (int j = 0; j < grid.NV; ++j) {
            const double v = j * g.VStep + g.VMin;
            if (v >= in.V0 && v <= in.V1 && (area || std::isfinite(grid.At(i, j).Kth)))
                nodes.emplace_back(i, j);
        }
    }
    map.Gain.assign(
        static_cast<std::size_t>(c.NU), std::vector<double>(static_cast<std::size_t>(c.NV)));
    const bool complete = ParallelItems(
        c.NU, control, [] { return 0; },
        [&](int, int a) {
            // The candidates of row a as the stations of one network, so that
            // each is evaluated exactly as a station of the run.
            TCalcSnapshot candidates = snapshot;
            TStationSet &st = candidates.Stations;
            const TStationSet &from = snapshot.Stations;
            const std::size_t row = options.Row, n = static_cast<std::size_t>(c.NV);
            st = TStationSet {};
            for (int b = 0; b < c.NV; ++b) {
                st.U.push_back(a * c.UStep + c.UMin);
                st.V.push_back(b * c.VStep + c.VMin);
            }
            st.W.assign(n, snapshot.Params.SurfaceAlt);
            st.A0.assign(n, from.A0[row]);
            st.A1.assign(n, from.A1[row]);
            st.A2.assign(n, from.A2[row]);
            st.A3.assign(n, from.A3[row]);
            st.An.assign(n, from.An[row]);
            st.SNR.assign(n, from.SNR[row]);
            st.Count = candidates.Params.N = c.NV;
            const TStationValues values(candidates);
            TStationValues::TScratch scratch = values.NewScratch();
            std::vector<double> sum(n, 0.0);
            std::vector<int> grown(n, 0);
            for (const auto &[i, j] : nodes) {
                const TOrderStats &node = grid.At(i, j);
                const auto add = [&](std::size_t s, double m) {
                    const double now = KthAfterAdding(node, grid.K, m);
                    if (area)
                        grown[s] += (now <= target) - (node.Kth <= target);
                    else if (std::isfinite(now))
                        sum[s] += node.Kth - now;
                };
                // A candidate certainly below the (k-1)-th gives what -inf
                // gives, one certainly above a k-th that exists what +inf
                // gives: only those near either are evaluated in full. The
                // margin is the scan's, twice the bound.
                const auto est = values.Estimates(scratch, i, j);
                if (!est) {
                    for (std::size_t s = 0; s < n; ++s)
                        add(s, values.Value(scratch, s, i, j));
                    continue;
                }
                const bool kthExists = node.Count >= grid.K;
                for (std::size_t s = 0; s < n; ++s) {
                    const double e = est->Value[s], b = 2 * est->Bound[s];
                    if (e + b < node.Below)
                        add(s, -kInf);
                    else if (kthExists && e - b > node.Kth)
                        add(s, kInf);
                    else
                        add(s, values.Value(scratch, s, i, j));
                }
            }
            for (std::size_t s = 0; s < n; ++s)
                map.Gain[static_cast<std::size_t>(a)][s] = area ? grown[s] * cell
                    : nodes.empty()                             ? kNaN
                                    : sum[s] / static_cast<double>(nodes.size());
        },
        ItemProgress(control, c.NU));
    if (!complete)
        return std::nullopt;
    return map;
}

std::optional<std::vector<TNextStation>> NextStations(const TCalcSnapshot &snapshot,
    const TGainOptions &options, int count, const TRunControl &control)
{
    CheckGainInput(snapshot, options);
    TCalcSnapshot network = snapshot;
    std::vector<TNextStation> placed;
    for (int n = 0; n < count; ++n) {
        const auto grid = ScanOrderStats(network, control);
        if (!grid)
            return std::nullopt;
        const auto map = GainMap(network, *grid, options, control);
        if (!map)
            return std::nullopt;
        const TPlaneGrid &c = map->Grid;
        TNextStation best { c.UMin, c.VMin, -kInf };
        for (int a = 0; a < c.NU; ++a)
            for (int b = 0; b < c.NV; ++b) {
                const double gain
                    = map->Gain[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)];
                if (gain > best.Gain)
                    best = { a * c.UStep + c.UMin, b * c.VStep + c.VMin, gain };
            }
        if (!(best.Gain > -kInf)) // no candidate has a gain (no node is finite)
            best.Gain = kNaN;
        placed.push_back(best);
        network = WithStationAdded(std::move(network), best.U, best.V, options.Row);
    }
    return placed;
}

namespace {

// The probability that a station of threshold m and scale detects M.
double StationProbability(double m, double scale, double M)
{
    if (!(scale > 0))
        return M >= m ? 1 : 0;
    return 0.5 * std::erfc((m - M) / (scale * std::numbers::sqrt2));
}

} // namespace

double DetectionProbability(
    std::span<const double> m, std::span<const double> scale, int k, double M)
{
    // q[j]: exactly j detect (j < k); q[k]: k or more.
    double q[kMaxStations + 2] = {};
    std::vector<double> large;
    double *at = q;
    const auto size = static_cast<std::size_t>(k) + 1;
    if (size > std::size(q)) {
        large.assign(size, 0.0);
        at = large.data();
    }
    at[0] = 1;
    for (std::size_t s = 0; s < m.size(); ++s) {
        if (std::isnan(m[s]))
            continue;
        const double p = StationProbability(m[s], scale[s], M);
        at[k] += at[k - 1] * p;
        for (int j = k - 1; j > 0; --j)
            at[j] = at[j] * (1 - p) + at[j - 1] * p;
        at[0] *= 1 - p;
    }
    return at[k];
}

double MagnitudeAtProbability(
    std::span<const double> m, std::span<const double> scale, int k, double p)
{
    std::vector<double> values(m.begin(), m.end());
    const TOrderStats st = MakeOrderStats(values, k);
    if (!std::isfinite(st.Kth))
        return st.Kth; // NaN: too few values; +infinity: too few ever detect
    double widest = 0;
    for (std::size_t s = 0; s < m.size(); ++s)
        if (!std::isnan(m[s]))
            widest = std::max(widest, scale[s]);
    if (!(widest > 0))
        return st.Kth;
    const auto reached = [&](double M) { return DetectionProbability(m, scale, k, M) >= p; };
    // A bracket around the k-th, widened by doublings: far enough below it
    // every Phi is near 0, far enough above the k smallest are near 1.
    double lo = st.Kth, hi = st.Kth, step = widest;
    for (int n = 0; n < 64 && reached(lo); ++n, step *= 2)
        lo = st.Kth - step;
    step = widest;
    for (int n = 0; n < 64 && !reached(hi); ++n, step *= 2)
        hi = st.Kth + step;
    while (hi - lo > 0.001) {
        const double mid = (lo + hi) / 2;
        if (mid <= lo || mid >= hi)
            break;
        (reached(mid) ? hi : lo) = mid;
    }
    return (lo + hi) / 2;
}

std::optional<TResult> RunProbabilityComputation(const TCalcSnapshot &snapshot, double sigmaDb,
    double p, const TRunControl &control, double atMagnitude)
{
    if (snapshot.Params.Mode != TShowMode::smMinMagnitude)
        throw common::TValdrinError(
            "Вероятность регистрации считается только для минимальной магнитуды");
    if (!(sigmaDb >= 0) || !std::isfinite(sigmaDb))
        throw common::TValdrinError("Разброс шума должен быть не меньше 0 дБ");
    if (std::isnan(atMagnitude) && !(p > 0 && p < 1))
        throw common::TValdrinError("Вероятность должна быть больше 0 и меньше 1");
    CheckNodeSnapshot(snapshot);
    const TStationValues values(snapshot);
    const std::size_t n = values.Count();
    std::vector<double> scale(n);
    for (std::size_t s = 0; s < n; ++s)
        scale[s] = std::fabs(snapshot.Stations.A0[s]) * sigmaDb / 20;
    const TPlaneGrid &g = snapshot.PlaneGrid;
    const int k = snapshot.Params.k;
    TResult result;
    result.ResultMode = snapshot.Params.Mode;
    result.Plane = snapshot.Params.Plane;
    result.Degrees = snapshot.Params.Degrees;
    result.PlaneGrid = g;
    result.WaveGrid = snapshot.WaveGrid;
    result.ResultMatrix.assign(
        static_cast<std::size_t>(g.NU), std::vector<double>(static_cast<std::size_t>(g.NV)));
    const bool complete = ParallelItems(
        g.NU, control, [&] { return std::pair(values.NewScratch(), std::vector<double>(n)); },
        [&](auto &state, int i) {
            auto &[scratch, m] = state;
            for (int j = 0; j < g.NV; ++j) {
                for (std::size_t s = 0; s < n; ++s)
                    m[s] = values.Value(scratch, s, i, j);
                result.ResultMatrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]
                    = std::isnan(atMagnitude) ? MagnitudeAtProbability(m, scale, k, p)
                                              : DetectionProbability(m, scale, k, atMagnitude);
            }
        },
        ItemProgress(control, g.NU));
    if (!complete)
        return std::nullopt;
    result.Saveable = true;
    return result;
}

TResult DifferenceResult(const TResult &now, const TResult &reference)
{
    using enum TShowMode;
    const TShowMode mode = now.ResultMode;
    if (mode != smMinMagnitude && mode != smLocError && mode != smCornerFreq
        && mode != smSourceSize)
        throw common::TValdrinError("Разность с эталоном строится только для режимов 3..6");
    if (reference.ResultMode != mode || reference.Plane != now.Plane)
        throw common::TValdrinError(
            "Эталон рассчитан в другом режиме или в другой плоскости: разность не строится");
    // Coordinates are written with 4 decimals: equal within half a unit of
    // the last one (and a little for the step's own rounding).
    const TPlaneGrid &a = now.PlaneGrid, &b = reference.PlaneGrid;
    const auto near = [](double x, double y) { return std::fabs(x - y) <= 0.00006; };
    const bool same = a.NU == b.NU && a.NV == b.NV && near(a.UMin, b.UMin) && near(a.VMin, b.VMin)
        && near((a.NU - 1) * a.UStep + a.UMin, (b.NU - 1) * b.UStep + b.UMin)
        && near((a.NV - 1) * a.VStep + a.VMin, (b.NV - 1) * b.VStep + b.VMin);
    if (!same)
        throw common::TValdrinError("Сетка эталона (" + std::to_string(b.NU) + " × "
            + std::to_string(b.NV) + " узлов) не совпадает с сеткой расчета ("
            + std::to_string(a.NU) + " × " + std::to_string(a.NV)
            + " узлов или другие координаты): разность не строится");
    TResult diff = now;
    for (std::size_t i = 0; i < diff.ResultMatrix.size(); ++i) {
        auto &row = diff.ResultMatrix[i];
        const auto &ref = reference.ResultMatrix[i];
        for (std::size_t j = 0; j < row.size(); ++j)
            row[j] = j < ref.size() ? row[j] - ref[j] : kNaN;
    }
    return diff;
}

TArrayLimits ArrayLimits(const TStationSet &stations, int N, bool degrees, double kSearch)
{
    if (N < 2)
        throw common::TValdrinError("Для расчета функции отклика нужно не менее двух датчиков");
    if (!(kSearch > 0) || !std::isfinite(kSearch))
        throw common::TValdrinError("Диапазон волнового числа должен быть больше нуля");
    const TArrayOffsets o = ArrayOffsets(stations, N, degrees);
    const std::size_t n = o.A.size();
    double spread = 0;
    for (std::size_t s = 0; s < n; ++s)
        spread = std::max(spread, std::hypot(o.A[s], o.B[s]));
    TArrayLimits limits;
    if (!(spread > 0)) // every station at the centre: C is 1 everywhere
        return limits;
    // Steps of 1/64 of the narrowest lobe width (about 1/(2 spread)), each
    // crossing refined by bisection to a millionth of it.
    const double dk = 1 / (128 * spread), tolerance = dk * 1e-6;
    constexpr int kAzimuths = 360; // over a half turn: C(-k) = C(k)
    double sum = 0;
    for (int a = 0; a < kAzimuths; ++a) {
        const double theta = std::numbers::pi * a / kAzimuths;
        const double cu = std::cos(theta), cv = std::sin(theta);
        const auto response = [&](double k) {
            double re = 0, im = 0;
            for (std::size_t s = 0; s < n; ++s) {
                const double phase = 2 * std::numbers::pi * k * (o.A[s] * cu + o.B[s] * cv);
                re += std::cos(phase);
                im += std::sin(phase);
            }
            return std::hypot(re, im) / static_cast<double>(n);
        };
        // The first k past `from` where above(C(k)) changes, refined.
        const auto crossing = [&](double from, bool wantAbove, double level) {
            double lo = from;
            for (double k = from + dk; k <= kSearch + dk; k += dk) {
                const double hi = std::min(k, kSearch);
                if ((response(hi) >= level) == wantAbove) {
                    double a0 = lo, b0 = hi;
                    while (b0 - a0 > tolerance) {
                        const double mid = (a0 + b0) / 2;
                        ((response(mid) >= level) == wantAbove ? b0 : a0) = mid;
                    }
                    return b0;
                }
                lo = hi;
                if (hi >= kSearch)
                    break;
            }
            return kNaN;
        };
        const double half = crossing(0, false, std::numbers::sqrt2 / 2);
        if (std::isnan(half))
            continue;
        limits.KMinSmallest
            = std::isnan(limits.KMinSmallest) ? half : std::min(limits.KMinSmallest, half);
        sum += half;
        ++limits.KMinAzimuths;
        const double below = crossing(half, false, 0.5);
        const double lobe = std::isnan(below) ? kNaN : crossing(below, true, 0.5);
        if (!std::isnan(lobe))
            limits.KMax = std::min(limits.KMax, lobe);
    }
    if (limits.KMinAzimuths > 0)
        limits.KMinMean = sum / limits.KMinAzimuths;
    return limits;
}

} // namespace valdrin::calc
