// The window's map: redrawing, the read-out under the mouse, the placement
// of stations with the mouse and the PNG of the map.
#include "app/Main.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "app/Dialogs.h"
#include "app/PaintBox.h"
#include "app/RadioGroup.h"
#include "common/Error.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/Grids.h"
#include "map/MapCoreReadout.h"
#include "map/qt/MapQt.h"
#include "params/WorkingSet.h"

namespace valdrin::app {

using enum calc::TShowMode;
using params::MakeMapScene;

void TMainForm::RedrawMap()
{
    const map::TMapScene scene
        = MakeMapScene(gatherWorkingSet(), &m_result, SaveButton->isEnabled(), decimalSep());
    m_stations = scene.Stations;
    m_stationsPlane = scene.Plane;
    m_planeGrid = scene.PlaneGrid;
    const map::TRedrawn drawn = map::RedrawMap(MapBitmap, m_geometry, scene);
    m_picture = drawn.Picture;
    m_legend = drawn.Legend;
    m_calcPage->ShowLegend(m_legend);
}

void TMainForm::DrawStations(bool KeepBackground)
{
    readStations();
    map::DrawStations(
        MapBitmap, m_geometry, m_stations, CooGrid->ToTable(), m_planeGrid, KeepBackground);
    if (!KeepBackground) {
        m_picture = map::TMapPicture::Stations;
        m_legend = map::TLegend {};
        m_calcPage->ShowLegend(m_legend);
    }
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
            PaintBox->update();
        },
        Qt::QueuedConnection);
}

void TMainForm::SourceRadioGroupClick()
{
    RedrawMap();
    VpSpinEdit->setEnabled(m_calcPage->SelectedMode() == smCdF);
    VsSpinEdit->setEnabled(VpSpinEdit->isEnabled());
    PaintBox->update();
}

void TMainForm::PaintBoxMouseMove(Qt::KeyboardModifiers, int x, int y)
{
    map::TReadoutContext ctx;
    ctx.Selected = m_calcPage->SelectedMode();
    ctx.Result = &m_result;
    ctx.GridsMatch = gridsMatch();
    ctx.LastClick = { LastClick.x(), LastClick.y() };
    ctx.Vp = VpSpinEdit->Value();
    ctx.DecimalSep = decimalSep();
    InfoLabel->setText(U8(map::InfoLabelText({ x, y }, m_geometry, ctx)));
}

void TMainForm::PaintBoxMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    LastClick = QPoint(x, y);
    if (AddButton->isEnabled())
        return;
    common::TCellTable table = CooGrid->ToTable();
    const map::TPlacementStep step = map::PlaceStation(table, SensorsSpinEdit->Value(),
        m_placementRemaining, { x, y }, m_geometry, X0SpinEdit->Value(), Y0SpinEdit->Value(),
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
    PaintBox->update();
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
    PaintBox->update();
}

void TMainForm::SaveMapPng()
{
    const QString name = m_dialogs->SaveFileName(this, QStringLiteral("PNG|*.png|Все файлы|*.*"));
    if (name.isEmpty())
        return;
    try {
        map::SaveMapPng(name, MapBitmap, m_legend, decimalSep());
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
    }
}

} // namespace valdrin::app
