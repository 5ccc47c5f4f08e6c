// The node scan's first pass over the stations (Detection.cpp): the
// homogeneous law in double, vectorised, with a bound on each value's
// distance from the extended one; the scan evaluates in extended precision
// only the stations this pass leaves near the k-th.
#pragma once

#include <cstddef>

namespace valdrin::calc {

// The law's value of every station in double (Estimates), and a bound on
// each one's distance from the extended value StationValue gives (the
// double nearest the extended sum). Rounding: the noise term's conversion,
// the squares, sum and root of R (4u), the logarithm (a few u, the constant
// another), each product and the three sums stay within some 16u of the
// terms' sizes, u = 2^-53, plus half an ulp of the result; the extended sum
// is some 2000 times closer still. The bound takes 2^-40 (about 500 times
// u) of the terms' sizes, |a1| added for the logarithm's own rounding near
// R = 1 km. An estimated distance (degrees) within its bound b of the true
// one moves R as much, so lg R by at most b/R/ln 10 * 2 < b/R while
// b <= R/2. False where R is out of the range these hold in.
struct TLawInputs {
    const double *__restrict Epi, *__restrict EpiBound; // degrees: the estimated distances
    const double *__restrict U, *__restrict V; // metres: the stations' plane coordinates
    const double *__restrict Z, *__restrict A1, *__restrict A2, *__restrict A3,
                                                                    *__restrict NoiseTerm;
};

// The estimates of stations 0..n-1 at node (u, v) from the source altitude
// sourceZ (m) into value, their bounds into b and the squared distances into
// r2 (metres, or the distances in degrees).
void EstimateLaw(bool degrees, std::size_t n, TLawInputs in, double u, double v, double sourceZ,
    double *value, double *b, double *r2);

// False where a station is out of the range the bounds hold in; bound: the
// largest of b.
bool LawRanges(std::size_t n, const double *r2, const double *eb, const double *b, double &bound);

// How many of x[0..n) lie below g, equal it, below low, and in [low, high].
struct TRankCounts {
    std::size_t Less = 0, Equal = 0, Below = 0, Within = 0;
};
TRankCounts CountRanks(std::size_t n, const double *x, double g, double low, double high);

} // namespace valdrin::calc
