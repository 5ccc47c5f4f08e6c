// Reading of spectra in dB. The first column is a frequency or a period,
// told by the header (the column's own name first, then "#" comment lines);
// a file that says neither is refused rather than guessed.
#include "formats/NoiseDb.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <numeric>
#include <optional>

#include "formats/TextInput.h"

namespace valdrin::formats {

namespace {

bool IsComment(std::string_view line)
{
    line = TrimBlanks(line);
    return line.starts_with('#') || line.starts_with('%');
}

std::vector<std::string_view> Tokens(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    auto sep = [](char c) { return c == ',' || c == ';' || c == ' ' || c == '\t'; };
    while (i < line.size()) {
        while (i < line.size() && sep(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !sep(line[i]))
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool Mentions(const std::string &lower, std::initializer_list<const char *> words)
{
    return std::any_of(words.begin(), words.end(),
        [&](const char *w) { return lower.find(w) != std::string::npos; });
}

bool SaysPeriod(const std::string &lower)
{
    return Mentions(lower, { "period", "период" });
}
bool SaysFreq(const std::string &lower)
{
    return Mentions(lower, { "freq", "частот", "hz", "гц" });
}
bool SaysDb(const std::string &lower)
{
    return Mentions(lower, { "db", "дб", "decibel" });
}

struct THeader {
    std::string CommentText; // every "#" line before the data, lower case
    std::optional<std::size_t> NameLine; // index in lines of the column-name line
    std::size_t FirstData = 0; // index of the first data line
};

THeader FindHeader(const std::vector<TTextLine> &lines)
{
    THeader h;
    std::size_t i = 0;
    for (; i < lines.size(); ++i) {
        const std::string_view t = lines[i].Text;
        if (TrimBlanks(t).empty())
            continue;
        if (IsComment(t)) {
            h.CommentText += LowerUtf8(t) + "\n";
            continue;
        }
        const auto tok = Tokens(t);
        if (!h.NameLine && !tok.empty() && !ParseReal(tok[0])) {
            h.NameLine = i;
            continue;
        }
        break;
    }
    h.FirstData = i;
    return h;
}

} // namespace

TSpectrumUnit DetectSpectrumUnit(std::string_view bytes)
{
    std::vector<TTextLine> lines;
    try {
        lines = SplitLines(bytes.substr(0, std::min<std::size_t>(bytes.size(), 1u << 20)), "");
    } catch (...) {
        return TSpectrumUnit::VelocityPower; // the page's own reader gives the message
    }
    const THeader h = FindHeader(lines);
    std::string header = h.CommentText;
    if (h.NameLine)
        header += LowerUtf8(lines[*h.NameLine].Text);
    if (SaysDb(header))
        return TSpectrumUnit::AccelerationDb;
    if (Mentions(header, { "(m/s)", "(м/с)", "m^2/s^2", "m**2/s**2" }))
        return TSpectrumUnit::VelocityPower;
    // dB of acceleration power are all far below zero; a linear file may
    // hold a stray negative value among its powers, not only such values.
    bool anyPower = false;
    for (std::size_t i = h.FirstData; i < lines.size() && i < h.FirstData + 50; ++i) {
        if (IsComment(lines[i].Text))
            continue;
        const auto tok = Tokens(lines[i].Text);
        for (std::size_t k = 1; k < tok.size(); ++k) {
            const auto v = ParseReal(tok[k]);
            if (v && !(*v < 0))
                return TSpectrumUnit::VelocityPower;
            anyPower = anyPower || v.has_value();
        }
    }
    return anyPower ? TSpectrumUnit::AccelerationDb : TSpectrumUnit::VelocityPower;
}

noise::TNoiseSpectrum ParseDbSpectrum(std::string_view bytes, const std::string &fileName)
{
    if (bytes.size() > kMaxFileBytes)
        Fail(fileName, 0, "файл больше " + std::to_string(kMaxFileBytes >> 20) + " МБ");
    const auto lines = SplitLines(bytes, fileName);
    const THeader h = FindHeader(lines);

    // Period or frequency: the first column's own name decides, else the comments.
    std::optional<bool> period;
    std::vector<std::string> names;
    if (h.NameLine) {
        const auto tok = Tokens(lines[*h.NameLine].Text);
        const std::string first = LowerUtf8(tok[0]);
        if (SaysPeriod(first))
            period = true;
        else if (SaysFreq(first))
            period = false;
        for (std::size_t k = 1; k < tok.size(); ++k)
            names.emplace_back(tok[k]);
    }
    if (!period) {
        std::string all = h.CommentText;
        if (h.NameLine)
            all += LowerUtf8(lines[*h.NameLine].Text);
        const bool p = SaysPeriod(all), f = SaysFreq(all);
        if (p != f)
            period = p;
    }
    if (!period)
        Fail(fileName, h.NameLine ? lines[*h.NameLine].Number : 0,
            "в заголовке не сказано, что в первом столбце: частота (freq) или период (period)");

    std::vector<double> freq;
    std::vector<std::vector<double>> power; // [row][column]
    std::size_t columns = names.size();
    for (std::size_t i = h.FirstData; i < lines.size(); ++i) {
        const std::string_view t = lines[i].Text;
        if (TrimBlanks(t).empty() || IsComment(t))
            continue;
        const long lineNo = lines[i].Number;
        const auto tok = Tokens(t);
        if (columns == 0)
            columns = tok.size() - 1; // no names: the first row sets the count
        if (tok.size() < 2 || tok.size() != columns + 1)
            Fail(fileName, lineNo,
                "чисел в строке " + std::to_string(tok.size()) + ", а ожидалось "
                    + std::to_string(columns + 1));
        std::vector<double> row;
        for (const auto &s : tok) {
            const auto v = ParseReal(s);
            if (!v)
                Fail(fileName, lineNo, "не число: «" + std::string(s.substr(0, 24)) + "»");
            row.push_back(*v);
        }
        if (!(row[0] > 0))
            Fail(fileName, lineNo,
                *period ? "период должен быть больше 0" : "частота должна быть больше 0");
        const double f = *period ? 1 / row[0] : row[0];
        const double w2 = std::pow(2 * std::numbers::pi * f, 2);
        for (std::size_t k = 1; k < row.size(); ++k) {
            const double pv = std::pow(10.0, row[k] / 10) / w2;
            if (!(pv > 0) || !std::isfinite(pv) || !std::isfinite(f))
                Fail(fileName, lineNo, "значение вне допустимого диапазона");
            row[k] = pv;
        }
        freq.push_back(f);
        row.erase(row.begin());
        power.push_back(std::move(row));
    }
    if (freq.empty())
        Fail(fileName, 0, "в файле нет данных спектра");
    if (names.size() < columns) {
        names.clear();
        for (std::size_t k = 1; k <= columns; ++k)
            names.push_back(columns == 1 ? "power" : "power" + std::to_string(k));
    }

    std::vector<std::size_t> order(freq.size());
    std::iota(order.begin(), order.end(), std::size_t { 0 });
    std::stable_sort(order.begin(), order.end(),
        [&](std::size_t a, std::size_t b) { return freq[a] < freq[b]; });
    noise::TNoiseSpectrum s;
    s.Names = names;
    s.Freq.reserve(freq.size() + 1);
    s.Freq.push_back(0);
    s.Data.assign(columns, std::vector<double>(1, 0.0));
    for (std::size_t r : order) {
        s.Freq.push_back(freq[r]);
        for (std::size_t c = 0; c < columns; ++c)
            s.Data[c].push_back(power[r][c]);
    }
    return s;
}

noise::TNoiseSpectrum ReadDbSpectrumFile(const std::string &path)
{
    return ParseDbSpectrum(ReadWholeFile(path), path);
}

TSpectrumUnit DetectSpectrumFileUnit(const std::string &path)
{
    constexpr std::size_t kHeadBytes = 64u << 10; // the header and the first rows
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) // a pipe would block the read
        return TSpectrumUnit::VelocityPower;
    std::ifstream in(path, std::ios::binary);
    std::string head(kHeadBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    // A cut line could end inside a UTF-8 character, which the reader refuses.
    if (head.size() == kHeadBytes)
        head.resize(head.find_last_of('\n') == std::string::npos ? 0 : head.find_last_of('\n') + 1);
    return DetectSpectrumUnit(head);
}

} // namespace valdrin::formats
