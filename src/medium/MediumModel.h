// Horizontally layered medium: layers top-down, altitudes decreasing downward.
// Altitudes and thicknesses in metres, velocities in m/s, density in g/cm^3.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace valdrin::medium {

struct THorizontalLayer {
    std::string Name; // e.g. "#1"
    double Top = 0; // altitude of the upper boundary, m
    double Bottom = 0; // altitude of the lower boundary, m (-inf for the last layer once read)
    double H = 0; // thickness, m (> 0 except possibly for the last layer)
    double Q = 0; // quality factor (> 0 for a usable layer)
    double SpreadExp = 1.0; // geometric-spreading exponent (1: spherical spreading)
    double Rho = 0; // density (> 0 for a usable layer)
    std::array<double, 3> Velocity {}; // Vp, Vs, Vr, m/s (> 0 for a usable layer)
    bool operator==(const THorizontalLayer &) const = default;
};

using THorizontalModel = std::vector<THorizontalLayer>;

constexpr int kMaxLayers = 100; // range of the layer count
constexpr int kModelGridCols = 7; // "Layer", "H", "Vp", "Vs", "Vr", "Q", "Rho"

} // namespace valdrin::medium

#include "common/CellTable.h"

namespace valdrin::medium {

// Reads ModelStrGrid (row k+1 = layer k) into model, numbers with the user's
// decimal separator or either of "." and ",". False at the first cell that
// does not convert (the caller shows ModelReadMessage); the layers before it
// stay read, and badCell (when given) names that cell: "слой №2, столбец Vp:
// «1,5a»". The last layer's Bottom becomes -infinity either way. An empty
// model reads as a failure: there is nothing to trace through.
bool ReadMediumModel(const common::TCellTable &table, double surfaceAlt, char decimalSep,
    THorizontalModel &model, std::string *badCell = nullptr);

// "Ошибка в параметрах модели!", with the bad cell in brackets when there is one.
std::string ModelReadMessage(const std::string &badCell);

// The start-up layer "#1" at the surface.
THorizontalLayer StartupLayer(double surfaceAlt);

// The header row of ModelStrGrid.
void WriteModelHeader(common::TCellTable &table);

// Writes layer into table row k+1: the name unchanged, H, Vp, Vs, Vr, Q with
// one decimal, Rho with two. The table grows when the row is missing.
void ShowLayer(
    common::TCellTable &table, int k, const THorizontalLayer &layer, char decimalSep = '.');

// The change of LayerCountSpinEdit: resizes model and table (n + 1 rows) to
// n layers, n clamped to 1..kMaxLayers. New layers are zero-filled; when the
// count grows, the last one is derived from the layer above it and shown.
void LayerCountChange(
    THorizontalModel &model, common::TCellTable &table, int n, char decimalSep = '.');

// The averaged stack above the source plane, as the homogeneous fields take it.
struct TAverageMedium {
    double Vp = 0, Vs = 0, Vr = 0; // m/s, thickness-weighted harmonic means
    double Q = 0; // same total loss at the upper frequency
    double Rho = 0; // thickness-weighted mean
};

// Averages the read model down to altitude G at the upper frequency fMax (Hz).
// The values come clamped to the ranges of their fields (velocities and Q
// 0..100000, Rho 0..20), and Q is taken with the clamped Vs, as the window
// holds it.
// Throws common::TValdrinError (starting "Ошибка в модели среды!") when a
// value would come from a division by zero: a velocity or Q of 0 or below in
// the stack, G at the surface, fMax of 0 or below.
TAverageMedium AverageMedium(const THorizontalModel &model, double G, double fMax);

// CalcAvModelButtonClick: reads the table, then averages. On failure Values is
// empty and Messages holds what the window shows, in order.
struct TAverageOutcome {
    std::optional<TAverageMedium> Values;
    std::vector<std::string> Messages;
};
TAverageOutcome CalcAvModel(const common::TCellTable &table, double surfaceAlt, char decimalSep,
    THorizontalModel &model, double G, double fMax);

} // namespace valdrin::medium
