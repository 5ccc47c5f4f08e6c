// Reads back the node lines of results files (modes 3..6), one file or the
// parts of one grid computed by rows, into the result they were written
// from: the grid from the coordinates, the matrix from the first value
// field. The header names the mode and the plane; parts written without it
// follow a part that has it.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "calc/Result.h"

namespace valdrin::calc {

// What the parts read so far hold.
struct TResultsParts {
    TShowMode Mode = TShowMode::smStations;
    TViewPlane Plane = TViewPlane::vpXY;
    bool HaveHeader = false;
    std::vector<double> U, V; // each row's U, the first row's V
    TMatrix2D Matrix;
};

// Adds the lines of one part (the first must start with the header). name
// is the file's name for the messages. Errors throw common::TValdrinError
// naming the file and the line.
void ReadResultsPart(std::istream &in, const std::string &name, TResultsParts &parts);

// The result the parts were written from: rows whole and evenly spaced (to
// the written digits), the grid from their first and last coordinates.
// Throws common::TValdrinError if they are not.
TResult JoinResultsParts(TResultsParts parts);

} // namespace valdrin::calc
