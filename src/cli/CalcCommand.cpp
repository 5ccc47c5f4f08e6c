#include "cli/CalcCommand.h"

#include <QLocale>
#include <QSaveFile>
#include <QString>
#ifdef VALDRIN_CLI_PNG
#include <QGuiApplication>
#include <QImage>

#include "map/qt/MapQt.h"
#endif

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <streambuf>
#include <string_view>

#include "app/ParamFile.h"
#include "app/WorkingSet.h"
#include "calc/Computation.h"
#include "calc/ResultsFile.h"
#include "common/Error.h"
#include "common/NumText.h"

namespace valdrin::cli {

namespace {

using app::TWorkingSet;

const char *const kUsage =
    "Использование: valdrin-calc [--params ФАЙЛ.ini] [--mode РЕЖИМ] [--plane xy|yz|xz]\n"
    "                    [--output ФАЙЛ] [--medium homogeneous|layered]\n"
    "                    [--surface-elevation M] [--fc-multiplier N] [--kmax K] [--dk D]\n"
    "                    [--c1 C1] [--c2 C2] [--threads N] [--png ФАЙЛ.png] [--unit 0-1|db]\n"
    "                    [--rows I0:I1] [--no-header] [--planes W0:W1:ШАГ]\n"
    "       valdrin-calc render ЧАСТЬ... --png ФАЙЛ.png   (valdrin-calc render --help)\n"
    "       valdrin-calc noise-level ФАЙЛ [...]   (valdrin-calc noise-level --help)\n";

const char *const kHelp =
    "\n"
    "Расчет регистрационных возможностей сети без окна: тот же расчет, что по кнопке\n"
    "\"Считать\", и файл результатов, как по кнопке \"Сохранить\".\n"
    "\n"
    "  --params ФАЙЛ      файл параметров (.ini), загружается так же, как в окне;\n"
    "                     без него - начальный набор окна (25 станций по умолчанию)\n"
    "  --mode РЕЖИМ       cdk, cdf, magnitude, location-error, corner-frequency,\n"
    "                     source-size или номер режима 1..6 (по умолчанию magnitude)\n"
    "  --plane П          плоскость xy, yz или xz (по умолчанию xy)\n"
    "  --output ФАЙЛ      файл результатов (по умолчанию - стандартный вывод)\n"
    "  --medium М         модель среды homogeneous или layered (по умолчанию homogeneous)\n"
    "  --surface-elevation M   отметка поверхности, м, -10000..10000 (200)\n"
    "  --fc-multiplier N  множитель n, 0.1..8 (5)\n"
    "  --kmax K           диапазон волнового числа, 0.001..10 (0.005)\n"
    "  --dk D             шаг волнового числа, 0.0000001..1 (0.00002)\n"
    "  --c1 C1, --c2 C2   LgE = C1 * M + C2 в файле результатов (1.5 и 4.5)\n"
    "  --threads N        число потоков расчета, 0 - все ядра (0)\n"
    "  --png ФАЙЛ         еще и карта результата с легендой, как в окне (PNG)\n"
    "  --unit 0-1|db      единицы карты функции C (по умолчанию 0-1)\n"
    "  --rows I0:I1       только строки I0..I1 сетки (индекс по первой оси плоскости,\n"
    "                     от 0), режимы 3..6: узлы с теми же координатами и значениями,\n"
    "                     что при расчете всей сетки; части, склеенные по порядку\n"
    "                     (первая с заголовком, остальные с --no-header), дают тот же\n"
    "                     файл байт в байт\n"
    "  --no-header        без строки заголовка в файле результатов\n"
    "  --planes W0:W1:ШАГ стопка плоскостей: неподвижная координата плоскости (Z для xy,\n"
    "                     X для yz, Y для xz) от W0 до W1 с шагом ШАГ, по файлу на\n"
    "                     плоскость: --output ИМЯ.txt дает ИМЯ_000.txt, ИМЯ_001.txt, ...\n"
    "                     (номер плоскости от 0, не меньше трех цифр)\n"
    "  --help             эта справка\n"
    "\n"
    "Настройки, которых нет в файле параметров, берутся по умолчанию окна, если не\n"
    "заданы здесь. Числа в параметрах командной строки - с точкой или запятой.\n"
    "Числа в ячейках таблиц (станции, затухание, слои) читаются с десятичным\n"
    "разделителем системной локали (LC_ALL, LC_NUMERIC, LANG), как в окне.\n"
    "\n"
    "Код возврата: 0 - готово, 2 - ошибка в командной строке, 3 - ошибка во входных\n"
    "данных (сообщение, как в окне, выводится в стандартный поток ошибок).\n";

struct TModeName {
    std::string_view Name;
    int Mode;
};
constexpr std::array<TModeName, 6> kModes{{{"cdk", 1},
                                           {"cdf", 2},
                                           {"magnitude", 3},
                                           {"location-error", 4},
                                           {"corner-frequency", 5},
                                           {"source-size", 6}}};

// Options taking a real value, with the control they set.
struct TRealOption {
    std::string_view Option;
    std::string_view Control;
};
constexpr std::array<TRealOption, 6> kRealOptions{{{"--surface-elevation", "SurfaceAltSpinEdit"},
                                                   {"--fc-multiplier", "FcNumSpinEdit"},
                                                   {"--kmax", "KmaxSpinEdit"},
                                                   {"--dk", "dKSpinEdit"},
                                                   {"--c1", "C1SpinEdit"},
                                                   {"--c2", "C2SpinEdit"}}};

constexpr int kMaxThreads = 1024;

struct TOptions {
    std::optional<std::string> Params, Output;
    int Mode = 3;
    std::optional<int> Plane, Medium;
    std::vector<std::pair<const app::TRealControl *, double>> Reals; // in command-line order
    int Threads = 0;
    std::optional<std::string> Png;
    int Unit = 0; // UnitRadioGroup: 0 "0-1", 1 "дБ"
    bool Help = false;
    calc::TRowRange Rows; // --rows
    bool Header = true; // false: --no-header
    std::vector<double> Planes; // --planes: the plane's fixed coordinate of each run
};

struct TUsageError {
    std::string Message;
};

std::string Lower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Numbers on the command line: a point or a comma, whatever the locale.
std::optional<double> ParseReal(const std::string &text)
{
    auto value = common::TextToFloat(text, '.');
    return value ? value : common::TextToFloat(text, ',');
}

int ParseMode(const std::string &text)
{
    const std::string name = Lower(text);
    for (const TModeName &m : kModes)
        if (m.Name == name)
            return m.Mode;
    if (const auto n = common::TextToInt(text); n && *n >= 1 && *n <= 6)
        return *n;
    throw TUsageError{"Неизвестный режим --mode: " + text};
}

std::string RangeText(const app::TRealControl &c)
{
    return common::FormatGeneral(c.MinValue) + " .. " + common::FormatGeneral(c.MaxValue);
}

// "I0:I1", 0 <= I0 <= I1.
calc::TRowRange ParseRows(const std::string &text)
{
    const auto colon = text.find(':');
    const auto first = colon == std::string::npos ? std::nullopt : common::TextToInt(text.substr(0, colon));
    const auto last = colon == std::string::npos ? std::nullopt : common::TextToInt(text.substr(colon + 1));
    if (!first || !last || *first < 0 || *first > *last)
        throw TUsageError { "Неверный диапазон строк --rows (нужно I0:I1, 0 <= I0 <= I1): " + text };
    return { *first, *last };
}

// "W0:W1:STEP": W0, W0 + STEP, ... up to W1 (within a millionth of a step).
std::vector<double> ParsePlanes(const std::string &text)
{
    constexpr long long kMaxPlanes = 100000;
    std::vector<std::optional<double>> w;
    std::size_t start = 0;
    for (;;) {
        const auto colon = text.find(':', start);
        w.push_back(ParseReal(text.substr(start, colon == std::string::npos ? colon : colon - start)));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    const auto bad = [&] {
        return TUsageError { "Неверная стопка плоскостей --planes (нужно W0:W1:ШАГ, шаг в "
                             "сторону W1): "
            + text };
    };
    if (w.size() != 3 || !w[0] || !w[1] || !w[2] || !std::isfinite(*w[0]) || !std::isfinite(*w[1])
        || !std::isfinite(*w[2]))
        throw bad();
    const double w0 = *w[0], w1 = *w[1], step = *w[2];
    const double span = (w1 - w0) / step;
    if (step == 0 || !(span > -1e-6) || !(span < kMaxPlanes))
        throw bad();
    std::vector<double> planes;
    for (long long i = 0; static_cast<double>(i) <= span + 1e-6; ++i)
        planes.push_back(w0 + static_cast<double>(i) * step);
    return planes;
}

TOptions ParseOptions(const std::vector<std::string> &args)
{
    TOptions opt;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            opt.Help = true;
            return opt;
        }
        if (name.rfind("--", 0) != 0)
            throw TUsageError{"Лишний аргумент: " + name};
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto value = [&]() -> std::string {
            if (inlineValue)
                return *inlineValue;
            if (i + 1 >= args.size())
                throw TUsageError{"Не задано значение " + name};
            return args[++i];
        };
        if (name == "--params") {
            opt.Params = value();
        } else if (name == "--output") {
            opt.Output = value();
        } else if (name == "--mode") {
            opt.Mode = ParseMode(value());
        } else if (name == "--plane") {
            const std::string v = value();
            const std::string p = Lower(v);
            if (p == "xy")
                opt.Plane = 0;
            else if (p == "yz")
                opt.Plane = 1;
            else if (p == "xz")
                opt.Plane = 2;
            else
                throw TUsageError{"Неизвестная плоскость --plane: " + v};
        } else if (name == "--medium") {
            const std::string v = value();
            const std::string m = Lower(v);
            if (m == "homogeneous")
                opt.Medium = 0;
            else if (m == "layered")
                opt.Medium = 1;
            else
                throw TUsageError{"Неизвестная модель среды --medium: " + v};
        } else if (name == "--png") {
            opt.Png = value();
        } else if (name == "--rows") {
            opt.Rows = ParseRows(value());
        } else if (name == "--no-header") {
            opt.Header = false;
        } else if (name == "--planes") {
            opt.Planes = ParsePlanes(value());
        } else if (name == "--unit") {
            const std::string v = value();
            const std::string u = Lower(v);
            if (u == "0-1")
                opt.Unit = 0;
            else if (u == "db" || u == "дб")
                opt.Unit = 1;
            else
                throw TUsageError{"Неизвестные единицы --unit: " + v};
        } else if (name == "--threads") {
            const std::string v = value();
            const auto n = common::TextToInt(v);
            if (!n || *n < 0 || *n > kMaxThreads)
                throw TUsageError{"Неверное число потоков --threads: " + v};
            opt.Threads = *n;
        } else {
            const auto it = std::find_if(kRealOptions.begin(), kRealOptions.end(),
                                         [&](const TRealOption &o) { return o.Option == name; });
            if (it == kRealOptions.end())
                throw TUsageError{"Неизвестный параметр: " + name};
            const app::TRealControl *control = app::FindRealControl(it->Control);
            const std::string v = value();
            const auto x = ParseReal(v);
            if (!x)
                throw TUsageError{"Неверное число " + name + ": " + v};
            // A value the window would clamp is refused here: a script must
            // not compute with something other than what it asked for.
            if (app::ApplyRangeRule(control->MinValue, control->MaxValue, *x) != *x)
                throw TUsageError{"Значение " + name + " " + v + " вне диапазона "
                                  + RangeText(*control)};
            opt.Reals.emplace_back(control, *x);
        }
    }
    return opt;
}

char SystemDecimalSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80)
        return static_cast<char>(point.at(0).unicode());
    return '.';
}

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
        readable = f && !ec && size <= app::TIniFile::kMaxFileSize;
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

// Streams into a QSaveFile, so that a failed run never leaves half a file.
class TSaveFileBuf : public std::streambuf {
public:
    explicit TSaveFileBuf(QSaveFile &file)
        : m_file(file)
    {
        setp(m_buf.data(), m_buf.data() + m_buf.size());
    }
    ~TSaveFileBuf() override { sync(); }

protected:
    int_type overflow(int_type ch) override
    {
        if (sync() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }
    int sync() override
    {
        const qint64 n = pptr() - pbase();
        if (n > 0 && m_file.write(pbase(), n) != n)
            return -1;
        setp(m_buf.data(), m_buf.data() + m_buf.size());
        return 0;
    }

private:
    QSaveFile &m_file;
    std::array<char, 1 << 16> m_buf{};
};

void WriteResults(
    const std::string &path, const calc::TResult &result, const TWorkingSet &ws, bool header)
{
    const QString name = QString::fromStdString(path);
    QSaveFile file(name);
    const auto fail = [&] {
        return common::TValdrinError(
            QStringLiteral("Ошибка записи файла %1: %2").arg(name, file.errorString()).toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        throw fail();
    {
        TSaveFileBuf buf(file);
        std::ostream stream(&buf);
        calc::WriteResultsFile(
            stream, result, ws.VpSpinEdit, ws.C1SpinEdit, ws.C2SpinEdit, header);
        stream.flush();
        if (!stream)
            throw fail();
    }
    if (!file.commit())
        throw fail();
}

#ifdef VALDRIN_CLI_PNG
// The window's map of the result with its legend, drawn without a display.
void WritePng(const std::string &path, const calc::TResult &result,
              const calc::TCalcSnapshot &snapshot, const TWorkingSet &ws, char sep)
{
    static int argc = 1;
    static char name[] = "valdrin-calc";
    static char *argv[] = {name, nullptr};
    // Qt's own notes about the headless platform would end up among the
    // command's messages.
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
    scene.SaveEnabled = result.Saveable;
    scene.Plane = snapshot.Params.Plane;
    scene.Stations = snapshot.Stations;
    scene.CooGrid = ws.CooGrid;
    scene.PlaneGrid = snapshot.PlaneGrid;
    scene.WaveGrid = snapshot.WaveGrid;
    scene.Unit = static_cast<map::TResponseUnit>(ws.UnitRadioGroup);
    const map::TRedrawn redrawn = map::RedrawMap(bitmap, geometry, scene);
    map::SaveMapPng(QString::fromStdString(path), bitmap, redrawn.Legend, sep);
}
#endif

int Run(const TOptions &opt, std::ostream &out, std::ostream &err, bool showProgress)
{
    const char sep = SystemDecimalSeparator();
    TWorkingSet ws = app::DefaultWorkingSet(sep);
    if (opt.Params) {
        CheckParamsFile(*opt.Params);
        app::LoadParamFile(*opt.Params, ws, app::TCurrentPlacement{}, sep);
    }
    app::SetValue(ws, *app::FindChoiceControl("SourceRadioGroup"), opt.Mode);
    if (opt.Plane)
        app::SetValue(ws, *app::FindChoiceControl("ViewRadioGroup"), *opt.Plane);
    if (opt.Medium)
        app::SetValue(ws, *app::FindChoiceControl("MediumRadioGroup"), *opt.Medium);
    app::SetValue(ws, *app::FindChoiceControl("UnitRadioGroup"), opt.Unit);
    for (const auto &[control, x] : opt.Reals)
        app::SetValue(ws, *control, x);

    const app::TSnapshotBuild build = app::MakeCalcSnapshot(ws, sep);
    calc::TRunControl control;
    control.Threads = opt.Threads;
    TProgressBar bar(err);
    if (showProgress)
        control.Progress = [&bar](int done, int total) { bar.Update(done, total); };
    std::optional<calc::TResult> result;
    try {
        // The window stops here too.
        if (!build.ModelRead)
            throw common::TValdrinError(app::kModelErrorMessage);
        result = calc::RunComputation(build.Snapshot, control, opt.Rows);
    } catch (...) {
        bar.Clear();
        throw;
    }
    bar.Clear();
    if (!result || !result->Saveable)
        throw common::TValdrinError("Расчет не дал результата, который можно сохранить");

    if (opt.Output) {
        WriteResults(*opt.Output, *result, ws, opt.Header);
    } else {
        calc::WriteResultsFile(
            out, *result, ws.VpSpinEdit, ws.C1SpinEdit, ws.C2SpinEdit, opt.Header);
        out.flush();
    }
    if (opt.Png) {
#ifdef VALDRIN_CLI_PNG
        WritePng(*opt.Png, *result, build.Snapshot, ws, sep);
#else
        throw common::TValdrinError("Карта в PNG недоступна: программа собрана без модуля карты");
#endif
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
    return ext ? output.substr(0, dot) + "_" + number + output.substr(dot)
               : output + "_" + number;
}

// --planes: one run per plane, the plane's fixed coordinate set as its
// spin edit would be (a value outside its range is refused).
int RunPlanes(const TOptions &opt, std::ostream &out, std::ostream &err, bool showProgress)
{
    if (!opt.Output)
        throw TUsageError { "Для --planes нужен --output: по файлу на плоскость" };
    if (opt.Png)
        throw TUsageError { "--planes и --png вместе не задаются" };
    const int plane = opt.Plane.value_or(0);
    const char *controlName = plane == 1 ? "X0SpinEdit" : plane == 2 ? "Y0SpinEdit" : "Z0SpinEdit";
    const app::TRealControl *control = app::FindRealControl(controlName);
    for (const double w : opt.Planes)
        if (app::ApplyRangeRule(control->MinValue, control->MaxValue, w) != w)
            throw TUsageError { "Плоскость " + common::FormatGeneral(w) + " вне диапазона "
                + RangeText(*control) };
    for (std::size_t i = 0; i < opt.Planes.size(); ++i) {
        TOptions one = opt;
        one.Planes.clear();
        one.Output = PlaneFileName(*opt.Output, i);
        one.Reals.emplace_back(control, opt.Planes[i]);
        Run(one, out, err, showProgress);
    }
    return kExitOk;
}

} // namespace

int RunCalcCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
                   bool showProgress)
{
    try {
        TOptions opt;
        try {
            opt = ParseOptions(args);
            if (opt.Png && (opt.Rows.First != 0 || opt.Rows.Last != -1))
                throw TUsageError { "--rows и --png вместе не задаются: карту частей рисует "
                                    "valdrin-calc render" };
            if (!opt.Planes.empty())
                return RunPlanes(opt, out, err, showProgress);
        } catch (const TUsageError &e) {
            err << e.Message << '\n' << kUsage;
            return kExitUsage;
        }
        if (opt.Help) {
            out << kUsage << kHelp;
            return kExitOk;
        }
        return Run(opt, out, err, showProgress);
    } catch (...) {
        return ReportException(err);
    }
}

int ReportException(std::ostream &err) noexcept
{
    try {
        try {
            throw;
        } catch (const common::TValdrinError &e) {
            err << e.what() << '\n';
        } catch (const std::bad_alloc &) {
            err << "Недостаточно памяти\n";
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
