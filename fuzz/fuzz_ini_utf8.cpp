// Feeds the INI reader files that start with the UTF-8 byte-order mark. Such
// a file is UTF-8 whatever follows: every section header and key line of
// plain ASCII in it is found, every value reads as valid UTF-8, and a value
// written into it reads back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "params/Cp1251.h"
#include "params/IniFile.h"

using namespace valdrin::params;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool IsAsciiName(std::string_view s)
{
    if (s.empty())
        return false;
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E || c == '['
            || c == ']' || c == '=' || c == ';' || c == '#')
            return false;
    return true;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    const TIniFile ini = TIniFile::FromBytes("\xEF\xBB\xBF" + body, "fuzz.ini");
    Check(ini.ReadError().empty()); // the fuzzer's inputs stay far below the bounds

    // The lines as the reader splits them (LF, CR LF or CR).
    std::string section;
    bool inSection = false;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = body.size();
        const std::string_view line = std::string_view(body).substr(start, end - start);
        const std::string_view t = Trim(line);
        const std::size_t eq = line.find('=');
        if (!t.empty() && t.front() == '[' && t.find(']') != std::string_view::npos) {
            const std::string_view name = Trim(t.substr(1, t.find(']') - 1));
            inSection = IsAsciiName(name);
            section = std::string(name);
            if (inSection)
                Check(ini.SectionExists(section));
        } else if (inSection && eq != std::string_view::npos
            && IsAsciiName(Trim(line.substr(0, eq)))) {
            const auto value = ini.Find(section, Trim(line.substr(0, eq)));
            Check(value.has_value());
            Check(IsValidUtf8(*value));
        }
        if (end == body.size())
            break;
        start = end + (body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n' ? 2 : 1);
    }

    TIniFile copy = ini;
    copy.WriteString("Probe", "Key", "Значение");
    const TIniFile back = TIniFile::FromBytes(copy.Bytes());
    Check(back.ReadString("Probe", "Key", "") == "Значение");
    return 0;
}
