// valdrin-calc: the batch front end; "valdrin-calc noise-level ..." is the
// noise page's band level, "valdrin-calc stations ..." the station table in
// and out of the field's formats, "valdrin-calc plan ..." the planning tables,
// "valdrin-calc render ..." a map of joined parts.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>
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
        using Subcommand
            = int (*)(const std::vector<std::string> &, std::ostream &, std::ostream &);
        static constexpr struct {
            std::string_view name;
            Subcommand run;
        } kSubcommands[] = {
            { "noise-level", valdrin::cli::RunNoiseLevel },
            { "plan", valdrin::cli::RunPlanCommand },
            { "render", valdrin::cli::RunRender },
            { "stations", valdrin::cli::RunStations },
        };
        if (!args.empty()) {
            for (const auto &sub : kSubcommands) {
                if (args.front() == sub.name) {
                    args.erase(args.begin());
                    return sub.run(args, std::cout, std::cerr);
                }
            }
        }
        return valdrin::cli::RunCalcCommand(
            args, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
    } catch (...) {
        return valdrin::cli::ReportException(std::cerr);
    }
}
