// Readers of station lists in CSV and FDSN station text, and the choice of
// reader by content. CSV columns are found by name: a unit in brackets is
// folded into the name ("noise [nm]" -> noise_nm, "высота (км)" ->
// высота_km), so a spreadsheet's headers read as they stand.
#include <cstddef>
#include <map>
#include <set>

#include "formats/Stations.h"
#include "formats/TextInput.h"

namespace valdrin::formats {

namespace {

constexpr double kWoodAndersonGain = 2080; // magnification of ground displacement
constexpr double kMmPerNm = 1e-6;

[[noreturn]] void TooMany(const std::string &fileName, std::size_t count)
{
    Fail(fileName, 0,
        "в файле " + std::to_string(count) + " станций, а в таблице помещается не больше "
            + std::to_string(kMaxImportStations));
}

[[noreturn]] void NoStations(const std::string &fileName)
{
    Fail(fileName, 0, "в файле нет станций");
}

void CheckDegrees(const std::string &fileName, long line, double lon, double lat)
{
    if (!(lat >= -90 && lat <= 90))
        Fail(fileName, line, "широта вне диапазона -90..90°");
    if (!(lon >= -180 && lon <= 360))
        Fail(fileName, line, "долгота вне диапазона -180..360°");
}

bool IsBlankLine(std::string_view s)
{
    return TrimBlanks(s).empty();
}

// ---- CSV ----

enum class TRole {
    Name,
    Network,
    Site,
    X,
    Lon,
    Y,
    Lat,
    ZMetres,
    ZKm,
    A0,
    A1,
    A2,
    A3,
    An,
    Snr,
    NoiseNm
};

const std::map<std::string, TRole, std::less<>> &RoleNames()
{
    using enum TRole;
    static const std::map<std::string, TRole, std::less<>> names {
        { "name", Name },
        { "station", Name },
        { "code", Name },
        { "sta", Name },
        { "имя", Name },
        { "название", Name },
        { "станция", Name },
        { "код", Name },
        { "network", Network },
        { "net", Network },
        { "сеть", Network },
        { "site", Site },
        { "sitename", Site },
        { "site_name", Site },
        { "пункт", Site },
        { "x", X },
        { "x_m", X },
        { "lon", Lon },
        { "long", Lon },
        { "longitude", Lon },
        { "долгота", Lon },
        { "y", Y },
        { "y_m", Y },
        { "lat", Lat },
        { "latitude", Lat },
        { "широта", Lat },
        { "z", ZMetres },
        { "z_m", ZMetres },
        { "elev", ZMetres },
        { "elev_m", ZMetres },
        { "elevation", ZMetres },
        { "elevation_m", ZMetres },
        { "height", ZMetres },
        { "height_m", ZMetres },
        { "высота", ZMetres },
        { "высота_m", ZMetres },
        { "z_km", ZKm },
        { "elev_km", ZKm },
        { "elevation_km", ZKm },
        { "height_km", ZKm },
        { "высота_km", ZKm },
        { "a0", A0 },
        { "a1", A1 },
        { "a2", A2 },
        { "a3", A3 },
        { "an", An },
        { "snr", Snr },
        { "noise_nm", NoiseNm },
        { "шум_nm", NoiseNm },
    };
    return names;
}

// "Elevation [km]" -> "elevation_km"; "noise [nm]" -> "noise_nm".
std::string NormaliseHeader(std::string_view token)
{
    std::string s = LowerUtf8(TrimBlanks(token));
    std::string unit;
    const auto open = s.find_first_of("[(");
    if (open != std::string::npos) {
        const auto close = s.find_first_of("])", open);
        unit = std::string(TrimBlanks(
            s.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1)));
        s = std::string(TrimBlanks(s.substr(0, open)));
    }
    static const std::map<std::string, std::string, std::less<>> units { { "м", "m" },
        { "км", "km" }, { "нм", "nm" }, { "deg", "" }, { "degrees", "" }, { "°", "" },
        { "град", "" }, { "град.", "" } };
    if (const auto it = units.find(unit); it != units.end())
        unit = it->second;
    if (!unit.empty())
        s += "_" + unit;
    for (char &c : s)
        if (c == ' ' || c == '-')
            c = '_';
    return s;
}

// Fields of one CSV line; quoted fields may hold the separator and doubled
// quotes. A quote left open, or text after a closing quote, is refused.
std::vector<std::string> SplitCsv(
    std::string_view line, char sep, const std::string &fileName, long lineNo)
{
    std::vector<std::string> fields;
    std::size_t i = 0;
    for (;;) {
        std::string field;
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t') && line[i] != sep)
            ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size())
                    Fail(fileName, lineNo, "не закрыта кавычка");
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t') && line[i] != sep)
                ++i;
            if (i < line.size() && line[i] != sep)
                Fail(fileName, lineNo, "лишние символы после закрывающей кавычки");
        } else {
            const std::size_t start = i;
            while (i < line.size() && line[i] != sep)
                ++i;
            field = std::string(TrimBlanks(line.substr(start, i - start)));
        }
        fields.push_back(std::move(field));
        if (i >= line.size())
            break;
        ++i; // the separator
    }
    return fields;
}

char GuessSeparator(std::string_view header)
{
    std::size_t commas = 0, semicolons = 0, tabs = 0;
    bool quoted = false;
    for (char c : header) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted)
            commas += c == ',', semicolons += c == ';', tabs += c == '\t';
    }
    if (semicolons > commas)
        return ';';
    if (commas == 0 && tabs > 0)
        return '\t';
    return ',';
}

std::string ColumnTitle(std::string_view raw)
{
    return "«" + std::string(TrimBlanks(raw)) + "»";
}

} // namespace

TStationTable ParseStationsCsv(std::string_view bytes, const std::string &fileName)
{
    using enum TRole;
    const auto lines = SplitLines(bytes, fileName);
    std::size_t h = 0;
    while (h < lines.size() && IsBlankLine(lines[h].Text))
        ++h;
    if (h == lines.size())
        NoStations(fileName);

    const char sep = GuessSeparator(lines[h].Text);
    const auto header = SplitCsv(lines[h].Text, sep, fileName, lines[h].Number);
    std::map<TRole, std::size_t> column;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const auto it = RoleNames().find(NormaliseHeader(header[c]));
        if (it == RoleNames().end())
            continue; // a spreadsheet's other columns
        TRole role = it->second;
        const auto [prev, fresh] = column.emplace(role, c);
        if (!fresh)
            Fail(fileName, lines[h].Number,
                "столбцы " + ColumnTitle(header[prev->second]) + " и " + ColumnTitle(header[c])
                    + " означают одно и то же");
    }
    auto has = [&](TRole r) { return column.count(r) > 0; };
    if (has(X) + has(Lon) + has(Y) + has(Lat) > 2 || has(ZMetres) + has(ZKm) > 1)
        Fail(fileName, lines[h].Number, "координаты заданы несколькими столбцами");
    if (!has(Name))
        Fail(fileName, lines[h].Number, "нет столбца имени станции (name, station, code, имя)");
    if (!(has(X) || has(Lon)) || !(has(Y) || has(Lat)))
        Fail(fileName, lines[h].Number, "нет столбцов координат (x и y, или longitude и latitude)");
    if (has(X) != has(Y))
        Fail(fileName, lines[h].Number, "в одном файле метры и градусы: x/y с longitude/latitude");
    if (!has(ZMetres) && !has(ZKm))
        Fail(fileName, lines[h].Number, "нет столбца высоты (z, elevation, elevation_km, высота)");

    std::size_t dataLines = 0;
    for (std::size_t i = h + 1; i < lines.size(); ++i)
        dataLines += !IsBlankLine(lines[i].Text);
    if (dataLines > static_cast<std::size_t>(kMaxImportStations))
        TooMany(fileName, dataLines);
    if (dataLines == 0)
        NoStations(fileName);

    TStationTable table;
    table.Degrees = has(Lon);
    const bool hasAttenuation
        = has(A0) || has(A1) || has(A2) || has(A3) || has(An) || has(Snr) || has(NoiseNm);
    const bool allowComma = sep == ';';
    for (std::size_t i = h + 1; i < lines.size(); ++i) {
        if (IsBlankLine(lines[i].Text))
            continue;
        const long lineNo = lines[i].Number;
        const auto fields = SplitCsv(lines[i].Text, sep, fileName, lineNo);
        if (fields.size() < header.size())
            Fail(fileName, lineNo,
                "полей " + std::to_string(fields.size()) + ", а в заголовке "
                    + std::to_string(header.size()));
        for (std::size_t c = header.size(); c < fields.size(); ++c)
            if (!fields[c].empty())
                Fail(fileName, lineNo, "лишние поля после последнего столбца заголовка");

        auto text = [&](TRole r) -> const std::string & { return fields[column.at(r)]; };
        auto number = [&](TRole r) {
            const auto v = ParseReal(text(r), allowComma);
            if (!v)
                Fail(fileName, lineNo,
                    "в столбце " + ColumnTitle(header[column.at(r)]) + " не число: «" + text(r)
                        + "»");
            return *v;
        };
        TStationRow row;
        row.Name = text(Name);
        if (row.Name.empty())
            Fail(fileName, lineNo, "пустое имя станции");
        if (has(Network))
            row.Network = text(Network);
        if (has(Site))
            row.Site = text(Site);
        row.X = number(table.Degrees ? Lon : X);
        row.Y = number(table.Degrees ? Lat : Y);
        row.Z = has(ZKm) ? number(ZKm) * 1000 : number(ZMetres);
        if (table.Degrees)
            CheckDegrees(fileName, lineNo, row.X, row.Y);
        if (hasAttenuation) {
            TAttenuation a = kDefaultAttenuation;
            const TRole roles[] = { A0, A1, A2, A3, An, Snr };
            for (std::size_t k = 0; k < a.size(); ++k)
                if (has(roles[k]) && !text(roles[k]).empty())
                    a[k] = number(roles[k]);
            // Ground noise in nm becomes the table's An (mm on a Wood-Anderson
            // record); an An column of its own wins.
            if (has(NoiseNm) && !text(NoiseNm).empty() && (!has(An) || text(An).empty()))
                a[4] = number(NoiseNm) * kMmPerNm * kWoodAndersonGain;
            row.Attenuation = a;
        }
        table.Rows.push_back(std::move(row));
    }
    return table;
}

// ---- FDSN station text ----

TStationTable ParseFdsnText(std::string_view bytes, const std::string &fileName)
{
    const auto lines = SplitLines(bytes, fileName);
    std::size_t h = 0;
    while (h < lines.size() && IsBlankLine(lines[h].Text))
        ++h;
    if (h == lines.size() || !lines[h].Text.starts_with('#'))
        Fail(fileName, h < lines.size() ? lines[h].Number : 0,
            "нет заголовка FDSN (#Network|Station|Latitude|Longitude|Elevation|...)");
    auto split = [](std::string_view s) {
        std::vector<std::string_view> parts;
        std::size_t pos = 0;
        for (;;) {
            const auto bar = s.find('|', pos);
            parts.push_back(
                TrimBlanks(s.substr(pos, bar == std::string_view::npos ? bar : bar - pos)));
            if (bar == std::string_view::npos)
                return parts;
            pos = bar + 1;
        }
    };
    const auto header = split(lines[h].Text.substr(1));
    std::map<std::string, std::size_t, std::less<>> column;
    for (std::size_t c = 0; c < header.size(); ++c)
        column.emplace(LowerUtf8(header[c]), c);
    for (const char *need : { "network", "station", "latitude", "longitude", "elevation" })
        if (!column.count(need))
            Fail(fileName, lines[h].Number, std::string("в заголовке нет поля ") + need);
    const auto site = column.find("sitename");

    TStationTable table;
    table.Degrees = true;
    std::set<std::string, std::less<>> seen;
    std::size_t stations = 0;
    for (std::size_t i = h + 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i].Text;
        if (IsBlankLine(line) || line.starts_with('#'))
            continue;
        const long lineNo = lines[i].Number;
        const auto f = split(line);
        if (f.size() != header.size())
            Fail(fileName, lineNo,
                "полей " + std::to_string(f.size()) + ", а в заголовке "
                    + std::to_string(header.size()));
        const std::string_view net = f[column.at("network")], sta = f[column.at("station")];
        if (sta.empty())
            Fail(fileName, lineNo, "пустой код станции");
        auto number = [&](const char *field, const char *what) {
            const std::string_view t = f[column.at(field)];
            if (t.empty())
                Fail(fileName, lineNo, std::string("нет значения: ") + what);
            const auto v = ParseReal(t);
            if (!v)
                Fail(fileName, lineNo, std::string(what) + " не число: «" + std::string(t) + "»");
            return *v;
        };
        TStationRow row;
        row.Y = number("latitude", "широта");
        row.X = number("longitude", "долгота");
        row.Z = number("elevation", "высота");
        CheckDegrees(fileName, lineNo, row.X, row.Y);
        // The channel level repeats a station once per channel; its first row stands.
        std::string key = std::string(net) + '.' + std::string(sta);
        if (!seen.insert(std::move(key)).second)
            continue;
        if (++stations > static_cast<std::size_t>(kMaxImportStations))
            continue; // counted for the message below
        row.Name = std::string(sta);
        row.Network = std::string(net);
        if (site != column.end())
            row.Site = std::string(f[site->second]);
        table.Rows.push_back(std::move(row));
    }
    if (stations > static_cast<std::size_t>(kMaxImportStations))
        TooMany(fileName, stations);
    if (stations == 0)
        NoStations(fileName);
    return table;
}

// ---- By content ----

TStationFormat DetectStationFormat(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const auto first = bytes.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && bytes[first] == '<')
        return TStationFormat::StationXml;
    if (first != std::string_view::npos && bytes[first] == '#') {
        const auto eol = bytes.find_first_of("\r\n", first);
        if (bytes.substr(first, eol == std::string_view::npos ? eol : eol - first).find('|')
            != std::string_view::npos)
            return TStationFormat::FdsnText;
    }
    return TStationFormat::Csv;
}

TStationTable ParseStations(std::string_view bytes, const std::string &fileName)
{
    switch (DetectStationFormat(bytes)) {
    case TStationFormat::StationXml:
        return ParseStationXml(bytes, fileName);
    case TStationFormat::FdsnText:
        return ParseFdsnText(bytes, fileName);
    case TStationFormat::Csv:
    default:
        return ParseStationsCsv(bytes, fileName);
    }
}

TStationTable ReadStationsFile(const std::string &path)
{
    return ParseStations(ReadWholeFile(path), path);
}

} // namespace valdrin::formats
