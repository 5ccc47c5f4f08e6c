// The map surface: paints the map image unscaled at (0, 0) and forwards the
// mouse to the window. A context menu offers saving the picture.
#pragma once

#include <QImage>
#include <QWidget>

class QAction;

namespace valdrin::app {

class TPaintBox : public QWidget {
    Q_OBJECT

public:
    explicit TPaintBox(QWidget *parent = nullptr);

    // The image is owned by the caller and must outlive the paint box's use of it.
    void SetImage(const QImage *image);
    const QImage *Image() const { return m_image; }

    QSize sizeHint() const override;

    QAction *SavePngAction = nullptr; // "Сохранить карту как PNG…"

signals:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    void SavePngRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    const QImage *m_image = nullptr;
};

} // namespace valdrin::app
