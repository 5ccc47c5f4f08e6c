#include "cli/CalcOptions.h"

#include <array>
#include <cmath>
#include <string_view>
#include <tuple>

#include "common/Error.h"
#include "common/NumText.h"

namespace valdrin::cli {

const char *const kCalcUsage
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

namespace {

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

// --mode: a mode name in any case (cdk ... source-size) or its number 1..6.
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
    TCalcOptions &opt, std::string_view name, std::string_view control, std::string_view help)
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

} // namespace

std::vector<TOption> CalcOptionTable(TCalcOptions &opt)
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
                const auto format = formats::ParseResultFormat(v);
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
                const auto x = RealIn(v, 36, 2400);
                if (!x)
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
                const auto x = RealIn(v, 0, 100);
                if (!x)
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

bool ParseCalcOptions(
    const std::vector<std::string> &args, std::span<const TOption> options, const TCalcOptions &opt)
{
    if (ReadOptions(args, 0, options))
        return true;
    if (opt.Format == formats::TResultFormat::NetCdf && !opt.Output)
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

std::string CalcHelp(std::span<const TOption> options)
{
    return kHelpHead + OptionsHelp(options) + kHelpTail;
}

std::string RangeText(const params::TRealControl &c)
{
    return common::FormatGeneral(c.MinValue) + " .. " + common::FormatGeneral(c.MaxValue);
}

} // namespace valdrin::cli
