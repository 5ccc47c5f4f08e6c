// Matrix and array types, the colour scale of the maps, complex modulus,
// exchange and min/max routines shared by every subsystem.
#pragma once

#include <cstdint>
#include <vector>

namespace valdrin::common {

// The one extended real type of the project (80-bit on x86-64).
using TExtended = long double;

using TDoubleDynArray = std::vector<double>;
using TMatrix2D = std::vector<std::vector<double>>; // [first][second]

struct TColor {
    std::uint8_t R = 0, G = 0, B = 0;
    // Packed as R + 256*G + 65536*B.
    std::uint32_t Packed() const { return R + 256u * G + 65536u * B; }
    bool operator==(const TColor &) const = default;
};

// Nearest integer, ties to even (the rounding of every real-to-index and
// real-to-pixel conversion).
long long RoundEven(double x);

// The clamping of the numeric controls' range rule: below minValue gives
// minValue, then above maxValue gives maxValue, so in a reversed range
// (minValue > maxValue) the upper bound has the last word. NaN passes.
template<class T> constexpr T ClampToRange(T x, T minValue, T maxValue)
{
    if (x < minValue)
        x = minValue;
    if (x > maxValue)
        x = maxValue;
    return x;
}

// White -> green -> blue -> red -> black over [Lo, Hi]; below Lo or NaN white,
// above Hi black. Hi == Lo maps everything to white.
TColor ValueToColor(double Value, double Lo, double Hi);

struct TMinMax {
    double MinV = 0;
    double MaxV = 0;
};

// Min and max of Values[From..To]; To < 0 or beyond the end means the last
// index. An empty array, or From outside it, gives 0, 0.
TMinMax ArrayMinMax(const TDoubleDynArray &Values, int From = 0, int To = -1);

// Min and max over the finite elements of a matrix; Found is false when it
// has none (then both are 0).
struct TMatrixRange {
    double MinV = 0;
    double MaxV = 0;
    bool Found = false;
};
TMatrixRange MatrixFiniteMinMax(const TMatrix2D &m);

double ComplexAbs(double re, double im);

// sqrt(a^2 + b^2) as the larger magnitude times sqrt(1 + ratio^2): the squares
// never overflow.
TExtended SafeHypot(TExtended a, TExtended b);
double SafeHypot(double a, double b);

// The element [i][j], or nullptr when it lies outside the matrix (indices
// that come from pixels or from grids changed since the computation).
const double *MatrixElement(const TMatrix2D &m, int i, int j);

void Exchange(double &a, double &b);
void Exchange(int &a, int &b);
double MinOf(double a, double b);
double MaxOf(double a, double b);
int MinOf(int a, int b);
int MaxOf(int a, int b);

} // namespace valdrin::common
