// valdrin-calc noise-level FILE [--column NAME|NUMBER] [--fmin F] [--fmax F]
//                           [--unit linear|db] [--station NAME --params FILE]:
// the rms noise displacement of a spectrum file's columns (velocity power,
// or dB of acceleration told by the header), as the noise page computes it
// (LogY filter on), one line per column:
// name, TAB, Wood-Anderson mm ("%1.5f"), TAB, true mm ("%1.5e").
// With --station, the Wood-Anderson value goes into that station's An cell
// of the parameter file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valdrin::cli {

// args: what follows "noise-level". Exit code 0, 2 for a usage error, 3 for
// an input error (message on err) or a column without a value.
int RunNoiseLevel(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace valdrin::cli
