#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "TempDirFixture.h"
#include "cli/NoiseLevelCommand.h"
#include "common/NumText.h"
#include "noise/NoiseLevel.h"

using valdrin::cli::RunNoiseLevel;
namespace noise = valdrin::noise;
namespace fs = std::filesystem;

namespace {

const std::string kFixture
    = (fs::path(__FILE__).parent_path().parent_path() / "noise/data/station_psd.dat").string();

struct TRun {
    int Code;
    std::string Out, Err;
};

TRun RunCommand(const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    const int code = RunNoiseLevel(args, out, err);
    return { code, out.str(), err.str() };
}

// The line the page's figures give for column c between fmin and fmax.
std::string Expected(const std::string &file, int c, double fmin, double fmax)
{
    const auto load = noise::LoadNoiseFile(file);
    const auto level
        = noise::NoiseBandLevel(noise::SpectrumColumnPoints(load.Spectrum, c, true), fmin, fmax);
    return load.Spectrum.Names[static_cast<std::size_t>(c)] + '\t'
        + valdrin::common::FormatFixed(level->WaMm, 5) + '\t'
        + valdrin::common::FormatExponent(level->TrueMm, 5) + '\n';
}

class NoiseLevelCommand : public TempDirFixture {
protected:
    NoiseLevelCommand()
        : TempDirFixture("valdrin-noise-cli-")
    {
    }
    std::string write(const std::string &name, const std::string &text)
    {
        WriteBytes(Path(name), text);
        return Path(name);
    }
};

} // namespace

TEST_F(NoiseLevelCommand, EveryColumnWithTheDefaultBand)
{
    const auto run = RunCommand({ kFixture });
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out,
        Expected(kFixture, 0, 1, 10) + Expected(kFixture, 1, 1, 10) + Expected(kFixture, 2, 1, 10));
    EXPECT_TRUE(run.Err.empty());
}

TEST_F(NoiseLevelCommand, OneColumnByNameOrNumberAndTheBandWithEitherSeparator)
{
    const std::string line = Expected(kFixture, 1, 0.5, 2.5);
    for (const std::vector<std::string> &args :
        { std::vector<std::string> { kFixture, "--column", "N", "--fmin", "0.5", "--fmax", "2.5" },
            { "--column=2", "--fmin=0,5", "--fmax", "2,5", kFixture },
            { "--fmax", "2.5", "--fmin", ".5", "--column", "N", "--", kFixture } }) {
        const auto run = RunCommand(args);
        EXPECT_EQ(run.Code, 0) << run.Err;
        EXPECT_EQ(run.Out, line);
    }
}

TEST_F(NoiseLevelCommand, UsageErrors)
{
    for (const std::vector<std::string> &args : { std::vector<std::string> {}, { "--fmin", "1" },
             { kFixture, "--fmin" }, { kFixture, "--fmin", "abc" }, { kFixture, "--fmax", "-1" },
             { kFixture, "--fmax", "100001" }, { kFixture, "--fmin", "nan" },
             { kFixture, kFixture }, { kFixture, "--colour", "Z" } }) {
        const auto run = RunCommand(args);
        EXPECT_EQ(run.Code, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(run.Err.find("Использование: valdrin-calc noise-level"), std::string::npos);
        EXPECT_TRUE(run.Out.empty());
    }
    // A band turned round, as the page's edits refuse it.
    const auto reversed = RunCommand({ kFixture, "--fmin", "20", "--fmax", "10" });
    EXPECT_EQ(reversed.Code, 2);
    EXPECT_EQ(reversed.Err.rfind("Частота --fmin 20 больше частоты --fmax 10\n", 0), 0u)
        << reversed.Err;
    EXPECT_TRUE(reversed.Out.empty());

    const auto help = RunCommand({ "--help" });
    EXPECT_EQ(help.Code, 0);
    EXPECT_NE(help.Out.find("--column"), std::string::npos);
    // The usage's second line follows its first; the summary comes once.
    EXPECT_NE(help.Out.find("--fmax F]\n                     [--unit"), std::string::npos);
    const std::string summary = "Среднеквадратическое смещение";
    EXPECT_EQ(help.Out.find(summary), help.Out.rfind(summary));
}

TEST_F(NoiseLevelCommand, InputErrorsCostOneMessage)
{
    const auto missing = Path("none.dat");
    auto run = RunCommand({ missing });
    EXPECT_EQ(run.Code, 3);
    EXPECT_EQ(run.Err, "Файл " + missing + " не найден\n");
    EXPECT_TRUE(run.Out.empty());

    const auto bad = write("bad.dat", "f Z\n1 2\n2 3\n3 x\n");
    run = RunCommand({ bad });
    EXPECT_EQ(run.Code, 3);
    EXPECT_NE(run.Err.find("строка 4"), std::string::npos) << run.Err;
    EXPECT_TRUE(run.Out.empty());

    run = RunCommand({ kFixture, "--column", "4" });
    EXPECT_EQ(run.Code, 3);
    EXPECT_EQ(run.Err, "В файле " + kFixture + " нет столбца 4\n");

    run = RunCommand({ write("bare.dat", "f\n1\n2\n") });
    EXPECT_EQ(run.Code, 3);
    EXPECT_NE(run.Err.find("нет столбцов"), std::string::npos);
}

TEST_F(NoiseLevelCommand, AColumnWithoutAValueIsMarked)
{
    // Z has nothing above 0 after the first row; N has a value.
    const auto path = write("gaps.dat", "f Z N\n0.5 1 1\n1 0 1e-14\n2 -1 1e-14\n3 0 1e-14\n");
    const auto run = RunCommand({ path });
    EXPECT_EQ(run.Code, 3);
    EXPECT_EQ(run.Out.substr(0, 6), "Z\t-\t-\n");
    EXPECT_EQ(run.Out.substr(6), Expected(path, 1, 1, 10));
    EXPECT_NE(run.Err.find("Столбец Z: нет значения"), std::string::npos) << run.Err;
}

TEST_F(NoiseLevelCommand, AnOutputThatCannotBeWrittenIsAFailure)
{
    std::ostringstream out, err;
    out.setstate(std::ios::badbit); // as a full disk leaves standard output
    EXPECT_EQ(RunNoiseLevel({ kFixture }, out, err), 3);
    EXPECT_EQ(err.str(), "Ошибка записи результата в стандартный вывод\n");
}
