// What a map of the window or of valdrin-calc is drawn from, with no Qt, so
// that the working set can build it for both front ends.
#pragma once

#include <string>
#include <vector>

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
    // Per station of Stations: false draws its mark hollow (out of
    // operation); missing entries are in operation.
    std::vector<bool> InOperation;
    // A node picture drawn as a difference: blue - white - red around 0 with
    // the line of 0.
    bool Diverging = false;
    std::string Quantity; // the legend's title instead of the mode's; empty: the mode's
};

inline bool InOperationAt(const std::vector<bool> &inOperation, std::size_t station)
{
    return station >= inOperation.size() || inOperation[station];
}

} // namespace valdrin::map
