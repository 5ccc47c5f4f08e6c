// Node scan: at every node each station's value (its smallest registered
// magnitude, or the location error), the k-th smallest of them, and for the
// source modes Brune's corner frequency or radius of that magnitude.
//
// In the layered medium a station's ray has the same geometry for every
// trial magnitude (only its attenuation follows the frequency), so it is
// traced once per node and station; and the angle search takes the same
// angles for every node of a station up to the level where their distances
// part, so the reaches of the first levels are kept per station (the
// 1-degree level shared, the next two per thread). Both give exactly the
// numbers of a fresh trace per trial.
#include "calc/Detection.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>

#include "calc/ParallelItems.h"
#include "calc/geodesy.h"
#include "medium/Threshold.h"
#include "medium/godograf.h"

namespace valdrin::calc {

using enum TShowMode;
using common::TExtended;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct TStationPrep {
    double U = 0, V = 0, W = 0;
    double A1 = 0, A2 = 0, A3 = 0;
    double Noise = 0; // An * SNR
    TExtended NoiseTerm = 0; // a0 * lg(An * SNR)
    medium::TRayTransitions Transitions;
    medium::TTakeOffTable Table;
};

struct TScanSetup {
    TShowMode Mode = smMinMagnitude;
    bool Layered = false;
    bool Degrees = false;
    int K = 1;
    double Pct = 0;
    double Depth = 0; // SourceDepth
    double Vs = 0, FcNum = 0;
    TPlaneGrid Grid;
    medium::THorizontalModel Model; // bounds recomputed
    std::vector<TStationPrep> Stations;
};

// What one thread needs of its own: the ray routines rewrite the model's
// bounds and the transitions' coefficients.
struct TWorker {
    medium::THorizontalModel Model;
    std::vector<medium::TRayTransitions> Transitions;
    std::vector<medium::TTakeOffCache> Caches; // per station, over its shared table
    medium::TTravelParams Segments;
    std::vector<double> Values;
};

double Epicentral(const TScanSetup &setup, const TStationPrep &st, double u, double v)
{
    if (setup.Degrees)
        return static_cast<double>(
            GeoInverse(MakeGeoPoint(v, u, 0), MakeGeoPoint(st.V, st.U, 0)).Distance);
    return std::sqrt((v - st.V) * (v - st.V) + (u - st.U) * (u - st.U));
}

double StationValue(const TScanSetup &setup, TWorker &w, std::size_t s, double u, double v)
{
    const TStationPrep &st = setup.Stations[s];
    const double wPlane = setup.Grid.WPlane;
    const double epi = Epicentral(setup, st, u, v);
    if (setup.Mode == smLocError)
        return std::sqrt(epi * epi + (st.W - wPlane) * (st.W - wPlane)) * setup.Pct / 100;

    const double law = medium::LawAtDistance(st.NoiseTerm, st.A1, st.A2, st.A3, epi, wPlane, st.W);
    if (!setup.Layered)
        return law;
    bool traced = false, ok = false;
    auto pathAt = [&](double frequency) {
        if (!traced) {
            ok = medium::TraceRayGeometry(
                w.Model, w.Transitions[s], w.Segments, epi, wPlane, st.W, &w.Caches[s]);
            traced = true;
        }
        medium::SetRayFrequency(w.Segments, w.Model, frequency);
        return medium::TPathFactor { medium::RayFactor(w.Segments, w.Transitions[s]), ok };
    };
    return medium::RaiseToThreshold(law, st.Noise, setup.Depth, setup.Vs, setup.FcNum, pathAt);
}

double NodeValue(const TScanSetup &setup, TWorker &w, double u, double v)
{
    w.Values.clear();
    for (std::size_t s = 0; s < setup.Stations.size(); ++s) {
        const double value = StationValue(setup, w, s, u, v);
        if (!std::isnan(value)) // no value at this node: left out
            w.Values.push_back(value);
    }
    const auto k = static_cast<std::size_t>(setup.K);
    if (w.Values.size() < k)
        return kNaN;
    // The k-th smallest, as the full ascending sort would give it.
    std::nth_element(
        w.Values.begin(), w.Values.begin() + static_cast<std::ptrdiff_t>(k - 1), w.Values.end());
    const double m = w.Values[k - 1];
    if (setup.Mode == smCornerFreq || setup.Mode == smSourceSize) {
        if (!std::isfinite(m)) // +infinity: not registered, kept as such
            return m;
        const TBruneSource src = BruneSource(m, setup.Vs, setup.Depth);
        return setup.Mode == smCornerFreq ? src.Fc : src.R0;
    }
    return m;
}

TScanSetup MakeSetup(const TCalcSnapshot &snapshot)
{
    const TCalcParams &p = snapshot.Params;
    const TStationSet &set = snapshot.Stations;
    TScanSetup setup;
    setup.Mode = p.Mode;
    setup.Layered = p.Medium == TMediumKind::Layered
        && (p.Mode == smMinMagnitude || p.Mode == smCornerFreq || p.Mode == smSourceSize);
    setup.Degrees = p.Degrees;
    setup.K = p.k;
    setup.Pct = p.LocErrorPct;
    setup.Grid = snapshot.PlaneGrid;
    setup.Depth = p.SurfaceAlt - setup.Grid.WPlane;
    setup.Vs = p.Vs;
    setup.FcNum = p.FcNum;
    if (setup.Layered) {
        setup.Model = snapshot.Model;
        medium::UpdateLayerBounds(setup.Model);
    }
    setup.Stations.resize(static_cast<std::size_t>(p.N));
    for (std::size_t s = 0; s < setup.Stations.size(); ++s) {
        TStationPrep &st = setup.Stations[s];
        st.U = set.U[s];
        st.V = set.V[s];
        st.W = set.W[s];
        st.A1 = set.A1[s];
        st.A2 = set.A2[s];
        st.A3 = set.A3[s];
        st.Noise = set.An[s] * set.SNR[s];
        st.NoiseTerm = medium::LawNoiseTerm(set.A0[s], st.Noise);
        if (setup.Layered) {
            st.Transitions = medium::StraightTransitions(setup.Model, setup.Grid.WPlane, st.W);
            st.Table
                = medium::BuildTakeOffTable(setup.Model, st.Transitions, setup.Grid.WPlane, st.W);
        }
    }
    return setup;
}

} // namespace

std::optional<TMatrix2D> ScanNodes(const TCalcSnapshot &snapshot, const TRunControl &control)
{
    const TScanSetup setup = MakeSetup(snapshot);
    const int NU = setup.Grid.NU, NV = setup.Grid.NV;
    TMatrix2D matrix(
        static_cast<std::size_t>(NU), std::vector<double>(static_cast<std::size_t>(NV)));

    // Rows are cut into pieces, so that a long row is shared among the threads
    // and cancel and progress need not wait for a whole row. A node's value
    // does not depend on which thread computes it, or in what order.
    constexpr int kNodesPerPiece = 64;
    const int pieces = (NV + kNodesPerPiece - 1) / kNodesPerPiece;
    const auto pieceStart
        = [&](int piece) { return static_cast<int>(static_cast<long long>(piece) * NV / pieces); };
    // Reported about a thousand times a run, and at the end.
    const int total = NU * NV;
    const int reportStep = std::max(total / 1000, 1);
    int nodesDone = 0, reported = 0;
    const bool complete = ParallelItems(
        NU * pieces, control,
        [&] {
            TWorker w;
            w.Model = setup.Model;
            w.Values.reserve(setup.Stations.size());
            w.Caches.resize(setup.Stations.size());
            for (std::size_t s = 0; s < setup.Stations.size(); ++s) {
                w.Transitions.push_back(setup.Stations[s].Transitions);
                w.Caches[s].Table = &setup.Stations[s].Table;
            }
            return w;
        },
        [&](TWorker &w, int item) {
            const int i = item / pieces, piece = item % pieces;
            const double u = i * setup.Grid.UStep + setup.Grid.UMin;
            auto &row = matrix[static_cast<std::size_t>(i)];
            for (int j = pieceStart(piece); j < pieceStart(piece + 1); ++j) {
                const double v = j * setup.Grid.VStep + setup.Grid.VMin;
                row[static_cast<std::size_t>(j)] = NodeValue(setup, w, u, v);
            }
        },
        [&](int item) {
            const int piece = item % pieces;
            nodesDone += pieceStart(piece + 1) - pieceStart(piece);
            if (control.Progress && (nodesDone - reported >= reportStep || nodesDone == total)) {
                reported = nodesDone;
                control.Progress(nodesDone, total);
            }
        });
    if (!complete)
        return std::nullopt;
    return matrix;
}

} // namespace valdrin::calc
