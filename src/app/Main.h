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
#include <QPoint>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "calc/Computation.h"
#include "calc/NetworkModel.h"
#include "calc/Result.h"
#include "map/MapCore.h"
#include "medium/MediumModel.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
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
struct TWindowPlacement;
struct TCurrentPlacement;
struct TPlacementRestore;
} // namespace valdrin::params

namespace valdrin::app {

class TDialogs;
class TGauge;
class TPaintBox;
class TRadioGroup;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    using TEngine = std::function<std::optional<calc::TResult>(
        const calc::TCalcSnapshot &, const calc::TRunControl &)>;

    static constexpr int kMapWidth = 504; // MapBitmap at the design size, pixels
    static constexpr int kMapHeight = 475;

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
    const medium::THorizontalModel &MediumModel() const { return m_mediumModel; }
    const map::TMapGeometry &Geometry() const { return m_geometry; }
    int PlacementRemaining() const { return m_placementRemaining; }

    // The map image, its scales and the last pressed point.
    QImage MapBitmap;
    double MapScaleX() const { return m_geometry.MapScaleX; }
    double MapScaleY() const { return m_geometry.MapScaleY; }
    QPoint MapCentre() const { return { m_geometry.MapCentre.x, m_geometry.MapCentre.y }; }
    QPoint LastClick;

    QTabWidget *PageControl = nullptr;

    // Page 1 "Расчет".
    controls::TSpin10Edit *SensorsSpinEdit = nullptr;
    QPushButton *CalcButton = nullptr;
    QPushButton *SaveButton = nullptr;
    QPushButton *AddButton = nullptr;
    QLabel *InfoLabel = nullptr;
    controls::TStrGrid *CooGrid = nullptr;
    TPaintBox *PaintBox = nullptr;
    TGauge *Gauge = nullptr;
    QLabel *LegendLabel = nullptr;
    TRadioGroup *SourceRadioGroup = nullptr;
    TRadioGroup *ViewRadioGroup = nullptr;
    TRadioGroup *UnitRadioGroup = nullptr;

    // Page 2 "Параметры среды".
    TRadioGroup *MediumRadioGroup = nullptr;
    controls::TFloatSpinEdit *SurfaceAltSpinEdit = nullptr;
    controls::TSpin10Edit *LayerCountSpinEdit = nullptr;
    controls::TFloatSpinEdit *VpSpinEdit = nullptr;
    controls::TFloatSpinEdit *VsSpinEdit = nullptr;
    controls::TFloatSpinEdit *VrSpinEdit = nullptr;
    controls::TFloatSpinEdit *QualitySpinEdit = nullptr;
    controls::TFloatSpinEdit *RoSpinEdit = nullptr;
    QLabel *AlfaLabel = nullptr;
    controls::TStrGrid *ModelStrGrid = nullptr;
    QPushButton *CalcAvModelButton = nullptr;
    controls::TStrGrid *StrGrid = nullptr;
    controls::TFloatSpinEdit *B0SpinEdit = nullptr;
    controls::TFloatSpinEdit *SSpinEdit = nullptr;
    controls::TFloatSpinEdit *C0SpinEdit = nullptr;
    QLineEdit *A0WAEdit = nullptr;
    QLineEdit *A1WAEdit = nullptr;
    QLineEdit *A3WAEdit = nullptr;
    QLineEdit *A0TMEdit = nullptr;
    QLineEdit *A1TMEdit = nullptr;
    QLineEdit *A3TMEdit = nullptr;
    QLineEdit *A2minEdit = nullptr;
    QLineEdit *A2maxEdit = nullptr;
    controls::TFloatSpinEdit *FreqMinSpinEdit = nullptr;
    controls::TFloatSpinEdit *FreqMaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *C1SpinEdit = nullptr;
    controls::TFloatSpinEdit *C2SpinEdit = nullptr;
    QGroupBox *NoiseSourceGroupBox = nullptr; // "Уровень помех на станциях", inert
    QRadioButton *NoiseByModelRadioButton = nullptr;
    QRadioButton *NoiseByFileRadioButton = nullptr;
    QLineEdit *NoiseFileEdit = nullptr;

    // Page 3 "Оценка уровня шума".
    QWidget *NoisePage = nullptr;
    controls::TFloatSpinEdit *NoiseF1SpinEdit = nullptr; // of the noise page, when it exists
    controls::TFloatSpinEdit *NoiseF2SpinEdit = nullptr;

    // Page 4 "Параметры расчета".
    QPushButton *LoadParamButton = nullptr;
    QPushButton *SaveParamButton = nullptr;
    QPushButton *SaveAsButton = nullptr;
    QPushButton *AboutButton = nullptr;
    QLabel *IniLabel = nullptr;
    QLabel *XLabel = nullptr;
    QLabel *YLabel = nullptr;
    QLabel *ZLabel = nullptr;
    controls::TFloatSpinEdit *XminSpinEdit = nullptr;
    controls::TFloatSpinEdit *XmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dXSpinEdit = nullptr;
    controls::TFloatSpinEdit *X0SpinEdit = nullptr;
    controls::TFloatSpinEdit *YminSpinEdit = nullptr;
    controls::TFloatSpinEdit *YmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dYSpinEdit = nullptr;
    controls::TFloatSpinEdit *Y0SpinEdit = nullptr;
    controls::TFloatSpinEdit *ZminSpinEdit = nullptr;
    controls::TFloatSpinEdit *ZmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dZSpinEdit = nullptr;
    controls::TFloatSpinEdit *Z0SpinEdit = nullptr;
    QPushButton *XAutoButton = nullptr;
    QPushButton *YAutoButton = nullptr;
    QPushButton *ZAutoButton = nullptr;
    controls::TFloatSpinEdit *KmaxSpinEdit = nullptr;
    controls::TFloatSpinEdit *dKSpinEdit = nullptr;
    QCheckBox *GeoCheckBox = nullptr;
    controls::TSpinEdit *MinSensCountSpinEdit = nullptr;
    controls::TSpinEdit *LocErrorSpinEdit = nullptr;
    controls::TFloatSpinEdit *FcNumSpinEdit = nullptr;

    // The map operations.
    void RedrawMap();
    void DrawStations(bool KeepBackground);
    const map::TLegend &Legend() const { return m_legend; }

    // Parameter files, through the working set.
    void LoadParamFile(const QString &fileName);
    void SaveParamFile(const QString &fileName);

    // The About text, two lines.
    static QString AboutText();

public slots:
    void FormCreate();
    void PageControlChange();
    void SensorsSpinEditChange();
    void CalcButtonClick();
    void CancelCalc();
    void SaveButtonClick();
    void AddButtonClick();
    void SourceRadioGroupClick();
    void PaintBoxMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void PaintBoxMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void SaveMapPng();
    void XminSpinEditChange();
    void KmaxSpinEditChange();
    void QualitySpinEditChange();
    void B0SpinEditChange();
    void MediumRadioGroupClick();
    void LayerCountSpinEditChange();
    void CalcAvModelButtonClick();
    void XAutoButtonClick();
    void YAutoButtonClick();
    void ZAutoButtonClick();
    void GeoCheckBoxClick();
    void LoadParamButtonClick();
    void SaveParamButtonClick();
    void SaveAsButtonClick();
    void AboutButtonClick();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildCalcPage(QWidget *page);
    void buildMediumPage(QWidget *page);
    void buildNoisePage(QWidget *page);
    void buildParamsPage(QWidget *page);
    void connectHandlers();
    void configureEdits();
    TRadioGroup *choiceControl(std::string_view name) const;
    params::TWorkingSet gatherWorkingSet() const;
    void applyWorkingSet(const params::TWorkingSet &ws);
    params::TWindowPlacement windowPlacement() const;
    params::TCurrentPlacement currentPlacement() const;
    void applyPlacement(const params::TPlacementRestore &p);

    void showMessage(const QString &text);
    char decimalSep() const;
    calc::TShowMode selectedMode() const;
    calc::TViewPlane selectedPlane() const;
    void readStations();
    void updatePlaneGrid();
    bool gridsMatch() const;
    void refreshIfStale();
    void autoRange(int axis);
    void showLegend();
    void finishRun(std::shared_ptr<std::optional<calc::TResult>> result, const QString &error);
    void queueStationsRedraw();
    void onProgress(int done, int total);
    void endPlacement();

    std::unique_ptr<TDialogs> m_dialogs;
    TEngine m_engine;

    calc::TStationSet m_stations;
    calc::TViewPlane m_stationsPlane = calc::TViewPlane::vpXY; // plane m_stations was read for
    calc::TPlaneGrid m_planeGrid;
    calc::TWaveGrid m_waveGrid;
    calc::TResult m_result;
    calc::TCalcSnapshot m_runSnapshot; // what the current run reads
    std::optional<calc::TCalcSnapshot> m_resultSource; // what m_result was computed from
    bool m_stationsRedrawQueued = false;
    medium::THorizontalModel m_mediumModel;
    map::TMapGeometry m_geometry { kMapWidth, kMapHeight };
    map::TMapPicture m_picture = map::TMapPicture::Stations; // what MapBitmap shows
    map::TLegend m_legend; // of that picture

    int m_placementRemaining = 0;
    QString m_savedCaption; // window caption before placement began

    std::thread m_worker;
    std::atomic<bool> m_cancel { false };
    bool m_running = false;
    int m_loading = 0; // > 0 while a parameter file is applied

    // A count typed digit by digit passes through values the user does not
    // mean ("3" on the way to "30"); applying those would cut the tables and
    // lose their rows. Typed counts apply when the edit is left.
    struct TTypedCount {
        bool Typing = false; // the last key went into the text
        bool Pending = false; // a typed change waits for the edit to be left
    };
    TTypedCount m_sensorsTyped;
    TTypedCount m_layersTyped;
    bool filterCountEdit(QObject *watched, QEvent *event);
    void applyStationCount();
    void applyLayerCount();
};

} // namespace valdrin::app
