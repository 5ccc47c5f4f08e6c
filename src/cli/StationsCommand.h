// valdrin-calc stations import FILE --to PARAMS.ini [--append]
// valdrin-calc stations export [--params PARAMS.ini] --format csv|fdsn|kml|geojson [--output FILE]
// The station table of a parameter file in and out of the field's formats.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace valdrin::cli {

// args: what follows "stations". Exit code 0, 2 for a usage error, 3 for an
// input error (the message on err; no file changed).
int RunStations(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace valdrin::cli
