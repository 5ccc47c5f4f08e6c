// Cursor read-out (InfoLabel) and mouse placement of stations, as functions
// of the pixel and the map geometry of the last redraw.
//
// How the window uses it:
//   PaintBoxMouseMove: InfoLabel->setText(InfoLabelText(pixel, geometry, ctx)).
//   PaintBoxMouseDown: LastClick = pixel, always; in placement mode (AddButton
//     disabled) PlaceStation(...) with PlacementRemaining, then: Remaining back
//     into the tag, Caption (or the saved caption when Finished) into the
//     window title, AddButton enabled and the default cursor when Finished;
//     then DrawStations on a fresh background.
//   AddButtonClick: PlacementRemaining = StartPlacement(cooGrid, Sensors);
//     title = PlacementCaption(PlacementRemaining); DrawStations fresh.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "calc/Result.h"
#include "common/CellTable.h"
#include "map/MapCore.h"
#include "map/MapFrame.h"

namespace valdrin::map {

enum class TReadoutKind { Plane, Response, Node };

// Which read-out a pointer move shows. Modes 1..6 read the result only when
// it is the mode computed, its matrix is not empty and the grids still match
// (otherwise the map shows the stations alone, on the current plane).
TReadoutKind ChooseReadout(calc::TShowMode selected, const calc::TResult &result, bool gridsMatch);

struct TReadoutContext {
    calc::TShowMode Selected = calc::TShowMode::smStations; // SourceRadioGroup
    const calc::TResult *Result = nullptr; // the last result; nullptr: none
    bool GridsMatch = true; // ResultMatchesGrids on the current grids
    TPixel LastClick; // starts at MapCentre
    double Vp = 6000; // value of VpSpinEdit at this move, m/s
    char DecimalSep = '.'; // the locale's
    TPointF LastClickPlane; // the last press on the plane, for the page read-outs
};

// "X = %1.1f, Y = %1.1f, R = %1.2f": offsets from MapCentre and the distance
// from LastClick, plane units.
std::string PlaneReadout(TPixel p, const TMapGeometry &g, TPixel lastClick, char decimalSep);

// "Kx = %1.5f, Ky = %1.5f, C(K0-K) = %1.3f = %1.2f dB" (mode 1) or the F
// variant with the pair times Vp (mode 2); on the result's own grid. Empty
// when the pixel or its index lies outside the image or the matrix.
std::string ResponseReadout(
    TPixel p, const TMapGeometry &g, const calc::TResult &result, double Vp, char decimalSep);

// "x = %1.5f, y = %1.5f, M(x,y) = %1.3f" (letters M, E, F, R for modes 3..6)
// with the node's coordinates on the result's own grid, the axes named by
// its plane (y, z in YZ; x, z in XZ); a node with NaN or
// +inf shows "нет значения" or "не регистрируется" for the value. Empty when
// the pixel or its index lies outside the image or the matrix.
std::string NodeReadout(
    TPixel p, const TMapGeometry &g, const calc::TResult &result, char decimalSep);

// The InfoLabel text: the chosen read-out, or the plane read-out where the
// result cannot be read.
std::string InfoLabelText(TPixel p, const TMapGeometry &g, const TReadoutContext &ctx);

// The same read-outs on a rendered page: the pixel goes through the page's
// frame (ToPlane, ToNode), so they hold at any page size and in both aspect
// modes. X, Y are offsets from the middle of the frame's range, R the
// distance from ctx.LastClickPlane; node indices are ToNode rounded to even.
std::optional<std::pair<int, int>> FrameIndex(TPointF p, const TMapFrame &f, int nI, int nJ);
std::string PlaneReadout(TPointF p, const TMapFrame &f, TPointF lastClick, char decimalSep);
std::string ResponseReadout(
    TPointF p, const TMapFrame &f, const calc::TResult &result, double Vp, char decimalSep);
std::string NodeReadout(
    TPointF p, const TMapFrame &f, const calc::TResult &result, char decimalSep);
std::string InfoLabelText(TPointF p, const TMapFrame &f, const TReadoutContext &ctx);

// The hint of SensorsSpinEdit, which the placement caption begins with.
constexpr const char *kPlacementHint = "Осталось выбрать точек: ";
std::string PlacementCaption(int remaining);

// AddButtonClick: empties columns 1.. of rows 1.. of CooGrid (column 0 and
// the header row stay) and answers PlacementRemaining (the station count).
int StartPlacement(common::TCellTable &cooGrid, int sensors);

// Texts of CooGrid columns 1..4 for a press at p on table row `row`:
// X0 + horizontal offset, Y0 + vertical offset ("%1.1f" in metres, "%1.6f"
// in degrees), "0", "s%2.2d" of row - 1.
std::array<std::string, 4> PlacementCells(int row, TPixel p, const TMapGeometry &g, double X0,
    double Y0, char decimalSep, bool degrees = false);

// The same cells for a press on a rendered page: the offsets from the middle
// of the frame's range.
std::array<std::string, 4> PlacementCells(int row, TPointF p, const TMapFrame &f, double X0,
    double Y0, char decimalSep, bool degrees = false);

// A node mode's letter in the read-outs (M, E, F, R; "" for other modes),
// and a node value as they show it: the swatch names for NaN or -inf and
// for +inf, three decimals otherwise.
const char *QuantityLetter(calc::TShowMode mode);
std::string NodeValueText(double v, char decimalSep);

struct TPlacementStep {
    int Row = 0; // CooGrid row of this press
    bool Written = false; // false: Row is no station row, nothing written
    int Remaining = 0; // new PlacementRemaining
    bool Finished = false; // placement ends: restore the caption, cursor and AddButton
    std::string Caption; // new window caption while not Finished
};

// One press in placement mode: row = sensors - remaining + 1. A row that is
// not a station row of the table (the count was changed meanwhile) is not
// written, and placement ends, so the header row is never overwritten.
TPlacementStep PlaceStation(common::TCellTable &cooGrid, int sensors, int remaining, TPixel p,
    const TMapGeometry &g, double X0, double Y0, char decimalSep, bool degrees = false);
TPlacementStep PlaceStation(common::TCellTable &cooGrid, int sensors, int remaining, TPointF p,
    const TMapFrame &f, double X0, double Y0, char decimalSep, bool degrees = false);

} // namespace valdrin::map
