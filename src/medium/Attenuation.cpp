// Transform of an intensity relation I = B0*M + S*lg(R) + C0 into the
// magnitude law M = a0*lg(An) + a1*lg(R) + a3 on two recording scales, and the
// anelastic a2 = pi*f*lg(e) / (Vs*Q) per kilometre (amplitude decay
// exp(-pi*f*R/(Vs*Q)) on a decimal-log scale).
#include "medium/Attenuation.h"

#include <cmath>
#include <numbers>

#include "common/NumText.h"

namespace valdrin::medium {

namespace {

// The WA row divides by 1.27*B0, the TM row by B0.
constexpr double kScaleFactor = 1.27;
constexpr double kA0Numerator = 1.47;
constexpr double kWAFreeTerm = 2.85;
constexpr double kTMFreeTerm = 7.73;
constexpr double kPerKilometre = 1000;

bool Finite(double v)
{
    return std::isfinite(v);
}

} // namespace

std::optional<TMagnitudeTransform> MagnitudeTransform(double B0, double S, double C0)
{
    if (!Finite(B0) || !Finite(S) || !Finite(C0) || B0 == 0)
        return std::nullopt;
    const double k = kScaleFactor * B0;
    TMagnitudeTransform t;
    // 0 - S rather than -S: S = 0 must read "0.000", not "-0.000".
    t.WA = { kA0Numerator / k, (0 - S) / k, (kWAFreeTerm - C0) / k + 1 };
    t.TM = { kA0Numerator / B0, (0 - S) / B0, (kTMFreeTerm - C0) / B0 };
    const TLawCoefficients *rows[] = { &t.WA, &t.TM };
    for (const auto *row : rows)
        if (!Finite(row->a0) || !Finite(row->a1) || !Finite(row->a3))
            return std::nullopt; // a B0 so small that the quotients overflow
    return t;
}

std::array<std::string, 6> TransformTexts(const TMagnitudeTransform &t, char decimalSep)
{
    auto f = [&](double v) { return common::FormatFixed(v, 3, decimalSep); };
    return { f(t.WA.a0), f(t.WA.a1), f(t.WA.a3), f(t.TM.a0), f(t.TM.a1), f(t.TM.a3) };
}

std::optional<double> A2Coefficient(double f, double Vs, double Q)
{
    if (!(Vs > 0) || !(Q > 0) || !Finite(f))
        return std::nullopt;
    const double a2 = std::numbers::pi * f * std::numbers::log10e * kPerKilometre / (Vs * Q);
    if (!Finite(a2))
        return std::nullopt; // Vs*Q underflowed to 0
    return a2;
}

TA2Range A2Range(double freqMin, double freqMax, double Vs, double Q)
{
    return { A2Coefficient(freqMin, Vs, Q), A2Coefficient(freqMax, Vs, Q) };
}

std::string A2Text(double a2, char decimalSep)
{
    return common::FormatFixed(a2, 7, decimalSep);
}

std::optional<double> VelocityRatio(double Vp, double Vs)
{
    if (!Finite(Vp) || !Finite(Vs) || Vs == 0)
        return std::nullopt;
    const double r = Vp / Vs;
    if (!Finite(r))
        return std::nullopt;
    return r;
}

std::optional<std::string> VpVsCaption(double Vp, double Vs, char decimalSep)
{
    const auto r = VelocityRatio(Vp, Vs);
    if (!r)
        return std::nullopt;
    return "Vp/Vs = " + common::FormatFixed(*r, 3, decimalSep);
}

} // namespace valdrin::medium
