// Everything a run reads, frozen when "Считать" is pressed.
#pragma once

#include "calc/NetworkModel.h"
#include "medium/MediumModel.h"

namespace valdrin::calc {

struct TCalcSnapshot {
    TStationSet Stations; // ReadStations for Params.Plane
    TCalcParams Params;
    TPlaneGrid PlaneGrid; // UpdatePlaneGrid for Params.Plane
    TWaveGrid WaveGrid; // UpdateWaveGrid
    medium::THorizontalModel Model; // read with ReadMediumModel when Params.Medium is layered
    bool operator==(const TCalcSnapshot &) const = default;
};

} // namespace valdrin::calc
