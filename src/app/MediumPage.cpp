#include "app/MediumPage.h"

#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/PageWidgets.h"
#include "app/RadioGroup.h"
#include "calc/NetworkModel.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "medium/Attenuation.h"

namespace valdrin::app {

using controls::TFloatSpinEdit;
using controls::TSpin10Edit;

TMediumPage::TMediumPage(QWidget *parent)
    : QWidget(parent)
{
    build();
    m_layersTyped = new TTypedCount(LayerCountSpinEdit, [this] { applyLayerCount(); });
}

// Apart from the construction, so that the defaults the window sets do not
// run the handlers before the tables are filled.
void TMediumPage::ConnectHandlers()
{
    for (auto *e : { FreqMinSpinEdit, FreqMaxSpinEdit, VpSpinEdit, VsSpinEdit, VrSpinEdit,
             QualitySpinEdit, SurfaceAltSpinEdit })
        connect(e, &TFloatSpinEdit::changed, this, &TMediumPage::QualitySpinEditChange);
    for (auto *e : { B0SpinEdit, SSpinEdit, C0SpinEdit })
        connect(e, &TFloatSpinEdit::changed, this, &TMediumPage::B0SpinEditChange);
    connect(MediumRadioGroup, &TRadioGroup::Click, this, &TMediumPage::MediumRadioGroupClick);
    connect(
        LayerCountSpinEdit, &TSpin10Edit::changed, this, &TMediumPage::LayerCountSpinEditChange);
    connect(CalcAvModelButton, &QPushButton::clicked, this, &TMediumPage::CalcAvModelButtonClick);
}

void TMediumPage::message(const QString &text)
{
    if (ShowMessage)
        ShowMessage(text);
}

void TMediumPage::build()
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(10);

    // Left column: the attenuation table, the law, the transform.
    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    left->addWidget(MakeLabel(QStringLiteral("Параметры модели затухания волн"), this));
    StrGrid = MakeGrid("StrGrid", 26, calc::kStrGridCols, this);
    StrGrid->SetDefaultColWidth(30);
    // The name column is wider than 30 so that a four-letter code shows whole.
    StrGrid->SetColWidths({ 44, 48, 50, 49, 46, 63, 52 });
    left->addWidget(StrGrid, 1);

    auto *lawHeading = MakeLabel(QStringLiteral("Уравнение модели затухания волн:"), this);
    QFont underlined = lawHeading->font();
    underlined.setUnderline(true);
    lawHeading->setFont(underlined);
    left->addWidget(lawHeading);
    left->addWidget(MakeLabel(QStringLiteral("M = a0*lg(An*SNR) + a1*lg(R) + a2*R+ a3\n"
                                             "M - магнитуда или энергетический класс; \n"
                                             "R - расстояние (км); \n"
                                             "a0-a3 - коэффициенты графика затухания;\n"
                                             "An - среднеквадратический уровень шумов (мм WA);\n"
                                             "An(WA)=2080*An(TM)\n"
                                             "SNR - отношение сигнал/помеха, достаточное\n"
                                             "           для уверенной регистрации сигнала"),
        this));

    auto *transform = new QGroupBox(QStringLiteral("Трансформация I(M,R) -> M(An,R)"), this);
    auto *tg = new QGridLayout(transform);
    tg->setHorizontalSpacing(4);
    tg->setVerticalSpacing(3);
    auto makeFloat = [&](const char *name) { return MakeFloatEdit(name, this); };
    B0SpinEdit = makeFloat("B0SpinEdit");
    SSpinEdit = makeFloat("SSpinEdit");
    C0SpinEdit = makeFloat("C0SpinEdit");
    auto *eq = new QHBoxLayout;
    eq->setSpacing(3);
    eq->addWidget(MakeLabel(QStringLiteral("I="), transform));
    eq->addWidget(B0SpinEdit);
    eq->addWidget(MakeLabel(QStringLiteral("* M +"), transform));
    eq->addWidget(SSpinEdit);
    eq->addWidget(MakeLabel(QStringLiteral("* lg(R) +"), transform));
    eq->addWidget(C0SpinEdit);
    tg->addLayout(eq, 0, 0, 1, 4);
    A0WAEdit = MakeReadOnlyEdit("A0WAEdit", "0.772", transform);
    A1WAEdit = MakeReadOnlyEdit("A1WAEdit", "1.837", transform);
    A3WAEdit = MakeReadOnlyEdit("A3WAEdit", "0.921", transform);
    A0TMEdit = MakeReadOnlyEdit("A0TMEdit", "0.980", transform);
    A1TMEdit = MakeReadOnlyEdit("A1TMEdit", "2.333", transform);
    A3TMEdit = MakeReadOnlyEdit("A3TMEdit", "3.153", transform);
    tg->addWidget(MakeLabel(QStringLiteral("a0"), transform), 1, 1, Qt::AlignHCenter);
    tg->addWidget(MakeLabel(QStringLiteral("a1"), transform), 1, 2, Qt::AlignHCenter);
    tg->addWidget(MakeLabel(QStringLiteral("a3"), transform), 1, 3, Qt::AlignHCenter);
    tg->addWidget(MakeLabel(QStringLiteral("WA"), transform), 2, 0);
    tg->addWidget(A0WAEdit, 2, 1);
    tg->addWidget(A1WAEdit, 2, 2);
    tg->addWidget(A3WAEdit, 2, 3);
    tg->addWidget(MakeLabel(QStringLiteral("TM"), transform), 3, 0);
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
        { QStringLiteral("Однородная"), QStringLiteral("Горизонтально-слоистая") }, 1, this);
    MediumRadioGroup->setObjectName(QStringLiteral("MediumRadioGroup"));
    MediumRadioGroup->SetItemIndex(0);
    modelRow->addWidget(MediumRadioGroup);
    auto *altGrid = new QGridLayout;
    altGrid->setVerticalSpacing(3);
    SurfaceAltSpinEdit = makeFloat("SurfaceAltSpinEdit");
    LayerCountSpinEdit = new TSpin10Edit(this);
    LayerCountSpinEdit->setObjectName(QStringLiteral("LayerCountSpinEdit"));
    altGrid->addWidget(MakeLabel(QStringLiteral("Отметка \nповерхности, м"), this), 0, 0);
    altGrid->addWidget(SurfaceAltSpinEdit, 0, 1);
    altGrid->addWidget(MakeLabel(QStringLiteral("Кол-во \nслоев"), this), 1, 0);
    altGrid->addWidget(LayerCountSpinEdit, 1, 1);
    modelRow->addLayout(altGrid);
    modelRow->addStretch(1);
    right->addLayout(modelRow);

    ModelStrGrid = MakeGrid("ModelStrGrid", 2, medium::kModelGridCols, this);
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
        values->addWidget(MakeLabel(QString::fromUtf8(caption), this), 0, c);
        values->addWidget(edit, 1, c);
        ++c;
    }
    right->addLayout(values);
    auto *avRow = new QHBoxLayout;
    AlfaLabel = MakeLabel(QStringLiteral("Vp/Vs = 2"), this);
    AlfaLabel->setObjectName(QStringLiteral("AlfaLabel"));
    avRow->addWidget(AlfaLabel);
    avRow->addStretch(1);
    CalcAvModelButton = MakeButton("CalcAvModelButton", "", this);
    // A button caption does not wrap by itself; the two lines are set here.
    CalcAvModelButton->setText(QStringLiteral("Расчитать средние\nпараметры среды"));
    CalcAvModelButton->setToolTip(QStringLiteral("Расчитать средние параметры среды"));
    avRow->addWidget(CalcAvModelButton);
    right->addLayout(avRow);

    auto *lower = new QHBoxLayout;
    auto *a2Box = new QGroupBox(this);
    auto *a2 = new QGridLayout(a2Box);
    a2->setHorizontalSpacing(4);
    a2->setVerticalSpacing(3);
    FreqMinSpinEdit = makeFloat("FreqMinSpinEdit");
    FreqMaxSpinEdit = makeFloat("FreqMaxSpinEdit");
    A2minEdit = MakeReadOnlyEdit("A2minEdit", "0.0004548", a2Box);
    A2maxEdit = MakeReadOnlyEdit("A2maxEdit", "0.0454792", a2Box);
    a2->addWidget(MakeLabel(QStringLiteral("F, Гц"), a2Box), 0, 1, Qt::AlignHCenter);
    a2->addWidget(MakeLabel(QStringLiteral("a2"), a2Box), 0, 2, Qt::AlignHCenter);
    a2->addWidget(MakeLabel(QStringLiteral("Min"), a2Box), 1, 0);
    a2->addWidget(FreqMinSpinEdit, 1, 1);
    a2->addWidget(A2minEdit, 1, 2);
    a2->addWidget(MakeLabel(QStringLiteral("Max"), a2Box), 2, 0);
    a2->addWidget(FreqMaxSpinEdit, 2, 1);
    a2->addWidget(A2maxEdit, 2, 2);
    lower->addWidget(a2Box);

    auto *energyBox = new QGroupBox(this);
    auto *energy = new QHBoxLayout(energyBox);
    energy->setSpacing(3);
    C1SpinEdit = makeFloat("C1SpinEdit");
    C2SpinEdit = makeFloat("C2SpinEdit");
    energy->addWidget(MakeLabel(QStringLiteral("LgE="), energyBox));
    energy->addWidget(C1SpinEdit);
    energy->addWidget(MakeLabel(QStringLiteral("* M +"), energyBox));
    energy->addWidget(C2SpinEdit);
    lower->addWidget(energyBox, 0, Qt::AlignTop);
    right->addLayout(lower);

    NoiseSourceGroupBox = new QGroupBox(QStringLiteral("Уровень помех на станциях"), this);
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

// A formula without a value (a zero divisor) shows this instead of a number.
namespace {
const QString kNoNumber = QStringLiteral("—");
} // namespace

void TMediumPage::QualitySpinEditChange()
{
    const char sep = DecimalSep();
    const double Vs = VsSpinEdit->Value();
    const medium::TA2Range a2 = medium::A2Range(
        FreqMinSpinEdit->Value(), FreqMaxSpinEdit->Value(), Vs, QualitySpinEdit->Value());
    ShowNumber(A2minEdit, a2.Min ? U8(medium::A2Text(*a2.Min, sep)) : kNoNumber);
    ShowNumber(A2maxEdit, a2.Max ? U8(medium::A2Text(*a2.Max, sep)) : kNoNumber);
    const auto caption = medium::VpVsCaption(VpSpinEdit->Value(), Vs, sep);
    AlfaLabel->setText(caption ? U8(*caption) : QStringLiteral("Vp/Vs = ") + kNoNumber);
}

void TMediumPage::B0SpinEditChange()
{
    QLineEdit *edits[6] = { A0WAEdit, A1WAEdit, A3WAEdit, A0TMEdit, A1TMEdit, A3TMEdit };
    const auto t
        = medium::MagnitudeTransform(B0SpinEdit->Value(), SSpinEdit->Value(), C0SpinEdit->Value());
    if (!t) {
        for (auto *e : edits)
            ShowNumber(e, kNoNumber);
        return;
    }
    const auto texts = medium::TransformTexts(*t, DecimalSep());
    for (std::size_t i = 0; i < texts.size(); ++i)
        ShowNumber(edits[i], U8(texts[i]));
}

void TMediumPage::MediumRadioGroupClick()
{
    ModelStrGrid->setEnabled(MediumRadioGroup->ItemIndex() == 1);
    LayerCountSpinEdit->setEnabled(ModelStrGrid->isEnabled());
}

void TMediumPage::LayerCountSpinEditChange()
{
    if (m_loading || m_layersTyped->Defer())
        return;
    applyLayerCount();
}

void TMediumPage::applyLayerCount()
{
    m_layersTyped->Applied();
    common::TCellTable table = ModelStrGrid->ToTable();
    medium::LayerCountChange(m_model, table, LayerCountSpinEdit->Value(), DecimalSep());
    ModelStrGrid->FromTable(table);
    emit layerCountApplied();
}

void TMediumPage::CalcAvModelButtonClick()
{
    const medium::TAverageOutcome out
        = medium::CalcAvModel(ModelStrGrid->ToTable(), SurfaceAltSpinEdit->Value(), DecimalSep(),
            m_model, PlaneDepth ? PlaneDepth() : 0.0, FreqMaxSpinEdit->Value());
    for (const auto &m : out.Messages)
        message(U8(m));
    if (!out.Values)
        return;
    VpSpinEdit->SetValue(out.Values->Vp);
    VsSpinEdit->SetValue(out.Values->Vs);
    VrSpinEdit->SetValue(out.Values->Vr);
    QualitySpinEdit->SetValue(out.Values->Q);
    RoSpinEdit->SetValue(out.Values->Rho);
}

} // namespace valdrin::app
