// valdrin-calc with the field's formats: stations in and out of a parameter
// file, results as xyz, ESRI and netCDF grids, dB noise spectra and the An
// cell a noise level goes into.
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "TempDirFixture.h"
#include "calc/Computation.h"
#include "cli/CalcCommand.h"
#include "cli/NoiseLevelCommand.h"
#include "cli/StationsCommand.h"
#include "formats/Grids.h"
#include "formats/Stations.h"
#include "params/ParamFile.h"
#include "params/WorkingSet.h"

using namespace valdrin;

namespace {

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

template<typename F> TRun Call(F run, const std::vector<std::string> &args)
{
    std::ostringstream out, err;
    TRun r;
    r.Code = run(args, out, err);
    r.Out = out.str();
    r.Err = err.str();
    return r;
}

TRun Stations(const std::vector<std::string> &args)
{
    return Call(cli::RunStations, args);
}
TRun Calc(const std::vector<std::string> &args)
{
    return Call([](auto &a, auto &o, auto &e) { return cli::RunCalcCommand(a, o, e); }, args);
}
TRun NoiseLevel(const std::vector<std::string> &args)
{
    return Call(cli::RunNoiseLevel, args);
}

params::TWorkingSet Load(const std::string &path)
{
    params::TWorkingSet ws = params::DefaultWorkingSet('.');
    params::LoadParamFile(path, ws, {}, '.');
    return ws;
}

std::string G17(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

class FormatsCommand : public TempDirFixture {
protected:
    FormatsCommand()
        : TempDirFixture("valdrin-formats-cli-")
    {
    }

    // A parameter file the window wrote, with a section of another program.
    std::string WindowParams(const params::TWorkingSet &ws, const std::string &name = "p.ini")
    {
        params::TWindowPlacement placement;
        placement.NormalRect = { 10, 20, 810, 620 };
        placement.ScreenWidth = 1920;
        placement.ScreenHeight = 1080;
        std::string path = Path(name);
        params::SaveParamFile(path, ws, placement);
        WriteBytes(path, ReadBytes(path) + "[Other]\r\nKey=kept\r\n");
        return path;
    }
};

} // namespace

TEST_F(FormatsCommand, StationsCsvThroughAParameterFileComeBackIdentical)
{
    const std::string degrees = "name,longitude,latitude,elevation_m,a0,a1,a2,a3,an,snr\n"
                                "ABK,76.9,43.2,1340,1,1.3,0.0001,0.4,0.0104,4\n"
                                "ТАЛ,77.125,43.5,-12.5,1.1,1.2,0.0002,0.5,0.02,3\n";
    const std::string metres = "name,x,y,z,a0,a1,a2,a3,an,snr\n"
                               "A1,-1500,250.5,410,1,1.3,0.0001,0.4,0.01,4\n";
    for (const std::string *csv : { &degrees, &metres }) {
        const std::string ini = WindowParams(params::DefaultWorkingSet('.'));
        const std::string before = ReadBytes(ini);
        WriteBytes(Path("s.csv"), *csv);
        const TRun in = Stations({ "import", Path("s.csv"), "--to", ini });
        ASSERT_EQ(in.Code, 0) << in.Err;
        EXPECT_EQ(Stations({ "export", "--params", ini, "--format", "csv" }).Out, *csv);
        ASSERT_EQ(
            Stations({ "export", "--params", ini, "--format=csv", "--output", Path("o.csv") }).Code,
            0);
        EXPECT_EQ(ReadBytes(Path("o.csv")), *csv);

        const std::string after = ReadBytes(ini);
        EXPECT_EQ(Load(ini).GeoCheckBox, csv == &degrees);
        // The window's placement and the other program's lines stay as they were.
        for (const char *line : { "NormPos(1920x1080)=10,20,810,620\r\n", "[Other]\r\nKey=kept" }) {
            EXPECT_NE(before.find(line), std::string::npos);
            EXPECT_NE(after.find(line), std::string::npos) << line;
        }
    }
    // A new file starts from the window's start-up state.
    ASSERT_EQ(Stations({ "import", Path("s.csv"), "--to", Path("new.ini") }).Code, 0);
    EXPECT_EQ(Load(Path("new.ini")).SensorsSpinEdit, 1);
    EXPECT_EQ(Load(Path("new.ini")).VpSpinEdit, 6000);
}

TEST_F(FormatsCommand, StationsImportAppendsOrRefusesWithTheFileUnchanged)
{
    auto csv = [](int first, int count, bool degrees) {
        std::string s = degrees ? "station,lon,lat,elev\n" : "name,x,y,z\n";
        for (int i = first; i < first + count; ++i)
            s.append("S")
                .append(std::to_string(i))
                .append(",")
                .append(std::to_string(i % 90))
                .append(",1,2\n");
        return s;
    };
    const std::string ini = WindowParams(params::DefaultWorkingSet('.'));
    WriteBytes(Path("60.csv"), csv(0, 60, false));
    WriteBytes(Path("40.csv"), csv(60, 40, false));
    ASSERT_EQ(Stations({ "import", Path("60.csv"), "--to", ini }).Code, 0);
    ASSERT_EQ(Stations({ "import", Path("40.csv"), "--to", ini, "--append" }).Code, 0);
    const params::TWorkingSet ws = Load(ini);
    EXPECT_EQ(ws.SensorsSpinEdit, 100);
    EXPECT_EQ(ws.CooGrid.Cell(100, 0), "99");
    EXPECT_EQ(ws.CooGrid.Cell(100, 4), "S99");
    EXPECT_EQ(ws.StrGrid.Rows[61],
        (common::TCellRow { "S60", "1", "1.3", "0.0001", "0.4", "0.010", "4" }));

    const std::string full = ReadBytes(ini);
    WriteBytes(Path("1.csv"), csv(100, 1, false));
    WriteBytes(Path("deg.csv"), csv(100, 1, true));
    WriteBytes(Path("101.csv"), csv(0, 101, false));
    const std::pair<std::vector<std::string>, std::string> refused[] = {
        { { "import", Path("1.csv"), "--to", ini, "--append" }, "Станций стало бы 101" },
        { { "import", Path("101.csv"), "--to", ini }, "101 станций" },
        { { "import", Path("missing.csv"), "--to", ini }, "missing.csv" },
    };
    for (const auto &[args, message] : refused) {
        const TRun r = Stations(args);
        EXPECT_EQ(r.Code, cli::kExitInput);
        EXPECT_NE(r.Err.find(message), std::string::npos) << r.Err;
        EXPECT_EQ(ReadBytes(ini), full);
    }
    ASSERT_EQ(Stations({ "import", Path("1.csv"), "--to", ini }).Code, 0);
    const TRun mixed = Stations({ "import", Path("deg.csv"), "--to", ini, "--append" });
    EXPECT_EQ(mixed.Code, cli::kExitInput);
    EXPECT_NE(mixed.Err.find("в градусах"), std::string::npos) << mixed.Err;

    for (const std::vector<std::string> &args :
        { std::vector<std::string> { "import", Path("1.csv") }, { "move", Path("1.csv") },
            { "export", "--format", "shp" }, { "export" } })
        EXPECT_EQ(Stations(args).Code, cli::kExitUsage);
    // Maps need degrees; a table row that does not read stops the export.
    EXPECT_EQ(Stations({ "export", "--params", ini, "--format", "kml" }).Code, cli::kExitInput);
    params::TWorkingSet bad = Load(ini);
    bad.CooGrid.SetCell(1, 2, "4x");
    const std::string badIni = WindowParams(bad, "bad.ini");
    const TRun cut = Stations({ "export", "--params", badIni, "--format", "csv" });
    EXPECT_EQ(cut.Code, cli::kExitInput);
    EXPECT_NE(cut.Err.find("«4x»"), std::string::npos) << cut.Err;
}

TEST_F(FormatsCommand, FdsnTextAndStationXmlImportInDegreesWithTheDefaultAttenuation)
{
    WriteBytes(Path("st.txt"),
        "#Network | Station | Location | Channel | Latitude | Longitude | Elevation | Depth\n"
        "KZ|ABK|00|BHZ|43.2|76.9|1340|0\n"
        "KZ|ABK|00|BHN|43.2|76.9|1340|0\n"
        "IU|ТЛГ||BHZ|-12.5|300|0|0\n");
    WriteBytes(Path("st.xml"), R"(<?xml version="1.0" encoding="UTF-8"?>
<FDSNStationXML xmlns="http://www.fdsn.org/xml/station/1" schemaVersion="1.1">
  <Network code="KZ"><Station code="ABK"><Latitude>43.2</Latitude><Longitude>76.9</Longitude>
    <Elevation>1340</Elevation><Site><Name>Алма-Ата</Name></Site></Station></Network>
  <Network code="IU"><Station code="ТЛГ"><Latitude>-12.5</Latitude><Longitude>300</Longitude>
    <Elevation>0</Elevation></Station></Network>
</FDSNStationXML>
)");
    const common::TCellRow attenuation { "", "1", "1.3", "0.0001", "0.4", "0.010", "4" };
    for (const char *file : { "st.txt", "st.xml" }) {
        const std::string ini = Path(std::string(file) + ".ini");
        const TRun r = Stations({ "import", Path(file), "--to", ini });
        ASSERT_EQ(r.Code, 0) << r.Err;
        const params::TWorkingSet ws = Load(ini);
        EXPECT_TRUE(ws.GeoCheckBox);
        ASSERT_EQ(ws.SensorsSpinEdit, 2) << file;
        EXPECT_EQ(ws.CooGrid.Rows[1], (common::TCellRow { "0", "76.9", "43.2", "1340", "ABK" }));
        EXPECT_EQ(ws.CooGrid.Rows[2], (common::TCellRow { "1", "300", "-12.5", "0", "ТЛГ" }));
        for (int c = 1; c <= 6; ++c)
            EXPECT_EQ(ws.StrGrid.Cell(2, c), attenuation[static_cast<std::size_t>(c)]);
        const TRun fdsn = Stations({ "export", "--params", ini, "--format", "fdsn" });
        EXPECT_NE(fdsn.Out.find("|ТЛГ|-12.5|300|0|"), std::string::npos) << fdsn.Out;
    }
}

TEST_F(FormatsCommand, ResultGridsReadBackToTheComputedNumbers)
{
    // Three stations that register, one of them on the node (0, 0) of the
    // plane, where it has no value: k = 3 leaves that node not registered.
    params::TWorkingSet ws = params::DefaultWorkingSet('.');
    params::SetValue(ws, *params::FindChoiceControl("SourceRadioGroup"), 3);
    params::SetValue(ws, *params::FindChoiceControl("MediumRadioGroup"), 1);
    ws.CooGrid.Rows[1] = { "0", "0", "0", "400", "ARA0" };
    for (int r = 4; r <= 25; ++r)
        ws.StrGrid.SetCell(r, formats::kAnColumn, "1e200"); // never reaches the threshold
    const std::string ini = WindowParams(ws);
    const auto build = params::MakeCalcSnapshot(ws, '.');
    const calc::TResult result = *calc::RunComputation(build.Snapshot);
    const formats::TGridExport grid = formats::GridFromResult(result, ws.VpSpinEdit);

    const TRun xyz = Calc({ "--params", ini, "--format", "xyz", "--not-registered", "-1" });
    ASSERT_TRUE(std::isinf(grid.Values[grid.U.Values.size() / 2][grid.V.Values.size() / 2]));
    ASSERT_EQ(xyz.Code, 0) << xyz.Err;
    std::istringstream lines(xyz.Out);
    std::string line;
    std::size_t rows = 0, notRegistered = 0;
    while (std::getline(lines, line)) {
        if (line.starts_with('#'))
            continue;
        const std::size_t i = rows / grid.V.Values.size(), j = rows % grid.V.Values.size();
        ++rows;
        double x = 0, y = 0, v = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf", &x, &y, &v), 3) << line;
        EXPECT_EQ(x, grid.U.Values[i]);
        EXPECT_EQ(y, grid.V.Values[j]);
        const double expected = grid.Values[i][j];
        if (std::isinf(expected)) {
            ++notRegistered;
            EXPECT_EQ(v, -1);
        } else {
            EXPECT_NEAR(v, expected, 1e-8 * std::abs(expected)) << line; // %.9g
        }
    }
    EXPECT_EQ(rows, grid.U.Values.size() * grid.V.Values.size());
    EXPECT_EQ(notRegistered, 1u);

    ASSERT_EQ(Calc({ "--params", ini, "--format", "esri", "--output", Path("g.asc") }).Code, 0);
    std::ostringstream esri;
    formats::WriteEsriAscii(esri, result, ws.VpSpinEdit);
    EXPECT_EQ(ReadBytes(Path("g.asc")), esri.str());

    EXPECT_EQ(Calc({ "--params", ini, "--format", "netcdf" }).Code, cli::kExitUsage);
    ASSERT_EQ(Calc({ "--params", ini, "--format", "netcdf", "--output", Path("g.nc") }).Code, 0);
    int nc = 0, var = 0, flag = 0, k = 0;
    ASSERT_EQ(nc_open(Path("g.nc").c_str(), NC_NOWRITE, &nc), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(nc, grid.Quantity.c_str(), &var), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(nc, "not_registered", &flag), NC_NOERR);
    const std::size_t nu = grid.U.Values.size(), nv = grid.V.Values.size();
    std::vector<double> values(nu * nv);
    std::vector<signed char> flags(nu * nv);
    ASSERT_EQ(nc_get_var_double(nc, var, values.data()), NC_NOERR);
    ASSERT_EQ(nc_get_var_schar(nc, flag, flags.data()), NC_NOERR);
    ASSERT_EQ(nc_get_att_int(nc, NC_GLOBAL, "k", &k), NC_NOERR);
    nc_close(nc);
    EXPECT_EQ(k, 3);
    for (std::size_t i = 0; i < nu; ++i)
        for (std::size_t j = 0; j < nv; ++j) {
            const double expected = grid.Values[i][j], got = values[j * nu + i];
            EXPECT_EQ(flags[j * nu + i], std::isinf(expected) ? 1 : 0);
            if (std::isfinite(expected))
                EXPECT_EQ(got, expected);
            else
                EXPECT_TRUE(std::isnan(got));
        }
    // The tab-separated file stays the default.
    EXPECT_EQ(Calc({ "--params", ini }).Out, Calc({ "--params", ini, "--format", "tsv" }).Out);
}

TEST_F(FormatsCommand, NoiseLevelReadsDbSpectraAndWritesTheStationsAn)
{
    // One spectrum twice: velocity power with the page's DC row, and the
    // MUSTANG export of the same in dB of acceleration.
    std::string linear = "f\tZ\n0\t0\n";
    std::string mustang = "# SNCL: KZ.ABK.00.BHZ\n# frequency, power\n";
    for (int i = 0; i < 60; ++i) {
        const double f = 0.05 * std::pow(400.0, i / 59.0), w = 2 * std::numbers::pi * f;
        const double db = -140 - 10 * std::log10(1 + f) + 5 * std::sin(f);
        linear += G17(f) + "\t" + G17(std::pow(10.0, db / 10) / (w * w)) + "\n";
        mustang += G17(f) + ", " + G17(db) + "\n";
    }
    WriteBytes(Path("linear.dat"), linear);
    WriteBytes(Path("mustang.txt"), mustang);
    const TRun a = NoiseLevel({ Path("linear.dat") });
    const TRun b = NoiseLevel({ Path("mustang.txt") });
    ASSERT_EQ(a.Code, 0) << a.Err;
    ASSERT_EQ(b.Code, 0) << b.Err;
    EXPECT_EQ(a.Out.substr(a.Out.find('\t')), b.Out.substr(b.Out.find('\t')));
    // Told the wrong unit, the dB file is refused as a linear one.
    EXPECT_EQ(NoiseLevel({ Path("mustang.txt"), "--unit", "linear" }).Code, cli::kExitInput);

    const params::TWorkingSet ws = params::DefaultWorkingSet('.');
    const std::string station = ws.CooGrid.Cell(3, 4);
    std::string cells[2];
    for (int n = 0; n < 2; ++n) {
        const std::string ini = WindowParams(ws, "an" + std::to_string(n) + ".ini");
        const TRun r = NoiseLevel({ Path(n ? "mustang.txt" : "linear.dat"), "--station",
            " " + station + " ", "--params", ini });
        ASSERT_EQ(r.Code, 0) << r.Err;
        params::TWorkingSet changed = Load(ini);
        cells[n] = changed.StrGrid.Cell(3, formats::kAnColumn);
        changed.StrGrid.SetCell(3, formats::kAnColumn, ws.StrGrid.Cell(3, formats::kAnColumn));
        EXPECT_EQ(changed.StrGrid, ws.StrGrid);
        EXPECT_EQ(changed.CooGrid, ws.CooGrid);
    }
    EXPECT_EQ(cells[0], cells[1]);
    EXPECT_EQ(cells[0].substr(0, 7), a.Out.substr(a.Out.find('\t') + 1, 7)); // 0.0xxxx

    const std::string ini = Path("an0.ini");
    const std::string saved = ReadBytes(ini);
    const std::string threeColumns = (std::filesystem::path(__FILE__).parent_path().parent_path()
        / "noise/data/station_psd.dat")
                                         .string();
    const std::pair<std::vector<std::string>, int> refused[] = {
        { { Path("linear.dat"), "--station", "NOPE", "--params", ini }, cli::kExitInput },
        { { Path("linear.dat"), "--station", station, "--params", Path("none.ini") },
            cli::kExitInput },
        { { Path("linear.dat"), "--station", station }, cli::kExitUsage },
        { { threeColumns, "--station", station, "--params", ini }, cli::kExitUsage },
        { { Path("linear.dat"), "--fmin", "50", "--fmax", "60", "--station", station, "--params",
              ini },
            cli::kExitInput },
    };
    for (const auto &[args, code] : refused) {
        const TRun r = NoiseLevel(args);
        EXPECT_EQ(r.Code, code) << args[1] << ": " << r.Err;
        EXPECT_FALSE(r.Err.empty());
    }
    EXPECT_EQ(ReadBytes(ini), saved);
    EXPECT_FALSE(std::filesystem::exists(Path("none.ini")));
}
