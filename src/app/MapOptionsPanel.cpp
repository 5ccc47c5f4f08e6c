#include "app/MapOptionsPanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/PageWidgets.h"
#include "app/RadioGroup.h"
#include "common/Error.h"
#include "controls/SpinExt.h"
#include "map/qt/MapRender.h"

namespace valdrin::app {

using controls::TFloatSpinEdit;

TMapOptionsPanel::TMapOptionsPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MapOptionsPanel"));
    // Two rows, so that the map keeps the window's width: the picture's
    // options above, the colour range below.
    auto *rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    rows->addLayout(row);

    AspectCheckBox = new QCheckBox(QStringLiteral("Истинные пропорции"), this);
    AspectCheckBox->setObjectName(QStringLiteral("AspectCheckBox"));
    AspectCheckBox->setToolTip(QStringLiteral(
        "Метр (или километр на местности) одной длины по обеим осям; иначе карта заполняет рамку"));
    AspectCheckBox->setChecked(true);
    row->addWidget(AspectCheckBox);

    SmoothCheckBox = new QCheckBox(QStringLiteral("Сглаживание"), this);
    SmoothCheckBox->setObjectName(QStringLiteral("SmoothCheckBox"));
    SmoothCheckBox->setToolTip(QStringLiteral("Плавный переход цвета между узлами"));
    row->addWidget(SmoothCheckBox);

    row->addWidget(MakeLabel(QStringLiteral("Изолинии:"), this));
    m_contourText = QStringLiteral("авто");
    ContourEdit = new QLineEdit(m_contourText, this);
    ContourEdit->setObjectName(QStringLiteral("ContourEdit"));
    ContourEdit->setToolTip(QStringLiteral("«авто», список уровней («0 0,5 1 1,5») или «нет»; "
                                           "для C(dK) и C(dF) «авто» — линии −3 и −6 дБ"));
    ContourEdit->setMinimumWidth(90);
    row->addWidget(ContourEdit, 1);

    row = new QHBoxLayout;
    row->setSpacing(6);
    rows->addLayout(row);
    row->addWidget(MakeLabel(QStringLiteral("Шкала:"), this));
    RangeRadioGroup
        = new TRadioGroup(QString(), { QStringLiteral("авто"), QStringLiteral("задать") }, 2, this);
    RangeRadioGroup->setObjectName(QStringLiteral("RangeRadioGroup"));
    RangeRadioGroup->setFlat(true);
    RangeRadioGroup->setStyleSheet(
        QStringLiteral("QGroupBox { border: none; margin: 0; padding: 0; }"));
    RangeRadioGroup->SetItemIndex(0);
    row->addWidget(RangeRadioGroup);

    const auto edit = [this, &row](const char *name, const QString &label, const QString &tip) {
        row->addWidget(MakeLabel(label, this));
        auto *e = MakeFloatEdit(name, this);
        e->setToolTip(tip);
        e->setFixedWidth(72);
        row->addWidget(e);
        connect(e, &TFloatSpinEdit::changed, this, &TMapOptionsPanel::Changed);
        return e;
    };
    RangeMinSpinEdit = edit("RangeMinSpinEdit", QStringLiteral("от"),
        QStringLiteral("Нижняя граница шкалы цвета (в единицах карты)"));
    RangeMaxSpinEdit = edit("RangeMaxSpinEdit", QStringLiteral("до"),
        QStringLiteral("Верхняя граница шкалы цвета (в единицах карты)"));
    DbFloorSpinEdit = edit("DbFloorSpinEdit", QStringLiteral("порог «дБ»"),
        QStringLiteral("Нижний край шкалы «дБ», дБ, при автоматической шкале"));
    row->addStretch(1);

    connect(AspectCheckBox, &QCheckBox::toggled, this, &TMapOptionsPanel::Changed);
    connect(SmoothCheckBox, &QCheckBox::toggled, this, &TMapOptionsPanel::Changed);
    connect(ContourEdit, &QLineEdit::editingFinished, this, &TMapOptionsPanel::contourEditDone);
    connect(RangeRadioGroup, &TRadioGroup::Click, this, [this] {
        UpdateRangeEdits();
        emit Changed();
    });
    UpdateRangeEdits();
}

void TMapOptionsPanel::UpdateRangeEdits()
{
    const bool fixed = RangeRadioGroup->ItemIndex() == 1;
    RangeMinSpinEdit->setEnabled(fixed);
    RangeMaxSpinEdit->setEnabled(fixed);
}

void TMapOptionsPanel::contourEditDone()
{
    const QString text = ContourEdit->text();
    if (text == m_contourText)
        return;
    try {
        m_contours = map::ParseContourLevels(text.toStdString());
    } catch (const common::TValdrinError &e) {
        ContourEdit->setText(m_contourText);
        emit Refused(QStringLiteral("Изолинии: %1").arg(QString::fromUtf8(e.what())));
        return;
    }
    m_contourText = text;
    emit Changed();
}

void TMapOptionsPanel::ApplyTo(map::TRenderOptions &o) const
{
    o.Aspect
        = AspectCheckBox->isChecked() ? map::TAspectMode::TrueProportions : map::TAspectMode::Fill;
    o.Contours = m_contours;
    o.Smooth = SmoothCheckBox->isChecked();
    o.FixedRange = RangeRadioGroup->ItemIndex() == 1;
    o.RangeLo = RangeMinSpinEdit->Value();
    o.RangeHi = RangeMaxSpinEdit->Value();
    o.DbFloor = DbFloorSpinEdit->Value();
}

} // namespace valdrin::app
