// valdrin-calc plan: the planning analyses of a network as CSV tables.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valdrin::cli {

// args: the command line after "plan". Exit codes as RunCalcCommand's.
int RunPlanCommand(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace valdrin::cli
