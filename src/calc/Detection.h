// The node scan of the detection computation (modes 3..6).
#pragma once

#include <optional>

#include "calc/Computation.h"

namespace valdrin::calc {

// Fills the NU x NV matrix of the snapshot's mode over its plane grid, on
// control.Threads threads (0: every core), in pieces of rows. Progress counts
// nodes, of NU * NV. Expects a snapshot that RunComputation has checked.
// Cancelled: nullopt. Only rows firstRow..lastRow (U index, both included;
// lastRow -1: to the end) are computed; the others are left empty.
std::optional<TMatrix2D> ScanNodes(
    const TCalcSnapshot &snapshot, const TRunControl &control, int firstRow = 0, int lastRow = -1);

} // namespace valdrin::calc
