// Horizontally layered medium: layers top-down, altitudes decreasing downward.
// Altitudes and thicknesses in metres, velocities in m/s, density in g/cm^3.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace valdrin::medium {

struct THorizontalLayer {
    std::string Name;       // e.g. "#1"
    double Top = 0;         // altitude of the upper boundary, m
    double Bottom = 0;      // altitude of the lower boundary, m (-inf for the last layer once read)
    double H = 0;           // thickness, m
    double Q = 0;           // quality factor (> 0 for a usable layer)
    double SpreadExp = 1.0; // geometric-spreading exponent
    double Rho = 0;         // density
    std::array<double, 3> Velocity{}; // Vp, Vs, Vr
};

using THorizontalModel = std::vector<THorizontalLayer>;

} // namespace valdrin::medium

#include "common/CellTable.h"

namespace valdrin::medium {

// Reads ModelStrGrid (row k+1 = layer k) into model, numbers with the user's
// decimal separator. False at the first cell that does not convert (the
// caller shows "Ошибка в параметрах модели!"); the layers before it stay read.
// The last layer's Bottom becomes -infinity either way.
bool ReadMediumModel(const common::TCellTable &table, double surfaceAlt, char decimalSep,
                     THorizontalModel &model);

} // namespace valdrin::medium
