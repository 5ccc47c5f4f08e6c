// The one result of a computation, with everything it was computed on, so
// the map, the read-out and the results file never index it with grids that
// changed afterwards.
#pragma once

#include "calc/NetworkModel.h"

namespace valdrin::calc {

struct TResult {
    TMatrix2D ResultMatrix; // [i][j]: node (i, j), or [p][q]: wavenumber pair
    TShowMode ResultMode = TShowMode::smStations;
    double ResultMin = 0; // modes 1, 2: smallest element
    TViewPlane Plane = TViewPlane::vpXY;
    TPlaneGrid PlaneGrid; // grid of modes 3..6
    TWaveGrid WaveGrid; // grid of modes 1, 2
    bool Degrees = false;
    bool Saveable = false; // may be drawn and written
};

} // namespace valdrin::calc
