// What the calculation tests share: a plane grid from its ranges, and the
// bit-for-bit comparison of two result matrices.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "calc/NetworkModel.h"

namespace valdrin::calc::fixtures {

inline TPlaneGrid Grid(
    double umin, double umax, double ustep, double vmin, double vmax, double vstep, double w)
{
    TPlaneGrid g { umin, umax, ustep, vmin, vmax, vstep, w, 0, 0 };
    g.NU = static_cast<int>(std::ceil((umax - umin + 0.0001) / ustep));
    g.NV = static_cast<int>(std::ceil((vmax - vmin + 0.0001) / vstep));
    return g;
}

// The same bits, any NaN matching any NaN.
inline bool SameBits(double a, double b)
{
    return (std::isnan(a) && std::isnan(b))
        || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The same shape and the same bits in every cell.
inline ::testing::AssertionResult SameMatrix(const TMatrix2D &a, const TMatrix2D &b)
{
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "rows " << a.size() << " vs " << b.size();
    int nan = 0, inf = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return ::testing::AssertionFailure() << "row " << i << " length";
        for (std::size_t j = 0; j < a[i].size(); ++j) {
            const double x = a[i][j], y = b[i][j];
            nan += std::isnan(x);
            inf += std::isinf(x);
            if (!SameBits(x, y))
                return ::testing::AssertionFailure()
                    << "[" << i << "][" << j << "] " << x << " vs " << y;
        }
    }
    return ::testing::AssertionSuccess() << nan << " NaN, " << inf << " inf";
}

} // namespace valdrin::calc::fixtures
