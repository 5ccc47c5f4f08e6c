// A computed result as a grid for GMT, QGIS and Python: xyz text, ESRI ASCII
// grid and netCDF-4 following the CF conventions.
//
// Node modes: axis u = i*UStep + UMin, v = j*VStep + VMin along the plane's
// axes (m; longitude, latitude in degrees when the result is in degrees);
// NaN is a node without a value, +inf a node no k stations register.
// Response modes: offsets (p - KCount)*DK in cycles per metre, times Vp
// (Hz) in C(dF). Only the elements both the grid and the matrix hold are
// written.
#pragma once

#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "calc/Result.h"
#include "formats/Stations.h"

namespace valdrin::formats {

struct TGridAxis {
    std::string Name; // x, y, z, lon, lat, kx, ky, fx, ...
    std::string LongName; // English, for the tools that label plots with it
    std::string Units; // UDUNITS: m, degrees_east, degrees_north, m-1, Hz
    std::vector<double> Values;
    double Step = 0; // of the grid, even where it holds one node
};

struct TGridExport {
    TGridAxis U, V;
    std::vector<std::vector<double>> Values; // [i][j] at (U[i], V[j])
    std::string Quantity, LongName, Units;
    bool NodeMode = false; // +inf means "not registered"
};

// The result as a grid; throws common::TValdrinError when there is nothing
// to write (no computed result, an empty grid).
TGridExport GridFromResult(const calc::TResult &result, double Vp);

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// "x y value" per element, u outer, v inner, %.9g; NaN written NaN, a node
// not registered written notRegistered (NaN by default). Two "#" lines
// first: the column names, and how "not registered" is written.
void WriteXyz(
    std::ostream &out, const calc::TResult &result, double Vp, double notRegistered = kNaN);

// ESRI ASCII grid; refused unless both steps are equal. Nodes without a
// value are noData; nodes not registered are notRegistered, or noData when
// notRegistered is NaN.
void WriteEsriAscii(std::ostream &out, const calc::TResult &result, double Vp,
    double noData = -9999, double notRegistered = kNaN);

// What the netCDF file records of the run beside the grid.
struct TRunInfo {
    double Vp = 6000; // m/s
    double C1 = 1.5, C2 = 4.5; // energy class K = C1*M + C2
    int k = 0; // stations that must register
    calc::TMediumKind Medium = calc::TMediumKind::Homogeneous;
    TStationTable Stations;
};

// netCDF-4, CF-1.8: coordinate variables of both axes, the quantity (double,
// _FillValue NaN), a byte variable not_registered in node modes, the run's
// parameters as global attributes and the stations along a station
// dimension. Written to a temporary beside path and renamed over it; only a
// regular file or a new name. Throws common::TValdrinError.
void WriteNetCdf(const std::string &path, const calc::TResult &result, const TRunInfo &run);

} // namespace valdrin::formats
