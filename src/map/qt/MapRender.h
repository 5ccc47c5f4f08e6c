// The map as a page for the screen and for reports: the colour picture (the
// scale, the station marks and the legend of MapQt.h unchanged), axes on four
// sides, contour lines with their levels, station names that never overlap,
// a scale bar and a title line. One renderer paints on any QPainter, so the
// screen, PNG, PDF and SVG show the same page.
//
// How a front end uses it:
//   TRenderedPage page = RenderMapPage(painter, scene, options);
//   then read-outs and placement convert pixels with page.Frame (ToPlane,
//   ToNode), the same mapping the picture was drawn with.
// Text drawing needs a QGuiApplication.
#pragma once

#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>

#include "map/Contours.h"
#include "map/MapAxes.h"
#include "map/MapFrame.h"
#include "map/qt/MapQt.h"

namespace valdrin::map {

struct TRenderOptions {
    QSize Size { 960, 720 }; // page, pixels at Dpi; each side kMinPageSide .. kMaxPageSide
    double Dpi = 96; // kMinDpi .. kMaxDpi; fonts are in points, lines and marks scale by Dpi / 96
    TAspectMode Aspect = TAspectMode::TrueProportions;
    TContourLevels Contours { true, {} }; // "auto": about 6 round levels; -3 and -6 dB of C
    bool Smooth = false; // bilinear between nodes instead of one block per node
    bool FixedRange = false; // colour range RangeLo .. RangeHi (unit shown) instead of min .. max
    double RangeLo = 0, RangeHi = 1;
    double DbFloor = -40; // dB (< 0): the white end of "дБ" when the range is automatic
    bool Degrees = false; // plane axes are longitude and latitude
    double Vp = 6000; // m/s: the C(dF) axes are wavenumber times Vp
    TTitleInfo Title;
    char DecimalSep = '.';
};

constexpr int kMinPageSide = 64, kMaxPageSide = 16000; // pixels
constexpr double kMinDpi = 36, kMaxDpi = 2400;

// Throws common::TValdrinError with the Russian message for a size or DPI
// out of range.
void CheckRenderOptions(const TRenderOptions &options);

struct TRenderedPage {
    TMapPicture Picture = TMapPicture::Stations;
    TLegend Legend; // as painted (the range the colours were drawn with)
    TMapFrame Frame; // the plot on the page
};

// Paints the page into (0, 0)-(Size) of the painter's coordinates.
TRenderedPage RenderMapPage(
    QPainter &painter, const TMapScene &scene, const TRenderOptions &options);

// The page as a 32-bit RGB image with options.Dpi stored in it.
QImage RenderMapImage(
    const TMapScene &scene, const TRenderOptions &options, TRenderedPage *page = nullptr);

// Each writes a regular file through a temporary one renamed over the target
// (a device or a pipe is written directly) and throws common::TValdrinError
// with the Russian message and the file name on failure.
void SaveMapPng(const QString &fileName, const TMapScene &scene, const TRenderOptions &options);
void SaveMapPdf(const QString &fileName, const TMapScene &scene, const TRenderOptions &options);
void SaveMapSvg(const QString &fileName, const TMapScene &scene, const TRenderOptions &options);

} // namespace valdrin::map
