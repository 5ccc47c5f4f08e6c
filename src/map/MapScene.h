// What a map of the window or of valdrin-calc is drawn from, with no Qt, so
// that the working set can build it for both front ends.
#pragma once

#include "calc/NetworkModel.h"
#include "calc/Result.h"
#include "common/CellTable.h"
#include "map/MapCore.h"

namespace valdrin::map {

// Everything RedrawMap draws from, as the window holds it now.
struct TMapScene {
    calc::TShowMode Selected = calc::TShowMode::smStations; // SourceRadioGroup
    const calc::TResult *Result = nullptr; // nullptr: none yet
    bool SaveEnabled = false; // SaveButton's state
    calc::TViewPlane Plane = calc::TViewPlane::vpXY; // ViewRadioGroup
    calc::TStationSet Stations; // ReadStations for Plane
    common::TCellTable CooGrid; // marker texts: columns 0 and 4
    calc::TPlaneGrid PlaneGrid; // UpdatePlaneGrid for Plane, now
    calc::TWaveGrid WaveGrid; // UpdateWaveGrid, now
    TResponseUnit Unit = TResponseUnit::Unit01; // UnitRadioGroup
};

} // namespace valdrin::map
