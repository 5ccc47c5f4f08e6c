#include "app/PlanPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStackedLayout>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

#include "app/Gauge.h"
#include "app/PageWidgets.h"
#include "app/PaintBox.h"
#include "calc/ArrayResponse.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "controls/SpinExt.h"
#include "map/MapCoreReadout.h"
#include "map/qt/MapQt.h"

namespace valdrin::app {

using controls::TFloatSpinEdit;
using controls::TSpinEdit;
using enum calc::TShowMode;

namespace {

// The pixel a fractional mouse position lies in.
int Pixel(double at)
{
    return static_cast<int>(std::floor(at));
}

TSpinEdit *MakeSpin(const char *name, int lo, int hi, int value, QWidget *parent)
{
    auto *e = new TSpinEdit(parent);
    e->setObjectName(QString::fromUtf8(name));
    e->SetMinValue(lo);
    e->SetMaxValue(hi);
    e->SetValue(value);
    e->setMinimumWidth(56);
    return e;
}

TFloatSpinEdit *MakeReal(
    const char *name, double lo, double hi, double step, double value, int digits, QWidget *parent)
{
    auto *e = MakeFloatEdit(name, parent);
    e->SetMinValue(lo);
    e->SetMaxValue(hi);
    e->SetIncrement(step);
    e->SetFormat(controls::TFloatFormat::Fixed);
    e->SetDigits(digits);
    e->SetValue(value);
    return e;
}

QTableWidget *MakeTable(const char *name, const QStringList &headers, QWidget *parent)
{
    auto *t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(QString::fromUtf8(name));
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    t->verticalHeader()->setDefaultSectionSize(kRowHeight + 4);
    return t;
}

QString Num(double x, int digits)
{
    if (std::isnan(x))
        return QStringLiteral("—");
    if (std::isinf(x))
        return x > 0 ? QStringLiteral("∞") : QStringLiteral("-∞");
    return U8(common::FormatFixed(x, digits, DecimalSep()));
}

// The node-mode result a planning matrix is drawn as.
calc::TResult NodeResult(calc::TMatrix2D matrix, const calc::TPlaneGrid &grid,
    calc::TViewPlane plane, bool degrees, calc::TShowMode mode = smMinMagnitude)
{
    calc::TResult r;
    r.ResultMatrix = std::move(matrix);
    r.ResultMode = mode;
    r.Plane = plane;
    r.PlaneGrid = grid;
    r.Degrees = degrees;
    r.Saveable = true;
    return r;
}

QString ErrorMessage(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const common::TValdrinError &e) {
        return U8(e.what());
    } catch (const std::exception &e) {
        return QStringLiteral("Ошибка расчета: %1").arg(U8(common::ErrorText(e)));
    } catch (...) {
        return QStringLiteral("Ошибка расчета");
    }
}

} // namespace

TPlanPage::TPlanPage(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);

    auto *left = new QVBoxLayout;
    left->setSpacing(4);

    // Where to put the next station.
    auto *gainBox = new QGroupBox(QStringLiteral("Где поставить станцию"), this);
    auto *g = new QGridLayout(gainBox);
    g->setContentsMargins(4, 4, 4, 4);
    g->setSpacing(3);
    CandUSpinEdit = MakeSpin("CandUSpinEdit", 0, 401, 0, gainBox);
    CandVSpinEdit = MakeSpin("CandVSpinEdit", 0, 401, 0, gainBox);
    CandUSpinEdit->setToolTip(QStringLiteral("Мест-кандидатов по X; 0 — узлы сетки"));
    CandVSpinEdit->setToolTip(QStringLiteral("Мест-кандидатов по Y; 0 — узлы сетки"));
    g->addWidget(MakeLabel(QStringLiteral("Кандидаты X×Y (0 — узлы):"), gainBox), 0, 0, 1, 2);
    auto *cand = new QHBoxLayout;
    cand->addWidget(CandUSpinEdit);
    cand->addWidget(MakeLabel(QStringLiteral("×"), gainBox));
    cand->addWidget(CandVSpinEdit);
    g->addLayout(cand, 1, 0, 1, 2);
    RowSpinEdit = MakeSpin("RowSpinEdit", 1, calc::kMaxStations, 1, gainBox);
    RowSpinEdit->setToolTip(QStringLiteral("Строка таблицы, чьи затухание и шум берет станция"));
    g->addWidget(MakeLabel(QStringLiteral("Затухание и шум строки:"), gainBox), 2, 0);
    g->addWidget(RowSpinEdit, 2, 1);
    GainButton = MakeButton("GainButton", "Карта выигрыша", gainBox);
    AddHereButton = MakeButton("AddHereButton", "Добавить станцию здесь", gainBox);
    AddHereButton->setEnabled(false);
    AreaLabel = MakeLabel(QString(), gainBox);
    AreaLabel->setObjectName(QStringLiteral("AreaLabel"));
    AreaLabel->setWordWrap(true);
    AreaLabel->setToolTip(QStringLiteral("Shift + протяжка по карте задает целевую область"));
    WholeAreaButton = MakeButton("WholeAreaButton", "Вся сетка", gainBox);
    g->addWidget(AreaLabel, 3, 0);
    g->addWidget(WholeAreaButton, 3, 1);
    g->addWidget(GainButton, 4, 0);
    g->addWidget(AddHereButton, 4, 1);
    CountSpinEdit = MakeSpin("CountSpinEdit", 1, 20, 3, gainBox);
    NextButton = MakeButton("NextButton", "Следующие n станций", gainBox);
    g->addWidget(CountSpinEdit, 5, 0);
    g->addWidget(NextButton, 5, 1);
    NextGrid = MakeTable("NextGrid",
        { QStringLiteral("№"), QStringLiteral("X"), QStringLiteral("Y"),
            QStringLiteral("Выигрыш") },
        gainBox);
    NextGrid->setMinimumHeight(90);
    g->addWidget(NextGrid, 6, 0, 1, 2);
    left->addWidget(gainBox, 3);

    // Which station matters.
    auto *outBox = new QGroupBox(QStringLiteral("Какая станция важнее"), this);
    auto *o = new QGridLayout(outBox);
    o->setContentsMargins(4, 4, 4, 4);
    o->setSpacing(3);
    TargetEdit = new QLineEdit(outBox);
    TargetEdit->setObjectName(QStringLiteral("TargetEdit"));
    TargetEdit->setPlaceholderText(QStringLiteral("нет"));
    TargetEdit->setToolTip(QStringLiteral("Целевая магнитуда: площадь, где она достигается"));
    o->addWidget(MakeLabel(QStringLiteral("Целевая магнитуда:"), outBox), 0, 0);
    o->addWidget(TargetEdit, 0, 1);
    OutageButton = MakeButton("OutageButton", "Ранжировать станции", outBox);
    o->addWidget(OutageButton, 1, 0, 1, 2);
    OutageGrid = MakeTable("OutageGrid",
        { QStringLiteral("№"), QStringLiteral("Станция"), QStringLiteral("Ср. рост"),
            QStringLiteral("Макс. рост"), QStringLiteral("Потеря площади") },
        outBox);
    OutageGrid->setMinimumHeight(110);
    o->addWidget(OutageGrid, 2, 0, 1, 2);
    left->addWidget(outBox, 4);

    // Reference and probability.
    auto *refBox = new QGroupBox(QStringLiteral("Эталон и вероятность"), this);
    auto *r = new QGridLayout(refBox);
    r->setContentsMargins(4, 4, 4, 4);
    r->setSpacing(3);
    PinButton = MakeButton("PinButton", "Запомнить как эталон", refBox);
    DiffCheckBox = new QCheckBox(QStringLiteral("Разность с эталоном"), refBox);
    DiffCheckBox->setObjectName(QStringLiteral("DiffCheckBox"));
    r->addWidget(PinButton, 0, 0);
    r->addWidget(DiffCheckBox, 0, 1);
    SigmaSpinEdit = MakeReal("SigmaSpinEdit", 0, 100, 0.5, 3, 1, refBox);
    ProbSpinEdit = MakeReal("ProbSpinEdit", 0.01, 0.99, 0.05, 0.9, 2, refBox);
    auto *prob = new QHBoxLayout;
    prob->addWidget(MakeLabel(QStringLiteral("σ, дБ:"), refBox));
    prob->addWidget(SigmaSpinEdit);
    prob->addWidget(MakeLabel(QStringLiteral("P:"), refBox));
    prob->addWidget(ProbSpinEdit);
    r->addLayout(prob, 1, 0, 1, 2);
    ProbButton = MakeButton("ProbButton", "Магнитуда с вероятностью P", refBox);
    r->addWidget(ProbButton, 2, 0, 1, 2);
    left->addWidget(refBox);

    auto *leftBox = new QWidget(this);
    left->setContentsMargins(0, 0, 0, 0);
    leftBox->setLayout(left);
    leftBox->setFixedWidth(400);
    layout->addWidget(leftBox);

    // The map with its read-out and gauge, and the limits under it.
    auto *right = new QGridLayout;
    right->setSpacing(4);
    PlanInfoLabel = new QLabel(QStringLiteral("X =    , Y ="), this);
    PlanInfoLabel->setObjectName(QStringLiteral("PlanInfoLabel"));
    PlanInfoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(PlanInfoLabel, 0, 0, 1, 2);
    auto *mapPanel = new QWidget(this);
    auto *stack = new QStackedLayout(mapPanel);
    stack->setStackingMode(QStackedLayout::StackAll);
    PlanBox = new TPaintBox(mapPanel);
    PlanBox->setObjectName(QStringLiteral("PlanBox"));
    PlanBox->setMinimumSize(kMinMapWidth, kMinMapHeight);
    PlanGauge = new TGauge(mapPanel);
    PlanGauge->setObjectName(QStringLiteral("PlanGauge"));
    stack->addWidget(PlanBox);
    stack->addWidget(PlanGauge);
    stack->setCurrentWidget(PlanGauge);
    PlanGauge->hide();
    right->addWidget(mapPanel, 1, 0);
    LimitsLabel = new QLabel(this);
    LimitsLabel->setObjectName(QStringLiteral("LimitsLabel"));
    LimitsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LimitsLabel->setWordWrap(true);
    right->addWidget(LimitsLabel, 2, 0);
    right->setRowStretch(1, 1);
    right->setColumnStretch(0, 1);
    layout->addLayout(right, 1);

    PlanBox->SetImage(&m_bitmap);
    PlanBox->setToolTip(QStringLiteral("Shift + протяжка: целевая область выигрыша"));
    PlanBox->installEventFilter(
        new TEventHook(this, [this](QObject *, QEvent *e) { return areaDrag(e); }));
    connect(WholeAreaButton, &QPushButton::clicked, this, [this] { SetArea({}); });
    SetArea({});
    connect(PlanBox, &TPaintBox::Resized, this, &TPlanPage::redraw);

    connect(GainButton, &QPushButton::clicked, this, &TPlanPage::GainButtonClick);
    connect(AddHereButton, &QPushButton::clicked, this, &TPlanPage::AddHereButtonClick);
    connect(NextButton, &QPushButton::clicked, this, &TPlanPage::NextButtonClick);
    connect(OutageButton, &QPushButton::clicked, this, &TPlanPage::OutageButtonClick);
    connect(OutageGrid, &QTableWidget::itemSelectionChanged, this, &TPlanPage::OutageGridSelect);
    connect(PinButton, &QPushButton::clicked, this, &TPlanPage::PinButtonClick);
    connect(DiffCheckBox, &QCheckBox::clicked, this, &TPlanPage::DiffCheckBoxClick);
    connect(ProbButton, &QPushButton::clicked, this, &TPlanPage::ProbButtonClick);
    connect(PlanBox, &TPaintBox::MouseMove, this,
        [this](Qt::KeyboardModifiers, double x, double y) { mouseMoved(Pixel(x), Pixel(y)); });
    connect(PlanBox, &TPaintBox::MouseDown, this,
        [this](Qt::MouseButton, Qt::KeyboardModifiers, double x, double y) {
            mousePressed(Pixel(x), Pixel(y));
        });
    connect(PlanGauge, &TGauge::CancelRequested, this, [this] {
        if (CancelWork)
            CancelWork();
    });
}

// Nothing computed yet: the stations as they stand now.
void TPlanPage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_view == TView::None)
        redraw();
}

void TPlanPage::message(const QString &text)
{
    if (ShowMessage)
        ShowMessage(text);
}

// The target magnitude typed, with either separator; empty: none.
std::optional<double> TPlanPage::target(bool &bad) const
{
    bad = false;
    const QString text = TargetEdit->text().trimmed();
    if (text.isEmpty())
        return std::nullopt;
    const auto x = common::TextToFloatAnySep(text.toStdString(), DecimalSep());
    if (!x || !std::isfinite(*x)) {
        bad = true;
        return std::nullopt;
    }
    return *x;
}

// Runs work with the page's gauge; done runs on the window's thread when it
// ended without an error and was not cancelled.
bool TPlanPage::run(TWork work, std::function<void()> done)
{
    if (!StartWork)
        return false;
    PlanGauge->SetMinValue(0);
    PlanGauge->SetMaxValue(1);
    PlanGauge->SetProgress(0);
    const bool started = StartWork(
        std::move(work),
        [this](int d, int total) {
            if (total > 0 && total != PlanGauge->MaxValue())
                PlanGauge->SetMaxValue(total);
            PlanGauge->SetProgress(d);
        },
        [this, done = std::move(done)](const std::exception_ptr &error) {
            m_running = false;
            PlanGauge->hide();
            for (QPushButton *b : { GainButton, NextButton, OutageButton, ProbButton })
                b->setEnabled(true);
            if (error)
                message(ErrorMessage(error));
            else
                done(); // a cancelled analysis answers nullopt and shows nothing
        });
    if (!started) {
        message(QStringLiteral("Идет другой расчет: дождитесь его конца или прервите его"));
        return false;
    }
    m_running = true;
    for (QPushButton *b : { GainButton, NextButton, OutageButton, ProbButton })
        b->setEnabled(false);
    PlanGauge->show();
    PlanGauge->raise();
    return true;
}

// The candidates, the new station's row and the target area from the
// controls; nullopt (with a message) when the row is no station in operation.
std::optional<calc::TGainOptions> TPlanPage::gainOptions()
{
    const auto rows = Scene ? Scene(calc::TViewPlane::vpXY).InOperation : std::vector<bool> {};
    const int row = RowSpinEdit->Value();
    if (row < 1 || row > static_cast<int>(rows.size())
        || !rows[static_cast<std::size_t>(row - 1)]) {
        message(QStringLiteral("Строки %1 нет среди станций в работе").arg(row));
        return std::nullopt;
    }
    calc::TGainOptions options;
    options.CandidatesU = CandUSpinEdit->Value();
    options.CandidatesV = CandVSpinEdit->Value();
    options.Row = static_cast<std::size_t>(
        std::count(rows.begin(), rows.begin() + (row - 1), true)); // its place in the snapshot
    options.Area = m_area;
    return options;
}

void TPlanPage::GainButtonClick()
{
    if (m_running || !Snapshot)
        return;
    bool bad = false;
    const auto goal = target(bad);
    if (bad) {
        message(QStringLiteral("Неверная целевая магнитуда: %1").arg(TargetEdit->text()));
        return;
    }
    auto snap = Snapshot(calc::TViewPlane::vpXY);
    if (!snap)
        return;
    auto options = gainOptions();
    if (!options)
        return;
    options->Target = goal.value_or(NAN);
    auto out = std::make_shared<std::optional<calc::TGainMap>>();
    const bool degrees = snap->Params.Degrees;
    run(
        [snap = *snap, options = *options, out](const common::TRunControl &control) {
            const auto grid = calc::ScanOrderStats(snap, control);
            if (grid)
                *out = calc::GainMap(snap, *grid, options, control);
        },
        [this, out, degrees, goal] {
            if (!*out)
                return;
            show(TView::Gain,
                NodeResult(std::move((*out)->Gain), (*out)->Grid, calc::TViewPlane::vpXY, degrees),
                goal ? QStringLiteral("Прирост площади с M ≤ %1").arg(Num(*goal, 1))
                     : QStringLiteral("Выигрыш: среднее понижение магнитуды"));
        });
}

void TPlanPage::AddHereButtonClick()
{
    if (m_view != TView::Gain || !AddStation)
        return;
    const auto at = NodeAt(LastClick);
    if (!at) {
        message(QStringLiteral("Сначала укажите место на карте выигрыша"));
        return;
    }
    AddStation(at->first, at->second, RowSpinEdit->Value());
    redraw(); // its mark on the map it was chosen from
}

void TPlanPage::NextButtonClick()
{
    if (m_running || !Snapshot)
        return;
    auto snap = Snapshot(calc::TViewPlane::vpXY);
    if (!snap)
        return;
    const auto options = gainOptions();
    if (!options)
        return;
    const int count = CountSpinEdit->Value();
    auto out = std::make_shared<std::optional<std::vector<calc::TNextStation>>>();
    run(
        [snap = *snap, options = *options, count, out](const common::TRunControl &control) {
            *out = calc::NextStations(snap, options, count, control);
        },
        [this, out] {
            if (!*out)
                return;
            const auto &next = **out;
            NextGrid->setRowCount(static_cast<int>(next.size()));
            for (std::size_t i = 0; i < next.size(); ++i) {
                const int r = static_cast<int>(i);
                const QStringList cells { QString::number(r + 1), Num(next[i].U, 1),
                    Num(next[i].V, 1), Num(next[i].Gain, 3) };
                for (int c = 0; c < cells.size(); ++c)
                    NextGrid->setItem(r, c, new QTableWidgetItem(cells[c]));
            }
        });
}

void TPlanPage::OutageButtonClick()
{
    if (m_running || !Snapshot)
        return;
    bool bad = false;
    const auto goal = target(bad);
    if (bad) {
        message(QStringLiteral("Неверная целевая магнитуда: %1").arg(TargetEdit->text()));
        return;
    }
    const calc::TViewPlane plane = WindowPlane ? WindowPlane() : calc::TViewPlane::vpXY;
    auto snap = Snapshot(plane);
    if (!snap)
        return;
    const map::TMapScene scene = Scene ? Scene(plane) : map::TMapScene {};
    const std::vector<bool> inOperation = scene.InOperation;
    const common::TCellTable cooGrid = scene.CooGrid; // the numbers the table shows
    struct TOut {
        std::optional<calc::TOrderGrid> Grid;
        std::optional<std::vector<calc::TOutageFigures>> Figures;
    };
    auto out = std::make_shared<TOut>();
    run(
        [snap = *snap, goal, out](const common::TRunControl &control) {
            out->Grid = calc::ScanOrderStats(snap, control);
            if (out->Grid)
                out->Figures = calc::OutageFigures(snap, control, goal.value_or(NAN));
        },
        [this, out, snap = *snap, inOperation, cooGrid, goal] {
            if (!out->Figures)
                return;
            m_outageSnapshot = snap;
            m_outageGrid = std::move(out->Grid);
            m_outageRows.clear();
            for (std::size_t r = 0; r < inOperation.size(); ++r)
                if (inOperation[r])
                    m_outageRows.push_back(static_cast<int>(r) + 1);
            const auto &f = *out->Figures;
            // Most important first: the largest mean rise; stations with no
            // figure last, in table order.
            std::vector<std::size_t> order(f.size());
            std::iota(order.begin(), order.end(), std::size_t { 0 });
            const auto key = [&f](std::size_t s) {
                return std::isnan(f[s].MeanRise) ? -INFINITY : f[s].MeanRise;
            };
            std::stable_sort(order.begin(), order.end(),
                [&](std::size_t a, std::size_t b) { return key(a) > key(b); });
            const QSignalBlocker block(OutageGrid);
            OutageGrid->clearSelection();
            OutageGrid->setRowCount(static_cast<int>(f.size()));
            for (std::size_t i = 0; i < order.size(); ++i) {
                const std::size_t s = order[i];
                const int row = s < m_outageRows.size() ? m_outageRows[s] : static_cast<int>(s) + 1;
                const QStringList cells { U8(cooGrid.Cell(row, 0)),
                    U8(s < m_outageSnapshot->Stations.Name.size()
                            ? m_outageSnapshot->Stations.Name[s]
                            : std::string()),
                    Num(f[s].MeanRise, 3), Num(f[s].MaxRise, 3),
                    goal ? Num(f[s].AreaLost, 0) : QStringLiteral("—") };
                for (int c = 0; c < cells.size(); ++c) {
                    auto *item = new QTableWidgetItem(cells[c]);
                    item->setData(Qt::UserRole, static_cast<int>(s));
                    OutageGrid->setItem(static_cast<int>(i), c, item);
                }
            }
            if (!f.empty())
                OutageGrid->selectRow(0);
            OutageGridSelect(); // the selection changed with the signals blocked
        });
}

// The rise of the k-th magnitude without the selected station.
void TPlanPage::OutageGridSelect()
{
    const auto selected = OutageGrid->selectedItems();
    if (selected.isEmpty() || !m_outageGrid || !m_outageSnapshot)
        return;
    const auto s = static_cast<std::size_t>(selected.front()->data(Qt::UserRole).toInt());
    std::optional<calc::TMatrix2D> without;
    try {
        without = calc::OutageMap(*m_outageSnapshot, *m_outageGrid, s);
    } catch (const std::exception &e) {
        message(U8(common::ErrorText(e)));
        return;
    }
    if (!without)
        return;
    const calc::TMatrix2D &with = m_outageGrid->Matrix;
    calc::TMatrix2D rise = *without;
    for (std::size_t i = 0; i < rise.size() && i < with.size(); ++i)
        for (std::size_t j = 0; j < rise[i].size() && j < with[i].size(); ++j) {
            const double a = rise[i][j], b = with[i][j];
            // Lost altogether: not registered any more; never there: no value.
            rise[i][j] = std::isfinite(a) && std::isfinite(b) ? a - b
                : std::isfinite(b) && a == INFINITY           ? INFINITY
                                                              : NAN;
        }
    const int row = s < m_outageRows.size() ? m_outageRows[s] : static_cast<int>(s) + 1;
    show(TView::Outage,
        NodeResult(std::move(rise), m_outageSnapshot->PlaneGrid, m_outageSnapshot->Params.Plane,
            m_outageSnapshot->Params.Degrees),
        QStringLiteral("Рост магнитуды без станции %1 (строка %2)")
            .arg(U8(s < m_outageSnapshot->Stations.Name.size() ? m_outageSnapshot->Stations.Name[s]
                                                               : std::string()))
            .arg(row));
}

void TPlanPage::PinButtonClick()
{
    const calc::TResult &now = CurrentResult ? CurrentResult() : calc::TResult {};
    if (now.ResultMode < smMinMagnitude || now.ResultMode > smSourceSize
        || now.ResultMatrix.empty()) {
        message(QStringLiteral("Эталоном может быть только карта режимов 3..6: сначала "
                               "выполните расчет на странице «Расчет»"));
        return;
    }
    m_reference = now;
    PinButton->setToolTip(QStringLiteral("Эталон запомнен"));
    if (DiffCheckBox->isChecked())
        DiffCheckBoxClick();
}

// The window's result less the reference; refused (with the map as it was)
// for another mode, plane or grid.
void TPlanPage::DiffCheckBoxClick()
{
    if (!DiffCheckBox->isChecked()) {
        if (m_view == TView::Difference) {
            m_view = TView::None;
            m_shown = calc::TResult {};
            redraw();
        }
        return;
    }
    if (!m_reference) {
        DiffCheckBox->setChecked(false);
        message(QStringLiteral("Эталон не задан: нажмите «Запомнить как эталон»"));
        return;
    }
    const calc::TResult &now = CurrentResult ? CurrentResult() : calc::TResult {};
    try {
        calc::TResult diff = calc::DifferenceResult(now, *m_reference);
        show(TView::Difference, std::move(diff), QStringLiteral("Разность с эталоном"), true);
    } catch (const std::exception &e) {
        DiffCheckBox->setChecked(false);
        message(U8(common::ErrorText(e)));
    }
}

void TPlanPage::ProbButtonClick()
{
    if (m_running || !Snapshot)
        return;
    const calc::TViewPlane plane = WindowPlane ? WindowPlane() : calc::TViewPlane::vpXY;
    auto snap = Snapshot(plane);
    if (!snap)
        return;
    const double sigma = SigmaSpinEdit->Value(), p = ProbSpinEdit->Value();
    auto out = std::make_shared<std::optional<calc::TResult>>();
    run(
        [snap = *snap, sigma, p, out](const common::TRunControl &control) {
            *out = calc::RunProbabilityComputation(snap, sigma, p, control);
        },
        [this, out, p, sigma] {
            if (*out)
                show(TView::Probability, std::move(**out),
                    QStringLiteral("Магнитуда с вероятностью %1 (σ %2 дБ)")
                        .arg(Num(p, 2), Num(sigma, 1)));
        });
}

void TPlanPage::ResultChanged()
{
    showLimits();
    if (DiffCheckBox->isChecked())
        DiffCheckBoxClick();
}

void TPlanPage::showLimits()
{
    const calc::TResult &now = CurrentResult ? CurrentResult() : calc::TResult {};
    if (now.ResultMode != smCdK && now.ResultMode != smCdF) {
        LimitsLabel->clear();
        return;
    }
    const auto snap = Snapshot ? Snapshot(calc::TViewPlane::vpXY) : std::nullopt;
    if (!snap)
        return;
    try {
        const calc::TArrayLimits l = calc::ArrayLimits(
            snap->Stations, snap->Params.N, snap->Params.Degrees, now.WaveGrid.KMax);
        const auto part = [](double k) {
            if (!std::isfinite(k))
                return QStringLiteral("нет в пределах сетки");
            return QStringLiteral("%1 1/м (λ = %2 м)").arg(Num(k, 6), Num(1 / k, 1));
        };
        LimitsLabel->setText(QStringLiteral("Разрешение k_min: наименьшее %1, среднее %2. "
                                            "Наложение k_max: %3")
                                 .arg(part(l.KMinSmallest), part(l.KMinMean), part(l.KMax)));
    } catch (const std::exception &e) {
        LimitsLabel->setText(U8(common::ErrorText(e)));
    }
}

void TPlanPage::show(TView view, calc::TResult result, const QString &quantity, bool diverging)
{
    m_view = view;
    m_shown = std::move(result);
    m_quantity = quantity;
    m_diverging = diverging;
    AddHereButton->setEnabled(view == TView::Gain);
    if (view != TView::Difference && DiffCheckBox->isChecked()) {
        const QSignalBlocker block(DiffCheckBox);
        DiffCheckBox->setChecked(false);
    }
    redraw();
}

void TPlanPage::redraw()
{
    const bool none = m_view == TView::None;
    map::TMapScene scene = !Scene ? map::TMapScene {}
        : none                    ? Scene(WindowPlane ? WindowPlane() : calc::TViewPlane::vpXY)
                                  : Scene(m_shown.Plane);
    scene.Result = &m_shown;
    scene.Selected = none ? smStations : m_shown.ResultMode;
    scene.SaveEnabled = true;
    if (!none) {
        scene.Plane = m_shown.Plane;
        scene.PlaneGrid = m_shown.PlaneGrid;
    }
    scene.Diverging = m_diverging;
    scene.Quantity = m_quantity.toStdString();
    // The page as the results map draws it: axes, contours and the legend
    // beside it, at the panel's size.
    map::TRenderOptions o = RenderOptions ? RenderOptions() : map::TRenderOptions {};
    o.FixedRange = false; // the user's range is that of the results map's quantity
    o.Title = {};
    o.Title.Quantity = m_quantity.toStdString();
    o.Size = MapPageSize(PlanBox);
    m_clean = map::RenderMapImage(scene, o, &m_page);
    paintOverlay();
}

void TPlanPage::SetArea(const calc::TGainOptions::TArea &area)
{
    m_area = area;
    if (area == calc::TGainOptions::TArea {}) {
        AreaLabel->setText(QStringLiteral("Целевая область: вся сетка"));
    } else {
        const int digits = m_shown.Degrees ? 4 : 0;
        AreaLabel->setText(QStringLiteral("Целевая область: X %1…%2, Y %3…%4")
                               .arg(Num(area.U0, digits), Num(area.U1, digits),
                                   Num(area.V0, digits), Num(area.V1, digits)));
    }
    WholeAreaButton->setEnabled(area != calc::TGainOptions::TArea {});
    paintOverlay();
}

void TPlanPage::paintOverlay()
{
    m_bitmap = m_clean;
    if (m_bitmap.isNull())
        return;
    QPainter p(&m_bitmap);
    p.setBrush(Qt::NoBrush);
    const auto corner = [this](double u, double v) {
        const auto [x, y] = m_page.Frame.ToPixel(u, v);
        return QPointF(x, y);
    };
    if (m_area != calc::TGainOptions::TArea {}) {
        // An open side ends at the plot's edge.
        const map::TPlaneRange &r = m_page.Frame.Range();
        const QRectF rect(corner(std::max(m_area.U0, r.UMin), std::min(m_area.V1, r.VMax)),
            corner(std::min(m_area.U1, r.UMax), std::max(m_area.V0, r.VMin)));
        p.setPen(QPen(Qt::black, 2, Qt::DashLine));
        p.drawRect(rect.normalized());
    }
    if (m_areaFrom) {
        p.setPen(QPen(Qt::blue, 1, Qt::DashLine));
        p.drawRect(QRectF(*m_areaFrom, m_areaTo).normalized());
    }
    PlanBox->update();
}

// Shift + drag on the map: the rectangle becomes the gain's target area.
bool TPlanPage::areaDrag(QEvent *e)
{
    const auto type = e->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove
        && type != QEvent::MouseButtonRelease)
        return false;
    const auto *me = static_cast<QMouseEvent *>(e);
    if (type == QEvent::MouseButtonPress) {
        if (me->button() != Qt::LeftButton || !(me->modifiers() & Qt::ShiftModifier))
            return false;
        m_areaFrom = m_areaTo = me->position();
        return true;
    }
    if (!m_areaFrom)
        return false;
    m_areaTo = me->position();
    if (type == QEvent::MouseMove) {
        paintOverlay();
        return true;
    }
    const QPointF from = *m_areaFrom;
    m_areaFrom.reset();
    const auto [u0, v0] = m_page.Frame.ToPlane(from.x(), from.y());
    const auto [u1, v1] = m_page.Frame.ToPlane(m_areaTo.x(), m_areaTo.y());
    if (u0 == u1 || v0 == v1) { // a click, not a rectangle
        paintOverlay();
        return true;
    }
    SetArea({ std::min(u0, u1), std::max(u0, u1), std::min(v0, v1), std::max(v0, v1) });
    return true;
}

std::optional<std::pair<int, int>> TPlanPage::NodeIndex(QPoint pixel) const
{
    if (m_view == TView::None)
        return std::nullopt;
    const calc::TPlaneGrid &g = m_shown.PlaneGrid;
    return map::FrameIndex({ static_cast<double>(pixel.x()), static_cast<double>(pixel.y()) },
        m_page.Frame, g.NU, g.NV);
}

std::pair<double, double> TPlanPage::NodePoint(std::pair<int, int> ij) const
{
    const calc::TPlaneGrid &g = m_shown.PlaneGrid;
    return { g.UMin + ij.first * g.UStep, g.VMin + ij.second * g.VStep };
}

std::optional<std::pair<double, double>> TPlanPage::NodeAt(QPoint pixel) const
{
    const auto ij = NodeIndex(pixel);
    return ij ? std::optional(NodePoint(*ij)) : std::nullopt;
}

void TPlanPage::mouseMoved(int x, int y)
{
    const auto ij = NodeIndex({ x, y });
    if (!ij) {
        PlanInfoLabel->setText(QStringLiteral("X =    , Y ="));
        return;
    }
    const auto [u, w] = NodePoint(*ij);
    const double *v = common::MatrixElement(m_shown.ResultMatrix, ij->first, ij->second);
    const int digits = m_shown.Degrees ? 4 : 0;
    PlanInfoLabel->setText(
        QStringLiteral("X = %1, Y = %2: %3 = %4")
            .arg(Num(u, digits), Num(w, digits), m_quantity, v ? Num(*v, 3) : QStringLiteral("—")));
}

void TPlanPage::mousePressed(int x, int y)
{
    LastClick = QPoint(x, y);
    mouseMoved(x, y);
}

} // namespace valdrin::app
