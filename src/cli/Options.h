// The command line of valdrin-calc's commands: each command lists its options
// in one table (name, reader of the value with its range, help lines), read
// by one walker, and ends through one wrapper (usage error, help, failure).
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/StrRout.h"

namespace valdrin::cli {

// A mistake on the command line: its message, then the command's usage text.
struct TUsageError {
    std::string Message;
};

struct TOption {
    std::string_view Name; // "--plane"
    // Takes the value, or an empty string for a flag; throws TUsageError for
    // a value it refuses.
    std::function<void(const std::string &value)> Read;
    // The option's lines of the help text; empty where another entry's
    // lines cover it.
    std::string_view Help = {};
    bool Flag = false; // takes no value ("--name=..." is refused)
    // Whether the command at hand takes the option; empty: always.
    std::function<bool()> Offered = {};
};

// What a command does with an argument that is not an option.
using TPositional = std::function<void(const std::string &arg)>;

// Reads args from index first: "--name=value" or "--name value" for an
// option, a flag alone. Returns true at "--help" or "-h" (nothing after it is
// read). Where the command takes positional arguments, "--" makes the next
// argument one. Throws TUsageError: an unknown option, a missing value, an
// argument the command does not take, or what a reader refuses.
bool ReadOptions(const std::vector<std::string> &args, std::size_t first,
    std::span<const TOption> options, const TPositional &positional = {});

// The help lines of options, in the table's order.
std::string OptionsHelp(std::span<const TOption> options);

// Runs a command: parse reads the options (true: help was asked for), run
// does the work. A TUsageError from either writes its message and usage to
// err (kExitUsage); help writes usage and help to out (kExitOk); any other
// exception its message (ReportException).
int RunCommand(std::ostream &out, std::ostream &err, std::string_view usage, std::string_view help,
    const std::function<bool()> &parse, const std::function<int()> &run);

// Readers of values; the caller words the refusal.
using common::AsciiLower;
// A whole number from min to max.
std::optional<int> IntIn(const std::string &text, int min, int max);
// A real from min to max, typed with a point or a comma.
std::optional<double> RealIn(const std::string &text, double min, double max);
// Two whole numbers from min to max joined by x or X ("960x720").
std::optional<std::pair<int, int>> IntPairIn(const std::string &text, int min, int max);
// The value of the name text stands for, ASCII case ignored; throws
// TUsageError { refusal + text } for any other text.
int Choice(const std::string &text, std::initializer_list<std::pair<std::string_view, int>> choices,
    std::string_view refusal);
// --plane: xy, yz, xz as 0, 1, 2 (ViewRadioGroup).
int PlaneChoice(const std::string &text);

} // namespace valdrin::cli
