#include "cli/Options.h"

#include <algorithm>

#include "cli/CalcCommand.h"
#include "common/NumText.h"
#include "common/StrRout.h"

namespace valdrin::cli {

bool ReadOptions(const std::vector<std::string> &args, std::size_t first,
    std::span<const TOption> options, const TPositional &positional)
{
    for (std::size_t i = first; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h")
            return true;
        if (name.rfind("--", 0) != 0 || (name == "--" && positional)) {
            if (!positional)
                throw TUsageError { "Лишний аргумент: " + name };
            if (name == "--" && i + 1 < args.size())
                name = args[++i];
            positional(name);
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto option = std::find_if(options.begin(), options.end(),
            [&](const TOption &o) { return o.Name == name && (!o.Offered || o.Offered()); });
        if (option == options.end() || (option->Flag && inlineValue))
            throw TUsageError { "Неизвестный параметр: " + name };
        if (option->Flag) {
            option->Read({});
        } else if (inlineValue) {
            option->Read(*inlineValue);
        } else {
            if (i + 1 >= args.size())
                throw TUsageError { "Не задано значение " + name };
            option->Read(args[++i]);
        }
    }
    return false;
}

std::string OptionsHelp(std::span<const TOption> options)
{
    std::string text;
    for (const TOption &o : options)
        text += o.Help;
    return text;
}

int RunCommand(std::ostream &out, std::ostream &err, std::string_view usage, std::string_view help,
    const std::function<bool()> &parse, const std::function<int()> &run)
{
    try {
        try {
            if (parse()) {
                out << usage << help;
                return kExitOk;
            }
            return run();
        } catch (const TUsageError &e) {
            err << e.Message << '\n' << usage;
            return kExitUsage;
        }
    } catch (...) {
        return ReportException(err);
    }
}

std::optional<int> IntIn(const std::string &text, int min, int max)
{
    const auto n = common::TextToInt(text);
    if (!n || *n < min || *n > max)
        return std::nullopt;
    return n;
}

std::optional<double> RealIn(const std::string &text, double min, double max)
{
    const auto x = common::TextToFloatAnySep(text, '.');
    if (!x || !(*x >= min && *x <= max))
        return std::nullopt;
    return x;
}

std::optional<std::pair<int, int>> IntPairIn(const std::string &text, int min, int max)
{
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos)
        return std::nullopt;
    const auto a = IntIn(text.substr(0, x), min, max);
    const auto b = IntIn(text.substr(x + 1), min, max);
    if (!a || !b)
        return std::nullopt;
    return std::pair { *a, *b };
}

int Choice(const std::string &text, std::initializer_list<std::pair<std::string_view, int>> choices,
    std::string_view refusal)
{
    const std::string lower = common::AsciiLower(text);
    for (const auto &[name, value] : choices)
        if (name == lower)
            return value;
    throw TUsageError { std::string(refusal) + text };
}

int PlaneChoice(const std::string &text)
{
    return Choice(
        text, { { "xy", 0 }, { "yz", 1 }, { "xz", 2 } }, "Неизвестная плоскость --plane: ");
}

} // namespace valdrin::cli
