// The window's side of planning: page "Планирование" wired to the
// parameters, the run and the tables; the check box "в работе" of every
// station row; and the live what-if, a station mark dragged with Ctrl in the
// homogeneous medium recomputing the node map on the way.
#include "app/Main.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>

#include <algorithm>
#include <cmath>

#include "app/BackgroundRun.h"
#include "app/PaintBox.h"
#include "app/PlanPage.h"
#include "app/RadioGroup.h"
#include "calc/Computation.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/qt/MapQt.h"
#include "map/qt/MapRender.h"
#include "params/WorkingSet.h"

namespace valdrin::app {

using namespace valdrin::params;
using enum calc::TShowMode;

namespace {

constexpr int kMarkRadius = 10; // pixels: a press this near a mark takes its station

} // namespace

void TMainForm::buildPlanning()
{
    m_planPage = new TPlanPage;
    m_planPage->setObjectName(QStringLiteral("PlanPage"));
    PageControl->addTab(m_planPage, QStringLiteral("Планирование"));
    m_planPage->Snapshot = [this](calc::TViewPlane plane) { return planSnapshot(plane); };
    m_planPage->WindowPlane = [this] { return m_calcPage->SelectedPlane(); };
    m_planPage->RenderOptions = [this] { return MapOptions(); };
    m_planPage->Scene = [this](calc::TViewPlane plane) {
        TWorkingSet ws = gatherWorkingSet();
        SetValue(ws, *FindChoiceControl("ViewRadioGroup"), static_cast<int>(plane));
        return MakeMapScene(ws, nullptr, false, decimalSep());
    };
    m_planPage->StartWork = [this](TPlanPage::TWork work, TPlanPage::TProgress progress,
                                TPlanPage::TFinished finished) {
        if (m_running)
            return false;
        beginRun();
        m_run->Start(std::move(work), std::move(progress),
            [this, finished = std::move(finished)](std::exception_ptr error) {
                endRun();
                finished(std::move(error));
            });
        return true;
    };
    m_planPage->CancelWork = [this] { CancelCalc(); };
    m_planPage->AddStation = [this](double u, double v, int row) { addPlannedStation(u, v, row); };
    m_planPage->CurrentResult = [this]() -> const calc::TResult & { return m_result; };
    m_planPage->ShowMessage = [this](const QString &text) { showMessage(text); };

    // "В работе": a check box in the number column of every station row.
    // The number column widens for the box; the table's column beside it
    // with it, so that the table never scrolls sideways.
    const int widen = std::max(0, 46 - CooGrid->columnWidth(0));
    QList<int> widths;
    for (int c = 0; c < CooGrid->ColCount(); ++c)
        widths << CooGrid->columnWidth(c) + (c == 0 ? widen : 0);
    CooGrid->SetColWidths(widths);
    if (QWidget *box = CooGrid->parentWidget(); box && box->maximumWidth() < QWIDGETSIZE_MAX)
        box->setFixedWidth(box->maximumWidth() + widen);
    const auto queueChecks = [this] {
        if (m_checksQueued)
            return;
        m_checksQueued = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_checksQueued = false;
                showOperationChecks();
            },
            Qt::QueuedConnection);
    };
    connect(CooGrid->model(), &QAbstractItemModel::dataChanged, this, queueChecks);
    connect(CooGrid->model(), &QAbstractItemModel::rowsInserted, this, queueChecks);
    connect(CooGrid->model(), &QAbstractItemModel::modelReset, this, queueChecks);
    CooGrid->viewport()->installEventFilter(new TEventHook(this, [this](QObject *, QEvent *e) {
        if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick)
            return false;
        const auto *me = static_cast<QMouseEvent *>(e);
        const QModelIndex index = CooGrid->indexAt(me->position().toPoint());
        if (me->button() != Qt::LeftButton || !index.isValid() || index.column() != 0
            || index.row() < 1 || index.row() > SensorsSpinEdit->Value())
            return false;
        if (e->type() == QEvent::MouseButtonPress)
            SetInOperation(index.row(), !InOperation(index.row()));
        return true;
    }));
    showOperationChecks();

    PaintBox->installEventFilter(
        new TEventHook(this, [this](QObject *, QEvent *e) { return stationDrag(e); }));
}

std::optional<calc::TCalcSnapshot> TMainForm::planSnapshot(calc::TViewPlane plane)
{
    TWorkingSet ws = gatherWorkingSet();
    SetValue(ws, *FindChoiceControl("SourceRadioGroup"), static_cast<int>(smMinMagnitude));
    SetValue(ws, *FindChoiceControl("ViewRadioGroup"), static_cast<int>(plane));
    TSnapshotBuild build = MakeCalcSnapshot(ws, decimalSep());
    if (build.Snapshot.Stations.Count != build.Snapshot.Params.N) {
        showMessage(U8(calc::StationRowMessage(build.Snapshot.Stations)));
        return std::nullopt;
    }
    if (!build.ModelRead) {
        showMessage(U8(build.ModelMessage));
        return std::nullopt;
    }
    m_mediumPage->SetModel(ws.MediumModel);
    return build.Snapshot;
}

// A station at (u, v) of the plane XY on the surface, with the attenuation
// and noise of table row `row`, as the gain map placed it.
void TMainForm::addPlannedStation(double u, double v, int row)
{
    const int n = SensorsSpinEdit->Value();
    if (n >= calc::kMaxStations) {
        showMessage(QStringLiteral("В таблице уже %1 станций: больше добавить нельзя")
                        .arg(calc::kMaxStations));
        return;
    }
    TWorkingSet ws = gatherWorkingSet();
    const char sep = decimalSep();
    SetValue(ws, *FindIntControl("SensorsSpinEdit"), n + 1, sep);
    const int digits = ws.GeoCheckBox ? 6 : 1;
    const int r = n + 1;
    ws.CooGrid.SetCell(r, 1, common::FormatFixed(u, digits, sep));
    ws.CooGrid.SetCell(r, 2, common::FormatFixed(v, digits, sep));
    ws.CooGrid.SetCell(r, 3, common::FormatGeneral(ws.SurfaceAltSpinEdit, sep));
    char name[16];
    std::snprintf(name, sizeof name, "p%2.2d", r - 1);
    ws.CooGrid.SetCell(r, 4, name);
    if (row >= 1 && row < ws.StrGrid.RowCount())
        for (int c = 1; c < calc::kStrGridCols; ++c)
            ws.StrGrid.SetCell(r, c, ws.StrGrid.Cell(row, c));
    ++m_loading;
    SensorsSpinEdit->SetValue(n + 1);
    --m_loading;
    CooGrid->FromTable(ws.CooGrid);
    StrGrid->FromTable(ws.StrGrid);
    recordTables(QStringLiteral("Станция из плана"));
    queueStationsRedraw();
}

bool TMainForm::InOperation(int row) const
{
    return std::find(m_outOfOperation.begin(), m_outOfOperation.end(), row)
        == m_outOfOperation.end();
}

void TMainForm::SetInOperation(int row, bool inOperation)
{
    if (row < 1 || row > SensorsSpinEdit->Value() || InOperation(row) == inOperation)
        return;
    TWorkingSet ws;
    ws.SensorsSpinEdit = SensorsSpinEdit->Value();
    ws.OutOfOperation = m_outOfOperation;
    params::SetInOperation(ws, row, inOperation);
    m_outOfOperation = ws.OutOfOperation;
    showOperationChecks();
    recordTables(
        inOperation ? QStringLiteral("Станция в работе") : QStringLiteral("Станция не в работе"));
    queueStationsRedraw();
}

// The check boxes follow the list; rows beyond the count leave it.
void TMainForm::showOperationChecks()
{
    const int n = std::min(SensorsSpinEdit->Value(), CooGrid->RowCount() - 1);
    std::erase_if(m_outOfOperation, [n](int row) { return row > n; });
    for (int r = 1; r <= n; ++r) {
        QTableWidgetItem *item = CooGrid->item(r, 0);
        if (!item)
            continue;
        const Qt::CheckState state = InOperation(r) ? Qt::Checked : Qt::Unchecked;
        if (item->data(Qt::CheckStateRole) != QVariant(static_cast<int>(state)))
            item->setData(Qt::CheckStateRole, static_cast<int>(state));
        const QString tip = QStringLiteral("В работе: щелчок включает и выключает станцию");
        if (item->toolTip() != tip)
            item->setToolTip(tip);
    }
}

// Ctrl + press on a mark in the homogeneous medium, plane XY: the station
// follows the mouse and a node mode's map is computed again at every step;
// the table takes the place on release. A plain press is left to placement
// and the read-out.
bool TMainForm::stationDrag(QEvent *e)
{
    const auto type = e->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove
        && type != QEvent::MouseButtonRelease)
        return false;
    const auto *me = static_cast<QMouseEvent *>(e);
    const QPointF pos = me->position();
    if (type == QEvent::MouseButtonPress) {
        m_drag.reset();
        if (me->button() != Qt::LeftButton || !(me->modifiers() & Qt::ControlModifier) || m_running
            || !AddButton->isEnabled() || m_calcPage->SelectedPlane() != calc::TViewPlane::vpXY
            || MediumRadioGroup->ItemIndex() != 0)
            return false;
        readStations();
        int best = -1;
        double bestDist = kMarkRadius;
        for (int i = 0; i < m_stations.Count; ++i) {
            const auto at = static_cast<std::size_t>(i);
            const auto [mx, my] = MapFrame().ToPixel(m_stations.U[at], m_stations.V[at]);
            const double d = std::hypot(mx - pos.x(), my - pos.y());
            if (d <= bestDist) {
                bestDist = d;
                best = i;
            }
        }
        if (best < 0)
            return false;
        TDrag drag;
        drag.Row = best + 1;
        const calc::TShowMode mode = m_calcPage->SelectedMode();
        if (mode >= smMinMagnitude && mode <= smSourceSize && InOperation(drag.Row)) {
            TWorkingSet ws = gatherWorkingSet();
            TSnapshotBuild build = MakeCalcSnapshot(ws, decimalSep());
            if (build.ModelRead && build.Snapshot.Stations.Count == build.Snapshot.Params.N) {
                drag.Snapshot = build.Snapshot;
                int index = 0; // the station's place among those in operation
                for (int r = 1; r < drag.Row; ++r)
                    index += InOperation(r) ? 1 : 0;
                drag.Index = static_cast<std::size_t>(index);
            }
        }
        m_drag = std::move(drag);
        PaintBox->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    if (!m_drag)
        return false;
    // Pixel to plane, the inverse of the marks' placement.
    const auto [u, v] = MapFrame().ToPlane(pos.x(), pos.y());
    if (type == QEvent::MouseMove) {
        DragStep(u, v, true);
        return true;
    }
    // Release: the table takes the last place, as one undo step, and the
    // result is that of the place the table says; RedrawMap draws it.
    const auto [uText, vText] = DragStep(u, v, false);
    const int row = m_drag->Row;
    const bool computed = m_drag->Result.has_value();
    if (computed) {
        m_result = std::move(*m_drag->Result);
        SaveButton->setEnabled(m_result.Saveable);
    }
    m_drag.reset();
    PaintBox->unsetCursor();
    CooGrid->SetCells(1, row, U8(uText));
    CooGrid->SetCells(2, row, U8(vText));
    recordTables(QStringLiteral("Перемещение станции"));
    if (computed) {
        // The table now says what the result was computed from.
        TWorkingSet ws = gatherWorkingSet();
        m_resultSource = MakeCalcSnapshot(ws, decimalSep()).Snapshot;
        if (m_planPage)
            m_planPage->ResultChanged();
    }
    RedrawMap();
    PaintBox->update();
    return true;
}

std::pair<std::string, std::string> TMainForm::DragStep(double u, double v, bool draw)
{
    if (!m_drag)
        return {};
    const int digits = GeoCheckBox->isChecked() ? 6 : 1;
    std::pair<std::string, std::string> texts { common::FormatFixed(u, digits, decimalSep()),
        common::FormatFixed(v, digits, decimalSep()) };
    // The place as the table will hold it, so that the map is the table's.
    u = common::TextToFloatAnySep(texts.first, decimalSep()).value_or(u);
    v = common::TextToFloatAnySep(texts.second, decimalSep()).value_or(v);
    const calc::TResult none;
    const calc::TResult *shown = &none;
    if (m_drag->Snapshot && m_drag->Index < m_drag->Snapshot->Stations.U.size()) {
        m_drag->Snapshot->Stations.U[m_drag->Index] = u;
        m_drag->Snapshot->Stations.V[m_drag->Index] = v;
        try {
            m_drag->Result = calc::RunComputation(*m_drag->Snapshot);
        } catch (const std::exception &) {
            m_drag->Result.reset(); // the mark still moves; the map shows the stations
        }
        if (m_drag->Result)
            shown = &*m_drag->Result;
    }
    if (!draw)
        return texts;
    TWorkingSet ws = gatherWorkingSet();
    ws.CooGrid.SetCell(m_drag->Row, 1, texts.first);
    ws.CooGrid.SetCell(m_drag->Row, 2, texts.second);
    m_scene = MakeMapScene(ws, shown, shown != &none, decimalSep());
    MapBitmap = map::RenderMapImage(m_scene, MapOptions(), &m_page);
    PaintBox->repaint();
    return texts;
}

} // namespace valdrin::app
