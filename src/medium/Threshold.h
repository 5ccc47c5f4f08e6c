// The smallest magnitude one station registers from one source node: the
// attenuation law, and in the layered medium the law raised until Brune's
// source, carried along the ray, reaches the station's noise threshold.
#pragma once

#include <cmath>
#include <limits>

#include "common/MathRout.h"
#include "medium/MediumModel.h"
#include "medium/godograf.h"

namespace valdrin::medium {

using common::TExtended;

using common::SafeHypot;

// The attenuation law M = a0*lg(noise) + a1*lg(R/1000) + a2*R/1000 + a3 with
// R = sqrt(epi^2 + (stationW - sourceW)^2) in metres, carried in extended
// precision. NaN (no value) when R is 0 or noise is 0 or below.
double LawMagnitude(double a0, double a1, double a2, double a3, double epi, double sourceW,
    double stationW, double noise);
// The same in two steps, for callers that keep a station's noise term.
TExtended LawNoiseTerm(double a0, double noise);
double LawAtDistance(TExtended noiseTerm, double a1, double a2, double a3, double epi,
    double sourceW, double stationW);
// std::log10 of x, bit for bit, without the library call for a positive
// finite x on x86-64 (the law's hot path).
TExtended Log10Extended(TExtended x);

// Brune's source of magnitude M: stress drop 200*depth + 1.7e6 Pa, moment
// M0 = 10^(1.5*(M + 6.07)) N*m, radius R0 = (7/16*M0/stress)^(1/3) m, corner
// frequency Fc = 2.34*Vs/(2*pi*R0) Hz, and the source term S = M0/(pi*R0^2)/1e7
// of the amplitude. Stress drop 0 or below leaves R0, Fc and S without value.
struct TSourceTerms {
    double StressDrop = 0; // Pa
    double M0 = 0; // N*m
    double R0 = 0; // m
    double Fc = 0; // Hz
    double S = 0;
};
TSourceTerms SourceTerms(double M, double Vs, double depth);

// Corner frequency (Hz) and radius (m) of Brune's source of magnitude M, for
// a shear velocity Vs (m/s) at depth (m) below the surface.
struct TBruneSource {
    double Fc = 0;
    double R0 = 0;
};
inline TBruneSource BruneSource(double M, double Vs, double depth)
{
    const TSourceTerms t = SourceTerms(M, Vs, depth);
    return { t.Fc, t.R0 };
}

constexpr double kWaToTm = 2080; // noise level on the WA scale over the TM scale

// The layer that holds altitude alt: the first whose Bottom is not above it,
// never past the last.
int LayerOfAltitude(const THorizontalModel &model, double alt);
// One plain transmitted P crossing of every interface between the layers of
// the two altitudes, in the order of travel.
TRayTransitions StraightTransitions(const THorizontalModel &model, double startAlt, double endAlt);

struct TPathFactor {
    double Factor = 0;
    bool Ok = false; // false: no ray connects the two points (see TraceRay)
};
// Amplitude factor of the ray from startAlt to endAlt, epi apart, at the
// frequency. Rewrites the model's bounds.
TPathFactor PathFactor(
    THorizontalModel &model, double epi, double startAlt, double endAlt, double frequency);

// Brune's source at one depth reduced to what a double-precision trial needs:
// with e3 = ln(10)/2 * (M + 6.07) (a third of ln M0), ln S = e3 + LnS and
// n*Fc = FreqScale * exp(-e3). Ok is false where these leave the range the
// trial bound below holds in; the trials are then evaluated in full.
struct TSourceConstants {
    double LnS = 0; // (2/3)*ln(stress/0.4375) - ln(pi*1e7)
    double FreqScale = 0; // n*2.34*Vs/(2*pi) * (stress/0.4375)^(1/3), Hz
    bool Ok = false;
};
TSourceConstants MakeSourceConstants(double depth, double Vs, double n);

// One trial of the magnitude search decided in double: +1 the amplitude
// reaches the threshold, -1 it does not, 0 too close to tell (or out of
// range), and the trial is evaluated in full. Made from a traced ray (its
// geometry; the frequency is not needed) and the station's threshold.
struct TTrialDecider {
    double A = 0; // ln(spreading * coefficients) + LnS - ln(threshold)
    double B = 0; // FreqScale * pi * sum of L/(Q*V): the attenuation exponent is B*exp(-e3)
    double Fixed = 0; // the error bound's part that does not depend on M
    double PerX = 0; // its part per unit of the attenuation exponent
    bool Ok = false;
    int operator()(double M) const;
};
TTrialDecider MakeTrialDecider(const TSourceConstants &source, const TTravelParams &segments,
    const TRayTransitions &transitions, const THorizontalModel &layers, double threshold);

// Trials per stage of the magnitude search. The moment overflows a double
// near M = 199, well inside this for any sensible law value.
constexpr int kMaxStageTrials = 400;

// The magnitude search of the layered medium, from the law's value lawM, in
// stages of 1, 0.1 and 0.01: the first magnitude on the 0.01 grid whose
// amplitude reaches noise/2080. pathAt(frequency) gives the TPathFactor of
// the station's ray. +infinity when the threshold is never reached (or the
// moment overflows); NaN when the ray or the source has no value. decide(M),
// when given, settles a trial ahead of the full evaluation as TTrialDecider
// does (+1 reached, -1 not, 0 evaluate); it must settle a trial only as the
// full evaluation would, and only where that evaluation would go on.
template<class PathAt, class Decide>
double RaiseToThreshold(
    double lawM, double noise, double depth, double Vs, double n, PathAt &&pathAt, Decide &&decide)
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    if (!std::isfinite(lawM))
        return lawM;
    const double threshold = noise / kWaToTm;
    double M = lawM;
    double step = 1;
    for (int stage = 0; stage < 3; ++stage) {
        for (int trial = 0;; ++trial) {
            if (trial == kMaxStageTrials)
                return inf;
            M = M + step;
            if (const int d = decide(M); d != 0) {
                if (d > 0)
                    break;
                continue;
            }
            const TSourceTerms src = SourceTerms(M, Vs, depth);
            if (!(src.StressDrop > 0))
                return nan;
            if (!std::isfinite(src.M0) || !std::isfinite(src.S))
                return inf;
            const TPathFactor path = pathAt(n * src.Fc);
            if (!path.Ok)
                return nan;
            const double amp = path.Factor * src.S;
            if (amp >= threshold) // an amplitude without value never reaches it
                break;
        }
        if (stage < 2) {
            M = M - step;
            step = step / 10;
        }
    }
    return M;
}

template<class PathAt>
double RaiseToThreshold(
    double lawM, double noise, double depth, double Vs, double n, PathAt &&pathAt)
{
    return RaiseToThreshold(lawM, noise, depth, Vs, n, pathAt, [](double) { return 0; });
}

// StationMinMagnitude: the law's value, raised in the layered medium by the
// ray through model (whose bounds it rewrites). sourceW and stationW are the
// altitudes of node and station, depth the node's depth below the surface,
// noise An*SNR, Vs the source's shear velocity (m/s), n the multiplier of the
// corner frequency. NaN: no value; +infinity: not registered.
double StationMinMagnitude(bool layered, THorizontalModel &model, double a0, double a1, double a2,
    double a3, double epi, double sourceW, double stationW, double depth, double noise, double Vs,
    double n);

} // namespace valdrin::medium
