// The detection-capability computation behind "Считать", as an engine over a
// frozen snapshot of everything a run reads.
#pragma once

#include <optional>

#include "calc/NetworkModel.h"
#include "calc/Result.h"
#include "calc/RunControl.h"
#include "medium/MediumModel.h"

namespace valdrin::calc {

struct TCalcSnapshot {
    TStationSet Stations;            // ReadStations for Params.Plane
    TCalcParams Params;
    TPlaneGrid PlaneGrid;            // UpdatePlaneGrid for Params.Plane
    TWaveGrid WaveGrid;              // UpdateWaveGrid
    medium::THorizontalModel Model;  // read with ReadMediumModel when Params.Medium is layered
};

// Runs the computation of Params.Mode. Refused input throws
// common::TValdrinError with the message the user sees, before anything is
// computed. A cancelled run returns nullopt. Mode 0 (and any mode outside
// 1..6) returns a result with no matrix that may not be saved.
std::optional<TResult> RunComputation(const TCalcSnapshot &snapshot, const TRunControl &control = {});

} // namespace valdrin::calc
