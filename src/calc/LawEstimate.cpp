#include "calc/LawEstimate.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace valdrin::calc {

namespace {

// ln x for a positive normal x, in plain arithmetic so that a loop over the
// stations vectorises: x = m * 2^e with m in [sqrt(1/2), sqrt(2)), and
// ln m = 2 atanh t, t = (m - 1)/(m + 1), |t| < 0.172, by its series to
// t^19 (the rest below 1e-17). Within a few units of the last place.
inline double LogEstimate(double x)
{
    using u64 = std::uint64_t;
    constexpr u64 kMantissa = (u64(1) << 52) - 1;
    constexpr u64 kOne = u64(1023) << 52;
    constexpr u64 kSqrt2 = 0x3FF6A09E667F3BCDull; // sqrt(2) rounded, as bits
    constexpr u64 kExponentBias = 0x4330000000000000ull; // 2^52 as a double
    constexpr double kTwo52 = 4503599627370496.0;
    constexpr double kLn2Hi = 0.693147180369123816490, kLn2Lo = 1.90821492927058770002e-10;
    const auto bits = std::bit_cast<u64>(x);
    const u64 mbits = (bits & kMantissa) | kOne; // m in [1, 2)
    // All ones where m >= sqrt(2): m is then halved (one off its exponent)
    // and e one up. Integer arithmetic only, so that the loop has no branch.
    const u64 high = u64(0) - ((kSqrt2 - 1 - mbits) >> 63);
    const double m = std::bit_cast<double>(mbits - (high & (u64(1) << 52)));
    // The biased exponent read as a double, without an integer conversion.
    const double e = std::bit_cast<double>((bits >> 52) | kExponentBias) - (kTwo52 + 1023)
        + std::bit_cast<double>(high & std::bit_cast<u64>(1.0));
    const double t = (m - 1) / (m + 1), t2 = t * t;
    double p = 1.0 / 19;
    for (int d = 17; d >= 3; d -= 2)
        p = p * t2 + 1.0 / d;
    const double lnm = 2 * t + 2 * t * t2 * p;
    return e * kLn2Hi + (lnm + e * kLn2Lo);
}

// Built also for AVX-512 and for AVX2 (each with FMA) where the compiler
// can, the widest the processor has picked at load: wider vectors for the
// same estimate (its bound holds with fused or separate roundings).
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
#define VALDRIN_VECTOR_CLONES                                                                      \
    __attribute__((target_clones("arch=x86-64-v4", "arch=x86-64-v3", "default")))
#else
#define VALDRIN_VECTOR_CLONES
#endif

// Inlined into each clone below (clang clones no templates).
template<bool Degrees>
[[gnu::always_inline]] inline void LawEstimateLoop(std::size_t n, const TLawInputs &in, double u,
    double v, double sourceZ, double *__restrict value, double *__restrict b, double *__restrict r2)
{
    constexpr double kLawRel = 0x1p-40;
    constexpr double kLog10e = 0.43429448190325182765;
    for (std::size_t s = 0; s < n; ++s) {
        const double dw = in.Z[s] - sourceZ;
        if constexpr (Degrees) {
            r2[s] = in.Epi[s] * in.Epi[s] + dw * dw;
        } else {
            const double du = u - in.U[s], dv = v - in.V[s];
            r2[s] = dv * dv + du * du + dw * dw;
        }
        const double R = std::sqrt(r2[s]);
        const double km = R * 1e-3;
        const double t1 = in.A1[s] * (LogEstimate(km) * kLog10e), t2 = in.A2[s] * km;
        const double size = std::fabs(in.NoiseTerm[s]) + std::fabs(t1) + std::fabs(t2)
            + std::fabs(in.A3[s]) + std::fabs(in.A1[s]);
        value[s] = in.NoiseTerm[s] + t1 + t2 + in.A3[s];
        b[s] = kLawRel * size;
        if constexpr (Degrees)
            b[s] += std::fabs(in.A1[s]) * in.EpiBound[s] / R
                + std::fabs(in.A2[s]) * in.EpiBound[s] * 1e-3;
    }
}

VALDRIN_VECTOR_CLONES void LawEstimateDegrees(std::size_t n, TLawInputs in, double u, double v,
    double sourceZ, double *__restrict value, double *__restrict b, double *__restrict r2)
{
    LawEstimateLoop<true>(n, in, u, v, sourceZ, value, b, r2);
}

VALDRIN_VECTOR_CLONES void LawEstimateMetres(std::size_t n, TLawInputs in, double u, double v,
    double sourceZ, double *__restrict value, double *__restrict b, double *__restrict r2)
{
    LawEstimateLoop<false>(n, in, u, v, sourceZ, value, b, r2);
}

} // namespace

// The ranges, apart so that the loop above vectorises: b within 1e280
// holds the terms' sizes within 1e300 (and is no NaN). Without branches, and
// the largest b taken from its bits (b >= +0, so its bits order as it does),
// so that this loop vectorises too. False where a station is out of range.
VALDRIN_VECTOR_CLONES bool LawRanges(std::size_t n, const double *__restrict r2,
    const double *__restrict eb, const double *__restrict b, double &bound)
{
    std::int64_t worst = 0;
    int bad = 0;
    for (std::size_t s = 0; s < n; ++s) {
        bad |= static_cast<int>(!(r2[s] >= 1e-290) | !(r2[s] <= 1e290)
            | !(4 * eb[s] * eb[s] <= r2[s]) | !(b[s] <= 1e280));
        worst = std::max(worst, std::bit_cast<std::int64_t>(b[s]));
    }
    bound = std::bit_cast<double>(worst);
    return bad == 0;
}

// Without branches, so that it vectorises.
VALDRIN_VECTOR_CLONES TRankCounts CountRanks(
    std::size_t n, const double *__restrict x, double g, double low, double high)
{
    std::size_t less = 0, equal = 0, below = 0, within = 0;
    for (std::size_t s = 0; s < n; ++s) {
        less += static_cast<std::size_t>(x[s] < g);
        equal += static_cast<std::size_t>(x[s] == g);
        below += static_cast<std::size_t>(x[s] < low);
        within += static_cast<std::size_t>((x[s] >= low) & (x[s] <= high));
    }
    return { less, equal, below, within };
}

void EstimateLaw(bool degrees, std::size_t n, TLawInputs in, double u, double v, double sourceZ,
    double *value, double *b, double *r2)
{
    if (degrees)
        LawEstimateDegrees(n, in, u, v, sourceZ, value, b, r2);
    else
        LawEstimateMetres(n, in, u, v, sourceZ, value, b, r2);
}

} // namespace valdrin::calc
