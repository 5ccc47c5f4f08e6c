#include "app/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

#include "params/ParamFile.h"

namespace valdrin::app {

using namespace valdrin::params;

TWindowPlacement WindowPlacementOf(const QWidget &window)
{
    TWindowPlacement p;
    p.Flags = 0; // Qt has no placement flags
    p.ShowCmd = window.isMinimized() ? 2 : window.isMaximized() ? 3 : 1;
    p.ApplicationMinimized = window.isMinimized();
    p.PixelsPerInch = window.logicalDpiY();
    p.MinPosition = { -1, -1 }; // no minimized or maximized position of its own
    p.MaxPosition = { -1, -1 };
    const QRect r = window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    p.NormalRect = { r.left(), r.top(), r.left() + r.width(), r.top() + r.height() };
    if (const QScreen *sc = window.screen()) {
        p.ScreenWidth = sc->size().width();
        p.ScreenHeight = sc->size().height();
    }
    return p;
}

TCurrentPlacement CurrentPlacementOf(const QWidget &window)
{
    TCurrentPlacement c;
    const QRect r = window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    c.Left = r.left();
    c.Top = r.top();
    c.Width = r.width();
    c.Height = r.height();
    c.PixelsPerInch = window.logicalDpiY();
    if (const QScreen *sc = window.screen()) {
        c.ScreenWidth = sc->size().width();
        c.ScreenHeight = sc->size().height();
    }
    return c;
}

void ApplyPlacement(QWidget &window, const TPlacementRestore &p)
{
    if (p.HasRect && p.Rect.Left < p.Rect.Right && p.Rect.Top < p.Rect.Bottom) {
        window.setWindowState(Qt::WindowNoState);
        window.setGeometry(
            p.Rect.Left, p.Rect.Top, p.Rect.Right - p.Rect.Left, p.Rect.Bottom - p.Rect.Top);
    }
    switch (p.State) {
    case TWindowState::Minimized:
        window.setWindowState(Qt::WindowMinimized);
        break;
    case TWindowState::Maximized:
        window.setWindowState(Qt::WindowMaximized);
        break;
    case TWindowState::Normal:
    default:
        window.setWindowState(Qt::WindowNoState);
        break;
    }
}

} // namespace valdrin::app
