// The map surface: paints the map image at (0, 0) and forwards the mouse to
// the window, with the pointer's position as the event gives it (fractional
// on scaled screens). A context menu offers saving and exporting the map.
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
    QAction *ExportAction = nullptr; // "Экспорт карты…": PNG, PDF or SVG at a chosen size

signals:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, double x, double y);
    void MouseMove(Qt::KeyboardModifiers modifiers, double x, double y);
    void SavePngRequested();
    void ExportRequested();
    void Resized(); // the map is drawn anew for the new size

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    const QImage *m_image = nullptr;
};

} // namespace valdrin::app
