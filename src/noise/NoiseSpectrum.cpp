// Reading of noise spectrum files. Numbers are taken one after another
// across white space, a line break included: a row takes the first 1 + n
// numbers (n data columns) and the rest of its line is skipped. Lines end
// with LF, CR LF or CR. Numbers are parsed with std::from_chars, so a point
// is the separator in any locale.
#include "noise/NoiseSpectrum.h"

#include "common/Error.h"
#include "common/NumText.h"
#include "common/StrRout.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

namespace valdrin::noise {

namespace {

using enum TNoiseLoadStatus;

constexpr int kRowsPerTick = 100; // progress and cancel granularity
constexpr std::size_t kShownTokenMax = 24; // bytes of a bad number quoted in the message
// Far above a header of a few hundred named columns; keeps a file without
// line ends (or a header of millions of names) from taking all memory.
constexpr std::size_t kMaxLineLength = 1u << 20;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Lines of the stream, and the numbers' tokens across them.
class TTokenReader {
public:
    explicit TTokenReader(std::istream &in)
        : m_in(in)
    {
    }

    // False at the end of the stream, and at a line longer than
    // kMaxLineLength (TooLong).
    bool NextLine()
    {
        using Traits = std::istream::traits_type;
        m_line.clear();
        std::streambuf *buf = m_in.good() ? m_in.rdbuf() : nullptr;
        if (!buf || m_tooLong)
            return false;
        Traits::int_type ch = buf->sbumpc();
        if (Traits::eq_int_type(ch, Traits::eof())) {
            m_in.setstate(std::ios::eofbit | std::ios::failbit);
            return false;
        }
        for (; !Traits::eq_int_type(ch, Traits::eof()); ch = buf->sbumpc()) {
            const char c = Traits::to_char_type(ch);
            if (c == '\n')
                break;
            if (c == '\r') {
                if (Traits::eq_int_type(buf->sgetc(), Traits::to_int_type('\n')))
                    buf->sbumpc();
                break;
            }
            if (m_line.size() >= kMaxLineLength) {
                m_tooLong = true;
                ++m_lineNo;
                return false;
            }
            m_line.push_back(c);
        }
        if (Traits::eq_int_type(ch, Traits::eof()))
            m_in.setstate(std::ios::eofbit);
        ++m_lineNo;
        m_pos = 0;
        return true;
    }

    // The next run of non-blank characters, reading on across line breaks;
    // nothing at the end of the stream.
    std::optional<std::string_view> NextToken()
    {
        for (;;) {
            while (m_pos < m_line.size() && IsBlank(m_line[m_pos]))
                ++m_pos;
            if (m_pos < m_line.size())
                break;
            if (!NextLine())
                return std::nullopt;
        }
        const std::size_t start = m_pos;
        while (m_pos < m_line.size() && !IsBlank(m_line[m_pos]))
            ++m_pos;
        return std::string_view(m_line).substr(start, m_pos - start);
    }

    void SkipRestOfLine() { m_pos = m_line.size(); }
    const std::string &Line() const { return m_line; }
    int LineNo() const { return m_lineNo; }
    bool TooLong() const { return m_tooLong; }

private:
    std::istream &m_in;
    std::string m_line;
    std::size_t m_pos = 0;
    int m_lineNo = 0;
    bool m_tooLong = false;
};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A finite number in plain or exponent form with a point; the whole token
// must be the number.
std::optional<double> ParseNumber(std::string_view tok)
{
    std::string_view body = tok;
    if (!body.empty() && (body.front() == '+' || body.front() == '-'))
        body.remove_prefix(1);
    // from_chars alone would also take "inf" and "nan", and a second sign.
    if (body.empty() || !(IsDigit(body.front()) || body.front() == '.'))
        return std::nullopt;
    if (tok.front() == '+')
        tok.remove_prefix(1);
    double value = 0;
    const char *end = tok.data() + tok.size();
    const auto res = std::from_chars(tok.data(), end, value);
    if (res.ptr != end)
        return std::nullopt;
    if (res.ec == std::errc::result_out_of_range) {
        // Underflow reads as the tiny value (or 0); overflow is no spectrum value.
        const double approx = common::StrToDoubleC(std::string(tok));
        if (!std::isfinite(approx))
            return std::nullopt;
        return approx;
    }
    if (res.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Length of the valid UTF-8 sequence starting at s[i], or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        len = 2;
    else if (b >= 0xE0 && b <= 0xEF)
        len = 3;
    else if (b >= 0xF0 && b <= 0xF4)
        len = 4;
    else
        return 0;
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return len;
}

// A token quoted in a message: control bytes and broken UTF-8 become '?',
// and a long token is cut on a character boundary.
std::string ShownToken(std::string_view tok)
{
    std::string out;
    std::size_t i = 0;
    while (i < tok.size() && out.size() < kShownTokenMax) {
        const std::size_t len = Utf8Length(tok, i);
        const auto b = static_cast<unsigned char>(tok[i]);
        if (len == 0 || b < 0x20 || b == 0x7F) {
            out += '?';
            ++i;
        } else {
            out.append(tok.substr(i, len));
            i += len;
        }
    }
    if (i < tok.size())
        out += "...";
    return out;
}

std::string LinePrefix(const std::string &FileName, int line)
{
    return "Файл " + FileName + ", строка " + std::to_string(line) + ": ";
}

void Fail(TNoiseLoad &load, TNoiseLoadStatus status, int line, std::string message)
{
    load.Status = status;
    load.ErrorLine = line;
    load.Message = std::move(message);
}

bool HasControlBytes(std::string_view s)
{
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && c != '\t') || b == 0x7F)
            return true;
    }
    return false;
}

// A line too long to be read ends the load where it stands.
bool FailTooLong(TNoiseLoad &load, const TTokenReader &reader, const std::string &FileName)
{
    if (!reader.TooLong())
        return false;
    Fail(load, BadData, reader.LineNo(),
        LinePrefix(FileName, reader.LineNo()) + "строка длиннее " + std::to_string(kMaxLineLength)
            + " байт");
    return true;
}

TNoiseLoad ReadNoiseStream(
    std::istream &in, const std::string &FileName, const common::TRunControl &control)
{
    TNoiseLoad load;
    TNoiseSpectrum &spc = load.Spectrum;
    TTokenReader reader(in);

    if (!reader.NextLine()) {
        if (FailTooLong(load, reader, FileName))
            return load;
        if (in.bad())
            Fail(load, ReadError, 0, "Ошибка чтения файла " + FileName);
        else
            Fail(load, BadData, 1, "Файл " + FileName + " пуст");
        return load;
    }
    reader.SkipRestOfLine();
    std::string_view header = reader.Line();
    if (!header.empty() && header.back() == '\r')
        header.remove_suffix(1);
    if (HasControlBytes(header)) {
        Fail(load, BadData, 1, LinePrefix(FileName, 1) + "заголовок не является строкой текста");
        return load;
    }
    // Blanks at the ends of the header would count as one more, unnamed,
    // column and shift every row by one number; they are dropped.
    const auto headerSeps = common::MakeCharSet(" \t");
    while (!header.empty() && headerSeps.test(static_cast<unsigned char>(header.front())))
        header.remove_prefix(1);
    while (!header.empty() && headerSeps.test(static_cast<unsigned char>(header.back())))
        header.remove_suffix(1);
    if (header.empty()) {
        Fail(load, BadData, 1, LinePrefix(FileName, 1) + "нет заголовка столбцов");
        return load;
    }
    const int n = common::CountWords(header, headerSeps, true) - 1;
    int P = 1;
    common::GetNextWord(header, headerSeps, true, P, false); // the frequency column
    spc.Names.reserve(static_cast<std::size_t>(n));
    for (int c = 0; c < n; ++c)
        spc.Names.push_back(common::GetNextWord(header, headerSeps, true, P, false));
    spc.Data.assign(static_cast<std::size_t>(n), {});

    std::vector<double> row(static_cast<std::size_t>(n) + 1);
    int rows = 0;
    for (;;) {
        auto tok = reader.NextToken();
        if (!tok)
            break; // the end between rows: blank lines at the end are no rows
        const int rowLine = reader.LineNo();
        for (std::size_t k = 0; k < row.size(); ++k) {
            if (k > 0 && !(tok = reader.NextToken())) {
                if (FailTooLong(load, reader, FileName))
                    return load;
                if (in.bad())
                    Fail(load, ReadError, 0, "Ошибка чтения файла " + FileName);
                else
                    Fail(load, BadData, rowLine,
                        LinePrefix(FileName, rowLine) + "в строке данных не хватает чисел");
                return load;
            }
            const auto value = ParseNumber(*tok);
            if (!value) {
                Fail(load, BadData, reader.LineNo(),
                    LinePrefix(FileName, reader.LineNo()) + "не удается прочитать число \""
                        + ShownToken(*tok) + "\"");
                return load;
            }
            row[k] = *value;
        }
        reader.SkipRestOfLine();
        spc.Freq.push_back(row[0]);
        for (int c = 0; c < n; ++c)
            spc.Data[static_cast<std::size_t>(c)].push_back(row[static_cast<std::size_t>(c) + 1]);
        ++rows;
        if (rows % kRowsPerTick == 0) {
            if (control.Progress)
                control.Progress(rows, 0);
            if (control.Cancelled()) {
                Fail(load, Cancelled, 0, "Загрузка файла " + FileName + " прервана");
                return load;
            }
        }
    }
    if (FailTooLong(load, reader, FileName))
        return load;
    if (in.bad())
        Fail(load, ReadError, 0, "Ошибка чтения файла " + FileName);
    return load;
}

} // namespace

TNoiseLoad ReadNoiseFile(
    std::istream &in, const std::string &FileName, const common::TRunControl &control)
{
    try {
        return ReadNoiseStream(in, FileName, control);
    } catch (const std::bad_alloc &) {
        // What was read is freed by now; nothing of it is kept.
        TNoiseLoad load;
        Fail(load, OutOfMemory, 0, common::kOutOfMemoryMessage);
        return load;
    }
}

TNoiseLoad LoadNoiseFile(const std::string &FileName, const common::TRunControl &control)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(FileName);
    const auto st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found) {
        TNoiseLoad load;
        Fail(load, NotFound, 0, "Файл " + FileName + " не найден");
        return load;
    }
    // A pipe or a device could block the load for ever, or never end.
    if (!ec && !fs::is_directory(st) && !fs::is_regular_file(st)) {
        TNoiseLoad load;
        Fail(load, ReadError, 0, "Файл " + FileName + " не является обычным файлом");
        return load;
    }
    std::ifstream in;
    if (!ec && !fs::is_directory(st))
        in.open(path, std::ios::binary);
    if (!in.is_open()) {
        TNoiseLoad load;
        Fail(load, ReadError, 0, "Не удается открыть файл " + FileName);
        return load;
    }
    return ReadNoiseFile(in, FileName, control);
}

} // namespace valdrin::noise
