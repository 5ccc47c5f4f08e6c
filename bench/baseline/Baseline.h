// The engine's earlier code paths, kept for the benchmarks to time against
// and to check the engine's output against, bit for bit.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "calc/Computation.h"
#include "calc/Result.h"

namespace valdrin::calc::baseline {

std::optional<TMatrix2D> ScanNodes(const TCalcSnapshot &snapshot, const TRunControl &control);
void WriteResultsFile(std::ostream &out, const TResult &result, double Vp, double C1, double C2);
std::string FormatResultsFile(const TResult &result, double Vp, double C1, double C2);

} // namespace valdrin::calc::baseline
