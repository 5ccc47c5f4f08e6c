// The map as a QImage: station markers, the result pictures, the colour
// legend and the PNG of map and legend side by side.
//
// How the window uses it:
//   - MapBitmap = NewMapBitmap(geometry.W, geometry.H) at creation;
//   - RedrawMap(MapBitmap, geometry, scene) wherever the map is redrawn; show
//     the answer's legend with DrawLegend beside the paint box (nothing when
//     !Legend.Shown); PaintBoxPaint draws MapBitmap at (0, 0) unscaled;
//   - the placement and AddButtonClick call DrawStations(MapBitmap, geometry,
//     stations, cooGrid, planeGrid, false) directly;
//   - "Сохранить карту как PNG…" calls SaveMapPng(file, MapBitmap, legend, sep).
// Text drawing needs a QGuiApplication (the batch tool makes one on the
// offscreen platform).
#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include "calc/NetworkModel.h"
#include "calc/Result.h"
#include "common/CellTable.h"
#include "map/MapCore.h"
#include "map/MapScene.h"

namespace valdrin::map {

// A white W x H image with its one-pixel black outline, 32-bit RGB.
QImage NewMapBitmap(int W, int H);

QImage ToQImage(const TPixelImage &pixels);

// Markers of stations 0 .. Count - 1: a circle with black outline and red
// fill in (px - 9, py - 9)-(px + 9, py + 9), the row number at (px - 6, py - 6)
// on red and the name at (px + 6, py + 6) on white, texts in the default font.
// Sets the station scale first; without KeepBackground the image is first
// made white with its black outline. A station out of operation
// (inOperation false) has a hollow circle and its number on white.
void DrawStations(QImage &MapBitmap, TMapGeometry &geometry, const calc::TStationSet &stations,
    const common::TCellTable &cooGrid, const calc::TPlaneGrid &planeGrid, bool KeepBackground,
    const std::vector<bool> &inOperation = {});

struct TRedrawn {
    TMapPicture Picture = TMapPicture::Stations;
    TLegend Legend; // Shown only for a result picture
};

// Draws the picture ChooseMapPicture picks into MapBitmap (whose size must be
// geometry.W x geometry.H) and updates the map scales.
TRedrawn RedrawMap(QImage &MapBitmap, TMapGeometry &geometry, const TMapScene &scene);

// Legend image of the given size: quantity and unit, a vertical colour bar
// from the lowest value (bottom) to the highest (top) with five values, and
// the swatches asked for. An empty legend gives a white image.
QImage DrawLegend(const TLegend &legend, QSize size, char decimalSep);
// The same legend painted into rect with the painter's font; scale multiplies
// its fixed sizes (margins, bar width) for pages drawn at a higher DPI.
void PaintLegend(
    QPainter &p, const QRect &rect, const TLegend &legend, char decimalSep, double scale = 1);

constexpr int kLegendWidth = 170; // pixels, beside the map in the PNG

// Map and legend side by side (the legend kLegendWidth wide, as high as the
// map); the map alone when the legend is not shown.
QImage MapWithLegend(const QImage &map, const TLegend &legend, char decimalSep);

// Writes MapWithLegend as PNG; a failure throws common::TValdrinError with
// the Russian message and the file name.
void SaveMapPng(const QString &fileName, const QImage &map, const TLegend &legend, char decimalSep);

} // namespace valdrin::map
