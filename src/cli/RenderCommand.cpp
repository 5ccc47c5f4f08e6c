#include "cli/RenderCommand.h"

#include <fstream>

#include "calc/ResultsFileReader.h"
#include "cli/CalcCommand.h"
#include "cli/OffscreenGui.h"
#include "common/Error.h"

namespace valdrin::cli {

namespace {

const char *const kRenderUsage
    = "Использование: valdrin-calc render ЧАСТЬ... --png ФАЙЛ.png\n"
      "\n"
      "Карта результата, посчитанного частями (valdrin-calc --rows), с одной шкалой\n"
      "цветов на всю сетку. Части - файлы результатов режимов 3..6 в порядке строк;\n"
      "первая с заголовком, остальные с ним или без него (--no-header).\n";

// The map of a joined result, as the window shows a result just computed.
void DrawPng(const std::string &path, const calc::TResult &result)
{
    const TOffscreenGui gui;
    map::TMapScene scene;
    scene.Selected = result.ResultMode;
    scene.Result = &result;
    scene.SaveEnabled = true;
    scene.Plane = result.Plane;
    scene.PlaneGrid = result.PlaneGrid;
    WriteMapPng(path, scene, '.');
}

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
        DrawPng(png, result);
        return kExitOk;
    } catch (...) {
        return ReportException(err);
    }
}

} // namespace valdrin::cli
