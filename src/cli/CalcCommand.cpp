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
#include <span>
#include <string_view>
#include <tuple>

#include "calc/Computation.h"
#include "calc/Planning.h"
#include "calc/ResultsFile.h"
#include "calc/ResultsFileReader.h"
#include "cli/Options.h"
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

const char *const kHelpHead
    = "\n"
      "Расчет регистрационных возможностей сети без окна: тот же расчет, что по кнопке\n"
      "\"Считать\", и файл результатов, как по кнопке \"Сохранить\".\n"
      "\n";

const char *const kHelpTail
    = "  --help             эта справка\n"
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

// Numbers on the command line: a point or a comma, whatever the locale.
int ParseMode(const std::string &text)
{
    const std::string name = AsciiLower(text);
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

// A real that sets the control of that name. A value the window would clamp
// is refused here: a script must not compute with something other than what
// it asked for.
TOption RealOption(
    TOptions &opt, std::string_view name, std::string_view control, std::string_view help)
{
    return { name,
        [&opt, name, control](const std::string &v) {
            const params::TRealControl *c = params::FindRealControl(control);
            const auto x = common::TextToFloatAnySep(v, '.');
            if (!x)
                throw TUsageError { "Неверное число " + std::string(name) + ": " + v };
            if (params::ApplyRangeRule(c->MinValue, c->MaxValue, *x) != *x)
                throw TUsageError { "Значение " + std::string(name) + " " + v + " вне диапазона "
                    + RangeText(*c) };
            opt.Reals.emplace_back(c, *x);
        },
        help };
}

// The options of the calculation, in the order of the help text; the readers
// fill opt.
std::vector<TOption> OptionTable(TOptions &opt)
{
    using V = const std::string &;
    return {
        { "--params", [&opt](V v) { opt.Params = v; },
            "  --params ФАЙЛ      файл параметров (.ini), загружается так же, как в окне;\n"
            "                     без него - начальный набор окна (25 станций по умолчанию)\n" },
        { "--mode", [&opt](V v) { opt.Mode = ParseMode(v); },
            "  --mode РЕЖИМ       cdk, cdf, magnitude, location-error, corner-frequency,\n"
            "                     source-size или номер режима 1..6 (по умолчанию magnitude)\n" },
        { "--plane", [&opt](V v) { opt.Plane = PlaneChoice(v); },
            "  --plane П          плоскость xy, yz или xz (по умолчанию xy)\n" },
        { "--output", [&opt](V v) { opt.Output = v; },
            "  --output ФАЙЛ      файл результатов (по умолчанию - стандартный вывод)\n" },
        { "--format",
            [&opt](V v) {
                const auto format = ParseResultFormat(v);
                if (!format)
                    throw TUsageError { "Неизвестный формат --format: " + v };
                opt.Format = *format;
            },
            "  --format Ф         формат результатов: tsv - файл результатов, как в окне (по\n"
            "                     умолчанию); xyz - \"x y значение\" для GMT; esri - сетка ESRI\n"
            "                     ASCII (шаги по осям равны); netcdf - netCDF-4 (CF), нужен "
            "--output\n" },
        { "--not-registered",
            [&opt](V v) {
                const auto x = common::TextToFloatAnySep(v, '.');
                if (!x && AsciiLower(v) != "nan")
                    throw TUsageError { "Неверное число --not-registered: " + v };
                opt.NotRegistered = x.value_or(std::numeric_limits<double>::quiet_NaN());
            },
            "  --not-registered ЗНАЧЕНИЕ   чем записать в xyz и esri узлы, которые не\n"
            "                     регистрируют k станций (по умолчанию NaN; в esri - NODATA)\n" },
        { "--medium",
            [&opt](V v) {
                opt.Medium = Choice(v, { { "homogeneous", 0 }, { "layered", 1 } },
                    "Неизвестная модель среды --medium: ");
            },
            "  --medium М         модель среды homogeneous или layered (по умолчанию "
            "homogeneous)\n" },
        RealOption(opt, "--surface-elevation", "SurfaceAltSpinEdit",
            "  --surface-elevation M   отметка поверхности, м, -10000..10000 (200)\n"),
        RealOption(opt, "--fc-multiplier", "FcNumSpinEdit",
            "  --fc-multiplier N  множитель n, 0.1..8 (5)\n"),
        RealOption(opt, "--kmax", "KmaxSpinEdit",
            "  --kmax K           диапазон волнового числа, 0.001..10 (0.005)\n"),
        RealOption(opt, "--dk", "dKSpinEdit",
            "  --dk D             шаг волнового числа, 0.0000001..1 (0.00002)\n"),
        RealOption(opt, "--c1", "C1SpinEdit",
            "  --c1 C1, --c2 C2   LgE = C1 * M + C2 в файле результатов (1.5 и 4.5)\n"),
        RealOption(opt, "--c2", "C2SpinEdit", {}),
        { "--threads",
            [&opt](V v) {
                const auto n = IntIn(v, 0, kMaxThreads);
                if (!n)
                    throw TUsageError { "Неверное число потоков --threads: " + v };
                opt.Threads = *n;
            },
            "  --threads N        число потоков расчета, 0 - все ядра (0)\n" },
        { "--png", [&opt](V v) { opt.Png = v; },
            "  --png ФАЙЛ         еще и карта результата с легендой, как в окне (PNG)\n" },
        { "--unit",
            [&opt](V v) {
                opt.Unit = Choice(
                    v, { { "0-1", 0 }, { "db", 1 }, { "дб", 1 } }, "Неизвестные единицы --unit: ");
            },
            "  --unit 0-1|db      единицы карты функции C (по умолчанию 0-1)\n" },
        { "--pdf", [&opt](V v) { opt.Pdf = v; },
            "  --pdf ФАЙЛ, --svg ФАЙЛ   карта для отчета: оси, изолинии, подписи станций,\n"
            "                     масштабная линейка, заголовок и легенда (PDF, SVG)\n" },
        { "--svg", [&opt](V v) { opt.Svg = v; } },
        { "--size",
            [&opt](V v) {
                const auto size = IntPairIn(v, 64, 16000);
                if (!size)
                    throw TUsageError { "Неверный размер --size: " + v + " (ШxВ, от 64 до 16000)" };
                std::tie(opt.Width, opt.Height) = *size;
                opt.ReportMap = true;
            },
            "  --size ШxВ         размер карты для отчета в пикселях (960x720); с ним и\n"
            "                     --png рисует карту для отчета\n" },
        { "--dpi",
            [&opt](V v) {
                const auto x = common::TextToFloatAnySep(v, '.');
                if (!x || !(*x >= 36 && *x <= 2400))
                    throw TUsageError { "Неверное разрешение --dpi: " + v + " (от 36 до 2400)" };
                opt.Dpi = *x;
                opt.ReportMap = true;
            },
            "  --dpi N            разрешение карты для отчета, точек на дюйм (96)\n" },
        { "--contours",
            [&opt](V v) {
                try {
                    opt.Contours = map::ParseContourLevels(v);
                } catch (const common::TValdrinError &e) {
                    throw TUsageError { std::string("--contours: ") + e.what() };
                }
                opt.ReportMap = true;
            },
            "  --contours УРОВНИ  изолинии: список уровней (\"0 0.5 1 1.5\"), auto или none\n"
            "                     (auto; для функции C - линии -3 и -6 дБ)\n" },
        { "--aspect",
            [&opt](V v) {
                const int aspect
                    = Choice(v, { { "true", 0 }, { "fill", 1 } }, "Неизвестный режим --aspect: ");
                opt.Aspect
                    = aspect == 0 ? map::TAspectMode::TrueProportions : map::TAspectMode::Fill;
                opt.ReportMap = true;
            },
            "  --aspect true|fill истинные пропорции (true) или во всю рамку (fill)\n" },
        { "--rows", [&opt](V v) { opt.Rows = ParseRows(v); },
            "  --rows I0:I1       только строки I0..I1 сетки (индекс по первой оси плоскости,\n"
            "                     от 0), режимы 3..6: узлы с теми же координатами и значениями,\n"
            "                     что при расчете всей сетки; части, склеенные по порядку\n"
            "                     (первая с заголовком, остальные с --no-header), дают тот же\n"
            "                     файл байт в байт\n" },
        { "--no-header", [&opt](V) { opt.Header = false; },
            "  --no-header        без строки заголовка в файле результатов\n", true },
        { "--planes", [&opt](V v) { opt.Planes = ParsePlanes(v); },
            "  --planes W0:W1:ШАГ стопка плоскостей: неподвижная координата плоскости (Z для "
            "xy,\n"
            "                     X для yz, Y для xz) от W0 до W1 с шагом ШАГ, по файлу на\n"
            "                     плоскость: --output ИМЯ.txt дает ИМЯ_000.txt, ИМЯ_001.txt, "
            "...\n"
            "                     (номер плоскости от 0, не меньше трех цифр)\n" },
        { "--probability",
            [&opt](V v) {
                const auto x = common::TextToFloatAnySep(v, '.');
                if (!x || !(*x > 0 && *x < 1))
                    throw TUsageError { "Неверное значение --probability: " + v
                        + " (больше 0 и меньше 1)" };
                opt.Probability = *x;
            },
            "  --probability P    режим magnitude: магнитуда, которую регистрируют не менее k\n"
            "                     станций с вероятностью P (0 < P < 1, например 0.9), при\n"
            "                     разбросе уровня шума --sigma-db\n" },
        { "--sigma-db",
            [&opt](V v) {
                const auto x = common::TextToFloatAnySep(v, '.');
                if (!x || !(*x >= 0 && *x <= 100))
                    throw TUsageError { "Неверное значение --sigma-db: " + v
                        + " (от 0 до 100 дБ)" };
                opt.SigmaDb = *x;
            },
            "  --sigma-db S       логнормальный разброс амплитуды шума станций, дБ (3)\n" },
        { "--reference", [&opt](V v) { opt.Reference = v; },
            "  --reference ФАЙЛ   записать разность: результат минус эталон (файл результатов\n"
            "                     того же режима, плоскости и сетки); в режиме magnitude\n"
            "                     K - разность классов, E - отношение энергий\n" },
        { "--limits", [&opt](V) { opt.Limits = true; },
            "  --limits           режимы cdk, cdf: вместо файла результатов - пределы решетки:\n"
            "                     разрешение k_min (полуширина центрального пика по половине\n"
            "                     мощности, наименьшая по азимутам и средняя) и наложение\n"
            "                     k_max (наименьшее волновое число, где боковой лепесток\n"
            "                     достигает 0.5, в пределах --kmax), в циклах на метр и как\n"
            "                     длины волн\n",
            true },
    };
}

// Reads args into opt through options (opt's table); true when help was
// asked for.
bool ParseOptions(
    const std::vector<std::string> &args, std::span<const TOption> options, const TOptions &opt)
{
    if (ReadOptions(args, 0, options))
        return true;
    if (opt.Format == TResultFormat::NetCdf && !opt.Output)
        throw TUsageError { "Для --format netcdf нужен --output ФАЙЛ" };
    if (opt.Png && (opt.Rows.First != 0 || opt.Rows.Last != -1))
        throw TUsageError { "--rows и --png вместе не задаются: карту частей рисует "
                            "valdrin-calc render" };
    if (opt.SigmaDb && !opt.Probability)
        throw TUsageError { "--sigma-db задается вместе с --probability" };
    if ((opt.Probability || opt.Reference) && (opt.Rows.First != 0 || opt.Rows.Last != -1))
        throw TUsageError { "--probability и --reference не задаются вместе с --rows" };
    return false;
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
    TOptions opt;
    const std::vector<TOption> options = OptionTable(opt);
    const std::string help = kHelpHead + OptionsHelp(options) + kHelpTail;
    return RunCommand(
        out, err, kUsage, help, [&] { return ParseOptions(args, options, opt); },
        [&] {
            return opt.Planes.empty() ? Run(opt, out, err, showProgress)
                                      : RunPlanes(opt, out, err, showProgress);
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
