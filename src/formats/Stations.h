// Station lists in the field's exchange formats: CSV with named columns,
// FDSN station text (fdsnws-station format=text, station or channel level)
// and FDSN StationXML in; CSV, FDSN text, KML and GeoJSON out.
//
// Coordinates: X, Y in metres on the plane, or longitude and latitude in
// decimal degrees (WGS84) when Degrees is set; Z is the elevation in metres,
// positive up. Every reader returns the whole list or throws
// common::TValdrinError with the Russian message (file name, line); nothing
// is returned half-read.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/CellTable.h"

namespace valdrin::formats {

constexpr int kMaxImportStations = 100; // the station table's capacity

// a0, a1, a2, a3, An (rms noise, mm of a Wood-Anderson record), SNR: the
// columns of the attenuation table.
using TAttenuation = std::array<double, 6>;
inline constexpr TAttenuation kDefaultAttenuation { 1, 1.3, 0.0001, 0.4, 0.010, 4 };

struct TStationRow {
    std::string Name; // station code, UTF-8, not empty
    std::string Network; // FDSN network code, empty when the source has none
    std::string Site; // site name, may be empty
    double X = 0, Y = 0; // m, or longitude, latitude in degrees
    double Z = 0; // elevation, m
    std::optional<TAttenuation> Attenuation; // none: the table's default row
    bool operator==(const TStationRow &) const = default;
};

struct TStationTable {
    std::vector<TStationRow> Rows;
    bool Degrees = false; // X, Y are longitude, latitude
    bool operator==(const TStationTable &) const = default;
};

enum class TStationFormat { Csv, FdsnText, StationXml };

// Readers of file contents; fileName only goes into the messages.
TStationTable ParseStationsCsv(std::string_view bytes, const std::string &fileName);
TStationTable ParseFdsnText(std::string_view bytes, const std::string &fileName);
TStationTable ParseStationXml(std::string_view bytes, const std::string &fileName);

// The format from the contents: XML when the first non-blank character is
// "<", FDSN text when the first line starts with "#" and holds "|", else CSV.
TStationFormat DetectStationFormat(std::string_view bytes);
TStationTable ParseStations(std::string_view bytes, const std::string &fileName);
// The file at path, any of the three formats.
TStationTable ReadStationsFile(const std::string &path);

// Writers. CSV in metres: name,x,y,z,a0,a1,a2,a3,an,snr; in degrees:
// name,longitude,latitude,elevation_m,a0,...; point decimal, shortest
// round-trip numbers, LF line ends, UTF-8. FDSN text, KML and GeoJSON need
// degrees and refuse a table in metres. A stream that fails throws.
void WriteStationsCsv(std::ostream &out, const TStationTable &table);
void WriteFdsnText(std::ostream &out, const TStationTable &table);
void WriteKml(std::ostream &out, const TStationTable &table);
void WriteGeoJson(std::ostream &out, const TStationTable &table);

// The window's two station tables (CooGrid: "№", X, Y, Z, Name; StrGrid:
// Name, a0, a1, a2, a3, An, SNR) as a station list: the complete rows from
// the top, numbers with the user's decimal separator. Degrees is passed in.
TStationTable StationsFromTables(const common::TCellTable &cooGrid,
    const common::TCellTable &strGrid, char decimalSep, bool degrees);

// Every row of the tables or nothing: a row that does not read throws
// common::TValdrinError naming it, instead of cutting the list short.
TStationTable ExportStations(const common::TCellTable &cooGrid, const common::TCellTable &strGrid,
    char decimalSep, bool degrees);

// The tables for a station list: header row plus one row per station,
// numbers in the shortest form with the user's decimal separator, rows
// without attenuation given the default texts of the table.
struct TStationTables {
    common::TCellTable CooGrid, StrGrid;
};
TStationTables StationsToTables(const TStationTable &table, char decimalSep);

// The station tables after an import: the list alone (append false) or the
// rows of current (up to its last row with data) followed by the list's
// rows, renumbered. Degrees is the list's. Throws common::TValdrinError, current untouched, when
// the tables would hold more than kMaxImportStations rows, or when appending mixes degrees and
// metres (currentDegrees differs from the list's).
struct TStationImport {
    TStationTables Tables;
    int Count = 0; // station rows of the tables
    bool Degrees = false;
};
TStationImport ImportStations(const TStationTables &current, bool currentDegrees,
    const TStationTable &list, bool append, char decimalSep);

// Station rows (1-based, as the tables number them) whose name cell is name,
// blanks around either ignored.
std::vector<int> FindStationRows(const common::TCellTable &cooGrid, std::string_view name);

// The text of an An cell for a Wood-Anderson noise amplitude, mm: six
// significant digits, the user's decimal separator.
std::string AnCellText(double waMm, char decimalSep);
constexpr int kAnColumn = 5; // of StrGrid

} // namespace valdrin::formats
