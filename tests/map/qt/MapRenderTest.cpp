// The report page: a few pixels, the mapping it returns, the texts in the
// SVG, the files and their refusals.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cmath>

#include "calc/NetworkModel.h"
#include "common/Error.h"
#include "map/Grids.h"
#include "map/qt/MapRender.h"

using namespace valdrin;
using namespace valdrin::map;
using calc::TResult;
using calc::TShowMode;
using calc::TViewPlane;

namespace {

TMapScene Scene(TViewPlane plane)
{
    TMapScene s;
    s.Plane = plane;
    s.CooGrid = calc::DefaultCooGrid();
    s.Stations = calc::ReadStations(s.CooGrid, calc::DefaultStrGrid(), plane, '.');
    s.PlaneGrid = UpdatePlaneGrid(TRanges {}, plane);
    s.WaveGrid = UpdateWaveGrid(0.005, 0.0001);
    return s;
}

// Mode 4: the value is the node's column index, 0 on the left.
TResult Ramp(const calc::TPlaneGrid &grid)
{
    TResult r;
    r.ResultMode = TShowMode::smLocError;
    r.Saveable = true;
    r.Plane = TViewPlane::vpXY;
    r.PlaneGrid = grid;
    r.ResultMatrix.assign(static_cast<std::size_t>(grid.NU),
        std::vector<double>(static_cast<std::size_t>(grid.NV), 0.0));
    for (std::size_t i = 0; i < r.ResultMatrix.size(); ++i)
        for (double &v : r.ResultMatrix[i])
            v = static_cast<double>(i);
    return r;
}

QRgb At(const QImage &img, double x, double y)
{
    return img.pixel(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))) & 0xffffff;
}

QString ReadText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(MapRender, StationsPageKeepsTheMarksAndMapsPixelsBothWays)
{
    const TMapScene scene = Scene(TViewPlane::vpXY);
    for (const QSize size : { QSize(640, 480), QSize(1200, 700) }) {
        TRenderOptions o;
        o.Size = size;
        TRenderedPage page;
        const QImage img = RenderMapImage(scene, o, &page);
        ASSERT_EQ(img.size(), size);
        EXPECT_EQ(page.Picture, TMapPicture::Stations);
        EXPECT_FALSE(page.Legend.Shown);
        const TMapFrame &f = page.Frame;
        // The default plane is square: true proportions give a square plot.
        EXPECT_NEAR(f.Plot().W, f.Plot().H, 1e-9);
        // The plot outline is black; the plane corner is its corner.
        const auto [x0, y0] = f.ToPixel(-2000, -2000);
        EXPECT_EQ(At(img, x0, y0 - 20), 0u);
        // Every station mark is red left of its number, where the Part put it.
        for (std::size_t i = 0; i < static_cast<std::size_t>(scene.Stations.Count); ++i) {
            const auto [x, y] = f.ToPixel(scene.Stations.U[i], scene.Stations.V[i]);
            EXPECT_EQ(At(img, std::nearbyint(x) - 7, std::nearbyint(y)), 0xff0000u) << i;
            const auto [u, v] = f.ToPlane(x, y);
            EXPECT_NEAR(u, scene.Stations.U[i], 1e-6);
            EXPECT_NEAR(v, scene.Stations.V[i], 1e-6);
        }
    }
}

TEST(MapRender, VolumeColoursRangeAndSmoothing)
{
    TRanges ranges;
    ranges.X = { -2000, 2000, 1000, 0 }; // 5 x 5 nodes: big blocks
    ranges.Y = { -2000, 2000, 1000, 0 };
    TMapScene scene = Scene(TViewPlane::vpXY);
    scene.PlaneGrid = UpdatePlaneGrid(ranges, TViewPlane::vpXY);
    const TResult r = Ramp(scene.PlaneGrid);
    scene.Selected = r.ResultMode;
    scene.Result = &r;
    scene.SaveEnabled = true;
    scene.Stations.Count = 0; // nothing over the colours
    TRenderOptions o;
    o.Size = QSize(800, 600);
    o.Contours = {};
    TRenderedPage page;
    QImage img = RenderMapImage(scene, o, &page);
    ASSERT_EQ(page.Picture, TMapPicture::Volume);
    EXPECT_TRUE(page.Legend.Shown);
    const TRectF p = page.Frame.Plot();
    const double midY = p.Y + p.H / 2;
    EXPECT_EQ(At(img, p.X + 3, midY), 0xffffffu); // value 0: white
    EXPECT_EQ(At(img, p.Right() - 3, midY), 0x000000u); // value 4: black
    // Blocks: a pixel a third of the way from node 0 to node 1 takes node 0's white.
    const double third = p.X + p.W / 4 / 3;
    EXPECT_EQ(At(img, third, midY), 0xffffffu);
    // Smooth: the colour of about 1/3 on that ramp, no longer white.
    o.Smooth = true;
    img = RenderMapImage(scene, o);
    const TColor c = RangeColor(1.0 / 3, { 0, 4, false, true });
    const QRgb got = At(img, third, midY);
    EXPECT_NEAR(qRed(got), c.R, 6);
    EXPECT_NEAR(qGreen(got), c.G, 6);
    EXPECT_NEAR(qBlue(got), c.B, 6);
    // A fixed range: 0 .. 8 puts value 4 half way, pure blue.
    o.Smooth = false;
    o.FixedRange = true;
    o.RangeLo = 0;
    o.RangeHi = 8;
    img = RenderMapImage(scene, o, &page);
    EXPECT_EQ(At(img, p.Right() - 3, midY), 0x0000ffu);
    EXPECT_DOUBLE_EQ(page.Legend.Range.Hi, 8);
}

TEST(MapRender, SectionAndResponseProportions)
{
    // A YZ section 4000 m wide and 200 m high stays 20 times wider than high.
    const TMapScene yz = Scene(TViewPlane::vpYZ);
    TRenderOptions o;
    o.Size = QSize(1000, 700);
    TRenderedPage page;
    RenderMapImage(yz, o, &page);
    EXPECT_NEAR(page.Frame.Plot().W / page.Frame.Plot().H, 20, 1e-6);
    o.Aspect = TAspectMode::Fill;
    RenderMapImage(yz, o, &page);
    EXPECT_LT(page.Frame.Plot().W / page.Frame.Plot().H, 3);

    // The response in dB: the floor is -40 dB, not the matrix minimum.
    TMapScene scene = Scene(TViewPlane::vpXY);
    TResult r;
    r.ResultMode = TShowMode::smCdK;
    r.Saveable = true;
    r.WaveGrid = scene.WaveGrid;
    const auto side = static_cast<std::size_t>(ResponseSide(r.WaveGrid));
    r.ResultMatrix.assign(side, std::vector<double>(side, 1e-4));
    r.ResultMatrix[side / 2][side / 2] = 1;
    r.ResultMin = 1e-4;
    scene.Selected = r.ResultMode;
    scene.Result = &r;
    scene.SaveEnabled = true;
    scene.Unit = TResponseUnit::Decibel;
    o = {};
    o.Contours = {};
    const QImage img = RenderMapImage(scene, o, &page);
    EXPECT_EQ(page.Picture, TMapPicture::Response);
    EXPECT_DOUBLE_EQ(page.Legend.Range.Lo, -40);
    EXPECT_NEAR(page.Frame.Plot().W, page.Frame.Plot().H, 1e-9);
    // -80 dB lies below the floor: white; the centre (0 dB) black.
    EXPECT_EQ(At(img, page.Frame.Plot().X + 3, page.Frame.Plot().Y + 3), 0xffffffu);
    const auto [cx, cy] = page.Frame.ToPixel(0, 0);
    EXPECT_EQ(At(img, cx, cy), 0x000000u);
}

TEST(MapRender, FilesCarryTheTextsAndRefuseBadTargets)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TMapScene scene = Scene(TViewPlane::vpXY);
    const TResult r = Ramp(scene.PlaneGrid);
    scene.Selected = r.ResultMode;
    scene.Result = &r;
    scene.SaveEnabled = true;
    TRenderOptions o;
    o.Title.k = 3;
    const QString svg = dir.filePath(QStringLiteral("map.svg"));
    SaveMapSvg(svg, scene, o);
    const QString text = ReadText(svg);
    // Qt's SVG writes one text element per script run: "X, " and "м" apart.
    for (const char *s : { "Ошибка локации", "X, ", "Y, ", "-2000", "1000", "ARA0", "ARD9", "k = 3",
             "км", "не регистрируется" })
        EXPECT_TRUE(text.contains(QString::fromUtf8(s))) << s;

    const QString pdf = dir.filePath(QStringLiteral("map.pdf"));
    SaveMapPdf(pdf, scene, o);
    EXPECT_TRUE(ReadText(pdf).startsWith(QStringLiteral("%PDF-")));

    const QString png = dir.filePath(QStringLiteral("map.png"));
    o.Size = QSize(1500, 1000);
    o.Dpi = 192;
    SaveMapPng(png, scene, o);
    const QImage read(png);
    EXPECT_EQ(read.size(), QSize(1500, 1000));
    EXPECT_NEAR(read.dotsPerMeterX() * 0.0254, 192, 0.5);

    // Refused: no folder, a folder as the target, a size out of range.
    const QString bad = dir.filePath(QStringLiteral("no/such/map.svg"));
    EXPECT_THROW(SaveMapSvg(bad, scene, o), common::TValdrinError);
    EXPECT_FALSE(QFile::exists(bad));
    EXPECT_THROW(SaveMapPdf(dir.path(), scene, o), common::TValdrinError);
    o.Size = QSize(10, 10);
    EXPECT_THROW(SaveMapPng(png, scene, o), common::TValdrinError);
    EXPECT_EQ(QImage(png).size(), QSize(1500, 1000)); // the old file stays
}
