// Text drawing without a display, for the commands that draw maps.
#pragma once

#include <QGuiApplication>

#include <memory>

namespace valdrin::cli {

// A QGuiApplication on the offscreen platform (unless one exists or another
// platform is asked for) for as long as this lives; Qt's own notes about the
// headless platform stay out of the command's messages meanwhile.
class TOffscreenGui {
public:
    TOffscreenGui();
    ~TOffscreenGui();
    TOffscreenGui(const TOffscreenGui &) = delete;
    TOffscreenGui &operator=(const TOffscreenGui &) = delete;

private:
    QtMessageHandler m_previous;
    std::unique_ptr<QGuiApplication> m_app;
};

} // namespace valdrin::cli
