#include "app/PaintBox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace valdrin::app {

TPaintBox::TPaintBox(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true); // read-outs follow the pointer without a button held
    setAttribute(Qt::WA_OpaquePaintEvent);
    SavePngAction = new QAction(QStringLiteral("Сохранить карту как PNG…"), this);
    SavePngAction->setObjectName(QStringLiteral("SavePngAction"));
    connect(SavePngAction, &QAction::triggered, this, &TPaintBox::SavePngRequested);
}

void TPaintBox::SetImage(const QImage *image)
{
    m_image = image;
    update();
}

QSize TPaintBox::sizeHint() const
{
    return m_image ? m_image->size() : QSize(504, 475);
}

void TPaintBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    // Beyond the image (a window enlarged after start) the panel stays plain.
    p.fillRect(event->rect(), palette().color(QPalette::Window));
    if (m_image)
        p.drawImage(0, 0, *m_image);
}

void TPaintBox::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TPaintBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    emit MouseMove(event->modifiers(), pos.x(), pos.y());
}

void TPaintBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(SavePngAction);
    menu.exec(event->globalPos());
}

} // namespace valdrin::app
