// The calculation snapshots the benchmarks time: the window's default
// network in the minimum-magnitude mode, the three-layer medium, and the
// bit-for-bit comparison of two result matrices.
#pragma once

#include <cmath>
#include <cstring>

#include "calc/Computation.h"

namespace valdrin::calc::testing {

// The default 25 stations in metres, plane XY; the grid is the caller's.
inline TCalcSnapshot DefaultNetworkSnapshot()
{
    TCalcSnapshot s;
    s.Params.Mode = TShowMode::smMinMagnitude;
    s.Stations = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    return s;
}

// Three layers under the snapshot's surface (100, 200 and 400 m thick), the
// last one reaching down without end.
inline void SetThreeLayers(TCalcSnapshot &s)
{
    const double rows[3][6] = { { 100, 1500, 750, 500, 10, 1.8 },
        { 200, 1800, 1040.5, 743.2, 20, 1.98 }, { 400, 2160, 1248.6, 891.9, 40, 2.178 } };
    s.Params.Medium = TMediumKind::Layered;
    s.Model.resize(3);
    for (std::size_t i = 0; i < 3; ++i) {
        auto &l = s.Model[i];
        l.H = rows[i][0];
        l.Velocity = { rows[i][1], rows[i][2], rows[i][3] };
        l.Q = rows[i][4];
        l.Rho = rows[i][5];
        l.SpreadExp = 1;
        l.Top = i == 0 ? s.Params.SurfaceAlt : s.Model[i - 1].Bottom;
        l.Bottom = l.Top - l.H;
    }
    s.Model.back().Bottom = -INFINITY;
}

// The same shape and the same bits in every cell (any NaN matching any NaN).
inline bool IdenticalBits(const TMatrix2D &a, const TMatrix2D &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return false;
        for (std::size_t j = 0; j < a[i].size(); ++j)
            if (!(std::isnan(a[i][j]) && std::isnan(b[i][j]))
                && std::memcmp(&a[i][j], &b[i][j], sizeof(double)) != 0)
                return false;
    }
    return true;
}

} // namespace valdrin::calc::testing
