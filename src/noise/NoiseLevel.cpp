// Band level: S = y[i]/2 * dx_i + sum over later points up to Fmax of
// y[j] * (x[j] - x[j-1]), m^2; the rms displacement is 1000 * sqrt(S) mm.
#include "noise/NoiseLevel.h"

#include "common/NumText.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace valdrin::noise {

double DisplacementPower(double f, double P)
{
    const double w = 2 * std::numbers::pi * f;
    return P / (w * w);
}

void SortChartPoints(TChartPoints &points)
{
    std::stable_sort(points.begin(), points.end(),
        [](const TChartPoint &a, const TChartPoint &b) { return a.X < b.X; });
}

TChartPoints ModelPoints(std::span<const TNoisePoint> model)
{
    TChartPoints points;
    points.reserve(model.size());
    for (const TNoisePoint &p : model)
        points.push_back({ p.F, DisplacementPower(p.F, p.P) });
    SortChartPoints(points);
    return points;
}

TChartPoints SpectrumColumnPoints(const TNoiseSpectrum &spectrum, int column, bool logY)
{
    TChartPoints points;
    if (column < 0 || static_cast<std::size_t>(column) >= spectrum.Data.size())
        return points;
    const auto &values = spectrum.Data[static_cast<std::size_t>(column)];
    const std::size_t rows = std::min(values.size(), spectrum.Freq.size());
    points.reserve(rows);
    for (std::size_t r = 1; r < rows; ++r) {
        const double v = values[r];
        const double f = spectrum.Freq[r];
        if (logY && !(v > 0))
            continue;
        if (!(f > 0))
            continue;
        const double y = DisplacementPower(f, v);
        if (!std::isfinite(y))
            continue; // a tiny f overflows the division
        points.push_back({ f, y });
    }
    SortChartPoints(points);
    return points;
}

std::optional<TNoiseLevel> NoiseBandLevel(const TChartPoints &points, double Fmin, double Fmax)
{
    const std::size_t count = points.size();
    if (count < 2)
        return std::nullopt;
    std::size_t i = 0;
    while (i < count && !(points[i].X >= Fmin))
        ++i;
    if (i == count)
        return std::nullopt;
    const double dx = i > 0 ? points[i].X - points[i - 1].X : points[1].X - points[0].X;
    double S = points[i].Y / 2 * dx;
    for (std::size_t j = i + 1; j < count && points[j].X <= Fmax; ++j)
        S += points[j].Y * (points[j].X - points[j - 1].X);
    if (!(S >= 0) || !std::isfinite(S))
        return std::nullopt;
    const double d = 1000 * std::sqrt(S);
    return TNoiseLevel { d, d * kWoodAndersonGain };
}

std::string NoiseLevelText(const std::optional<TNoiseLevel> &level, char decimalSep)
{
    std::string text = kNoiseLevelCaption;
    if (!level)
        return text + "\r\nнет значения";
    text += "\r\n" + common::FormatFixed(level->WaMm, 5, decimalSep) + " (WA)";
    text += "\r\n" + common::FormatExponent(level->TrueMm, 5, decimalSep) + " (true)";
    return text;
}

} // namespace valdrin::noise
