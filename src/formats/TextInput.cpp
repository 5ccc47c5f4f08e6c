#include "formats/TextInput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/Error.h"
#include "common/SafeFile.h"

namespace valdrin::formats {

using common::TValdrinError;

namespace {

std::string Quoted(const std::string &name)
{
    return "«" + name + "»";
}

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

[[noreturn]] void Fail(const std::string &fileName, long line, const std::string &text)
{
    std::string msg = "Файл " + Quoted(fileName);
    if (line > 0)
        msg += ", строка " + std::to_string(line);
    throw TValdrinError(msg + ": " + text);
}

std::string ReadWholeFile(const std::string &path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        Fail(path, 0, "файл не найден или недоступен");
    if (!S_ISREG(st.st_mode))
        Fail(path, 0, "это не обычный файл");
    if (static_cast<unsigned long long>(st.st_size) > kMaxFileBytes)
        Fail(path, 0, "файл больше " + std::to_string(kMaxFileBytes >> 20) + " МБ");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail(path, 0, "файл не открывается");
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()) || in.peek() != EOF)
        Fail(path, 0, "ошибка чтения (файл изменился при чтении?)");
    return bytes;
}

std::vector<TTextLine> SplitLines(std::string_view bytes, const std::string &fileName)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    std::vector<TTextLine> lines;
    long number = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        ++number;
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const std::string_view text = bytes.substr(pos, end - pos);
        if (text.size() > kMaxLineBytes)
            Fail(fileName, number, "строка длиннее " + std::to_string(kMaxLineBytes) + " байт");
        if (text.find('\0') != std::string_view::npos)
            Fail(fileName, number, "двоичные данные в текстовом файле");
        if (!IsValidUtf8(text))
            Fail(fileName, number, "текст не в кодировке UTF-8");
        lines.push_back({ text, number });
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size()
            && bytes[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return lines;
}

std::optional<double> ParseReal(std::string_view text, bool allowComma)
{
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    std::string buf(text);
    if (allowComma)
        for (char &c : buf)
            if (c == ',')
                c = '.';
    const char *first = buf.data();
    const char *last = first + buf.size();
    if (*first == '+')
        ++first; // from_chars takes no plus sign
    // Digits or a point must lead: from_chars would take "nan" and "inf".
    if (first == last
        || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.' || *first == '-'))
        return std::nullopt;
    if (*first == '-'
        && (first + 1 == last
            || !(std::isdigit(static_cast<unsigned char>(first[1])) || first[1] == '.')))
        return std::nullopt;
    double v = 0;
    const auto res = std::from_chars(first, last, v, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != last || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string LowerUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c + 32);
        } else if ((c == 0xD0 || c == 0xD1) && i + 1 < s.size()) {
            // А..Я are D0 90..D0 AF, а..п D0 B0..D0 BF, р..я D1 80..D1 8F; Ё D0 81, ё D1 91.
            const auto d = static_cast<unsigned char>(s[i + 1]);
            if (c == 0xD0 && d >= 0x90 && d <= 0x9F) {
                out += '\xD0';
                out += static_cast<char>(d + 0x20);
            } else if (c == 0xD0 && d >= 0xA0 && d <= 0xAF) {
                out += '\xD1';
                out += static_cast<char>(d - 0x20);
            } else if (c == 0xD0 && d == 0x81) {
                out += "\xD1\x91";
            } else {
                out += static_cast<char>(c);
                out += static_cast<char>(d);
            }
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string FormatShortest(double value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general);
    return std::string(buf, res.ptr);
}

std::string FormatG9(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Inf" : "Inf";
    // to_chars is printf's %.9g in the "C" locale whatever the process's
    // locale: the window runs under the user's, where printf writes a comma.
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 9).ptr;
    return { buf, end };
}

void ReplaceFileVia(const std::string &path, const std::function<void(const std::string &)> &writer)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        Fail(path, 0, "это не обычный файл, запись в него этим способом невозможна");
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        Fail(path, 0, std::string("не удаётся создать временный файл: ") + std::strerror(errno));
    // mkstemp makes the file private; the result gets the mode a new file would.
    const mode_t mode
        = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    ::fchmod(fd, mode);
    ::close(fd);
    try {
        writer(temp);
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(temp.c_str());
        Fail(path, 0, std::string("не удаётся заменить файл: ") + std::strerror(err));
    }
}

// One rule for saving a file whole, the window's and the parameter files'.
void WriteFileSafely(const std::string &path, const std::function<void(std::ostream &)> &writer)
{
    if (const auto error = common::WriteWholeFileWith(path, writer))
        Fail(path, 0, *error);
}

} // namespace valdrin::formats
