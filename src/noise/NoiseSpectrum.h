// Noise spectrum files: a header line of column names, then rows of a
// frequency (Hz) and one velocity power spectral density per column,
// (m/s)^2/Hz, written with a decimal point.
#pragma once

#include "common/MathRout.h"
#include "common/RunControl.h"

#include <istream>
#include <string>
#include <vector>

namespace valdrin::noise {

using TChanLongNames = std::vector<std::string>;

struct TNoiseSpectrum {
    TChanLongNames Names; // data column names, in file order
    common::TDoubleDynArray Freq; // frequency of each row, Hz
    common::TMatrix2D Data; // Data[c][r]: column c, row r, (m/s)^2/Hz
};

enum class TNoiseLoadStatus {
    Complete, // read to the end
    NotFound, // no such file; the spectrum is empty
    BadData, // a number could not be read, or the file is not a spectrum
    ReadError, // the file could not be opened or read, or is not a regular file
    Cancelled,
    OutOfMemory, // memory ran out; the spectrum is empty and the previous one is to stay
};

struct TNoiseLoad {
    // Every row completed before the load ended, whatever the status.
    TNoiseSpectrum Spectrum;
    TNoiseLoadStatus Status = TNoiseLoadStatus::Complete;
    int ErrorLine = 0; // 1-based line of the first unreadable number (BadData)
    std::string Message; // the text the user sees; empty when Complete

    bool Found() const { return Status != TNoiseLoadStatus::NotFound; }
};

// Reads the spectrum file at FileName (UTF-8 path). control's progress
// (rows read, total 0) and cancel are looked at after every 100th row.
TNoiseLoad LoadNoiseFile(const std::string &FileName, const common::TRunControl &control = {});

// The same from an open stream; FileName only goes into the messages.
TNoiseLoad ReadNoiseFile(
    std::istream &in, const std::string &FileName, const common::TRunControl &control = {});

} // namespace valdrin::noise
