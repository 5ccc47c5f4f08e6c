// valdrin-calc: the batch front end; "valdrin-calc noise-level ..." is the
// noise page's band level, "valdrin-calc stations ..." the station table in
// and out of the field's formats, "valdrin-calc plan ..." the planning tables.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CalcCommand.h"
#include "cli/NoiseLevelCommand.h"
#include "cli/PlanCommand.h"
#include "cli/RenderCommand.h"
#include "cli/StationsCommand.h"

int main(int argc, char **argv)
{
    try {
        std::ios::sync_with_stdio(false);
        std::vector<std::string> args(argv + 1, argv + argc);
        if (!args.empty() && args.front() == "noise-level") {
            args.erase(args.begin());
            return valdrin::cli::RunNoiseLevel(args, std::cout, std::cerr);
        }
        if (!args.empty() && args.front() == "plan") {
            args.erase(args.begin());
            return valdrin::cli::RunPlanCommand(args, std::cout, std::cerr);
        }
        if (!args.empty() && args.front() == "render") {
            args.erase(args.begin());
            return valdrin::cli::RunRender(args, std::cout, std::cerr);
        }
        if (!args.empty() && args.front() == "stations") {
            args.erase(args.begin());
            return valdrin::cli::RunStations(args, std::cout, std::cerr);
        }
        return valdrin::cli::RunCalcCommand(
            args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    } catch (...) {
        return valdrin::cli::ReportException(std::cerr);
    }
}
