#include "cli/CalcCommand.h"

#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QString>

#include "map/qt/MapQt.h"
#include "map/qt/MapRender.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

#include "calc/Computation.h"
#include "calc/Planning.h"
#include "calc/ResultsFile.h"
#include "calc/ResultsFileReader.h"
#include "cli/ResultFormats.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "common/SafeFile.h"
#include "common/qt/DecimalSep.h"
#include "map/Contours.h"
#include "params/ParamFile.h"
#include "params/WorkingSet.h"

namespace valdrin::cli {

namespace {

using params::TWorkingSet;

const char *const kUsage
    = "Использование: valdrin-calc [--params ФАЙЛ.ini] [--mode РЕЖИМ] [--plane xy|yz|xz]\n"
      "                    [--output ФАЙЛ] [--medium homogeneous|layered]\n"
      "                    [--surface-elevation M] [--fc-multiplier N] [--kmax K] [--dk D]\n"
      "                    [--c1 C1] [--c2 C2] [--threads N] [--png ФАЙЛ.png] [--unit 0-1|db]\n"
      "                    [--pdf ФАЙЛ.pdf] [--svg ФАЙЛ.svg] [--size ШxВ] [--dpi N]\n"
      "                    [--contours УРОВНИ|auto] [--aspect true|fill]\n"
      "                    [--rows I0:I1] [--no-header] [--planes W0:W1:ШАГ]\n"
      "                    [--format tsv|xyz|esri|netcdf] [--not-registered ЗНАЧЕНИЕ]\n"
      "                    [--probability P] [--sigma-db S] [--reference ФАЙЛ] [--limits]\n"
      "       valdrin-calc render ЧАСТЬ... --png ФАЙЛ.png   (valdrin-calc render --help)\n"
      "       valdrin-calc noise-level ФАЙЛ [...]   (valdrin-calc noise-level --help)\n"
      "       valdrin-calc stations import|export ...   (valdrin-calc stations --help)\n"
      "       valdrin-calc plan outage|next-station [...]   (valdrin-calc plan --help)\n";

const char *const kHelp
    = "\n"
      "Расчет регистрационных возможностей сети без окна: тот же расчет, что по кнопке\n"
      "\"Считать\", и файл результатов, как по кнопке \"Сохранить\".\n"
      "\n"
      "  --params ФАЙЛ      файл параметров (.ini), загружается так же, как в окне;\n"
      "                     без него - начальный набор окна (25 станций по умолчанию)\n"
      "  --mode РЕЖИМ       cdk, cdf, magnitude, location-error, corner-frequency,\n"
      "                     source-size или номер режима 1..6 (по умолчанию magnitude)\n"
      "  --plane П          плоскость xy, yz или xz (по умолчанию xy)\n"
      "  --output ФАЙЛ      файл результатов (по умолчанию - стандартный вывод)\n"
      "  --format Ф         формат результатов: tsv - файл результатов, как в окне (по\n"
      "                     умолчанию); xyz - \"x y значение\" для GMT; esri - сетка ESRI\n"
      "                     ASCII (шаги по осям равны); netcdf - netCDF-4 (CF), нужен --output\n"
      "  --not-registered ЗНАЧЕНИЕ   чем записать в xyz и esri узлы, которые не\n"
      "                     регистрируют k станций (по умолчанию NaN; в esri - NODATA)\n"
      "  --medium М         модель среды homogeneous или layered (по умолчанию homogeneous)\n"
      "  --surface-elevation M   отметка поверхности, м, -10000..10000 (200)\n"
      "  --fc-multiplier N  множитель n, 0.1..8 (5)\n"
      "  --kmax K           диапазон волнового числа, 0.001..10 (0.005)\n"
      "  --dk D             шаг волнового числа, 0.0000001..1 (0.00002)\n"
      "  --c1 C1, --c2 C2   LgE = C1 * M + C2 в файле результатов (1.5 и 4.5)\n"
      "  --threads N        число потоков расчета, 0 - все ядра (0)\n"
      "  --png ФАЙЛ         еще и карта результата с легендой, как в окне (PNG)\n"
      "  --unit 0-1|db      единицы карты функции C (по умолчанию 0-1)\n"
      "  --pdf ФАЙЛ, --svg ФАЙЛ   карта для отчета: оси, изолинии, подписи станций,\n"
      "                     масштабная линейка, заголовок и легенда (PDF, SVG)\n"
      "  --size ШxВ         размер карты для отчета в пикселях (960x720); с ним и\n"
      "                     --png рисует карту для отчета\n"
      "  --dpi N            разрешение карты для отчета, точек на дюйм (96)\n"
      "  --contours УРОВНИ  изолинии: список уровней (\"0 0.5 1 1.5\"), auto или none\n"
      "                     (auto; для функции C - линии -3 и -6 дБ)\n"
      "  --aspect true|fill истинные пропорции (true) или во всю рамку (fill)\n"
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
      "  --probability P    режим magnitude: магнитуда, которую регистрируют не менее k\n"
      "                     станций с вероятностью P (0 < P < 1, например 0.9), при\n"
      "                     разбросе уровня шума --sigma-db\n"
      "  --sigma-db S       логнормальный разброс амплитуды шума станций, дБ (3)\n"
      "  --reference ФАЙЛ   записать разность: результат минус эталон (файл результатов\n"
      "                     того же режима, плоскости и сетки); в режиме magnitude\n"
      "                     K - разность классов, E - отношение энергий\n"
      "  --limits           режимы cdk, cdf: вместо файла результатов - пределы решетки:\n"
      "                     разрешение k_min (полуширина центрального пика по половине\n"
      "                     мощности, наименьшая по азимутам и средняя) и наложение\n"
      "                     k_max (наименьшее волновое число, где боковой лепесток\n"
      "                     достигает 0.5, в пределах --kmax), в циклах на метр и как\n"
      "                     длины волн\n"
      "  --help             эта справка\n"
      "\n"
      "Настройки, которых нет в файле параметров, берутся по умолчанию окна, если не\n"
      "заданы здесь. Числа в параметрах командной строки - с точкой или запятой.\n"
      "Числа в ячейках таблиц (станции, затухание, слои) читаются, как в окне, с\n"
      "десятичным разделителем - точкой или запятой, при любой системной локали.\n"
      "\n"
      "Код возврата: 0 - готово, 2 - ошибка в командной строке, 3 - ошибка во входных\n"
      "данных (сообщение, как в окне, выводится в стандартный поток ошибок).\n";

struct TModeName {
    std::string_view Name;
    int Mode;
};
constexpr std::array<TModeName, 6> kModes { { { "cdk", 1 }, { "cdf", 2 }, { "magnitude", 3 },
    { "location-error", 4 }, { "corner-frequency", 5 }, { "source-size", 6 } } };

// Options taking a real value, with the control they set.
struct TRealOption {
    std::string_view Option;
    std::string_view Control;
};
constexpr std::array<TRealOption, 6> kRealOptions {
    { { "--surface-elevation", "SurfaceAltSpinEdit" }, { "--fc-multiplier", "FcNumSpinEdit" },
        { "--kmax", "KmaxSpinEdit" }, { "--dk", "dKSpinEdit" }, { "--c1", "C1SpinEdit" },
        { "--c2", "C2SpinEdit" } }
};

constexpr int kMaxThreads = 1024;

struct TOptions {
    std::optional<std::string> Params, Output;
    int Mode = 3;
    std::optional<int> Plane, Medium;
    std::vector<std::pair<const params::TRealControl *, double>> Reals; // in command-line order
    int Threads = 0;
    std::optional<std::string> Png, Pdf, Svg;
    // The report map; any of its options sends --png through it as well.
    bool ReportMap = false;
    map::TContourLevels Contours { true, {} };
    map::TAspectMode Aspect = map::TAspectMode::TrueProportions;
    int Width = 960, Height = 720;
    double Dpi = 96;
    int Unit = 0; // UnitRadioGroup: 0 "0-1", 1 "дБ"
    bool Help = false;
    calc::TRowRange Rows; // --rows
    bool Header = true; // false: --no-header
    std::vector<double> Planes; // --planes: the plane's fixed coordinate of each run
    TResultFormat Format = TResultFormat::Tsv;
    double NotRegistered = std::numeric_limits<double>::quiet_NaN(); // xyz, esri
    std::optional<double> Probability; // --probability
    std::optional<double> SigmaDb; // --sigma-db, dB
    std::optional<std::string> Reference; // --reference: results file to subtract
    bool Limits = false; // --limits: the array's limits instead of the results
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
int ParseMode(const std::string &text)
{
    const std::string name = Lower(text);
    for (const TModeName &m : kModes)
        if (m.Name == name)
            return m.Mode;
    if (const auto n = common::TextToInt(text); n && *n >= 1 && *n <= 6)
        return *n;
    throw TUsageError { "Неизвестный режим --mode: " + text };
}

std::string RangeText(const params::TRealControl &c)
{
    return common::FormatGeneral(c.MinValue) + " .. " + common::FormatGeneral(c.MaxValue);
}

// "I0:I1", 0 <= I0 <= I1.
calc::TRowRange ParseRows(const std::string &text)
{
    const auto colon = text.find(':');
    const auto first
        = colon == std::string::npos ? std::nullopt : common::TextToInt(text.substr(0, colon));
    const auto last
        = colon == std::string::npos ? std::nullopt : common::TextToInt(text.substr(colon + 1));
    if (!first || !last || *first < 0 || *first > *last)
        throw TUsageError { "Неверный диапазон строк --rows (нужно I0:I1, 0 <= I0 <= I1): "
            + text };
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
        w.push_back(common::TextToFloatAnySep(
            text.substr(start, colon == std::string::npos ? colon : colon - start), '.'));
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
            throw TUsageError { "Лишний аргумент: " + name };
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
                throw TUsageError { "Неизвестная плоскость --plane: " + v };
        } else if (name == "--medium") {
            const std::string v = value();
            const std::string m = Lower(v);
            if (m == "homogeneous")
                opt.Medium = 0;
            else if (m == "layered")
                opt.Medium = 1;
            else
                throw TUsageError { "Неизвестная модель среды --medium: " + v };
        } else if (name == "--png") {
            opt.Png = value();
        } else if (name == "--pdf") {
            opt.Pdf = value();
        } else if (name == "--svg") {
            opt.Svg = value();
        } else if (name == "--size") {
            const std::string v = value();
            const auto x = Lower(v).find('x');
            const auto w
                = x == std::string::npos ? std::nullopt : common::TextToInt(v.substr(0, x));
            const auto h
                = x == std::string::npos ? std::nullopt : common::TextToInt(v.substr(x + 1));
            if (!w || !h || *w < 64 || *w > 16000 || *h < 64 || *h > 16000)
                throw TUsageError { "Неверный размер --size: " + v + " (ШxВ, от 64 до 16000)" };
            opt.Width = *w;
            opt.Height = *h;
            opt.ReportMap = true;
        } else if (name == "--dpi") {
            const std::string v = value();
            const auto x = common::TextToFloatAnySep(v, '.');
            if (!x || !(*x >= 36 && *x <= 2400))
                throw TUsageError { "Неверное разрешение --dpi: " + v + " (от 36 до 2400)" };
            opt.Dpi = *x;
            opt.ReportMap = true;
        } else if (name == "--contours") {
            try {
                opt.Contours = map::ParseContourLevels(value());
            } catch (const common::TValdrinError &e) {
                throw TUsageError { std::string("--contours: ") + e.what() };
            }
            opt.ReportMap = true;
        } else if (name == "--aspect") {
            const std::string v = value();
            const std::string a = Lower(v);
            if (a == "true")
                opt.Aspect = map::TAspectMode::TrueProportions;
            else if (a == "fill")
                opt.Aspect = map::TAspectMode::Fill;
            else
                throw TUsageError { "Неизвестный режим --aspect: " + v };
            opt.ReportMap = true;
        } else if (name == "--rows") {
            opt.Rows = ParseRows(value());
        } else if (name == "--no-header") {
            opt.Header = false;
        } else if (name == "--planes") {
            opt.Planes = ParsePlanes(value());
        } else if (name == "--limits") {
            opt.Limits = true;
        } else if (name == "--reference") {
            opt.Reference = value();
        } else if (name == "--probability" || name == "--sigma-db") {
            const std::string v = value();
            const auto x = common::TextToFloatAnySep(v, '.');
            const bool probability = name == "--probability";
            if (!x || (probability ? !(*x > 0 && *x < 1) : !(*x >= 0 && *x <= 100)))
                throw TUsageError { "Неверное значение " + name + ": " + v
                    + (probability ? " (больше 0 и меньше 1)" : " (от 0 до 100 дБ)") };
            (probability ? opt.Probability : opt.SigmaDb) = *x;
        } else if (name == "--unit") {
            const std::string v = value();
            const std::string u = Lower(v);
            if (u == "0-1")
                opt.Unit = 0;
            else if (u == "db" || u == "дб")
                opt.Unit = 1;
            else
                throw TUsageError { "Неизвестные единицы --unit: " + v };
        } else if (name == "--format") {
            const std::string v = value();
            const auto format = ParseResultFormat(v);
            if (!format)
                throw TUsageError { "Неизвестный формат --format: " + v };
            opt.Format = *format;
        } else if (name == "--not-registered") {
            const std::string v = value();
            const auto x = common::TextToFloatAnySep(v, '.');
            if (!x && Lower(v) != "nan")
                throw TUsageError { "Неверное число --not-registered: " + v };
            opt.NotRegistered = x.value_or(std::numeric_limits<double>::quiet_NaN());
        } else if (name == "--threads") {
            const std::string v = value();
            const auto n = common::TextToInt(v);
            if (!n || *n < 0 || *n > kMaxThreads)
                throw TUsageError { "Неверное число потоков --threads: " + v };
            opt.Threads = *n;
        } else {
            const auto it = std::find_if(kRealOptions.begin(), kRealOptions.end(),
                [&](const TRealOption &o) { return o.Option == name; });
            if (it == kRealOptions.end())
                throw TUsageError { "Неизвестный параметр: " + name };
            const params::TRealControl *control = params::FindRealControl(it->Control);
            const std::string v = value();
            const auto x = common::TextToFloatAnySep(v, '.');
            if (!x)
                throw TUsageError { "Неверное число " + name + ": " + v };
            // A value the window would clamp is refused here: a script must
            // not compute with something other than what it asked for.
            if (params::ApplyRangeRule(control->MinValue, control->MaxValue, *x) != *x)
                throw TUsageError { "Значение " + name + " " + v + " вне диапазона "
                    + RangeText(*control) };
            opt.Reals.emplace_back(control, *x);
        }
    }
    if (opt.Format == TResultFormat::NetCdf && !opt.Output)
        throw TUsageError { "Для --format netcdf нужен --output ФАЙЛ" };
    return opt;
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

// Text drawing without a display: a QGuiApplication on the offscreen
// platform for as long as this lives.
class TOffscreenGui {
public:
    TOffscreenGui()
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
    ~TOffscreenGui()
    {
        m_app.reset();
        qInstallMessageHandler(m_previous);
    }
    TOffscreenGui(const TOffscreenGui &) = delete;
    TOffscreenGui &operator=(const TOffscreenGui &) = delete;

private:
    // Qt's own notes about the headless platform would end up among the
    // command's messages.
    QtMessageHandler m_previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        });
    std::unique_ptr<QGuiApplication> m_app;
};

// The window's map of the result with its legend, drawn without a display.
void WritePng(const std::string &path, const calc::TResult &result, const TWorkingSet &ws, char sep)
{
    map::TMapGeometry geometry;
    QImage bitmap = map::NewMapBitmap(geometry.W, geometry.H);
    const map::TMapScene scene = params::MakeMapScene(ws, &result, result.Saveable, sep);
    const map::TRedrawn redrawn = map::RedrawMap(bitmap, geometry, scene);
    map::SaveMapPng(QString::fromStdString(path), bitmap, redrawn.Legend, sep);
}

// The report map: the same scene through the page renderer.
void WriteReportMaps(const TOptions &opt, const calc::TResult &result,
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
    o.Title = { snapshot.Params.k, snapshot.Params.Medium, std::time(nullptr) };
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

int Run(const TOptions &opt, std::ostream &out, std::ostream &err, bool showProgress)
{
    const char sep = common::qt::UserDecimalSep();
    TWorkingSet ws = LoadWorkingSet(opt.Params, sep);
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
        result = calc::DifferenceResult(*result, ReadReference(*opt.Reference));
        ws.C2SpinEdit = 0;
    }

    if (opt.Format != TResultFormat::Tsv) {
        WriteResultGrid(
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
            WritePng(*opt.Png, *result, ws, sep);
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
int RunPlanes(const TOptions &opt, std::ostream &out, std::ostream &err, bool showProgress)
{
    if (!opt.Output)
        throw TUsageError { "Для --planes нужен --output: по файлу на плоскость" };
    if (opt.Png)
        throw TUsageError { "--planes и --png вместе не задаются" };
    const int plane = opt.Plane.value_or(0);
    const char *controlName = plane == 1 ? "X0SpinEdit" : plane == 2 ? "Y0SpinEdit" : "Z0SpinEdit";
    const params::TRealControl *control = params::FindRealControl(controlName);
    for (const double w : opt.Planes)
        if (params::ApplyRangeRule(control->MinValue, control->MaxValue, w) != w)
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

int RunCalcCommand(
    const std::vector<std::string> &args, std::ostream &out, std::ostream &err, bool showProgress)
{
    try {
        TOptions opt;
        try {
            opt = ParseOptions(args);
            if (opt.Png && (opt.Rows.First != 0 || opt.Rows.Last != -1))
                throw TUsageError { "--rows и --png вместе не задаются: карту частей рисует "
                                    "valdrin-calc render" };
            if (opt.SigmaDb && !opt.Probability)
                throw TUsageError { "--sigma-db задается вместе с --probability" };
            if ((opt.Probability || opt.Reference) && (opt.Rows.First != 0 || opt.Rows.Last != -1))
                throw TUsageError { "--probability и --reference не задаются вместе с --rows" };
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
