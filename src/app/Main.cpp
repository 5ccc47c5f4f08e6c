#include "app/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <ostream>

#include "app/BackgroundRun.h"
#include "app/CalcPage.h"
#include "app/ControlBinding.h"
#include "app/Dialogs.h"
#include "app/Gauge.h"
#include "app/MapOptionsPanel.h"
#include "app/MediumPage.h"
#include "app/NoisePage.h"
#include "app/PageWidgets.h"
#include "app/PaintBox.h"
#include "app/ParamsPage.h"
#include "app/PlanPage.h"
#include "app/RadioGroup.h"
#include "app/WindowPlacement.h"
#include "calc/ResultsFile.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "common/SafeFile.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "formats/Stations.h"
#include "map/Grids.h"
#include "map/MapCoreReadout.h"
#include "map/qt/MapQt.h"
#include "params/ParamFile.h"
#include "params/WorkingSet.h"

namespace valdrin::app {

using namespace valdrin::params;

using controls::TFloatSpinEdit;
using controls::TSpin10Edit;
using controls::TStrGrid;
using enum calc::TShowMode;

namespace {

const char *const kResultsFilter = "*.dat|*.dat|Все файлы|*.*";

} // namespace

// ---------------------------------------------------------------------------
// Construction

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(std::make_unique<TDialogs>())
    , m_run(new TBackgroundRun(this))
    , m_engine([](const calc::TCalcSnapshot &s, const calc::TRunControl &c) {
        return calc::RunComputation(s, c);
    })
    , m_undo(new QUndoStack(this))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(WindowTitle());

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    setCentralWidget(PageControl);

    m_calcPage = new TCalcPage;
    m_mediumPage = new TMediumPage;
    auto *noisePage = new QWidget;
    m_paramsPage = new TParamsPage;
    PageControl->addTab(m_calcPage, QStringLiteral("Расчет"));
    PageControl->addTab(m_mediumPage, QStringLiteral("Параметры среды"));
    PageControl->addTab(noisePage, QStringLiteral("Оценка уровня шума"));
    PageControl->addTab(m_paramsPage, QStringLiteral("Параметры расчета"));
    takeControls();
    buildNoisePage(noisePage);
    configureEdits();

    resize(785 + map::kLegendWidth, 590);
    move(254, 130);

    FormCreate();
    connectHandlers();
    buildMenus();
    buildPlanning();
    connectMap();
    m_sensorsTyped = new TTypedCount(SensorsSpinEdit, [this] { applyStationCount(); });
}

TMainForm::~TMainForm()
{
    // FormDestroy: a run still going is stopped before the state it reports to goes.
    m_run->Stop();
    qApp->removeEventFilter(this);
}

void TMainForm::SetDialogs(std::unique_ptr<TDialogs> dialogs)
{
    if (dialogs)
        m_dialogs = std::move(dialogs);
}

void TMainForm::SetEngine(TEngine engine)
{
    if (engine)
        m_engine = std::move(engine);
}

const medium::THorizontalModel &TMainForm::MediumModel() const
{
    return m_mediumPage->Model();
}

// The form's members name the pages' controls, as the handlers and tests
// know them.
void TMainForm::takeControls()
{
    static_cast<TCalcControls &>(*this) = *m_calcPage;
    static_cast<TMediumControls &>(*this) = *m_mediumPage;
    static_cast<TParamsControls &>(*this) = *m_paramsPage;

    m_mediumPage->ShowMessage = [this](const QString &text) { showMessage(text); };
    m_mediumPage->PlaneDepth = [this] { return m_planeGrid.WPlane; };
    m_paramsPage->ShowMessage = m_mediumPage->ShowMessage;
    m_paramsPage->ChooseFileName = [this](const QString &filter, bool save) {
        return save ? m_dialogs->SaveFileName(this, filter) : m_dialogs->OpenFileName(this, filter);
    };
    m_paramsPage->LoadFile = [this](const QString &name) { LoadParamFile(name); };
    m_paramsPage->SaveFile = [this](const QString &name) { SaveParamFile(name); };
    m_paramsPage->ReadStations = [this] {
        readStations();
        return std::make_pair(m_stations, m_stationsPlane);
    };
}

void TMainForm::buildNoisePage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *noise = new TNoisePage(page);
    noise->setObjectName(QStringLiteral("NoisePage"));
    noise->ChooseFileName = [this]() {
        return m_dialogs->OpenFileName(this, QString::fromUtf8(TNoisePage::kNoiseFileFilter));
    };
    noise->ShowMessage = [this](const QString &text) { showMessage(text); };
    // "→ An": the page lists the station names and hands the level to StrGrid.
    noise->StationNames = [this] {
        QStringList names;
        for (int r = 1; r < CooGrid->RowCount(); ++r)
            names << CooGrid->Cells(4, r);
        return names;
    };
    connect(noise, &TNoisePage::stationAnChosen, this,
        [this](int row, const QString &an) { StrGrid->SetCells(formats::kAnColumn, row, an); });
    NoisePage = noise;
    NoiseF1SpinEdit = noise->NoiseF1SpinEdit;
    NoiseF2SpinEdit = noise->NoiseF2SpinEdit;
    layout->addWidget(noise);
}

// Ranges, steps, formats and defaults come from the working set's control
// lists, the same that parameter files and valdrin-calc apply.
void TMainForm::configureEdits()
{
    ConfigureEdits(*this, DefaultWorkingSet(decimalSep()));
}

TWorkingSet TMainForm::gatherWorkingSet() const
{
    TWorkingSet ws;
    GatherControls(*this, ws);
    ws.GeoCheckBox = GeoCheckBox->isChecked();
    ws.CooGrid = CooGrid->ToTable();
    ws.OutOfOperation = m_outOfOperation;
    ws.StrGrid = StrGrid->ToTable();
    ws.ModelStrGrid = ModelStrGrid->ToTable();
    ws.MediumModel = m_mediumPage->Model();
    return ws;
}

// Puts a loaded working set into the controls. Its tables already carry the
// effects of the count changes, so the count handlers do not run again; the
// read-outs and grids are brought up to date once at the end.
void TMainForm::applyWorkingSet(const TWorkingSet &ws)
{
    ++m_loading;
    m_mediumPage->SetLoading(true);
    ApplyControls(*this, ws);
    GeoCheckBox->setChecked(ws.GeoCheckBox);
    CooGrid->FromTable(ws.CooGrid);
    m_outOfOperation = ws.OutOfOperation;
    showOperationChecks();
    StrGrid->FromTable(ws.StrGrid);
    ModelStrGrid->FromTable(ws.ModelStrGrid);
    m_mediumPage->SetModel(ws.MediumModel);
    m_mediumPage->SetLoading(false);
    --m_loading;

    m_calcPage->MapOptions->UpdateRangeEdits();
    m_paramsPage->GeoCheckBoxClick();
    m_mediumPage->MediumRadioGroupClick();
    m_mediumPage->B0SpinEditChange();
    m_mediumPage->QualitySpinEditChange();
    updatePlaneGrid();
    m_waveGrid = map::UpdateWaveGrid(KmaxSpinEdit->Value(), dKSpinEdit->Value());
    SourceRadioGroupClick();
    m_tablesShot = tablesState();
}

void TMainForm::connectHandlers()
{
    connect(PageControl, &QTabWidget::currentChanged, this, &TMainForm::PageControlChange);
    connect(SensorsSpinEdit, &TSpin10Edit::changed, this, &TMainForm::SensorsSpinEditChange);
    connect(CalcButton, &QPushButton::clicked, this, &TMainForm::CalcButtonClick);
    connect(SaveButton, &QPushButton::clicked, this, &TMainForm::SaveButtonClick);
    connect(AddButton, &QPushButton::clicked, this, &TMainForm::AddButtonClick);
    connect(SourceRadioGroup, &TRadioGroup::Click, this, &TMainForm::SourceRadioGroupClick);
    connect(UnitRadioGroup, &TRadioGroup::Click, this, &TMainForm::SourceRadioGroupClick);
    connect(ViewRadioGroup, &TRadioGroup::Click, this, [this] {
        RedrawMap(); // the stations in the new plane, or a result of it
        PaintBox->update();
    });
    connect(CooGrid, &TStrGrid::CellEdited, this, &TMainForm::queueStationsRedraw);
    for (TStrGrid *grid : { CooGrid, StrGrid, ModelStrGrid })
        connect(grid, &TStrGrid::CellEdited, this, &TMainForm::queueTablesRecord);
    connect(m_mediumPage, &TMediumPage::layerCountApplied, this,
        [this] { recordTables(QStringLiteral("Число слоев")); });
    connect(PaintBox, &TPaintBox::MouseMove, this, &TMainForm::PaintBoxMouseMove);
    connect(PaintBox, &TPaintBox::MouseDown, this, &TMainForm::PaintBoxMouseDown);
    connect(PaintBox, &TPaintBox::SavePngRequested, this, &TMainForm::SaveMapPng);
    connect(Gauge, &TGauge::CancelRequested, this, &TMainForm::CancelCalc);

    for (auto *e : { XminSpinEdit, XmaxSpinEdit, dXSpinEdit, X0SpinEdit, YminSpinEdit, YmaxSpinEdit,
             dYSpinEdit, Y0SpinEdit, ZminSpinEdit, ZmaxSpinEdit, dZSpinEdit, Z0SpinEdit,
             FcNumSpinEdit })
        connect(e, &TFloatSpinEdit::changed, this, &TMainForm::XminSpinEditChange);
    connect(KmaxSpinEdit, &TFloatSpinEdit::changed, this, &TMainForm::KmaxSpinEditChange);
    connect(dKSpinEdit, &TFloatSpinEdit::changed, this, &TMainForm::KmaxSpinEditChange);
    m_mediumPage->ConnectHandlers();
    for (auto *e : { NoiseF1SpinEdit, NoiseF2SpinEdit })
        if (e)
            connect(e, &TFloatSpinEdit::changed, m_mediumPage, &TMediumPage::QualitySpinEditChange);
    m_paramsPage->ConnectHandlers();
}

// The start-up sequence: tables, default model, map, grids, stations.
void TMainForm::FormCreate()
{
    PageControl->setCurrentIndex(0);
    CooGrid->FromTable(calc::DefaultCooGrid());
    StrGrid->FromTable(calc::DefaultStrGrid(decimalSep()));

    common::TCellTable model(2, medium::kModelGridCols);
    medium::WriteModelHeader(model);
    m_mediumPage->SetModel({ medium::StartupLayer(SurfaceAltSpinEdit->Value()) });
    medium::ShowLayer(model, 0, m_mediumPage->Model()[0], decimalSep());
    ModelStrGrid->FromTable(model);

    PaintBox->SetImage(&MapBitmap);
    updatePlaneGrid();
    KmaxSpinEditChange();
    DrawStations(false);
    LastClick = MapCentre();
    const auto [u, v] = MapFrame().ToPlane(LastClick.x(), LastClick.y());
    m_lastClickPlane = { u, v };
    m_result = calc::TResult {};
    PaintBox->update();
    m_tablesShot = tablesState();
}

// ---------------------------------------------------------------------------
// Helpers

void TMainForm::showMessage(const QString &text)
{
    m_dialogs->ShowMessage(this, text);
}

char TMainForm::decimalSep() const
{
    return DecimalSep();
}

void TMainForm::readStations()
{
    m_stations = calc::ReadStations(CooGrid->ToTable(), StrGrid->ToTable(),
        m_calcPage->SelectedPlane(), decimalSep(), GeoCheckBox->isChecked());
    m_stationsPlane = m_calcPage->SelectedPlane();
    updatePlaneGrid();
}

void TMainForm::updatePlaneGrid()
{
    map::TRanges r;
    r.X = { XminSpinEdit->Value(), XmaxSpinEdit->Value(), dXSpinEdit->Value(),
        X0SpinEdit->Value() };
    r.Y = { YminSpinEdit->Value(), YmaxSpinEdit->Value(), dYSpinEdit->Value(),
        Y0SpinEdit->Value() };
    r.Z = { ZminSpinEdit->Value(), ZmaxSpinEdit->Value(), dZSpinEdit->Value(),
        Z0SpinEdit->Value() };
    m_planeGrid = map::UpdatePlaneGrid(r, m_calcPage->SelectedPlane());
}

bool TMainForm::gridsMatch() const
{
    return map::ResultMatchesGrids(m_result, m_calcPage->SelectedPlane(), m_planeGrid, m_waveGrid);
}

// ---------------------------------------------------------------------------
// Station count and pages

void TMainForm::PageControlChange()
{
    applyStationCount();
}

void TMainForm::SensorsSpinEditChange()
{
    if (m_loading > 0)
        return;
    if (m_sensorsTyped->Defer())
        return;
    applyStationCount();
}

void TMainForm::applyStationCount()
{
    m_sensorsTyped->Applied();
    common::TCellTable coo = CooGrid->ToTable();
    const int count = SensorsSpinEdit->Value();
    if (const int last = LastDataRow(coo); count < last
        && !m_dialogs->Ask(this,
            QStringLiteral("Данные станций с %1 по %2 будут удалены. Продолжить?")
                .arg(count + 1)
                .arg(last))) {
        ++m_loading;
        SensorsSpinEdit->SetValue(std::max(coo.RowCount() - 1, 1));
        --m_loading;
        return;
    }
    common::TCellTable str = StrGrid->ToTable();
    calc::SetStationCount(coo, str, count, decimalSep());
    CooGrid->FromTable(coo);
    StrGrid->FromTable(str);
    recordTables(QStringLiteral("Число станций"));
    queueStationsRedraw();
}

// ---------------------------------------------------------------------------
// Computation

void TMainForm::CalcButtonClick()
{
    if (m_running)
        return;
    TWorkingSet ws = gatherWorkingSet();
    TSnapshotBuild build = MakeCalcSnapshot(ws, decimalSep());
    calc::TCalcSnapshot &snap = build.Snapshot;
    m_stations = snap.Stations;
    m_stationsPlane = snap.Params.Plane;
    m_planeGrid = snap.PlaneGrid;
    if (m_stations.Count != snap.Params.N) {
        showMessage(U8(calc::StationRowMessage(m_stations)));
        return;
    }
    if (!build.ModelRead) {
        showMessage(U8(build.ModelMessage));
        return;
    }
    m_mediumPage->SetModel(ws.MediumModel);
    m_runSnapshot = snap;
    const calc::TShowMode mode = snap.Params.Mode;
    const bool scan = mode >= smMinMagnitude && mode <= smSourceSize;

    Gauge->SetMinValue(0);
    Gauge->SetProgress(0);

    if (!scan && mode != smCdK && mode != smCdF) {
        // Nothing to compute: no worker, no gauge.
        auto result = std::make_shared<std::optional<calc::TResult>>();
        QString error;
        try {
            *result = m_engine(snap, calc::TRunControl {});
        } catch (const std::exception &e) {
            error = U8(common::ErrorText(e));
        }
        m_running = true;
        finishRun(result, error);
        return;
    }

    beginRun();
    Gauge->SetMaxValue(scan ? snap.PlaneGrid.NU * snap.PlaneGrid.NV : 2 * snap.WaveGrid.KCount);
    Gauge->show();
    Gauge->raise();

    auto result = std::make_shared<std::optional<calc::TResult>>();
    m_run->Start([result, snap = std::move(snap), engine = m_engine](
                     const calc::TRunControl &control) { *result = engine(snap, control); },
        [this](int done, int total) { onProgress(done, total); },
        [this, result](const std::exception_ptr &error) {
            QString text;
            try {
                if (error)
                    std::rethrow_exception(error);
            } catch (const common::TValdrinError &e) {
                text = U8(e.what());
            } catch (const std::bad_alloc &) {
                text = U8(common::kOutOfMemoryMessage);
            } catch (const std::exception &e) {
                text = QStringLiteral("Ошибка расчета: %1").arg(U8(e.what()));
            } catch (...) {
                text = QStringLiteral("Ошибка расчета");
            }
            finishRun(result, text);
        });
}

void TMainForm::onProgress(int done, int total)
{
    if (!m_running)
        return;
    if (total != Gauge->MaxValue())
        Gauge->SetMaxValue(total);
    Gauge->SetProgress(done);
}

void TMainForm::CancelCalc()
{
    if (m_running)
        m_run->Cancel();
}

// A background run holds the window's one runner: "Считать" waits, cancel
// is offered, and input is filtered until it ends.
void TMainForm::beginRun()
{
    m_running = true;
    CalcButton->setEnabled(false);
    m_cancelAction->setEnabled(true);
    qApp->installEventFilter(this);
}

void TMainForm::endRun()
{
    m_running = false;
    m_cancelAction->setEnabled(false);
    qApp->removeEventFilter(this);
    CalcButton->setEnabled(true);
}

void TMainForm::finishRun(
    const std::shared_ptr<std::optional<calc::TResult>> &result, const QString &error)
{
    endRun();
    Gauge->hide();
    if (!error.isEmpty()) {
        showMessage(error);
        return;
    }
    if (!result || !result->has_value())
        return; // cancelled: the previous result, map and save state stay
    m_result = std::move(**result);
    m_resultSource = m_runSnapshot;
    m_runTime = std::time(nullptr);
    SaveButton->setEnabled(m_result.Saveable);
    SourceRadioGroupClick();
    if (m_planPage)
        m_planPage->ResultChanged();
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (m_running && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->window() == this) {
            CancelCalc();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    CancelCalc();
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Results file

void TMainForm::SaveButtonClick()
{
    if (!SaveButton->isEnabled())
        return;
    const QString name = m_dialogs->SaveFileName(this, QString::fromUtf8(kResultsFilter));
    if (!name.isEmpty())
        writeResultsFile(name);
}

void TMainForm::writeResultsFile(const QString &name)
{
    try {
        // Streamed: a large grid is never held whole as text.
        const auto error = common::WriteWholeFileWith(name.toStdString(), [&](std::ostream &out) {
            calc::WriteResultsFile(
                out, m_result, VpSpinEdit->Value(), C1SpinEdit->Value(), C2SpinEdit->Value());
        });
        if (error)
            showMessage(QStringLiteral("Ошибка записи файла %1: %2").arg(name, U8(*error)));
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
    }
}

// ---------------------------------------------------------------------------
// Grids and ranges

void TMainForm::XminSpinEditChange()
{
    updatePlaneGrid();
    refreshIfStale();
}

void TMainForm::KmaxSpinEditChange()
{
    m_waveGrid = map::UpdateWaveGrid(KmaxSpinEdit->Value(), dKSpinEdit->Value());
    refreshIfStale();
}

// A result picture whose grids no longer hold is not left on the map.
void TMainForm::refreshIfStale()
{
    if (m_page.Picture == map::TMapPicture::Stations || MapBitmap.isNull() || gridsMatch())
        return;
    RedrawMap();
    PaintBox->update();
}

// ---------------------------------------------------------------------------
// Parameter files and About

void TMainForm::LoadParamFile(const QString &fileName)
{
    TWorkingSet ws = gatherWorkingSet();
    TParamLoad load;
    try {
        load = params::LoadParamFile(
            fileName.toStdString(), ws, CurrentPlacementOf(*this), decimalSep());
    } catch (const std::exception &e) {
        // Refused before anything was applied: the window, its label included, stays.
        showMessage(U8(common::ErrorText(e)));
        return;
    }
    IniLabel->setText(fileName);
    if (!load.Applied)
        return;
    // A result computed from other inputs than the file's is neither shown
    // nor saved any more; tables that do not read count as other inputs.
    if (m_resultSource) {
        TWorkingSet loaded = ws;
        SetValue(loaded, *FindChoiceControl("SourceRadioGroup"),
            static_cast<int>(m_resultSource->Params.Mode));
        bool same = false;
        try {
            same = MakeCalcSnapshot(loaded, decimalSep()).Snapshot == *m_resultSource;
        } catch (const std::exception &) {
        }
        if (!same) {
            m_result = calc::TResult {};
            m_resultSource.reset();
            SaveButton->setEnabled(false);
        }
    }
    ApplyPlacement(*this, load.Placement);
    if (isVisible())
        KeepOnScreen(*this);
    const TWorkingSet before = gatherWorkingSet();
    applyWorkingSet(ws);
    m_undo->push(new TStateCommand<TWorkingSet>(QStringLiteral("Загрузка параметров"), before,
        gatherWorkingSet(), [this](const TWorkingSet &state) { applyWorkingSet(state); }));
}

void TMainForm::SaveParamFile(const QString &fileName)
{
    IniLabel->setText(fileName);
    try {
        const std::string warning = params::SaveParamFile(
            fileName.toStdString(), gatherWorkingSet(), WindowPlacementOf(*this));
        if (!warning.empty())
            showMessage(U8(warning));
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
    }
}

} // namespace valdrin::app
