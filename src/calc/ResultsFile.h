// The tab-separated results file: one header line, one line per matrix
// element, CR LF line ends, point as decimal separator.
#pragma once

#include <ostream>
#include <string>

#include "calc/Result.h"

namespace valdrin::calc {

// Writes in the layout of the result's own mode, plane and grids, and only
// the elements that both the grid and the matrix hold. Vp scales the axes in
// mode 2; C1, C2 give the energy class in mode 3. Values without a number are
// written nan, inf or -inf (a response of 0 has a dB field of -inf). Mode 0,
// or a mode outside 1..6, writes the first part of the header alone, without
// a line end. A stream that fails throws common::TValdrinError.
void WriteResultsFile(std::ostream &out, const TResult &result, double Vp, double C1, double C2);
// The same without the header line when header is false: the lines of the
// rows the matrix holds (a part of a grid computed by rows), to be joined
// after the header of the first part.
void WriteResultsFile(
    std::ostream &out, const TResult &result, double Vp, double C1, double C2, bool header);
std::string FormatResultsFile(const TResult &result, double Vp, double C1, double C2);

} // namespace valdrin::calc
