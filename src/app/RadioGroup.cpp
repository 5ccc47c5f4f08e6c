#include "app/RadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

namespace valdrin::app {

TRadioGroup::TRadioGroup(
    const QString &caption, const QStringList &items, int columns, QWidget *parent)
    : QGroupBox(caption, parent)
    , m_group(new QButtonGroup(this))
{
    if (columns < 1)
        columns = 1;
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(6, 2, 6, 4);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(0);
    const int count = static_cast<int>(items.size());
    const int rows = (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        auto *button = new QRadioButton(items[i], this);
        m_group->addButton(button, i);
        m_buttons.append(button);
        // Items run down the first column, then the next, as in a radio group.
        layout->addWidget(button, i % rows, i / rows);
    }
    connect(m_group, &QButtonGroup::idClicked, this, [this](int) { emit Click(); });
}

int TRadioGroup::ItemIndex() const
{
    return m_group->checkedId();
}

void TRadioGroup::SetItemIndex(int index)
{
    if (index >= 0 && index < Count()) {
        m_buttons[index]->setChecked(true);
        return;
    }
    // An exclusive group cannot uncheck its last button directly.
    m_group->setExclusive(false);
    for (auto *b : m_buttons)
        b->setChecked(false);
    m_group->setExclusive(true);
}

QRadioButton *TRadioGroup::Button(int index) const
{
    return index >= 0 && index < Count() ? m_buttons[index] : nullptr;
}

void TRadioGroup::ClickItem(int index)
{
    if (index < 0 || index >= Count() || !isEnabled())
        return;
    SetItemIndex(index);
    emit Click();
}

} // namespace valdrin::app
