// Ray tracing by shooting: Snell's law at every interface, the take-off
// angle refined tenfold from 1-degree steps; spreading 1/L^e over the first
// segment and (L_before/L_after)^e over the others (1/total length for
// e = 1), attenuation exp(-pi*f*L/(Q*V)), normal-incidence impedance
// coefficients at the interfaces. Extended precision inside, doubles stored.
#include "medium/godograf.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "common/MathRout.h"

namespace valdrin::medium {

using common::TExtended;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180; // first step of the angle search
constexpr double kReachTolerance = 0.1; // m: close enough to the distance
constexpr double kSecondsPerDay = 86400;
// Bounds of the angle search. The 1-degree level takes at most 90 angles and
// a finer one normally 10 to 20; beyond 20 levels the step is far below the
// resolution of an angle in doubles, so the reach cannot change any more.
constexpr int kMaxSearchLevels = 20;
constexpr std::size_t kMaxLevelEvaluations = 200;

constexpr int kVp = 0, kVs = 1;

// Steep angles without the library's general argument reduction. For
// |x| in [0.8, pi/2] (0.8 keeps |x - pi/2| below pi/4, where the library's
// own kernels take it directly) sin x = cos r and tan x = -1/tan r with
// r = x - pi/2, taken in two extended parts from pi/2 in three (x - P1 is
// exact, as x and P1 are within a factor of 2). Each result is within some
// 8 units of 2^-63 of the true value, and so is the library's on the full
// argument (glibc's long double sin, cos, tan and asin stay within a few
// units); a value is rounded to double from here only when every number
// within kTrigMargin (2^-57, some 64 units) of it rounds to the same double,
// so the library's value would round there too. Otherwise, and outside the
// range, the library's function on the full argument gives the value.
constexpr TExtended kHalfPi1 = 0xc90fdaa22168c235p-63L;
constexpr TExtended kHalfPi2 = -0xece675d1fc8f8cbbp-129L;
constexpr TExtended kHalfPi3 = -0xb7ed8fbbacc19c60p-194L;
constexpr double kSteepFrom = 0.8;
constexpr double kSteepTo = 1.5707963267948966; // pi/2 rounded down to a double
constexpr TExtended kTrigMargin = 0x1p-57L;

bool Steep(double a)
{
    return a >= kSteepFrom && a <= kSteepTo;
}

struct TReduced {
    TExtended Hi = 0, Lo = 0; // a - pi/2 = Hi + Lo, |Hi| < 0.771
};

TReduced ReduceSteep(double a)
{
    const TExtended d = a - kHalfPi1; // exact; |d| > 1e-20 > |kHalfPi2|
    const TExtended hi = d - kHalfPi2;
    return { hi, ((d - hi) - kHalfPi2) - kHalfPi3 };
}

// sin a and tan a for a Steep(a).
TExtended SinSteep(double a)
{
    const TReduced r = ReduceSteep(a);
    return std::cos(r.Hi) - r.Lo * r.Hi; // sin Hi ~ Hi: Lo*(sin Hi - Hi) far below 2^-63
}

TExtended TanSteep(double a)
{
    const TReduced r = ReduceSteep(a);
    const TExtended t = std::tan(r.Hi);
    return -1 / (t + r.Lo * (1 + t * t));
}

// The double nearest p when every number within the relative margin m of p
// rounds to it (rounding is monotone, so the two ends decide).
bool StableRound(TExtended p, TExtended m, double &out)
{
    const TExtended d = std::fabs(p) * m;
    out = static_cast<double>(p);
    return static_cast<double>(p - d) == static_cast<double>(p + d);
}

bool LayerIndexOk(const THorizontalModel &layers, int i)
{
    return i >= 0 && static_cast<std::size_t>(i) < layers.size();
}

bool TransitionOk(const THorizontalModel &layers, const TRayTransition &t)
{
    return LayerIndexOk(layers, t.FromLayer) && LayerIndexOk(layers, t.ToLayer)
        && KnownTransitionKind(t.Kind);
}

bool IsHeadWave(std::int32_t kind)
{
    return (kind & (tkTransmit | tkHeadWave)) == (tkTransmit | tkHeadWave);
}

// Larger magnitude times sqrt(1 + ratio^2): no overflow of the squares.
double SafeLength(TExtended a, TExtended b)
{
    return static_cast<double>(common::SafeHypot(a, b));
}

double Speed(const THorizontalModel &layers, int layer, int wave)
{
    return layers[static_cast<std::size_t>(layer)].Velocity[static_cast<std::size_t>(wave)];
}

// One evaluation of the shooting regime at take-off angle theta: the
// segments' layers, angles and runs, and with Full also lengths and times.
// Returns the horizontal reach. Transitions must have been checked.
template<bool Full>
double Shoot(const THorizontalModel &layers, const TRayTransitions &transitions, double theta,
    double startAlt, double endAlt, TTravelParams &segments)
{
    const std::size_t n = transitions.size();
    auto finish = [&](TRaySegment &seg) {
        if constexpr (Full) {
            seg.Length = SafeLength(seg.DX, seg.DZ);
            seg.Time = seg.Length / Speed(layers, seg.Layer, seg.WaveIndex);
        }
    };
    auto run = [](double angle, double dz) {
        if (const double a = std::fabs(angle); Steep(a)) {
            const TExtended t = TanSteep(a);
            double out;
            if (StableRound((angle < 0 ? -t : t) * dz, kTrigMargin, out))
                return out;
        }
        return static_cast<double>(std::tan(TExtended(angle)) * dz);
    };

    TRaySegment &first = segments[0];
    const TRayTransition &t0 = transitions[0];
    first.Layer = t0.FromLayer;
    first.Angle = (t0.ToLayer > t0.FromLayer) ? -theta : theta;
    const THorizontalLayer &l0 = layers[static_cast<std::size_t>(first.Layer)];
    first.DZ = (first.Angle > 0) ? l0.Top - startAlt : l0.Bottom - startAlt;
    first.DX = run(first.Angle, first.DZ);
    finish(first);
    double reach = first.DX;

    for (std::size_t k = 0; k < n; ++k) {
        const TRayTransition &t = transitions[k];
        TRaySegment &prev = segments[k];
        TRaySegment &seg = segments[k + 1];
        seg.Angle = AngleForward(prev.WaveIndex, t, layers, prev.Angle).Angle;
        seg.Layer = t.ToLayer;
        const THorizontalLayer &layer = layers[static_cast<std::size_t>(seg.Layer)];
        if (IsHeadWave(t.Kind)) {
            seg.DZ = 0;
            seg.DX = 0;
        } else {
            if (k + 1 < n) // an inner layer, crossed whole
                seg.DZ = (seg.Angle >= 0) ? layer.Top - layer.Bottom : layer.Bottom - layer.Top;
            else // the last layer, up to or down to endAlt
                seg.DZ = (seg.Angle >= 0) ? endAlt - layer.Bottom : endAlt - layer.Top;
            seg.DX = run(seg.Angle, seg.DZ);
        }
        finish(seg);
        reach += seg.DX;
    }
    return reach;
}

struct TSearch {
    double Theta = 0; // last angle evaluated
    bool Ok = false;
};

// The shooting search. The angles of a level come from cache where it has
// them, evaluated (and kept) where not; the same angles are accumulated the
// same way either way.
TSearch SearchTakeOff(const THorizontalModel &layers, const TRayTransitions &transitions,
    double distance, double startAlt, double endAlt, TTravelParams &scratch, TTakeOffCache *cache)
{
    double step = kDegree;
    double theta = 0;
    double reach = 0;
    TSearch out;
    const TTakeOffTable *table = cache ? cache->Table : nullptr;
    const bool replay
        = table != nullptr && !table->Theta.empty() && table->Theta.size() == table->Reach.size();
    TTakeOffNode *node = nullptr; // kept angles of the current level, if any
    for (int level = 0; level < kMaxSearchLevels; ++level) {
        const double limit = kPi / 2 - step;
        std::size_t k = 0; // angles taken at this level
        if (level == 0 && replay) {
            for (;;) {
                theta = table->Theta[k];
                reach = table->Reach[k];
                ++k;
                if (!(theta < limit && reach < distance) || k == table->Theta.size())
                    break;
            }
        } else {
            do {
                if (node != nullptr && k < node->Theta.size()) {
                    theta = node->Theta[k];
                    reach = node->Reach[k];
                } else {
                    theta = theta + step;
                    reach = Shoot<false>(layers, transitions, theta, startAlt, endAlt, scratch);
                    if (node != nullptr) {
                        node->Theta.push_back(theta);
                        node->Reach.push_back(reach);
                    }
                }
                ++k;
            } while (theta < limit && reach < distance && k < kMaxLevelEvaluations);
            if (theta < limit && reach < distance) {
                out.Theta = theta; // stalled: the angle no longer moves
                return out;
            }
        }
        out.Theta = theta;
        if (std::isnan(reach))
            return out;
        theta = theta - step;
        step = step / 10;
        if (std::fabs(distance - reach) < kReachTolerance) {
            out.Ok = true;
            return out;
        }
        // The next level starts from the angle before the one that stopped.
        std::vector<std::unique_ptr<TTakeOffNode>> *next = nullptr;
        if (level == 0 && replay)
            next = &cache->Level1;
        else if (node != nullptr && level < TTakeOffCache::kLevels)
            next = &node->Next;
        node = nullptr;
        if (next != nullptr) {
            if (next->size() < k)
                next->resize(k);
            auto &slot = (*next)[k - 1];
            if (!slot)
                slot = std::make_unique<TTakeOffNode>();
            node = slot.get();
        }
    }
    return out;
}

} // namespace

TAngleResult SnellAngle(double angle, double V1, double V2)
{
    // One ratio for both directions: a downward ray entering a faster layer
    // turns away from the vertical, as an upward one does.
    if (const double a = std::fabs(angle); Steep(a)) {
        const TExtended sa = SinSteep(a);
        const TExtended s = (angle < 0 ? -sa : sa) * V2 / V1;
        // s is within some 2^-59 of the library's; asin stretches that by
        // 1/sqrt(1 - s^2) and adds its own few units (|asin s| >= |s|). Far
        // enough from 1 that both take the arcsine.
        const TExtended q = 1 - s * s;
        if (q >= 0x1p-20L) {
            const TExtended stretch = 1 / std::sqrt(static_cast<double>(q));
            double out;
            if (StableRound(std::asin(s), kTrigMargin * (stretch + 1), out))
                return { out, true };
        }
    }
    const TExtended s = std::sin(TExtended(angle)) * V2 / V1;
    if (std::fabs(s) <= 1)
        return { static_cast<double>(std::asin(s)), true };
    return { 0, false };
}

TAngleResult ReflectedAngle(double angle, double V1, double V2)
{
    const TAngleResult r = SnellAngle(angle, V1, V2);
    return { static_cast<double>(std::numbers::pi_v<TExtended> - r.Angle), r.Ok };
}

double ReflectionCoef(double V1, double V2, double rho1, double rho2)
{
    const TExtended z1 = TExtended(rho1) * V1;
    const TExtended z2 = TExtended(rho2) * V2;
    return static_cast<double>((z2 - z1) / (z2 + z1));
}

double TransmissionCoef(double V1, double V2, double rho1, double rho2)
{
    return 1 - ReflectionCoef(V1, V2, rho1, rho2);
}

void UpdateLayerBounds(THorizontalModel &layers)
{
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (i > 0)
            layers[i].Top = layers[i - 1].Bottom;
        layers[i].Bottom = layers[i].Top - layers[i].H;
    }
}

THeadWaves FindHeadWaves(const TRayTransitions &transitions)
{
    THeadWaves out;
    for (std::size_t k = 0; k < transitions.size(); ++k) {
        if (IsHeadWave(transitions[k].Kind)) {
            if (out.Count == 0)
                out.First = static_cast<int>(k);
            ++out.Count;
        }
    }
    return out;
}

bool KnownTransitionKind(std::int32_t kind)
{
    switch (kind) {
    case 1:
    case 3:
    case 5:
    case 8:
    case 24:
    case 40:
    case 72:
    case 88:
    case 104:
        return true;
    default:
        return false;
    }
}

namespace {

// The velocity pair of a kind, (velocity before, velocity after) in the
// direction of travel From -> To, and whether it reflects.
struct TKindRule {
    double VFrom = 0, VTo = 0;
    bool Reflects = false;
    bool Ok = false;
};

TKindRule KindRule(int wave, const TRayTransition &t, const THorizontalModel &layers)
{
    if (!LayerIndexOk(layers, t.FromLayer) || !LayerIndexOk(layers, t.ToLayer) || wave < 0
        || wave > 2)
        return {};
    const auto &from = layers[static_cast<std::size_t>(t.FromLayer)].Velocity;
    const auto &to = layers[static_cast<std::size_t>(t.ToLayer)].Velocity;
    const auto w = static_cast<std::size_t>(wave);
    switch (t.Kind) {
    case 1:
        return { from[w], to[w], true, true };
    case 3:
        return { from[kVp], to[kVs], true, true };
    case 5:
        return { from[kVs], to[kVp], true, true };
    case 8:
    case 72:
        return { from[w], to[w], false, true };
    case 24:
    case 88:
        return { from[kVp], to[kVs], false, true };
    case 40:
        return { from[kVs], to[kVp], false, true };
    case 104:
        return { from[kVs], to[kVp], true, true };
    default:
        return {};
    }
}

} // namespace

TAngleResult AngleForward(
    int wave, const TRayTransition &transition, const THorizontalModel &layers, double angle)
{
    const TKindRule r = KindRule(wave, transition, layers);
    if (!r.Ok)
        return {};
    return r.Reflects ? ReflectedAngle(angle, r.VFrom, r.VTo) : SnellAngle(angle, r.VFrom, r.VTo);
}

TAngleResult AngleBackward(
    int wave, const TRayTransition &transition, const THorizontalModel &layers, double angle)
{
    const TKindRule r = KindRule(wave, transition, layers);
    if (!r.Ok)
        return {};
    return r.Reflects ? ReflectedAngle(angle, r.VTo, r.VFrom) : SnellAngle(angle, r.VTo, r.VFrom);
}

double TransitionCoef(int wave, const TRayTransition &transition, const THorizontalModel &layers)
{
    const TKindRule r = KindRule(wave, transition, layers);
    if (!r.Ok)
        return std::numeric_limits<double>::quiet_NaN();
    const double rhoF = layers[static_cast<std::size_t>(transition.FromLayer)].Rho;
    const double rhoT = layers[static_cast<std::size_t>(transition.ToLayer)].Rho;
    switch (transition.Kind) {
    case 1:
    case 3:
    case 5:
        return ReflectionCoef(r.VFrom, r.VTo, rhoF, rhoT);
    default:
        return TransmissionCoef(r.VFrom, r.VTo, rhoF, rhoT);
    }
}

TTakeOffTable BuildTakeOffTable(const THorizontalModel &layers, const TRayTransitions &transitions,
    double startAlt, double endAlt)
{
    TTakeOffTable table;
    if (transitions.empty() || FindHeadWaves(transitions).Count > 0)
        return table;
    THorizontalModel bounded = layers;
    UpdateLayerBounds(bounded);
    for (const TRayTransition &t : transitions)
        if (!TransitionOk(bounded, t))
            return table;
    TTravelParams scratch(transitions.size() + 1);
    // The same angles, accumulated the same way, as the first level of the search.
    const double step = kDegree;
    const double limit = kPi / 2 - step;
    double theta = 0;
    do {
        theta = theta + step;
        table.Theta.push_back(theta);
        table.Reach.push_back(Shoot<false>(bounded, transitions, theta, startAlt, endAlt, scratch));
    } while (theta < limit && table.Theta.size() < kMaxLevelEvaluations);
    return table;
}

bool TraceRayGeometry(THorizontalModel &layers, TRayTransitions &transitions,
    TTravelParams &segments, double distance, double startAlt, double endAlt, TTakeOffCache *cache)
{
    const std::size_t n = transitions.size();
    segments.assign(n + 1, TRaySegment {});
    UpdateLayerBounds(layers);
    if (layers.empty())
        return false;
    for (const TRayTransition &t : transitions)
        if (!TransitionOk(layers, t))
            return false;
    // Head waves (a segment running along an interface) are not traced.
    if (FindHeadWaves(transitions).Count > 0)
        return false;
    if (!(distance >= 0) || !std::isfinite(distance) || !std::isfinite(startAlt)
        || !std::isfinite(endAlt))
        return false;

    bool ok = true;
    if (n == 0) {
        // One segment in the first layer, from the start up to the surface.
        TRaySegment &seg = segments[0];
        seg.Layer = 0;
        seg.DX = distance;
        seg.DZ = layers[0].Top - startAlt;
        seg.Angle = static_cast<double>(std::atan2(TExtended(seg.DX), TExtended(seg.DZ)));
        seg.Length = SafeLength(seg.DX, seg.DZ);
        seg.Time = seg.Length / layers[0].Velocity[kVp];
    } else {
        TTravelParams scratch(n + 1);
        const TSearch search
            = SearchTakeOff(layers, transitions, distance, startAlt, endAlt, scratch, cache);
        Shoot<true>(layers, transitions, search.Theta, startAlt, endAlt, segments);
        ok = search.Ok;
    }

    double cum = 0;
    for (std::size_t k = 0; k <= n; ++k) {
        TRaySegment &seg = segments[k];
        seg.Time = seg.Time / kSecondsPerDay;
        cum = cum + seg.Length;
        const TExtended e = layers[static_cast<std::size_t>(seg.Layer)].SpreadExp;
        if (k == 0)
            seg.Spreading = static_cast<double>(1 / std::pow(TExtended(seg.Length), e));
        else
            seg.Spreading = static_cast<double>(std::pow(1 - TExtended(seg.Length) / cum, e));
        if (!std::isfinite(seg.Spreading) || !std::isfinite(seg.Length))
            ok = false;
    }
    for (std::size_t k = 0; k < n; ++k) {
        transitions[k].Coefficient = TransitionCoef(segments[k].WaveIndex, transitions[k], layers);
        if (!std::isfinite(transitions[k].Coefficient))
            ok = false;
    }
    return ok;
}

void SetRayFrequency(TTravelParams &segments, const THorizontalModel &layers, double frequency)
{
    const TExtended pi = std::numbers::pi_v<TExtended>;
    for (TRaySegment &seg : segments) {
        seg.Frequency = frequency;
        if (!LayerIndexOk(layers, seg.Layer) || seg.WaveIndex < 0 || seg.WaveIndex > 2) {
            seg.Attenuation = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const THorizontalLayer &layer = layers[static_cast<std::size_t>(seg.Layer)];
        const TExtended qv
            = TExtended(layer.Q) * layer.Velocity[static_cast<std::size_t>(seg.WaveIndex)];
        seg.Attenuation = static_cast<double>(std::exp(-pi * frequency * seg.Length / qv));
    }
}

void TraceRay(THorizontalModel &layers, TRayTransitions &transitions, TTravelParams &segments,
    double distance, double startAlt, double endAlt, double frequency, bool &ok)
{
    ok = TraceRayGeometry(layers, transitions, segments, distance, startAlt, endAlt);
    SetRayFrequency(segments, layers, frequency);
}

double RayFactor(const TTravelParams &segments, const TRayTransitions &transitions)
{
    double f = 1;
    for (std::size_t k = 0; k < segments.size(); ++k) {
        f = f * segments[k].Spreading * segments[k].Attenuation;
        if (k < transitions.size())
            f = f * transitions[k].Coefficient;
    }
    return f;
}

} // namespace valdrin::medium
