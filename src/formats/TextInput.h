// Shared plumbing of the readers and writers: bounded whole-file reads,
// line splitting with line numbers, strict numbers with a point, UTF-8
// checks, the messages with file name and line, and the safe replacement
// of a file (a temporary beside it, renamed over it).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/StrRout.h"
#include "params/Cp1251.h"

namespace valdrin::formats {

constexpr std::size_t kMaxFileBytes = 64u << 20; // every file a reader accepts, bytes
constexpr std::size_t kMaxLineBytes = 64u << 10; // one line of a text file, bytes

// The whole file at path (UTF-8), refused when it is not a regular file or
// exceeds kMaxFileBytes. Throws common::TValdrinError.
std::string ReadWholeFile(const std::string &path);

// "Файл «name», строка N: text" (the line part left out when line <= 0).
[[noreturn]] void Fail(const std::string &fileName, long line, const std::string &text);

// Lines of a text without their line ends (LF, CR LF or CR), a leading UTF-8
// byte-order mark dropped. Refuses lines longer than kMaxLineBytes, NUL
// bytes and text that is not UTF-8, naming the line.
struct TTextLine {
    std::string_view Text;
    long Number; // 1-based
};
std::vector<TTextLine> SplitLines(std::string_view bytes, const std::string &fileName);

// Strict UTF-8, as the parameter files take it.
using params::IsValidUtf8;

using common::TrimBlanks;

// A finite real written with a point (blanks around it allowed); a decimal
// comma too when allowComma is set. No value for anything else, "nan" and
// "inf" included.
std::optional<double> ParseReal(std::string_view text, bool allowComma = false);

// Lower case of ASCII and Cyrillic letters (UTF-8); other bytes unchanged.
std::string LowerUtf8(std::string_view s);

// Shortest text that reads back to the same double, point decimal.
std::string FormatShortest(double value);
// printf "%.9g"; non-finite values as NaN, Inf, -Inf.
std::string FormatG9(double value);

// Writes a file through writer: a regular file or a new name goes to a
// temporary beside it that is renamed over it once complete (the old file
// stays whole if anything fails); a device or a pipe is written directly.
// Throws common::TValdrinError naming the file.
void WriteFileSafely(const std::string &path, const std::function<void(std::ostream &)> &writer);

// The temporary and rename for writers that need a path (netCDF): refuses a
// path that names an existing non-regular file, calls writer with a fresh
// temporary name beside the target and renames it over the target; the
// temporary is removed when writer throws.
void ReplaceFileVia(
    const std::string &path, const std::function<void(const std::string &)> &writer);

} // namespace valdrin::formats
