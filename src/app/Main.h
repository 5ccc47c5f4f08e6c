// The main window: the four pages with every parameter control, the map with
// its read-out and station placement, the computation with its gauge, the
// results file, the medium aids and the parameter-file commands.
//
// The parameters live in the controls; the handlers read them by name when
// they run. A computation freezes them into a snapshot and runs the engine on
// a worker thread, so the window stays responsive and a run can be cancelled.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QPointF>
#include <QString>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/CalcPage.h"
#include "app/Dialogs.h"
#include "app/MediumPage.h"
#include "app/PageWidgets.h"
#include "app/ParamsPage.h"
#include "app/TableUndo.h"
#include "calc/Computation.h"
#include "calc/NetworkModel.h"
#include "calc/Result.h"
#include "map/MapCore.h"
#include "map/MapScene.h"
#include "map/qt/MapRender.h"
#include "medium/MediumModel.h"

class QAction;
class QCheckBox;
class QUndoStack;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace valdrin::controls {
class TStrGrid;
class TSpinEdit;
class TSpin10Edit;
class TFloatSpinEdit;
} // namespace valdrin::controls

namespace valdrin::params {
struct TWorkingSet;
} // namespace valdrin::params

namespace valdrin::app {

class TBackgroundRun;
class TGauge;
class TTypedCount;
class TPaintBox;
class TPlanPage;
class TRadioGroup;

class TMainForm : public QMainWindow,
                  public TCalcControls,
                  public TMediumControls,
                  public TParamsControls {
    Q_OBJECT

public:
    using TEngine = std::function<std::optional<calc::TResult>(
        const calc::TCalcSnapshot &, const calc::TRunControl &)>;

    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Seams: the dialogs (tests answer them) and the engine (tests wrap it).
    void SetDialogs(std::unique_ptr<TDialogs> dialogs);
    TDialogs &Dialogs() { return *m_dialogs; }
    void SetEngine(TEngine engine);

    bool IsRunning() const { return m_running; }
    const calc::TResult &Result() const { return m_result; }
    const calc::TStationSet &Stations() const { return m_stations; }
    const calc::TPlaneGrid &PlaneGrid() const { return m_planeGrid; }
    const calc::TWaveGrid &WaveGrid() const { return m_waveGrid; }
    const medium::THorizontalModel &MediumModel() const;
    int PlacementRemaining() const { return m_placementRemaining; }

    // The map page as drawn at the map panel's size, the mapping between its
    // pixels and the plane, and the last pressed point (pixel and plane).
    QImage MapBitmap;
    const map::TMapFrame &MapFrame() const { return m_page.Frame; }
    QPointF MapCentre() const; // the middle of the plane shown
    QPointF LastClick;
    // What the map is drawn with now: the options under it, the page size,
    // the title's run data.
    map::TRenderOptions MapOptions() const;
    const map::TMapScene &MapScene() const { return m_scene; }

    QTabWidget *PageControl = nullptr;

    // The controls of pages 1, 2 and 4 are named through the bases.
    // Page 3 "Оценка уровня шума".
    QWidget *NoisePage = nullptr;
    controls::TFloatSpinEdit *NoiseF1SpinEdit = nullptr; // of the noise page, when it exists
    controls::TFloatSpinEdit *NoiseF2SpinEdit = nullptr;

    // The map operations. RedrawMap builds the picture from the controls and
    // the result and draws it; anything that changes what the map shows
    // calls it.
    void RedrawMap();
    void DrawStations(bool KeepBackground);
    const map::TLegend &Legend() const { return m_page.Legend; }

    // Parameter files, through the working set.
    void LoadParamFile(const QString &fileName);
    void SaveParamFile(const QString &fileName);

    // Planning (MainPlan.cpp): the page, the stations in operation (rows
    // 1..N of CooGrid) and one step of a station dragged with Ctrl.
    TPlanPage *PlanPage() const { return m_planPage; }
    bool InOperation(int row) const;
    void SetInOperation(int row, bool inOperation); // one undo step
    // One step of the what-if drag: the place's cell texts, the result
    // there, and (draw) the map.
    std::pair<std::string, std::string> DragStep(double u, double v, bool draw);

public slots:
    void FormCreate();
    void PageControlChange();
    void SensorsSpinEditChange();
    void CalcButtonClick();
    void CancelCalc();
    void SaveButtonClick();
    void AddButtonClick();
    void SourceRadioGroupClick();
    void PaintBoxMouseMove(Qt::KeyboardModifiers shift, double x, double y);
    void PaintBoxMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, double x, double y);
    void SaveMapPng();
    void ImportStationsClick();
    void ExportStationsClick();
    void SaveResultsAsClick();
    void ExportMap(); // PNG, PDF or SVG at a chosen size
    void XminSpinEditChange();
    void KmaxSpinEditChange();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeControls();
    void buildNoisePage(QWidget *page);
    void connectHandlers();
    void configureEdits();
    params::TWorkingSet gatherWorkingSet() const;
    void applyWorkingSet(const params::TWorkingSet &ws);

    void showMessage(const QString &text);
    char decimalSep() const;
    void readStations();
    void updatePlaneGrid();
    bool gridsMatch() const;
    void refreshIfStale();
    void beginRun();
    void endRun();
    void finishRun(
        const std::shared_ptr<std::optional<calc::TResult>> &result, const QString &error);
    void queueStationsRedraw();
    void onProgress(int done, int total);
    void endPlacement();
    void paintMap(); // the current scene at the panel's size and the current options
    void connectMap();
    void buildMenus();
    void addStationCommands(QMenu *file);
    void addSaveResultsAs(QMenu *file, QAction *saveResults);
    void writeResultsFile(const QString &name);
    controls::TStrGrid *focusedGrid() const;
    TTablesState tablesState() const;
    void applyTablesState(const TTablesState &state);
    void recordTables(const QString &text);
    void queueTablesRecord();

    TCalcPage *m_calcPage = nullptr;
    TMediumPage *m_mediumPage = nullptr;
    TParamsPage *m_paramsPage = nullptr;
    std::unique_ptr<TDialogs> m_dialogs;
    TBackgroundRun *m_run = nullptr; // the computation's worker
    TEngine m_engine;

    calc::TStationSet m_stations;
    calc::TViewPlane m_stationsPlane = calc::TViewPlane::vpXY; // plane m_stations was read for
    calc::TPlaneGrid m_planeGrid;
    calc::TWaveGrid m_waveGrid;
    calc::TResult m_result;
    calc::TCalcSnapshot m_runSnapshot; // what the current run reads
    std::optional<calc::TCalcSnapshot> m_resultSource; // what m_result was computed from
    bool m_stationsRedrawQueued = false;
    bool m_tablesRecordQueued = false;
    QUndoStack *m_undo = nullptr; // the tables' changes
    TTablesState m_tablesShot; // the tables as the last undo step left them
    QAction *m_cancelAction = nullptr; // enabled while a run goes on
    map::TMapScene m_scene; // what MapBitmap is drawn from
    map::TRenderedPage m_page; // its picture, legend and frame
    map::TPointF m_lastClickPlane; // LastClick on the plane shown then
    std::optional<std::time_t> m_runTime; // when m_result was computed
    TMapSize m_exportSize; // the last export's size and DPI
    QLabel *m_statusLabel = nullptr; // the pointer's position and value, in the status bar

    int m_placementRemaining = 0;
    QString m_savedCaption; // window caption before placement began

    bool m_running = false;
    int m_loading = 0; // > 0 while a parameter file is applied

    TTypedCount *m_sensorsTyped = nullptr;
    void applyStationCount();

    // Planning (MainPlan.cpp).
    void buildPlanning();
    std::optional<calc::TCalcSnapshot> planSnapshot(calc::TViewPlane plane);
    void addPlannedStation(double u, double v, int row);
    void showOperationChecks();
    bool stationDrag(QEvent *event);
    struct TDrag {
        int Row = 0; // CooGrid row of the station
        std::optional<calc::TCalcSnapshot> Snapshot; // none: the mark moves, nothing is computed
        std::size_t Index = 0; // the station in Snapshot
        std::optional<calc::TResult> Result; // of the last step
    };
    TPlanPage *m_planPage = nullptr;
    std::vector<int> m_outOfOperation; // rows of CooGrid out of operation, ascending
    bool m_checksQueued = false;
    std::optional<TDrag> m_drag;
};

} // namespace valdrin::app
