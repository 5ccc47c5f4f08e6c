// The ray search as it was before the steep angles were reduced apart,
// kept as the benchmarks' baseline (the same numbers, bit for bit).
#include <cmath>
#include <limits>
#include <numbers>

#include "baseline/Baseline.h"
#include "common/MathRout.h"

namespace valdrin::calc::baseline {

using common::TExtended;
using medium::FindHeadWaves;
using medium::KnownTransitionKind;
using medium::TAngleResult;
using medium::THorizontalLayer;
using medium::THorizontalModel;
using medium::tkHeadWave;
using medium::tkTransmit;
using medium::TransitionCoef;
using medium::TRaySegment;
using medium::TRayTransition;
using medium::TRayTransitions;
using medium::TTakeOffCache;
using medium::TTakeOffNode;
using medium::TTakeOffTable;
using medium::TTravelParams;
using medium::UpdateLayerBounds;

namespace {

TAngleResult BaselineAngleForward(
    int wave, const TRayTransition &transition, const THorizontalModel &layers, double angle);

} // namespace

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
        seg.Angle = BaselineAngleForward(prev.WaveIndex, t, layers, prev.Angle).Angle;
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

namespace {

TAngleResult BaselineSnellAngle(double angle, double V1, double V2)
{
    // One ratio for both directions: a downward ray entering a faster layer
    // turns away from the vertical, as an upward one does.
    const TExtended s = std::sin(TExtended(angle)) * V2 / V1;
    if (std::fabs(s) <= 1)
        return { static_cast<double>(std::asin(s)), true };
    return { 0, false };
}

TAngleResult BaselineReflectedAngle(double angle, double V1, double V2)
{
    const TAngleResult r = BaselineSnellAngle(angle, V1, V2);
    return { static_cast<double>(std::numbers::pi_v<TExtended> - r.Angle), r.Ok };
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

TAngleResult BaselineAngleForward(
    int wave, const TRayTransition &transition, const THorizontalModel &layers, double angle)
{
    const TKindRule r = KindRule(wave, transition, layers);
    if (!r.Ok)
        return {};
    return r.Reflects ? BaselineReflectedAngle(angle, r.VFrom, r.VTo)
                      : BaselineSnellAngle(angle, r.VFrom, r.VTo);
}

} // namespace

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

} // namespace valdrin::calc::baseline
