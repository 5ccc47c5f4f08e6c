#include "cli/OffscreenGui.h"

#include <QImage>
#include <QString>

#include <cstdio>

#include "map/qt/MapQt.h"

namespace valdrin::cli {

namespace {

void CriticalOnly(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

TOffscreenGui::TOffscreenGui()
    : m_previous(qInstallMessageHandler(CriticalOnly))
{
    static int argc = 1;
    static char name[] = "valdrin-calc";
    static char *argv[] = { name, nullptr };
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QGuiApplication>(argc, argv);
    }
}

TOffscreenGui::~TOffscreenGui()
{
    m_app.reset();
    qInstallMessageHandler(m_previous);
}

void WriteMapPng(const std::string &path, const map::TMapScene &scene, char decimalSep)
{
    map::TMapGeometry geometry;
    QImage bitmap = map::NewMapBitmap(geometry.W, geometry.H);
    const map::TRedrawn redrawn = map::RedrawMap(bitmap, geometry, scene);
    map::SaveMapPng(QString::fromStdString(path), bitmap, redrawn.Legend, decimalSep);
}

} // namespace valdrin::cli
