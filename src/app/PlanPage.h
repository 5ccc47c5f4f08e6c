// Page "Планирование": what to change in the network. The gain map of a new
// station with its next best places, the ranking of the stations by what the
// network loses without each, the difference of a result to a pinned
// reference, the magnitude reached with a probability under scattered noise,
// and the limits of the array for the response modes.
//
// The page owns its controls and its map; the window gives it the current
// parameters, its one background run, the station table and the result
// through the hooks below.
#pragma once

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QWidget>

#include <exception>
#include <functional>
#include <optional>
#include <vector>

#include "calc/CalcSnapshot.h"
#include "calc/Planning.h"
#include "calc/Result.h"
#include "common/RunControl.h"
#include "map/MapCore.h"
#include "map/MapScene.h"
#include "map/qt/MapRender.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace valdrin::controls {
class TSpinEdit;
class TFloatSpinEdit;
} // namespace valdrin::controls

namespace valdrin::app {

class TGauge;
class TPaintBox;

// An event filter from a function: the window watches widgets of other
// pages without subclassing them.
class TEventHook : public QObject {
public:
    using TFilter = std::function<bool(QObject *, QEvent *)>;
    TEventHook(QObject *parent, TFilter filter)
        : QObject(parent)
        , m_filter(std::move(filter))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override { return m_filter(watched, event); }

private:
    TFilter m_filter;
};

class TPlanPage : public QWidget {
    Q_OBJECT

public:
    using TWork = std::function<void(const common::TRunControl &)>;
    using TProgress = std::function<void(int done, int total)>;
    using TFinished = std::function<void(std::exception_ptr)>;

    explicit TPlanPage(QWidget *parent = nullptr);

    // Hooks of the window.
    // The magnitude mode's snapshot of the current parameters in the plane;
    // nullopt when they do not read (the message was shown).
    std::function<std::optional<calc::TCalcSnapshot>(calc::TViewPlane plane)> Snapshot;
    std::function<calc::TViewPlane()> WindowPlane; // the plane chosen on page "Расчет"
    // The stations as the map draws them, in the plane.
    std::function<map::TMapScene(calc::TViewPlane plane)> Scene;
    // The results map's drawing options (proportions, contours, smoothing, degrees).
    std::function<map::TRenderOptions()> RenderOptions;
    // Starts work on the window's one background run; false while another goes on.
    std::function<bool(TWork work, TProgress progress, TFinished finished)> StartWork;
    std::function<void()> CancelWork;
    // Adds a station at (u, v) of the plane XY with the attenuation and noise
    // of table row `row` (1-based) as one undo step.
    std::function<void(double u, double v, int row)> AddStation;
    std::function<const calc::TResult &()> CurrentResult;
    std::function<void(const QString &)> ShowMessage;

    // The window's result changed: the difference and the array limits follow.
    void ResultChanged();

    // What the map shows.
    enum class TView { None, Gain, Outage, Difference, Probability };
    TView View() const { return m_view; }
    const calc::TResult &Shown() const { return m_shown; }
    const QImage &Bitmap() const { return m_bitmap; }
    const map::TMapFrame &MapFrame() const { return m_page.Frame; }
    // The gain's target area, set by Shift + drag on the map.
    const calc::TGainOptions::TArea &Area() const { return m_area; }
    void SetArea(const calc::TGainOptions::TArea &area);
    bool IsRunning() const { return m_running; }

    // The candidate under a map pixel of the gain map: its plane point.
    std::optional<std::pair<double, double>> NodeAt(QPoint pixel) const;

    // Controls.
    controls::TSpinEdit *CandUSpinEdit = nullptr; // candidates along X; 0: the nodes
    controls::TSpinEdit *CandVSpinEdit = nullptr;
    controls::TSpinEdit *RowSpinEdit = nullptr; // attenuation row of the new station
    QLineEdit *TargetEdit = nullptr; // target magnitude; empty: none
    QLabel *AreaLabel = nullptr; // the gain's target area
    QPushButton *WholeAreaButton = nullptr; // "Вся сетка"
    QPushButton *GainButton = nullptr;
    QPushButton *AddHereButton = nullptr;
    controls::TSpinEdit *CountSpinEdit = nullptr;
    QPushButton *NextButton = nullptr;
    QTableWidget *NextGrid = nullptr;
    QPushButton *OutageButton = nullptr;
    QTableWidget *OutageGrid = nullptr;
    QPushButton *PinButton = nullptr;
    QCheckBox *DiffCheckBox = nullptr;
    controls::TFloatSpinEdit *SigmaSpinEdit = nullptr; // dB
    controls::TFloatSpinEdit *ProbSpinEdit = nullptr;
    QPushButton *ProbButton = nullptr;
    QLabel *PlanInfoLabel = nullptr;
    TPaintBox *PlanBox = nullptr;
    TGauge *PlanGauge = nullptr;
    QLabel *LimitsLabel = nullptr;
    QPoint LastClick { -1, -1 }; // last pressed map pixel

public slots:
    void GainButtonClick();
    void AddHereButtonClick();
    void NextButtonClick();
    void OutageButtonClick();
    void OutageGridSelect();
    void PinButtonClick();
    void DiffCheckBoxClick();
    void ProbButtonClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    // The node under a map pixel, and its plane point.
    std::optional<std::pair<int, int>> NodeIndex(QPoint pixel) const;
    std::pair<double, double> NodePoint(std::pair<int, int> ij) const;
    std::optional<double> target(bool &bad) const;
    std::optional<calc::TGainOptions> gainOptions();
    bool run(TWork work, std::function<void()> done);
    void show(TView view, calc::TResult result, const QString &quantity, bool diverging = false);
    void redraw();
    void paintOverlay(); // the target area (and the one being dragged) over the page
    bool areaDrag(QEvent *event);
    void mouseMoved(int x, int y);
    void mousePressed(int x, int y);
    void showLimits();
    void message(const QString &text);

    TView m_view = TView::None;
    calc::TResult m_shown; // what the map shows
    QString m_quantity;
    bool m_diverging = false;
    std::optional<calc::TResult> m_reference;
    // The outage ranking's snapshot and order statistics, for the maps.
    std::optional<calc::TCalcSnapshot> m_outageSnapshot;
    std::optional<calc::TOrderGrid> m_outageGrid;
    std::vector<int> m_outageRows; // table row of each station of the snapshot
    QImage m_bitmap;
    QImage m_clean; // the page without the area's frame
    calc::TGainOptions::TArea m_area;
    std::optional<QPointF> m_areaFrom; // Shift + drag in progress: where it began
    QPointF m_areaTo;
    map::TRenderedPage m_page; // how m_bitmap was drawn: its frame for the read-out
    bool m_running = false;
};

} // namespace valdrin::app
