// Reference noise models, the displacement spectrum drawn on the noise page
// and the root-mean-square noise displacement in a frequency band.
//
// The models are points of Peterson's New High and New Low Noise Models
// (Peterson 1993, USGS Open-File Report 93-322) converted to velocity power,
// (m/s)^2/Hz, rounded to two significant digits. Displacement power is
// velocity power / (2*pi*f)^2, m^2/Hz.
#pragma once

#include "noise/NoiseSpectrum.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace valdrin::noise {

struct TNoisePoint {
    double F; // frequency, Hz (> 0)
    double P; // velocity power spectral density, (m/s)^2/Hz
};

inline constexpr std::array<TNoisePoint, 13> NhnmPoints { {
    { 0.00001, 3600 },
    { 0.0001, 0.025 },
    { 0.0028, 8e-10 },
    { 0.05, 1.4e-13 },
    { 0.0649, 6e-12 },
    { 0.1265, 7.1e-12 },
    { 0.1587, 8e-11 },
    { 0.2174, 1.2e-10 },
    { 0.263, 5.8e-11 },
    { 1.25, 1.6e-14 },
    { 3.125, 2.3e-14 },
    { 4.5454, 2.2e-13 },
    { 10, 1.8e-13 },
} };

// Point 2 is the low model at a period of 1000 s.
inline constexpr std::array<TNoisePoint, 22> NlnmPoints { {
    { 0.00001, 0.012 },
    { 0.001, 3.5e-14 },
    { 0.0017, 3.2e-15 },
    { 0.003, 4.9e-16 },
    { 0.0065, 1.8e-16 },
    { 0.01, 9.7e-17 },
    { 0.0142, 2.2e-17 },
    { 0.0222, 9.1e-18 },
    { 0.0316, 7.9e-18 },
    { 0.0456, 2.2e-17 },
    { 0.064, 3.8e-16 },
    { 0.083, 8.7e-17 },
    { 0.1, 1e-16 },
    { 0.167, 1.1e-15 },
    { 0.2, 4.9e-15 },
    { 0.232, 3.6e-15 },
    { 0.417, 2e-16 },
    { 0.806, 1.7e-18 },
    { 1.25, 1.9e-19 },
    { 2.5, 8.7e-20 },
    { 5.88, 1.6e-20 },
    { 10, 4.1e-21 },
} };

// Wood-Anderson magnification of ground displacement.
inline constexpr double kWoodAndersonGain = 2080;

// Velocity power P, (m/s)^2/Hz, at f Hz as displacement power, m^2/Hz.
double DisplacementPower(double f, double P);

struct TChartPoint {
    double X; // frequency, Hz
    double Y; // displacement power, m^2/Hz
};
using TChartPoints = std::vector<TChartPoint>;

// Ascending X; points of equal X keep the order in which they came.
void SortChartPoints(TChartPoints &points);

// A reference model as drawn: (f, P / (2*pi*f)^2), ascending f.
TChartPoints ModelPoints(std::span<const TNoisePoint> model);

// Column c as drawn: rows 1 to the last (the first data row is never drawn),
// without values <= 0 when logY is set, ascending frequency. Rows whose
// frequency is not above 0 have no finite displacement and are left out. An
// index outside the spectrum gives no points.
TChartPoints SpectrumColumnPoints(const TNoiseSpectrum &spectrum, int column, bool logY);

struct TNoiseLevel {
    double TrueMm; // rms ground displacement, mm
    double WaMm; // the same on a Wood-Anderson record, mm
};

// Rms displacement of the band [Fmin, Fmax] of a displacement spectrum
// (ascending X): the first point at or above Fmin is weighted by half its
// interval, each later point up to Fmax by its full interval. No value when
// the series has fewer than two points, Fmin lies above every frequency, or
// the sum is negative (or not a number).
std::optional<TNoiseLevel> NoiseBandLevel(const TChartPoints &points, double Fmin, double Fmax);

// The result text of the page: the caption and the WA and true amplitudes,
// or the caption and a note that there is no value.
std::string NoiseLevelText(const std::optional<TNoiseLevel> &level, char decimalSep);

inline constexpr const char *kNoiseLevelCaption = "Смещение, мм:";

} // namespace valdrin::noise
