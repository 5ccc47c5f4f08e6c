// Cursor read-outs and mouse placement.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "calc/NetworkModel.h"
#include "map/Grids.h"
#include "map/MapCoreReadout.h"
#include "map/MapStatus.h"

using namespace valdrin;
using namespace valdrin::map;
using calc::TResult;
using calc::TShowMode;
using calc::TViewPlane;

namespace {

// The window's geometry after drawing the default station map.
TMapGeometry DefaultStationGeometry(TViewPlane plane = TViewPlane::vpXY)
{
    TMapGeometry g(504, 475);
    g.SetStationScale(UpdatePlaneGrid(TRanges {}, plane));
    return g;
}

TResult NodeResult(TShowMode mode)
{
    TResult r;
    r.ResultMode = mode;
    r.Saveable = true;
    r.PlaneGrid = UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY);
    r.ResultMatrix.assign(81, std::vector<double>(81, 0.0));
    for (std::size_t i = 0; i < 81; ++i)
        for (std::size_t j = 0; j < 81; ++j)
            r.ResultMatrix[i][j] = static_cast<double>(i) + static_cast<double>(j) / 1000.0;
    return r;
}

TResult ResponseResult(TShowMode mode)
{
    TResult r;
    r.ResultMode = mode;
    r.Saveable = true;
    r.WaveGrid = UpdateWaveGrid(0.005, 0.00002);
    r.ResultMatrix.assign(501, std::vector<double>(501, 0.1));
    r.ResultMatrix[250][250] = 1.0;
    r.ResultMin = 0.1;
    return r;
}

} // namespace

TEST(PlaneReadout, CentreAndDistanceWithEitherDecimalSeparator)
{
    const TMapGeometry g = DefaultStationGeometry();
    EXPECT_EQ(PlaneReadout(g.MapCentre, g, g.MapCentre, '.'), "X = 0.0, Y = 0.0, R = 0.00");
    EXPECT_EQ(PlaneReadout(g.MapCentre, g, g.MapCentre, ','), "X = 0,0, Y = 0,0, R = 0,00");
    // 126 pixels right at 0.126 px/m is 1000 m; the vertical axis points up.
    EXPECT_EQ(PlaneReadout({ 378, 237 }, g, g.MapCentre, '.'), "X = 1000.0, Y = 0.0, R = 1000.00");
    EXPECT_EQ(PlaneReadout({ 252, 0 }, g, { 252, 237 }, ','), "X = 0,0, Y = 1995,8, R = 1995,79");
    // Outside the image still reads plane offsets.
    EXPECT_EQ(
        PlaneReadout({ -126, 237 }, g, g.MapCentre, '.'), "X = -3000.0, Y = 0.0, R = 3000.00");
}

TEST(PlaneReadout, OtherPlanesStillLabelXAndY)
{
    for (TViewPlane plane : { TViewPlane::vpYZ, TViewPlane::vpXZ }) {
        const TMapGeometry g = DefaultStationGeometry(plane);
        // Z spans 200 m over 475 pixels.
        EXPECT_DOUBLE_EQ(g.MapScaleY, 475.0 / 200);
        EXPECT_EQ(PlaneReadout({ 252, 0 }, g, g.MapCentre, '.'), "X = 0.0, Y = 99.8, R = 99.79");
    }
}

TEST(InfoLabel, ChoiceOfReadout)
{
    const TMapGeometry g = DefaultStationGeometry();
    const TResult nodes = NodeResult(TShowMode::smLocError);
    TReadoutContext ctx;
    ctx.Result = &nodes;
    ctx.LastClick = g.MapCentre;

    const std::string plane = "X = 0.0, Y = 0.0, R = 0.00";
    ctx.Selected = TShowMode::smStations;
    EXPECT_EQ(InfoLabelText(g.MapCentre, g, ctx), plane);
    ctx.Selected = TShowMode::smMinMagnitude; // not the mode computed
    EXPECT_EQ(InfoLabelText(g.MapCentre, g, ctx), plane);
    ctx.Selected = TShowMode::smLocError;
    EXPECT_EQ(InfoLabelText(g.MapCentre, g, ctx), "x = 0.00000, y = 0.00000, E(x,y) = 40.040");
    ctx.GridsMatch = false; // the map shows the stations alone: read the plane
    EXPECT_EQ(InfoLabelText(g.MapCentre, g, ctx), plane);
    ctx.GridsMatch = true;
    ctx.Result = nullptr;
    EXPECT_EQ(InfoLabelText(g.MapCentre, g, ctx), plane);

    TResult empty = nodes;
    empty.ResultMatrix.clear();
    ctx.Result = &empty;
    EXPECT_EQ(ChooseReadout(TShowMode::smLocError, empty, true), TReadoutKind::Plane);
    EXPECT_EQ(InfoLabelText(g.MapCentre, g, ctx), plane);
}

TEST(InfoLabel, OutsideTheImageOrTheMatrixFallsBackToThePlaneReadout)
{
    const TMapGeometry g = DefaultStationGeometry();
    TResult nodes = NodeResult(TShowMode::smMinMagnitude);
    TReadoutContext ctx;
    ctx.Selected = TShowMode::smMinMagnitude;
    ctx.Result = &nodes;
    ctx.LastClick = g.MapCentre;
    for (TPixel p : { TPixel { -1, 10 }, TPixel { 504, 10 }, TPixel { 10, -5 }, TPixel { 10, 475 },
             TPixel { 100000, -100000 } }) {
        EXPECT_EQ(InfoLabelText(p, g, ctx), PlaneReadout(p, g, ctx.LastClick, '.'));
        EXPECT_TRUE(NodeReadout(p, g, nodes, '.').empty());
    }
    // Ragged matrix: the top-right node is missing and not read.
    nodes.ResultMatrix[80].resize(3);
    EXPECT_TRUE(NodeReadout({ 503, 0 }, g, nodes, '.').empty());
    EXPECT_FALSE(NodeReadout({ 0, 474 }, g, nodes, '.').empty());

    TResult resp = ResponseResult(TShowMode::smCdK);
    ctx.Selected = TShowMode::smCdK;
    ctx.Result = &resp;
    resp.ResultMatrix.resize(10); // shorter than its grid says
    EXPECT_EQ(InfoLabelText({ 400, 10 }, g, ctx), PlaneReadout({ 400, 10 }, g, g.MapCentre, '.'));
    EXPECT_TRUE(ResponseReadout({ -3, 10 }, g, resp, 6000, '.').empty());
}

TEST(NodeReadout, LettersCoordinatesAndValuesWithoutAFiniteValue)
{
    const TMapGeometry g = DefaultStationGeometry();
    TResult r = NodeResult(TShowMode::smMinMagnitude);
    // Bottom-left pixel row 474: j = rnd(1 / 475 * 80) = 0; x = 0: i = 0.
    EXPECT_EQ(
        NodeReadout({ 0, 474 }, g, r, '.'), "x = -2000.00000, y = -2000.00000, M(x,y) = 0.000");
    // x = 503: i = rnd(503 / 504 * 80) = 80; y = 0: j = 80.
    EXPECT_EQ(
        NodeReadout({ 503, 0 }, g, r, ','), "x = 2000,00000, y = 2000,00000, M(x,y) = 80,080");
    r.ResultMode = TShowMode::smCornerFreq;
    r.ResultMatrix[40][40] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(NodeReadout(g.MapCentre, g, r, '.'),
        "x = 0.00000, y = 0.00000, F(x,y) = не регистрируется");
    r.ResultMode = TShowMode::smSourceSize;
    r.ResultMatrix[40][40] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(
        NodeReadout(g.MapCentre, g, r, '.'), "x = 0.00000, y = 0.00000, R(x,y) = нет значения");
    // A section names its own axes.
    r.Plane = TViewPlane::vpYZ;
    EXPECT_EQ(
        NodeReadout(g.MapCentre, g, r, '.'), "y = 0.00000, z = 0.00000, R(y,z) = нет значения");
    r.Plane = TViewPlane::vpXZ;
    r.ResultMode = TShowMode::smMinMagnitude;
    EXPECT_EQ(
        NodeReadout({ 0, 474 }, g, r, '.'), "x = -2000.00000, z = -2000.00000, M(x,z) = 0.000");
}

TEST(ResponseReadout, WavenumberFrequencyAndDecibels)
{
    TMapGeometry g(504, 475);
    TResult k = ResponseResult(TShowMode::smCdK);
    g.SetResponseScale(501);
    // MapCentre: i = rnd(252 / 504 * 500) = 250, j = rnd(238 / 475 * 500) = rnd(250.53) = 251.
    k.ResultMatrix[250][251] = 1.0;
    EXPECT_EQ(ResponseReadout({ 252, 237 }, g, k, 6000, '.'),
        "Kx = 0.00000, Ky = 0.00002, C(K0-K) = 1.000 = 0.00 dB");
    // Bottom-left pixel: i = 0, j = rnd(1 / 475 * 500) = 1.
    EXPECT_EQ(ResponseReadout({ 0, 474 }, g, k, 6000, ','),
        "Kx = -0,00500, Ky = -0,00498, C(K0-K) = 0,100 = -20,00 dB");

    // Mode 2: the pair times the Vp of this move.
    TResult f = ResponseResult(TShowMode::smCdF);
    EXPECT_EQ(ResponseReadout({ 0, 474 }, g, f, 6000, '.'),
        "Fx = -30.00000, Fy = -29.88000, C(F0-F) = 0.100 = -20.00 dB");
    EXPECT_EQ(ResponseReadout({ 0, 474 }, g, f, 3000, '.'),
        "Fx = -15.00000, Fy = -14.94000, C(F0-F) = 0.100 = -20.00 dB");

    // An exact null has no logarithm.
    f.ResultMatrix[0][1] = 0;
    EXPECT_EQ(ResponseReadout({ 0, 474 }, g, f, 6000, '.'),
        "Fx = -30.00000, Fy = -29.88000, C(F0-F) = 0.000 = -INF dB");
}

TEST(Placement, CentrePressPlacesS00AtZeroWithTheLocaleSeparator)
{
    const TMapGeometry g = DefaultStationGeometry();
    EXPECT_EQ(PlacementCells(1, g.MapCentre, g, 0, 0, '.'),
        (std::array<std::string, 4> { "0.0", "0.0", "0", "s00" }));
    EXPECT_EQ(PlacementCells(1, g.MapCentre, g, 0, 0, ','),
        (std::array<std::string, 4> { "0,0", "0,0", "0", "s00" }));
    // Offsets are added to the centres; the horizontal goes to X, the vertical to Y.
    EXPECT_EQ(PlacementCells(100, { 378, 0 }, g, 10, -5, '.'),
        (std::array<std::string, 4> { "1010.0", "1990.8", "0", "s99" }));
    EXPECT_EQ(PlacementCells(11, g.MapCentre, g, 0, 0, '.')[3], "s10");
    // Degrees: six decimals (a tenth of a degree would be up to 11 km off).
    TMapGeometry geo(504, 475);
    geo.SetStationScale(calc::TPlaneGrid { 37.5, 37.7, 0.01, 55.6, 55.8, 0.01, 0, 21, 21 });
    EXPECT_EQ(PlacementCells(1, { 262, 230 }, geo, 37.6, 55.7, ',', true),
        (std::array<std::string, 4> { "37,603968", "55,702947", "0", "s00" }));
}

TEST(Placement, CountdownOfTwentyFiveThenRestore)
{
    auto coo = calc::DefaultCooGrid();
    const TMapGeometry g = DefaultStationGeometry();
    int remaining = StartPlacement(coo, 25);
    EXPECT_EQ(remaining, 25);
    EXPECT_EQ(PlacementCaption(remaining), "Осталось выбрать точек: 25");
    for (int r = 1; r <= 25; ++r) {
        EXPECT_EQ(coo.Cell(r, 0), std::to_string(r - 1)); // the numbers stay
        for (int c = 1; c <= 4; ++c)
            EXPECT_TRUE(coo.Cell(r, c).empty());
    }
    EXPECT_EQ(coo.Cell(0, 1), "X");
    EXPECT_EQ(calc::ReadStations(coo, calc::DefaultStrGrid(), TViewPlane::vpXY, '.').Count, 0);

    for (int press = 1; press <= 25; ++press) {
        const TPlacementStep step
            = PlaceStation(coo, 25, remaining, { press * 10, 100 }, g, 0, 0, '.');
        EXPECT_EQ(step.Row, press);
        EXPECT_TRUE(step.Written);
        remaining = step.Remaining;
        EXPECT_EQ(remaining, 25 - press);
        if (press < 25) {
            EXPECT_FALSE(step.Finished);
            EXPECT_EQ(step.Caption, "Осталось выбрать точек: " + std::to_string(25 - press));
        } else {
            EXPECT_TRUE(step.Finished);
        }
    }
    EXPECT_EQ(coo.Cell(1, 4), "s00");
    EXPECT_EQ(coo.Cell(25, 4), "s24");
    EXPECT_EQ(coo.Cell(25, 3), "0");
    EXPECT_EQ(calc::ReadStations(coo, calc::DefaultStrGrid(), TViewPlane::vpXY, '.').Count, 25);
}

TEST(Placement, ChangedStationCountNeverOverwritesTheHeaderRow)
{
    auto coo = calc::DefaultCooGrid();
    const TMapGeometry g = DefaultStationGeometry();
    int remaining = StartPlacement(coo, 25);
    remaining = PlaceStation(coo, 25, remaining, g.MapCentre, g, 0, 0, '.').Remaining; // 24
    // The count drops to 10 meanwhile: row = 10 - 24 + 1 is no station row.
    coo.SetRowCount(11);
    const TPlacementStep step = PlaceStation(coo, 10, remaining, g.MapCentre, g, 0, 0, '.');
    EXPECT_FALSE(step.Written);
    EXPECT_TRUE(step.Finished);
    EXPECT_EQ(coo.Cell(0, 1), "X");
    EXPECT_EQ(coo.Cell(0, 4), "Name");
    // Raised instead: rows past the end are not written either.
    const TPlacementStep beyond = PlaceStation(coo, 40, 1, g.MapCentre, g, 0, 0, '.');
    EXPECT_FALSE(beyond.Written);
    EXPECT_TRUE(beyond.Finished);
}

// The status line reads the point through the frame: absolute coordinates,
// the node's value, and the distance and azimuth from the last press.
TEST(MapStatus, PositionValueDistanceAndAzimuth)
{
    const TResult r = NodeResult(TShowMode::smMinMagnitude);
    const TMapFrame f({ 10, 10, 400, 400 }, { -2000, 2000, -2000, 2000 }, TAspectMode::Fill);
    TStatusContext ctx;
    ctx.Picture = TMapPicture::Volume;
    ctx.Result = &r;
    ctx.DecimalSep = ',';
    const auto [x, y] = f.ToPixel(1000, 1000); // node (60, 60)
    EXPECT_EQ(MapStatusText({ x, y }, f, { 0, 0 }, ctx),
        "X = 1000,0 м, Y = 1000,0 м | M = 60,060 | R = 1414,2 м, азимут 45,0°");
    EXPECT_EQ(MapStatusText({ 5, 5 }, f, { 0, 0 }, ctx), ""); // outside the plot

    // Degrees: lon, lat with the hemisphere, a geodesic due north; Z in a section.
    ctx.Picture = TMapPicture::Stations;
    ctx.Degrees = true;
    ctx.DecimalSep = '.';
    const TMapFrame g({ 0, 0, 400, 400 }, { 43, 44, 42, 43 }, TAspectMode::Fill);
    const auto [gx, gy] = g.ToPixel(43.5, 42.9);
    const std::string s = MapStatusText({ gx, gy }, g, { 43.5, 42.1 }, ctx);
    EXPECT_TRUE(s.starts_with("43.500000°E, 42.900000°N | R = ")) << s;
    EXPECT_NE(s.find("азимут 0.0°"), std::string::npos) << s;
    const double R = std::stod(s.substr(s.find("R = ") + 4));
    EXPECT_NEAR(R, 0.8 * 111100, 200) << s; // a degree of latitude near 42.5° N is ~111.1 km

    ctx.Degrees = false;
    ctx.Plane = TViewPlane::vpYZ;
    ctx.WPlane = 250;
    const TMapFrame z({ 0, 0, 400, 100 }, { -2000, 2000, 300, 500 }, TAspectMode::Fill);
    const auto [zx, zy] = z.ToPixel(100, 400);
    EXPECT_EQ(MapStatusText({ zx, zy }, z, { 100, 300 }, ctx),
        "X = 250.0 м, Y = 100.0 м, Z = 400.0 м | R = 100.0 м");
}
