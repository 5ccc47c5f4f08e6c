// Marching squares, contour levels and station label placement.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "calc/NetworkModel.h"
#include "common/Error.h"
#include "map/Contours.h"
#include "map/Grids.h"
#include "map/LabelPlacement.h"

using namespace valdrin;
using namespace valdrin::map;

namespace {

// A cone of slope 1 around (c, c): value = distance from the apex, in nodes.
common::TMatrix2D Cone(std::size_t n, double c)
{
    common::TMatrix2D m(n, std::vector<double>(n));
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            m[i][j] = std::hypot(static_cast<double>(i) - c, static_cast<double>(j) - c);
    return m;
}

} // namespace

TEST(Contours, ConeGivesClosedCirclesOfTheLevelRadius)
{
    const common::TMatrix2D m = Cone(41, 20.3);
    for (double r : { 3.0, 7.5, 15.0 }) {
        const auto lines = ContourLines(m, r);
        ASSERT_EQ(lines.size(), 1u) << r;
        const TPolyline &l = lines[0];
        EXPECT_EQ(l.front(), l.back()); // closed
        EXPECT_GT(l.size(), static_cast<std::size_t>(4 * r));
        for (const TPointF &p : l)
            EXPECT_NEAR(std::hypot(p.X - 20.3, p.Y - 20.3), r, 0.5);
    }
    // A level above everything or below everything: nothing.
    EXPECT_TRUE(ContourLines(m, 100).empty());
    EXPECT_TRUE(ContourLines(m, -1).empty());
    EXPECT_TRUE(ContourLines(m, NAN).empty());
    EXPECT_TRUE(ContourLines({}, 1).empty());
    EXPECT_TRUE(ContourLines({ { 1, 2, 3 } }, 1.5).empty());
}

TEST(Contours, NodesWithoutValueBreakTheLine)
{
    common::TMatrix2D m = Cone(41, 20.3);
    // A column of NaN and +inf across the circle's right side.
    for (std::size_t j = 0; j < 41; ++j)
        m[30][j] = j % 2 ? NAN : INFINITY;
    // The circle (i from 5.3 to 35.3) falls into the big arc left of the
    // column and the small one right of it.
    const auto lines = ContourLines(m, 15);
    ASSERT_EQ(lines.size(), 2u);
    for (const TPolyline &l : lines) {
        EXPECT_NE(l.front(), l.back());
        for (const TPointF &p : l) {
            // No point lies in the cells next to the column: the line stops,
            // it is not drawn round or across the missing nodes.
            EXPECT_FALSE(p.X > 29 && p.X < 31) << p.X;
            EXPECT_NEAR(std::hypot(p.X - 20.3, p.Y - 20.3), 15, 0.5);
        }
    }
    // Ragged columns are read up to the shortest.
    m[5].resize(10);
    EXPECT_NO_THROW(ContourLines(m, 15));
}

TEST(Contours, SaddleAndStraightLines)
{
    // Values grow to the right: level 1.5 is a straight line at i = 1.5.
    const common::TMatrix2D ramp { { 0, 0, 0 }, { 1, 1, 1 }, { 2, 2, 2 }, { 3, 3, 3 } };
    const auto lines = ContourLines(ramp, 1.5);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 3u);
    for (const TPointF &p : lines[0])
        EXPECT_DOUBLE_EQ(p.X, 1.5);
    // A saddle gives two separate pieces, never a crossing.
    const common::TMatrix2D saddle { { 1, 0 }, { 0, 1 } };
    EXPECT_EQ(ContourLines(saddle, 0.5).size(), 2u);
}

TEST(Contours, LevelsAutoAndTyped)
{
    const auto a = AutoContourLevels(0.13, 2.9);
    EXPECT_GE(a.size(), 4u);
    EXPECT_LE(a.size(), 9u);
    for (double v : a) {
        EXPECT_GT(v, 0.13);
        EXPECT_LT(v, 2.9);
        EXPECT_NEAR(v * 10, std::nearbyint(v * 10), 1e-9); // round
    }
    EXPECT_EQ(AutoContourLevels(0, 6), (std::vector<double> { 1, 2, 3, 4, 5 }));
    EXPECT_TRUE(AutoContourLevels(1, 1).empty());
    EXPECT_TRUE(AutoContourLevels(0, INFINITY).empty());

    EXPECT_EQ(ParseContourLevels("0 0.5 1 1.5").Levels, (std::vector<double> { 0, 0.5, 1, 1.5 }));
    EXPECT_EQ(ParseContourLevels(" 1,5; 0,5  0,5 ").Levels, (std::vector<double> { 0.5, 1.5 }));
    EXPECT_EQ(ParseContourLevels("-6 -3").Levels, (std::vector<double> { -6, -3 }));
    EXPECT_TRUE(ParseContourLevels("auto").Auto);
    EXPECT_TRUE(ParseContourLevels("Авто").Auto);
    EXPECT_EQ(ParseContourLevels(""), TContourLevels {});
    EXPECT_EQ(ParseContourLevels("нет"), TContourLevels {});
    for (const char *bad : { "1 x", "1..5", "nan", "inf", "0,5,1", "1e999" })
        EXPECT_THROW(ParseContourLevels(bad), common::TValdrinError) << bad;
    std::string many;
    for (int i = 0; i < 101; ++i)
        many += std::to_string(i) + " ";
    EXPECT_THROW(ParseContourLevels(many), common::TValdrinError);
}

TEST(Contours, LabelPlacesAlongTheLineUpright)
{
    const TPolyline line { { 0, 0 }, { 300, 0 }, { 300, 300 } };
    const auto places = LineLabelPlaces(line, 200, 50);
    ASSERT_EQ(places.size(), 3u); // at 100, 300, 500 px of 600
    EXPECT_DOUBLE_EQ(places[0].At.X, 100);
    EXPECT_DOUBLE_EQ(places[1].At.X, 300);
    EXPECT_DOUBLE_EQ(places[1].At.Y, 0);
    EXPECT_NEAR(std::fabs(places[2].Angle), M_PI / 2, 1e-12);
    // Right to left still reads left to right.
    const auto back = LineLabelPlaces({ { 100, 0 }, { 0, 0 } }, 300, 10);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_DOUBLE_EQ(back[0].Angle, 0);
    EXPECT_TRUE(LineLabelPlaces({ { 0, 0 }, { 5, 0 } }, 200, 50).empty());
}

namespace {

// Marks as the map draws them: a circle of radius 9 and the number at
// (px - 6, py - 6); labels 7 px a character, 15 px high.
std::vector<TLabelItem> Items(
    const std::vector<TPointF> &centres, const std::vector<std::string> &names)
{
    std::vector<TLabelItem> items;
    for (std::size_t i = 0; i < centres.size(); ++i) {
        const TPointF c = centres[i];
        const double numW = 7.0 * static_cast<double>(std::to_string(i + 1).size());
        const TRectF circle { c.X - 9, c.Y - 9, 19, 19 };
        const TRectF num { c.X - 6, c.Y - 6, numW, 15 };
        const double x0 = std::min(circle.X, num.X), y0 = std::min(circle.Y, num.Y);
        const double x1 = std::max(circle.Right(), num.Right());
        const double y1 = std::max(circle.Bottom(), num.Bottom());
        items.push_back(
            { c, { x0, y0, x1 - x0, y1 - y0 }, 7.0 * static_cast<double>(names[i].size()), 15 });
    }
    return items;
}

void ExpectNoOverlap(const std::vector<TLabelItem> &items, const std::vector<TLabelPlace> &places)
{
    ASSERT_EQ(places.size(), items.size());
    for (std::size_t a = 0; a < places.size(); ++a) {
        EXPECT_TRUE(places[a].Placed) << a;
        for (std::size_t b = 0; b < places.size(); ++b) {
            EXPECT_FALSE(places[a].Rect.Intersects(items[b].Mark)) << a << " mark " << b;
            if (b != a && places[b].Placed) {
                EXPECT_FALSE(places[a].Rect.Intersects(places[b].Rect)) << a << " label " << b;
            }
        }
    }
}

} // namespace

TEST(LabelPlacement, DefaultNetworkAndHundredRandomStations)
{
    // The default network on the default plane at the window's 504 x 475.
    const auto coo = calc::DefaultCooGrid();
    const auto set = calc::ReadStations(coo, calc::DefaultStrGrid(), calc::TViewPlane::vpXY, '.');
    const auto grid = UpdatePlaneGrid(TRanges {}, calc::TViewPlane::vpXY);
    const TMapFrame f({ 0, 0, 504, 475 }, { grid.UMin, grid.UMax, grid.VMin, grid.VMax },
        TAspectMode::TrueProportions);
    std::vector<TPointF> centres;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < static_cast<std::size_t>(set.Count); ++i) {
        const auto [x, y] = f.ToPixel(set.U[i], set.V[i]);
        centres.push_back({ x, y });
        names.push_back(set.Name[i]);
    }
    auto items = Items(centres, names);
    const auto places = PlaceLabels(items, f.Plot());
    ExpectNoOverlap(items, places);
    // Stations standing free keep the old south-east place, beside the mark.
    int southEast = 0;
    for (std::size_t i = 0; i < places.size(); ++i)
        southEast += places[i].Rect.X >= items[i].Mark.Right() && places[i].Rect.Y == centres[i].Y;
    EXPECT_GT(southEast, set.Count / 2);

    std::mt19937 rng(13);
    std::uniform_real_distribution<double> x(0, 504), y(0, 475);
    centres.clear();
    names.clear();
    for (int i = 0; i < 100; ++i) {
        centres.push_back({ x(rng), y(rng) });
        names.push_back("ST" + std::to_string(i));
    }
    items = Items(centres, names);
    const auto random = PlaceLabels(items, { 0, 0, 504, 475 });
    ExpectNoOverlap(items, random);
    int leaders = 0;
    for (const TLabelPlace &p : random)
        leaders += p.Leader;
    EXPECT_GT(leaders, 0); // a crowded map needs some

    // Outside the bounds: no label; an empty name: none either.
    const auto none = PlaceLabels(
        { { { -50, 10 }, { -59, 1, 19, 19 }, 20, 15 }, { { 10, 10 }, { 1, 1, 19, 19 }, 0, 15 } },
        { 0, 0, 100, 100 });
    EXPECT_FALSE(none[0].Placed);
    EXPECT_FALSE(none[1].Placed);
}
