// Text drawing without a display, for the commands that draw maps.
#pragma once

#include <QGuiApplication>

#include <memory>
#include <string>

#include "map/MapScene.h"

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

// The window's map of scene with its legend, saved as a PNG at path, numbers
// with decimalSep. Needs a TOffscreenGui (or an application) alive.
void WriteMapPng(const std::string &path, const map::TMapScene &scene, char decimalSep);

} // namespace valdrin::cli
