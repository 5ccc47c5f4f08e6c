#include "app/ParamsPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/PageWidgets.h"
#include "controls/SpinExt.h"
#include "map/Grids.h"

namespace valdrin::app {

using controls::TFloatSpinEdit;
using controls::TSpinEdit;

namespace {
const char *const kParamFilter = "INI|*.ini|Все файлы|*.*";
} // namespace

TParamsPage::TParamsPage(QWidget *parent)
    : QWidget(parent)
{
    build();
}

void TParamsPage::ConnectHandlers()
{
    connect(XAutoButton, &QPushButton::clicked, this, &TParamsPage::XAutoButtonClick);
    connect(YAutoButton, &QPushButton::clicked, this, &TParamsPage::YAutoButtonClick);
    connect(ZAutoButton, &QPushButton::clicked, this, &TParamsPage::ZAutoButtonClick);
    connect(GeoCheckBox, &QCheckBox::toggled, this, &TParamsPage::GeoCheckBoxClick);
    connect(LoadParamButton, &QPushButton::clicked, this, &TParamsPage::LoadParamButtonClick);
    connect(SaveParamButton, &QPushButton::clicked, this, &TParamsPage::SaveParamButtonClick);
    connect(SaveAsButton, &QPushButton::clicked, this, &TParamsPage::SaveAsButtonClick);
    connect(AboutButton, &QPushButton::clicked, this, &TParamsPage::AboutButtonClick);
}

QString TParamsPage::AboutText()
{
    return QStringLiteral("Valdrin, v1.0.0\r\nДата выпуска: 15.03.2020");
}

void TParamsPage::LoadParamButtonClick()
{
    const QString name
        = ChooseFileName ? ChooseFileName(QString::fromUtf8(kParamFilter), false) : QString();
    if (!name.isEmpty() && LoadFile)
        LoadFile(name);
}

void TParamsPage::SaveParamButtonClick()
{
    if (IniLabel->text().isEmpty())
        SaveAsButtonClick();
    else if (SaveFile)
        SaveFile(IniLabel->text());
}

void TParamsPage::SaveAsButtonClick()
{
    const QString name
        = ChooseFileName ? ChooseFileName(QString::fromUtf8(kParamFilter), true) : QString();
    if (!name.isEmpty() && SaveFile)
        SaveFile(name);
}

void TParamsPage::AboutButtonClick()
{
    if (ShowMessage)
        ShowMessage(AboutText());
}

void TParamsPage::build()
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(12);

    auto *left = new QVBoxLayout;
    left->setSpacing(8);
    auto *ranges = new QGroupBox(QStringLiteral("Диапазоны"), this);
    auto *rg = new QGridLayout(ranges);
    rg->setHorizontalSpacing(6);
    rg->setVerticalSpacing(4);
    const char *headers[] = { "Минимум", "Максимум", "Шаг", "Центр" };
    for (int i = 0; i < 4; ++i)
        rg->addWidget(MakeLabel(QString::fromUtf8(headers[i]), ranges), 0, i + 1, Qt::AlignHCenter);
    auto makeFloat = [&](const char *name) { return MakeFloatEdit(name, ranges); };
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
        *row.label = MakeLabel(QString::fromUtf8(row.caption), ranges);
        (*row.label)->setObjectName(QString::fromUtf8(row.caption) + QStringLiteral("Label"));
        (*row.label)->setMinimumWidth(28);
        rg->addWidget(*row.label, r, 0);
        for (int i = 0; i < 4; ++i) {
            *row.edits[i] = makeFloat(row.names[i]);
            (*row.edits[i])->setMaximumWidth(120);
            rg->addWidget(*row.edits[i], r, i + 1);
        }
        *row.autoButton = MakeButton(row.autoName, "Авто", ranges);
        rg->addWidget(*row.autoButton, r, 5);
        ++r;
    }
    KmaxSpinEdit = makeFloat("KmaxSpinEdit");
    dKSpinEdit = makeFloat("dKSpinEdit");
    rg->addWidget(
        MakeLabel(QStringLiteral("Диап. волн. числа ±"), ranges), r, 0, 1, 2, Qt::AlignRight);
    rg->addWidget(KmaxSpinEdit, r, 2);
    GeoCheckBox = new QCheckBox(QStringLiteral("Градусы"), ranges);
    GeoCheckBox->setObjectName(QStringLiteral("GeoCheckBox"));
    rg->addWidget(GeoCheckBox, r, 4);
    ++r;
    rg->addWidget(MakeLabel(QStringLiteral("Шаг волн. числа"), ranges), r, 0, 1, 2, Qt::AlignRight);
    rg->addWidget(dKSpinEdit, r, 2);
    KmaxSpinEdit->setMaximumWidth(120);
    dKSpinEdit->setMaximumWidth(120);
    ranges->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    left->addWidget(ranges);

    auto *counts = new QGridLayout;
    counts->setHorizontalSpacing(8);
    counts->setVerticalSpacing(10);
    MinSensCountSpinEdit = new TSpinEdit(this);
    MinSensCountSpinEdit->setObjectName(QStringLiteral("MinSensCountSpinEdit"));
    LocErrorSpinEdit = new TSpinEdit(this);
    LocErrorSpinEdit->setObjectName(QStringLiteral("LocErrorSpinEdit"));
    FcNumSpinEdit = MakeFloatEdit("FcNumSpinEdit", this);
    counts->addWidget(MinSensCountSpinEdit, 0, 0, Qt::AlignTop);
    counts->addWidget(MakeLabel(QStringLiteral("Минимальное количество станций,\n"
                                               "достаточное для регистрации события"),
                          this),
        0, 1);
    counts->addWidget(LocErrorSpinEdit, 1, 0, Qt::AlignTop);
    counts->addWidget(
        MakeLabel(QStringLiteral("Ошибка локации, % \nот гипоцентрального расстояния"), this), 1,
        1);
    counts->addWidget(FcNumSpinEdit, 2, 0, Qt::AlignTop);
    counts->addWidget(MakeLabel(QStringLiteral("Множитель n\n\n"
                                               "Задает диапазон частот Fc/2 < Freq < Fc*n\n"
                                               "относительно угловой частоты Fc, достаточный \n"
                                               "для корректного расчета энергии очага"),
                          this),
        2, 1);
    counts->setColumnStretch(1, 1);
    left->addLayout(counts);
    left->addStretch(1);
    layout->addLayout(left, 1);

    auto *right = new QVBoxLayout;
    right->setSpacing(6);
    LoadParamButton = MakeButton("LoadParamButton", "Загрузить", this);
    SaveParamButton = MakeButton("SaveParamButton", "Сохранить", this);
    SaveAsButton = MakeButton("SaveAsButton", "Сохранить как", this);
    AboutButton = MakeButton("AboutButton", "О программе", this);
    for (auto *b : { LoadParamButton, SaveParamButton, SaveAsButton })
        right->addWidget(b);
    IniLabel = new QLabel(this);
    IniLabel->setObjectName(QStringLiteral("IniLabel"));
    IniLabel->setWordWrap(true);
    IniLabel->setMaximumWidth(200);
    IniLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(IniLabel);
    right->addStretch(1);
    right->addWidget(AboutButton);
    layout->addLayout(right, 0);
}

void TParamsPage::autoRange(int axis)
{
    if (!ReadStations)
        return;
    const auto [stations, plane] = ReadStations();
    // The station arrays hold the plane's axes; pick the one of this axis.
    using enum calc::TViewPlane;
    const calc::TDoubleDynArray *coords = nullptr;
    switch (axis) {
    case 0:
        coords = plane == vpYZ ? &stations.W : &stations.U;
        break;
    case 1:
        coords = plane == vpXY ? &stations.V : plane == vpYZ ? &stations.U : &stations.W;
        break;
    default:
        coords = plane == vpXY ? &stations.W : &stations.V;
        break;
    }
    // Only complete rows: a row that stopped the reading holds no coordinates.
    const auto n = static_cast<std::size_t>(std::max(stations.Count, 0));
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

void TParamsPage::XAutoButtonClick()
{
    autoRange(0);
}

void TParamsPage::YAutoButtonClick()
{
    autoRange(1);
}

void TParamsPage::ZAutoButtonClick()
{
    autoRange(2);
}

void TParamsPage::GeoCheckBoxClick()
{
    const bool geo = GeoCheckBox->isChecked();
    XLabel->setText(geo ? QStringLiteral("Lon") : QStringLiteral("X"));
    YLabel->setText(geo ? QStringLiteral("Lat") : QStringLiteral("Y"));
}

} // namespace valdrin::app
