#include "cli/CalcCommand.h"

#include <QLocale>
#include <QString>

#include "map/qt/MapRender.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "calc/Computation.h"
#include "calc/Planning.h"
#include "calc/ResultsFile.h"
#include "calc/ResultsFileReader.h"
#include "cli/CalcOptions.h"
#include "cli/OffscreenGui.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "common/SafeFile.h"
#include "common/qt/DecimalSep.h"
#include "formats/ResultFormats.h"
#include "map/Contours.h"
#include "params/ParamFile.h"
#include "params/WorkingSet.h"

namespace valdrin::cli {

namespace {

using params::TWorkingSet;

// Refuses a --params file that is not there to be read: a mistyped path
// must not compute an emptied working set.
void CheckParamsFile(const std::string &path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (!fs::exists(st))
        throw common::TValdrinError("Файл параметров не найден: " + path);
    bool readable = fs::is_regular_file(st);
    if (readable) {
        const auto size = fs::file_size(path, ec);
        std::FILE *f = std::fopen(path.c_str(), "rb");
        readable = f && !ec && size <= params::TIniFile::kMaxFileSize;
        if (f)
            std::fclose(f);
    }
    if (!readable)
        throw common::TValdrinError("Не удалось прочитать файл параметров: " + path);
}

// A progress bar on a terminal, redrawn when the percentage changes. The
// engine may report from its worker threads.
class TProgressBar {
public:
    explicit TProgressBar(std::ostream &err)
        : m_err(err)
    {
    }
    void Update(int done, int total)
    {
        const int percent
            = total > 0 ? static_cast<int>(std::clamp(100LL * done / total, 0LL, 100LL)) : 0;
        std::lock_guard lock(m_mutex);
        if (percent == m_shown)
            return;
        m_shown = percent;
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        m_err << "\rРасчет [" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << percent
              << "%" << std::flush;
    }
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        if (m_shown >= 0)
            m_err << "\r" << std::string(60, ' ') << "\r" << std::flush;
        m_shown = -1;
    }

private:
    std::ostream &m_err;
    std::mutex m_mutex;
    int m_shown = -1;
};

void WriteResults(
    const std::string &path, const calc::TResult &result, const TWorkingSet &ws, bool header)
{
    // Streamed: a large grid is never held whole as text.
    const auto error = common::WriteWholeFileWith(path, [&](std::ostream &out) {
        calc::WriteResultsFile(out, result, ws.VpSpinEdit, ws.C1SpinEdit, ws.C2SpinEdit, header);
    });
    if (error)
        throw common::TValdrinError("Ошибка записи файла " + path + ": " + *error);
}

// The report map: the same scene through the page renderer.
void WriteReportMaps(const TCalcOptions &opt, const calc::TResult &result,
    const calc::TCalcSnapshot &snapshot, const TWorkingSet &ws, char sep)
{
    const map::TMapScene scene = params::MakeMapScene(ws, &result, result.Saveable, sep);
    map::TRenderOptions o;
    o.Size = QSize(opt.Width, opt.Height);
    o.Dpi = opt.Dpi;
    o.Aspect = opt.Aspect;
    o.Contours = opt.Contours;
    o.Degrees = snapshot.Params.Degrees;
    o.Vp = snapshot.Params.Vp;
    o.Title = { snapshot.Params.k, snapshot.Params.Medium, std::time(nullptr), {} };
    o.FixedRange = ws.RangeRadioGroup == 1; // the parameter file's colour range and dB floor
    o.RangeLo = ws.RangeMinSpinEdit;
    o.RangeHi = ws.RangeMaxSpinEdit;
    o.DbFloor = ws.DbFloorSpinEdit;
    o.DecimalSep = sep;
    if (opt.Png && opt.ReportMap)
        map::SaveMapPng(QString::fromStdString(*opt.Png), scene, o);
    if (opt.Pdf)
        map::SaveMapPdf(QString::fromStdString(*opt.Pdf), scene, o);
    if (opt.Svg)
        map::SaveMapSvg(QString::fromStdString(*opt.Svg), scene, o);
}

// The array's limits as lines of text: the wavenumber, its wavelength and,
// for C(dF), its frequency.
void WriteArrayLimits(std::ostream &out, const calc::TCalcSnapshot &snapshot)
{
    const calc::TCalcParams &p = snapshot.Params;
    if (p.Mode != calc::TShowMode::smCdK && p.Mode != calc::TShowMode::smCdF)
        throw common::TValdrinError("Пределы решетки считаются для режимов cdk и cdf");
    if (snapshot.Stations.Count < p.N)
        throw common::TValdrinError(calc::StationRowMessage(snapshot.Stations));
    const calc::TArrayLimits limits
        = calc::ArrayLimits(snapshot.Stations, p.N, p.Degrees, snapshot.WaveGrid.KMax);
    const bool frequency = p.Mode == calc::TShowMode::smCdF;
    const auto line = [&](const char *label, double k) {
        out << label << ": ";
        if (std::isnan(k) || std::isinf(k)) {
            out << "нет в пределах " << common::FormatGeneral(snapshot.WaveGrid.KMax) << " 1/м\n";
            return;
        }
        // Six significant digits with a point, whatever the locale.
        const auto digits = [](double x) {
            char text[32];
            const auto r
                = std::to_chars(text, text + sizeof text, x, std::chars_format::general, 6);
            return std::string(text, r.ptr);
        };
        out << digits(k) << " 1/м, длина волны " << digits(1 / k) << " м";
        if (frequency)
            out << ", " << digits(k * p.Vp) << " Гц";
        out << '\n';
    };
    line("k_min (наименьшее по азимутам)", limits.KMinSmallest);
    line("k_min (среднее по азимутам)", limits.KMinMean);
    line("k_max (наложение)", limits.KMax);
    out.flush();
}

calc::TResult ReadReference(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw common::TValdrinError("Не удалось прочитать файл эталона: " + path);
    calc::TResultsParts parts;
    calc::ReadResultsPart(in, path, parts);
    return calc::JoinResultsParts(std::move(parts));
}

// What the runs of one command share: the user's separator, the working
// set as loaded, and the --reference result once a run has needed it.
struct TLoaded {
    char Sep = '.';
    TWorkingSet Ws;
    std::optional<calc::TResult> Reference;
};

TLoaded Load(const TCalcOptions &opt)
{
    const char sep = common::qt::UserDecimalSep();
    return { sep, LoadWorkingSet(opt.Params, sep), std::nullopt };
}

// One run on its own copy of the loaded set. The reference is read after the
// first computation, where a single run reads it, so errors keep their order.
int Run(const TCalcOptions &opt, TLoaded &loaded, std::ostream &out, std::ostream &err,
    bool showProgress)
{
    const char sep = loaded.Sep;
    TWorkingSet ws = loaded.Ws;
    params::SetValue(ws, *params::FindChoiceControl("SourceRadioGroup"), opt.Mode);
    if (opt.Plane)
        params::SetValue(ws, *params::FindChoiceControl("ViewRadioGroup"), *opt.Plane);
    if (opt.Medium)
        params::SetValue(ws, *params::FindChoiceControl("MediumRadioGroup"), *opt.Medium);
    params::SetValue(ws, *params::FindChoiceControl("UnitRadioGroup"), opt.Unit);
    for (const auto &[control, x] : opt.Reals)
        params::SetValue(ws, *control, x);

    const params::TSnapshotBuild build = params::MakeCalcSnapshot(ws, sep);
    if (opt.Limits) {
        WriteArrayLimits(out, build.Snapshot);
        return kExitOk;
    }
    calc::TRunControl control;
    control.Threads = opt.Threads;
    TProgressBar bar(err);
    if (showProgress)
        control.Progress = [&bar](int done, int total) { bar.Update(done, total); };
    std::optional<calc::TResult> result;
    try {
        // The window stops here too.
        if (!build.ModelRead)
            throw common::TValdrinError(build.ModelMessage);
        result = opt.Probability ? calc::RunProbabilityComputation(
                     build.Snapshot, opt.SigmaDb.value_or(3), *opt.Probability, control)
                                 : calc::RunComputation(build.Snapshot, control, opt.Rows);
    } catch (...) {
        bar.Clear();
        throw;
    }
    bar.Clear();
    if (!result || !result->Saveable)
        throw common::TValdrinError("Расчет не дал результата, который можно сохранить");
    if (opt.Reference) {
        // The class of a difference is C1 times it, its energy a ratio.
        if (!loaded.Reference)
            loaded.Reference = ReadReference(*opt.Reference);
        result = calc::DifferenceResult(*result, *loaded.Reference);
        ws.C2SpinEdit = 0;
    }

    if (opt.Format != formats::TResultFormat::Tsv) {
        formats::WriteResultGrid(
            opt.Format, opt.Output, out, *result, build.Snapshot, ws, sep, opt.NotRegistered);
    } else if (opt.Output) {
        WriteResults(*opt.Output, *result, ws, opt.Header);
    } else {
        calc::WriteResultsFile(
            out, *result, ws.VpSpinEdit, ws.C1SpinEdit, ws.C2SpinEdit, opt.Header);
        out.flush();
    }
    if (opt.Png || opt.Pdf || opt.Svg) {
        const TOffscreenGui gui;
        if (opt.Png && !opt.ReportMap)
            WriteMapPng(*opt.Png, params::MakeMapScene(ws, &*result, result->Saveable, sep), sep);
        WriteReportMaps(opt, *result, build.Snapshot, ws, sep);
    }
    return kExitOk;
}

// The file of plane number index of a stack: "_" and the number (three
// digits at least) before the output's extension.
std::string PlaneFileName(const std::string &output, std::size_t index)
{
    std::string number = std::to_string(index);
    if (number.size() < 3)
        number.insert(0, 3 - number.size(), '0');
    const auto slash = output.find_last_of("/\\");
    const auto dot = output.rfind('.');
    const bool ext = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return ext ? output.substr(0, dot) + "_" + number + output.substr(dot) : output + "_" + number;
}

// --planes: one run per plane, the plane's fixed coordinate set as its
// spin edit would be (a value outside its range is refused).
int RunPlanes(const TCalcOptions &opt, std::ostream &out, std::ostream &err, bool showProgress)
{
    if (!opt.Output)
        throw TUsageError { "Для --planes нужен --output: по файлу на плоскость" };
    // Each plane would write the same map file over the one before.
    if (const char *map = opt.Png ? "--png" : opt.Pdf ? "--pdf" : opt.Svg ? "--svg" : nullptr)
        throw TUsageError { std::string("--planes и ") + map + " вместе не задаются" };
    const int plane = opt.Plane.value_or(0);
    const char *controlName = plane == 1 ? "X0SpinEdit" : plane == 2 ? "Y0SpinEdit" : "Z0SpinEdit";
    const params::TRealControl *control = params::FindRealControl(controlName);
    for (const double w : opt.Planes)
        if (params::ApplyRangeRule(control->MinValue, control->MaxValue, w) != w)
            throw TUsageError { "Плоскость " + common::FormatGeneral(w) + " вне диапазона "
                + RangeText(*control) };
    TLoaded loaded = Load(opt);
    for (std::size_t i = 0; i < opt.Planes.size(); ++i) {
        TCalcOptions one = opt;
        one.Planes.clear();
        one.Output = PlaneFileName(*opt.Output, i);
        one.Reals.emplace_back(control, opt.Planes[i]);
        Run(one, loaded, out, err, showProgress);
    }
    return kExitOk;
}

} // namespace

int RunCalcCommand(
    const std::vector<std::string> &args, std::ostream &out, std::ostream &err, bool showProgress)
{
    TCalcOptions opt;
    const std::vector<TOption> options = CalcOptionTable(opt);
    return RunCommand(
        out, err, kCalcUsage, CalcHelp(options),
        [&] { return ParseCalcOptions(args, options, opt); },
        [&] {
            if (!opt.Planes.empty())
                return RunPlanes(opt, out, err, showProgress);
            TLoaded loaded = Load(opt);
            return Run(opt, loaded, out, err, showProgress);
        });
}

TWorkingSet LoadWorkingSet(const std::optional<std::string> &paramsFile, char decimalSep)
{
    TWorkingSet ws = params::DefaultWorkingSet(decimalSep);
    if (paramsFile) {
        CheckParamsFile(*paramsFile);
        params::LoadParamFile(*paramsFile, ws, params::TCurrentPlacement {}, decimalSep);
    }
    return ws;
}

int ReportException(std::ostream &err) noexcept
{
    try {
        try {
            throw;
        } catch (const common::TValdrinError &e) {
            err << e.what() << '\n';
        } catch (const std::bad_alloc &) {
            err << common::kOutOfMemoryMessage << '\n';
        } catch (const std::exception &e) {
            err << "Непредвиденная ошибка: " << e.what() << '\n';
        } catch (...) {
            err << "Непредвиденная ошибка\n";
        }
    } catch (...) { // err itself failed: the status still tells
    }
    return kExitInput;
}

} // namespace valdrin::cli
