// Ray paths through a horizontally layered medium: the take-off angle that
// brings the ray to a given horizontal distance, and per segment its length,
// time, geometric spreading and anelastic attenuation, with the amplitude
// coefficient at every interface crossed.
//
// Angles are radians from the vertical: positive upward, negative downward.
// Lengths in metres, velocities in m/s, frequencies in Hz, times in days.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "medium/MediumModel.h"

namespace valdrin::medium {

// Kind bits of a transition.
constexpr std::int32_t tkReflect = 1; // reflection
constexpr std::int32_t tkReflectPS = 2; // reflection with P-to-S conversion
constexpr std::int32_t tkReflectSP = 4; // reflection with S-to-P conversion
constexpr std::int32_t tkTransmit = 8; // transmission into the next layer
constexpr std::int32_t tkTransmitPS = 16; // transmission with P-to-S conversion
constexpr std::int32_t tkTransmitSP = 32; // transmission with S-to-P conversion
constexpr std::int32_t tkHeadWave = 64; // the segment after the interface runs along it

struct TRayTransition {
    std::int32_t FromLayer = 0; // layer the ray leaves
    std::int32_t ToLayer = 0; // layer the ray enters
    std::int32_t Kind = tkTransmit;
    double Coefficient = 0; // amplitude coefficient, written by TraceRay
    std::uint8_t Valid = 0; // head-wave regime only
};
using TRayTransitions = std::vector<TRayTransition>;

struct TRaySegment {
    std::int32_t Layer = 0;
    std::int32_t WaveIndex = 0; // 0 P (Vp), 1 S (Vs), 2 Vr
    double Angle = 0; // rad from the vertical, signed
    double Time = 0; // days
    double Length = 0; // m
    double DX = 0; // horizontal run, m
    double DZ = 0; // vertical run, m, signed
    double Spreading = 0; // geometric-spreading factor
    double Frequency = 0; // Hz
    double Attenuation = 0; // exp(-pi*f*t/Q)
};
using TTravelParams = std::vector<TRaySegment>;

struct TAngleResult {
    double Angle = 0;
    bool Ok = false; // false: no refracted angle (Angle is then 0) or unknown kind
};

// arcsin(sin(angle)*V2/V1), the angle beyond an interface from a medium of
// velocity V1 into one of V2 (Snell's law, for either direction of travel).
TAngleResult SnellAngle(double angle, double V1, double V2);
// pi minus SnellAngle, with its Ok.
TAngleResult ReflectedAngle(double angle, double V1, double V2);
// Impedance contrast (rho2*V2 - rho1*V1) / (rho2*V2 + rho1*V1).
double ReflectionCoef(double V1, double V2, double rho1, double rho2);
double TransmissionCoef(double V1, double V2, double rho1, double rho2);

// Layer 0 keeps its Top; every other Top is the Bottom above; Bottom = Top - H.
void UpdateLayerBounds(THorizontalModel &layers);

struct THeadWaves {
    int First = -1; // index of the first head-wave transition, -1 if none
    int Count = 0;
};
// Transitions whose Kind holds both tkTransmit and tkHeadWave.
THeadWaves FindHeadWaves(const TRayTransitions &transitions);

// Whether the kind is one of 1, 3, 5, 8, 24, 40, 72, 88, 104.
bool KnownTransitionKind(std::int32_t kind);

// The angle in ToLayer of a ray arriving at the given angle in FromLayer,
// and back. Unknown kinds or layer indices give Ok = false.
TAngleResult AngleForward(
    int wave, const TRayTransition &transition, const THorizontalModel &layers, double angle);
TAngleResult AngleBackward(
    int wave, const TRayTransition &transition, const THorizontalModel &layers, double angle);
// The amplitude coefficient of the transition; NaN for an unknown kind or index.
double TransitionCoef(int wave, const TRayTransition &transition, const THorizontalModel &layers);

// Traces the ray from startAlt (in FromLayer of the first transition) to
// endAlt (in ToLayer of the last), distance apart horizontally. With no
// transition: one segment in layer 0 up to the surface. Otherwise the
// take-off angle is searched in steps of 1 degree refined tenfold until the
// reach is within 0.1 m of the distance; the segments hold the path of the
// last angle evaluated. Rewrites the layers' bounds and every transition's
// Coefficient. ok is false when the search does not come within 0.1 m in
// its bounded number of steps, for a transition of unknown kind or layer, a
// head-wave transition (not supported), a distance below 0 or not finite,
// or a path whose spreading has no value (a zero first segment).
void TraceRay(THorizontalModel &layers, TRayTransitions &transitions, TTravelParams &segments,
    double distance, double startAlt, double endAlt, double frequency, bool &ok);

// The pieces of TraceRay for callers that trace one path for many
// frequencies and many rays between the same two altitudes. The angles of
// the search depend on the distance only through which angle stops each
// level, so the reaches of the 1-degree level serve every distance, and
// those of the next levels every distance that stops at the same angles.
struct TTakeOffTable {
    std::vector<double> Theta; // successive take-off angles of the 1-degree level
    std::vector<double> Reach; // the horizontal reach of each
};
TTakeOffTable BuildTakeOffTable(const THorizontalModel &layers, const TRayTransitions &transitions,
    double startAlt, double endAlt);

// One finer level from one starting angle, filled as rays need it.
struct TTakeOffNode {
    std::vector<double> Theta, Reach;
    std::vector<std::unique_ptr<TTakeOffNode>> Next; // by the index of the angle that stopped
};
// The finer levels kept for one ray's two altitudes, on top of a shared
// table; it grows as rays are traced, so each thread keeps its own.
struct TTakeOffCache {
    static constexpr int kLevels = 2; // levels kept below the 1-degree one
    const TTakeOffTable *Table = nullptr;
    std::vector<std::unique_ptr<TTakeOffNode>> Level1; // by the stop of the 1-degree level
};

// TraceRay without the frequency: segments with their geometry, times and
// spreading, transitions with their coefficients. cache, when given, must
// belong to the same layers, transitions and altitudes (its table from
// BuildTakeOffTable for them). Returns ok.
bool TraceRayGeometry(THorizontalModel &layers, TRayTransitions &transitions,
    TTravelParams &segments, double distance, double startAlt, double endAlt,
    TTakeOffCache *cache = nullptr);

// Sets every segment's Frequency and its Attenuation at that frequency.
void SetRayFrequency(TTravelParams &segments, const THorizontalModel &layers, double frequency);

// The amplitude factor of a traced ray: spreading and attenuation of every
// segment, times the coefficient of every interface, in the order of travel.
double RayFactor(const TTravelParams &segments, const TRayTransitions &transitions);

} // namespace valdrin::medium
