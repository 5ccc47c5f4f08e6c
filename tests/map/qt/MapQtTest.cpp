// Station drawing, RedrawMap into a QImage, the legend and the PNG.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include "calc/NetworkModel.h"
#include "common/Error.h"
#include "map/Grids.h"
#include "map/qt/MapQt.h"

using namespace valdrin;
using namespace valdrin::map;
using calc::TResult;
using calc::TShowMode;
using calc::TViewPlane;

namespace {

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);

TMapScene DefaultScene()
{
    TMapScene s;
    s.CooGrid = calc::DefaultCooGrid();
    s.Stations = calc::ReadStations(s.CooGrid, calc::DefaultStrGrid(), TViewPlane::vpXY, '.');
    s.PlaneGrid = UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY);
    s.WaveGrid = UpdateWaveGrid(0.005, 0.00002);
    return s;
}

// Mode 4 on the default grid: the value grows to the right.
TResult LocErrorResult(const calc::TPlaneGrid &grid)
{
    TResult r;
    r.ResultMode = TShowMode::smLocError;
    r.Saveable = true;
    r.PlaneGrid = grid;
    r.ResultMatrix.assign(static_cast<std::size_t>(grid.NU),
        std::vector<double>(static_cast<std::size_t>(grid.NV), 0.0));
    for (std::size_t i = 0; i < r.ResultMatrix.size(); ++i)
        for (double &v : r.ResultMatrix[i])
            v = static_cast<double>(i);
    return r;
}

int CountColour(const QImage &img, QRgb c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xffffff) == (c & 0xffffff);
    return n;
}

} // namespace

TEST(DrawStations, MarkersAtTheirPixelsOnAFreshOutlinedBackground)
{
    TMapScene s = DefaultScene();
    TMapGeometry g(504, 475);
    QImage bitmap = NewMapBitmap(g.W, g.H);
    DrawStations(bitmap, g, s.Stations, s.CooGrid, s.PlaneGrid, false);
    ASSERT_EQ(bitmap.size(), QSize(504, 475));
    // Outline and background.
    EXPECT_EQ(bitmap.pixel(0, 100), kBlack);
    EXPECT_EQ(bitmap.pixel(503, 100), kBlack);
    EXPECT_EQ(bitmap.pixel(100, 0), kBlack);
    EXPECT_EQ(bitmap.pixel(100, 474), kBlack);
    EXPECT_EQ(bitmap.pixel(5, 5), kWhite);

    // ARD3 (1651, 188) at (460, 475 - rnd(2188 * 0.11875) = 475 - 260 = 215),
    // clear of the crowded centre: red inside the circle left of its number,
    // black outline at the bounding box's edges, white beyond.
    EXPECT_EQ(bitmap.pixel(460 - 8, 215), kRed);
    EXPECT_EQ(bitmap.pixel(460, 215 - 8), kRed);
    EXPECT_EQ(bitmap.pixel(460 - 9, 215), kBlack);
    EXPECT_EQ(bitmap.pixel(460, 215 - 9), kBlack);
    EXPECT_EQ(bitmap.pixel(460, 215 + 8), kBlack); // bottom edge: (py + 9) - 1
    EXPECT_EQ(bitmap.pixel(460 - 11, 215), kWhite);
    EXPECT_EQ(bitmap.pixel(460, 215 - 11), kWhite);

    // The number sits on red from (px - 6, py - 6): its cell's top-left corner
    // is red (ink never fills the corner); the name sits on white from
    // (px + 6, py + 6), drawn in black.
    EXPECT_EQ(bitmap.pixel(460 - 6, 215 - 6), kRed);
    int ink = 0;
    for (int y = 215 + 6; y < 215 + 25; ++y)
        for (int x = 460 + 6; x < 460 + 45; ++x)
            ink += qGray(bitmap.pixel(x, y)) < 100;
    EXPECT_GT(ink, 10);
    EXPECT_EQ(bitmap.pixel(460 + 6, 215 + 6), kWhite);

    // Every one of the 25 markers is red somewhere.
    EXPECT_GT(CountColour(bitmap, kRed), 25 * 50);

    // KeepBackground keeps what is there; without it the old picture goes.
    bitmap.fill(Qt::green);
    DrawStations(bitmap, g, s.Stations, s.CooGrid, s.PlaneGrid, true);
    EXPECT_EQ(bitmap.pixel(5, 5), qRgb(0, 255, 0));
    DrawStations(bitmap, g, s.Stations, s.CooGrid, s.PlaneGrid, false);
    EXPECT_EQ(bitmap.pixel(5, 5), kWhite);

    // Out of operation: a hollow red ring, white inside.
    std::vector<bool> on(25, true);
    on[18] = false; // ARD3
    DrawStations(bitmap, g, s.Stations, s.CooGrid, s.PlaneGrid, false, on);
    EXPECT_EQ(bitmap.pixel(460 - 7, 215), kWhite); // left of the number, inside the ring
    EXPECT_EQ(bitmap.pixel(460 - 9, 215), kRed);

    // No stations: the white map with its outline.
    calc::TStationSet none = s.Stations;
    none.Count = 0;
    DrawStations(bitmap, g, none, s.CooGrid, s.PlaneGrid, false);
    EXPECT_EQ(CountColour(bitmap, kWhite), 502 * 473);
}

TEST(RedrawMap, ResultPictureUnderStationsAndStationsAloneWhenStale)
{
    TMapScene s = DefaultScene();
    const TResult r = LocErrorResult(s.PlaneGrid);
    s.Result = &r;
    s.SaveEnabled = true;
    s.Selected = TShowMode::smLocError;
    TMapGeometry g(504, 475);
    QImage bitmap = NewMapBitmap(g.W, g.H);

    TRedrawn out = RedrawMap(bitmap, g, s);
    EXPECT_EQ(out.Picture, TMapPicture::Volume);
    EXPECT_TRUE(out.Legend.Shown);
    EXPECT_EQ(out.Legend.Quantity, "Ошибка локации, м");
    EXPECT_EQ(bitmap.pixel(1, 5), kWhite); // smallest value, left
    EXPECT_EQ(bitmap.pixel(502, 5), kBlack); // largest, right
    EXPECT_EQ(bitmap.pixel(460 - 8, 215), kRed); // stations on top
    EXPECT_DOUBLE_EQ(g.MapScaleX, 504.0 / 4000); // station scale after the overlay

    // The ranges change after the run: stations alone, on white.
    s.PlaneGrid = UpdatePlaneGrid(TRanges { { -3000, 3000, 50, 0 }, {}, {} }, TViewPlane::vpXY);
    out = RedrawMap(bitmap, g, s);
    EXPECT_EQ(out.Picture, TMapPicture::Stations);
    EXPECT_FALSE(out.Legend.Shown);
    EXPECT_EQ(bitmap.pixel(502, 5), kWhite);

    // Another mode chosen: stations alone too.
    s.PlaneGrid = r.PlaneGrid;
    s.Selected = TShowMode::smMinMagnitude;
    EXPECT_EQ(RedrawMap(bitmap, g, s).Picture, TMapPicture::Stations);
    EXPECT_EQ(bitmap.pixel(502, 5), kWhite);
}

TEST(RedrawMap, ResponsePictureHasNoStations)
{
    TMapScene s = DefaultScene();
    TResult r;
    r.ResultMode = TShowMode::smCdF;
    r.Saveable = true;
    r.WaveGrid = { 0.002, 0.001, 2 };
    r.ResultMatrix.assign(5, std::vector<double>(5, 0.25));
    r.ResultMin = 0.25;
    s.WaveGrid = r.WaveGrid;
    s.Result = &r;
    s.SaveEnabled = true;
    s.Selected = TShowMode::smCdF;
    TMapGeometry g(504, 475);
    QImage bitmap = NewMapBitmap(g.W, g.H);
    const TRedrawn out = RedrawMap(bitmap, g, s);
    EXPECT_EQ(out.Picture, TMapPicture::Response);
    EXPECT_EQ(CountColour(bitmap, qRgb(0, 255, 0)), 504 * 475); // 0.25: pure green, every pixel
    EXPECT_DOUBLE_EQ(g.MapScaleX, 475.0 / 5);
}

TEST(Legend, ImageShowsTheScaleAndSwatches)
{
    TLegend l;
    l.Shown = true;
    l.Quantity = "Угловая частота, Гц";
    l.Range = { 10, 50, true, true };
    l.ShowNoValue = l.ShowNotRegistered = true;
    const QImage img = DrawLegend(l, QSize(kLegendWidth, 475), ',');
    ASSERT_EQ(img.size(), QSize(kLegendWidth, 475));
    // The reversed bar: white at the top (highest), black at the bottom.
    EXPECT_GT(CountColour(img, kBlack), 100);
    EXPECT_GT(CountColour(img, qRgb(0, 0, 255)), 10);
    EXPECT_GT(CountColour(img, qRgb(kNoValueColor.R, kNoValueColor.G, kNoValueColor.B)), 100);
    EXPECT_GT(
        CountColour(img, qRgb(kNotRegisteredColor.R, kNotRegisteredColor.G, kNotRegisteredColor.B)),
        100);

    const QImage blank = DrawLegend(TLegend {}, QSize(50, 50), '.');
    EXPECT_EQ(CountColour(blank, kWhite), 2500);
}

TEST(SaveMapPng, MapAndLegendSideBySideReadBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TMapScene s = DefaultScene();
    const TResult r = LocErrorResult(s.PlaneGrid);
    s.Result = &r;
    s.SaveEnabled = true;
    s.Selected = TShowMode::smLocError;
    TMapGeometry g(504, 475);
    QImage bitmap = NewMapBitmap(g.W, g.H);
    const TRedrawn out = RedrawMap(bitmap, g, s);

    const QString file = dir.filePath(QStringLiteral("map.png"));
    SaveMapPng(file, bitmap, out.Legend, '.');
    QImage back(file);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(504 + kLegendWidth, 475));
    EXPECT_EQ(back.pixel(460 - 8, 215), kRed);
    EXPECT_EQ(back.pixel(502, 5), kBlack);

    // Stations only: the map alone.
    const QString plain = dir.filePath(QStringLiteral("plain.png"));
    SaveMapPng(plain, bitmap, TLegend {}, '.');
    EXPECT_EQ(QImage(plain).size(), QSize(504, 475));

    // A folder that does not exist: the Russian message, no file.
    const QString bad = dir.filePath(QStringLiteral("no/such/dir/map.png"));
    try {
        SaveMapPng(bad, bitmap, out.Legend, '.');
        FAIL() << "no error";
    } catch (const common::TValdrinError &e) {
        EXPECT_NE(std::string(e.what()).find("Не удалось сохранить карту"), std::string::npos);
    }
    EXPECT_FALSE(QFile::exists(bad));
}
