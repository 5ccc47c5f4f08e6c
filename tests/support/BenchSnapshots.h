// The calculation snapshots the benchmarks time: the window's default
// network in the minimum-magnitude mode, the three-layer medium, and the
// bit-for-bit comparison of two result matrices.
#pragma once

#include <cmath>
#include <cstring>

#include "LayerFixtures.h"
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

// The three-layer medium (100, 200 and 400 m thick, the last one reaching
// down without end) under the default surface at 200 m.
inline void SetThreeLayers(TCalcSnapshot &s)
{
    s.Params.Medium = TMediumKind::Layered;
    s.Model = valdrin::medium::testing::ReadThreeLayers();
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
