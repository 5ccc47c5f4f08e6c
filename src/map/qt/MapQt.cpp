// QPainter side of the map. Shapes follow the off-screen image conventions
// the pixel geometry was made for: a bounding rectangle (x1, y1)-(x2, y2)
// covers x1 .. x2 - 1, and text is placed by the top-left corner of its cell.
#include "map/qt/MapQt.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "common/Error.h"
#include "common/NumText.h"
#include "common/SafeFile.h"
#include "map/Contours.h"

namespace valdrin::map {

using namespace calc;

namespace {

QColor ToQColor(TColor c)
{
    return QColor(c.R, c.G, c.B);
}

// Text with its top-left corner at (x, y) on an opaque background.
void OpaqueText(QPainter &p, int x, int y, const std::string &s, const QColor &background)
{
    const QString text = QString::fromStdString(s);
    if (text.isEmpty())
        return;
    const QFontMetrics fm(p.font());
    p.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()), background);
    p.setPen(Qt::black);
    p.drawText(x, y + fm.ascent(), text);
}

// Decimals for legend values: about three significant digits of the span.
int LegendDigits(const TColourRange &r)
{
    const double span = std::fabs(r.Hi - r.Lo);
    const double mag = span > 0 ? span : std::max(std::fabs(r.Hi), 1.0);
    if (!std::isfinite(mag))
        return 0;
    return std::clamp(2 - static_cast<int>(std::floor(std::log10(mag))), 0, 5);
}

} // namespace

QImage NewMapBitmap(int W, int H)
{
    QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, image.width() - 1, image.height() - 1);
    return image;
}

QImage ToQImage(const TPixelImage &pixels)
{
    QImage image(std::max(pixels.Width, 1), std::max(pixels.Height, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 0; y < pixels.Height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const auto row = static_cast<std::size_t>(y) * static_cast<std::size_t>(pixels.Width);
        for (int x = 0; x < pixels.Width; ++x) {
            const TColor c = pixels.Pixels[row + static_cast<std::size_t>(x)];
            line[x] = qRgb(c.R, c.G, c.B);
        }
    }
    return image;
}

void DrawStations(QImage &MapBitmap, TMapGeometry &geometry, const TStationSet &stations,
    const common::TCellTable &cooGrid, const TPlaneGrid &planeGrid, bool KeepBackground,
    const std::vector<bool> &inOperation)
{
    geometry.SetStationScale(planeGrid);
    if (!KeepBackground || MapBitmap.size() != QSize(geometry.W, geometry.H))
        MapBitmap = NewMapBitmap(geometry.W, geometry.H);
    QPainter p(&MapBitmap);
    std::size_t i = 0;
    for (const TStationMark &m : StationMarks(stations, cooGrid, planeGrid, geometry)) {
        const int px = m.Centre.x, py = m.Centre.y;
        const bool working = InOperationAt(inOperation, i++);
        const QColor fill = working ? QColor(255, 0, 0) : QColor(255, 255, 255);
        p.setPen(working ? QPen(Qt::black) : QPen(QColor(255, 0, 0), 2));
        p.setBrush(working ? QBrush(fill) : QBrush(Qt::NoBrush));
        p.drawEllipse(QRect(px - 9, py - 9, 17, 17)); // (px - 9, py - 9)-(px + 9, py + 9)
        OpaqueText(p, px - 6, py - 6, m.Number, fill);
        OpaqueText(p, px + 6, py + 6, m.Name, QColor(255, 255, 255));
    }
}

namespace {

// The line of 0 of a difference, in the pixels DrawVolumeMap coloured.
void DrawZeroLine(QImage &MapBitmap, const TMapGeometry &geometry, const TResult &result)
{
    const int nI = result.PlaneGrid.NU, nJ = result.PlaneGrid.NV;
    if (nI < 2 || nJ < 2)
        return;
    QPainter p(&MapBitmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, 1.5));
    for (const TPolyline &line : ContourLines(result.ResultMatrix, 0)) {
        QPolygonF poly;
        for (const TPointF &q : line)
            poly << QPointF(q.X / (nI - 1) * geometry.W, geometry.H - q.Y / (nJ - 1) * geometry.H);
        p.drawPolyline(poly);
    }
}

} // namespace

TRedrawn RedrawMap(QImage &MapBitmap, TMapGeometry &geometry, const TMapScene &scene)
{
    const TResult none;
    const TResult &result = scene.Result ? *scene.Result : none;
    const bool match = ResultMatchesGrids(result, scene.Plane, scene.PlaneGrid, scene.WaveGrid);
    TRedrawn out;
    out.Picture = ChooseMapPicture(scene.Selected, result, scene.SaveEnabled, match);
    switch (out.Picture) {
    case TMapPicture::Stations:
        DrawStations(MapBitmap, geometry, scene.Stations, scene.CooGrid, scene.PlaneGrid, false,
            scene.InOperation);
        break;
    case TMapPicture::Response:
        MapBitmap = ToQImage(DrawResponseMap(result, scene.Unit, geometry));
        break;
    case TMapPicture::Volume:
        MapBitmap = ToQImage(DrawVolumeMap(result, geometry, scene.Diverging));
        if (scene.Diverging)
            DrawZeroLine(MapBitmap, geometry, result);
        DrawStations(MapBitmap, geometry, scene.Stations, scene.CooGrid, scene.PlaneGrid, true,
            scene.InOperation);
        break;
    }
    out.Legend = MapLegend(out.Picture, result, scene.Unit, scene.Diverging);
    if (out.Legend.Shown && !scene.Quantity.empty())
        out.Legend.Quantity = scene.Quantity;
    return out;
}

QImage DrawLegend(const TLegend &legend, QSize size, char decimalSep)
{
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!legend.Shown)
        return image;
    QPainter p(&image);
    PaintLegend(p, image.rect(), legend, decimalSep);
    return image;
}

void PaintLegend(
    QPainter &p, const QRect &rect, const TLegend &legend, char decimalSep, double scale)
{
    if (!legend.Shown)
        return;
    p.save();
    p.translate(rect.topLeft());
    const QFontMetrics fm(p.font());
    const auto px = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    const int margin = px(6);
    const int w = rect.width(), h = rect.height();
    p.setPen(QPen(Qt::black, scale));
    // Title: quantity and unit, wrapped to the width.
    QRect title(margin, margin, w - 2 * margin, 3 * fm.height());
    QString caption = QString::fromStdString(legend.Quantity);
    if (legend.Range.Reversed)
        caption += QStringLiteral("\nобратная шкала:\nбелый — наибольшая");
    title = p.boundingRect(title, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, caption);
    p.drawText(title, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, caption);

    // Swatches at the bottom.
    struct Swatch {
        TColor Color;
        const char *Text;
    };
    std::vector<Swatch> swatches;
    if (legend.ShowNoValue)
        swatches.push_back({ kNoValueColor, kNoValueText });
    if (legend.ShowNotRegistered)
        swatches.push_back({ kNotRegisteredColor, kNotRegisteredText });
    const int rowH = fm.height() + px(4);
    int sy = h - margin - static_cast<int>(swatches.size()) * rowH;
    const int swatchTop = sy;
    for (const Swatch &s : swatches) {
        p.fillRect(QRect(margin, sy + 2, px(24), fm.height() - 2), ToQColor(s.Color));
        p.setPen(QPen(Qt::black, scale));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(margin, sy + 2, px(24) - 1, fm.height() - 3));
        p.drawText(margin + px(30), sy + 2 + fm.ascent() - 1, QString::fromUtf8(s.Text));
        sy += rowH;
    }

    // Colour bar: highest value at the top, lowest at the bottom.
    const int barX = margin, barW = px(24);
    const int barTop = title.bottom() + fm.height() / 2 + px(6);
    const int barBottom = swatchTop - fm.height() / 2 - px(6);
    const TColourRange &r = legend.Range;
    if (barBottom - barTop < px(10) || !r.Found) {
        p.restore();
        return;
    }
    const int span = barBottom - barTop;
    for (int y = barTop; y <= barBottom; ++y) {
        const double f = static_cast<double>(barBottom - y) / span;
        const double v = r.Lo + f * (r.Hi - r.Lo);
        p.fillRect(QRect(barX, y, barW, 1), ToQColor(RangeColor(v, r)));
    }
    p.setPen(QPen(Qt::black, scale));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(barX, barTop, barW - 1, span));

    const int digits = LegendDigits(r);
    const int ticks = r.Hi > r.Lo ? 5 : 1;
    for (int t = 0; t < ticks; ++t) {
        const double f = ticks > 1 ? static_cast<double>(t) / (ticks - 1) : 0.5;
        const int y = barBottom - static_cast<int>(std::lround(f * span));
        const double v = ticks > 1 ? r.Lo + f * (r.Hi - r.Lo) : r.Lo;
        p.drawLine(barX + barW, y, barX + barW + px(4), y);
        const QString text = QString::fromStdString(common::FormatFixed(v, digits, decimalSep));
        p.drawText(barX + barW + px(8), y + fm.ascent() / 2 - 1, text);
    }
    p.restore();
}

QImage MapWithLegend(const QImage &map, const TLegend &legend, char decimalSep)
{
    if (!legend.Shown)
        return map.convertToFormat(QImage::Format_RGB32);
    QImage out(map.width() + kLegendWidth, map.height(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, map);
    p.drawImage(map.width(), 0, DrawLegend(legend, QSize(kLegendWidth, map.height()), decimalSep));
    return out;
}

void SaveMapPng(const QString &fileName, const QImage &map, const TLegend &legend, char decimalSep)
{
    const QImage image = MapWithLegend(map, legend, decimalSep);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    std::optional<std::string> error;
    if (!writer.write(image))
        error = writer.errorString().toStdString();
    else
        error = common::WriteWholeFile(fileName.toStdString(),
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (error)
        throw common::TValdrinError(
            "Не удалось сохранить карту в файл " + fileName.toStdString() + ": " + *error);
}

} // namespace valdrin::map
