#include "params/IniFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "common/Error.h"
#include "common/NumText.h"
#include "common/SafeFile.h"
#include "common/StrRout.h"
#include "params/Cp1251.h"

namespace valdrin::params {

namespace {

std::string OneLine(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

struct TFileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

enum class TReadStatus { Missing, Read, Unreadable };

// The file's bytes, or why an existing file was not read.
TReadStatus ReadFileBytes(const std::string &fileName, std::string &bytes, std::string &reason)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(fileName, ec);
    if (!fs::exists(st)) {
        if (st.type() == fs::file_type::not_found)
            return TReadStatus::Missing;
        reason = "нет доступа";
        return TReadStatus::Unreadable;
    }
    // Devices and pipes could block or never end.
    if (fs::is_directory(st)) {
        reason = "это папка";
        return TReadStatus::Unreadable;
    }
    if (!fs::is_regular_file(st)) {
        reason = "это не обычный файл";
        return TReadStatus::Unreadable;
    }
    const std::string tooLarge
        = "файл больше " + std::to_string(TIniFile::kMaxFileSize >> 20) + " МБ";
    const auto size = fs::file_size(fileName, ec);
    if (!ec && size > TIniFile::kMaxFileSize) {
        reason = tooLarge;
        return TReadStatus::Unreadable;
    }
    TFilePtr f(std::fopen(fileName.c_str(), "rb"));
    if (!f) {
        reason = errno == EACCES || errno == EPERM ? "нет доступа" : "файл не открывается";
        return TReadStatus::Unreadable;
    }
    bytes.clear();
    char buf[65536];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
        bytes.append(buf, n);
        if (bytes.size() > TIniFile::kMaxFileSize) {
            reason = tooLarge;
            return TReadStatus::Unreadable;
        }
    }
    if (ec || std::ferror(f.get())) {
        reason = "ошибка чтения";
        return TReadStatus::Unreadable;
    }
    return TReadStatus::Read;
}

} // namespace

TIniFile::TIniFile(std::string fileName)
    : m_fileName(std::move(fileName))
{
    std::string bytes, reason;
    switch (ReadFileBytes(m_fileName, bytes, reason)) {
    case TReadStatus::Read:
        Parse(bytes);
        break;
    case TReadStatus::Unreadable:
        Refuse(reason);
        break;
    case TReadStatus::Missing:
        break;
    }
}

TIniFile TIniFile::FromBytes(std::string_view bytes, std::string fileName)
{
    TIniFile ini;
    ini.m_fileName = std::move(fileName);
    ini.Parse(bytes);
    return ini;
}

void TIniFile::Refuse(const std::string &reason)
{
    m_unreadable = true;
    m_readError = "Не удалось прочитать файл " + m_fileName + ": " + reason;
    m_sections.assign(1, TSection {});
    m_sectionIndex.clear();
}

void TIniFile::Parse(std::string_view bytes)
{
    std::string text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        text = RepairUtf8(bytes.substr(3));
    else if (IsValidUtf8(bytes))
        text.assign(bytes);
    else
        text = Cp1251ToUtf8(bytes);
    std::size_t start = 0;
    std::size_t lines = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        if (end - start > kMaxLineLength)
            return Refuse("строка " + std::to_string(lines + 1) + " длиннее "
                + std::to_string(kMaxLineLength) + " байт");
        if (++lines > kMaxLines)
            return Refuse("больше " + std::to_string(kMaxLines) + " строк");
        std::size_t eolLen = 0;
        if (end < text.size())
            eolLen = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
        AddLine(text.substr(start, end - start), text.substr(end, eolLen));
        if (m_sections.size() > kMaxSections + 1)
            return Refuse("больше " + std::to_string(kMaxSections) + " разделов");
        start = end + eolLen;
        if (eolLen == 0)
            break;
    }
}

void TIniFile::AddLine(std::string text, std::string eol)
{
    TLine line;
    line.Eol = std::move(eol);
    const std::string_view t = common::TrimBlanks(text);
    if (!t.empty() && t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close != std::string_view::npos) {
            TSection section;
            section.Name = std::string(common::TrimBlanks(t.substr(1, close - 1)));
            line.Text = std::move(text);
            section.Lines.push_back(std::move(line));
            m_sectionIndex[common::AsciiLower(section.Name)].push_back(m_sections.size());
            m_sections.push_back(std::move(section));
            return;
        }
    }
    TSection &section = m_sections.back();
    if (!t.empty() && t.front() != ';' && t.front() != '#') {
        const std::size_t eq = text.find('=');
        if (eq != std::string::npos) {
            const std::string key
                = common::AsciiLower(common::TrimBlanks(std::string_view(text).substr(0, eq)));
            if (!key.empty()) {
                line.IsKey = true;
                line.ValuePos = eq + 1;
                const std::size_t index = section.Lines.size();
                section.Keys.emplace(key, index); // keeps the first occurrence
                section.LastKeyLine = index;
            }
        }
    }
    line.Text = std::move(text);
    section.Lines.push_back(std::move(line));
}

const TIniFile::TLine *TIniFile::FindLine(std::string_view section, std::string_view key) const
{
    const auto it = m_sectionIndex.find(common::AsciiLower(section));
    if (it == m_sectionIndex.end())
        return nullptr;
    const std::string lowerKey = common::AsciiLower(common::TrimBlanks(key));
    for (const std::size_t s : it->second) {
        const TSection &sec = m_sections[s];
        const auto k = sec.Keys.find(lowerKey);
        if (k != sec.Keys.end())
            return &sec.Lines[k->second];
    }
    return nullptr;
}

bool TIniFile::SectionExists(std::string_view section) const
{
    return m_sectionIndex.count(common::AsciiLower(section)) > 0;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return FindLine(section, key) != nullptr;
}

std::optional<std::string> TIniFile::Find(std::string_view section, std::string_view key) const
{
    const TLine *line = FindLine(section, key);
    if (!line)
        return std::nullopt;
    return line->Text.substr(line->ValuePos);
}

std::string TIniFile::ReadString(
    std::string_view section, std::string_view key, std::string_view def) const
{
    auto value = Find(section, key);
    return value ? std::move(*value) : std::string(def);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int def) const
{
    const auto value = Find(section, key);
    if (!value)
        return def;
    return common::TextToInt(*value).value_or(def);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string sectionName = OneLine(common::TrimBlanks(section));
    const std::string keyName = OneLine(common::TrimBlanks(key));
    const std::string lowerKey = common::AsciiLower(keyName);
    const std::string text = OneLine(value);

    const std::string lowerSection = common::AsciiLower(sectionName);
    auto it = m_sectionIndex.find(lowerSection);
    if (it != m_sectionIndex.end()) {
        for (const std::size_t s : it->second) {
            TSection &sec = m_sections[s];
            const auto k = sec.Keys.find(lowerKey);
            if (k != sec.Keys.end()) {
                TLine &line = sec.Lines[k->second];
                line.Text.resize(line.ValuePos);
                line.Text += text;
                return;
            }
        }
    } else {
        // A blank line before a new section, unless the file is empty or
        // already ends with one.
        TSection &last = m_sections.back();
        const bool empty = m_sections.size() == 1 && last.Lines.empty();
        if (!empty && (last.Lines.empty() || !common::TrimBlanks(last.Lines.back().Text).empty()))
            last.Lines.push_back(TLine { "", "\r\n" });
        TSection sec;
        sec.Name = sectionName;
        sec.Lines.push_back(TLine { "[" + sectionName + "]", "\r\n" });
        it = m_sectionIndex.emplace(lowerSection, std::vector<std::size_t> { m_sections.size() })
                 .first;
        m_sections.push_back(std::move(sec));
    }
    // A new key goes after the last key of the first section of that name;
    // the lines after it do not hold keys, so no index moves.
    TSection &sec = m_sections[it->second.front()];
    TLine line;
    line.Text = keyName + "=" + text;
    line.Eol = "\r\n";
    line.IsKey = true;
    line.ValuePos = keyName.size() + 1;
    const std::size_t at = sec.Lines.empty() ? 0 : sec.LastKeyLine + 1;
    sec.Lines.insert(sec.Lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
    sec.Keys.emplace(lowerKey, at);
    sec.LastKeyLine = at;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

std::string TIniFile::Bytes() const
{
    std::string text;
    const TLine *lastLine = nullptr;
    for (const TSection &sec : m_sections)
        for (const TLine &line : sec.Lines) {
            // A line that ended the file gets a line end once lines follow it.
            if (lastLine && lastLine->Eol.empty())
                text += "\r\n";
            text += line.Text;
            text += line.Eol;
            lastLine = &line;
        }
    return Utf8ToCp1251(text);
}

void TIniFile::UpdateFile() const
{
    const common::TValdrinError failure("Unable to write to " + m_fileName);
    if (m_unreadable || m_fileName.empty())
        throw failure;
    if (common::WriteWholeFile(m_fileName, Bytes()))
        throw failure;
}

} // namespace valdrin::params
