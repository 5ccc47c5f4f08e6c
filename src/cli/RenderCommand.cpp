#include "cli/RenderCommand.h"

#include <QString>
#ifdef VALDRIN_CLI_PNG
#include <QGuiApplication>
#include <QImage>

#include "map/qt/MapQt.h"
#endif

#include <cstdio>
#include <fstream>
#include <memory>

#include "calc/ResultsFileReader.h"
#include "cli/CalcCommand.h"
#include "common/Error.h"

namespace valdrin::cli {

namespace {

const char *const kRenderUsage
    = "Использование: valdrin-calc render ЧАСТЬ... --png ФАЙЛ.png\n"
      "\n"
      "Карта результата, посчитанного частями (valdrin-calc --rows), с одной шкалой\n"
      "цветов на всю сетку. Части - файлы результатов режимов 3..6 в порядке строк;\n"
      "первая с заголовком, остальные с ним или без него (--no-header).\n";

#ifdef VALDRIN_CLI_PNG
void DrawPng(const std::string &path, const calc::TResult &result)
{
    static int argc = 1;
    static char name[] = "valdrin-calc";
    static char *argv[] = { name, nullptr };
    // Qt's notes about the headless platform stay out of the command's messages.
    struct TQuietQt {
        QtMessageHandler Previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &text) {
                if (type == QtCriticalMsg || type == QtFatalMsg)
                    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
            });
        ~TQuietQt() { qInstallMessageHandler(Previous); }
    } quiet;
    std::unique_ptr<QGuiApplication> app;
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
    map::TMapGeometry geometry;
    QImage bitmap = map::NewMapBitmap(geometry.W, geometry.H);
    map::TMapScene scene;
    scene.Selected = result.ResultMode;
    scene.Result = &result;
    scene.SaveEnabled = true;
    scene.Plane = result.Plane;
    scene.PlaneGrid = result.PlaneGrid;
    const map::TRedrawn redrawn = map::RedrawMap(bitmap, geometry, scene);
    map::SaveMapPng(QString::fromStdString(path), bitmap, redrawn.Legend, '.');
}
#endif

} // namespace

int RunRender(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    try {
        std::vector<std::string> parts;
        std::string png;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--help" || args[i] == "-h") {
                out << kRenderUsage;
                return kExitOk;
            }
            if (args[i] == "--png" && i + 1 < args.size())
                png = args[++i];
            else if (args[i].rfind("--png=", 0) == 0)
                png = args[i].substr(6);
            else if (args[i].rfind("--", 0) == 0) {
                err << "Неизвестный параметр: " << args[i] << '\n' << kRenderUsage;
                return kExitUsage;
            } else
                parts.push_back(args[i]);
        }
        if (parts.empty() || png.empty()) {
            err << "Не заданы части или --png\n" << kRenderUsage;
            return kExitUsage;
        }
        calc::TResultsParts joined;
        for (const std::string &name : parts) {
            std::ifstream in(name, std::ios::binary);
            if (!in)
                throw common::TValdrinError("Не удалось открыть файл " + name);
            calc::ReadResultsPart(in, name, joined);
        }
        const calc::TResult result = calc::JoinResultsParts(std::move(joined));
#ifdef VALDRIN_CLI_PNG
        DrawPng(png, result);
        return kExitOk;
#else
        throw common::TValdrinError("Карта в PNG недоступна: программа собрана без модуля карты");
#endif
    } catch (...) {
        return ReportException(err);
    }
}

} // namespace valdrin::cli
