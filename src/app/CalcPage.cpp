#include "app/CalcPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <numeric>

#include "app/Gauge.h"
#include "app/MapOptionsPanel.h"
#include "app/PageWidgets.h"
#include "app/PaintBox.h"
#include "app/RadioGroup.h"
#include "calc/NetworkModel.h"
#include "controls/GridExt.h"
#include "controls/SpinExt.h"

namespace valdrin::app {

using controls::TSpin10Edit;

TCalcPage::TCalcPage(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);

    // Left column: station count, commands, station table, the three choices.
    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(MakeLabel(QStringLiteral("Станции:"), this));
    SensorsSpinEdit = new TSpin10Edit(this);
    SensorsSpinEdit->setObjectName(QStringLiteral("SensorsSpinEdit"));
    countRow->addWidget(SensorsSpinEdit);
    AddButton = MakeButton("AddButton", "+", this);
    AddButton->setToolTip(QStringLiteral("Задать координаты мышкой"));
    AddButton->setFixedWidth(32);
    countRow->addWidget(AddButton);
    countRow->addStretch(1);
    left->addLayout(countRow);

    auto *buttonRow = new QHBoxLayout;
    CalcButton = MakeButton("CalcButton", "Считать", this);
    SaveButton = MakeButton("SaveButton", "Сохранить", this);
    SaveButton->setEnabled(false);
    buttonRow->addWidget(CalcButton);
    buttonRow->addWidget(SaveButton);
    left->addLayout(buttonRow);

    CooGrid = MakeGrid("CooGrid", 26, calc::kCooGridCols, this);
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
        1, this);
    SourceRadioGroup->setObjectName(QStringLiteral("SourceRadioGroup"));
    SourceRadioGroup->SetItemIndex(0);
    left->addWidget(SourceRadioGroup);

    auto *choiceRow = new QHBoxLayout;
    ViewRadioGroup = new TRadioGroup(QStringLiteral("Плоскость"),
        { QStringLiteral("XY"), QStringLiteral("YZ"), QStringLiteral("XZ") }, 3, this);
    ViewRadioGroup->setObjectName(QStringLiteral("ViewRadioGroup"));
    ViewRadioGroup->SetItemIndex(0);
    UnitRadioGroup = new TRadioGroup(
        QStringLiteral("Единицы"), { QStringLiteral("0-1"), QStringLiteral("дБ") }, 2, this);
    UnitRadioGroup->setObjectName(QStringLiteral("UnitRadioGroup"));
    UnitRadioGroup->SetItemIndex(0);
    choiceRow->addWidget(ViewRadioGroup, 3);
    choiceRow->addWidget(UnitRadioGroup, 2);
    left->addLayout(choiceRow);

    auto *leftBox = new QWidget(this);
    leftBox->setLayout(left);
    left->setContentsMargins(0, 0, 0, 0);
    // As wide as the station table needs beside its vertical scroll bar.
    const int tableWidth = std::accumulate(cooWidths.begin(), cooWidths.end(), 0)
        + 2 * CooGrid->frameWidth() + CooGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 1;
    leftBox->setFixedWidth(std::max(262, tableWidth));
    layout->addWidget(leftBox);

    // Right: the read-out over the map, the map with the gauge over it (the
    // page drawn at the panel's size, legend included), the map's options.
    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    InfoLabel = new QLabel(QStringLiteral("X =    , Y ="), this);
    InfoLabel->setObjectName(QStringLiteral("InfoLabel"));
    InfoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(InfoLabel);

    auto *mapPanel = new QWidget(this);
    mapPanel->setObjectName(QStringLiteral("MapPanel"));
    auto *stack = new QStackedLayout(mapPanel);
    stack->setStackingMode(QStackedLayout::StackAll);
    PaintBox = new TPaintBox(mapPanel);
    PaintBox->setObjectName(QStringLiteral("PaintBox"));
    // Small enough for a small screen; the axes and legend still fit.
    PaintBox->setMinimumSize(kMinMapWidth, kMinMapHeight);
    PaintBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Gauge = new TGauge(mapPanel);
    Gauge->setObjectName(QStringLiteral("Gauge"));
    stack->addWidget(PaintBox);
    stack->addWidget(Gauge);
    stack->setCurrentWidget(Gauge);
    Gauge->hide();
    right->addWidget(mapPanel, 1);

    MapOptions = new TMapOptionsPanel(this);
    right->addWidget(MapOptions);
    layout->addLayout(right, 1);
}

calc::TShowMode TCalcPage::SelectedMode() const
{
    using enum calc::TShowMode;
    const int i = SourceRadioGroup->ItemIndex();
    return i >= 0 && i <= static_cast<int>(smSourceSize) ? static_cast<calc::TShowMode>(i)
                                                         : smStations;
}

calc::TViewPlane TCalcPage::SelectedPlane() const
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

} // namespace valdrin::app
