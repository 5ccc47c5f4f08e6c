// A computed result in the grid formats of GMT, QGIS and Python, as
// valdrin-calc --format and the window's "save as" choose them; the
// tab-separated results file stays the default and is written by each
// front end itself.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "calc/Computation.h"
#include "params/WorkingSet.h"

namespace valdrin::formats {

enum class TResultFormat { Tsv, Xyz, Esri, NetCdf };

// "tsv", "xyz", "esri", "netcdf" (any case); no value for anything else.
std::optional<TResultFormat> ParseResultFormat(std::string_view name);

// Writes a grid format (not Tsv) to path, safely, or to out without a path
// (netCDF needs one). notRegistered is the value of the nodes no k stations
// register in xyz and ESRI (NaN: written NaN, NODATA in ESRI). Throws
// common::TValdrinError.
void WriteResultGrid(TResultFormat format, const std::optional<std::string> &path,
    std::ostream &out, const calc::TResult &result, const calc::TCalcSnapshot &snapshot,
    const params::TWorkingSet &ws, char decimalSep, double notRegistered);

} // namespace valdrin::formats
