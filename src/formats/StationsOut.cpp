// Writers of station lists, and the station list as the window's tables.
#include <algorithm>
#include <charconv>
#include <cstdio>

#include "calc/NetworkModel.h"
#include "common/Error.h"
#include "common/NumText.h"
#include "formats/Stations.h"
#include "formats/TextInput.h"

namespace valdrin::formats {

namespace {

void Finish(std::ostream &out)
{
    out.flush();
    if (!out)
        throw common::TValdrinError("Ошибка записи файла станций");
}

void NeedDegrees(const TStationTable &table, const char *format)
{
    if (!table.Degrees)
        throw common::TValdrinError(std::string("Формат ") + format
            + " требует координат в градусах (долгота, широта); "
              "станции заданы в метрах");
}

std::string CsvField(const std::string &s)
{
    if (s.find_first_of(",;\"\r\n") == std::string::npos
        && (s.empty() || (s.find_first_of(" \t") != 0 && s.find_last_of(" \t") != s.size() - 1)))
        return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

std::string XmlText(const std::string &s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            // XML 1.0 has no place for other control characters.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                out += ' ';
            else
                out += c;
        }
    }
    return out;
}

std::string JsonString(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}

// FDSN text has no quoting: a bar or a line break in a field would shift
// the columns, so such a field is refused.
std::string FdsnField(const std::string &s, const char *what)
{
    if (s.find_first_of("|\r\n") != std::string::npos)
        throw common::TValdrinError(
            std::string("Формат FDSN: ") + what + " «" + s + "» содержит «|» или перевод строки");
    return s;
}

const TAttenuation &Coeffs(const TStationRow &row)
{
    return row.Attenuation ? *row.Attenuation : kDefaultAttenuation;
}

} // namespace

void WriteStationsCsv(std::ostream &out, const TStationTable &table)
{
    out << (table.Degrees ? "name,longitude,latitude,elevation_m" : "name,x,y,z")
        << ",a0,a1,a2,a3,an,snr\n";
    for (const auto &r : table.Rows) {
        out << CsvField(r.Name) << ',' << FormatShortest(r.X) << ',' << FormatShortest(r.Y) << ','
            << FormatShortest(r.Z);
        for (double a : Coeffs(r))
            out << ',' << FormatShortest(a);
        out << '\n';
    }
    Finish(out);
}

void WriteFdsnText(std::ostream &out, const TStationTable &table)
{
    NeedDegrees(table, "FDSN");
    out << "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime\n";
    for (const auto &r : table.Rows)
        out << FdsnField(r.Network, "код сети") << '|' << FdsnField(r.Name, "код станции") << '|'
            << FormatShortest(r.Y) << '|' << FormatShortest(r.X) << '|' << FormatShortest(r.Z)
            << '|' << FdsnField(r.Site, "название пункта") << "||\n";
    Finish(out);
}

void WriteKml(std::ostream &out, const TStationTable &table)
{
    NeedDegrees(table, "KML");
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
    for (const auto &r : table.Rows) {
        out << "<Placemark><name>" << XmlText(r.Name) << "</name>";
        if (!r.Site.empty())
            out << "<description>" << XmlText(r.Site) << "</description>";
        out << "<Point><coordinates>" << FormatShortest(r.X) << ',' << FormatShortest(r.Y) << ','
            << FormatShortest(r.Z) << "</coordinates></Point></Placemark>\n";
    }
    out << "</Document>\n</kml>\n";
    Finish(out);
}

void WriteGeoJson(std::ostream &out, const TStationTable &table)
{
    NeedDegrees(table, "GeoJSON");
    static const char *const keys[] = { "a0", "a1", "a2", "a3", "an", "snr" };
    out << "{\"type\":\"FeatureCollection\",\"features\":[";
    bool first = true;
    for (const auto &r : table.Rows) {
        out << (first ? "\n" : ",\n") << "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\","
            << "\"coordinates\":[" << FormatShortest(r.X) << ',' << FormatShortest(r.Y) << ','
            << FormatShortest(r.Z) << "]},\"properties\":{\"name\":" << JsonString(r.Name);
        if (!r.Network.empty())
            out << ",\"network\":" << JsonString(r.Network);
        if (!r.Site.empty())
            out << ",\"site\":" << JsonString(r.Site);
        out << ",\"elevation_m\":" << FormatShortest(r.Z);
        const auto &a = Coeffs(r);
        for (std::size_t k = 0; k < a.size(); ++k)
            out << ",\"" << keys[k] << "\":" << FormatShortest(a[k]);
        out << "}}";
        first = false;
    }
    out << "\n]}\n";
    Finish(out);
}

TStationTable StationsFromTables(const common::TCellTable &cooGrid,
    const common::TCellTable &strGrid, char decimalSep, bool degrees)
{
    // The plane XY reads X, Y, Z in table order; the set's complete rows are the list.
    const calc::TStationSet set
        = calc::ReadStations(cooGrid, strGrid, calc::TViewPlane::vpXY, decimalSep);
    TStationTable table;
    table.Degrees = degrees;
    for (int i = 0; i < set.Count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        TStationRow row;
        row.Name = set.Name[k];
        row.X = set.U[k];
        row.Y = set.V[k];
        row.Z = set.W[k];
        row.Attenuation
            = TAttenuation { set.A0[k], set.A1[k], set.A2[k], set.A3[k], set.An[k], set.SNR[k] };
        table.Rows.push_back(std::move(row));
    }
    return table;
}

TStationTables StationsToTables(const TStationTable &table, char decimalSep)
{
    const int n = static_cast<int>(table.Rows.size());
    TStationTables t;
    t.CooGrid = common::TCellTable(n + 1, calc::kCooGridCols);
    t.StrGrid = common::TCellTable(n + 1, calc::kStrGridCols);
    t.CooGrid.Rows[0] = calc::DefaultCooGrid().Rows[0];
    t.StrGrid.Rows[0] = calc::DefaultStrGrid().Rows[0];
    auto text = [&](double v) { return common::FormatGeneral(v, decimalSep); };
    for (int r = 1; r <= n; ++r) {
        const auto &row = table.Rows[static_cast<std::size_t>(r - 1)];
        t.CooGrid.SetCell(r, 1, text(row.X));
        t.CooGrid.SetCell(r, 2, text(row.Y));
        t.CooGrid.SetCell(r, 3, text(row.Z));
        t.CooGrid.SetCell(r, 4, row.Name);
        if (row.Attenuation)
            for (int c = 1; c <= 6; ++c)
                t.StrGrid.SetCell(r, c, text((*row.Attenuation)[static_cast<std::size_t>(c - 1)]));
    }
    // Numbers the rows, copies the names and gives blank attenuation cells the defaults.
    if (n > 0)
        calc::SetStationCount(t.CooGrid, t.StrGrid, n, decimalSep);
    return t;
}

TStationImport ImportStations(const TStationTables &current, bool currentDegrees,
    const TStationTable &list, bool append, char decimalSep)
{
    TStationImport out;
    out.Degrees = list.Degrees;
    // Blank rows at the foot of the table are dropped: stations after them
    // would never be read.
    int kept = 0;
    if (append)
        for (int r = current.CooGrid.RowCount() - 1; r > 0 && kept == 0; --r)
            for (int c = 1; c < current.CooGrid.ColCount; ++c)
                if (!TrimBlanks(current.CooGrid.Cell(r, c)).empty())
                    kept = r;
    const int total = kept + static_cast<int>(list.Rows.size());
    if (total > kMaxImportStations)
        throw common::TValdrinError("Станций стало бы " + std::to_string(total)
            + ", а в таблице помещается не больше " + std::to_string(kMaxImportStations));
    if (append && kept > 0 && currentDegrees != list.Degrees)
        throw common::TValdrinError(list.Degrees
                ? "Станции файла заданы в градусах, а таблица - в метрах: добавить их нельзя"
                : "Станции файла заданы в метрах, а таблица - в градусах: добавить их нельзя");
    out.Tables = StationsToTables(list, decimalSep);
    if (kept > 0) {
        TStationTables merged = current;
        merged.CooGrid.Resize(kept + 1, calc::kCooGridCols);
        merged.StrGrid.Resize(kept + 1, calc::kStrGridCols);
        for (std::size_t r = 1; r < out.Tables.CooGrid.Rows.size(); ++r) {
            merged.CooGrid.Rows.push_back(out.Tables.CooGrid.Rows[r]);
            merged.StrGrid.Rows.push_back(out.Tables.StrGrid.Rows[r]);
        }
        calc::SetStationCount(merged.CooGrid, merged.StrGrid, total, decimalSep);
        out.Tables = std::move(merged);
        out.Degrees = currentDegrees;
    }
    out.Count = std::max(out.Tables.CooGrid.RowCount() - 1, 0);
    return out;
}

TStationTable ExportStations(const common::TCellTable &cooGrid, const common::TCellTable &strGrid,
    char decimalSep, bool degrees)
{
    const calc::TStationSet set
        = calc::ReadStations(cooGrid, strGrid, calc::TViewPlane::vpXY, decimalSep, degrees);
    if (set.Count < cooGrid.RowCount() - 1)
        throw common::TValdrinError("Таблица станций, строка " + std::to_string(set.Count + 1)
            + ": " + set.BadCell + ". Станции не выгружены");
    return StationsFromTables(cooGrid, strGrid, decimalSep, degrees);
}

std::vector<int> FindStationRows(const common::TCellTable &cooGrid, std::string_view name)
{
    std::vector<int> rows;
    const std::string_view wanted = TrimBlanks(name);
    for (int r = 1; r < cooGrid.RowCount(); ++r)
        if (TrimBlanks(cooGrid.Cell(r, 4)) == wanted)
            rows.push_back(r);
    return rows;
}

std::string AnCellText(double waMm, char decimalSep)
{
    // Rounded through text, locale-free, then in the form the tables write numbers.
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, waMm, std::chars_format::general, 6).ptr;
    double rounded = waMm;
    std::from_chars(buf, end, rounded);
    return common::FormatGeneral(rounded, decimalSep);
}

} // namespace valdrin::formats
