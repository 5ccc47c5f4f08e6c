// The detection-capability computation behind "Считать": the run over a
// frozen snapshot of everything it reads.
#pragma once

#include <optional>

#include "calc/CalcSnapshot.h"
#include "calc/Result.h"
#include "calc/RunControl.h"

namespace valdrin::calc {

// Runs the computation of Params.Mode. Refused input throws
// common::TValdrinError with the message the user sees, before anything is
// computed. A cancelled run returns nullopt. Mode 0 (and any mode outside
// 1..6) returns a result with no matrix that may not be saved.
// Modes 3..6: a node where fewer than k stations have a value (a station
// exactly at the node has none) holds NaN; a node whose k-th smallest value
// is +infinity (not registered) holds +infinity. The layered model's bounds
// are taken from its first Top and the thicknesses. The matrix is the same
// whatever control.Threads.
// Rows of the node grid (U index) a run computes: First..Last, both
// included; Last -1 stands for the grid's last row.
struct TRowRange {
    int First = 0;
    int Last = -1;
};

// With rows narrower than the grid (modes 3..6 only; refused for the others
// and outside the grid), the matrix keeps the grid's NU rows and every node's
// own coordinates, with the rows outside left empty: the results file then
// holds exactly those rows' lines of the full run.
std::optional<TResult> RunComputation(
    const TCalcSnapshot &snapshot, const TRunControl &control = {}, TRowRange rows = {});

// The refusals RunComputation gives a snapshot of a node mode (3..6), thrown
// as common::TValdrinError; for the analyses that scan the nodes themselves.
void CheckNodeSnapshot(const TCalcSnapshot &snapshot);

} // namespace valdrin::calc
