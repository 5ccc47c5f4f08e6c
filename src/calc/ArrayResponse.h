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
    double Min = 0;   // smallest element (ResultMin)
};

// Uses the first N stations of the set. Fewer than two stations, or a matrix
// side above kMaxMatrixSide, throws common::TValdrinError (Russian message).
// Cancelled: nullopt.
std::optional<TResponse> ArrayResponse(const TStationSet &stations, int N, const TWaveGrid &grid,
                                       bool degrees, const TRunControl &control = {});

} // namespace valdrin::calc
