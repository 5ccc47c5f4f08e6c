// valdrin-calc: runs the window's computation on a working set (the window's
// start-up state, or a parameter file loaded as the window loads it, with
// options on top) and writes the results file.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "params/WorkingSet.h"

namespace valdrin::cli {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 2; // a usage error; the usage text follows the message
constexpr int kExitInput = 3; // an input error; the window's message on err

// args: the command line without the program name. The results go to
// --output, or to out when none is given; messages go to err, and, with
// showProgress, a progress bar while the computation runs.
int RunCalcCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
    bool showProgress = false);

// The working set of a --params file, loaded as the window loads it (a file
// that is not there to be read is refused), or the window's start-up set.
params::TWorkingSet LoadWorkingSet(const std::optional<std::string> &paramsFile, char decimalSep);

// Called in a catch handler: writes the message of the exception being
// handled to err (whatever its type) and returns kExitInput.
int ReportException(std::ostream &err) noexcept;

} // namespace valdrin::cli
