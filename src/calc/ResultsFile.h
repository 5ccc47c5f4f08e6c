// The tab-separated results file: one header line, one line per matrix
// element, CR LF line ends, point as decimal separator.
#pragma once

#include <ostream>
#include <string>

#include "calc/Result.h"

namespace valdrin::calc {

// Writes in the layout of the result's own mode, plane and grids. Vp scales
// the axes in mode 2; C1, C2 give the energy class in mode 3.
void WriteResultsFile(std::ostream &out, const TResult &result, double Vp, double C1, double C2);
std::string FormatResultsFile(const TResult &result, double Vp, double C1, double C2);

} // namespace valdrin::calc
