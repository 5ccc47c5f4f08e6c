// Planning a network from one run: the order statistics of the station
// values at every node answer "what if a station is added or removed"
// without scanning the network again.
#pragma once

#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "calc/Computation.h"

namespace valdrin::calc {

// The (k-1)-th, k-th and (k+1)-th smallest station values at a node (1-based
// ranks among the values that are not NaN; +infinity, "not registered", is a
// value). A rank beyond Count is NaN; the (k-1)-th is -infinity when k = 1.
struct TOrderStats {
    double Below = std::numeric_limits<double>::quiet_NaN();
    double Kth = std::numeric_limits<double>::quiet_NaN();
    double Above = std::numeric_limits<double>::quiet_NaN();
    int Count = 0; // stations with a value (not NaN)
};

// From the station values of a node (NaN: no value), k >= 1.
TOrderStats MakeOrderStats(std::span<const double> values, int k);

// The k-th after a station of value m is added (NaN: it has none at the node):
// min(k-th, max((k-1)-th, m)).
double KthAfterAdding(const TOrderStats &stats, int k, double m);
// The k-th after a station of value s is removed: the (k+1)-th when s <= k-th.
double KthAfterRemoving(const TOrderStats &stats, double s);

// The order statistics of every node of the snapshot's plane grid, with the
// matrix RunComputation gives for it (the same bit for bit).
struct TOrderGrid {
    int NU = 0, NV = 0, K = 1;
    std::vector<TOrderStats> Nodes; // node (i, j) at i * NV + j
    TMatrix2D Matrix;
    const TOrderStats &At(int i, int j) const
    {
        return Nodes[static_cast<std::size_t>(i) * static_cast<std::size_t>(NV)
            + static_cast<std::size_t>(j)];
    }
};

// Refusals as RunComputation's (common::TValdrinError); cancelled: nullopt.
std::optional<TOrderGrid> ScanOrderStats(
    const TCalcSnapshot &snapshot, const TRunControl &control = {});

// What the network loses without one station, over the nodes of the grid.
struct TOutageFigures {
    // Rise of the k-th station value (magnitude) over the nodes where it is
    // finite with and without the station; NaN where there is no such node.
    double MeanRise = std::numeric_limits<double>::quiet_NaN();
    double MaxRise = std::numeric_limits<double>::quiet_NaN();
    int Nodes = 0; // nodes where both are finite
    // Area (plane units squared: m², or degrees² in degrees) of the nodes
    // whose k-th was <= target and is no longer; 0 without a target (NaN).
    double AreaLost = 0;
};

// The figures of every station in table order, from one scan.
std::optional<std::vector<TOutageFigures>> OutageFigures(
    const TCalcSnapshot &snapshot, const TRunControl &control = {}, double target = NAN);

// The matrix RunComputation gives for the network without station s (0-based
// in table order), from the order statistics of the whole network.
std::optional<TMatrix2D> OutageMap(const TCalcSnapshot &snapshot, const TOrderGrid &grid,
    std::size_t station, const TRunControl &control = {});

// Where a new station would help: candidate positions on the plane XY, each
// a station at the surface elevation with the coefficients and noise of one
// row of the table.
struct TGainOptions {
    int CandidatesU = 0, CandidatesV = 0; // candidate grid over the nodes' extent; 0: the nodes
    std::size_t Row = 0; // table row (0-based) whose a0..a3, An and SNR the station takes
    // NaN: the gain is the mean lowering of the k-th over the nodes where it
    // is finite now; otherwise the growth of the area (plane units squared)
    // where it is <= Target.
    double Target = NAN;
    // The target area: the nodes with U0 <= u <= U1 and V0 <= v <= V1 (plane
    // units); the whole grid by default.
    struct TArea {
        double U0 = -INFINITY, U1 = INFINITY, V0 = -INFINITY, V1 = INFINITY;
        bool operator==(const TArea &) const = default;
    } Area;
};

struct TGainMap {
    TPlaneGrid Grid; // the candidates, as a node grid of the plane XY
    TMatrix2D Gain; // [a][b]: the candidate at (a * UStep + UMin, b * VStep + VMin)
};

// Refuses (common::TValdrinError) other planes, a row beyond the table and a
// candidate grid over kMaxMatrixSide on a side; cancelled: nullopt.
std::optional<TGainMap> GainMap(const TCalcSnapshot &snapshot, const TOrderGrid &grid,
    const TGainOptions &options, const TRunControl &control = {});

struct TNextStation {
    double U = 0, V = 0; // plane coordinates
    double Gain = 0; // as GainMap's, over the network with the stations placed before it
};

// Greedy: the best candidate (the first in the candidate grid's order among
// equals), placed, the order statistics scanned again, count times.
std::optional<std::vector<TNextStation>> NextStations(const TCalcSnapshot &snapshot,
    const TGainOptions &options, int count, const TRunControl &control = {});

// The snapshot with one more station at (u, v) on the surface, with the
// coefficients and noise of table row `row`.
TCalcSnapshot WithStationAdded(TCalcSnapshot snapshot, double u, double v, std::size_t row);

// Detection with a scattered noise: a log-normal scatter of sigma dB of the
// noise amplitude moves a station's threshold m_s by a0 * sigma/20 standard
// deviations of magnitude, so it detects M with probability
// Phi((M - m_s) / (|a0| * sigma/20)); at least k of them detect with the
// probability the Poisson-binomial recursion gives exactly.

// P(at least k of the stations detect M), from each station's threshold m
// (NaN: no value, left out; +infinity: never) and scale |a0| * sigma/20 (0:
// a step at m). O(N k).
double DetectionProbability(
    std::span<const double> m, std::span<const double> scale, int k, double M);

// The smallest magnitude detected by at least k stations with probability p
// (0 < p < 1), by bisection to 0.001 (the midpoint of the last bracket); NaN
// with fewer than k values, +infinity when fewer than k stations ever
// detect. All scales 0: the k-th smallest threshold itself.
double MagnitudeAtProbability(
    std::span<const double> m, std::span<const double> scale, int k, double p);

// The magnitude mode's result with every node's magnitude reached with
// probability p (sigmaDb >= 0; 0 gives RunComputation's result); or, with
// atMagnitude a number, the probability of detecting that magnitude. Refuses
// (common::TValdrinError) other modes and p, sigma out of range; cancelled:
// nullopt.
std::optional<TResult> RunProbabilityComputation(const TCalcSnapshot &snapshot, double sigmaDb,
    double p, const TRunControl &control = {}, double atMagnitude = NAN);

// now - reference at every node, as a result of now's mode, plane and grid.
// Refuses (common::TValdrinError) other modes than 3..6 and a reference of
// another mode, plane or grid (to the results file's written precision).
TResult DifferenceResult(const TResult &now, const TResult &reference);

// Limits of the array response C(k) = |mean of exp(2*pi*i*k.r)| over the
// summed stations (the first table row left out, as in the response modes),
// searched along 360 azimuths up to kSearch (cycles per metre): the
// resolution limit, the half-power (C^2 = 1/2) half-width of the central
// peak, and the aliasing limit, the smallest wavenumber beyond the central
// peak at which a side lobe reaches 0.5. Wavelengths are 1/k.
struct TArrayLimits {
    double KMinSmallest = NAN; // cycles/m, over the azimuths; NaN: the peak is wider than kSearch
    double KMinMean = NAN; // cycles/m, over the azimuths where it lies within kSearch
    int KMinAzimuths = 0; // of them
    double KMax = INFINITY; // cycles/m; +infinity: no side lobe reaches 0.5 within kSearch
};

// Fewer than two stations (one summed) and kSearch not above 0 refuse
// (common::TValdrinError).
TArrayLimits ArrayLimits(const TStationSet &stations, int N, bool degrees, double kSearch);

} // namespace valdrin::calc
