// The window's map: the page drawn at the map panel's size with the options
// under it, the read-out and status line under the mouse, the placement of
// stations with the mouse, and the map's PNG, PDF and SVG files.
#include "app/Main.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

#include "app/Dialogs.h"
#include "app/MapOptionsPanel.h"
#include "app/PaintBox.h"
#include "app/RadioGroup.h"
#include "common/Error.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/Grids.h"
#include "map/MapCoreReadout.h"
#include "map/MapStatus.h"
#include "map/qt/MapRender.h"
#include "params/WorkingSet.h"

namespace valdrin::app {

using enum calc::TShowMode;
using params::MakeMapScene;

void TMainForm::connectMap()
{
    connect(PaintBox, &TPaintBox::Resized, this, &TMainForm::paintMap);
    connect(PaintBox, &TPaintBox::ExportRequested, this, &TMainForm::ExportMap);
    TMapOptionsPanel *options = m_calcPage->MapOptions;
    connect(options, &TMapOptionsPanel::Changed, this, [this] {
        if (m_loading == 0) // a file being applied redraws once at the end
            paintMap();
    });
    connect(options, &TMapOptionsPanel::Refused, this, &TMainForm::showMessage);
    // Degrees change the axes and the proportions; Vp the C(dF) axes.
    connect(GeoCheckBox, &QCheckBox::toggled, this, [this] {
        if (m_loading == 0)
            RedrawMap();
    });
    connect(VpSpinEdit, &controls::TFloatSpinEdit::changed, this, [this] {
        if (m_page.Picture == map::TMapPicture::Response)
            paintMap();
    });

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("StatusLabel"));
    m_statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addWidget(m_statusLabel, 1);
}

map::TRenderOptions TMainForm::MapOptions() const
{
    map::TRenderOptions o;
    o.Size = MapPageSize(PaintBox);
    m_calcPage->MapOptions->ApplyTo(o);
    o.Degrees = GeoCheckBox->isChecked();
    o.Vp = VpSpinEdit->Value();
    if (m_resultSource)
        o.Title = { m_resultSource->Params.k, m_resultSource->Params.Medium, m_runTime, {} };
    o.DecimalSep = decimalSep();
    return o;
}

QPointF TMainForm::MapCentre() const
{
    const map::TPlaneRange &r = MapFrame().Range();
    const auto [x, y] = MapFrame().ToPixel((r.UMin + r.UMax) / 2, (r.VMin + r.VMax) / 2);
    return { x, y };
}

void TMainForm::RedrawMap()
{
    m_scene = MakeMapScene(gatherWorkingSet(), &m_result, SaveButton->isEnabled(), decimalSep());
    m_stations = m_scene.Stations;
    m_stationsPlane = m_scene.Plane;
    m_planeGrid = m_scene.PlaneGrid;
    paintMap();
}

// The stations alone on a fresh background (placement), or over the picture
// already shown.
void TMainForm::DrawStations(bool KeepBackground)
{
    readStations();
    if (!KeepBackground) {
        m_scene
            = MakeMapScene(gatherWorkingSet(), &m_result, SaveButton->isEnabled(), decimalSep());
        m_scene.Selected = smStations;
    }
    m_scene.Stations = m_stations;
    m_scene.CooGrid = CooGrid->ToTable();
    paintMap();
}

void TMainForm::paintMap()
{
    MapBitmap = map::RenderMapImage(m_scene, MapOptions(), &m_page);
    PaintBox->update();
}

// Edited coordinates move the markers. A paste edits many cells at once: the
// map is redrawn once, after all of them.
void TMainForm::queueStationsRedraw()
{
    if (m_stationsRedrawQueued)
        return;
    m_stationsRedrawQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_stationsRedrawQueued = false;
            RedrawMap();
        },
        Qt::QueuedConnection);
}

void TMainForm::SourceRadioGroupClick()
{
    RedrawMap();
    VpSpinEdit->setEnabled(m_calcPage->SelectedMode() == smCdF);
    VsSpinEdit->setEnabled(VpSpinEdit->isEnabled());
}

void TMainForm::PaintBoxMouseMove(Qt::KeyboardModifiers, double x, double y)
{
    map::TReadoutContext ctx;
    ctx.Selected = m_calcPage->SelectedMode();
    ctx.Result = &m_result;
    ctx.GridsMatch = gridsMatch();
    ctx.LastClickPlane = m_lastClickPlane;
    ctx.Vp = VpSpinEdit->Value();
    ctx.DecimalSep = decimalSep();
    InfoLabel->setText(U8(map::InfoLabelText({ x, y }, MapFrame(), ctx)));

    map::TStatusContext status;
    status.Picture = m_page.Picture;
    status.Result = &m_result;
    status.Plane = m_scene.Plane;
    status.WPlane = m_scene.PlaneGrid.WPlane;
    status.Degrees = GeoCheckBox->isChecked();
    status.DecimalSep = ctx.DecimalSep;
    m_statusLabel->setText(U8(map::MapStatusText({ x, y }, MapFrame(), m_lastClickPlane, status)));
}

void TMainForm::PaintBoxMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, double x, double y)
{
    LastClick = QPointF(x, y);
    const auto [u, v] = MapFrame().ToPlane(x, y);
    m_lastClickPlane = { u, v };
    if (AddButton->isEnabled())
        return;
    common::TCellTable table = CooGrid->ToTable();
    const map::TPlacementStep step = map::PlaceStation(table, SensorsSpinEdit->Value(),
        m_placementRemaining, { x, y }, MapFrame(), X0SpinEdit->Value(), Y0SpinEdit->Value(),
        decimalSep(), GeoCheckBox->isChecked());
    if (step.Written) {
        for (int c = 1; c < calc::kCooGridCols; ++c)
            CooGrid->SetCells(c, step.Row, U8(table.Cell(step.Row, c)));
        recordTables(QStringLiteral("Станция на карте"));
    }
    m_placementRemaining = step.Remaining;
    if (step.Finished)
        endPlacement();
    else
        setWindowTitle(U8(step.Caption));
    DrawStations(false);
}

void TMainForm::endPlacement()
{
    setWindowTitle(m_savedCaption);
    PaintBox->unsetCursor();
    AddButton->setEnabled(true);
}

void TMainForm::AddButtonClick()
{
    if (!AddButton->isEnabled())
        return;
    if (LastDataRow(CooGrid->ToTable()) > 0
        && !m_dialogs->Ask(this,
            QStringLiteral("Координаты станций будут стерты, чтобы задать их мышкой. Продолжить?")))
        return;
    AddButton->setEnabled(false);
    PaintBox->setCursor(Qt::CrossCursor);
    common::TCellTable table = CooGrid->ToTable();
    m_placementRemaining = map::StartPlacement(table, SensorsSpinEdit->Value());
    CooGrid->FromTable(table);
    recordTables(QStringLiteral("Расстановка станций"));
    m_savedCaption = windowTitle();
    setWindowTitle(U8(map::PlacementCaption(m_placementRemaining)));
    DrawStations(false);
}

// The map as the window shows it, at the window's size.
void TMainForm::SaveMapPng()
{
    const QString name = m_dialogs->SaveFileName(this, QStringLiteral("PNG|*.png|Все файлы|*.*"));
    if (name.isEmpty())
        return;
    try {
        map::SaveMapPng(name, m_scene, MapOptions());
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
    }
}

// The same page for a report: the format from the file's extension, the
// size and resolution asked for; fonts keep their size in points.
void TMainForm::ExportMap()
{
    const QString name
        = m_dialogs->SaveFileName(this, QStringLiteral("PNG|*.png|PDF|*.pdf|SVG|*.svg"));
    if (name.isEmpty())
        return;
    TMapSize size = m_exportSize;
    if (!m_dialogs->AskMapSize(this, size))
        return;
    map::TRenderOptions o = MapOptions();
    o.Size = QSize(size.Width, size.Height);
    o.Dpi = size.Dpi;
    try {
        map::CheckRenderOptions(o);
        const QString suffix = name.section(QLatin1Char('.'), -1).toLower();
        if (suffix == QStringLiteral("pdf"))
            map::SaveMapPdf(name, m_scene, o);
        else if (suffix == QStringLiteral("svg"))
            map::SaveMapSvg(name, m_scene, o);
        else
            map::SaveMapPng(name, m_scene, o);
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
        return;
    }
    m_exportSize = size;
}

} // namespace valdrin::app
