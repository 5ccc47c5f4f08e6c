// Array response C(dK): modulus of the mean phase factor of the stations
// (the first table row excluded) over the wavenumber grid.
#pragma once

#include <optional>

#include "calc/NetworkModel.h"
#include "calc/RunControl.h"

namespace valdrin::calc {

constexpr int kMaxMatrixSide = 4001; // largest matrix side a run may allocate

struct TResponse {
    TMatrix2D Matrix; // (2*KCount+1) x (2*KCount+1), [p][q]
    double Min = 0; // smallest element (ResultMin)
};

// Uses the first N stations of the set. Fewer than two stations, an unusable
// wavenumber grid or a matrix side above kMaxMatrixSide throws
// common::TValdrinError (Russian message). N beyond the set's arrays throws
// std::invalid_argument. Cancelled: nullopt. Progress reports matrix rows
// done out of 2*KCount+1, serialised (never two calls at once).
std::optional<TResponse> ArrayResponse(const TStationSet &stations, int N, const TWaveGrid &grid,
    bool degrees, const TRunControl &control = {});

// The summed stations' offsets from the centre station, metres: station s
// has the phase 2*pi*(A[s]*kU + B[s]*kV). Same preconditions as ArrayResponse.
struct TArrayOffsets {
    std::vector<double> A, B;
};
TArrayOffsets ArrayOffsets(const TStationSet &stations, int N, bool degrees);

// The same matrix the straightforward way, one sine and cosine per element
// and station, on the calling thread: the oracle of the fast form.
TResponse ArrayResponseReference(
    const TStationSet &stations, int N, const TWaveGrid &grid, bool degrees);

} // namespace valdrin::calc
