#include "cli/NoiseLevelCommand.h"

#include "cli/CalcCommand.h"
#include "cli/Options.h"
#include "cli/ParamsAccess.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "common/qt/DecimalSep.h"
#include "formats/NoiseDb.h"
#include "formats/Stations.h"
#include "noise/NoiseLevel.h"
#include "noise/NoiseSpectrum.h"
#include "params/Cp1251.h"

#include <cmath>
#include <optional>
#include <span>
#include <string_view>

namespace valdrin::cli {

namespace {

constexpr double kMaxFreq = 100000; // the range of the page's band edits, Hz

const char *const kUsage
    = "Использование: valdrin-calc noise-level ФАЙЛ [--column ИМЯ|НОМЕР] [--fmin F] [--fmax F]\n"
      "                     [--unit linear|db] [--station ИМЯ --params ФАЙЛ.ini]\n"
      "Среднеквадратическое смещение от шумов в полосе Fmin..Fmax (по умолчанию 1..10 Гц)\n"
      "для столбца спектра (номер с 1) или для каждого столбца: имя, мм WA, мм (true).\n"
      "Спектр - мощность скорости, (м/с)^2/Гц, или в дБ относительно 1 (м/с^2)^2/Гц от\n"
      "частоты или периода (экспорт MUSTANG noise-psd, текст со столбцом period/freq);\n"
      "единицы определяются по заголовку, --unit задает их явно.\n"
      "--station и --params: значение WA записывается в ячейку An этой станции в файле\n"
      "параметров (в спектре один столбец или выбран --column).\n";

struct TOptions {
    std::string File;
    std::optional<std::string> Column;
    double Fmin = 1; // Hz
    double Fmax = 10; // Hz
    std::optional<formats::TSpectrumUnit> Unit; // none: from the file's header
    std::optional<std::string> Station, Params;
};

std::string NameText(const std::string &name)
{
    return params::IsValidUtf8(name) ? name : params::Cp1251ToUtf8(name);
}

// The Wood-Anderson level into the An cell of the station's row; the file
// changes only when the station is there once.
void WriteStationAn(const TOptions &opt, double waMm, std::ostream &err)
{
    const char sep = common::qt::UserDecimalSep();
    params::TWorkingSet ws = LoadParamsForUpdate(*opt.Params, sep, false);
    const std::vector<int> rows = formats::FindStationRows(ws.CooGrid, *opt.Station);
    if (rows.empty())
        throw common::TValdrinError(
            "В файле параметров " + *opt.Params + " нет станции " + *opt.Station);
    if (rows.size() > 1)
        throw common::TValdrinError("В файле параметров " + *opt.Params + " станция " + *opt.Station
            + " встречается " + std::to_string(rows.size()) + " раза: неясно, какую строку менять");
    ws.StrGrid.SetCell(rows.front(), formats::kAnColumn, formats::AnCellText(waMm, sep));
    SaveParamsUpdate(*opt.Params, ws, err);
}

// The levels of the chosen columns, after the options were read.
int Report(const TOptions &opt, std::ostream &out, std::ostream &err)
{
    const auto unit = opt.Unit.value_or(formats::DetectSpectrumFileUnit(opt.File));
    noise::TNoiseLoad load;
    if (unit == formats::TSpectrumUnit::AccelerationDb) {
        load.Spectrum = formats::ReadDbSpectrumFile(opt.File);
    } else {
        load = noise::LoadNoiseFile(opt.File);
        if (load.Status != noise::TNoiseLoadStatus::Complete) {
            err << load.Message << '\n';
            return kExitInput;
        }
    }
    const noise::TNoiseSpectrum &spc = load.Spectrum;
    const int n = static_cast<int>(spc.Names.size());
    if (n == 0) {
        err << "В файле " << opt.File << " нет столбцов данных\n";
        return kExitInput;
    }

    std::vector<int> columns;
    if (opt.Column) {
        for (int c = 0; c < n && columns.empty(); ++c)
            if (NameText(spc.Names[static_cast<std::size_t>(c)]) == *opt.Column)
                columns.push_back(c);
        const auto k = common::TextToInt(*opt.Column);
        if (columns.empty() && k && *k >= 1 && *k <= n)
            columns.push_back(*k - 1);
        if (columns.empty()) {
            err << "В файле " << opt.File << " нет столбца " << *opt.Column << '\n';
            return kExitInput;
        }
    } else {
        for (int c = 0; c < n; ++c)
            columns.push_back(c);
    }

    if (opt.Station && columns.size() != 1) {
        err << "В файле " << opt.File << " несколько столбцов: для --station выберите один"
            << " (--column)\n";
        return kExitUsage;
    }
    std::optional<double> waMm;
    int code = 0;
    for (int c : columns) {
        const std::string name = NameText(spc.Names[static_cast<std::size_t>(c)]);
        const auto level
            = noise::NoiseBandLevel(noise::SpectrumColumnPoints(spc, c, true), opt.Fmin, opt.Fmax);
        if (!level) {
            out << name << "\t-\t-\n";
            err << "Столбец " << name << ": нет значения в полосе "
                << common::FormatGeneral(opt.Fmin) << " - " << common::FormatGeneral(opt.Fmax)
                << " Гц\n";
            code = kExitInput;
            continue;
        }
        out << name << '\t' << common::FormatFixed(level->WaMm, 5) << '\t'
            << common::FormatExponent(level->TrueMm, 5) << '\n';
        waMm = level->WaMm;
    }
    out.flush();
    if (!out) {
        err << "Ошибка записи результата в стандартный вывод\n";
        return kExitInput;
    }
    if (opt.Station && waMm)
        WriteStationAn(opt, *waMm, err);
    return code;
}

// The options; the readers fill opt.
std::vector<TOption> OptionTable(TOptions &opt)
{
    using V = const std::string &;
    const auto freq = [](std::string_view name, double &f) {
        return [name, &f](V v) {
            const auto x = RealIn(v, 0, kMaxFreq);
            if (!x)
                throw TUsageError { "Частота " + std::string(name)
                    + " должна быть числом от 0 до 100000: " + v };
            f = *x;
        };
    };
    return {
        { "--column", [&opt](V v) { opt.Column = v; } },
        { "--fmin", freq("--fmin", opt.Fmin) },
        { "--fmax", freq("--fmax", opt.Fmax) },
        { "--unit",
            [&opt](V v) {
                const int unit
                    = Choice(v, { { "linear", 0 }, { "db", 1 } }, "Неизвестные единицы --unit: ");
                opt.Unit = unit == 0 ? formats::TSpectrumUnit::VelocityPower
                                     : formats::TSpectrumUnit::AccelerationDb;
            } },
        { "--station", [&opt](V v) { opt.Station = v; } },
        { "--params", [&opt](V v) { opt.Params = v; } },
    };
}

// The spectrum file, then the options; true when help was asked for.
bool ParseOptions(
    const std::vector<std::string> &args, std::span<const TOption> options, TOptions &opt)
{
    bool haveFile = false;
    const auto positional = [&](const std::string &arg) {
        if (haveFile)
            throw TUsageError { "Лишний аргумент: " + arg };
        opt.File = arg;
        haveFile = true;
    };
    if (ReadOptions(args, 0, options, positional))
        return true;
    if (!haveFile || opt.File.empty())
        throw TUsageError { "Не задан файл спектров" };
    if (opt.Fmin > opt.Fmax)
        throw TUsageError { "Частота --fmin " + common::FormatGeneral(opt.Fmin)
            + " больше частоты --fmax " + common::FormatGeneral(opt.Fmax) };
    if (opt.Station.has_value() != opt.Params.has_value())
        throw TUsageError { "--station и --params задаются вместе" };
    if (opt.Station && opt.Station->empty())
        throw TUsageError { "Пустое имя станции --station" };
    return false;
}

} // namespace

int RunNoiseLevel(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    TOptions opt;
    const std::vector<TOption> options = OptionTable(opt);
    // The usage text is the help.
    return RunCommand(
        out, err, kUsage, {}, [&] { return ParseOptions(args, options, opt); },
        [&] { return Report(opt, out, err); });
}

} // namespace valdrin::cli
