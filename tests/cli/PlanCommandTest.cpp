// valdrin-calc plan: the tables against the core's figures, and bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "TempDirFixture.h"
#include "calc/Planning.h"
#include "calc/ResultsFile.h"
#include "calc/ResultsFileReader.h"
#include "params/ParamFile.h"
#include "params/WorkingSet.h"

using namespace valdrin;

namespace {

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

class PlanCommand : public TempDirFixture {
protected:
    PlanCommand()
        : TempDirFixture("valdrin_plan_")
    {
    }

    TRun Run(const std::vector<std::string> &args) const
    {
        std::string cmd = "env LC_ALL=C.UTF-8 '" VALDRIN_CALC_PATH "'";
        for (const auto &a : args)
            cmd += " '" + a + "'";
        cmd += " >'" + Path("stdout") + "' 2>'" + Path("stderr") + "' </dev/null";
        const int status = std::system(cmd.c_str());
        return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(Path("stdout")),
            ReadBytes(Path("stderr")) };
    }

    // A parameter file of the start-up set on a coarser grid.
    std::string SmallGridParams(params::TWorkingSet &ws) const
    {
        ws = params::DefaultWorkingSet();
        ws.dXSpinEdit = ws.dYSpinEdit = 200;
        params::SaveParamFile(Path("small.ini"), ws, params::TWindowPlacement {});
        return Path("small.ini");
    }
};

std::vector<std::vector<std::string>> Csv(const std::string &text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            rows.back().push_back(cell);
    }
    return rows;
}

double Real(const std::string &text)
{
    if (text == "nan")
        return NAN;
    double x = NAN;
    std::from_chars(text.data(), text.data() + text.size(), x);
    return x;
}

calc::TCalcSnapshot MagnitudeSnapshot(params::TWorkingSet ws)
{
    params::SetValue(ws, *params::FindChoiceControl("SourceRadioGroup"), 3);
    return params::MakeCalcSnapshot(ws, '.').Snapshot;
}

} // namespace

TEST_F(PlanCommand, OutageTableHoldsTheCoresFiguresInTableOrder)
{
    params::TWorkingSet ws;
    const std::string ini = SmallGridParams(ws);
    const TRun run = Run(
        { "plan", "outage", "--params", ini, "--target", "1.2", "--output", Path("outage.csv") });
    ASSERT_EQ(run.Code, 0) << run.Err;
    const auto rows = Csv(ReadBytes(Path("outage.csv")));
    ASSERT_EQ(rows.size(), 26u);
    EXPECT_EQ(rows[0],
        (std::vector<std::string> {
            "station", "mean_rise", "max_rise", "row", "nodes", "area_lost" }));
    const auto figures = calc::OutageFigures(MagnitudeSnapshot(ws), {}, 1.2);
    for (std::size_t s = 0; s < 25; ++s) {
        ASSERT_EQ(rows[s + 1].size(), 6u);
        EXPECT_EQ(rows[s + 1][0], ws.CooGrid.Cell(static_cast<int>(s) + 1, 4));
        EXPECT_EQ(Real(rows[s + 1][1]), (*figures)[s].MeanRise);
        EXPECT_EQ(Real(rows[s + 1][2]), (*figures)[s].MaxRise);
        EXPECT_EQ(rows[s + 1][3], std::to_string(s + 1));
        EXPECT_EQ(Real(rows[s + 1][5]), (*figures)[s].AreaLost);
    }
}

// Stations out of operation are not in the run: their rows are missing and
// the others keep their table rows.
TEST_F(PlanCommand, StationsOutOfOperationAreLeftOut)
{
    params::TWorkingSet ws = params::DefaultWorkingSet();
    ws.dXSpinEdit = ws.dYSpinEdit = 400;
    params::SetInOperation(ws, 2, false);
    params::SetInOperation(ws, 5, false);
    params::SaveParamFile(Path("off.ini"), ws, params::TWindowPlacement {});
    const TRun run = Run({ "plan", "outage", "--params", Path("off.ini") });
    ASSERT_EQ(run.Code, 0) << run.Err;
    const auto rows = Csv(run.Out);
    ASSERT_EQ(rows.size(), 24u);
    const auto figures = calc::OutageFigures(MagnitudeSnapshot(ws));
    ASSERT_EQ(figures->size(), 23u);
    std::size_t s = 0;
    for (int r = 1; r <= 25; ++r) {
        if (r == 2 || r == 5)
            continue;
        ++s;
        EXPECT_EQ(rows[s][0], ws.CooGrid.Cell(r, 4));
        EXPECT_EQ(rows[s][3], std::to_string(r));
        EXPECT_EQ(Real(rows[s][1]), (*figures)[s - 1].MeanRise);
    }
}

TEST_F(PlanCommand, NextStationsAreTheCoresGreedyChoice)
{
    params::TWorkingSet ws;
    const std::string ini = SmallGridParams(ws);
    const TRun run = Run({ "plan", "next-station", "--params", ini, "--count", "2", "--candidates",
        "5x4", "--row", "3", "--area", "-1000:2000:-500,5:500" });
    ASSERT_EQ(run.Code, 0) << run.Err;
    const auto rows = Csv(run.Out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<std::string> { "rank", "x", "y", "gain" }));
    const auto next = calc::NextStations(
        MagnitudeSnapshot(ws), { 5, 4, 2, NAN, { -1000, 2000, -500.5, 500 } }, 2);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(rows[r + 1][0], std::to_string(r + 1));
        EXPECT_EQ(Real(rows[r + 1][1]), (*next)[r].U);
        EXPECT_EQ(Real(rows[r + 1][2]), (*next)[r].V);
        EXPECT_EQ(Real(rows[r + 1][3]), (*next)[r].Gain);
    }
    EXPECT_EQ(Run({ "plan", "next-station", "--params", ini, "--row", "26" }).Code, 3);
}

TEST_F(PlanCommand, ProbabilityMagnitudeInTheResultsLayout)
{
    params::TWorkingSet ws;
    const std::string ini = SmallGridParams(ws);
    const calc::TCalcSnapshot snap = MagnitudeSnapshot(ws);
    TRun run = Run({ "--params", ini, "--probability", "0.9" });
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out,
        calc::FormatResultsFile(*calc::RunProbabilityComputation(snap, 3, 0.9), ws.VpSpinEdit,
            ws.C1SpinEdit, ws.C2SpinEdit));
    run = Run({ "--params", ini, "--probability", "0,5", "--sigma-db", "0" });
    EXPECT_EQ(run.Out,
        calc::FormatResultsFile(
            *calc::RunComputation(snap), ws.VpSpinEdit, ws.C1SpinEdit, ws.C2SpinEdit));
    run = Run({ "--mode", "cdk", "--probability", "0.9" });
    EXPECT_EQ(run.Code, 3);
    EXPECT_NE(run.Err.find("только для минимальной магнитуды"), std::string::npos);
    EXPECT_EQ(Run({ "--sigma-db", "2" }).Code, 2);
    EXPECT_EQ(Run({ "--probability", "1" }).Code, 2);
}

TEST_F(PlanCommand, DifferenceToAReferenceOfTheSameGridOnly)
{
    params::TWorkingSet ws;
    const std::string small = SmallGridParams(ws);
    ws.StrGrid.SetCell(1, 5, "0.04"); // the first station four times as noisy
    params::SaveParamFile(Path("noisy.ini"), ws, params::TWindowPlacement {});
    ASSERT_EQ(Run({ "--params", Path("noisy.ini"), "--output", Path("ref.txt") }).Code, 0);
    const TRun run = Run({ "--params", small, "--reference", Path("ref.txt") });
    ASSERT_EQ(run.Code, 0) << run.Err;
    std::istringstream in(ReadBytes(Path("ref.txt")));
    calc::TResultsParts parts;
    calc::ReadResultsPart(in, "ref.txt", parts);
    params::TWorkingSet plain;
    SmallGridParams(plain);
    const calc::TResult diff = calc::DifferenceResult(
        *calc::RunComputation(MagnitudeSnapshot(plain)), calc::JoinResultsParts(parts));
    EXPECT_EQ(run.Out, calc::FormatResultsFile(diff, plain.VpSpinEdit, plain.C1SpinEdit, 0));
    double lowest = 0;
    for (const auto &row : diff.ResultMatrix)
        for (const double x : row)
            lowest = std::min(lowest, x);
    EXPECT_LT(lowest, -0.1); // quieter now, so lower

    const TRun other = Run({ "--reference", Path("ref.txt") }); // the default 81 x 81 grid
    EXPECT_EQ(other.Code, 3);
    EXPECT_NE(other.Err.find("не совпадает с сеткой расчета"), std::string::npos);
    EXPECT_EQ(
        Run({ "--params", small, "--mode", "location-error", "--reference", Path("ref.txt") }).Code,
        3);
    EXPECT_EQ(Run({ "--reference", Path("missing.txt") }).Code, 3);
}

TEST_F(PlanCommand, ArrayLimitsArePrinted)
{
    const TRun run = Run({ "--mode", "cdk", "--limits" });
    ASSERT_EQ(run.Code, 0) << run.Err;
    params::TWorkingSet ws = params::DefaultWorkingSet();
    const calc::TCalcSnapshot snap = params::MakeCalcSnapshot(ws, '.').Snapshot;
    const calc::TArrayLimits limits = calc::ArrayLimits(snap.Stations, 25, false, 0.005);
    const auto at = run.Out.find("k_min (наименьшее по азимутам): ");
    ASSERT_NE(at, std::string::npos) << run.Out;
    EXPECT_NEAR(
        std::stod(run.Out.substr(at + std::string("k_min (наименьшее по азимутам): ").size())),
        limits.KMinSmallest, limits.KMinSmallest * 1e-5);
    EXPECT_NE(run.Out.find("k_max (наложение): "), std::string::npos);
    EXPECT_NE(Run({ "--mode", "cdf", "--limits" }).Out.find(" Гц"), std::string::npos);
    const TRun refused = Run({ "--limits" });
    EXPECT_EQ(refused.Code, 3);
    EXPECT_NE(refused.Err.find("cdk и cdf"), std::string::npos);
}

TEST_F(PlanCommand, BadInputEndsWithAMessage)
{
    TRun run = Run({ "plan", "nowhere" });
    EXPECT_EQ(run.Code, 2);
    EXPECT_NE(run.Err.find("Неизвестная задача"), std::string::npos);
    run = Run({ "plan", "outage", "--count", "3" });
    EXPECT_EQ(run.Code, 2);
    run = Run({ "plan", "next-station", "--candidates", "0x5" });
    EXPECT_EQ(run.Code, 2);
    EXPECT_NE(run.Err.find("--candidates"), std::string::npos);
    for (const char *area : { "1:0:0:1", "0:1:0", "0:1:0:1:2", "0:x:0:1", "0:inf:0:1" }) {
        run = Run({ "plan", "next-station", "--area", area });
        EXPECT_EQ(run.Code, 2) << area;
        EXPECT_NE(run.Err.find("--area"), std::string::npos) << area;
    }
    run = Run({ "plan", "outage", "--params", Path("missing.ini") });
    EXPECT_EQ(run.Code, 3);
    EXPECT_NE(run.Err.find("Файл параметров не найден"), std::string::npos);
    run = Run({ "plan", "--help" });
    EXPECT_EQ(run.Code, 0);
    EXPECT_NE(run.Out.find("next-station"), std::string::npos);
}
