// The map without widgets: the pixel geometry of MapBitmap, a plain RGB
// picture, the result pictures (one colour evaluation per pixel, nearest
// node, no interpolation), the choice of picture and the legend's data.
//
// How the window uses it (TMainForm):
//   - keeps one TMapGeometry made with the size MapBitmap has at creation
//     (504 x 475 at the design size) and one calc::TResult (default: mode 0,
//     no matrix);
//   - RedrawMap (MapQt.h) does the rest: it reads nothing from the window,
//     so the window first runs calc::ReadStations and map::UpdatePlaneGrid
//     for the current plane and passes both in a TMapScene;
//   - the read-out and the placement (MapCoreReadout.h) take the same
//     TMapGeometry after the last redraw, which holds the map scales.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calc/NetworkModel.h"
#include "calc/Result.h"
#include "common/CellTable.h"
#include "common/MathRout.h"

namespace valdrin::map {

using common::TColor;

struct TPixel {
    int x = 0, y = 0; // image pixels, x to the right, y down
    bool operator==(const TPixel &) const = default;
};

// Colours of their own for nodes without a finite value; neither lies on the
// white -> green -> blue -> red -> black scale (each scale colour has R == B
// with G == 255, or R == 0, or G == 0).
constexpr TColor kNoValueColor { 128, 128, 128 }; // NaN: "нет значения", mid grey
constexpr TColor kNotRegisteredColor { 204, 170, 255 }; // +inf: "не регистрируется", pale violet

// UnitRadioGroup items.
enum class TResponseUnit { Unit01 = 0, Decibel = 1 };

// Pixel geometry of MapBitmap: MapScaleX, MapScaleY (pixels per plane unit,
// or per wavenumber index on the response map) and MapCentre.
struct TMapGeometry {
    int W = 504, H = 475; // size of MapBitmap, pixels (>= 1)
    double MapScaleX = 1; // always finite and > 0
    double MapScaleY = 1;
    TPixel MapCentre { 252, 237 }; // (W div 2, H div 2)

    TMapGeometry() = default;
    TMapGeometry(int width, int height);

    // Station map: W / (UMax - UMin), H / (VMax - VMin). A span that is not
    // finite and positive counts as one plane unit, so the scale stays usable.
    void SetStationScale(const calc::TPlaneGrid &grid);
    // Response map: min(W / L, H / L), L the matrix side (>= 1).
    void SetResponseScale(int L);

    bool Contains(TPixel p) const { return p.x >= 0 && p.y >= 0 && p.x < W && p.y < H; }

    // Station marker centre: (rnd((u - UMin) * MapScaleX), H - rnd((v - VMin) * MapScaleY)),
    // clamped far outside the image for absurd coordinates.
    TPixel PlaneToPixel(double u, double v, const calc::TPlaneGrid &grid) const;

    // Offset of a pixel from MapCentre in plane units, Y upwards.
    std::pair<double, double> PixelToOffset(TPixel p) const;

    // Index pair (i, j) of an nI x nJ matrix under pixel p:
    // i = rnd(x / W * (nI - 1)), j = rnd((H - y) / H * (nJ - 1)).
    // nullopt for a pixel outside the image or a count below 1.
    std::optional<std::pair<int, int>> PixelToIndex(TPixel p, int nI, int nJ) const;
};

// A W x H picture, row by row, one TColor per pixel; starts white.
struct TPixelImage {
    int Width = 0, Height = 0;
    std::vector<TColor> Pixels; // [y * Width + x]

    TPixelImage() = default;
    TPixelImage(int width, int height);
    void SetPixel(int x, int y, TColor c); // ignored outside the image
    TColor Pixel(int x, int y) const; // white outside the image
};

// True when the result can be drawn and read on the current grids: modes 1, 2
// need the same KCount and DK, modes 3..6 the same plane and plane grid.
// Mode 0 and an empty result always match.
bool ResultMatchesGrids(const calc::TResult &result, calc::TViewPlane plane,
    const calc::TPlaneGrid &planeGrid, const calc::TWaveGrid &waveGrid);

// The matrix has the shape its own grid gives: (2*KCount+1)^2 for modes 1, 2,
// NU x NV for modes 3..6.
bool ResultShapeIsConsistent(const calc::TResult &result);

enum class TMapPicture {
    Stations, // DrawStations on a fresh background
    Response, // DrawResponseMap (no stations)
    Volume // DrawVolumeMap, then DrawStations keeping that background
};

// Side of the response matrix of a wavenumber grid, 2*KCount + 1, kept
// within int (0 for a negative KCount).
int ResponseSide(const calc::TWaveGrid &grid);

// RedrawMap's choice. Stations when the selected mode is 0 or not the mode
// computed, and also when the result may not be drawn (saveEnabled false,
// grids changed, empty or malformed matrix): an older picture is never left
// under the stations.
TMapPicture ChooseMapPicture(
    calc::TShowMode selected, const calc::TResult &result, bool saveEnabled, bool gridsMatch);

// Colour range of a result picture in the unit shown: Lo maps to f = 0,
// Hi to f = 1 (for the reversed mode 5 scale, Lo/Hi are still the lowest and
// highest value; the colour is ValueToColor(Hi - v, 0, Hi - Lo)).
struct TColourRange {
    double Lo = 0, Hi = 0;
    bool Reversed = false;
    bool Found = false; // false: no finite value, the picture is white
    // Blue (Lo) - white (0) - red (Hi) around 0, Lo = -Hi: a difference.
    bool Diverging = false;
};

// "дБ": Cref = 20 lg ResultMin, up to 0 dB. A C of 0 or below has no
// logarithm: it is drawn as the smallest positive element of the matrix
// (white), and Cref comes from that element when ResultMin is not positive.
double ResponseDb(double c, double floorC);
double ResponseDbFloor(const calc::TResult &result); // the smallest positive C (1 if none)
TColourRange ResponseColourRange(const calc::TResult &result, TResponseUnit unit);
// Modes 3..6: min and max over finite values; mode 5 reversed.
TColourRange VolumeColourRange(const calc::TResult &result);
// -max|v| .. max|v| over finite values, diverging.
TColourRange DivergingColourRange(const calc::TResult &result);

// Colour of one value on a range; NaN and +inf get their own colours.
TColor RangeColor(double v, const TColourRange &range);

// DrawResponseMap: sets the response scale on geometry and colours every
// pixel from the result's own wavenumber grid.
TPixelImage DrawResponseMap(
    const calc::TResult &result, TResponseUnit unit, TMapGeometry &geometry);
// DrawVolumeMap: every pixel from the result's own plane grid; the caller
// then draws the stations over it (which sets the station scale).
TPixelImage DrawVolumeMap(
    const calc::TResult &result, const TMapGeometry &geometry, bool diverging = false);

// One station marker: the circle centre and the two texts (CooGrid columns 0
// and 4 of the station's row).
struct TStationMark {
    TPixel Centre;
    std::string Number;
    std::string Name;
};
// Markers of stations 0 .. Count - 1 at the geometry's current scale.
std::vector<TStationMark> StationMarks(const calc::TStationSet &stations,
    const common::TCellTable &cooGrid, const calc::TPlaneGrid &grid, const TMapGeometry &geometry);

// Data of the legend beside the map.
struct TLegend {
    bool Shown = false; // only result pictures have one
    std::string Quantity; // e.g. "Ошибка локации, м"
    TColourRange Range; // in the unit shown (dB for "дБ")
    bool ShowNoValue = false; // swatch "нет значения"
    bool ShowNotRegistered = false; // swatch "не регистрируется"
};
constexpr const char *kNoValueText = "нет значения";
constexpr const char *kNotRegisteredText = "не регистрируется";

// The legend's name of a node mode's quantity ("" for other modes).
std::string VolumeQuantity(calc::TShowMode mode);
// range: the colour range when the caller has it already (otherwise the
// picture's own, from the matrix).
TLegend MapLegend(TMapPicture picture, const calc::TResult &result, TResponseUnit unit,
    bool diverging = false, const TColourRange *range = nullptr);

} // namespace valdrin::map
