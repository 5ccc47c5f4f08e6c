#include "cli/PlanCommand.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <span>
#include <tuple>

#include "calc/Planning.h"
#include "cli/CalcCommand.h"
#include "cli/Options.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "common/SafeFile.h"
#include "common/qt/DecimalSep.h"

namespace valdrin::cli {

namespace {

const char *const kUsage
    = "Использование: valdrin-calc plan outage [--params ФАЙЛ.ini] [--plane xy|yz|xz]\n"
      "                    [--target M] [--threads N] [--output ФАЙЛ.csv]\n"
      "       valdrin-calc plan next-station [--params ФАЙЛ.ini] [--count N]\n"
      "                    [--candidates NUxNV] [--area U0:U1:V0:V1] [--row R] [--threads N]\n"
      "                    [--output ФАЙЛ.csv]\n";

const char *const kHelpHead
    = "\n"
      "Планирование сети по k-й наименьшей магнитуде станций в узлах сетки (режим\n"
      "\"Минимальная магнитуда\", параметры как в окне).\n"
      "\n"
      "  outage           что теряет сеть без каждой станции: по строке на станцию в\n"
      "                   порядке таблицы, столбцы station (код), mean_rise и max_rise\n"
      "                   (средний и наибольший рост k-й магнитуды по узлам, где она\n"
      "                   конечна с этой станцией и без нее), row (номер строки\n"
      "                   таблицы от 1), nodes (число таких узлов); с --target еще\n"
      "                   area_lost: площадь узлов, где магнитуда была <= M и стала\n"
      "                   больше (м², в градусах - градусы²)\n"
      "  next-station     куда поставить следующие станции: жадно, по одной; столбцы\n"
      "                   rank, x, y (координаты в плоскости XY), gain (среднее\n"
      "                   понижение k-й магнитуды по узлам, где она конечна, в целевой\n"
      "                   области)\n"
      "\n";

struct TPlanOptions {
    std::string Command;
    std::optional<std::string> Params, Output;
    int Plane = 0;
    double Target = NAN;
    int Count = 1;
    int CandidatesU = 0, CandidatesV = 0; // 0: the node grid
    calc::TGainOptions::TArea Area; // the whole grid
    int Row = 1;
    int Threads = 0;
};

// "Неверное значение --count: 0 (от 1 до 100)"
int IntOption(const std::string &name, const std::string &v, int min, int max)
{
    const auto n = IntIn(v, min, max);
    if (!n)
        throw TUsageError { "Неверное значение " + name + ": " + v + " (от " + std::to_string(min)
            + " до " + std::to_string(max) + ")" };
    return *n;
}

// "U0:U1:V0:V1", finite, each range in order.
std::optional<calc::TGainOptions::TArea> AreaIn(const std::string &text)
{
    std::array<double, 4> x {};
    std::size_t from = 0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const std::size_t to = n + 1 < x.size() ? text.find(':', from) : text.size();
        if (to == std::string::npos)
            return std::nullopt;
        const auto value = common::TextToFloatAnySep(text.substr(from, to - from), '.');
        if (!value || !std::isfinite(*value))
            return std::nullopt;
        x[n] = *value;
        from = to + 1;
    }
    if (!(x[0] <= x[1] && x[2] <= x[3]))
        return std::nullopt;
    return calc::TGainOptions::TArea { x[0], x[1], x[2], x[3] };
}

// The options of both tasks, in the order of the help text; the readers fill
// opt.
std::vector<TOption> OptionTable(TPlanOptions &opt)
{
    using V = const std::string &;
    const auto outage = [&opt] { return opt.Command == "outage"; };
    const auto next = [&opt] { return opt.Command == "next-station"; };
    return {
        { "--params", [&opt](V v) { opt.Params = v; },
            "  --params ФАЙЛ    файл параметров (.ini); без него - начальный набор окна\n" },
        { "--plane", [&opt](V v) { opt.Plane = PlaneChoice(v); },
            "  --plane П        плоскость xy, yz или xz (outage; по умолчанию xy)\n", false,
            outage },
        { "--target",
            [&opt](V v) {
                const auto x = common::TextToFloatAnySep(v, '.');
                if (!x || !std::isfinite(*x))
                    throw TUsageError { "Неверное число --target: " + v };
                opt.Target = *x;
            },
            "  --target M       целевая магнитуда для площади (outage)\n", false, outage },
        { "--count", [&opt](V v) { opt.Count = IntOption("--count", v, 1, 100); },
            "  --count N        сколько станций подобрать, 1..100 (next-station; 1)\n", false,
            next },
        { "--candidates",
            [&opt](V v) {
                const auto grid = IntPairIn(v, 1, 4001);
                if (!grid)
                    throw TUsageError { "Неверная сетка кандидатов --candidates: " + v
                        + " (NUxNV, от 1 до 4001)" };
                std::tie(opt.CandidatesU, opt.CandidatesV) = *grid;
            },
            "  --candidates NUxNV  сетка мест-кандидатов на площади сетки узлов (по\n"
            "                   умолчанию сами узлы)\n",
            false, next },
        { "--area",
            [&opt](V v) {
                const auto area = AreaIn(v);
                if (!area)
                    throw TUsageError { "Неверная целевая область --area: " + v
                        + " (U0:U1:V0:V1, U0 <= U1, V0 <= V1)" };
                opt.Area = *area;
            },
            "  --area U0:U1:V0:V1  целевая область: узлы с U0 <= x <= U1, V0 <= y <= V1\n"
            "                   (по умолчанию вся сетка)\n",
            false, next },
        { "--row", [&opt](V v) { opt.Row = IntOption("--row", v, 1, 100); },
            "  --row R          строка таблицы затухания (от 1), чьи коэффициенты и шум\n"
            "                   получает новая станция (1)\n",
            false, next },
        { "--threads", [&opt](V v) { opt.Threads = IntOption("--threads", v, 0, 1024); },
            "  --threads N      число потоков расчета, 0 - все ядра (0)\n" },
        { "--output", [&opt](V v) { opt.Output = v; },
            "  --output ФАЙЛ    файл CSV (по умолчанию - стандартный вывод)\n" },
    };
}

// The task, then its options; true when help was asked for.
bool ParsePlanOptions(
    const std::vector<std::string> &args, std::span<const TOption> options, TPlanOptions &opt)
{
    if (args.empty())
        throw TUsageError { "Не задана задача: outage или next-station" };
    opt.Command = args.front();
    if (opt.Command == "--help" || opt.Command == "-h")
        return true;
    if (opt.Command != "outage" && opt.Command != "next-station")
        throw TUsageError { "Неизвестная задача: " + opt.Command };
    return ReadOptions(args, 1, options);
}

// A number for a CSV cell: a point, shortest round-trip digits; nan, inf.
std::string Number(double x)
{
    if (std::isnan(x))
        return "nan";
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

// A CSV field, quoted when it holds a separator, a quote or a line end.
std::string Field(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

calc::TCalcSnapshot Snapshot(params::TWorkingSet &ws, char sep)
{
    const params::TSnapshotBuild build = params::MakeCalcSnapshot(ws, sep);
    if (!build.ModelRead)
        throw common::TValdrinError(build.ModelMessage);
    return build.Snapshot;
}

std::string OutageTable(const TPlanOptions &opt, params::TWorkingSet &ws, char sep)
{
    params::SetValue(ws, *params::FindChoiceControl("ViewRadioGroup"), opt.Plane);
    const calc::TCalcSnapshot snapshot = Snapshot(ws, sep);
    calc::TRunControl control;
    control.Threads = opt.Threads;
    const auto figures = calc::OutageFigures(snapshot, control, opt.Target);
    if (!figures)
        throw common::TValdrinError("Расчет прерван");
    const bool area = !std::isnan(opt.Target);
    // The table row of each station in the run: those out of operation are not in it.
    std::vector<int> rows;
    const std::vector<bool> inOperation = params::InOperationOf(ws);
    for (std::size_t r = 0; r < inOperation.size(); ++r)
        if (inOperation[r])
            rows.push_back(static_cast<int>(r) + 1);
    std::string text = "station,mean_rise,max_rise,row,nodes";
    text += area ? ",area_lost\n" : "\n";
    for (std::size_t s = 0; s < figures->size(); ++s) {
        const calc::TOutageFigures &f = (*figures)[s];
        text += Field(snapshot.Stations.Name[s]) + ',' + Number(f.MeanRise) + ','
            + Number(f.MaxRise) + ','
            + std::to_string(s < rows.size() ? rows[s] : static_cast<int>(s) + 1) + ','
            + std::to_string(f.Nodes);
        text += area ? ',' + Number(f.AreaLost) + '\n' : std::string("\n");
    }
    return text;
}

std::string NextStationTable(const TPlanOptions &opt, params::TWorkingSet &ws, char sep)
{
    params::SetValue(ws, *params::FindChoiceControl("ViewRadioGroup"), 0);
    const calc::TCalcSnapshot snapshot = Snapshot(ws, sep);
    calc::TRunControl control;
    control.Threads = opt.Threads;
    calc::TGainOptions options;
    options.CandidatesU = opt.CandidatesU;
    options.CandidatesV = opt.CandidatesV;
    options.Area = opt.Area;
    options.Row = static_cast<std::size_t>(opt.Row - 1);
    const auto next = calc::NextStations(snapshot, options, opt.Count, control);
    if (!next)
        throw common::TValdrinError("Расчет прерван");
    std::string text = "rank,x,y,gain\n";
    for (std::size_t r = 0; r < next->size(); ++r) {
        const calc::TNextStation &s = (*next)[r];
        text += std::to_string(r + 1) + ',' + Number(s.U) + ',' + Number(s.V) + ',' + Number(s.Gain)
            + '\n';
    }
    return text;
}

} // namespace

int RunPlanCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    TPlanOptions opt;
    const std::vector<TOption> options = OptionTable(opt);
    const std::string help = kHelpHead + OptionsHelp(options);
    return RunCommand(
        out, err, kUsage, help, [&] { return ParsePlanOptions(args, options, opt); },
        [&] {
            const char sep = common::qt::UserDecimalSep();
            params::TWorkingSet ws = LoadWorkingSet(opt.Params, sep);
            // The k-th magnitude, whatever mode the file was saved in.
            params::SetValue(ws, *params::FindChoiceControl("SourceRadioGroup"), 3);
            const std::string text = opt.Command == "outage" ? OutageTable(opt, ws, sep)
                                                             : NextStationTable(opt, ws, sep);
            if (opt.Output) {
                if (const auto error = common::WriteWholeFileWith(
                        *opt.Output, [&](std::ostream &file) { file << text; }))
                    throw common::TValdrinError(
                        "Ошибка записи файла " + *opt.Output + ": " + *error);
            } else {
                out << text << std::flush;
            }
            return kExitOk;
        });
}

} // namespace valdrin::cli
