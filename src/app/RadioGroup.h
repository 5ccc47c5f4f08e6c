// A captioned group of radio buttons addressed by item index, as the window's
// choice controls ("Что показывать", "Плоскость", ...) are used.
#pragma once

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

namespace valdrin::app {

class TRadioGroup : public QGroupBox {
    Q_OBJECT

public:
    TRadioGroup(const QString &caption, const QStringList &items, int columns = 1,
        QWidget *parent = nullptr);

    int ItemIndex() const; // -1 when no item is checked
    // Checks item index (or none for -1); does not emit Click.
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(m_buttons.size()); }
    QRadioButton *Button(int index) const; // nullptr outside 0..Count()-1

    // As a user's click on item index: checks it and emits Click.
    void ClickItem(int index);

signals:
    void Click();

private:
    QButtonGroup *m_group = nullptr;
    QList<QRadioButton *> m_buttons;
};

} // namespace valdrin::app
