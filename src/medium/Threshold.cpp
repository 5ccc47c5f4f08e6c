// Station threshold: attenuation law M(An*SNR, R) with R in km, and Brune's
// (1970) source for the layered medium, its moment from Hanks and Kanamori's
// M = 2/3*lg(M0) - 6.07 and its corner frequency 2.34*Vs/(2*pi*R0).
#include "medium/Threshold.h"

#include <numbers>

namespace valdrin::medium {

// The C library's log10l on x86-64 is two x87 instructions: lg 2 * log2 x
// (fyl2x), or lg 2 * log2(1 + (x - 1)) (fyl2xp1) where |x - 1| <= 0.29 as a
// double; x - 1 is exact there. Its call, classification and two
// status-word reads take as long again as the instruction, so for a
// positive finite x the same instructions run here; the values are the
// library's, which the tests check across both branches and their edge.
TExtended Log10Extended(TExtended x)
{
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
    if (x > 0 && x <= std::numeric_limits<TExtended>::max()) {
        TExtended lg2;
        asm("fldlg2" : "=t"(lg2));
        TExtended r;
        const TExtended d = x - 1;
        if (std::fabs(d) <= TExtended(0.29)) // the double 0.29, as the library compares
            asm("fyl2xp1" : "=t"(r) : "0"(d), "u"(lg2) : "st(1)");
        else
            asm("fyl2x" : "=t"(r) : "0"(x), "u"(lg2) : "st(1)");
        return r;
    }
#endif
    return std::log10(x);
}

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
    return static_cast<double>(noiseTerm + a1 * Log10Extended(km) + a2 * km + a3);
}

double LawMagnitude(double a0, double a1, double a2, double a3, double epi, double sourceW,
    double stationW, double noise)
{
    return LawAtDistance(LawNoiseTerm(a0, noise), a1, a2, a3, epi, sourceW, stationW);
}

namespace {

double StressDrop(double depth)
{
    return static_cast<double>(200 * TExtended(depth) + 1.7e6L);
}

} // namespace

TSourceTerms SourceTerms(double M, double Vs, double depth)
{
    const TExtended pi = std::numbers::pi_v<TExtended>;
    TSourceTerms t;
    t.StressDrop = StressDrop(depth);
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

// A trial in double. The full trial compares amp = Factor*S with the
// threshold, every quantity a double from an extended expression: M0, R0, Fc,
// S, f = n*Fc, each segment's exp(-pi*f*L/(Q*V)), and the factor's products
// in the order of travel. In exact arithmetic on the same doubles (M, the
// stress, Vs, n, the segments' L, spreading and coefficients, the threshold)
//   ln(amp/threshold) = A + e3 - X,  X = B*exp(-e3),
// X the attenuation exponent of the whole ray. The full trial departs from
// the exact value by its roundings: some 5u in S and 4u in f (u = 2^-53),
// so 4u*X more in the attenuations, one u per product of the factor; in all
// within u*(4*nseg + 8 + 4*X) relative (extended steps add 2^-63 each). The
// estimate's roundings: the logarithms in A (a few u of their sizes, 2u per
// factor of the product), e3 (3u of it and 6.07's own rounding), exp(-e3)
// (u + the error of e3), B (u per segment and some 10u), and the two sums:
// within u*(4*(|ln G| + |LnS| + |ln thr|) + 2*nseg + 24 + 5*|e3| +
// X*(nseg + 3*|e3| + 32)). The margin takes 2^-44 = 512u times a sum that
// covers both, so a trial outside it compares as the full one does.
//   Ranges: with |e3| <= 40, X <= 300, the factor's running products of
// spreading and coefficients within 1e+-100 and the constants' checks
// below, every quantity of the full trial has |ln| < 660: normal doubles,
// so the relative bounds hold and the full trial would not stop at an
// overflowed moment. Outside these the trial is evaluated in full.
constexpr double kTrialMargin = 0x1p-44;
constexpr double kMaxE3 = 40, kMaxExponent = 300, kMaxGeometric = 1e100;

TSourceConstants MakeSourceConstants(double depth, double Vs, double n)
{
    TSourceConstants c;
    const double stress = StressDrop(depth);
    const double lnRatio = std::log(stress / 0.4375);
    const double corner = 2.34 * Vs / (2 * std::numbers::pi); // Fc * R0
    const double scale = n * corner;
    // |ln R0| <= 40 + 30, |ln f| and |ln Fc| <= 50 + 70, |ln S| <= 40 + 77.
    if (!(stress > 0) || !(std::fabs(lnRatio) <= 90) || !(corner > 0) || !(scale > 0)
        || !(std::fabs(std::log(corner)) <= 50) || !(std::fabs(std::log(scale)) <= 50))
        return c;
    c.LnS = 2 * lnRatio / 3 - std::log(std::numbers::pi * 1e7);
    c.FreqScale = scale * std::cbrt(stress / 0.4375);
    c.Ok = std::isfinite(c.LnS) && std::isfinite(c.FreqScale);
    return c;
}

TTrialDecider MakeTrialDecider(const TSourceConstants &source, const TTravelParams &segments,
    const TRayTransitions &transitions, const THorizontalModel &layers, double threshold)
{
    TTrialDecider d;
    if (!source.Ok || segments.empty() || !(threshold >= std::numeric_limits<double>::min())
        || !std::isfinite(threshold))
        return d;
    double g = 1, lambda = 0;
    auto inRange = [](double x) { return x >= 1 / kMaxGeometric && x <= kMaxGeometric; };
    for (std::size_t k = 0; k < segments.size(); ++k) {
        const TRaySegment &seg = segments[k];
        if (seg.Layer < 0 || static_cast<std::size_t>(seg.Layer) >= layers.size()
            || seg.WaveIndex < 0 || seg.WaveIndex > 2)
            return d;
        const THorizontalLayer &layer = layers[static_cast<std::size_t>(seg.Layer)];
        const double qv = layer.Q * layer.Velocity[static_cast<std::size_t>(seg.WaveIndex)];
        if (!(qv > 0) || !std::isfinite(qv) || !(seg.Length >= 0) || !std::isfinite(seg.Length))
            return d;
        lambda += seg.Length / qv;
        g *= seg.Spreading;
        if (!inRange(g))
            return d;
        if (k < transitions.size()) {
            g *= transitions[k].Coefficient;
            if (!inRange(g))
                return d;
        }
    }
    const double lnG = std::log(g), lnThreshold = std::log(threshold);
    const auto nseg = static_cast<double>(segments.size());
    d.A = lnG + source.LnS - lnThreshold;
    d.B = source.FreqScale * std::numbers::pi * lambda;
    d.Fixed = 4 * (std::fabs(lnG) + std::fabs(source.LnS) + std::fabs(lnThreshold)) + 6 * nseg + 64;
    d.PerX = nseg + 40;
    d.Ok = std::isfinite(d.A) && std::isfinite(d.B) && d.B >= 0 && std::isfinite(d.Fixed);
    return d;
}

int TTrialDecider::operator()(double M) const
{
    constexpr double kHalfLn10 = std::numbers::ln10 / 2;
    if (!Ok)
        return 0;
    const double e3 = (M + 6.07) * kHalfLn10;
    if (!(std::fabs(e3) <= kMaxE3))
        return 0;
    const double X = B * std::exp(-e3);
    if (!(X <= kMaxExponent))
        return 0;
    const double D = A + e3 - X;
    const double margin
        = kTrialMargin * (Fixed + 6 * std::fabs(e3) + X * (PerX + 3 * std::fabs(e3)));
    return D > margin ? 1 : D < -margin ? -1 : 0;
}

int LayerOfAltitude(const THorizontalModel &model, double alt)
{
    int i = 0;
    while (
        i + 1 < static_cast<int>(model.size()) && model[static_cast<std::size_t>(i)].Bottom > alt)
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

TPathFactor PathFactor(
    THorizontalModel &model, double epi, double startAlt, double endAlt, double frequency)
{
    TRayTransitions transitions = StraightTransitions(model, startAlt, endAlt);
    TTravelParams segments;
    bool ok = false;
    TraceRay(model, transitions, segments, epi, startAlt, endAlt, frequency, ok);
    return { RayFactor(segments, transitions), ok };
}

double StationMinMagnitude(bool layered, THorizontalModel &model, double a0, double a1, double a2,
    double a3, double epi, double sourceW, double stationW, double depth, double noise, double Vs,
    double n)
{
    const double M = LawMagnitude(a0, a1, a2, a3, epi, sourceW, stationW, noise);
    if (!layered)
        return M;
    return RaiseToThreshold(M, noise, depth, Vs, n,
        [&](double frequency) { return PathFactor(model, epi, sourceW, stationW, frequency); });
}

} // namespace valdrin::medium
