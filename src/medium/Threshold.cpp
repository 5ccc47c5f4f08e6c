// Station threshold: attenuation law M(An*SNR, R) with R in km, and Brune's
// (1970) source for the layered medium, its moment from Hanks and Kanamori's
// M = 2/3*lg(M0) - 6.07 and its corner frequency 2.34*Vs/(2*pi*R0).
#include "medium/Threshold.h"

#include <numbers>

namespace valdrin::medium {

TExtended LawNoiseTerm(double a0, double noise)
{
    if (!(noise > 0))
        return std::numeric_limits<TExtended>::quiet_NaN();
    return a0 * std::log10(TExtended(noise));
}

double LawAtDistance(TExtended noiseTerm, double a1, double a2, double a3, double epi,
                     double sourceW, double stationW)
{
    // Squares of doubles stay far inside the extended range (about 1e4932),
    // so the plain root cannot overflow or underflow here.
    const TExtended dw = TExtended(stationW) - sourceW;
    const TExtended R = std::sqrt(TExtended(epi) * epi + dw * dw);
    // A node on the station: lg(0) has no value.
    if (!(R > 0))
        return std::numeric_limits<double>::quiet_NaN();
    const TExtended km = R / 1000;
    return static_cast<double>(noiseTerm + a1 * std::log10(km) + a2 * km + a3);
}

double LawMagnitude(double a0, double a1, double a2, double a3, double epi, double sourceW,
                    double stationW, double noise)
{
    return LawAtDistance(LawNoiseTerm(a0, noise), a1, a2, a3, epi, sourceW, stationW);
}

TSourceTerms SourceTerms(double M, double Vs, double depth)
{
    const TExtended pi = std::numbers::pi_v<TExtended>;
    TSourceTerms t;
    t.StressDrop = static_cast<double>(200 * TExtended(depth) + 1.7e6L);
    // 10^x as exp(x*ln 10): in extended precision the result is still exact
    // to far below a double's last bit, at a fraction of the cost of pow.
    const TExtended ln10 = std::numbers::ln10_v<TExtended>;
    t.M0 = static_cast<double>(std::exp((TExtended(M) + 6.07L) / 2 * 3 * ln10));
    if (!(t.StressDrop > 0)) {
        t.R0 = t.Fc = t.S = std::numeric_limits<double>::quiet_NaN();
        return t;
    }
    t.R0 = static_cast<double>(std::cbrt(0.4375L * t.M0 / t.StressDrop));
    t.Fc = static_cast<double>(2.34L * Vs / 2 / pi / t.R0);
    t.S = static_cast<double>(t.M0 / (pi * TExtended(t.R0) * t.R0) / 1e7L);
    return t;
}

int LayerOfAltitude(const THorizontalModel &model, double alt)
{
    int i = 0;
    while (i + 1 < static_cast<int>(model.size()) && model[static_cast<std::size_t>(i)].Bottom > alt)
        ++i;
    return i;
}

TRayTransitions StraightTransitions(const THorizontalModel &model, double startAlt, double endAlt)
{
    const int i = LayerOfAltitude(model, startAlt);
    const int j = LayerOfAltitude(model, endAlt);
    const int d = j - i;
    const int s = (d > 0) - (d < 0);
    TRayTransitions tr(static_cast<std::size_t>(d < 0 ? -d : d));
    for (std::size_t k = 0; k < tr.size(); ++k) {
        tr[k].FromLayer = i + static_cast<int>(k) * s;
        tr[k].ToLayer = tr[k].FromLayer + s;
        tr[k].Kind = tkTransmit;
    }
    return tr;
}

TPathFactor PathFactor(THorizontalModel &model, double epi, double startAlt, double endAlt,
                       double frequency)
{
    TRayTransitions transitions = StraightTransitions(model, startAlt, endAlt);
    TTravelParams segments;
    bool ok = false;
    TraceRay(model, transitions, segments, epi, startAlt, endAlt, frequency, ok);
    return {RayFactor(segments, transitions), ok};
}

double StationMinMagnitude(bool layered, THorizontalModel &model, double a0, double a1, double a2,
                           double a3, double epi, double sourceW, double stationW, double depth,
                           double noise, double Vs, double n)
{
    const double M = LawMagnitude(a0, a1, a2, a3, epi, sourceW, stationW, noise);
    if (!layered)
        return M;
    return RaiseToThreshold(M, noise, depth, Vs, n, [&](double frequency) {
        return PathFactor(model, epi, sourceW, stationW, frequency);
    });
}

} // namespace valdrin::medium
