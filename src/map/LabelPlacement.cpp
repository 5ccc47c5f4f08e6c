// Greedy placement in station order (Imhof's preference of places around a
// point, reduced to eight): labels already placed and every mark are
// obstacles. The fallback scans rings around the mark, one label height
// apart, sixteen directions each, from the nearest ring out.
#include "map/LabelPlacement.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace valdrin::map {

namespace {

constexpr double kGap = 2; // pixels between a mark and its label
constexpr int kDirections = 16; // per ring of the fallback search
constexpr int kMaxRings = 400; // rings are a label height apart: far past any page

bool Free(const TRectF &r, const std::vector<TLabelItem> &items,
    const std::vector<TLabelPlace> &placed, const TRectF *bounds)
{
    if (bounds
        && (r.X < bounds->X || r.Y < bounds->Y || r.Right() > bounds->Right()
            || r.Bottom() > bounds->Bottom()))
        return false;
    for (const TLabelItem &it : items)
        if (r.Intersects(it.Mark))
            return false;
    for (const TLabelPlace &p : placed)
        if (p.Placed && r.Intersects(p.Rect))
            return false;
    return true;
}

TPointF NearestPoint(const TRectF &r, TPointF p)
{
    return { std::clamp(p.X, r.X, r.Right()), std::clamp(p.Y, r.Y, r.Bottom()) };
}

} // namespace

std::vector<TLabelPlace> PlaceLabels(const std::vector<TLabelItem> &items, const TRectF &bounds)
{
    std::vector<TLabelPlace> placed;
    placed.reserve(items.size());
    for (const TLabelItem &it : items) {
        TLabelPlace out;
        const TPointF c = it.Centre;
        if (!(it.W > 0) || !(it.H > 0) || !std::isfinite(c.X) || !std::isfinite(c.Y)
            || !bounds.Contains(c.X, c.Y)) {
            placed.push_back(out);
            continue;
        }
        const double w = it.W, h = it.H;
        const TRectF &m = it.Mark;
        const double east = m.Right() + kGap, west = m.X - kGap - w;
        const double north = m.Y - kGap - h, south = m.Bottom() + kGap;
        // South-east first: where the name has always stood.
        const TRectF around[8] = { { east, c.Y, w, h }, { east, c.Y - h, w, h }, // SE, NE
            { west, c.Y, w, h }, { west, c.Y - h, w, h }, // SW, NW
            { east, c.Y - h / 2, w, h }, { west, c.Y - h / 2, w, h }, // E, W
            { c.X - w / 2, south, w, h }, { c.X - w / 2, north, w, h } }; // S, N
        for (const TRectF &r : around)
            if (Free(r, items, placed, &bounds)) {
                out.Placed = true;
                out.Rect = r;
                break;
            }
        // Inside the bounds first; only when they are full, outside.
        for (const TRectF *limit : { &bounds, static_cast<const TRectF *>(nullptr) }) {
            for (int ring = 2; !out.Placed && ring <= kMaxRings; ++ring) {
                const double radius = ring * h + std::max(m.W, m.H) / 2;
                for (int k = 0; k < kDirections && !out.Placed; ++k) {
                    const double a = std::numbers::pi / 4 + 2 * std::numbers::pi * k / kDirections;
                    const TRectF r { c.X + radius * std::cos(a) - w / 2,
                        c.Y + radius * std::sin(a) - h / 2, w, h };
                    if (Free(r, items, placed, limit)) {
                        out.Placed = out.Leader = true;
                        out.Rect = r;
                    }
                }
            }
            if (out.Placed)
                break;
        }
        if (out.Leader) {
            out.To = NearestPoint(out.Rect, c);
            const double dx = out.To.X - c.X, dy = out.To.Y - c.Y;
            const double d = std::hypot(dx, dy);
            const double edge = std::min(m.W, m.H) / 2;
            out.From = d > 0 ? TPointF { c.X + dx / d * edge, c.Y + dy / d * edge } : c;
        }
        placed.push_back(out);
    }
    return placed;
}

} // namespace valdrin::map
