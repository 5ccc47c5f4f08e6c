// The engine's earlier code paths, kept for the benchmarks to time against
// and to check the engine's output against, bit for bit.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "calc/ArrayResponse.h"
#include "calc/Computation.h"
#include "calc/Result.h"
#include "medium/godograf.h"

namespace valdrin::calc::baseline {

std::optional<TMatrix2D> ScanNodes(const TCalcSnapshot &snapshot, const TRunControl &control);
void WriteResultsFile(std::ostream &out, const TResult &result, double Vp, double C1, double C2);
std::string FormatResultsFile(const TResult &result, double Vp, double C1, double C2);

// The response of a network in metres on one thread, and its results file
// (mode 1 only), as they were before the sums were kept in registers.
TResponse ArrayResponseZeroFilled(const TStationSet &stations, int N, const TWaveGrid &grid);
void WriteResponseFileAppending(std::ostream &out, const TResult &result);

// The ray search with the library's trigonometry on every angle.
medium::TTakeOffTable BuildTakeOffTable(const medium::THorizontalModel &layers,
    const medium::TRayTransitions &transitions, double startAlt, double endAlt);
bool TraceRayGeometry(medium::THorizontalModel &layers, medium::TRayTransitions &transitions,
    medium::TTravelParams &segments, double distance, double startAlt, double endAlt,
    medium::TTakeOffCache *cache = nullptr);

} // namespace valdrin::calc::baseline
