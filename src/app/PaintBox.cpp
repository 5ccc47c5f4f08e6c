#include "app/PaintBox.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "app/PageWidgets.h"

namespace valdrin::app {

TPaintBox::TPaintBox(QWidget *parent)
    : QWidget(parent)
{
    setMouseTracking(true); // read-outs follow the pointer without a button held
    setAttribute(Qt::WA_OpaquePaintEvent);
    SavePngAction = new QAction(QStringLiteral("Сохранить карту как PNG…"), this);
    SavePngAction->setObjectName(QStringLiteral("SavePngAction"));
    connect(SavePngAction, &QAction::triggered, this, &TPaintBox::SavePngRequested);
    ExportAction = new QAction(QStringLiteral("Экспорт карты (PNG, PDF, SVG)…"), this);
    ExportAction->setObjectName(QStringLiteral("ExportAction"));
    connect(ExportAction, &QAction::triggered, this, &TPaintBox::ExportRequested);
}

void TPaintBox::SetImage(const QImage *image)
{
    m_image = image;
    update();
}

QSize TPaintBox::sizeHint() const
{
    return { kMapWidth, kMapHeight };
}

void TPaintBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    // Between a resize and the next drawing the image may be smaller.
    p.fillRect(event->rect(), Qt::white);
    if (m_image)
        p.drawImage(0, 0, *m_image);
}

void TPaintBox::mousePressEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    emit MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
}

void TPaintBox::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF pos = event->position();
    emit MouseMove(event->modifiers(), pos.x(), pos.y());
}

void TPaintBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(SavePngAction);
    menu.addAction(ExportAction);
    menu.exec(event->globalPos());
}

void TPaintBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    emit Resized();
}

} // namespace valdrin::app
