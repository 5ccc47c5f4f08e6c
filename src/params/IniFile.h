// A small INI layer for the parameter files.
//
// Rules: "[Name]" opens a section (names and keys compare without regard to
// ASCII case); "key=value" lines hold values, the value being everything
// after the first "=" as written; lines starting with ";" or "#", blank lines
// and any other text are kept but never read. A key repeated in a section, or
// in a repeated section, reads its first occurrence and writes there. Lines
// end with CR LF, LF or CR. A file that starts with the UTF-8 byte-order mark
// is UTF-8 (a stray byte in it reads as its Windows-1251 character); any
// other file is read as UTF-8 when the whole of it is valid UTF-8 and as
// Windows-1251 otherwise. Files are written in Windows-1251.
// Writing updates values in place: new keys go after the last key of their
// section, new sections at the end, and every other line stays as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace valdrin::params {

class TIniFile {
public:
    // Larger files are not read, nor overwritten. The other bounds keep the
    // memory of a read near the file's size; a parameter file holds a few
    // hundred short lines in four sections.
    static constexpr std::size_t kMaxFileSize = 64u << 20;
    static constexpr std::size_t kMaxLineLength = 16u << 20; // bytes of one line
    static constexpr std::size_t kMaxLines = 100000;
    static constexpr std::size_t kMaxSections = 10000;

    TIniFile() = default;
    // Reads the file. A missing file reads as empty; so does one that cannot
    // be read (not a regular file, no permission, beyond the bounds above),
    // which ReadError then names and the layer refuses to overwrite.
    explicit TIniFile(std::string fileName);
    // From the file's bytes, as if read from fileName.
    static TIniFile FromBytes(std::string_view bytes, std::string fileName = {});

    const std::string &FileName() const { return m_fileName; }
    // Why an existing file was not read, in Russian; empty when it was read
    // or does not exist.
    const std::string &ReadError() const { return m_readError; }

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // def when the file, the section or the key is missing.
    std::string ReadString(
        std::string_view section, std::string_view key, std::string_view def) const;
    // def also when the text is not a decimal integer.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;

    // Line breaks in the value become blanks, so a value never spills into
    // lines of its own.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);

    // The file's bytes as UpdateFile writes them.
    std::string Bytes() const;
    // Writes the file whole (common::WriteWholeFile): a failure leaves the
    // old file as it was and throws common::TValdrinError
    // "Unable to write to <path>".
    void UpdateFile() const;

private:
    struct TLine {
        std::string Text; // UTF-8, without its line end
        std::string Eol; // "\r\n", "\n", "\r" or "" (last line of a file)
        std::size_t ValuePos = 0; // key lines: first byte after "="
        bool IsKey = false;
    };
    struct TSection {
        std::string Name; // as written; empty for the lines before the first section
        std::vector<TLine> Lines; // Lines[0] is the "[Name]" line (except in the first)
        std::unordered_map<std::string, std::size_t> Keys; // lower-case key -> first line
        std::size_t LastKeyLine = 0;
    };

    // Beyond the bounds: refused, with m_readError set and nothing kept.
    void Parse(std::string_view bytes);
    void AddLine(std::string text, std::string eol);
    void Refuse(const std::string &reason);
    const TLine *FindLine(std::string_view section, std::string_view key) const;

    std::string m_fileName;
    bool m_unreadable = false; // the file exists but was not read
    std::string m_readError;
    std::vector<TSection> m_sections { 1 };
    std::unordered_map<std::string, std::vector<std::size_t>> m_sectionIndex; // lower-case name
};

} // namespace valdrin::params
