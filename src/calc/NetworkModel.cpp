// Station tables, their defaults and their reading into the station set.
#include "calc/NetworkModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "common/NumText.h"

namespace valdrin::calc {

using enum TViewPlane;

namespace {

struct TDefaultStation {
    const char *X, *Y, *Z, *Name;
};

constexpr std::array<TDefaultStation, 25> kDefaultStations { {
    { "0", "0", "403", "ARA0" },
    { "53", "160", "411", "ARA1" },
    { "77", "-120", "392", "ARA2" },
    { "-149", "-30", "402", "ARA3" },
    { "82", "336", "414", "ARB1" },
    { "294", "97", "397", "ARB2" },
    { "189", "-269", "376", "ARB3" },
    { "-231", "-225", "378", "ARB4" },
    { "-283", "158", "405", "ARB5" },
    { "81", "690", "381", "ARC1" },
    { "664", "387", "395", "ARC2" },
    { "673", "-214", "376", "ARC3" },
    { "229", "-616", "377", "ARC4" },
    { "-296", "-538", "374", "ARC5" },
    { "-683", "-81", "395", "ARC6" },
    { "-471", "530", "362", "ARC7" },
    { "135", "1491", "395", "ARD1" },
    { "972", "1143", "366", "ARD2" },
    { "1651", "188", "331", "ARD3" },
    { "1181", "-858", "371", "ARD4" },
    { "233", "-1494", "351", "ARD5" },
    { "-613", "-1347", "413", "ARD6" },
    { "-1360", "-607", "413", "ARD7" },
    { "-1443", "392", "368", "ARD8" },
    { "-778", "1173", "359", "ARD9" },
} };

// a0, a1, a2, a3, An, SNR. The start-up rows write a0 as "1.000"; rows added
// later get "1".
constexpr std::array<const char *, 6> kStartAttenuation { "1.000", "1.3", "0.0001", "0.4", "0.010",
    "4" };
constexpr std::array<const char *, 6> kBlankAttenuation { "1", "1.3", "0.0001", "0.4", "0.010",
    "4" };

constexpr int kTableRows = 26; // header + 25 stations

std::string WithSeparator(std::string text, char decimalSep)
{
    for (char &c : text)
        if (c == '.')
            c = decimalSep;
    return text;
}

constexpr int kLatitudeCol = 2; // CooGrid column of Y, the latitude in degrees

// A column as the user sees it named: the table's header cell, or the
// default caption when the header is blank.
std::string ColumnCaption(const TCellTable &table, int c, bool cooGrid)
{
    const std::string &header = table.Cell(0, c);
    if (!header.empty())
        return header;
    const TCellTable defaults = cooGrid ? DefaultCooGrid() : DefaultStrGrid();
    return defaults.Cell(0, c);
}

// CooGrid columns of U, V, W for a plane.
std::array<int, 3> PlaneColumns(TViewPlane plane)
{
    switch (plane) {
    case vpYZ:
        return { 2, 3, 1 };
    case vpXZ:
        return { 1, 3, 2 };
    case vpXY:
    default:
        return { 1, 2, 3 };
    }
}

} // namespace

TCellTable DefaultCooGrid()
{
    TCellTable t(kTableRows, kCooGridCols);
    t.Rows[0] = { "№", "X", "Y", "Z", "Name" };
    for (std::size_t i = 0; i < kDefaultStations.size(); ++i) {
        const auto &s = kDefaultStations[i];
        t.Rows[i + 1] = { std::to_string(i), s.X, s.Y, s.Z, s.Name };
    }
    return t;
}

TCellTable DefaultStrGrid(char decimalSep)
{
    TCellTable t(kTableRows, kStrGridCols);
    t.Rows[0] = { "Name", "a0", "a1", "a2", "a3", "An", "SNR" };
    for (std::size_t i = 0; i < kDefaultStations.size(); ++i) {
        auto &row = t.Rows[i + 1];
        row[0] = kDefaultStations[i].Name;
        for (std::size_t c = 0; c < kStartAttenuation.size(); ++c)
            row[c + 1] = WithSeparator(kStartAttenuation[c], decimalSep);
    }
    return t;
}

TStationSet ReadStations(const TCellTable &cooGrid, const TCellTable &strGrid, TViewPlane plane,
    char decimalSep, bool degrees)
{
    TStationSet s;
    const int rows = std::max(cooGrid.RowCount() - 1, 0);
    const auto n = static_cast<std::size_t>(rows);
    for (auto *a : { &s.U, &s.V, &s.W, &s.A0, &s.A1, &s.A2, &s.A3, &s.An, &s.SNR })
        a->assign(n, 0.0);
    s.Name.assign(n, std::string());

    const auto cols = PlaneColumns(plane);
    // Each value is stored as soon as it converts, so a row that stops the
    // reading leaves its leading cells in the arrays.
    auto read = [&](bool coordinates, int r, int c, TDoubleDynArray &into) {
        const TCellTable &table = coordinates ? cooGrid : strGrid;
        const std::string &text = table.Cell(r, c);
        const auto v = common::TextToFloatAnySep(text, decimalSep);
        const bool latitude = degrees && coordinates && c == kLatitudeCol;
        if (!v || (latitude && !(std::fabs(*v) <= 90))) {
            s.BadCell = "столбец " + ColumnCaption(table, c, coordinates) + ": «" + text + "»"
                + (v ? ", широта вне пределов от -90 до 90°" : "");
            return false;
        }
        into[static_cast<std::size_t>(r - 1)] = *v;
        return true;
    };
    int count = 0;
    for (int r = 1; r <= rows; ++r) {
        if (!read(true, r, cols[0], s.U) || !read(true, r, cols[1], s.V)
            || !read(true, r, cols[2], s.W))
            break;
        s.Name[static_cast<std::size_t>(r - 1)] = cooGrid.Cell(r, 4);
        bool complete = true;
        TDoubleDynArray *coeffs[] = { &s.A0, &s.A1, &s.A2, &s.A3, &s.An, &s.SNR };
        for (int c = 1; c <= 6 && complete; ++c)
            complete = read(false, r, c, *coeffs[c - 1]);
        if (!complete)
            break;
        ++count;
    }
    s.Count = count;
    if (count == 0)
        return s;

    double sumU = 0, sumV = 0;
    for (int i = 0; i < count; ++i) {
        sumU += s.U[static_cast<std::size_t>(i)];
        sumV += s.V[static_cast<std::size_t>(i)];
    }
    const double cu = sumU / count, cv = sumV / count;
    int best = 0;
    double bestDist = std::hypot(s.U[0] - cu, s.V[0] - cv);
    for (int i = 1; i < count; ++i) {
        const double d = std::hypot(
            s.U[static_cast<std::size_t>(i)] - cu, s.V[static_cast<std::size_t>(i)] - cv);
        if (d < bestDist) { // strict: the earlier station wins a tie
            best = i;
            bestDist = d;
        }
    }
    s.CentreU = s.U[static_cast<std::size_t>(best)];
    s.CentreV = s.V[static_cast<std::size_t>(best)];
    return s;
}

std::string StationRowMessage(const TStationSet &set)
{
    std::string text = "Ошибка в параметрах станции №" + std::to_string(set.Count + 1);
    if (!set.BadCell.empty())
        text += " (" + set.BadCell + ")";
    return text;
}

void SetStationCount(TCellTable &cooGrid, TCellTable &strGrid, int N, char decimalSep)
{
    N = std::clamp(N, 1, kMaxStations);
    cooGrid.Resize(N + 1, std::max(cooGrid.ColCount, kCooGridCols));
    strGrid.Resize(N + 1, std::max(strGrid.ColCount, kStrGridCols));
    for (int r = 1; r <= N; ++r) {
        cooGrid.SetCell(r, 0, std::to_string(r - 1));
        strGrid.SetCell(r, 0, cooGrid.Cell(r, 4));
        for (int c = 1; c <= 6; ++c)
            if (strGrid.Cell(r, c).empty())
                strGrid.SetCell(r, c,
                    WithSeparator(kBlankAttenuation[static_cast<std::size_t>(c - 1)], decimalSep));
    }
}

} // namespace valdrin::calc
