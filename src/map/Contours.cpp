// Marching squares (Lorensen & Cline's 2-D case): each cell of four nodes
// a = (i, j), b = (i+1, j), c = (i+1, j+1), d = (i, j+1) is cut where the
// level crosses an edge, at the linearly interpolated point. A node is
// "inside" when its value >= level. Saddles (a, c on one side, b, d on the
// other) are resolved by the mean of the four corners. Segments share their
// edge points exactly, so they are joined by the edge they end on.
#include "map/Contours.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>

#include "common/Error.h"
#include "common/NumText.h"
#include "map/MapAxes.h"

namespace valdrin::map {

namespace {

constexpr std::size_t kMaxLevels = 100; // more lines than this would hide the map

struct TSegment {
    std::int64_t E0 = 0, E1 = 0; // edge keys
};

} // namespace

std::vector<TPolyline> ContourLines(const common::TMatrix2D &m, double level)
{
    std::vector<TPolyline> lines;
    const std::int64_t nI = static_cast<std::int64_t>(m.size());
    if (nI < 2 || !std::isfinite(level))
        return lines;
    std::size_t shortest = m[0].size();
    for (const auto &col : m)
        shortest = std::min(shortest, col.size());
    const std::int64_t nJ = static_cast<std::int64_t>(shortest);
    if (nJ < 2)
        return lines;

    // Edge keys: 2 * node + 0 for the edge (i, j)-(i+1, j), + 1 for (i, j)-(i, j+1).
    const auto node = [nJ](std::int64_t i, std::int64_t j) { return i * nJ + j; };
    const auto hEdge = [&](std::int64_t i, std::int64_t j) { return 2 * node(i, j); };
    const auto vEdge = [&](std::int64_t i, std::int64_t j) { return 2 * node(i, j) + 1; };
    const auto value = [&m](std::int64_t i, std::int64_t j) {
        return m[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
    };
    const auto edgePoint = [&](std::int64_t key) {
        const std::int64_t n = key / 2;
        const std::int64_t i = n / nJ, j = n % nJ;
        const std::int64_t i2 = key % 2 ? i : i + 1, j2 = key % 2 ? j + 1 : j;
        const double p = value(i, j), q = value(i2, j2);
        const double t = std::clamp((level - p) / (q - p), 0.0, 1.0);
        return TPointF { static_cast<double>(i) + t * static_cast<double>(i2 - i),
            static_cast<double>(j) + t * static_cast<double>(j2 - j) };
    };

    std::vector<TSegment> segs;
    for (std::int64_t i = 0; i + 1 < nI; ++i)
        for (std::int64_t j = 0; j + 1 < nJ; ++j) {
            const std::array<double, 4> v { value(i, j), value(i + 1, j), value(i + 1, j + 1),
                value(i, j + 1) };
            if (!std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); }))
                continue;
            std::array<bool, 4> in {};
            for (std::size_t k = 0; k < 4; ++k)
                in[k] = v[k] >= level;
            // Edges in order around the cell: bottom (a-b), right (b-c), top (d-c), left (a-d).
            const std::array<std::int64_t, 4> edge { hEdge(i, j), vEdge(i + 1, j), hEdge(i, j + 1),
                vEdge(i, j) };
            std::array<std::size_t, 4> cut {};
            std::size_t n = 0;
            for (std::size_t k = 0; k < 4; ++k)
                if (in[k] != in[(k + 1) % 4])
                    cut[n++] = k; // edge k joins corners k and k + 1
            if (n == 2) {
                segs.push_back({ edge[cut[0]], edge[cut[1]] });
            } else if (n == 4) {
                const bool centreIn = (v[0] + v[1] + v[2] + v[3]) / 4 >= level;
                // Cut off each corner on the other side than the centre; corner
                // k lies between edges k - 1 and k.
                for (std::size_t k = 0; k < 4; ++k)
                    if (in[k] != centreIn)
                        segs.push_back({ edge[(k + 3) % 4], edge[k] });
            }
        }
    if (segs.empty())
        return lines;

    // Two segments at most end on one edge (one per neighbouring cell).
    std::vector<std::array<std::int32_t, 2>> at(static_cast<std::size_t>(2 * nI * nJ), { -1, -1 });
    for (std::size_t s = 0; s < segs.size(); ++s)
        for (std::int64_t e : { segs[s].E0, segs[s].E1 }) {
            auto &slot = at[static_cast<std::size_t>(e)];
            (slot[0] < 0 ? slot[0] : slot[1]) = static_cast<std::int32_t>(s);
        }
    std::vector<bool> used(segs.size(), false);
    const auto next = [&](std::int64_t e, std::size_t from, std::int64_t &other) -> std::int64_t {
        for (std::int32_t s : at[static_cast<std::size_t>(e)])
            if (s >= 0 && static_cast<std::size_t>(s) != from
                && !used[static_cast<std::size_t>(s)]) {
                other = segs[static_cast<std::size_t>(s)].E0 == e
                    ? segs[static_cast<std::size_t>(s)].E1
                    : segs[static_cast<std::size_t>(s)].E0;
                return s;
            }
        return -1;
    };
    for (std::size_t s0 = 0; s0 < segs.size(); ++s0) {
        if (used[s0])
            continue;
        used[s0] = true;
        std::vector<std::int64_t> fwd { segs[s0].E0, segs[s0].E1 }, back;
        std::int64_t other = 0;
        for (std::size_t cur = s0;;) {
            const std::int64_t s = next(fwd.back(), cur, other);
            if (s < 0)
                break;
            used[static_cast<std::size_t>(s)] = true;
            fwd.push_back(other);
            cur = static_cast<std::size_t>(s);
        }
        if (fwd.back() != fwd.front())
            for (std::size_t cur = s0;;) {
                const std::int64_t e = back.empty() ? fwd.front() : back.back();
                const std::int64_t s = next(e, cur, other);
                if (s < 0)
                    break;
                used[static_cast<std::size_t>(s)] = true;
                back.push_back(other);
                cur = static_cast<std::size_t>(s);
            }
        TPolyline line;
        line.reserve(back.size() + fwd.size());
        for (auto it = back.rbegin(); it != back.rend(); ++it)
            line.push_back(edgePoint(*it));
        for (std::int64_t e : fwd)
            line.push_back(edgePoint(e));
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<double> AutoContourLevels(double lo, double hi, int about)
{
    std::vector<double> levels;
    const double span = hi - lo;
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(span > 0) || about < 1)
        return levels;
    const auto count = [&](double step) {
        return std::floor(hi / step - 1e-9) - std::ceil(lo / step + 1e-9) + 1;
    };
    // Of the 1-2-5 steps on both sides of span / about, the one whose level
    // count comes nearer to about.
    double step = NiceStep(span / about);
    const double finer = NiceStep(step * 0.4); // the next step down the series: 5 -> 2 -> 1 -> 0.5
    if (std::fabs(count(finer) - about) < std::fabs(count(step) - about))
        step = finer;
    // 1e-9 keeps a level that merely touches lo or hi out: it would be a point.
    for (double n = std::ceil(lo / step + 1e-9); n * step < hi - 1e-9 * step; ++n)
        levels.push_back(n == 0 ? 0.0 : n * step);
    return levels;
}

TContourLevels ParseContourLevels(const std::string &text)
{
    std::string t = text;
    for (char &c : t)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto notBlank = [](unsigned char c) { return !std::isspace(c); };
    t.erase(t.begin(), std::find_if(t.begin(), t.end(), notBlank));
    t.erase(std::find_if(t.rbegin(), t.rend(), notBlank).base(), t.end());
    TContourLevels out;
    if (t == "auto" || t == "авто" || t == "Авто")
        return { true, {} };
    if (t.empty() || t == "none" || t == "нет")
        return out;
    std::string token;
    const auto flush = [&] {
        if (token.empty())
            return;
        auto v = common::TextToFloat(token, '.');
        if (!v)
            v = common::TextToFloat(token, ',');
        if (!v)
            throw common::TValdrinError("Неверный уровень изолиний: \"" + token
                + "\". Нужен список чисел (например, 0 0.5 1 1.5) или auto");
        out.Levels.push_back(*v);
        token.clear();
    };
    for (char c : t) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ';')
            flush();
        else
            token += c;
    }
    flush();
    std::sort(out.Levels.begin(), out.Levels.end());
    out.Levels.erase(std::unique(out.Levels.begin(), out.Levels.end()), out.Levels.end());
    if (out.Levels.size() > kMaxLevels)
        throw common::TValdrinError(
            "Слишком много уровней изолиний: больше " + std::to_string(kMaxLevels));
    return out;
}

std::vector<TLineLabel> LineLabelPlaces(const TPolyline &line, double spacing, double minLength)
{
    std::vector<TLineLabel> places;
    if (line.size() < 2 || !(spacing > 0))
        return places;
    std::vector<double> cum(line.size(), 0.0);
    for (std::size_t k = 1; k < line.size(); ++k)
        cum[k] = cum[k - 1] + std::hypot(line[k].X - line[k - 1].X, line[k].Y - line[k - 1].Y);
    const double total = cum.back();
    if (!(total >= minLength) || !(total > 0))
        return places;
    std::vector<double> at;
    if (total < spacing)
        at.push_back(total / 2);
    else
        for (double s = spacing / 2; s < total; s += spacing)
            at.push_back(s);
    std::size_t k = 1;
    for (double s : at) {
        while (k + 1 < line.size() && cum[k] < s)
            ++k;
        const TPointF &a = line[k - 1], &b = line[k];
        const double seg = cum[k] - cum[k - 1];
        const double t = seg > 0 ? (s - cum[k - 1]) / seg : 0;
        double angle = std::atan2(b.Y - a.Y, b.X - a.X);
        if (angle > std::numbers::pi / 2)
            angle -= std::numbers::pi;
        else if (angle < -std::numbers::pi / 2)
            angle += std::numbers::pi;
        places.push_back({ { a.X + t * (b.X - a.X), a.Y + t * (b.Y - a.Y) }, angle });
    }
    return places;
}

} // namespace valdrin::map
