// A straightforward scan, written the way the computation is described: one
// thread, every node and station in table order, a full ray search for every
// trial magnitude, the per-station values sorted whole. Every node is a
// point (X, Y, Z): in the sections YZ and XZ its Z is V, its depth below the
// surface follows it, and the ray (and the geodesic) take X and Y. The tests hold the
// engine to it bit for bit, and the detection benchmark times it.
#pragma once

#include <cmath>
#include <utility>

#include "calc/Computation.h"
#include "calc/geodesy.h"
#include "medium/Threshold.h"

namespace valdrin::calc::oracle {

// Ascending order by pairwise exchange; equal elements are never exchanged.
inline void SortAscending(TDoubleDynArray &values)
{
    for (std::size_t i = 0; i < values.size(); ++i)
        for (std::size_t j = i + 1; j < values.size(); ++j)
            if (values[i] > values[j])
                std::swap(values[i], values[j]);
}

inline TMatrix2D OracleScan(const TCalcSnapshot &snap)
{
    const TCalcParams &p = snap.Params;
    const TStationSet &st = snap.Stations;
    const TPlaneGrid &g = snap.PlaneGrid;
    medium::THorizontalModel model
        = snap.Model; // rewritten in place by every ray, as in the window
    const bool layered = p.Medium == TMediumKind::Layered;
    const bool section = p.Plane == TViewPlane::vpYZ || p.Plane == TViewPlane::vpXZ;
    const bool yz = p.Plane == TViewPlane::vpYZ;
    TMatrix2D matrix(
        static_cast<std::size_t>(g.NU), std::vector<double>(static_cast<std::size_t>(g.NV)));
    TDoubleDynArray value;
    for (int i = 0; i < g.NU; ++i) {
        const double u = i * g.UStep + g.UMin;
        for (int j = 0; j < g.NV; ++j) {
            const double v = j * g.VStep + g.VMin;
            value.clear();
            // The node as a point: X, Y and Z of its own.
            const double depth = p.SurfaceAlt - (section ? v : g.WPlane);
            for (std::size_t s = 0; s < static_cast<std::size_t>(p.N); ++s) {
                double epi, sourceZ, stationZ;
                if (!section || (!layered && !p.Degrees)) {
                    // Plane-mapped: U, V in the plane, W off it; in metres the
                    // same 3-D distance in every plane.
                    if (p.Degrees)
                        epi = static_cast<double>(
                            GeoInverse(MakeGeoPoint(v, u, 0), MakeGeoPoint(st.V[s], st.U[s], 0))
                                .Distance);
                    else
                        epi = std::sqrt(
                            (v - st.V[s]) * (v - st.V[s]) + (u - st.U[s]) * (u - st.U[s]));
                    sourceZ = g.WPlane;
                    stationZ = st.W[s];
                } else {
                    const double nx = yz ? g.WPlane : u, ny = yz ? u : g.WPlane;
                    const double sx = yz ? st.W[s] : st.U[s], sy = yz ? st.U[s] : st.W[s];
                    if (p.Degrees)
                        epi = static_cast<double>(
                            GeoInverse(MakeGeoPoint(ny, nx, 0), MakeGeoPoint(sy, sx, 0)).Distance);
                    else
                        epi = std::sqrt((ny - sy) * (ny - sy) + (nx - sx) * (nx - sx));
                    sourceZ = v;
                    stationZ = st.V[s];
                }
                const double R = std::sqrt(epi * epi + (stationZ - sourceZ) * (stationZ - sourceZ));
                double x;
                if (p.Mode == TShowMode::smLocError)
                    x = R * p.LocErrorPct / 100;
                else
                    x = medium::StationMinMagnitude(layered, model, st.A0[s], st.A1[s], st.A2[s],
                        st.A3[s], epi, sourceZ, stationZ, depth, st.An[s] * st.SNR[s], p.Vs,
                        p.FcNum);
                if (!std::isnan(x))
                    value.push_back(x);
            }
            SortAscending(value);
            double m = value.size() >= static_cast<std::size_t>(p.k)
                ? value[static_cast<std::size_t>(p.k - 1)]
                : std::nan("");
            if ((p.Mode == TShowMode::smCornerFreq || p.Mode == TShowMode::smSourceSize)
                && std::isfinite(m)) {
                const medium::TBruneSource b = medium::BruneSource(m, p.Vs, depth);
                m = p.Mode == TShowMode::smCornerFreq ? b.Fc : b.R0;
            }
            matrix[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = m;
        }
    }
    return matrix;
}

} // namespace valdrin::calc::oracle
