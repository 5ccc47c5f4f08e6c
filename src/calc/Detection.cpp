// Node scan: at every node each station's value (its smallest registered
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
//
// The homogeneous law decides the k-th value from a double-precision pass
// over every station (LawEstimate) and evaluates in extended precision only
// the stations that pass leaves near the k-th; the value written is always
// the extended one, so the matrix is the same bit for bit. In degrees that
// pass takes the chord between node and station, and the geodesic itself
// keeps the reduced latitudes of stations and nodes. The layered magnitude
// search settles its trials in double where they are clear of the
// threshold (medium::TTrialDecider).
#include "calc/Detection.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "calc/LawEstimate.h"
#include "calc/ParallelItems.h"
#include "calc/geodesy.h"
#include "medium/Threshold.h"
#include "medium/godograf.h"

namespace valdrin::calc {

using enum TShowMode;
using common::TExtended;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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
    double NoiseTermD = 0; // the same rounded to double, for the estimate
    double Longitude = 0; // degrees: the station's longitude in the geodesic
    TReducedLatitude Latitude; // degrees: its reduced latitude, for the estimate
    TGeoLatitude GeoLatitude; // degrees: its reduced latitude in the geodesic
    TGeoCartesian Cartesian; // degrees: its point, for the chord estimate
};

// The rays of every station from one source altitude.
// The stations' law coefficients side by side, for the estimate's loop.
struct TStationArrays {
    std::vector<double> U, V, Z, A1, A2, A3, NoiseTerm;
};

struct TSourceLevel {
    std::vector<medium::TRayTransitions> Transitions; // per station
    std::vector<medium::TTakeOffTable> Tables; // per station; empty: traced afresh
    double Depth = 0; // m below the surface
    medium::TSourceConstants Source; // Brune's source at that depth, for the trials in double
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
    // Degrees, plane XY: the reduced latitude of each column of nodes (by j).
    std::vector<TGeoLatitude> ColumnLatitudes;
    bool Estimate = false; // the k-th law value found by LawEstimates first
    TStationArrays Arrays;
};

// What one thread needs of its own: the ray routines rewrite the model's
// bounds and the transitions' coefficients.
struct TWorker {
    medium::THorizontalModel Model;
    std::vector<medium::TRayTransitions> Transitions; // per station
    std::vector<medium::TTakeOffCache> Caches; // per level and station, over the shared tables
    medium::TTravelParams Segments;
    std::vector<double> Values;
    std::vector<double> Epi, EpiBound, Estimates, Bounds, R2; // per station
    std::vector<double> Order; // scratch of the selection
    std::size_t KthGuess = 0; // the station of the last node's k-th estimate
    // Degrees: the reduced latitude of the last node latitude seen (as bits).
    std::uint64_t NodeLatitudeBits = 0;
    bool NodeLatitudeKept = false;
    TGeoLatitude NodeLatitude;
};

// A node and a station as the law and the ray see them: the horizontal
// distance (m) and the two elevations (m).
struct TNodeGeometry {
    double Epi = 0;
    double SourceZ = 0;
    double StationZ = 0;
};

// The geodesic from the node to the station as GeoInverse gives it between
// points of height 0, the reduced latitudes kept: the station's from the
// setup, the node's from the setup's column j in the plane XY, otherwise
// while it repeats (a row of nodes shares it in a section).
double GeoEpicentral(const TScanSetup &setup, TWorker &w, const TStationPrep &st, double latitude,
    double longitude, int j)
{
    if (static_cast<std::size_t>(j) < setup.ColumnLatitudes.size())
        return static_cast<double>(GeoDistance(setup.ColumnLatitudes[static_cast<std::size_t>(j)],
            longitude, st.GeoLatitude, st.Longitude));
    const auto bits = std::bit_cast<std::uint64_t>(latitude);
    if (!w.NodeLatitudeKept || w.NodeLatitudeBits != bits) {
        w.NodeLatitude = GeoReducedLatitude(latitude);
        w.NodeLatitudeBits = bits;
        w.NodeLatitudeKept = true;
    }
    return static_cast<double>(
        GeoDistance(w.NodeLatitude, longitude, st.GeoLatitude, st.Longitude));
}

double Epicentral(
    const TScanSetup &setup, TWorker &w, const TStationPrep &st, double u, double v, int j)
{
    if (setup.Degrees)
        return GeoEpicentral(setup, w, st, v, u, j);
    return std::sqrt((v - st.V) * (v - st.V) + (u - st.U) * (u - st.U));
}

// The plane-mapped distance: U and V offsets in the plane, W off it. In the
// plane XY (and for any plane in metres, as a 3-D distance) it is the node's.
TNodeGeometry PlaneGeometry(
    const TScanSetup &setup, TWorker &w, const TStationPrep &st, double u, double v, int j)
{
    return { Epicentral(setup, w, st, u, v, j), setup.Grid.WPlane, st.W };
}

// The node's own geometry in a section: X and Y offsets (or the geodesic
// between longitude X and latitude Y) horizontally, Z = V for both points.
TNodeGeometry SectionGeometry(
    const TScanSetup &setup, TWorker &w, const TStationPrep &st, double u, double v)
{
    const bool yz = setup.Plane == TViewPlane::vpYZ;
    const double x = yz ? setup.Grid.WPlane : u, y = yz ? u : setup.Grid.WPlane;
    const double sx = yz ? st.W : st.U, sy = yz ? st.U : st.W;
    double epi;
    if (setup.Degrees)
        epi = GeoEpicentral(setup, w, st, y, x, -1); // the station's (sy, sx) kept in st
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

// The node's value from the k-th smallest station value m.
double KthToValue(const TScanSetup &setup, double m, double v)
{
    if (setup.Mode == smCornerFreq || setup.Mode == smSourceSize) {
        if (!std::isfinite(m)) // +infinity: not registered, kept as such
            return m;
        const medium::TBruneSource src = medium::BruneSource(m, setup.Vs, NodeDepth(setup, v));
        return setup.Mode == smCornerFreq ? src.Fc : src.R0;
    }
    return m;
}

double StationValue(const TScanSetup &setup, TWorker &w, std::size_t s, double u, double v, int j)
{
    const TStationPrep &st = setup.Stations[s];
    const bool section = IsSection(setup);
    // In metres the plane-mapped 3-D distance is the node's; the law and the
    // location error keep its arithmetic. The ray needs the node's own.
    const bool own = section && (setup.Degrees || setup.Layered);
    const TNodeGeometry g
        = own ? SectionGeometry(setup, w, st, u, v) : PlaneGeometry(setup, w, st, u, v, j);
    if (setup.Mode == smLocError) {
        const double dz = g.StationZ - g.SourceZ;
        return std::sqrt(g.Epi * g.Epi + dz * dz) * setup.Pct / 100;
    }

    const double law
        = medium::LawAtDistance(st.NoiseTerm, st.A1, st.A2, st.A3, g.Epi, g.SourceZ, g.StationZ);
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
    auto trace = [&] {
        if (!traced) {
            ok = medium::TraceRayGeometry(
                w.Model, transitions, w.Segments, g.Epi, g.SourceZ, g.StationZ, cache);
            traced = true;
        }
    };
    auto pathAt = [&](double frequency) {
        trace();
        medium::SetRayFrequency(w.Segments, w.Model, frequency);
        return medium::TPathFactor { medium::RayFactor(w.Segments, transitions), ok };
    };
    // Most trials are settled in double from the ray's geometry; the ray is
    // the one the full trials use (a trace has no other effect).
    const double depth = NodeDepth(setup, v);
    medium::TTrialDecider decider;
    bool prepared = false;
    auto decide = [&](double M) {
        if (!prepared) {
            prepared = true;
            if (rays.Source.Ok && rays.Depth == depth) {
                trace();
                if (ok)
                    decider = medium::MakeTrialDecider(
                        rays.Source, w.Segments, transitions, w.Model, st.Noise / medium::kWaToTm);
            }
        }
        return decider(M);
    };
    return medium::RaiseToThreshold(law, st.Noise, depth, setup.Vs, setup.FcNum, pathAt, decide);
}

bool LawEstimates(
    const TScanSetup &setup, TWorker &w, double u, double v, double sourceZ, double &bound)
{
    const std::size_t n = setup.Stations.size();
    const TStationArrays &a = setup.Arrays;
    const TLawInputs in { w.Epi.data(), w.EpiBound.data(), a.U.data(), a.V.data(), a.Z.data(),
        a.A1.data(), a.A2.data(), a.A3.data(), a.NoiseTerm.data() };
    double *value = w.Estimates.data(), *b = w.Bounds.data(), *r2 = w.R2.data();
    EstimateLaw(setup.Degrees, n, in, u, v, sourceZ, value, b, r2);
    return LawRanges(n, r2, w.EpiBound.data(), b, bound);
}

// The node's latitude and longitude in the geodesic to a station.
struct TNodeGeo {
    double Latitude = 0, Longitude = 0;
};

TNodeGeo NodeGeo(const TScanSetup &setup, double u, double v)
{
    if (!IsSection(setup))
        return { v, u };
    const bool yz = setup.Plane == TViewPlane::vpYZ;
    const double x = yz ? setup.Grid.WPlane : u, y = yz ? u : setup.Grid.WPlane;
    return { y, x };
}

// The k-th smallest of values (1 <= k <= size, no NaN among them).
double KthSmallest(std::vector<double> &values, std::size_t k, std::vector<double> &scratch)
{
    constexpr std::size_t kSmall = 8;
    if (k > kSmall) {
        scratch.assign(values.begin(), values.end());
        std::nth_element(
            scratch.begin(), scratch.begin() + static_cast<std::ptrdiff_t>(k - 1), scratch.end());
        return scratch[k - 1];
    }
    // The k smallest kept in order as the values pass.
    double best[kSmall];
    std::size_t have = 0;
    for (const double x : values) {
        if (have == k && !(x < best[k - 1]))
            continue;
        std::size_t i = have < k ? have++ : k - 1;
        for (; i > 0 && best[i - 1] > x; --i)
            best[i] = best[i - 1];
        best[i] = x;
    }
    return best[k - 1];
}

// Every station's estimate and bound at the node (LawEstimates), the
// distances in degrees estimated first. False where they cannot be vouched for.
bool NodeEstimates(const TScanSetup &setup, TWorker &w, double u, double v, double &bound)
{
    const std::size_t n = setup.Stations.size();
    const bool own = IsSection(setup) && setup.Degrees;
    w.Epi.resize(n);
    w.EpiBound.resize(n);
    w.Estimates.resize(n);
    w.Bounds.resize(n);
    w.R2.resize(n);
    if (setup.Degrees) {
        // The chord decides where it can (lines up to 1000 km), the series
        // in double elsewhere.
        const TNodeGeo geo = NodeGeo(setup, u, v);
        const TGeoCartesian node = GeoCartesianEstimate(geo.Latitude, geo.Longitude);
        bool reduced = false;
        TReducedLatitude latitude;
        for (std::size_t s = 0; s < n; ++s) {
            const TStationPrep &st = setup.Stations[s];
            double epi = GeoChordEstimate(node, st.Cartesian, w.EpiBound[s]);
            if (std::isnan(epi)) {
                if (!reduced)
                    latitude = ReducedLatitudeEstimate(geo.Latitude);
                reduced = true;
                epi = GeoDistanceEstimate(latitude, st.Latitude, st.Longitude - geo.Longitude);
                if (std::isnan(epi))
                    return false;
                w.EpiBound[s] = GeoEstimateBound(epi);
            }
            w.Epi[s] = epi;
        }
    }
    return LawEstimates(setup, w, u, v, own ? v : setup.Grid.WPlane, bound);
}

// The k-th smallest law value at the node from the estimates: nullopt where
// an estimate cannot be vouched for (the caller then evaluates every station).
std::optional<double> EstimatedKth(const TScanSetup &setup, TWorker &w, double u, double v, int j)
{
    const std::size_t n = setup.Stations.size();
    double bound = 0;
    if (!NodeEstimates(setup, w, u, v, bound))
        return std::nullopt;
    // Every true value x lies within bound of its estimate, so the k-th
    // smallest lies within bound of the k-th estimate e. A station whose
    // estimate is below e - 2*bound is below it for certain, one above
    // e + 2*bound above it; the others are evaluated in full, and the k-th
    // is found among them after the ones certainly below. (The rounding of
    // these sums is far inside the bound's margin.)
    const auto k = static_cast<std::size_t>(setup.K);
    const double *x = w.Estimates.data();
    // Neighbouring nodes mostly keep the order of their stations: the
    // station of the last node's k-th estimate is tried first, by counting.
    double e = x[w.KthGuess];
    TRankCounts c = CountRanks(n, x, e, e - 2 * bound, e + 2 * bound);
    if (!(c.Less < k && k <= c.Less + c.Equal)) {
        e = KthSmallest(w.Estimates, k, w.Order);
        w.KthGuess = static_cast<std::size_t>(std::find(x, x + n, e) - x);
        c = CountRanks(n, x, e, e - 2 * bound, e + 2 * bound);
    }
    const std::size_t below = c.Below;
    if (below + 1 == k && c.Within == 1) // the station of e alone
        return StationValue(setup, w, w.KthGuess, u, v, j);
    const double low = e - 2 * bound, high = e + 2 * bound;
    w.Values.clear();
    for (std::size_t s = 0; s < n; ++s)
        if (x[s] >= low && x[s] <= high)
            w.Values.push_back(StationValue(setup, w, s, u, v, j));
    const std::size_t rank = k - 1 - below;
    if (below >= k || rank >= w.Values.size())
        return std::nullopt; // cannot happen with a sound bound; evaluate in full
    return KthSmallest(w.Values, rank + 1, w.Order);
}

double NodeValue(const TScanSetup &setup, TWorker &w, double u, double v, int j)
{
    if (setup.Estimate) {
        if (const auto m = EstimatedKth(setup, w, u, v, j))
            return KthToValue(setup, *m, v);
    }
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
    return KthToValue(setup, w.Values[k - 1], v);
}

// The rays of every station from the source altitude alt.
TSourceLevel MakeLevel(const TScanSetup &setup, double alt, bool tables)
{
    TSourceLevel level;
    level.Depth = NodeDepth(setup, alt);
    level.Source = medium::MakeSourceConstants(level.Depth, setup.Vs, setup.FcNum);
    for (const TStationPrep &st : setup.Stations) {
        const double stationZ = IsSection(setup) ? st.V : st.W;
        level.Transitions.push_back(medium::StraightTransitions(setup.Model, alt, stationZ));
        if (tables)
            level.Tables.push_back(
                medium::BuildTakeOffTable(setup.Model, level.Transitions.back(), alt, stationZ));
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
        st.NoiseTermD = static_cast<double>(st.NoiseTerm);
        if (setup.Degrees) {
            const bool section = IsSection(setup), yz = setup.Plane == TViewPlane::vpYZ;
            const double lat = !section ? st.V : yz ? st.U : st.W;
            st.Longitude = !section ? st.U : yz ? st.W : st.U;
            st.Latitude = ReducedLatitudeEstimate(lat);
            st.GeoLatitude = GeoReducedLatitude(lat);
            st.Cartesian = GeoCartesianEstimate(lat, st.Longitude);
        }
    }
    if (setup.Degrees && !IsSection(setup))
        for (int j = 0; j < setup.Grid.NV; ++j) {
            const double v = j * setup.Grid.VStep + setup.Grid.VMin; // as the scan takes it
            setup.ColumnLatitudes.push_back(GeoReducedLatitude(v));
        }
    TStationArrays &a = setup.Arrays;
    const bool own = IsSection(setup) && setup.Degrees;
    for (const TStationPrep &st : setup.Stations) {
        a.U.push_back(st.U);
        a.V.push_back(st.V);
        a.Z.push_back(own ? st.V : st.W);
        a.A1.push_back(st.A1);
        a.A2.push_back(st.A2);
        a.A3.push_back(st.A3);
        a.NoiseTerm.push_back(st.NoiseTermD);
    }
    setup.Estimate = !setup.Layered && setup.Mode != smLocError && setup.K >= 1
        && static_cast<std::size_t>(setup.K) <= setup.Stations.size();
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

TWorker MakeWorker(const TScanSetup &setup)
{
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
}

} // namespace

struct TStationScratch {
    TWorker Worker;
};

struct TStationValues::TSetup {
    TScanSetup Scan;
};

TStationValues::TScratch::TScratch(std::unique_ptr<TStationScratch> state)
    : m_state(std::move(state))
{
}
TStationValues::TScratch::~TScratch() = default;
TStationValues::TScratch::TScratch(TScratch &&) noexcept = default;
TStationValues::TScratch &TStationValues::TScratch::operator=(TScratch &&) noexcept = default;

TStationValues::TStationValues(const TCalcSnapshot &snapshot)
    : m_setup(std::make_unique<const TSetup>(TSetup { MakeSetup(snapshot) }))
{
}
TStationValues::~TStationValues() = default;
TStationValues::TStationValues(TStationValues &&) noexcept = default;
TStationValues &TStationValues::operator=(TStationValues &&) noexcept = default;

std::size_t TStationValues::Count() const
{
    return m_setup->Scan.Stations.size();
}

TStationValues::TScratch TStationValues::NewScratch() const
{
    return TScratch(
        std::make_unique<TStationScratch>(TStationScratch { MakeWorker(m_setup->Scan) }));
}

double TStationValues::Value(TScratch &scratch, std::size_t s, int i, int j) const
{
    const TScanSetup &setup = m_setup->Scan;
    const double u = i * setup.Grid.UStep + setup.Grid.UMin;
    const double v = j * setup.Grid.VStep + setup.Grid.VMin;
    return StationValue(setup, scratch.m_state->Worker, s, u, v, j);
}

std::optional<TStationValues::TEstimates> TStationValues::Estimates(
    TScratch &scratch, int i, int j) const
{
    const TScanSetup &setup = m_setup->Scan;
    if (setup.Layered || setup.Mode == smLocError)
        return std::nullopt;
    TWorker &w = scratch.m_state->Worker;
    const double u = i * setup.Grid.UStep + setup.Grid.UMin;
    const double v = j * setup.Grid.VStep + setup.Grid.VMin;
    double bound = 0;
    if (!NodeEstimates(setup, w, u, v, bound))
        return std::nullopt;
    return TEstimates { w.Estimates, w.Bounds };
}

double TStationValues::NodeValue(double kth, int j) const
{
    const TScanSetup &setup = m_setup->Scan;
    return KthToValue(setup, kth, j * setup.Grid.VStep + setup.Grid.VMin);
}

std::optional<TMatrix2D> ScanNodes(
    const TCalcSnapshot &snapshot, const TRunControl &control, int firstRow, int lastRow)
{
    const TScanSetup setup = MakeSetup(snapshot);
    const int NU = setup.Grid.NU, NV = setup.Grid.NV;
    firstRow = std::max(firstRow, 0);
    lastRow = lastRow < 0 ? NU - 1 : std::min(lastRow, NU - 1);
    const int rowCount = std::max(lastRow - firstRow + 1, 0);
    TMatrix2D matrix(static_cast<std::size_t>(NU));
    for (int i = firstRow; i <= lastRow; ++i)
        matrix[static_cast<std::size_t>(i)].resize(static_cast<std::size_t>(NV));

    // Rows are cut into pieces, so that a long row is shared among the threads
    // and cancel and progress need not wait for a whole row. A node's value
    // does not depend on which thread computes it, or in what order.
    constexpr int kNodesPerPiece = 64;
    const int pieces = (NV + kNodesPerPiece - 1) / kNodesPerPiece;
    const auto pieceStart
        = [&](int piece) { return static_cast<int>(static_cast<long long>(piece) * NV / pieces); };
    // Reported about a thousand times a run, and at the end.
    const int total = rowCount * NV;
    const int reportStep = std::max(total / 1000, 1);
    int nodesDone = 0, reported = 0;
    const bool complete = ParallelItems(
        rowCount * pieces, control, [&] { return MakeWorker(setup); },
        [&](TWorker &w, int item) {
            const int i = firstRow + item / pieces, piece = item % pieces;
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

} // namespace valdrin::calc
