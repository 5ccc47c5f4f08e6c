// Map geometry, the result pictures and RedrawMap's choice.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calc/NetworkModel.h"
#include "map/Grids.h"
#include "map/MapCore.h"

using namespace valdrin;
using namespace valdrin::map;
using calc::TResult;
using calc::TShowMode;
using calc::TViewPlane;
using common::TColor;

namespace {

constexpr TColor kWhite { 255, 255, 255 };
constexpr TColor kBlack { 0, 0, 0 };
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A volume result on a grid of nu x nv nodes, unit steps from 0.
TResult VolumeResult(TShowMode mode, const calc::TMatrix2D &m)
{
    TResult r;
    r.ResultMode = mode;
    r.ResultMatrix = m;
    r.Saveable = true;
    r.PlaneGrid.NU = static_cast<int>(m.size());
    r.PlaneGrid.NV = static_cast<int>(m.front().size());
    r.PlaneGrid.UMax = r.PlaneGrid.NU - 1;
    r.PlaneGrid.VMax = r.PlaneGrid.NV - 1;
    r.PlaneGrid.UStep = r.PlaneGrid.VStep = 1;
    return r;
}

// A response result with KCount = 1: a 3 x 3 matrix.
TResult ResponseResult(const calc::TMatrix2D &m, double min)
{
    TResult r;
    r.ResultMode = TShowMode::smCdK;
    r.ResultMatrix = m;
    r.ResultMin = min;
    r.Saveable = true;
    r.WaveGrid = { 0.001, 0.001, 1 };
    return r;
}

// On a 5 x 5 image a 3 x 3 matrix element (i, j) sits under pixel (2i, 4 - 2j).
TColor At(const TPixelImage &img, int i, int j)
{
    return img.Pixel(2 * i, 4 - 2 * j);
}

bool AllPixels(const TPixelImage &img, TColor c)
{
    for (const TColor &p : img.Pixels)
        if (!(p == c))
            return false;
    return true;
}

} // namespace

TEST(MapGeometry, DefaultStationScaleAndMarkerPixelsRoundTiesToEven)
{
    TMapGeometry g(504, 475);
    EXPECT_EQ(g.MapCentre, (TPixel { 252, 237 }));
    const auto grid = UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY);
    g.SetStationScale(grid);
    EXPECT_DOUBLE_EQ(g.MapScaleX, 504.0 / 4000);
    EXPECT_DOUBLE_EQ(g.MapScaleY, 475.0 / 4000);
    // (0, 0): 2000 * 475 / 4000 = 237.5 rounds to the even 238.
    EXPECT_EQ(g.PlaneToPixel(0, 0, grid), (TPixel { 252, 475 - 238 }));
    EXPECT_EQ(g.PlaneToPixel(-2000, -2000, grid), (TPixel { 0, 475 }));
    EXPECT_EQ(g.PlaneToPixel(2000, 2000, grid), (TPixel { 504, 0 }));
}

TEST(MapGeometry, DegenerateRangesKeepTheScaleFinite)
{
    TMapGeometry g(100, 80);
    calc::TPlaneGrid equal;
    equal.UMin = equal.UMax = 5;
    equal.VMin = 10;
    equal.VMax = -10; // minimum above maximum
    g.SetStationScale(equal);
    EXPECT_DOUBLE_EQ(g.MapScaleX, 100);
    EXPECT_DOUBLE_EQ(g.MapScaleY, 80);

    calc::TPlaneGrid wild;
    wild.UMin = -std::numeric_limits<double>::max();
    wild.UMax = std::numeric_limits<double>::max();
    wild.VMin = kNaN;
    wild.VMax = 1;
    g.SetStationScale(wild);
    EXPECT_TRUE(std::isfinite(g.MapScaleX) && g.MapScaleX > 0);
    EXPECT_TRUE(std::isfinite(g.MapScaleY) && g.MapScaleY > 0);

    // Absurd coordinates land far outside the image, not in undefined integers.
    g.SetStationScale(UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY));
    const TPixel far = g.PlaneToPixel(1e300, -1e300, UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY));
    EXPECT_GT(far.x, 100000);
    EXPECT_GT(far.y, 100000);

    g.SetResponseScale(0);
    EXPECT_DOUBLE_EQ(g.MapScaleX, 80);
    g.SetResponseScale(501);
    EXPECT_DOUBLE_EQ(g.MapScaleX, 80.0 / 501);
}

TEST(MapGeometry, PixelToIndexStaysInsideTheMatrixAndRoundsTiesToEven)
{
    const TMapGeometry g(4, 4);
    // x / W * (n - 1): 2 / 4 * 1 = 0.5 -> 0, 2 / 4 * 3 = 1.5 -> 2.
    EXPECT_EQ(g.PixelToIndex({ 2, 2 }, 2, 2)->first, 0);
    EXPECT_EQ(g.PixelToIndex({ 2, 2 }, 4, 4)->first, 2);
    EXPECT_EQ(g.PixelToIndex({ 2, 2 }, 4, 4)->second, 2);
    // Top row reads the last node upward, the bottom row the first.
    EXPECT_EQ(g.PixelToIndex({ 0, 0 }, 5, 5)->second, 4);
    EXPECT_EQ(g.PixelToIndex({ 3, 3 }, 5, 5)->second, 1);
    EXPECT_EQ(g.PixelToIndex({ 3, 3 }, 5, 5)->first, 3);

    const TMapGeometry big(504, 475);
    for (int x : { 0, 1, 251, 252, 503 })
        for (int y : { 0, 237, 474 }) {
            const auto ij = big.PixelToIndex({ x, y }, 81, 81);
            ASSERT_TRUE(ij);
            EXPECT_GE(ij->first, 0);
            EXPECT_LT(ij->first, 81);
            EXPECT_GE(ij->second, 0);
            EXPECT_LT(ij->second, 81);
        }
    for (TPixel outside :
        { TPixel { -1, 0 }, TPixel { 504, 0 }, TPixel { 0, -1 }, TPixel { 0, 475 } })
        EXPECT_FALSE(big.PixelToIndex(outside, 81, 81));
    EXPECT_FALSE(big.PixelToIndex({ 1, 1 }, 0, 81));
}

TEST(VolumeMap, AllEqualMatrixIsAllWhiteInEveryMode)
{
    const TMapGeometry g(20, 10);
    for (TShowMode mode : { TShowMode::smMinMagnitude, TShowMode::smLocError,
             TShowMode::smCornerFreq, TShowMode::smSourceSize }) {
        const TResult r = VolumeResult(mode, { { 2.5, 2.5 }, { 2.5, 2.5 }, { 2.5, 2.5 } });
        EXPECT_TRUE(AllPixels(DrawVolumeMap(r, g), kWhite)) << static_cast<int>(mode);
    }
}

TEST(VolumeMap, SmallestWhiteLargestBlackAndReversedForCornerFrequency)
{
    const TMapGeometry g3(3, 3); // columns 0, 1, 2 -> nodes rnd(0), rnd(1/3), rnd(2/3) = 0, 0, 1
    const calc::TMatrix2D m { { 1.0 }, { 3.0 } };
    for (TShowMode mode :
        { TShowMode::smMinMagnitude, TShowMode::smLocError, TShowMode::smSourceSize }) {
        const TPixelImage img = DrawVolumeMap(VolumeResult(mode, m), g3);
        EXPECT_EQ(img.Pixel(0, 1), kWhite);
        EXPECT_EQ(img.Pixel(2, 1), kBlack);
    }
    const TPixelImage fc = DrawVolumeMap(VolumeResult(TShowMode::smCornerFreq, m), g3);
    EXPECT_EQ(fc.Pixel(0, 1), kBlack); // smallest frequency
    EXPECT_EQ(fc.Pixel(2, 1), kWhite); // largest frequency
}

TEST(VolumeMap, DifferenceIsBlueWhiteRedAroundZero)
{
    const TMapGeometry g4(4, 1); // columns 0..3 -> nodes rnd(0, 0.5, 1, 1.5) = 0, 0, 1, 2
    const TResult r = VolumeResult(TShowMode::smCornerFreq, { { -2.0 }, { 0.0 }, { 1.0 } });
    const TPixelImage img = DrawVolumeMap(r, g4, true);
    EXPECT_EQ(img.Pixel(0, 0), (TColor { 0, 0, 255 })); // the largest |v| is full colour
    EXPECT_EQ(img.Pixel(2, 0), kWhite); // 0, whatever the mode's own direction
    EXPECT_EQ(img.Pixel(3, 0), (TColor { 255, 128, 128 })); // half way: 127.5 ties to even
    const TColourRange range = DivergingColourRange(r);
    EXPECT_EQ(range.Lo, -2);
    EXPECT_EQ(range.Hi, 2);
    EXPECT_TRUE(AllPixels(
        DrawVolumeMap(VolumeResult(TShowMode::smMinMagnitude, { { 0.0, 0.0 }, { 0.0, 0.0 } }),
            TMapGeometry(4, 4), true),
        kWhite)); // no difference at all
}

TEST(VolumeMap, NaNAndInfinityHaveTheirOwnColoursAndStayOutOfTheRange)
{
    const TMapGeometry g7(7, 1); // x / 7 * 3: 0, 0, 1, 1, 2, 2, 3
    const TResult r
        = VolumeResult(TShowMode::smMinMagnitude, { { 0.0 }, { kNaN }, { kInf }, { 1.0 } });
    const TColourRange range = VolumeColourRange(r);
    EXPECT_TRUE(range.Found);
    EXPECT_DOUBLE_EQ(range.Lo, 0);
    EXPECT_DOUBLE_EQ(range.Hi, 1);
    const TPixelImage img = DrawVolumeMap(r, g7);
    EXPECT_EQ(img.Pixel(0, 0), kWhite);
    EXPECT_EQ(img.Pixel(2, 0), kNoValueColor);
    EXPECT_EQ(img.Pixel(4, 0), kNotRegisteredColor);
    EXPECT_EQ(img.Pixel(6, 0), kBlack);

    // Neither colour is a colour of the scale.
    for (int step = 0; step <= 1020; ++step) {
        const TColor c = common::ValueToColor(step / 1020.0, 0, 1);
        EXPECT_FALSE(c == kNoValueColor);
        EXPECT_FALSE(c == kNotRegisteredColor);
    }
    // A matrix with no finite value at all draws only the two colours.
    const TResult none = VolumeResult(TShowMode::smLocError, { { kNaN, kInf } });
    EXPECT_FALSE(VolumeColourRange(none).Found);
    const TPixelImage two = DrawVolumeMap(none, TMapGeometry(2, 2));
    EXPECT_EQ(two.Pixel(0, 1), kNoValueColor);
    EXPECT_EQ(two.Pixel(0, 0), kNotRegisteredColor);
}

TEST(VolumeMap, MalformedMatrixIsNeverReadOutsideItsRows)
{
    // Grid claims 5 x 5, matrix is ragged and short: every missing node gets
    // the no-value colour (ASan would catch a stray read).
    TResult r = VolumeResult(TShowMode::smLocError, { { 1.0, 2.0 }, { 3.0 } });
    r.PlaneGrid.NU = r.PlaneGrid.NV = 5;
    EXPECT_FALSE(ResultShapeIsConsistent(r));
    const TPixelImage img = DrawVolumeMap(r, TMapGeometry(50, 50));
    EXPECT_EQ(img.Pixel(49, 0), kNoValueColor);
    EXPECT_EQ(ChooseMapPicture(TShowMode::smLocError, r, true, true), TMapPicture::Stations);
}

TEST(ResponseMap, ZeroToOneUnit)
{
    const TResult r
        = ResponseResult({ { 0.0, -0.5, 0.5 }, { 1.0, 1.0, 1.0 }, { 1.5, 0.25, 0.75 } }, -0.5);
    TMapGeometry g(5, 5);
    const TPixelImage img = DrawResponseMap(r, TResponseUnit::Unit01, g);
    EXPECT_DOUBLE_EQ(g.MapScaleX, 5.0 / 3);
    EXPECT_EQ(At(img, 0, 0), kWhite); // C = 0
    EXPECT_EQ(At(img, 0, 1), kWhite); // below 0
    EXPECT_EQ(At(img, 1, 1), kBlack); // C = 1
    EXPECT_EQ(At(img, 2, 0), kBlack); // above 1
    EXPECT_EQ(At(img, 2, 1), (TColor { 0, 255, 0 })); // 0.25 pure green
    EXPECT_EQ(At(img, 0, 2), (TColor { 0, 0, 255 })); // 0.5 pure blue
    EXPECT_EQ(At(img, 2, 2), (TColor { 255, 0, 0 })); // 0.75 pure red
}

TEST(ResponseMap, DecibelUnitMinimumWhiteOneAndAboveBlack)
{
    const TResult r
        = ResponseResult({ { 0.01, 0.1, 1.0 }, { 0.1, 1.0, 0.1 }, { 2.0, 0.1, 0.01 } }, 0.01);
    TMapGeometry g(5, 5);
    const TPixelImage img = DrawResponseMap(r, TResponseUnit::Decibel, g);
    const TColourRange range = ResponseColourRange(r, TResponseUnit::Decibel);
    EXPECT_DOUBLE_EQ(range.Lo, -40);
    EXPECT_DOUBLE_EQ(range.Hi, 0);
    EXPECT_EQ(At(img, 0, 0), kWhite); // minimum, -40 dB
    EXPECT_EQ(At(img, 1, 1), kBlack); // C = 1, 0 dB
    EXPECT_EQ(At(img, 2, 0), kBlack); // above 1
    EXPECT_EQ(At(img, 0, 1), (TColor { 0, 0, 255 })); // -20 dB: halfway, pure blue
}

TEST(ResponseMap, DecibelFloorForZeroIsTheSmallestPositiveElement)
{
    const TResult r
        = ResponseResult({ { 0.0, 0.1, 1.0 }, { 0.1, 1.0, 0.1 }, { 1.0, 0.1, 0.01 } }, 0.0);
    EXPECT_DOUBLE_EQ(ResponseDbFloor(r), 0.01);
    const TColourRange range = ResponseColourRange(r, TResponseUnit::Decibel);
    EXPECT_DOUBLE_EQ(range.Lo, -40);
    TMapGeometry g(5, 5);
    const TPixelImage img = DrawResponseMap(r, TResponseUnit::Decibel, g);
    EXPECT_EQ(At(img, 0, 0), kWhite); // C = 0 drawn at the floor
    EXPECT_EQ(At(img, 2, 2), kWhite); // the smallest positive element
    EXPECT_EQ(At(img, 0, 1), (TColor { 0, 0, 255 }));
    for (const TColor &c : img.Pixels)
        EXPECT_FALSE(c == kNoValueColor);

    // Nothing positive at all: 0 dB everywhere, a white picture, no NaN.
    const TResult zeros
        = ResponseResult({ { 0.0, 0.0, 0.0 }, { 0.0, 0.0, 0.0 }, { 0.0, 0.0, 0.0 } }, 0.0);
    TMapGeometry g2(5, 5);
    EXPECT_TRUE(AllPixels(DrawResponseMap(zeros, TResponseUnit::Decibel, g2), kWhite));
}

TEST(ResponseMap, UsesTheResultsOwnWaveGridAndCentreIsTheCentreElement)
{
    // A 5 x 5 result (KCount 2) with 1 only at the centre; the map is drawn
    // from that grid even if the window's current KCount differs.
    calc::TMatrix2D m(5, std::vector<double>(5, 0.0));
    m[2][2] = 1.0;
    TResult r = ResponseResult(m, 0.0);
    r.WaveGrid = { 0.002, 0.001, 2 };
    TMapGeometry g(101, 101);
    const TPixelImage img = DrawResponseMap(r, TResponseUnit::Unit01, g);
    EXPECT_DOUBLE_EQ(g.MapScaleX, 101.0 / 5);
    EXPECT_EQ(img.Pixel(50, 50), kBlack);
    EXPECT_EQ(img.Pixel(0, 0), kWhite);
    EXPECT_EQ(img.Pixel(100, 100), kWhite);
}

TEST(ResponseMap, GridThatDoesNotFitItsMatrixIsNeverIndexedOutside)
{
    for (int kcount : { -3, 7, 2000000000 }) {
        TResult r = ResponseResult({ { 1, 1, 1 }, { 1, 1, 1 }, { 1, 1, 1 } }, 1);
        r.WaveGrid.KCount = kcount;
        EXPECT_FALSE(ResultShapeIsConsistent(r)) << kcount;
        TMapGeometry g(16, 16);
        const TPixelImage img = DrawResponseMap(r, TResponseUnit::Decibel, g);
        EXPECT_TRUE(std::isfinite(g.MapScaleX) && g.MapScaleX > 0);
        EXPECT_EQ(img.Pixel(15, 0), kNoValueColor) << kcount;
    }
}

TEST(RedrawChoice, ModeZeroMismatchAndUnsaveableShowTheStationsOnly)
{
    const TResult vol = VolumeResult(TShowMode::smMinMagnitude, { { 1.0, 2.0 }, { 3.0, 4.0 } });
    EXPECT_EQ(ChooseMapPicture(TShowMode::smMinMagnitude, vol, true, true), TMapPicture::Volume);
    EXPECT_EQ(ChooseMapPicture(TShowMode::smStations, vol, true, true), TMapPicture::Stations);
    EXPECT_EQ(ChooseMapPicture(TShowMode::smLocError, vol, true, true), TMapPicture::Stations);
    EXPECT_EQ(ChooseMapPicture(TShowMode::smMinMagnitude, vol, false, true), TMapPicture::Stations);
    EXPECT_EQ(ChooseMapPicture(TShowMode::smMinMagnitude, vol, true, false), TMapPicture::Stations);

    TResult resp = ResponseResult({ { 1, 1, 1 }, { 1, 1, 1 }, { 1, 1, 1 } }, 1);
    EXPECT_EQ(ChooseMapPicture(TShowMode::smCdK, resp, true, true), TMapPicture::Response);
    EXPECT_EQ(ChooseMapPicture(TShowMode::smCdF, resp, true, true), TMapPicture::Stations);
    resp.ResultMode = TShowMode::smCdF;
    EXPECT_EQ(ChooseMapPicture(TShowMode::smCdF, resp, true, true), TMapPicture::Response);

    const TResult none;
    EXPECT_EQ(ChooseMapPicture(TShowMode::smStations, none, false, true), TMapPicture::Stations);
    TResult empty = vol;
    empty.ResultMatrix.clear();
    EXPECT_EQ(
        ChooseMapPicture(TShowMode::smMinMagnitude, empty, true, true), TMapPicture::Stations);
}

TEST(RedrawChoice, ChangedRangesOrWaveGridNoLongerMatchTheResult)
{
    TRanges ranges;
    TResult vol;
    vol.ResultMode = TShowMode::smLocError;
    vol.PlaneGrid = UpdatePlaneGrid(ranges, TViewPlane::vpXY);
    vol.ResultMatrix.assign(81, std::vector<double>(81, 1.0));
    const auto wave = UpdateWaveGrid(0.005, 0.00002);
    EXPECT_TRUE(ResultMatchesGrids(vol, TViewPlane::vpXY, vol.PlaneGrid, wave));

    ranges.X.Max = 3000; // NU now 101: the old 81 columns must not be drawn or read
    const auto wider = UpdatePlaneGrid(ranges, TViewPlane::vpXY);
    EXPECT_FALSE(ResultMatchesGrids(vol, TViewPlane::vpXY, wider, wave));
    ranges = TRanges {};
    ranges.Z.Centre = 350; // another source plane, same node counts
    EXPECT_FALSE(
        ResultMatchesGrids(vol, TViewPlane::vpXY, UpdatePlaneGrid(ranges, TViewPlane::vpXY), wave));
    // Only the wavenumber grid changed: a plane result still matches.
    EXPECT_TRUE(
        ResultMatchesGrids(vol, TViewPlane::vpXY, vol.PlaneGrid, UpdateWaveGrid(0.01, 0.00002)));
    EXPECT_FALSE(ResultMatchesGrids(vol, TViewPlane::vpXZ, vol.PlaneGrid, wave));

    TResult resp;
    resp.ResultMode = TShowMode::smCdK;
    resp.WaveGrid = wave;
    resp.ResultMatrix.assign(501, std::vector<double>(501, 0.5));
    EXPECT_TRUE(ResultShapeIsConsistent(resp));
    EXPECT_TRUE(ResultMatchesGrids(resp, TViewPlane::vpXY, wider, wave));
    EXPECT_FALSE(ResultMatchesGrids(resp, TViewPlane::vpXY, wider, UpdateWaveGrid(0.006, 0.00002)));
    EXPECT_FALSE(ResultMatchesGrids(resp, TViewPlane::vpXY, wider, UpdateWaveGrid(0.005, 0.00001)));
}

TEST(StationMarks, CountStationsWithTheirTableTexts)
{
    const auto coo = calc::DefaultCooGrid();
    const auto str = calc::DefaultStrGrid();
    const auto stations = calc::ReadStations(coo, str, TViewPlane::vpXY, '.');
    TMapGeometry g(504, 475);
    const auto grid = UpdatePlaneGrid(TRanges {}, TViewPlane::vpXY);
    g.SetStationScale(grid);
    const auto marks = StationMarks(stations, coo, grid, g);
    ASSERT_EQ(marks.size(), 25u);
    EXPECT_EQ(marks[0].Number, "0");
    EXPECT_EQ(marks[0].Name, "ARA0");
    EXPECT_EQ(marks[0].Centre, (TPixel { 252, 237 }));
    EXPECT_EQ(marks[24].Number, "24");
    EXPECT_EQ(marks[24].Name, "ARD9");
    // ARD3 at X 1651: rnd(3651 * 0.126) = rnd(460.026) = 460.
    EXPECT_EQ(marks[18].Centre.x, 460);

    calc::TStationSet few = stations;
    few.Count = 0;
    EXPECT_TRUE(StationMarks(few, coo, grid, g).empty());
    few.Count = 200; // more than the arrays hold
    EXPECT_EQ(StationMarks(few, coo, grid, g).size(), 25u);
}

TEST(Legend, QuantityUnitRangeAndSwatches)
{
    EXPECT_FALSE(MapLegend(TMapPicture::Stations, TResult {}, TResponseUnit::Unit01).Shown);

    const TResult fc = VolumeResult(TShowMode::smCornerFreq, { { 10.0, 20.0 }, { 30.0, kInf } });
    const TLegend l = MapLegend(TMapPicture::Volume, fc, TResponseUnit::Unit01);
    EXPECT_TRUE(l.Shown);
    EXPECT_EQ(l.Quantity, "Угловая частота, Гц");
    EXPECT_TRUE(l.Range.Reversed);
    EXPECT_DOUBLE_EQ(l.Range.Lo, 10);
    EXPECT_DOUBLE_EQ(l.Range.Hi, 30);
    EXPECT_EQ(RangeColor(30, l.Range), kWhite);
    EXPECT_EQ(RangeColor(10, l.Range), kBlack);
    EXPECT_TRUE(l.ShowNoValue && l.ShowNotRegistered);

    EXPECT_EQ(MapLegend(TMapPicture::Volume, VolumeResult(TShowMode::smLocError, { { 1.0 } }),
                  TResponseUnit::Unit01)
                  .Quantity,
        "Ошибка локации, м");
    const TResult resp
        = ResponseResult({ { 0.1, 0.1, 0.1 }, { 0.1, 1, 0.1 }, { 0.1, 0.1, 0.1 } }, 0.1);
    const TLegend db = MapLegend(TMapPicture::Response, resp, TResponseUnit::Decibel);
    EXPECT_EQ(db.Quantity, "|C|, дБ");
    EXPECT_DOUBLE_EQ(db.Range.Lo, -20);
    EXPECT_FALSE(db.ShowNoValue || db.ShowNotRegistered);
    EXPECT_EQ(MapLegend(TMapPicture::Response, resp, TResponseUnit::Unit01).Quantity, "|C|, 0-1");
}
