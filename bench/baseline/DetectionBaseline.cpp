// The node scan as it was before the estimate-first law, kept as the
// benchmarks' baseline. Node scan: at every node each station's value (its smallest registered
// magnitude, or the location error), the k-th smallest of them, and for the
// source modes Brune's corner frequency or radius of that magnitude.
//
// Every node is a point (X, Y, Z). In the plane XY all nodes share Z = WPlane;
// in the sections YZ and XZ the node's Z is its V and the plane's fixed
// coordinate is its X or Y, so the ray, the source depth and (in degrees) the
// geodesic take the node's own coordinates. The homogeneous law in metres and
// the location error in metres keep the plane-mapped 3-D distance, which is
// the same distance in every plane.
//
// In the layered medium a station's ray has the same geometry for every
// trial magnitude (only its attenuation follows the frequency), so it is
// traced once per node and station; and the angle search takes the same
// angles for every node of a station and source altitude up to the level
// where their distances part, so the reaches of the first levels are kept
// per station and altitude (the 1-degree level shared, the next two per
// thread). Both give exactly the numbers of a fresh trace per trial.
#include "baseline/Baseline.h"

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

namespace valdrin::calc::baseline {

using enum TShowMode;
using common::TExtended;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The law as it was, through the library's log10, and a call as it was
// from its own library.
[[gnu::noinline]] double LawAtDistance(TExtended noiseTerm, double a1, double a2, double a3,
    double epi, double sourceW, double stationW)
{
    const TExtended dw = TExtended(stationW) - sourceW;
    const TExtended R = std::sqrt(TExtended(epi) * epi + dw * dw);
    if (!(R > 0))
        return kNaN;
    const TExtended km = R / 1000;
    return static_cast<double>(noiseTerm + a1 * std::log10(km) + a2 * km + a3);
}

// Source altitudes of a section whose take-off tables are kept: one table of
// about 90 reaches per station and altitude (some 1.4 KB), with each thread's
// finer levels on top. Beyond this count the rays are traced afresh, which
// gives the same numbers.
constexpr std::size_t kMaxSectionTables = 2048;

struct TStationPrep {
    double U = 0, V = 0, W = 0;
    double A1 = 0, A2 = 0, A3 = 0;
    double Noise = 0; // An * SNR
    TExtended NoiseTerm = 0; // a0 * lg(An * SNR)
};

// The rays of every station from one source altitude.
struct TSourceLevel {
    std::vector<medium::TRayTransitions> Transitions; // per station
    std::vector<medium::TTakeOffTable> Tables; // per station; empty: traced afresh
};

struct TScanSetup {
    TShowMode Mode = smMinMagnitude;
    TViewPlane Plane = TViewPlane::vpXY;
    bool Layered = false;
    bool Degrees = false;
    int K = 1;
    double Pct = 0;
    double SurfaceAlt = 0; // m
    double Depth = 0; // SourceDepth of the plane XY
    double Vs = 0, FcNum = 0;
    TPlaneGrid Grid;
    medium::THorizontalModel Model; // bounds recomputed
    std::vector<TStationPrep> Stations;
    // Layered: one level in the plane XY, one per node row of V in a section.
    std::vector<TSourceLevel> Levels;
};

// What one thread needs of its own: the ray routines rewrite the model's
// bounds and the transitions' coefficients.
struct TWorker {
    medium::THorizontalModel Model;
    std::vector<medium::TRayTransitions> Transitions; // per station
    std::vector<medium::TTakeOffCache> Caches; // per level and station, over the shared tables
    medium::TTravelParams Segments;
    std::vector<double> Values;
};

// A node and a station as the law and the ray see them: the horizontal
// distance (m) and the two elevations (m).
struct TNodeGeometry {
    double Epi = 0;
    double SourceZ = 0;
    double StationZ = 0;
};

double Epicentral(const TScanSetup &setup, const TStationPrep &st, double u, double v)
{
    if (setup.Degrees)
        return static_cast<double>(
            GeoInverse(MakeGeoPoint(v, u, 0), MakeGeoPoint(st.V, st.U, 0)).Distance);
    return std::sqrt((v - st.V) * (v - st.V) + (u - st.U) * (u - st.U));
}

// The plane-mapped distance: U and V offsets in the plane, W off it. In the
// plane XY (and for any plane in metres, as a 3-D distance) it is the node's.
TNodeGeometry PlaneGeometry(const TScanSetup &setup, const TStationPrep &st, double u, double v)
{
    return { Epicentral(setup, st, u, v), setup.Grid.WPlane, st.W };
}

// The node's own geometry in a section: X and Y offsets (or the geodesic
// between longitude X and latitude Y) horizontally, Z = V for both points.
TNodeGeometry SectionGeometry(const TScanSetup &setup, const TStationPrep &st, double u, double v)
{
    const bool yz = setup.Plane == TViewPlane::vpYZ;
    const double x = yz ? setup.Grid.WPlane : u, y = yz ? u : setup.Grid.WPlane;
    const double sx = yz ? st.W : st.U, sy = yz ? st.U : st.W;
    double epi;
    if (setup.Degrees)
        epi = static_cast<double>(
            GeoInverse(MakeGeoPoint(y, x, 0), MakeGeoPoint(sy, sx, 0)).Distance);
    else
        epi = std::sqrt((y - sy) * (y - sy) + (x - sx) * (x - sx));
    return { epi, v, st.V };
}

bool IsSection(const TScanSetup &setup)
{
    return setup.Plane == TViewPlane::vpYZ || setup.Plane == TViewPlane::vpXZ;
}

// Source depth below the surface of the nodes of row j of V.
double NodeDepth(const TScanSetup &setup, double v)
{
    return IsSection(setup) ? setup.SurfaceAlt - v : setup.Depth;
}

double StationValue(const TScanSetup &setup, TWorker &w, std::size_t s, double u, double v, int j)
{
    const TStationPrep &st = setup.Stations[s];
    const bool section = IsSection(setup);
    // In metres the plane-mapped 3-D distance is the node's; the law and the
    // location error keep its arithmetic. The ray needs the node's own.
    const bool own = section && (setup.Degrees || setup.Layered);
    const TNodeGeometry g = own ? SectionGeometry(setup, st, u, v) : PlaneGeometry(setup, st, u, v);
    if (setup.Mode == smLocError) {
        const double dz = g.StationZ - g.SourceZ;
        return std::sqrt(g.Epi * g.Epi + dz * dz) * setup.Pct / 100;
    }

    const double law
        = LawAtDistance(st.NoiseTerm, st.A1, st.A2, st.A3, g.Epi, g.SourceZ, g.StationZ);
    if (!setup.Layered)
        return law;
    const std::size_t level = section ? static_cast<std::size_t>(j) : 0;
    const TSourceLevel &rays = setup.Levels[level];
    medium::TRayTransitions &transitions = w.Transitions[s];
    if (section)
        transitions = rays.Transitions[s];
    medium::TTakeOffCache *cache = nullptr;
    if (!rays.Tables.empty())
        cache = &w.Caches[level * setup.Stations.size() + s];
    bool traced = false, ok = false;
    auto pathAt = [&](double frequency) {
        if (!traced) {
            ok = baseline::TraceRayGeometry(
                w.Model, transitions, w.Segments, g.Epi, g.SourceZ, g.StationZ, cache);
            traced = true;
        }
        medium::SetRayFrequency(w.Segments, w.Model, frequency);
        return medium::TPathFactor { medium::RayFactor(w.Segments, transitions), ok };
    };
    return medium::RaiseToThreshold(
        law, st.Noise, NodeDepth(setup, v), setup.Vs, setup.FcNum, pathAt);
}

double NodeValue(const TScanSetup &setup, TWorker &w, double u, double v, int j)
{
    w.Values.clear();
    for (std::size_t s = 0; s < setup.Stations.size(); ++s) {
        const double value = StationValue(setup, w, s, u, v, j);
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
        const medium::TBruneSource src = medium::BruneSource(m, setup.Vs, NodeDepth(setup, v));
        return setup.Mode == smCornerFreq ? src.Fc : src.R0;
    }
    return m;
}

// The rays of every station from the source altitude alt.
TSourceLevel MakeLevel(const TScanSetup &setup, double alt, bool tables)
{
    TSourceLevel level;
    for (const TStationPrep &st : setup.Stations) {
        const double stationZ = IsSection(setup) ? st.V : st.W;
        level.Transitions.push_back(medium::StraightTransitions(setup.Model, alt, stationZ));
        if (tables)
            level.Tables.push_back(
                baseline::BuildTakeOffTable(setup.Model, level.Transitions.back(), alt, stationZ));
    }
    return level;
}

TScanSetup MakeSetup(const TCalcSnapshot &snapshot)
{
    const TCalcParams &p = snapshot.Params;
    const TStationSet &set = snapshot.Stations;
    TScanSetup setup;
    setup.Mode = p.Mode;
    setup.Plane = p.Plane;
    setup.Layered = p.Medium == TMediumKind::Layered
        && (p.Mode == smMinMagnitude || p.Mode == smCornerFreq || p.Mode == smSourceSize);
    setup.Degrees = p.Degrees;
    setup.K = p.k;
    setup.Pct = p.LocErrorPct;
    setup.Grid = snapshot.PlaneGrid;
    setup.SurfaceAlt = p.SurfaceAlt;
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
    }
    if (!setup.Layered)
        return setup;
    if (!IsSection(setup)) {
        setup.Levels.push_back(MakeLevel(setup, setup.Grid.WPlane, true));
        return setup;
    }
    const auto rows = static_cast<std::size_t>(std::max(setup.Grid.NV, 0));
    const bool tables = rows * setup.Stations.size() <= kMaxSectionTables;
    for (std::size_t j = 0; j < rows; ++j)
        setup.Levels.push_back(
            MakeLevel(setup, static_cast<double>(j) * setup.Grid.VStep + setup.Grid.VMin, tables));
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
            const std::size_t n = setup.Stations.size();
            if (!setup.Levels.empty())
                w.Transitions = setup.Levels[0].Transitions;
            w.Caches.resize(setup.Levels.size() * n);
            for (std::size_t l = 0; l < setup.Levels.size(); ++l)
                for (std::size_t s = 0; s < setup.Levels[l].Tables.size(); ++s)
                    w.Caches[l * n + s].Table = &setup.Levels[l].Tables[s];
            return w;
        },
        [&](TWorker &w, int item) {
            const int i = item / pieces, piece = item % pieces;
            const double u = i * setup.Grid.UStep + setup.Grid.UMin;
            auto &row = matrix[static_cast<std::size_t>(i)];
            for (int j = pieceStart(piece); j < pieceStart(piece + 1); ++j) {
                const double v = j * setup.Grid.VStep + setup.Grid.VMin;
                row[static_cast<std::size_t>(j)] = NodeValue(setup, w, u, v, j);
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

} // namespace valdrin::calc::baseline
