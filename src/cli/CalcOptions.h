// The options of valdrin-calc's calculation: what they set, their table and
// the usage text beside it.
#pragma once

#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "calc/Computation.h"
#include "cli/Options.h"
#include "formats/ResultFormats.h"
#include "map/Contours.h"
#include "map/MapFrame.h"
#include "params/WorkingSet.h"

namespace valdrin::cli {

extern const char *const kCalcUsage;

struct TCalcOptions {
    std::optional<std::string> Params, Output;
    int Mode = 3;
    std::optional<int> Plane, Medium;
    std::vector<std::pair<const params::TRealControl *, double>> Reals; // in command-line order
    int Threads = 0;
    std::optional<std::string> Png, Pdf, Svg;
    // The report map; any of its options sends --png through it as well.
    bool ReportMap = false;
    map::TContourLevels Contours { true, {} };
    map::TAspectMode Aspect = map::TAspectMode::TrueProportions;
    int Width = 960, Height = 720;
    double Dpi = 96;
    int Unit = 0; // UnitRadioGroup: 0 "0-1", 1 "дБ"
    calc::TRowRange Rows; // --rows
    bool Header = true; // false: --no-header
    std::vector<double> Planes; // --planes: the plane's fixed coordinate of each run
    formats::TResultFormat Format = formats::TResultFormat::Tsv;
    double NotRegistered = std::numeric_limits<double>::quiet_NaN(); // xyz, esri
    std::optional<double> Probability; // --probability
    std::optional<double> SigmaDb; // --sigma-db, dB
    std::optional<std::string> Reference; // --reference: results file to subtract
    bool Limits = false; // --limits: the array's limits instead of the results
};

// The options of the calculation, in the order of the help text; the readers
// fill opt.
std::vector<TOption> CalcOptionTable(TCalcOptions &opt);

// The help text: the options' lines between the introduction and the notes.
std::string CalcHelp(std::span<const TOption> options);

// Reads args into opt through options (opt's table) and checks the options
// that do not go together; true when help was asked for. Throws TUsageError.
bool ParseCalcOptions(const std::vector<std::string> &args, std::span<const TOption> options,
    const TCalcOptions &opt);

// "MIN .. MAX" of the control's range, for a refusal.
std::string RangeText(const params::TRealControl &c);

} // namespace valdrin::cli
