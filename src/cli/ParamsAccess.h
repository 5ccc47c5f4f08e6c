// The parameter file as the commands that change it see it: loaded as the
// window loads it, saved whole with its window placement kept.
#pragma once

#include <ostream>
#include <string>

#include "params/WorkingSet.h"

namespace valdrin::cli {

// The working set of the file at path. A file that does not exist is the
// window's start-up state when mayBeNew is set, else refused. Throws
// common::TValdrinError: not found, unreadable, or of an older form (which a
// save would overwrite with values it never held).
params::TWorkingSet LoadParamsForUpdate(const std::string &path, char decimalSep, bool mayBeNew);

// Saves ws into path (safely, placement kept); the warning about characters
// Windows-1251 lacks goes to err.
void SaveParamsUpdate(const std::string &path, const params::TWorkingSet &ws, std::ostream &err);

} // namespace valdrin::cli
