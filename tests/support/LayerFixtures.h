// Layers for ray and threshold tests: the three-layer stack of the benchmark.
#pragma once

#include <cmath>

#include "medium/MediumModel.h"
#include "medium/godograf.h"

namespace valdrin::medium::testing {

inline THorizontalLayer Layer(double H, double vp, double vs, double vr, double q, double rho)
{
    THorizontalLayer l;
    l.H = H;
    l.Velocity = { vp, vs, vr };
    l.Q = q;
    l.Rho = rho;
    return l;
}

// Surface 200; layers 200..100, 100..-100, -100..-500 (bounds as UpdateLayerBounds
// leaves them, the last one finite).
inline THorizontalModel ThreeLayers()
{
    THorizontalModel m { Layer(100, 1500, 750, 500, 10, 1.8),
        Layer(200, 1800, 1040.5, 743.2, 20, 1.98), Layer(400, 2160, 1248.6, 891.9, 40, 2.178) };
    m[0].Top = 200;
    UpdateLayerBounds(m);
    return m;
}

// As a reading of the table leaves it: the last layer open downward.
inline THorizontalModel ReadThreeLayers()
{
    THorizontalModel m = ThreeLayers();
    m[2].Bottom = -INFINITY;
    return m;
}

} // namespace valdrin::medium::testing
