#include "app/Main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedLayout>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <exception>
#include <numeric>

#include "common/qt/DecimalSep.h"
#include <ostream>

#include "app/Dialogs.h"
#include "app/Gauge.h"
#include "app/NoisePage.h"
#include "app/PaintBox.h"
#include "params/ParamFile.h"
#include "app/RadioGroup.h"
#include "params/WorkingSet.h"
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
#include "medium/Attenuation.h"

namespace valdrin::app {

using namespace valdrin::params;

using controls::TFloatFormat;
using controls::TFloatSpinEdit;
using controls::TSpin10Edit;
using controls::TSpinEdit;
using controls::TStrGrid;
using enum calc::TShowMode;

namespace {

const char *const kResultsFilter = "*.dat|*.dat|Все файлы|*.*";
const char *const kParamFilter = "INI|*.ini|Все файлы|*.*";
constexpr int kLegendWidth = map::kLegendWidth; // pixels, the legend beside the map
constexpr int kRowHeight = 15; // default row height of the tables

QString U8(const std::string &s)
{
    return QString::fromStdString(s);
}

QLabel *makeLabel(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

QLineEdit *makeReadOnlyEdit(const char *name, const char *text, QWidget *parent)
{
    auto *edit = new QLineEdit(QString::fromUtf8(text), parent);
    edit->setObjectName(QString::fromUtf8(name));
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::ClickFocus);
    // Grey like a scroll bar: these fields show results, they take no input.
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    edit->setPalette(pal);
    edit->setMinimumWidth(72);
    return edit;
}

// A read-only number longer than its field shows its leading digits.
void showNumber(QLineEdit *edit, const QString &text)
{
    edit->setText(text);
    edit->setCursorPosition(0);
}

QPushButton *makeButton(const char *name, const char *caption, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

// Range, step, format and value are set from the control lists afterwards.
TFloatSpinEdit *makeFloatEdit(const char *name, QWidget *parent)
{
    auto *e = new TFloatSpinEdit(parent);
    e->setObjectName(QString::fromUtf8(name));
    e->setMinimumWidth(72);
    return e;
}

TStrGrid *makeGrid(const char *name, int rows, int cols, QWidget *parent)
{
    auto *g = new TStrGrid(parent);
    g->setObjectName(QString::fromUtf8(name));
    g->SetColCount(cols);
    g->SetRowCount(rows);
    g->SetDefaultRowHeight(kRowHeight);
    return g;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent)
    , m_dialogs(std::make_unique<TDialogs>())
    , m_engine([](const calc::TCalcSnapshot &s, const calc::TRunControl &c) {
        return calc::RunComputation(s, c);
    })
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Расчет регистрационных возможностей сети"));

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    setCentralWidget(PageControl);

    auto *calcPage = new QWidget;
    auto *mediumPage = new QWidget;
    auto *noisePage = new QWidget;
    auto *paramsPage = new QWidget;
    PageControl->addTab(calcPage, QStringLiteral("Расчет"));
    PageControl->addTab(mediumPage, QStringLiteral("Параметры среды"));
    PageControl->addTab(noisePage, QStringLiteral("Оценка уровня шума"));
    PageControl->addTab(paramsPage, QStringLiteral("Параметры расчета"));
    buildCalcPage(calcPage);
    buildMediumPage(mediumPage);
    buildNoisePage(noisePage);
    buildParamsPage(paramsPage);
    configureEdits();

    resize(785 + kLegendWidth, 590);
    move(254, 130);

    FormCreate();
    connectHandlers();
    SensorsSpinEdit->installEventFilter(this);
    LayerCountSpinEdit->installEventFilter(this);
}

TMainForm::~TMainForm()
{
    // FormDestroy: a run still going is stopped before the state it reports to goes.
    if (m_worker.joinable()) {
        m_cancel = true;
        m_worker.join();
    }
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

QString TMainForm::AboutText()
{
    return QStringLiteral("Valdrin, v1.0.0\r\nДата выпуска: 15.03.2020");
}

void TMainForm::buildCalcPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);

    // Left column: station count, commands, station table, the three choices.
    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(makeLabel(QStringLiteral("Станции:"), page));
    SensorsSpinEdit = new TSpin10Edit(page);
    SensorsSpinEdit->setObjectName(QStringLiteral("SensorsSpinEdit"));
    countRow->addWidget(SensorsSpinEdit);
    AddButton = makeButton("AddButton", "+", page);
    AddButton->setToolTip(QStringLiteral("Задать координаты мышкой"));
    AddButton->setFixedWidth(32);
    countRow->addWidget(AddButton);
    countRow->addStretch(1);
    left->addLayout(countRow);

    auto *buttonRow = new QHBoxLayout;
    CalcButton = makeButton("CalcButton", "Считать", page);
    SaveButton = makeButton("SaveButton", "Сохранить", page);
    SaveButton->setEnabled(false);
    buttonRow->addWidget(CalcButton);
    buttonRow->addWidget(SaveButton);
    left->addLayout(buttonRow);

    CooGrid = makeGrid("CooGrid", 26, calc::kCooGridCols, page);
    CooGrid->SetDefaultColWidth(30);
    // Coordinates in metres with a decimal and degrees with six must show whole.
    const int coordWidth = std::max({ 43, CooGrid->ColumnWidthFor(QStringLiteral("-12345.6")),
        CooGrid->ColumnWidthFor(QStringLiteral("179.123456")) });
    const QList<int> cooWidths { 30, coordWidth, coordWidth, coordWidth, 46 };
    CooGrid->SetColWidths(cooWidths);
    left->addWidget(CooGrid, 1);

    SourceRadioGroup = new TRadioGroup(QStringLiteral("Что показывать"),
        { QStringLiteral("Датчики"), QStringLiteral("Функция C(dK)"),
            QStringLiteral("Функция С(dF)"), QStringLiteral("Минимальная магнитуда"),
            QStringLiteral("Ошибка локации"), QStringLiteral("Угловая частота"),
            QStringLiteral("Размер очага") },
        1, page);
    SourceRadioGroup->setObjectName(QStringLiteral("SourceRadioGroup"));
    SourceRadioGroup->SetItemIndex(0);
    left->addWidget(SourceRadioGroup);

    auto *choiceRow = new QHBoxLayout;
    ViewRadioGroup = new TRadioGroup(QStringLiteral("Плоскость"),
        { QStringLiteral("XY"), QStringLiteral("YZ"), QStringLiteral("XZ") }, 3, page);
    ViewRadioGroup->setObjectName(QStringLiteral("ViewRadioGroup"));
    ViewRadioGroup->SetItemIndex(0);
    UnitRadioGroup = new TRadioGroup(
        QStringLiteral("Единицы"), { QStringLiteral("0-1"), QStringLiteral("дБ") }, 2, page);
    UnitRadioGroup->setObjectName(QStringLiteral("UnitRadioGroup"));
    UnitRadioGroup->SetItemIndex(0);
    choiceRow->addWidget(ViewRadioGroup, 3);
    choiceRow->addWidget(UnitRadioGroup, 2);
    left->addLayout(choiceRow);

    auto *leftBox = new QWidget(page);
    leftBox->setLayout(left);
    left->setContentsMargins(0, 0, 0, 0);
    // As wide as the station table needs beside its vertical scroll bar.
    const int tableWidth = std::accumulate(cooWidths.begin(), cooWidths.end(), 0)
        + 2 * CooGrid->frameWidth() + CooGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 1;
    leftBox->setFixedWidth(std::max(262, tableWidth));
    layout->addWidget(leftBox);

    // Right: the read-out over the map, the map with the gauge over it, the legend.
    auto *right = new QGridLayout;
    right->setSpacing(4);
    InfoLabel = new QLabel(QStringLiteral("X =    , Y ="), page);
    InfoLabel->setObjectName(QStringLiteral("InfoLabel"));
    InfoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(InfoLabel, 0, 0, 1, 2);

    auto *mapPanel = new QWidget(page);
    mapPanel->setObjectName(QStringLiteral("MapPanel"));
    auto *stack = new QStackedLayout(mapPanel);
    stack->setStackingMode(QStackedLayout::StackAll);
    PaintBox = new TPaintBox(mapPanel);
    PaintBox->setObjectName(QStringLiteral("PaintBox"));
    PaintBox->setMinimumSize(kMapWidth, kMapHeight);
    PaintBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Gauge = new TGauge(mapPanel);
    Gauge->setObjectName(QStringLiteral("Gauge"));
    stack->addWidget(PaintBox);
    stack->addWidget(Gauge);
    stack->setCurrentWidget(Gauge);
    Gauge->hide();
    right->addWidget(mapPanel, 1, 0);

    LegendLabel = new QLabel(page);
    LegendLabel->setObjectName(QStringLiteral("LegendLabel"));
    LegendLabel->setFixedWidth(kLegendWidth);
    LegendLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    right->addWidget(LegendLabel, 1, 1);
    right->setRowStretch(1, 1);
    right->setColumnStretch(0, 1);
    layout->addLayout(right, 1);
}

void TMainForm::buildMediumPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(10);

    // Left column: the attenuation table, the law, the transform.
    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(makeLabel(QStringLiteral("Параметры модели затухания волн"), page));
    StrGrid = makeGrid("StrGrid", 26, calc::kStrGridCols, page);
    StrGrid->SetDefaultColWidth(30);
    // The name column is wider than 30 so that a four-letter code shows whole.
    StrGrid->SetColWidths({ 44, 48, 50, 49, 46, 63, 52 });
    left->addWidget(StrGrid, 1);

    auto *lawHeading = makeLabel(QStringLiteral("Уравнение модели затухания волн:"), page);
    QFont underlined = lawHeading->font();
    underlined.setUnderline(true);
    lawHeading->setFont(underlined);
    left->addWidget(lawHeading);
    left->addWidget(makeLabel(QStringLiteral("M = a0*lg(An*SNR) + a1*lg(R) + a2*R+ a3\n"
                                             "M - магнитуда или энергетический класс; \n"
                                             "R - расстояние (км); \n"
                                             "a0-a3 - коэффициенты графика затухания;\n"
                                             "An - среднеквадратический уровень шумов (мм WA);\n"
                                             "An(WA)=2080*An(TM)\n"
                                             "SNR - отношение сигнал/помеха, достаточное\n"
                                             "           для уверенной регистрации сигнала"),
        page));

    auto *transform = new QGroupBox(QStringLiteral("Трансформация I(M,R) -> M(An,R)"), page);
    auto *tg = new QGridLayout(transform);
    tg->setHorizontalSpacing(4);
    tg->setVerticalSpacing(3);
    auto makeFloat = [&](const char *name) { return makeFloatEdit(name, page); };
    B0SpinEdit = makeFloat("B0SpinEdit");
    SSpinEdit = makeFloat("SSpinEdit");
    C0SpinEdit = makeFloat("C0SpinEdit");
    auto *eq = new QHBoxLayout;
    eq->setSpacing(3);
    eq->addWidget(makeLabel(QStringLiteral("I="), transform));
    eq->addWidget(B0SpinEdit);
    eq->addWidget(makeLabel(QStringLiteral("* M +"), transform));
    eq->addWidget(SSpinEdit);
    eq->addWidget(makeLabel(QStringLiteral("* lg(R) +"), transform));
    eq->addWidget(C0SpinEdit);
    tg->addLayout(eq, 0, 0, 1, 4);
    A0WAEdit = makeReadOnlyEdit("A0WAEdit", "0.772", transform);
    A1WAEdit = makeReadOnlyEdit("A1WAEdit", "1.837", transform);
    A3WAEdit = makeReadOnlyEdit("A3WAEdit", "0.921", transform);
    A0TMEdit = makeReadOnlyEdit("A0TMEdit", "0.980", transform);
    A1TMEdit = makeReadOnlyEdit("A1TMEdit", "2.333", transform);
    A3TMEdit = makeReadOnlyEdit("A3TMEdit", "3.153", transform);
    tg->addWidget(makeLabel(QStringLiteral("a0"), transform), 1, 1, Qt::AlignHCenter);
    tg->addWidget(makeLabel(QStringLiteral("a1"), transform), 1, 2, Qt::AlignHCenter);
    tg->addWidget(makeLabel(QStringLiteral("a3"), transform), 1, 3, Qt::AlignHCenter);
    tg->addWidget(makeLabel(QStringLiteral("WA"), transform), 2, 0);
    tg->addWidget(A0WAEdit, 2, 1);
    tg->addWidget(A1WAEdit, 2, 2);
    tg->addWidget(A3WAEdit, 2, 3);
    tg->addWidget(makeLabel(QStringLiteral("TM"), transform), 3, 0);
    tg->addWidget(A0TMEdit, 3, 1);
    tg->addWidget(A1TMEdit, 3, 2);
    tg->addWidget(A3TMEdit, 3, 3);
    left->addWidget(transform);
    layout->addLayout(left, 0);

    // Right column: the medium model, its values, the a2 range, the energy relation.
    auto *right = new QVBoxLayout;
    right->setSpacing(6);
    auto *modelRow = new QHBoxLayout;
    MediumRadioGroup = new TRadioGroup(QStringLiteral("Модель среды"),
        { QStringLiteral("Однородная"), QStringLiteral("Горизонтально-слоистая") }, 1, page);
    MediumRadioGroup->setObjectName(QStringLiteral("MediumRadioGroup"));
    MediumRadioGroup->SetItemIndex(0);
    modelRow->addWidget(MediumRadioGroup);
    auto *altGrid = new QGridLayout;
    altGrid->setVerticalSpacing(3);
    SurfaceAltSpinEdit = makeFloat("SurfaceAltSpinEdit");
    LayerCountSpinEdit = new TSpin10Edit(page);
    LayerCountSpinEdit->setObjectName(QStringLiteral("LayerCountSpinEdit"));
    altGrid->addWidget(makeLabel(QStringLiteral("Отметка \nповерхности, м"), page), 0, 0);
    altGrid->addWidget(SurfaceAltSpinEdit, 0, 1);
    altGrid->addWidget(makeLabel(QStringLiteral("Кол-во \nслоев"), page), 1, 0);
    altGrid->addWidget(LayerCountSpinEdit, 1, 1);
    modelRow->addLayout(altGrid);
    modelRow->addStretch(1);
    right->addLayout(modelRow);

    ModelStrGrid = makeGrid("ModelStrGrid", 2, medium::kModelGridCols, page);
    ModelStrGrid->SetFixedCols(0);
    // The fields hold up to 100000 with one decimal.
    ModelStrGrid->SetDefaultColWidth(
        std::max(56, ModelStrGrid->ColumnWidthFor(QStringLiteral("100000.0"))));
    ModelStrGrid->setEnabled(false);
    right->addWidget(ModelStrGrid, 1);

    auto *values = new QGridLayout;
    values->setHorizontalSpacing(4);
    values->setVerticalSpacing(2);
    VpSpinEdit = makeFloat("VpSpinEdit");
    VsSpinEdit = makeFloat("VsSpinEdit");
    VrSpinEdit = makeFloat("VrSpinEdit");
    QualitySpinEdit = makeFloat("QualitySpinEdit");
    RoSpinEdit = makeFloat("RoSpinEdit");
    for (auto *e : { VpSpinEdit, VsSpinEdit, VrSpinEdit, QualitySpinEdit })
        e->setEnabled(false);
    const std::pair<const char *, TFloatSpinEdit *> cols[]
        = { { "Vp, м/с", VpSpinEdit }, { "Vs, м/с", VsSpinEdit }, { "Vr, м/с", VrSpinEdit },
              { "Q", QualitySpinEdit }, { "Rho, г/см³", RoSpinEdit } };
    int c = 0;
    for (const auto &[caption, edit] : cols) {
        values->addWidget(makeLabel(QString::fromUtf8(caption), page), 0, c);
        values->addWidget(edit, 1, c);
        ++c;
    }
    right->addLayout(values);
    auto *avRow = new QHBoxLayout;
    AlfaLabel = makeLabel(QStringLiteral("Vp/Vs = 2"), page);
    AlfaLabel->setObjectName(QStringLiteral("AlfaLabel"));
    avRow->addWidget(AlfaLabel);
    avRow->addStretch(1);
    CalcAvModelButton = makeButton("CalcAvModelButton", "", page);
    // A button caption does not wrap by itself; the two lines are set here.
    CalcAvModelButton->setText(QStringLiteral("Расчитать средние\nпараметры среды"));
    CalcAvModelButton->setToolTip(QStringLiteral("Расчитать средние параметры среды"));
    avRow->addWidget(CalcAvModelButton);
    right->addLayout(avRow);

    auto *lower = new QHBoxLayout;
    auto *a2Box = new QGroupBox(page);
    auto *a2 = new QGridLayout(a2Box);
    a2->setHorizontalSpacing(4);
    a2->setVerticalSpacing(3);
    FreqMinSpinEdit = makeFloat("FreqMinSpinEdit");
    FreqMaxSpinEdit = makeFloat("FreqMaxSpinEdit");
    A2minEdit = makeReadOnlyEdit("A2minEdit", "0.0004548", a2Box);
    A2maxEdit = makeReadOnlyEdit("A2maxEdit", "0.0454792", a2Box);
    a2->addWidget(makeLabel(QStringLiteral("F, Гц"), a2Box), 0, 1, Qt::AlignHCenter);
    a2->addWidget(makeLabel(QStringLiteral("a2"), a2Box), 0, 2, Qt::AlignHCenter);
    a2->addWidget(makeLabel(QStringLiteral("Min"), a2Box), 1, 0);
    a2->addWidget(FreqMinSpinEdit, 1, 1);
    a2->addWidget(A2minEdit, 1, 2);
    a2->addWidget(makeLabel(QStringLiteral("Max"), a2Box), 2, 0);
    a2->addWidget(FreqMaxSpinEdit, 2, 1);
    a2->addWidget(A2maxEdit, 2, 2);
    lower->addWidget(a2Box);

    auto *energyBox = new QGroupBox(page);
    auto *energy = new QHBoxLayout(energyBox);
    energy->setSpacing(3);
    C1SpinEdit = makeFloat("C1SpinEdit");
    C2SpinEdit = makeFloat("C2SpinEdit");
    energy->addWidget(makeLabel(QStringLiteral("LgE="), energyBox));
    energy->addWidget(C1SpinEdit);
    energy->addWidget(makeLabel(QStringLiteral("* M +"), energyBox));
    energy->addWidget(C2SpinEdit);
    lower->addWidget(energyBox, 0, Qt::AlignTop);
    right->addLayout(lower);

    NoiseSourceGroupBox = new QGroupBox(QStringLiteral("Уровень помех на станциях"), page);
    NoiseSourceGroupBox->setObjectName(QStringLiteral("NoiseSourceGroupBox"));
    auto *noise = new QGridLayout(NoiseSourceGroupBox);
    noise->setVerticalSpacing(2);
    NoiseByModelRadioButton
        = new QRadioButton(QStringLiteral("Задан моделью затухания"), NoiseSourceGroupBox);
    NoiseByModelRadioButton->setObjectName(QStringLiteral("NoiseByModelRadioButton"));
    NoiseByModelRadioButton->setChecked(true);
    NoiseByFileRadioButton
        = new QRadioButton(QStringLiteral("Задан источниками в файле"), NoiseSourceGroupBox);
    NoiseByFileRadioButton->setObjectName(QStringLiteral("NoiseByFileRadioButton"));
    NoiseFileEdit = new QLineEdit(NoiseSourceGroupBox);
    NoiseFileEdit->setObjectName(QStringLiteral("NoiseFileEdit"));
    for (QWidget *w :
        { static_cast<QWidget *>(NoiseByModelRadioButton),
            static_cast<QWidget *>(NoiseByFileRadioButton), static_cast<QWidget *>(NoiseFileEdit) })
        w->setEnabled(false);
    noise->addWidget(NoiseByModelRadioButton, 0, 0, 1, 2);
    noise->addWidget(NoiseByFileRadioButton, 1, 0);
    noise->addWidget(NoiseFileEdit, 1, 1);
    right->addWidget(NoiseSourceGroupBox);
    layout->addLayout(right, 1);
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

void TMainForm::buildParamsPage(QWidget *page)
{
    auto *layout = new QHBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(12);

    auto *left = new QVBoxLayout;
    left->setSpacing(8);
    auto *ranges = new QGroupBox(QStringLiteral("Диапазоны"), page);
    auto *rg = new QGridLayout(ranges);
    rg->setHorizontalSpacing(6);
    rg->setVerticalSpacing(4);
    const char *headers[] = { "Минимум", "Максимум", "Шаг", "Центр" };
    for (int i = 0; i < 4; ++i)
        rg->addWidget(makeLabel(QString::fromUtf8(headers[i]), ranges), 0, i + 1, Qt::AlignHCenter);
    auto makeFloat = [&](const char *name) { return makeFloatEdit(name, ranges); };
    struct TAxisRow {
        QLabel **label;
        const char *caption;
        TFloatSpinEdit **edits[4];
        const char *names[4];
        QPushButton **autoButton;
        const char *autoName;
    };
    const TAxisRow rows[] = {
        { &XLabel, "X", { &XminSpinEdit, &XmaxSpinEdit, &dXSpinEdit, &X0SpinEdit },
            { "XminSpinEdit", "XmaxSpinEdit", "dXSpinEdit", "X0SpinEdit" }, &XAutoButton,
            "XAutoButton" },
        { &YLabel, "Y", { &YminSpinEdit, &YmaxSpinEdit, &dYSpinEdit, &Y0SpinEdit },
            { "YminSpinEdit", "YmaxSpinEdit", "dYSpinEdit", "Y0SpinEdit" }, &YAutoButton,
            "YAutoButton" },
        { &ZLabel, "Z", { &ZminSpinEdit, &ZmaxSpinEdit, &dZSpinEdit, &Z0SpinEdit },
            { "ZminSpinEdit", "ZmaxSpinEdit", "dZSpinEdit", "Z0SpinEdit" }, &ZAutoButton,
            "ZAutoButton" },
    };
    int r = 1;
    for (const auto &row : rows) {
        *row.label = makeLabel(QString::fromUtf8(row.caption), ranges);
        (*row.label)->setObjectName(QString::fromUtf8(row.caption) + QStringLiteral("Label"));
        (*row.label)->setMinimumWidth(28);
        rg->addWidget(*row.label, r, 0);
        for (int i = 0; i < 4; ++i) {
            *row.edits[i] = makeFloat(row.names[i]);
            (*row.edits[i])->setMaximumWidth(120);
            rg->addWidget(*row.edits[i], r, i + 1);
        }
        *row.autoButton = makeButton(row.autoName, "Авто", ranges);
        rg->addWidget(*row.autoButton, r, 5);
        ++r;
    }
    KmaxSpinEdit = makeFloat("KmaxSpinEdit");
    dKSpinEdit = makeFloat("dKSpinEdit");
    rg->addWidget(
        makeLabel(QStringLiteral("Диап. волн. числа ±"), ranges), r, 0, 1, 2, Qt::AlignRight);
    rg->addWidget(KmaxSpinEdit, r, 2);
    GeoCheckBox = new QCheckBox(QStringLiteral("Градусы"), ranges);
    GeoCheckBox->setObjectName(QStringLiteral("GeoCheckBox"));
    rg->addWidget(GeoCheckBox, r, 4);
    ++r;
    rg->addWidget(makeLabel(QStringLiteral("Шаг волн. числа"), ranges), r, 0, 1, 2, Qt::AlignRight);
    rg->addWidget(dKSpinEdit, r, 2);
    KmaxSpinEdit->setMaximumWidth(120);
    dKSpinEdit->setMaximumWidth(120);
    ranges->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    left->addWidget(ranges);

    auto *counts = new QGridLayout;
    counts->setHorizontalSpacing(8);
    counts->setVerticalSpacing(10);
    MinSensCountSpinEdit = new TSpinEdit(page);
    MinSensCountSpinEdit->setObjectName(QStringLiteral("MinSensCountSpinEdit"));
    LocErrorSpinEdit = new TSpinEdit(page);
    LocErrorSpinEdit->setObjectName(QStringLiteral("LocErrorSpinEdit"));
    FcNumSpinEdit = makeFloatEdit("FcNumSpinEdit", page);
    counts->addWidget(MinSensCountSpinEdit, 0, 0, Qt::AlignTop);
    counts->addWidget(makeLabel(QStringLiteral("Минимальное количество станций,\n"
                                               "достаточное для регистрации события"),
                          page),
        0, 1);
    counts->addWidget(LocErrorSpinEdit, 1, 0, Qt::AlignTop);
    counts->addWidget(
        makeLabel(QStringLiteral("Ошибка локации, % \nот гипоцентрального расстояния"), page), 1,
        1);
    counts->addWidget(FcNumSpinEdit, 2, 0, Qt::AlignTop);
    counts->addWidget(makeLabel(QStringLiteral("Множитель n\n\n"
                                               "Задает диапазон частот Fc/2 < Freq < Fc*n\n"
                                               "относительно угловой частоты Fc, достаточный \n"
                                               "для корректного расчета энергии очага"),
                          page),
        2, 1);
    counts->setColumnStretch(1, 1);
    left->addLayout(counts);
    left->addStretch(1);
    layout->addLayout(left, 1);

    auto *right = new QVBoxLayout;
    right->setSpacing(6);
    LoadParamButton = makeButton("LoadParamButton", "Загрузить", page);
    SaveParamButton = makeButton("SaveParamButton", "Сохранить", page);
    SaveAsButton = makeButton("SaveAsButton", "Сохранить как", page);
    AboutButton = makeButton("AboutButton", "О программе", page);
    for (auto *b : { LoadParamButton, SaveParamButton, SaveAsButton })
        right->addWidget(b);
    IniLabel = new QLabel(page);
    IniLabel->setObjectName(QStringLiteral("IniLabel"));
    IniLabel->setWordWrap(true);
    IniLabel->setMaximumWidth(200);
    IniLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(IniLabel);
    right->addStretch(1);
    right->addWidget(AboutButton);
    layout->addLayout(right, 0);
}

// Ranges, steps, formats and defaults come from the working set's control
// lists, the same that parameter files and valdrin-calc apply.
void TMainForm::configureEdits()
{
    const TWorkingSet defaults = DefaultWorkingSet(decimalSep());
    for (const TRealControl &c : RealControls()) {
        auto *e = findChild<TFloatSpinEdit *>(QString::fromUtf8(c.Name.data(), c.Name.size()));
        if (!e)
            continue;
        e->SetMinValue(c.MinValue);
        e->SetMaxValue(c.MaxValue);
        e->SetIncrement(c.Increment);
        if (c.Digits == kGeneralFormat) {
            e->SetFormat(TFloatFormat::General);
        } else {
            e->SetFormat(TFloatFormat::Fixed);
            e->SetDigits(c.Digits);
        }
        e->SetValue(defaults.*c.Field);
    }
    for (const TIntControl &c : IntControls()) {
        auto *e = findChild<TSpinEdit *>(QString::fromUtf8(c.Name.data(), c.Name.size()));
        if (!e)
            continue;
        e->SetMinValue(c.MinValue);
        e->SetMaxValue(c.MaxValue);
        e->SetIncrement(c.Increment);
        e->SetValue(defaults.*c.Field);
    }
}

TRadioGroup *TMainForm::choiceControl(std::string_view name) const
{
    return findChild<TRadioGroup *>(QString::fromUtf8(name.data(), name.size()));
}

TWorkingSet TMainForm::gatherWorkingSet() const
{
    TWorkingSet ws;
    for (const TRealControl &c : RealControls())
        if (auto *e = findChild<TFloatSpinEdit *>(QString::fromUtf8(c.Name.data(), c.Name.size())))
            ws.*c.Field = e->Value();
    for (const TIntControl &c : IntControls())
        if (auto *e = findChild<TSpinEdit *>(QString::fromUtf8(c.Name.data(), c.Name.size())))
            ws.*c.Field = e->Value();
    for (const TChoiceControl &c : ChoiceControls())
        if (auto *g = choiceControl(c.Name))
            ws.*c.Field = std::max(g->ItemIndex(), 0);
    ws.GeoCheckBox = GeoCheckBox->isChecked();
    ws.CooGrid = CooGrid->ToTable();
    ws.StrGrid = StrGrid->ToTable();
    ws.ModelStrGrid = ModelStrGrid->ToTable();
    ws.MediumModel = m_mediumModel;
    return ws;
}

// Puts a loaded working set into the controls. Its tables already carry the
// effects of the count changes, so the count handlers do not run again; the
// read-outs and grids are brought up to date once at the end.
void TMainForm::applyWorkingSet(const TWorkingSet &ws)
{
    ++m_loading;
    for (const TRealControl &c : RealControls())
        if (auto *e = findChild<TFloatSpinEdit *>(QString::fromUtf8(c.Name.data(), c.Name.size())))
            e->SetValue(ws.*c.Field);
    for (const TIntControl &c : IntControls())
        if (auto *e = findChild<TSpinEdit *>(QString::fromUtf8(c.Name.data(), c.Name.size())))
            e->SetValue(ws.*c.Field);
    for (const TChoiceControl &c : ChoiceControls())
        if (auto *g = choiceControl(c.Name))
            g->SetItemIndex(ws.*c.Field);
    GeoCheckBox->setChecked(ws.GeoCheckBox);
    CooGrid->FromTable(ws.CooGrid);
    StrGrid->FromTable(ws.StrGrid);
    ModelStrGrid->FromTable(ws.ModelStrGrid);
    m_mediumModel = ws.MediumModel;
    --m_loading;

    GeoCheckBoxClick();
    MediumRadioGroupClick();
    B0SpinEditChange();
    QualitySpinEditChange();
    updatePlaneGrid();
    m_waveGrid = map::UpdateWaveGrid(KmaxSpinEdit->Value(), dKSpinEdit->Value());
    SourceRadioGroupClick();
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
    for (auto *e : { FreqMinSpinEdit, FreqMaxSpinEdit, VpSpinEdit, VsSpinEdit, VrSpinEdit,
             QualitySpinEdit, SurfaceAltSpinEdit })
        connect(e, &TFloatSpinEdit::changed, this, &TMainForm::QualitySpinEditChange);
    for (auto *e : { NoiseF1SpinEdit, NoiseF2SpinEdit })
        if (e)
            connect(e, &TFloatSpinEdit::changed, this, &TMainForm::QualitySpinEditChange);
    for (auto *e : { B0SpinEdit, SSpinEdit, C0SpinEdit })
        connect(e, &TFloatSpinEdit::changed, this, &TMainForm::B0SpinEditChange);
    connect(MediumRadioGroup, &TRadioGroup::Click, this, &TMainForm::MediumRadioGroupClick);
    connect(LayerCountSpinEdit, &TSpin10Edit::changed, this, &TMainForm::LayerCountSpinEditChange);
    connect(CalcAvModelButton, &QPushButton::clicked, this, &TMainForm::CalcAvModelButtonClick);
    connect(XAutoButton, &QPushButton::clicked, this, &TMainForm::XAutoButtonClick);
    connect(YAutoButton, &QPushButton::clicked, this, &TMainForm::YAutoButtonClick);
    connect(ZAutoButton, &QPushButton::clicked, this, &TMainForm::ZAutoButtonClick);
    connect(GeoCheckBox, &QCheckBox::toggled, this, &TMainForm::GeoCheckBoxClick);
    connect(LoadParamButton, &QPushButton::clicked, this, &TMainForm::LoadParamButtonClick);
    connect(SaveParamButton, &QPushButton::clicked, this, &TMainForm::SaveParamButtonClick);
    connect(SaveAsButton, &QPushButton::clicked, this, &TMainForm::SaveAsButtonClick);
    connect(AboutButton, &QPushButton::clicked, this, &TMainForm::AboutButtonClick);
}

// The start-up sequence: tables, default model, map, grids, stations.
void TMainForm::FormCreate()
{
    PageControl->setCurrentIndex(0);
    CooGrid->FromTable(calc::DefaultCooGrid());
    StrGrid->FromTable(calc::DefaultStrGrid(decimalSep()));

    common::TCellTable model(2, medium::kModelGridCols);
    medium::WriteModelHeader(model);
    m_mediumModel = { medium::StartupLayer(SurfaceAltSpinEdit->Value()) };
    medium::ShowLayer(model, 0, m_mediumModel[0], decimalSep());
    ModelStrGrid->FromTable(model);

    MapBitmap = map::NewMapBitmap(kMapWidth, kMapHeight);
    m_geometry = map::TMapGeometry(MapBitmap.width(), MapBitmap.height());
    PaintBox->SetImage(&MapBitmap);
    updatePlaneGrid();
    KmaxSpinEditChange();
    LastClick = MapCentre();
    DrawStations(false);
    m_result = calc::TResult {};
    PaintBox->update();
}

// ---------------------------------------------------------------------------
// Helpers

void TMainForm::showMessage(const QString &text)
{
    m_dialogs->ShowMessage(this, text);
}

char TMainForm::decimalSep() const
{
    return common::qt::UserDecimalSep();
}

calc::TShowMode TMainForm::selectedMode() const
{
    const int i = SourceRadioGroup->ItemIndex();
    return i >= 0 && i <= static_cast<int>(smSourceSize) ? static_cast<calc::TShowMode>(i)
                                                         : smStations;
}

calc::TViewPlane TMainForm::selectedPlane() const
{
    switch (ViewRadioGroup->ItemIndex()) {
    case 1:
        return calc::TViewPlane::vpYZ;
    case 2:
        return calc::TViewPlane::vpXZ;
    default:
        return calc::TViewPlane::vpXY;
    }
}

void TMainForm::readStations()
{
    m_stations = calc::ReadStations(CooGrid->ToTable(), StrGrid->ToTable(), selectedPlane(),
        decimalSep(), GeoCheckBox->isChecked());
    m_stationsPlane = selectedPlane();
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
    m_planeGrid = map::UpdatePlaneGrid(r, selectedPlane());
}

bool TMainForm::gridsMatch() const
{
    return map::ResultMatchesGrids(m_result, selectedPlane(), m_planeGrid, m_waveGrid);
}

// ---------------------------------------------------------------------------
// Map

void TMainForm::RedrawMap()
{
    readStations();
    map::TMapScene scene;
    scene.Selected = selectedMode();
    scene.Result = &m_result;
    scene.SaveEnabled = SaveButton->isEnabled();
    scene.Plane = selectedPlane();
    scene.Stations = m_stations;
    scene.CooGrid = CooGrid->ToTable();
    scene.PlaneGrid = m_planeGrid;
    scene.WaveGrid = m_waveGrid;
    scene.Unit = UnitRadioGroup->ItemIndex() == 1 ? map::TResponseUnit::Decibel
                                                  : map::TResponseUnit::Unit01;
    const map::TRedrawn drawn = map::RedrawMap(MapBitmap, m_geometry, scene);
    m_picture = drawn.Picture;
    m_legend = drawn.Legend;
    showLegend();
}

void TMainForm::DrawStations(bool KeepBackground)
{
    readStations();
    map::DrawStations(
        MapBitmap, m_geometry, m_stations, CooGrid->ToTable(), m_planeGrid, KeepBackground);
    if (!KeepBackground) {
        m_picture = map::TMapPicture::Stations;
        m_legend = map::TLegend {};
        showLegend();
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

void TMainForm::showLegend()
{
    if (!m_legend.Shown) {
        LegendLabel->clear();
        return;
    }
    const QSize size(kLegendWidth, std::min(kMapHeight, std::max(LegendLabel->height(), 200)));
    LegendLabel->setPixmap(QPixmap::fromImage(map::DrawLegend(m_legend, size, decimalSep())));
}

void TMainForm::SourceRadioGroupClick()
{
    RedrawMap();
    VpSpinEdit->setEnabled(selectedMode() == smCdF);
    VsSpinEdit->setEnabled(VpSpinEdit->isEnabled());
    PaintBox->update();
}

void TMainForm::PaintBoxMouseMove(Qt::KeyboardModifiers, int x, int y)
{
    map::TReadoutContext ctx;
    ctx.Selected = selectedMode();
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
    if (step.Written)
        for (int c = 1; c < calc::kCooGridCols; ++c)
            CooGrid->SetCells(c, step.Row, U8(table.Cell(step.Row, c)));
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
    AddButton->setEnabled(false);
    PaintBox->setCursor(Qt::CrossCursor);
    common::TCellTable table = CooGrid->ToTable();
    m_placementRemaining = map::StartPlacement(table, SensorsSpinEdit->Value());
    CooGrid->FromTable(table);
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

// ---------------------------------------------------------------------------
// Station count and pages

void TMainForm::PageControlChange()
{
    applyStationCount();
}

namespace {

// Keys that write into the text rather than step it or move the cursor.
bool IsTypingKey(const QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
        return false;
    default:
        return true;
    }
}

} // namespace

bool TMainForm::filterCountEdit(QObject *watched, QEvent *event)
{
    TTypedCount *typed = watched == SensorsSpinEdit ? &m_sensorsTyped
        : watched == LayerCountSpinEdit             ? &m_layersTyped
                                                    : nullptr;
    if (!typed)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        typed->Typing = IsTypingKey(static_cast<QKeyEvent *>(event));
        break;
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        typed->Typing = false;
        break;
    case QEvent::FocusOut:
        typed->Typing = false;
        if (typed->Pending) {
            if (typed == &m_sensorsTyped)
                applyStationCount();
            else
                applyLayerCount();
        }
        break;
    default:
        break;
    }
    return false;
}

void TMainForm::SensorsSpinEditChange()
{
    if (m_loading > 0)
        return;
    if (m_sensorsTyped.Typing) {
        m_sensorsTyped.Pending = true;
        return;
    }
    applyStationCount();
}

void TMainForm::applyStationCount()
{
    m_sensorsTyped.Pending = false;
    common::TCellTable coo = CooGrid->ToTable();
    common::TCellTable str = StrGrid->ToTable();
    calc::SetStationCount(coo, str, SensorsSpinEdit->Value(), decimalSep());
    CooGrid->FromTable(coo);
    StrGrid->FromTable(str);
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
    m_mediumModel = ws.MediumModel;
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

    m_running = true;
    m_cancel = false;
    CalcButton->setEnabled(false);
    Gauge->SetMaxValue(scan ? snap.PlaneGrid.NU * snap.PlaneGrid.NV : 2 * snap.WaveGrid.KCount);
    Gauge->show();
    Gauge->raise();
    qApp->installEventFilter(this);

    m_worker = std::thread([this, snap = std::move(snap), engine = m_engine]() {
        calc::TRunControl control;
        control.Cancel = &m_cancel;
        control.Progress = [this](int done, int total) {
            QMetaObject::invokeMethod(
                this, [this, done, total]() { onProgress(done, total); }, Qt::QueuedConnection);
        };
        auto result = std::make_shared<std::optional<calc::TResult>>();
        QString error;
        try {
            *result = engine(snap, control);
        } catch (const common::TValdrinError &e) {
            error = U8(e.what());
        } catch (const std::bad_alloc &) {
            error = U8(common::kOutOfMemoryMessage);
        } catch (const std::exception &e) {
            error = QStringLiteral("Ошибка расчета: %1").arg(U8(e.what()));
        }
        QMetaObject::invokeMethod(
            this, [this, result, error]() { finishRun(result, error); }, Qt::QueuedConnection);
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
        m_cancel = true;
}

void TMainForm::finishRun(
    std::shared_ptr<std::optional<calc::TResult>> result, const QString &error)
{
    if (m_worker.joinable())
        m_worker.join();
    m_running = false;
    qApp->removeEventFilter(this);
    Gauge->hide();
    CalcButton->setEnabled(true);
    if (!error.isEmpty()) {
        showMessage(error);
        return;
    }
    if (!result || !result->has_value())
        return; // cancelled: the previous result, map and save state stay
    m_result = std::move(**result);
    m_resultSource = m_runSnapshot;
    SaveButton->setEnabled(m_result.Saveable);
    SourceRadioGroupClick();
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    filterCountEdit(watched, event);
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

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    // MapCentre follows MapBitmap, which keeps its size.
    if (!MapBitmap.isNull())
        m_geometry.MapCentre = { MapBitmap.width() / 2, MapBitmap.height() / 2 };
}

// ---------------------------------------------------------------------------
// Results file

void TMainForm::SaveButtonClick()
{
    if (!SaveButton->isEnabled())
        return;
    const QString name = m_dialogs->SaveFileName(this, QString::fromUtf8(kResultsFilter));
    if (name.isEmpty())
        return;
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
    if (m_picture == map::TMapPicture::Stations || MapBitmap.isNull() || gridsMatch())
        return;
    RedrawMap();
    PaintBox->update();
}

void TMainForm::autoRange(int axis)
{
    readStations();
    // The station arrays hold the plane's axes; pick the one of this axis.
    using enum calc::TViewPlane;
    const calc::TDoubleDynArray *coords = nullptr;
    switch (axis) {
    case 0:
        coords = m_stationsPlane == vpYZ ? &m_stations.W : &m_stations.U;
        break;
    case 1:
        coords = m_stationsPlane == vpXY ? &m_stations.V
            : m_stationsPlane == vpYZ    ? &m_stations.U
                                         : &m_stations.W;
        break;
    default:
        coords = m_stationsPlane == vpXY ? &m_stations.W : &m_stations.V;
        break;
    }
    // Only complete rows: a row that stopped the reading holds no coordinates.
    const auto n = static_cast<std::size_t>(std::max(m_stations.Count, 0));
    const calc::TDoubleDynArray read(coords->begin(),
        coords->begin() + static_cast<std::ptrdiff_t>(std::min(n, coords->size())));
    // X and Y are longitude and latitude with "Градусы"; Z stays in metres.
    const auto range = map::AutoRange(read, GeoCheckBox->isChecked() && axis < 2);
    if (!range)
        return;
    TFloatSpinEdit *edits[3][4] = { { XminSpinEdit, XmaxSpinEdit, dXSpinEdit, X0SpinEdit },
        { YminSpinEdit, YmaxSpinEdit, dYSpinEdit, Y0SpinEdit },
        { ZminSpinEdit, ZmaxSpinEdit, dZSpinEdit, Z0SpinEdit } };
    auto &e = edits[axis];
    e[0]->SetValue(range->Min);
    e[1]->SetValue(range->Max);
    e[2]->SetValue(range->Step);
    e[3]->SetValue(range->Centre);
}

void TMainForm::XAutoButtonClick()
{
    autoRange(0);
}

void TMainForm::YAutoButtonClick()
{
    autoRange(1);
}

void TMainForm::ZAutoButtonClick()
{
    autoRange(2);
}

void TMainForm::GeoCheckBoxClick()
{
    const bool geo = GeoCheckBox->isChecked();
    XLabel->setText(geo ? QStringLiteral("Lon") : QStringLiteral("X"));
    YLabel->setText(geo ? QStringLiteral("Lat") : QStringLiteral("Y"));
}

// ---------------------------------------------------------------------------
// Medium page

// A formula without a value (a zero divisor) shows this instead of a number.
static const QString kNoNumber = QStringLiteral("—");

void TMainForm::QualitySpinEditChange()
{
    const char sep = decimalSep();
    const double Vs = VsSpinEdit->Value();
    const medium::TA2Range a2 = medium::A2Range(
        FreqMinSpinEdit->Value(), FreqMaxSpinEdit->Value(), Vs, QualitySpinEdit->Value());
    showNumber(A2minEdit, a2.Min ? U8(medium::A2Text(*a2.Min, sep)) : kNoNumber);
    showNumber(A2maxEdit, a2.Max ? U8(medium::A2Text(*a2.Max, sep)) : kNoNumber);
    const auto caption = medium::VpVsCaption(VpSpinEdit->Value(), Vs, sep);
    AlfaLabel->setText(caption ? U8(*caption) : QStringLiteral("Vp/Vs = ") + kNoNumber);
}

void TMainForm::B0SpinEditChange()
{
    QLineEdit *edits[6] = { A0WAEdit, A1WAEdit, A3WAEdit, A0TMEdit, A1TMEdit, A3TMEdit };
    const auto t
        = medium::MagnitudeTransform(B0SpinEdit->Value(), SSpinEdit->Value(), C0SpinEdit->Value());
    if (!t) {
        for (auto *e : edits)
            showNumber(e, kNoNumber);
        return;
    }
    const auto texts = medium::TransformTexts(*t, decimalSep());
    for (std::size_t i = 0; i < texts.size(); ++i)
        showNumber(edits[i], U8(texts[i]));
}

void TMainForm::MediumRadioGroupClick()
{
    ModelStrGrid->setEnabled(MediumRadioGroup->ItemIndex() == 1);
    LayerCountSpinEdit->setEnabled(ModelStrGrid->isEnabled());
}

void TMainForm::LayerCountSpinEditChange()
{
    if (m_loading > 0)
        return;
    if (m_layersTyped.Typing) {
        m_layersTyped.Pending = true;
        return;
    }
    applyLayerCount();
}

void TMainForm::applyLayerCount()
{
    m_layersTyped.Pending = false;
    common::TCellTable table = ModelStrGrid->ToTable();
    medium::LayerCountChange(m_mediumModel, table, LayerCountSpinEdit->Value(), decimalSep());
    ModelStrGrid->FromTable(table);
}

void TMainForm::CalcAvModelButtonClick()
{
    const medium::TAverageOutcome out
        = medium::CalcAvModel(ModelStrGrid->ToTable(), SurfaceAltSpinEdit->Value(), decimalSep(),
            m_mediumModel, m_planeGrid.WPlane, FreqMaxSpinEdit->Value());
    for (const auto &m : out.Messages)
        showMessage(U8(m));
    if (!out.Values)
        return;
    VpSpinEdit->SetValue(out.Values->Vp);
    VsSpinEdit->SetValue(out.Values->Vs);
    VrSpinEdit->SetValue(out.Values->Vr);
    QualitySpinEdit->SetValue(out.Values->Q);
    RoSpinEdit->SetValue(out.Values->Rho);
}

// ---------------------------------------------------------------------------
// Parameter files and About

void TMainForm::LoadParamButtonClick()
{
    const QString name = m_dialogs->OpenFileName(this, QString::fromUtf8(kParamFilter));
    if (!name.isEmpty())
        LoadParamFile(name);
}

void TMainForm::SaveParamButtonClick()
{
    if (!IniLabel->text().isEmpty())
        SaveParamFile(IniLabel->text());
    else
        SaveAsButtonClick();
}

void TMainForm::SaveAsButtonClick()
{
    const QString name = m_dialogs->SaveFileName(this, QString::fromUtf8(kParamFilter));
    if (!name.isEmpty())
        SaveParamFile(name);
}

TWindowPlacement TMainForm::windowPlacement() const
{
    TWindowPlacement p;
    p.Flags = 0; // Qt has no placement flags
    p.ShowCmd = isMinimized() ? 2 : isMaximized() ? 3 : 1;
    p.ApplicationMinimized = isMinimized();
    p.PixelsPerInch = logicalDpiY();
    p.MinPosition = { -1, -1 }; // no minimized or maximized position of its own
    p.MaxPosition = { -1, -1 };
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    p.NormalRect = { r.left(), r.top(), r.left() + r.width(), r.top() + r.height() };
    if (const QScreen *sc = screen()) {
        p.ScreenWidth = sc->size().width();
        p.ScreenHeight = sc->size().height();
    }
    return p;
}

TCurrentPlacement TMainForm::currentPlacement() const
{
    TCurrentPlacement c;
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    c.Left = r.left();
    c.Top = r.top();
    c.Width = r.width();
    c.Height = r.height();
    c.PixelsPerInch = logicalDpiY();
    if (const QScreen *sc = screen()) {
        c.ScreenWidth = sc->size().width();
        c.ScreenHeight = sc->size().height();
    }
    return c;
}

void TMainForm::applyPlacement(const TPlacementRestore &p)
{
    if (p.HasRect && p.Rect.Left < p.Rect.Right && p.Rect.Top < p.Rect.Bottom) {
        setWindowState(Qt::WindowNoState);
        setGeometry(
            p.Rect.Left, p.Rect.Top, p.Rect.Right - p.Rect.Left, p.Rect.Bottom - p.Rect.Top);
    }
    switch (p.State) {
    case TWindowState::Minimized:
        setWindowState(Qt::WindowMinimized);
        break;
    case TWindowState::Maximized:
        setWindowState(Qt::WindowMaximized);
        break;
    case TWindowState::Normal:
    default:
        setWindowState(Qt::WindowNoState);
        break;
    }
}

void TMainForm::LoadParamFile(const QString &fileName)
{
    TWorkingSet ws = gatherWorkingSet();
    TParamLoad load;
    try {
        load = params::LoadParamFile(fileName.toStdString(), ws, currentPlacement(), decimalSep());
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
    applyPlacement(load.Placement);
    applyWorkingSet(ws);
}

void TMainForm::SaveParamFile(const QString &fileName)
{
    IniLabel->setText(fileName);
    try {
        const std::string warning
            = params::SaveParamFile(fileName.toStdString(), gatherWorkingSet(), windowPlacement());
        if (!warning.empty())
            showMessage(U8(warning));
    } catch (const std::exception &e) {
        showMessage(U8(common::ErrorText(e)));
    }
}

void TMainForm::AboutButtonClick()
{
    showMessage(AboutText());
}

} // namespace valdrin::app
