#include "cli/StationsCommand.h"

#include <functional>
#include <optional>
#include <span>

#include "cli/CalcCommand.h"
#include "cli/Options.h"
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

struct TOptions {
    std::string Command; // import, export
    std::optional<std::string> File, To, Params, Output, Format;
    bool Append = false;
};

// The options of both commands; the readers fill opt.
std::vector<TOption> OptionTable(TOptions &opt)
{
    using V = const std::string &;
    const auto import = [&opt] { return opt.Command == "import"; };
    const auto exportCmd = [&opt] { return opt.Command == "export"; };
    return {
        { "--to", [&opt](V v) { opt.To = v; }, {}, false, import },
        { "--append", [&opt](V) { opt.Append = true; }, {}, true, import },
        { "--params", [&opt](V v) { opt.Params = v; }, {}, false, exportCmd },
        { "--output", [&opt](V v) { opt.Output = v; }, {}, false, exportCmd },
        { "--format", [&opt](V v) { opt.Format = formats::LowerUtf8(v); }, {}, false, exportCmd },
    };
}

// The command and its file, then the options; true when help was asked for.
bool ParseOptions(
    const std::vector<std::string> &args, std::span<const TOption> options, TOptions &opt)
{
    const auto positional = [&opt](const std::string &arg) {
        if (opt.Command.empty()) {
            if (arg != "import" && arg != "export")
                throw TUsageError { "Неизвестная команда stations: " + arg };
            opt.Command = arg;
        } else if (opt.Command == "import" && !opt.File) {
            opt.File = arg;
        } else {
            throw TUsageError { "Лишний аргумент: " + arg };
        }
    };
    if (ReadOptions(args, 0, options, positional))
        return true;
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
    return false;
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
    // Rows now hold other stations: only the kept rows keep their switch.
    const auto kept = imported.Count - static_cast<int>(list.Rows.size());
    std::erase_if(ws.OutOfOperation, [kept](int row) { return row > kept; });
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
    TOptions opt;
    const std::vector<TOption> options = OptionTable(opt);
    return RunCommand(
        out, err, kUsage, kHelp, [&] { return ParseOptions(args, options, opt); },
        [&] { return opt.Command == "import" ? Import(opt, err) : Export(opt, out); });
}

} // namespace valdrin::cli
