#include "cli/StationsCommand.h"

#include <functional>
#include <optional>

#include "cli/CalcCommand.h"
#include "cli/ParamsAccess.h"
#include "common/Error.h"
#include "common/qt/DecimalSep.h"
#include "formats/Stations.h"
#include "formats/TextInput.h"
#include "params/WorkingSet.h"

namespace valdrin::cli {

namespace {

const char *const kUsage
    = "Использование: valdrin-calc stations import ФАЙЛ --to ФАЙЛ.ini [--append]\n"
      "       valdrin-calc stations export [--params ФАЙЛ.ini] --format csv|fdsn|kml|geojson\n"
      "                                    [--output ФАЙЛ]\n";

const char *const kHelp
    = "\n"
      "import: станции из файла CSV (столбцы по именам: name, x/longitude, y/latitude,\n"
      "  z/elevation, по желанию a0 a1 a2 a3 an snr noise_nm), текста FDSN\n"
      "  (#Network|Station|Latitude|...) или StationXML - в таблицу станций файла\n"
      "  параметров. Таблица заменяется, с --append станции добавляются в конец.\n"
      "  Файла параметров нет - он создается из начального набора окна. Долгота и\n"
      "  широта в файле включают \"Градусы\"; станции без столбцов затухания получают\n"
      "  строку затухания по умолчанию; больше 100 станций - отказ.\n"
      "export: таблица станций (файла --params или начального набора окна) в CSV,\n"
      "  текст FDSN, KML или GeoJSON (три последних - только в градусах) в --output\n"
      "  или в стандартный вывод.\n"
      "\n"
      "Код возврата: 0 - готово, 2 - ошибка в командной строке, 3 - ошибка во входных\n"
      "данных (файлы не изменены).\n";

struct TUsageError {
    std::string Message;
};

struct TOptions {
    std::string Command; // import, export
    std::optional<std::string> File, To, Params, Output, Format;
    bool Append = false;
    bool Help = false;
};

TOptions ParseOptions(const std::vector<std::string> &args)
{
    TOptions opt;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            opt.Help = true;
            return opt;
        }
        if (name.rfind("--", 0) != 0 || name == "--") {
            if (name == "--" && i + 1 < args.size())
                name = args[++i];
            if (opt.Command.empty()) {
                if (name != "import" && name != "export")
                    throw TUsageError { "Неизвестная команда stations: " + name };
                opt.Command = name;
            } else if (opt.Command == "import" && !opt.File) {
                opt.File = name;
            } else {
                throw TUsageError { "Лишний аргумент: " + name };
            }
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw TUsageError { "Не задано значение " + name };
            return args[++i];
        };
        const bool import = opt.Command == "import";
        const bool exportCmd = opt.Command == "export";
        if (name == "--to" && import)
            opt.To = value();
        else if (name == "--append" && import && !inlineValue)
            opt.Append = true;
        else if (name == "--params" && exportCmd)
            opt.Params = value();
        else if (name == "--output" && exportCmd)
            opt.Output = value();
        else if (name == "--format" && exportCmd)
            opt.Format = formats::LowerUtf8(value());
        else
            throw TUsageError { "Неизвестный параметр: " + name };
    }
    if (opt.Command.empty())
        throw TUsageError { "Не задана команда: import или export" };
    if (opt.Command == "import") {
        if (!opt.File || opt.File->empty())
            throw TUsageError { "Не задан файл станций" };
        if (!opt.To || opt.To->empty())
            throw TUsageError { "Не задан файл параметров --to" };
    } else {
        if (!opt.Format)
            throw TUsageError { "Не задан формат --format" };
        if (*opt.Format != "csv" && *opt.Format != "fdsn" && *opt.Format != "kml"
            && *opt.Format != "geojson")
            throw TUsageError { "Неизвестный формат --format: " + *opt.Format };
    }
    return opt;
}

int Import(const TOptions &opt, std::ostream &err)
{
    const char sep = common::qt::UserDecimalSep();
    // Both files read before anything is written.
    const formats::TStationTable list = formats::ReadStationsFile(*opt.File);
    params::TWorkingSet ws = LoadParamsForUpdate(*opt.To, sep, true);
    const formats::TStationImport imported = formats::ImportStations(
        { ws.CooGrid, ws.StrGrid }, ws.GeoCheckBox, list, opt.Append, sep);
    params::SetValue(ws, *params::FindIntControl("SensorsSpinEdit"), imported.Count, sep);
    ws.CooGrid = imported.Tables.CooGrid;
    ws.StrGrid = imported.Tables.StrGrid;
    ws.GeoCheckBox = imported.Degrees;
    SaveParamsUpdate(*opt.To, ws, err);
    return kExitOk;
}

int Export(const TOptions &opt, std::ostream &out)
{
    const char sep = common::qt::UserDecimalSep();
    const params::TWorkingSet ws = opt.Params ? LoadParamsForUpdate(*opt.Params, sep, false)
                                              : params::DefaultWorkingSet(sep);
    const formats::TStationTable table
        = formats::ExportStations(ws.CooGrid, ws.StrGrid, sep, ws.GeoCheckBox);

    std::function<void(std::ostream &, const formats::TStationTable &)> writer;
    if (*opt.Format == "csv")
        writer = formats::WriteStationsCsv;
    else if (*opt.Format == "fdsn")
        writer = formats::WriteFdsnText;
    else if (*opt.Format == "kml")
        writer = formats::WriteKml;
    else
        writer = formats::WriteGeoJson;
    if (opt.Output)
        formats::WriteFileSafely(*opt.Output, [&](std::ostream &o) { writer(o, table); });
    else
        writer(out, table);
    return kExitOk;
}

} // namespace

int RunStations(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    try {
        TOptions opt;
        try {
            opt = ParseOptions(args);
        } catch (const TUsageError &e) {
            err << e.Message << '\n' << kUsage;
            return kExitUsage;
        }
        if (opt.Help) {
            out << kUsage << kHelp;
            return kExitOk;
        }
        return opt.Command == "import" ? Import(opt, err) : Export(opt, out);
    } catch (...) {
        return ReportException(err);
    }
}

} // namespace valdrin::cli
