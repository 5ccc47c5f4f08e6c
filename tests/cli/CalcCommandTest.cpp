#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "TempDirFixture.h"
#include "calc/Computation.h"
#include "calc/ResultsFile.h"
#include "cli/CalcCommand.h"
#include "common/Error.h"
#include "params/Cp1251.h"
#include "params/ParamFile.h"
#include "params/WorkingSet.h"

using namespace valdrin;
namespace fs = std::filesystem;

namespace {

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

std::string Quote(const std::string &s)
{
    std::string q(1, '\'');
    for (char c : s) {
        if (c == '\'')
            q.append("'\\''");
        else
            q.push_back(c);
    }
    q.push_back('\'');
    return q;
}

// The engine's answer for a working set, as the window would save it.
std::string Expected(params::TWorkingSet ws, char sep = '.')
{
    const auto build = params::MakeCalcSnapshot(ws, sep);
    const auto result = calc::RunComputation(build.Snapshot);
    return calc::FormatResultsFile(*result, ws.VpSpinEdit, ws.C1SpinEdit, ws.C2SpinEdit);
}

// The message the engine refuses a working set with.
std::string EngineRefusal(params::TWorkingSet ws)
{
    try {
        calc::RunComputation(params::MakeCalcSnapshot(ws, '.').Snapshot);
    } catch (const common::TValdrinError &e) {
        return e.what();
    }
    return "(no refusal)";
}

class CalcCommand : public TempDirFixture {
protected:
    CalcCommand()
        : TempDirFixture("valdrin_calc_")
    {
    }

    TRun Run(const std::vector<std::string> &args, const std::string &env = "LC_ALL=C.UTF-8") const
    {
        std::string cmd = "env ";
        cmd.append(env).append(1, ' ').append(Quote(VALDRIN_CALC_PATH));
        for (const auto &a : args)
            cmd.append(1, ' ').append(Quote(a));
        cmd.append(" >").append(Quote(Path("stdout")));
        cmd.append(" 2>").append(Quote(Path("stderr"))).append(" </dev/null");
        const int status = std::system(cmd.c_str());
        TRun run;
        run.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.Out = ReadBytes(Path("stdout"));
        run.Err = ReadBytes(Path("stderr"));
        return run;
    }

    std::string SaveParams(const params::TWorkingSet &ws, const std::string &name) const
    {
        params::SaveParamFile(Path(name), ws, params::TWindowPlacement {});
        return Path(name);
    }
};

void SetMode(params::TWorkingSet &ws, int mode)
{
    params::SetValue(ws, *params::FindChoiceControl("SourceRadioGroup"), mode);
}

} // namespace

TEST_F(CalcCommand, DefaultsGiveTheEnginesResultInEveryMode)
{
    const TRun run = Run({});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Err, ""); // no progress bar when stderr is not a terminal
    params::TWorkingSet ws = params::DefaultWorkingSet();
    SetMode(ws, 3);
    EXPECT_EQ(run.Out, Expected(ws));
    EXPECT_EQ(run.Out.substr(0, run.Out.find('\n') + 1), "Kx\tKy\tM\tK\tE\r\n");

    const char *names[]
        = { "cdk", "cdf", "magnitude", "location-error", "corner-frequency", "source-size" };
    for (int mode = 1; mode <= 6; ++mode) {
        SetMode(ws, mode);
        const std::string expected = Expected(ws);
        const TRun byName = Run({ "--mode", names[mode - 1], "--output", Path("out.dat") });
        ASSERT_EQ(byName.Code, 0) << names[mode - 1] << byName.Err;
        EXPECT_EQ(byName.Out, "");
        EXPECT_TRUE(ReadBytes(Path("out.dat")) == expected) << names[mode - 1];
        const TRun byNumber = Run({ "--mode=" + std::to_string(mode) });
        EXPECT_TRUE(byNumber.Out == expected) << mode;
    }
}

TEST_F(CalcCommand, OptionsSetTheSettingsAFileDoesNotStore)
{
    params::TWorkingSet ws = params::DefaultWorkingSet();
    SetMode(ws, 3);
    params::SetValue(ws, *params::FindChoiceControl("ViewRadioGroup"), 1);
    params::SetValue(ws, *params::FindRealControl("C1SpinEdit"), 1.7);
    params::SetValue(ws, *params::FindRealControl("C2SpinEdit"), 4);
    params::SetValue(ws, *params::FindRealControl("SurfaceAltSpinEdit"), 450);
    const TRun run = Run({ "--plane", "YZ", "--c1", "1,7", "--c2=4", "--surface-elevation", "450",
        "--threads", "2" });
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, Expected(ws));
    EXPECT_EQ(run.Out.substr(0, 12), "Ky\tKz\tM\tK\tE\r");

    params::TWorkingSet fc = params::DefaultWorkingSet();
    SetMode(fc, 5);
    params::SetValue(fc, *params::FindChoiceControl("MediumRadioGroup"), 1);
    params::SetValue(fc, *params::FindRealControl("FcNumSpinEdit"), 2.5);
    const TRun layered
        = Run({ "--mode", "corner-frequency", "--medium", "layered", "--fc-multiplier", "2.5" });
    ASSERT_EQ(layered.Code, 0) << layered.Err;
    EXPECT_EQ(layered.Out, Expected(fc));

    params::TWorkingSet cdk = params::DefaultWorkingSet();
    SetMode(cdk, 1);
    params::SetValue(cdk, *params::FindRealControl("KmaxSpinEdit"), 0.002);
    params::SetValue(cdk, *params::FindRealControl("dKSpinEdit"), 0.0001);
    const TRun response = Run({ "--mode", "cdk", "--kmax", "0.002", "--dk", "0.0001" });
    ASSERT_EQ(response.Code, 0) << response.Err;
    EXPECT_EQ(response.Out, Expected(cdk));
    EXPECT_EQ(std::count(response.Out.begin(), response.Out.end(), '\n'), 1 + 41 * 41);
}

TEST_F(CalcCommand, AParameterFileLoadsAsInTheWindowInBothEncodings)
{
    params::TWorkingSet ws = params::DefaultWorkingSet();
    params::SetValue(ws, *params::FindIntControl("SensorsSpinEdit"), 8);
    params::SetValue(ws, *params::FindRealControl("dXSpinEdit"), 100);
    params::SetValue(ws, *params::FindIntControl("MinSensCountSpinEdit"), 2);
    ws.CooGrid.SetCell(1, 4, "Обнинск");
    ws.CooGrid.SetCell(2, 4, "Ёлкино №2");
    ws.CooGrid.SetCell(3, 1, "500");
    ws.StrGrid.SetCell(4, 5, "0.02");
    const std::string cp = SaveParams(ws, "cp1251.ini");
    std::ofstream(Path("utf8.ini"), std::ios::binary) << params::Cp1251ToUtf8(ReadBytes(cp));

    params::TWorkingSet loaded = params::DefaultWorkingSet();
    params::LoadParamFile(cp, loaded, {}, '.');
    SetMode(loaded, 3);
    const std::string expected = Expected(loaded);
    SetMode(ws, 3);
    EXPECT_EQ(expected, Expected(ws));

    const TRun a = Run({ "--params", cp });
    const TRun b = Run({ "--params", Path("utf8.ini") });
    ASSERT_EQ(a.Code, 0) << a.Err;
    ASSERT_EQ(b.Code, 0) << b.Err;
    EXPECT_EQ(a.Out, expected);
    EXPECT_EQ(b.Out, expected);
}

TEST_F(CalcCommand, InputErrorsExitThreeWithTheWindowsMessage)
{
    const TRun missing = Run({ "--params", Path("typo.ini") });
    EXPECT_EQ(missing.Code, 3);
    EXPECT_EQ(missing.Err, "Файл параметров не найден: " + Path("typo.ini") + "\n");
    EXPECT_EQ(missing.Out, "");

    fs::create_directory(Path("dir.ini"));
    const TRun dir = Run({ "--params", Path("dir.ini") });
    EXPECT_EQ(dir.Code, 3);
    EXPECT_EQ(dir.Err, "Не удалось прочитать файл параметров: " + Path("dir.ini") + "\n");

    params::TWorkingSet blank = params::DefaultWorkingSet();
    blank.CooGrid.SetCell(5, 2, "");
    const TRun station = Run({ "--params", SaveParams(blank, "blank.ini") });
    EXPECT_EQ(station.Code, 3);
    EXPECT_EQ(station.Err, "Ошибка в параметрах станции №5 (столбец Y: « »)\n");
    EXPECT_EQ(station.Out, "");

    params::TWorkingSet model = params::DefaultWorkingSet();
    model.ModelStrGrid.SetCell(1, 3, "x");
    const std::string modelFile = SaveParams(model, "model.ini");
    const TRun badModel = Run({ "--params", modelFile, "--medium", "layered" });
    EXPECT_EQ(badModel.Code, 3);
    EXPECT_EQ(badModel.Err, "Ошибка в параметрах модели! (слой №1, столбец Vs: «x»)\n");
    EXPECT_EQ(Run({ "--params", modelFile }).Code, 0); // homogeneous: the table is not read

    params::TWorkingSet k = params::DefaultWorkingSet();
    params::SetValue(k, *params::FindIntControl("MinSensCountSpinEdit"), 30);
    const TRun badK = Run({ "--params", SaveParams(k, "k.ini") });
    EXPECT_EQ(badK.Code, 3);
    SetMode(k, 3);
    EXPECT_EQ(badK.Err, EngineRefusal(k) + "\n");

    params::TWorkingSet step = params::DefaultWorkingSet();
    params::SetValue(step, *params::FindRealControl("dYSpinEdit"), 0);
    const TRun badStep
        = Run({ "--params", SaveParams(step, "step.ini"), "--mode", "location-error" });
    EXPECT_EQ(badStep.Code, 3);
    SetMode(step, 4);
    EXPECT_EQ(badStep.Err, EngineRefusal(step) + "\n");

    const TRun unwritable = Run({ "--output", Path("no/such/dir/out.dat") });
    EXPECT_EQ(unwritable.Code, 3);
    EXPECT_EQ(
        unwritable.Err.rfind("Ошибка записи файла " + Path("no/such/dir/out.dat") + ": ", 0), 0u)
        << unwritable.Err;
}

TEST_F(CalcCommand, APipeIsWrittenDirectlyAndAFolderIsRefused)
{
    // Our own write end keeps the reader's open from waiting and its read
    // from ending before the program has written; closing it ends the read.
    ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
    const int hold = ::open(Path("pipe").c_str(), O_RDWR);
    ASSERT_GE(hold, 0);
    std::string received;
    std::thread reader([&] { received = ReadBytes(Path("pipe")); });
    const TRun run = Run({ "--output", Path("pipe") });
    ::close(hold);
    reader.join();
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_TRUE(fs::is_fifo(Path("pipe")));
    EXPECT_EQ(received, Run({}).Out);

    fs::create_directory(Path("out"));
    const TRun folder = Run({ "--output", Path("out") });
    EXPECT_EQ(folder.Code, 3);
    EXPECT_EQ(folder.Err, "Ошибка записи файла " + Path("out") + ": это папка\n");
    EXPECT_TRUE(fs::is_directory(Path("out")));
}

TEST_F(CalcCommand, AFailedRunLeavesAnExistingOutputFileAlone)
{
    std::ofstream(Path("out.dat")) << "previous";
    params::TWorkingSet blank = params::DefaultWorkingSet();
    blank.CooGrid.SetCell(1, 1, "");
    EXPECT_EQ(Run({ "--params", SaveParams(blank, "b.ini"), "--output", Path("out.dat") }).Code, 3);
    EXPECT_EQ(ReadBytes(Path("out.dat")), "previous");
}

TEST_F(CalcCommand, UsageErrorsExitTwoWithTheUsageText)
{
    const std::vector<std::vector<std::string>> bad = {
        { "--bogus" },
        { "--mode" },
        { "--mode", "0" },
        { "--mode", "speed" },
        { "--plane", "xx" },
        { "--medium", "water" },
        { "--kmax", "abc" },
        { "--dk", "1.5" },
        { "--fc-multiplier", "20" },
        { "--surface-elevation", "-10001" },
        { "--threads", "-1" },
        { "--threads", "two" },
        { "stray" },
        { "--c1", "1.2.3" },
        { "--unit", "percent" },
        { "--png" },
        { "--limits=0" }, // a flag takes no value
        { "--no-header=no" },
    };
    for (const auto &args : bad) {
        const TRun run = Run(args);
        EXPECT_EQ(run.Code, 2) << args.front();
        EXPECT_NE(run.Err.find("Использование: valdrin-calc"), std::string::npos) << args.front();
        EXPECT_EQ(run.Out, "") << args.front();
    }
    const TRun help = Run({ "--help" });
    EXPECT_EQ(help.Code, 0);
    EXPECT_NE(help.Out.find("--surface-elevation"), std::string::npos);
    EXPECT_NE(help.Out.find("десятичным"), std::string::npos);
    EXPECT_EQ(help.Err, "");
}

TEST_F(CalcCommand, TableCellsReadWithEitherSeparatorWhateverTheLocale)
{
    // A file saved by the window under a comma locale: its cells carry commas.
    params::TWorkingSet ws = params::DefaultWorkingSet(',');
    for (auto *t : { &ws.StrGrid, &ws.ModelStrGrid })
        for (int r = 1; r < t->RowCount(); ++r)
            for (int c = 1; c < t->ColCount; ++c) {
                std::string s = t->Cell(r, c);
                for (char &ch : s)
                    if (ch == '.')
                        ch = ',';
                t->SetCell(r, c, s);
            }
    ws.CooGrid.SetCell(2, 1, "53,5");
    const std::string file = SaveParams(ws, "comma.ini");
    const TRun comma = Run({ "--params", file }, "LC_ALL=ru_RU.UTF-8");
    ASSERT_EQ(comma.Code, 0) << comma.Err;
    SetMode(ws, 3);
    EXPECT_EQ(comma.Out, Expected(ws, ','));

    // The same file under a point locale: the commas read as well.
    const TRun point = Run({ "--params", file });
    ASSERT_EQ(point.Code, 0) << point.Err;
    EXPECT_EQ(point.Out, comma.Out);
}

TEST_F(CalcCommand, PngHoldsTheMapWithItsLegendBesideTheResults)
{
    const TRun run
        = Run({ "--mode", "source-size", "--png", Path("map.png"), "--output", Path("r.dat") },
            "-u DISPLAY -u XDG_RUNTIME_DIR LC_ALL=C.UTF-8");
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    const std::string png = ReadBytes(Path("map.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    const auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24)
            | (static_cast<unsigned char>(png[at + 1]) << 16)
            | (static_cast<unsigned char>(png[at + 2]) << 8)
            | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 504 + 170); // map and legend side by side
    EXPECT_EQ(be32(20), 475);
    EXPECT_FALSE(ReadBytes(Path("r.dat")).empty());

    const TRun bad = Run({ "--png", Path("no/dir/map.png") });
    EXPECT_EQ(bad.Code, 3);
    EXPECT_NE(bad.Err.find(Path("no/dir/map.png")), std::string::npos) << bad.Err;
}

TEST_F(CalcCommand, ReportMapsInPdfSvgAndPngOfTheChosenSize)
{
    const TRun run = Run({ "--mode", "magnitude", "--output", Path("r.dat"), "--pdf", Path("m.pdf"),
                             "--svg", Path("m.svg"), "--png", Path("m.png"), "--size", "800x600",
                             "--contours", "-1,5 -1", "--aspect", "fill" },
        "-u DISPLAY -u XDG_RUNTIME_DIR LC_ALL=C.UTF-8");
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(ReadBytes(Path("m.pdf")).substr(0, 5), "%PDF-");
    const std::string svg = ReadBytes(Path("m.svg"));
    EXPECT_NE(svg.find("Минимальная магнитуда"), std::string::npos);
    EXPECT_NE(svg.find(">ARA0<"), std::string::npos);
    const std::string png = ReadBytes(Path("m.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(static_cast<unsigned char>(png[18]) * 256 + static_cast<unsigned char>(png[19]), 800);

    for (const std::vector<std::string> &bad :
        { std::vector<std::string> { "--size", "800" }, { "--size", "10x10" },
            { "--contours", "1 x" }, { "--aspect", "square" }, { "--dpi", "5" } }) {
        const TRun r = Run(bad);
        EXPECT_EQ(r.Code, 2) << bad[1];
        EXPECT_NE(r.Err.find(bad[0]), std::string::npos) << r.Err;
    }
}

TEST_F(CalcCommand, NoiseLevelIsASubcommand)
{
    const TRun run = Run({ "noise-level", "--help" });
    EXPECT_EQ(run.Code, 0);
    EXPECT_NE(run.Out.find("noise-level"), std::string::npos);
    EXPECT_EQ(Run({ "noise-level", Path("none.dat") }).Code, 3);

    // A full disk behind standard output is a failure, not a result.
    const std::string fixture
        = (fs::path(__FILE__).parent_path().parent_path() / "noise/data/station_psd.dat").string();
    const std::string cmd = Quote(VALDRIN_CALC_PATH) + " noise-level " + Quote(fixture)
        + " >/dev/full 2>" + Quote(Path("err"));
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 3);
    EXPECT_EQ(ReadBytes(Path("err")), "Ошибка записи результата в стандартный вывод\n");
}

TEST_F(CalcCommand, AShearVelocityOfZeroIsRefusedWhereTheSourceNeedsIt)
{
    params::TWorkingSet ws = params::DefaultWorkingSet();
    params::SetValue(ws, *params::FindRealControl("VsSpinEdit"), 0);
    const std::string file = SaveParams(ws, "vs.ini");
    const TRun fc = Run({ "--params", file, "--mode", "corner-frequency" });
    EXPECT_EQ(fc.Code, 3);
    EXPECT_EQ(fc.Err, "Скорость поперечных волн Vs должна быть больше нуля\n");
    EXPECT_EQ(fc.Out, "");
    EXPECT_EQ(Run({ "--params", file, "--mode", "magnitude" }).Code, 0); // homogeneous: no Vs
}

namespace {

// Node lines "u\tv\tvalue..." of a results file by their first two fields.
std::map<std::pair<std::string, std::string>, std::string> NodeLines(const std::string &text)
{
    std::map<std::pair<std::string, std::string>, std::string> nodes;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        const auto a = line.find('\t'), b = line.find('\t', a + 1);
        nodes[{ line.substr(0, a), line.substr(a + 1, b - a - 1) }] = line.substr(b + 1);
    }
    return nodes;
}

} // namespace

TEST_F(CalcCommand, LayeredSectionsGiveThePlaneXYValuesAtTheSharedNodes)
{
    // Two layers meeting 100 m below sea level; nodes 400 m below it.
    params::TWorkingSet ws = params::DefaultWorkingSet();
    params::SetValue(ws, *params::FindIntControl("LayerCountSpinEdit"), 2);
    ws.ModelStrGrid.SetCell(1, 1, "300");
    for (const char *axis : { "X", "Y" }) {
        const std::string a(axis);
        params::SetValue(ws, *params::FindRealControl(a + "minSpinEdit"), -800);
        params::SetValue(ws, *params::FindRealControl(a + "maxSpinEdit"), 800);
        params::SetValue(ws, *params::FindRealControl("d" + a + "SpinEdit"), 800);
        params::SetValue(ws, *params::FindRealControl(a + "0SpinEdit"), 0);
    }
    params::SetValue(ws, *params::FindRealControl("ZminSpinEdit"), -600);
    params::SetValue(ws, *params::FindRealControl("ZmaxSpinEdit"), -200);
    params::SetValue(ws, *params::FindRealControl("dZSpinEdit"), 200);
    params::SetValue(ws, *params::FindRealControl("Z0SpinEdit"), -400);
    const std::string params = SaveParams(ws, "layers.ini");
    auto run = [&](const char *plane) {
        const TRun r = Run({ "--params", params, "--medium", "layered", "--plane", plane });
        EXPECT_EQ(r.Code, 0) << plane << r.Err;
        return NodeLines(r.Out);
    };
    const auto xy = run("XY"), yz = run("YZ"), xz = run("XZ");
    ASSERT_EQ(xy.size(), 9u);
    for (const char *c : { "-800.0000", "0.0000", "800.0000" }) {
        // (0, c, -400) and (c, 0, -400)
        EXPECT_EQ(yz.at({ c, "-400.0000" }), xy.at({ "0.0000", c })) << c;
        EXPECT_EQ(xz.at({ c, "-400.0000" }), xy.at({ c, "0.0000" })) << c;
    }
}

namespace {

// Output that fails with whatever the test throws.
class TThrowingBuf : public std::streambuf {
public:
    explicit TThrowingBuf(std::function<void()> fail)
        : m_fail(std::move(fail))
    {
    }

protected:
    int_type overflow(int_type) override
    {
        m_fail();
        return traits_type::eof();
    }

private:
    std::function<void()> m_fail;
};

} // namespace

TEST(CalcCommandFailures, EveryExceptionEndsWithAMessageAndStatusThree)
{
    const struct {
        std::function<void()> Fail;
        std::string Message;
    } cases[] = {
        { [] { throw std::runtime_error("device gone"); }, "Непредвиденная ошибка: device gone\n" },
        { [] { throw std::bad_alloc(); }, "Недостаточно памяти\n" },
        { [] { throw 42; }, "Непредвиденная ошибка\n" },
    };
    for (const auto &c : cases) {
        TThrowingBuf buf(c.Fail);
        std::ostream out(&buf);
        out.exceptions(std::ios::badbit); // lets the buffer's exception through
        std::ostringstream err;
        EXPECT_EQ(cli::RunCalcCommand({ "--mode", "location-error" }, out, err), cli::kExitInput);
        EXPECT_EQ(err.str(), c.Message);
    }
}

// A grid computed in parts of rows (the first with the header, the others
// without) joins into the full run's file byte for byte, in both media, in
// metres and in degrees; rows outside the grid are refused.
TEST_F(CalcCommand, RowPartsJoinIntoTheFullFile)
{
    for (const bool degrees : { false, true })
        for (const char *medium : { "homogeneous", "layered" }) {
            SCOPED_TRACE(testing::Message() << "degrees " << degrees << " " << medium);
            params::TWorkingSet ws = params::DefaultWorkingSet();
            if (degrees) { // the network around 30 E, 60 N
                ws.GeoCheckBox = true;
                for (int r = 1; r < ws.CooGrid.RowCount(); ++r) {
                    ws.CooGrid.SetCell(
                        r, 1, std::to_string(30 + std::stod(ws.CooGrid.Cell(r, 1)) / 55800));
                    ws.CooGrid.SetCell(
                        r, 2, std::to_string(60 + std::stod(ws.CooGrid.Cell(r, 2)) / 111400));
                }
                params::SetValue(ws, *params::FindRealControl("XminSpinEdit"), 29.975);
                params::SetValue(ws, *params::FindRealControl("XmaxSpinEdit"), 30.025);
                params::SetValue(ws, *params::FindRealControl("dXSpinEdit"), 0.005);
                params::SetValue(ws, *params::FindRealControl("YminSpinEdit"), 59.985);
                params::SetValue(ws, *params::FindRealControl("YmaxSpinEdit"), 60.015);
                params::SetValue(ws, *params::FindRealControl("dYSpinEdit"), 0.005);
            } else {
                params::SetValue(ws, *params::FindRealControl("dXSpinEdit"), 400);
                params::SetValue(ws, *params::FindRealControl("dYSpinEdit"), 500);
            }
            params::SetValue(ws, *params::FindRealControl("Z0SpinEdit"), -300);
            const std::string params = SaveParams(ws, "net.ini");
            const TRun full = Run({ "--params", params, "--medium", medium });
            ASSERT_EQ(full.Code, 0) << full.Err;
            const TRun a = Run({ "--params", params, "--medium", medium, "--rows", "0:3" });
            const TRun b
                = Run({ "--params", params, "--medium", medium, "--rows", "4:4", "--no-header" });
            const TRun c
                = Run({ "--params", params, "--medium", medium, "--rows", "5:10", "--no-header" });
            EXPECT_EQ(a.Code + b.Code + c.Code, 0) << a.Err << b.Err << c.Err;
            EXPECT_TRUE(a.Out + b.Out + c.Out == full.Out);
            const std::size_t rows
                = static_cast<std::size_t>(std::count(full.Out.begin(), full.Out.end(), '\n'));
            EXPECT_GT(rows, 40u);
            const TRun outside = Run({ "--params", params, "--rows", "5:11" });
            EXPECT_EQ(outside.Code, 3);
            EXPECT_EQ(outside.Err, "Строки 5..11 вне сетки: строк по первой оси 11 (0..10)\n");
        }
    EXPECT_EQ(Run({ "--rows", "3:2" }).Code, 2);
    EXPECT_EQ(Run({ "--mode", "cdk", "--rows", "0:1" }).Code, 3);
}

// A stack of planes writes one file per plane, each the run of that plane;
// the parts of a grid render as the whole grid's map.
TEST_F(CalcCommand, PlaneStacksAndRenderedParts)
{
    const TRun stack = Run({ "--planes", "400:300:-100", "--output", Path("stack.txt") });
    ASSERT_EQ(stack.Code, 0) << stack.Err;
    EXPECT_FALSE(fs::exists(Path("stack_002.txt")));
    for (const auto &[file, z] :
        { std::pair { "stack_000.txt", "400" }, std::pair { "stack_001.txt", "300" } }) {
        const TRun one
            = Run({ "--surface-elevation", "200", "--output", Path("one.txt"), "--params",
                SaveParams(
                    [z = z] {
                        params::TWorkingSet ws = params::DefaultWorkingSet();
                        params::SetValue(ws, *params::FindRealControl("Z0SpinEdit"), std::stod(z));
                        return ws;
                    }(),
                    "z.ini") });
        ASSERT_EQ(one.Code, 0) << one.Err;
        EXPECT_TRUE(ReadBytes(Path(file)) == ReadBytes(Path("one.txt"))) << file;
    }
    EXPECT_EQ(Run({ "--planes", "0:100:-10", "--output", Path("x.txt") }).Code, 2);
    EXPECT_EQ(Run({ "--planes", "0:100:10" }).Code, 2); // no --output
    for (const char *map : { "--png", "--pdf", "--svg" }) { // one map file for every plane
        const TRun both
            = Run({ "--planes", "400:300:-100", "--output", Path("m.txt"), map, Path("m.map") });
        EXPECT_EQ(both.Code, 2) << map;
        EXPECT_NE(both.Err.find(std::string("--planes и ") + map + " вместе не задаются"),
            std::string::npos)
            << both.Err;
    }

    ASSERT_EQ(Run({ "--rows", "0:40", "--output", Path("p1.txt") }).Code, 0);
    ASSERT_EQ(Run({ "--rows", "41:80", "--no-header", "--output", Path("p2.txt") }).Code, 0);
    const TRun render = Run({ "render", Path("p1.txt"), Path("p2.txt"), "--png", Path("map.png") });
    EXPECT_EQ(render.Code, 0) << render.Err;
    EXPECT_GT(fs::file_size(Path("map.png")), 1000u);
    const TRun gap = Run({ "render", Path("p2.txt"), "--png", Path("gap.png") });
    EXPECT_EQ(gap.Code, 3); // no header first
}
