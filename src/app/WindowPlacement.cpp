#include "app/WindowPlacement.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

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

void KeepOnScreen(QWidget &window)
{
    const QScreen *sc = window.screen();
    if (!sc || window.isMaximized() || window.isMinimized() || window.isFullScreen())
        return;
    const QRect area = sc->availableGeometry();
    const QRect frame = window.frameGeometry();
    // The frame's decorations beyond the client area, which resize() does not count.
    const QSize extra = frame.size() - window.size();
    const QSize size = window.size().boundedTo(area.size() - extra);
    if (size != window.size())
        window.resize(size);
    // A window that cannot shrink enough keeps its top left corner on the screen.
    const int left = std::max(
        area.left(), std::min(frame.left(), area.right() + 1 - size.width() - extra.width()));
    const int top = std::max(
        area.top(), std::min(frame.top(), area.bottom() + 1 - size.height() - extra.height()));
    if (left != frame.left() || top != frame.top())
        window.move(left, top);
}

} // namespace valdrin::app
