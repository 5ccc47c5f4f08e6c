// Aids of the medium page: the intensity-to-magnitude transform that gives
// the attenuation-law coefficients a0, a1, a3 for the WA and TM scales, the
// range of a2 that anelastic attenuation gives over a band, and the Vp/Vs
// read-out. A formula without a value (a zero divisor) gives nullopt, so the
// page can show that there is no number.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace valdrin::medium {

struct TLawCoefficients {
    double a0 = 0, a1 = 0, a3 = 0;
};

struct TMagnitudeTransform {
    TLawCoefficients WA; // Wood-Anderson scale
    TLawCoefficients TM; // the TM scale (An(WA) = 2080 * An(TM))
};

// From I = B0*M + S*lg(R) + C0. nullopt for B0 = 0 or a value that is not finite.
std::optional<TMagnitudeTransform> MagnitudeTransform(double B0, double S, double C0);

// "%1.3f" texts in the order A0WA, A1WA, A3WA, A0TM, A1TM, A3TM.
std::array<std::string, 6> TransformTexts(const TMagnitudeTransform &t, char decimalSep = '.');

// a2 per kilometre for frequency f (Hz), shear velocity Vs (m/s) and quality
// factor Q: pi*f*lg(e)*1000 / (Vs*Q). nullopt unless Vs > 0 and Q > 0.
std::optional<double> A2Coefficient(double f, double Vs, double Q);

struct TA2Range {
    std::optional<double> Min, Max; // a2 at FreqMin and at FreqMax
};
TA2Range A2Range(double freqMin, double freqMax, double Vs, double Q);

// "%1.7f", the text of A2minEdit and A2maxEdit.
std::string A2Text(double a2, char decimalSep = '.');

// Vp / Vs; nullopt for Vs = 0 or a value that is not finite.
std::optional<double> VelocityRatio(double Vp, double Vs);
// "Vp/Vs = %1.3f", the caption of AlfaLabel; nullopt when there is no ratio.
std::optional<std::string> VpVsCaption(double Vp, double Vs, char decimalSep = '.');

} // namespace valdrin::medium
