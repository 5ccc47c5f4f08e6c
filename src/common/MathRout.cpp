// Colour scale: four linear quarters, k = rnd((f - q) * 1020), 1020 = 255 / 0.25.
#include "common/MathRout.h"

#include <cmath>
#include <cstddef>
#include <utility>

namespace valdrin::common {

long long RoundEven(double x)
{
    // std::nearbyint follows the current rounding mode, which the program
    // never changes from round-to-nearest-even.
    return static_cast<long long>(std::nearbyint(x));
}

TColor ValueToColor(double Value, double Lo, double Hi)
{
    double f = (Hi == Lo) ? 0.0 : (Value - Lo) / (Hi - Lo);
    if (std::isnan(f) || f < 0)
        return { 255, 255, 255 };
    if (f > 1)
        return { 0, 0, 0 };
    auto k = [](double x) { return static_cast<std::uint8_t>(RoundEven(x * 1020.0)); };
    if (f <= 0.25) {
        const auto c = k(f);
        return { static_cast<std::uint8_t>(255 - c), 255, static_cast<std::uint8_t>(255 - c) };
    }
    if (f <= 0.5) {
        const auto c = k(f - 0.25);
        return { 0, static_cast<std::uint8_t>(255 - c), c };
    }
    if (f <= 0.75) {
        const auto c = k(f - 0.5);
        return { c, 0, static_cast<std::uint8_t>(255 - c) };
    }
    const auto c = k(f - 0.75);
    return { static_cast<std::uint8_t>(255 - c), 0, 0 };
}

TMinMax ArrayMinMax(const TDoubleDynArray &Values, int From, int To)
{
    const int n = static_cast<int>(Values.size());
    if (n == 0 || From < 0 || From >= n)
        return {};
    if (To < 0 || To >= n)
        To = n - 1;
    const auto first = static_cast<std::size_t>(From), last = static_cast<std::size_t>(To);
    TMinMax r { Values[first], Values[first] };
    for (std::size_t i = first; i <= last; ++i) {
        if (Values[i] < r.MinV)
            r.MinV = Values[i];
        if (Values[i] > r.MaxV)
            r.MaxV = Values[i];
    }
    return r;
}

TMatrixRange MatrixFiniteMinMax(const TMatrix2D &m)
{
    TMatrixRange r;
    for (const auto &col : m)
        for (double v : col) {
            if (!std::isfinite(v))
                continue;
            if (!r.Found) {
                r = { v, v, true };
                continue;
            }
            if (v < r.MinV)
                r.MinV = v;
            if (v > r.MaxV)
                r.MaxV = v;
        }
    return r;
}

double ComplexAbs(double re, double im)
{
    return std::sqrt(re * re + im * im);
}

namespace {

template<class T> T Hypot(T a, T b)
{
    a = a < 0 ? -a : a;
    b = b < 0 ? -b : b;
    const T big = a > b ? a : b;
    const T small = a > b ? b : a;
    if (big == 0)
        return 0;
    const T r = small / big;
    return big * std::sqrt(1 + r * r);
}

} // namespace

TExtended SafeHypot(TExtended a, TExtended b)
{
    return Hypot(a, b);
}

double SafeHypot(double a, double b)
{
    return Hypot(a, b);
}

const double *MatrixElement(const TMatrix2D &m, int i, int j)
{
    if (i < 0 || j < 0 || static_cast<std::size_t>(i) >= m.size())
        return nullptr;
    const auto &col = m[static_cast<std::size_t>(i)];
    if (static_cast<std::size_t>(j) >= col.size())
        return nullptr;
    return &col[static_cast<std::size_t>(j)];
}

void Exchange(double &a, double &b)
{
    std::swap(a, b);
}
void Exchange(int &a, int &b)
{
    std::swap(a, b);
}
double MinOf(double a, double b)
{
    return a < b ? a : b;
}
double MaxOf(double a, double b)
{
    return a > b ? a : b;
}
int MinOf(int a, int b)
{
    return a < b ? a : b;
}
int MaxOf(int a, int b)
{
    return a > b ? a : b;
}

} // namespace valdrin::common
