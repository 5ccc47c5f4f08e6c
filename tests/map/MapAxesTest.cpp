// Ticks, the pixel <-> plane mapping, the scale bar and the title line.
#include <gtest/gtest.h>

#include <cmath>

#include "map/Grids.h"
#include "map/MapAxes.h"
#include "map/MapFrame.h"

using namespace valdrin;
using namespace valdrin::map;
using calc::TViewPlane;

namespace {

std::vector<std::string> Labels(const TAxisTicks &t)
{
    std::vector<std::string> out;
    for (const TTick &k : t.Ticks)
        out.push_back(k.Label);
    return out;
}

} // namespace

TEST(MapTicks, RoundStepsOnTheOneTwoFiveSeries)
{
    EXPECT_DOUBLE_EQ(NiceStep(0.7), 1);
    EXPECT_DOUBLE_EQ(NiceStep(1), 1);
    EXPECT_DOUBLE_EQ(NiceStep(1.01), 2);
    EXPECT_DOUBLE_EQ(NiceStep(3), 5);
    EXPECT_DOUBLE_EQ(NiceStep(0.03), 0.05);
    EXPECT_DOUBLE_EQ(NiceStep(700), 1000);
    EXPECT_DOUBLE_EQ(NiceStep(0), 1);
    EXPECT_DOUBLE_EQ(NiceStep(NAN), 1);

    // The default plane: -2000 .. 2000 m, at most 6 ticks -> 1000 m steps.
    const TAxisTicks t = ChooseTicks(-2000, 2000, TAxisKind::Metres, 6, "X");
    EXPECT_DOUBLE_EQ(t.Step, 1000);
    EXPECT_FALSE(t.Km);
    EXPECT_EQ(Labels(t), (std::vector<std::string> { "-2000", "-1000", "0", "1000", "2000" }));
    EXPECT_EQ(t.Title, "X, м");
    // Ends off the step, fractional steps, the user's separator.
    EXPECT_EQ(Labels(ChooseTicks(-0.33, 0.77, TAxisKind::Metres, 7, "X", ',')),
        (std::vector<std::string> { "-0,2", "0,0", "0,2", "0,4", "0,6" }));
    // Degenerate and non-finite ranges give no ticks, never a hang.
    EXPECT_TRUE(ChooseTicks(5, 5, TAxisKind::Metres, 6, "X").Ticks.empty());
    EXPECT_TRUE(ChooseTicks(0, INFINITY, TAxisKind::Metres, 6, "X").Ticks.empty());
    EXPECT_LE(ChooseTicks(0, 1e-300, TAxisKind::Metres, 1, "X").Ticks.size(), 2u);
}

TEST(MapTicks, KilometresAboveTenKilometresElevationAlwaysMetres)
{
    const TAxisTicks m = ChooseTicks(0, 10000, TAxisKind::Metres, 6, "Y");
    EXPECT_FALSE(m.Km);
    const TAxisTicks km = ChooseTicks(-12000, 13000, TAxisKind::Metres, 6, "Y");
    EXPECT_TRUE(km.Km);
    EXPECT_EQ(km.Title, "Y, км");
    EXPECT_DOUBLE_EQ(km.Step, 5000);
    EXPECT_EQ(Labels(km), (std::vector<std::string> { "-10", "-5", "0", "5", "10" }));
    EXPECT_EQ(ChooseTicks(0, 3000, TAxisKind::Metres, 7, "X").Ticks[1].Label, "500");
    const TAxisTicks z = ChooseTicks(-20000, 500, TAxisKind::Elevation, 5, "Z");
    EXPECT_FALSE(z.Km);
    EXPECT_EQ(z.Title, "Z (высота), м");
    EXPECT_EQ(z.Ticks.front().Label, "-20000");
}

TEST(MapTicks, DegreesCarryTheHemisphere)
{
    const TAxisTicks lon = ChooseTicks(43.05, 43.2, TAxisKind::Longitude, 4, "X");
    EXPECT_DOUBLE_EQ(lon.Step, 0.05);
    EXPECT_EQ(
        Labels(lon), (std::vector<std::string> { "43.05°E", "43.10°E", "43.15°E", "43.20°E" }));
    EXPECT_EQ(lon.Title, "Долгота");
    EXPECT_EQ(TickLabel(42.57, 0.01, TAxisKind::Latitude, false), "42.57°N");
    EXPECT_EQ(TickLabel(-42.57, 0.01, TAxisKind::Latitude, false), "42.57°S");
    EXPECT_EQ(TickLabel(-0.5, 0.5, TAxisKind::Longitude, false), "0.5°W");
    EXPECT_EQ(TickLabel(0, 0.5, TAxisKind::Longitude, false), "0.0°");
    EXPECT_EQ(TickLabel(190, 10, TAxisKind::Longitude, false), "170°W"); // wrapped
    EXPECT_EQ(TickLabel(180, 10, TAxisKind::Longitude, false), "180°");
    EXPECT_EQ(ChooseTicks(42.5, 42.7, TAxisKind::Latitude, 5, "Y").Title, "Широта");
}

TEST(MapFrame, FillStretchesTrueProportionsKeepsMetresEqual)
{
    const TPlaneRange section { -2000, 2000, 300, 500 }; // a YZ section, 4000 x 200 m
    for (const auto &[w, h] : { std::pair { 504.0, 475.0 }, { 1200.0, 300.0 }, { 300.0, 900.0 } }) {
        const TRectF frame { 40, 20, w, h };
        const TMapFrame fill(frame, section, TAspectMode::Fill);
        EXPECT_EQ(fill.Plot(), frame);
        const TMapFrame tp(frame, section, TAspectMode::TrueProportions);
        EXPECT_NEAR(tp.ScaleX(), tp.ScaleY(), 1e-9 * tp.ScaleX());
        EXPECT_LE(tp.Plot().W, w + 1e-9);
        EXPECT_LE(tp.Plot().H, h + 1e-9);
        // One side fills the frame.
        EXPECT_TRUE(std::fabs(tp.Plot().W - w) < 1e-9 || std::fabs(tp.Plot().H - h) < 1e-9);
        for (const TMapFrame *f : { &fill, &tp }) {
            // Corners land on the plot's corners, V upwards; round trips.
            const auto [x0, y0] = f->ToPixel(-2000, 300);
            EXPECT_DOUBLE_EQ(x0, f->Plot().X);
            EXPECT_DOUBLE_EQ(y0, f->Plot().Bottom());
            const auto [x1, y1] = f->ToPixel(2000, 500);
            EXPECT_NEAR(x1, f->Plot().Right(), 1e-9);
            EXPECT_NEAR(y1, f->Plot().Y, 1e-9);
            for (const auto &[u, v] :
                { std::pair { -1234.5, 321.0 }, { 0.0, 400.0 }, { 1999.0, 499.5 } }) {
                const auto [x, y] = f->ToPixel(u, v);
                const auto [u2, v2] = f->ToPlane(x, y);
                EXPECT_NEAR(u2, u, 1e-9 * 4000);
                EXPECT_NEAR(v2, v, 1e-9 * 4000);
            }
        }
    }
    // A degenerate range or frame keeps finite scales.
    const TMapFrame tiny({ 0, 0, 1, 1 }, section, TAspectMode::TrueProportions);
    EXPECT_TRUE(std::isfinite(tiny.ScaleY()) && tiny.Plot().H >= 1);
    const TMapFrame flat({ 0, 0, 100, 100 }, { 5, 5, 0, 0 }, TAspectMode::TrueProportions);
    EXPECT_TRUE(std::isfinite(flat.ScaleX()) && flat.ScaleX() > 0);
}

TEST(MapFrame, DegreesShortenLongitudeByCosLatitude)
{
    const TPlaneRange r { 43.0, 43.2, 42.5, 42.7 };
    const TGroundScale g = PlaneGroundScale(TViewPlane::vpXY, true, r, 0);
    EXPECT_NEAR(g.U / g.V, std::cos(42.6 * M_PI / 180), 1e-12);
    const TMapFrame f({ 0, 0, 600, 600 }, r, TAspectMode::TrueProportions, g);
    // 0.2° x 0.2° at 42.6° N is about 0.74 times as wide as high.
    EXPECT_NEAR(f.Plot().W / f.Plot().H, std::cos(42.6 * M_PI / 180), 1e-9);
    EXPECT_DOUBLE_EQ(f.Plot().H, 600);
    // In XZ the latitude is the plane's fixed coordinate; metres stay metres.
    const TGroundScale xz = PlaneGroundScale(TViewPlane::vpXZ, true, { 43, 43.1, 0, 500 }, 60);
    EXPECT_NEAR(xz.U, kMetresPerDegree / 2, 1e-6);
    EXPECT_DOUBLE_EQ(xz.V, 1);
    EXPECT_DOUBLE_EQ(PlaneGroundScale(TViewPlane::vpXY, false, r, 0).U, 1);

    // Node indices spread over the whole range, nothing outside the plot.
    const auto ij = f.ToNode(f.Plot().Right(), f.Plot().Y, 5, 9);
    ASSERT_TRUE(ij);
    EXPECT_DOUBLE_EQ(ij->first, 4);
    EXPECT_DOUBLE_EQ(ij->second, 8);
    EXPECT_FALSE(f.ToNode(f.Plot().Right() + 1, 0, 5, 9));
    EXPECT_FALSE(f.ToNode(1, 1, 0, 9));
}

TEST(MapScaleBar, LongestRoundLengthThatFits)
{
    // 0.1 px per metre, 150 px: 1500 m fit, so 1 km.
    TScaleBar b = ChooseScaleBar(0.1, 150);
    EXPECT_DOUBLE_EQ(b.Metres, 1000);
    EXPECT_DOUBLE_EQ(b.Pixels, 100);
    EXPECT_EQ(b.Label, "1 км");
    b = ChooseScaleBar(0.1, 50);
    EXPECT_EQ(b.Label, "500 м");
    EXPECT_EQ(ChooseScaleBar(1, 0.6, ',').Label, "0,5 м");
    EXPECT_DOUBLE_EQ(ChooseScaleBar(0.1, 200).Metres, 2000);
    EXPECT_DOUBLE_EQ(ChooseScaleBar(0, 100).Metres, 0);
    EXPECT_DOUBLE_EQ(ChooseScaleBar(INFINITY, 100).Metres, 0);
}

TEST(MapTitle, NamesQuantityPlaneKMediumAndTime)
{
    calc::TResult r;
    r.ResultMode = calc::TShowMode::smMinMagnitude;
    r.PlaneGrid = UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY);
    TTitleInfo info { 3, calc::TMediumKind::Homogeneous, std::nullopt, {} };
    EXPECT_EQ(MapTitleLine(TMapPicture::Volume, r, TResponseUnit::Unit01, TViewPlane::vpXY,
                  r.PlaneGrid, false, info),
        "Минимальная магнитуда — плоскость XY, Z = 400 м — k = 3 — однородная среда");
    r.PlaneGrid.WPlane = -0.5;
    r.ResultMode = calc::TShowMode::smLocError;
    info.Medium = calc::TMediumKind::Layered;
    EXPECT_EQ(MapTitleLine(TMapPicture::Volume, r, TResponseUnit::Unit01, TViewPlane::vpYZ,
                  r.PlaneGrid, true, info, ','),
        "Ошибка локации, м — плоскость YZ, X = 0,500000°W — k = 3 — слоистая среда");
    info.Quantity = "Выигрыш"; // a map derived from the result names its own quantity
    EXPECT_TRUE(MapTitleLine(
        TMapPicture::Volume, r, TResponseUnit::Unit01, TViewPlane::vpXY, r.PlaneGrid, false, info)
                    .starts_with("Выигрыш — плоскость XY"));
    r.ResultMode = calc::TShowMode::smCdF;
    std::tm tm {};
    tm.tm_year = 125, tm.tm_mon = 2, tm.tm_mday = 5, tm.tm_hour = 14, tm.tm_min = 7;
    tm.tm_isdst = -1;
    const std::string line
        = MapTitleLine(TMapPicture::Response, r, TResponseUnit::Decibel, TViewPlane::vpXY,
            r.PlaneGrid, false, { 3, calc::TMediumKind::Layered, std::mktime(&tm), {} });
    EXPECT_EQ(line, "Функция C(dF), дБ — расчет 05.03.2025 14:07");
}
