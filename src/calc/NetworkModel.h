// The state the whole program shares: station tables, the station set read
// from them, the calculation parameters, the node grid of the view plane and
// the wavenumber grid. Units: metres, m/s, Hz; Z is an elevation (up).
#pragma once

#include <string>
#include <vector>

#include "common/CellTable.h"
#include "common/MathRout.h"

namespace valdrin::calc {

using common::TCellTable;
using common::TDoubleDynArray;
using common::TMatrix2D;

constexpr int kMaxStations = 100;

// Plane axes: U horizontal on the map, V vertical, W perpendicular.
enum class TViewPlane { vpXY, vpYZ, vpXZ };

enum class TShowMode {
    smStations,
    smCdK,
    smCdF,
    smMinMagnitude,
    smLocError,
    smCornerFreq,
    smSourceSize
};

struct TStationSet {
    TDoubleDynArray U, V, W; // plane-mapped coordinates, m (or degrees for U, V)
    TDoubleDynArray A0, A1, A2, A3; // attenuation law coefficients
    TDoubleDynArray An, SNR; // noise level (mm WA) and signal-to-noise ratio
    std::vector<std::string> Name; // station codes
    int Count = 0; // complete rows read from the top
    std::string BadCell; // the cell that ended the reading at row Count + 1,
                         // "столбец Y: «42.8a»"; empty when no cell did
    double CentreU = 0, CentreV = 0; // the station nearest the centroid
    bool operator==(const TStationSet &) const = default;
};

struct TPlaneGrid {
    double UMin = 0, UMax = 0, UStep = 0;
    double VMin = 0, VMax = 0, VStep = 0;
    double WPlane = 0; // fixed coordinate of the plane, m
    int NU = 0, NV = 0;
    bool operator==(const TPlaneGrid &) const = default;
};

struct TWaveGrid {
    double KMax = 0; // cycles per metre
    double DK = 0; // cycles per metre (> 0 for a usable grid)
    int KCount = 0;
    bool operator==(const TWaveGrid &) const = default;
};

enum class TMediumKind { Homogeneous = 0, Layered = 1 };

// The values a computation reads, with the window's defaults.
struct TCalcParams {
    int N = 25; // station count, 1..100
    int k = 3; // stations that must register, 1..N for a usable run
    int LocErrorPct = 5; // % of the hypocentral distance, 0..50
    double FcNum = 5; // multiplier n of the band Fc/2..n*Fc, 0.1..8
    double Vs = 3000; // m/s, source law
    double Vp = 6000; // m/s, wavenumber to frequency in C(dF)
    double SurfaceAlt = 200; // m, -10000..10000
    bool Degrees = false; // X, Y as longitude, latitude
    TShowMode Mode = TShowMode::smStations;
    TViewPlane Plane = TViewPlane::vpXY;
    TMediumKind Medium = TMediumKind::Homogeneous;
    double C1 = 1.5, C2 = 4.5; // energy class K = C1*M + C2
    bool operator==(const TCalcParams &) const = default;
};

// Column counts of the two station tables (the fixed column included).
constexpr int kCooGridCols = 5; // "№", "X", "Y", "Z", "Name"
constexpr int kStrGridCols = 7; // "Name", "a0", "a1", "a2", "a3", "An", "SNR"

} // namespace valdrin::calc

namespace valdrin::calc {

// The window's start-up tables: 26 rows (header + 25 stations). The default
// attenuation texts carry the user's decimal separator, so the station set
// reads its own defaults in any locale.
TCellTable DefaultCooGrid();
TCellTable DefaultStrGrid(char decimalSep = '.');

// Reads both tables for the plane; numbers with the user's decimal separator
// or either of "." and ",". Count tells how many rows were complete from the
// top. In degrees a latitude (column Y) outside [-90, 90] ends the reading
// as a cell that does not convert.
TStationSet ReadStations(const TCellTable &cooGrid, const TCellTable &strGrid, TViewPlane plane,
    char decimalSep, bool degrees = false);

// "Ошибка в параметрах станции №<Count + 1>", with the bad cell in brackets
// when one ended the reading.
std::string StationRowMessage(const TStationSet &set);

// Keeps both tables at N + 1 rows, renumbers column 0, copies the station
// codes and fills blank attenuation cells with their default texts (with the
// user's decimal separator).
void SetStationCount(TCellTable &cooGrid, TCellTable &strGrid, int N, char decimalSep = '.');

} // namespace valdrin::calc
