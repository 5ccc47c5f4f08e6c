// Page layout, outside in: a margin, the title line at the bottom, the scale
// bar and the axis titles, tick labels on four sides, the plot, and the
// legend to the right of the right-hand tick labels. Sizes are given for
// 96 DPI and multiplied by s = Dpi / 96; fonts are in points, so the
// device's resolution scales them.
#include "map/qt/MapRender.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImageWriter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRawFont>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <mutex>
#include <numbers>

#include "common/Error.h"
#include "common/NumText.h"
#include "map/LabelPlacement.h"

namespace valdrin::map {

using namespace calc;

namespace {

constexpr double kPixelLimit = 1e6; // beyond this a station is far off any page

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

QColor ToQColor(TColor c)
{
    return QColor(c.R, c.G, c.B);
}

// A level as short as it reads exactly: 0.3 rather than 0.30000000000000004.
std::string LevelText(double v, char sep)
{
    for (int d = 0; d <= 6; ++d) {
        const double p = std::pow(10.0, d);
        if (std::fabs(std::nearbyint(v * p) / p - v) <= 1e-9 * std::max(1.0, std::fabs(v)))
            return common::FormatFixed(v == 0 ? 0.0 : v, d, sep);
    }
    return common::FormatGeneral(v, sep);
}

// What the page shows of one picture: the matrix in the unit shown, its
// plane range and the colour range.
struct TPictureData {
    // The values drawn: the result's own matrix, or (a response in dB) Db;
    // none for the station picture.
    const common::TMatrix2D *Values = nullptr;
    common::TMatrix2D Db;
    const common::TMatrix2D &Shown() const { return Values ? *Values : Db; }
    TPlaneRange Range;
    TColourRange Colours;
    TAxisKinds Axes;
    bool Plane = true; // a plane map (stations, scale bar), not the response
    TGroundScale Ground;
};

TPictureData PictureData(
    TMapPicture picture, const TMapScene &scene, const TResult &result, const TRenderOptions &opt)
{
    TPictureData d;
    if (picture == TMapPicture::Response) {
        const TWaveGrid &g = result.WaveGrid;
        const double k = g.KCount * g.DK * (result.ResultMode == TShowMode::smCdF ? opt.Vp : 1.0);
        d.Range = { -k, k, -k, k };
        d.Axes = ResponseAxisKinds(result.ResultMode);
        d.Plane = false;
        d.Colours = ResponseColourRange(result, scene.Unit);
        const bool db = scene.Unit == TResponseUnit::Decibel;
        if (db && std::isfinite(opt.DbFloor) && opt.DbFloor < 0)
            d.Colours.Lo = opt.DbFloor;
        if (db) {
            const double floorC = ResponseDbFloor(result);
            d.Db = result.ResultMatrix;
            for (auto &col : d.Db)
                for (double &c : col)
                    c = ResponseDb(c, floorC);
        } else {
            d.Values = &result.ResultMatrix;
        }
    } else {
        const TPlaneGrid &g = picture == TMapPicture::Volume ? result.PlaneGrid : scene.PlaneGrid;
        d.Range = { g.UMin, g.UMax, g.VMin, g.VMax };
        d.Axes = PlaneAxisKinds(scene.Plane, opt.Degrees);
        d.Ground = PlaneGroundScale(scene.Plane, opt.Degrees, d.Range, g.WPlane);
        if (picture == TMapPicture::Volume) {
            d.Colours = scene.Diverging ? DivergingColourRange(result) : VolumeColourRange(result);
            d.Values = &result.ResultMatrix;
        }
    }
    if (opt.FixedRange && std::isfinite(opt.RangeLo) && std::isfinite(opt.RangeHi)
        && opt.RangeLo < opt.RangeHi && picture != TMapPicture::Stations) {
        d.Colours.Lo = opt.RangeLo;
        d.Colours.Hi = opt.RangeHi;
        d.Colours.Found = true;
    }
    return d;
}

// One colour per pixel of a w x h raster over the matrix: the nearest node,
// or bilinear between the four around it when all four have a value.
QImage Raster(const common::TMatrix2D &m, const TColourRange &range, int w, int h, bool smooth)
{
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    image.fill(ToQColor(kNoValueColor));
    const int nI = static_cast<int>(m.size());
    if (nI < 1 || m[0].empty())
        return image;
    const int nJ = static_cast<int>(m[0].size());
    const auto at = [&m](int i, int j) {
        const double *v = common::MatrixElement(m, i, j);
        return v ? *v : NAN;
    };
    const auto colour = [&range](double v) {
        const TColor col = RangeColor(v, range);
        return qRgb(col.R, col.G, col.B);
    };
    if (!smooth) {
        // One colour per node, looked up per pixel: a window-sized picture of
        // a small grid costs a handful of colour evaluations, not one per pixel.
        std::vector<QRgb> nodes(static_cast<std::size_t>(nI) * static_cast<std::size_t>(nJ));
        for (int i = 0; i < nI; ++i)
            for (int j = 0; j < nJ; ++j)
                nodes[static_cast<std::size_t>(i) * static_cast<std::size_t>(nJ)
                    + static_cast<std::size_t>(j)]
                    = colour(at(i, j));
        std::vector<int> column(static_cast<std::size_t>(image.width()));
        for (int x = 0; x < image.width(); ++x)
            column[static_cast<std::size_t>(x)]
                = static_cast<int>(common::RoundEven((x + 0.5) / image.width() * (nI - 1)));
        for (int y = 0; y < image.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
            const int j = static_cast<int>(
                common::RoundEven((image.height() - (y + 0.5)) / image.height() * (nJ - 1)));
            for (int x = 0; x < image.width(); ++x)
                line[x] = nodes[static_cast<std::size_t>(column[static_cast<std::size_t>(x)])
                        * static_cast<std::size_t>(nJ)
                    + static_cast<std::size_t>(j)];
        }
        return image;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        const double fj = (image.height() - (y + 0.5)) / image.height() * (nJ - 1);
        for (int x = 0; x < image.width(); ++x) {
            const double fi = (x + 0.5) / image.width() * (nI - 1);
            const int i = static_cast<int>(common::RoundEven(fi));
            const int j = static_cast<int>(common::RoundEven(fj));
            double v = at(i, j);
            const int i0 = std::clamp(static_cast<int>(std::floor(fi)), 0, nI - 1);
            const int j0 = std::clamp(static_cast<int>(std::floor(fj)), 0, nJ - 1);
            const int i1 = std::min(i0 + 1, nI - 1), j1 = std::min(j0 + 1, nJ - 1);
            const double a = at(i0, j0), b = at(i1, j0), c = at(i0, j1), e = at(i1, j1);
            if (std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(e)) {
                const double ti = fi - i0, tj = fj - j0;
                v = (a * (1 - ti) + b * ti) * (1 - tj) + (c * (1 - ti) + e * ti) * tj;
            }
            line[x] = colour(v);
        }
    }
    return image;
}

std::vector<double> ContourLevelsFor(
    TMapPicture picture, const TPictureData &d, TResponseUnit unit, const TContourLevels &choice)
{
    if (!choice.Auto)
        return choice.Levels;
    if (picture == TMapPicture::Response) {
        if (unit == TResponseUnit::Decibel)
            return { -6, -3 };
        return { std::pow(10.0, -6.0 / 20), std::pow(10.0, -3.0 / 20) };
    }
    const auto mm = common::MatrixFiniteMinMax(d.Shown());
    return mm.Found ? AutoContourLevels(mm.MinV, mm.MaxV) : std::vector<double> {};
}

// The outline of text centred on (0, 0) and its width, from the font's
// design outlines and advances; the first outline of each text is kept.
QPainterPath LabelPath(
    const QRawFont &raw, const QString &fontKey, const QString &text, double &width)
{
    struct TLabel {
        QPainterPath Path;
        double Width = 0;
    };
    static std::mutex guard;
    static std::map<std::pair<QString, QString>, TLabel> kept;
    const std::lock_guard lock(guard);
    const auto key = std::pair(fontKey + QString::number(raw.pixelSize()), text);
    if (const auto it = kept.find(key); it != kept.end()) {
        width = it->second.Width;
        return it->second.Path;
    }
    TLabel l;
    const QList<quint32> glyphs = raw.glyphIndexesForString(text);
    const QList<QPointF> advances = raw.advancesForGlyphIndexes(glyphs, QRawFont::UseDesignMetrics);
    for (qsizetype g = 0; g < glyphs.size() && g < advances.size(); ++g) {
        l.Path.addPath(raw.pathForGlyph(glyphs[g]).translated(l.Width, 0));
        l.Width += advances[g].x();
    }
    l.Path.translate(-l.Width / 2, (raw.ascent() - raw.descent()) / 2);
    if (kept.size() > 1000) // levels are few; a bound all the same
        kept.clear();
    width = l.Width;
    return kept.emplace(key, l).first->second.Path;
}

void DrawContours(QPainter &p, const TPictureData &d, const std::vector<double> &levels,
    const TMapFrame &frame, double s, char sep)
{
    const int nI = static_cast<int>(d.Shown().size());
    const int nJ = nI > 0 ? static_cast<int>(d.Shown()[0].size()) : 0;
    if (nI < 2 || nJ < 2)
        return;
    const TRectF &plot = frame.Plot();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setClipRect(QRectF(plot.X, plot.Y, plot.W, plot.H));
    const QPen pen(QColor(30, 30, 30), 1.2 * s);
    // Labels from the font's design outlines and advances, kept for the
    // process: a glyph's outline comes out a little differently before and
    // after the font cache has rendered it, and the same scene must give the
    // same page.
    const QRawFont raw = QRawFont::fromFont(p.font());
    std::vector<QRectF> taken; // labels already drawn: small loops must not stack theirs
    for (double level : levels) {
        const QString text = Q(LevelText(level, sep));
        double width = 0;
        const QPainterPath label = LabelPath(raw, p.font().key(), text, width);
        for (const TPolyline &line : ContourLines(d.Shown(), level)) {
            TPolyline px;
            px.reserve(line.size());
            QPolygonF poly;
            for (const TPointF &q : line) {
                const TPointF a { plot.X + q.X / (nI - 1) * plot.W,
                    plot.Bottom() - q.Y / (nJ - 1) * plot.H };
                px.push_back(a);
                poly << QPointF(a.X, a.Y);
            }
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(poly);
            for (const TLineLabel &l : LineLabelPlaces(px, 240 * s, 3 * width)) {
                const double half = width / 2 + 2 * s;
                const QRectF box(l.At.X - half, l.At.Y - half, 2 * half, 2 * half);
                if (std::any_of(taken.begin(), taken.end(),
                        [&box](const QRectF &r) { return r.intersects(box); }))
                    continue;
                taken.push_back(box);
                p.save();
                p.translate(l.At.X, l.At.Y);
                p.rotate(l.Angle * 180 / std::numbers::pi);
                p.strokePath(
                    label, QPen(Qt::white, 3 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                p.fillPath(label, Qt::black);
                p.restore();
            }
        }
    }
    p.restore();
}

// Marks as DrawStations draws them (circle, number on red), at s times the
// size; the names where PlaceLabels puts them.
void DrawStationLayer(QPainter &p, const TMapScene &scene, const TMapFrame &frame, double s)
{
    const TStationSet &st = scene.Stations;
    const std::size_t n
        = std::min({ static_cast<std::size_t>(std::max(st.Count, 0)), st.U.size(), st.V.size() });
    const QFontMetricsF fm(p.font());
    std::vector<TLabelItem> items;
    std::vector<QString> numbers, names;
    std::vector<QPointF> centres;
    for (std::size_t i = 0; i < n; ++i) {
        auto [x, y] = frame.ToPixel(st.U[i], st.V[i]);
        x = std::isnan(x) ? 0 : std::nearbyint(std::clamp(x, -kPixelLimit, kPixelLimit));
        y = std::isnan(y) ? 0 : std::nearbyint(std::clamp(y, -kPixelLimit, kPixelLimit));
        const int row = static_cast<int>(i) + 1;
        numbers.push_back(Q(scene.CooGrid.Cell(row, 0)));
        names.push_back(Q(scene.CooGrid.Cell(row, 4)));
        centres.emplace_back(x, y);
        const QRectF circle(x - 9 * s, y - 9 * s, 19 * s, 19 * s);
        const QRectF num = numbers.back().isEmpty()
            ? circle
            : QRectF(x - 6 * s, y - 6 * s, fm.horizontalAdvance(numbers.back()), fm.height());
        const QRectF mark = circle.united(num);
        items.push_back({ { x, y }, { mark.x(), mark.y(), mark.width(), mark.height() },
            names.back().isEmpty() ? 0.0 : fm.horizontalAdvance(names.back()), fm.height() });
    }
    const TRectF &plot = frame.Plot();
    const auto places = PlaceLabels(items, plot);
    p.save();
    p.setClipRect(QRectF(plot.X, plot.Y, plot.W, plot.H));
    const auto opaque = [&p, &fm](const QPointF &at, const QString &text, const QColor &bg) {
        if (text.isEmpty())
            return;
        p.fillRect(QRectF(at, QSizeF(fm.horizontalAdvance(text), fm.height())), bg);
        p.setPen(Qt::black);
        p.drawText(QPointF(at.x(), at.y() + fm.ascent()), text);
    };
    for (std::size_t i = 0; i < n; ++i) {
        const QPointF c = centres[i];
        // Out of operation: hollow, as the window's marks.
        const bool working = InOperationAt(scene.InOperation, i);
        const QColor fill = working ? QColor(255, 0, 0) : QColor(255, 255, 255);
        p.setPen(working ? QPen(Qt::black, s) : QPen(QColor(255, 0, 0), 2 * s));
        p.setBrush(working ? QBrush(fill) : QBrush(Qt::NoBrush));
        p.drawEllipse(QRectF(c.x() - 9 * s, c.y() - 9 * s, 17 * s, 17 * s));
        opaque(c + QPointF(-6 * s, -6 * s), numbers[i], fill);
    }
    // A label pushed off a crowded plot would cover the axes.
    const auto shown = [&plot](const TLabelPlace &l) {
        return l.Placed && plot.Contains(l.Rect.X, l.Rect.Y)
            && plot.Contains(l.Rect.Right(), l.Rect.Bottom());
    };
    // Leaders first, so that none crosses a label drawn before it.
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, s));
    for (const TLabelPlace &l : places)
        if (shown(l) && l.Leader)
            p.drawLine(QPointF(l.From.X, l.From.Y), QPointF(l.To.X, l.To.Y));
    p.setRenderHint(QPainter::Antialiasing, false);
    for (std::size_t i = 0; i < n; ++i)
        if (shown(places[i]))
            opaque(QPointF(places[i].Rect.X, places[i].Rect.Y), names[i], Qt::white);
    p.restore();
}

double Widest(const QFontMetricsF &fm, const TAxisTicks &t)
{
    double w = 0;
    for (const TTick &k : t.Ticks)
        w = std::max(w, fm.horizontalAdvance(Q(k.Label)));
    return w;
}

// Ticks along a side of `length` pixels whose labels do not run into each
// other: label extent per tick is the widest label (across) or a line
// height (up).
TAxisTicks FitTicks(double lo, double hi, TAxisKind kind, const std::string &name, double length,
    const QFontMetricsF &fm, bool across, double s, char sep)
{
    int n = std::clamp(static_cast<int>(length / (across ? 70 * s : 2.2 * fm.height())) + 1, 2, 12);
    TAxisTicks t = ChooseTicks(lo, hi, kind, n, name, sep);
    while (n > 2) {
        const double extent = across ? Widest(fm, t) + 14 * s : 1.6 * fm.height();
        if (static_cast<double>(t.Ticks.size()) * extent <= length)
            break;
        t = ChooseTicks(lo, hi, kind, --n, name, sep);
    }
    return t;
}

} // namespace

void CheckRenderOptions(const TRenderOptions &o)
{
    const auto side = [](int v) { return v >= kMinPageSide && v <= kMaxPageSide; };
    if (!side(o.Size.width()) || !side(o.Size.height()))
        throw common::TValdrinError("Неверный размер карты: " + std::to_string(o.Size.width()) + "x"
            + std::to_string(o.Size.height()) + " (каждая сторона от "
            + std::to_string(kMinPageSide) + " до " + std::to_string(kMaxPageSide) + " пикселей)");
    if (!(o.Dpi >= kMinDpi && o.Dpi <= kMaxDpi))
        throw common::TValdrinError("Неверное разрешение карты: " + common::FormatGeneral(o.Dpi)
            + " точек на дюйм (от " + common::FormatGeneral(kMinDpi) + " до "
            + common::FormatGeneral(kMaxDpi) + ")");
}

TRenderedPage RenderMapPage(QPainter &p, const TMapScene &scene, const TRenderOptions &opt)
{
    const TResult none;
    const TResult &result = scene.Result ? *scene.Result : none;
    const bool match = ResultMatchesGrids(result, scene.Plane, scene.PlaneGrid, scene.WaveGrid);
    TRenderedPage page;
    page.Picture = ChooseMapPicture(scene.Selected, result, scene.SaveEnabled, match);
    const TPictureData d = PictureData(page.Picture, scene, result, opt);
    page.Legend = MapLegend(page.Picture, result, scene.Unit, scene.Diverging, &d.Colours);
    if (page.Legend.Shown && !scene.Quantity.empty())
        page.Legend.Quantity = scene.Quantity;

    const double s = std::isfinite(opt.Dpi) && opt.Dpi > 0 ? opt.Dpi / 96 : 1.0;
    const double W = opt.Size.width(), H = opt.Size.height();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(QRectF(0, 0, W, H), Qt::white);
    const QFontMetricsF fm(p.font());
    const double fh = fm.height();
    const double margin = 8 * s, tick = 5 * s, gap = 3 * s;

    // Left and right need the widest V label; a first guess of the plot
    // height is good enough for that.
    const TAxisTicks vGuess = FitTicks(d.Range.VMin, d.Range.VMax, d.Axes.V, d.Axes.VName,
        H - 8 * fh, fm, false, s, opt.DecimalSep);
    const double vLabelW
        = std::max(Widest(fm, vGuess), fm.horizontalAdvance(QStringLiteral("0000")));
    const double legendW = page.Legend.Shown ? kLegendWidth * s : 0;
    const double left = margin + fh + gap + vLabelW + gap + tick;
    const double right = tick + gap + vLabelW + margin + (legendW > 0 ? legendW + 4 * s : 0);
    const double top = margin + fh + gap + tick;
    const double scaleRow = d.Plane ? fh + 10 * s : 0;
    const double axisBelow = tick + gap + fh + gap + fh; // tick labels and axis title
    const double titleRow = 2 * gap + fh;
    const double bottom = axisBelow + scaleRow + titleRow + margin;
    TMapFrame frame(
        { left, top, W - left - right, H - top - bottom }, d.Range, opt.Aspect, d.Ground);

    // The legend needs some height even beside a flat section.
    const double legendH
        = legendW > 0 ? std::max(frame.Plot().H, std::min(300 * s, H - top - margin)) : 0;
    const double usedW = left + frame.Plot().W + right;
    const double usedH
        = top + std::max(frame.Plot().H + axisBelow + scaleRow, legendH) + titleRow + margin;
    frame.MoveTo(left + std::max(0.0, (W - usedW) / 2), top + std::max(0.0, (H - usedH) / 2));
    page.Frame = frame;
    const TRectF plot = frame.Plot();
    const QRectF plotQ(plot.X, plot.Y, plot.W, plot.H);

    // Picture.
    if (!d.Shown().empty()) {
        const QImage raster = Raster(d.Shown(), d.Colours,
            static_cast<int>(std::lround(plot.W * p.device()->devicePixelRatioF())),
            static_cast<int>(std::lround(plot.H * p.device()->devicePixelRatioF())), opt.Smooth);
        p.drawImage(plotQ, raster);
        std::vector<double> levels = ContourLevelsFor(page.Picture, d, scene.Unit, opt.Contours);
        // A difference always shows where it changes sign.
        if (scene.Diverging && page.Picture == TMapPicture::Volume
            && std::find(levels.begin(), levels.end(), 0.0) == levels.end())
            levels.push_back(0);
        DrawContours(p, d, levels, frame, s, opt.DecimalSep);
    }
    if (d.Plane)
        DrawStationLayer(p, scene, frame, s);

    // Frame and ticks on all four sides.
    p.setPen(QPen(Qt::black, s));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plotQ);
    const TPlaneRange &r = frame.Range(); // spans made usable
    const TAxisTicks uT
        = FitTicks(r.UMin, r.UMax, d.Axes.U, d.Axes.UName, plot.W, fm, true, s, opt.DecimalSep);
    const TAxisTicks vT
        = FitTicks(r.VMin, r.VMax, d.Axes.V, d.Axes.VName, plot.H, fm, false, s, opt.DecimalSep);
    for (const TTick &t : uT.Ticks) {
        const double x = frame.ToPixel(t.Value, r.VMin).first;
        const QString text = Q(t.Label);
        const double tw = fm.horizontalAdvance(text);
        p.drawLine(QPointF(x, plot.Bottom()), QPointF(x, plot.Bottom() + tick));
        p.drawLine(QPointF(x, plot.Y), QPointF(x, plot.Y - tick));
        p.drawText(QPointF(x - tw / 2, plot.Bottom() + tick + gap + fm.ascent()), text);
        p.drawText(QPointF(x - tw / 2, plot.Y - tick - gap - fm.descent()), text);
    }
    for (const TTick &t : vT.Ticks) {
        const double y = frame.ToPixel(r.UMin, t.Value).second;
        const QString text = Q(t.Label);
        const double tw = fm.horizontalAdvance(text);
        const double baseline = y + (fm.ascent() - fm.descent()) / 2;
        p.drawLine(QPointF(plot.X, y), QPointF(plot.X - tick, y));
        p.drawLine(QPointF(plot.Right(), y), QPointF(plot.Right() + tick, y));
        p.drawText(QPointF(plot.X - tick - gap - tw, baseline), text);
        p.drawText(QPointF(plot.Right() + tick + gap, baseline), text);
    }
    // Axis titles: U under its labels, V turned up the left side.
    const QString uTitle = Q(uT.Title), vTitle = Q(vT.Title);
    double y = plot.Bottom() + tick + gap + fh + gap;
    p.drawText(
        QPointF(plot.X + (plot.W - fm.horizontalAdvance(uTitle)) / 2, y + fm.ascent()), uTitle);
    y += fh;
    p.save();
    p.translate(plot.X - tick - gap - vLabelW - gap - fm.descent(), plot.Y + plot.H / 2);
    p.rotate(-90);
    p.drawText(QPointF(-fm.horizontalAdvance(vTitle) / 2, 0), vTitle);
    p.restore();

    // Scale bar: ground metres per pixel across.
    if (d.Plane) {
        const double perMetre = frame.ScaleX() / (d.Ground.U > 0 ? d.Ground.U : 1.0);
        const TScaleBar bar
            = ChooseScaleBar(perMetre, std::min(plot.W / 3, 240 * s), opt.DecimalSep);
        if (bar.Metres > 0) {
            const double by = y + 4 * s, bh = 5 * s, bx = plot.X;
            p.fillRect(QRectF(bx, by, bar.Pixels / 2, bh), Qt::black);
            p.drawRect(QRectF(bx, by, bar.Pixels, bh));
            const QString label = Q(bar.Label);
            const double ty = by + bh / 2 + (fm.ascent() - fm.descent()) / 2;
            p.drawText(QPointF(bx + bar.Pixels + gap, ty), label);
        }
        y += scaleRow;
    }

    // Legend beside the map, then the title line under everything.
    if (legendW > 0)
        PaintLegend(p,
            QRectF(plot.Right() + tick + gap + vLabelW + 4 * s, plot.Y, legendW, legendH).toRect(),
            page.Legend, opt.DecimalSep, s);
    const std::string title = MapTitleLine(page.Picture, result, scene.Unit, scene.Plane,
        scene.PlaneGrid, opt.Degrees, opt.Title, opt.DecimalSep);
    y = std::max(y, plot.Y + legendH) + gap;
    const QString line = fm.elidedText(Q(title), Qt::ElideRight, W - plot.X - margin);
    p.drawText(QPointF(plot.X, y + fm.ascent()), line);
    p.restore();
    return page;
}

QImage RenderMapImage(const TMapScene &scene, const TRenderOptions &opt, TRenderedPage *page)
{
    CheckRenderOptions(opt);
    QImage image(opt.Size, QImage::Format_RGB32);
    const int dpm = static_cast<int>(std::lround(opt.Dpi / 0.0254));
    image.setDotsPerMeterX(dpm);
    image.setDotsPerMeterY(dpm);
    QPainter p(&image);
    const TRenderedPage drawn = RenderMapPage(p, scene, opt);
    if (page)
        *page = drawn;
    return image;
}

namespace {

// A regular file or a new name: a temporary file renamed over the target.
// A device or a pipe: written directly. A folder: refused.
void WriteMapFile(const QString &fileName, const std::function<QString(QIODevice &)> &write)
{
    const QFileInfo info(fileName);
    QString error;
    if (info.exists() && info.isDir()) {
        error = QStringLiteral("это папка");
    } else if (info.exists() && !info.isFile()) {
        QFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            error = file.errorString();
        else
            error = write(file);
    } else {
        QSaveFile file(fileName);
        const bool opened = file.open(QIODevice::WriteOnly);
        if (opened)
            error = write(file);
        if (!opened || (error.isEmpty() && !file.commit()))
            error = file.errorString();
    }
    if (!error.isEmpty())
        throw common::TValdrinError("Не удалось сохранить карту в файл " + fileName.toStdString()
            + ": " + error.toStdString());
}

QString DeviceError(QIODevice &device)
{
    const QString e = device.errorString();
    return e.isEmpty() || e == QStringLiteral("Unknown error") ? QStringLiteral("ошибка записи")
                                                               : e;
}

} // namespace

void SaveMapPng(const QString &fileName, const TMapScene &scene, const TRenderOptions &opt)
{
    const QImage image = RenderMapImage(scene, opt);
    WriteMapFile(fileName, [&image](QIODevice &device) {
        QImageWriter writer(&device, "png");
        return writer.write(image) ? QString() : writer.errorString();
    });
}

void SaveMapPdf(const QString &fileName, const TMapScene &scene, const TRenderOptions &opt)
{
    CheckRenderOptions(opt);
    WriteMapFile(fileName, [&](QIODevice &device) {
        QPdfWriter writer(&device);
        writer.setResolution(static_cast<int>(std::lround(opt.Dpi)));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setPageSize(
            QPageSize(QSizeF(opt.Size.width() * 72.0 / opt.Dpi, opt.Size.height() * 72.0 / opt.Dpi),
                QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setCreator(QStringLiteral("Valdrin"));
        QPainter p;
        if (!p.begin(&writer))
            return DeviceError(device);
        // The page in points may round to a device size a pixel off.
        TRenderOptions o = opt;
        o.Size
            = QSize(writer.width(), writer.height()).expandedTo(QSize(kMinPageSide, kMinPageSide));
        RenderMapPage(p, scene, o);
        return p.end() ? QString() : DeviceError(device);
    });
}

void SaveMapSvg(const QString &fileName, const TMapScene &scene, const TRenderOptions &opt)
{
    CheckRenderOptions(opt);
    WriteMapFile(fileName, [&](QIODevice &device) {
        QSvgGenerator svg;
        svg.setOutputDevice(&device);
        svg.setSize(opt.Size);
        svg.setViewBox(QRect(QPoint(0, 0), opt.Size));
        svg.setResolution(static_cast<int>(std::lround(opt.Dpi)));
        svg.setTitle(QStringLiteral("Карта"));
        QPainter p;
        if (!p.begin(&svg))
            return DeviceError(device);
        RenderMapPage(p, scene, opt);
        return p.end() ? QString() : DeviceError(device);
    });
}

} // namespace valdrin::map
