// "valdrin-calc render PARTS... --png FILE": the map of a grid computed in
// parts (valdrin-calc --rows), joined, in one colour range.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valdrin::cli {

// args: the command line after "render". Exit codes as RunCalcCommand's.
int RunRender(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace valdrin::cli
