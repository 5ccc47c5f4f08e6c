#include "app/PageWidgets.h"
#include "common/qt/DecimalSep.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QWidget>

#include "controls/GridExt.h"
#include "controls/SpinExt.h"
#include "map/qt/MapRender.h"

namespace valdrin::app {

char DecimalSep()
{
    return common::qt::UserDecimalSep();
}

QString U8(const std::string &s)
{
    return QString::fromStdString(s);
}

QLabel *MakeLabel(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

QLineEdit *MakeReadOnlyEdit(const char *name, const char *text, QWidget *parent)
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

void ShowNumber(QLineEdit *edit, const QString &text)
{
    edit->setText(text);
    edit->setCursorPosition(0);
}

QPushButton *MakeButton(const char *name, const char *caption, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromUtf8(name));
    return b;
}

controls::TFloatSpinEdit *MakeFloatEdit(const char *name, QWidget *parent)
{
    auto *e = new controls::TFloatSpinEdit(parent);
    e->setObjectName(QString::fromUtf8(name));
    e->setMinimumWidth(72);
    return e;
}

controls::TStrGrid *MakeGrid(const char *name, int rows, int cols, QWidget *parent)
{
    auto *g = new controls::TStrGrid(parent);
    g->setObjectName(QString::fromUtf8(name));
    g->SetColCount(cols);
    g->SetRowCount(rows);
    g->SetDefaultRowHeight(kRowHeight);
    return g;
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

TTypedCount::TTypedCount(QWidget *edit, std::function<void()> apply)
    : QObject(edit)
    , m_apply(std::move(apply))
{
    edit->installEventFilter(this);
}

bool TTypedCount::Defer()
{
    if (m_typing)
        m_pending = true;
    return m_typing;
}

bool TTypedCount::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        m_typing = IsTypingKey(static_cast<QKeyEvent *>(event));
        break;
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        m_typing = false;
        break;
    case QEvent::FocusOut:
        m_typing = false;
        if (m_pending && m_apply)
            m_apply();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QSize MapPageSize(const QWidget *panel)
{
    const QSize size = panel->window()->isVisible() ? panel->size() : panel->sizeHint();
    return size.expandedTo(QSize(map::kMinPageSide, map::kMinPageSide))
        .boundedTo(QSize(map::kMaxPageSide, map::kMaxPageSide));
}

} // namespace valdrin::app
