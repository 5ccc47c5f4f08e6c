#include <gtest/gtest.h>
#include <netcdf.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

#include "TempDirFixture.h"
#include "common/Error.h"
#include "formats/Grids.h"
#include "formats/TextInput.h"

using namespace valdrin::formats;
using namespace valdrin::calc;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// 4 x 3 nodes of magnitudes, 50 m apart, with a node without a value and one
// that no k stations register.
TResult NodeResult()
{
    TResult r;
    r.ResultMode = TShowMode::smMinMagnitude;
    r.Plane = TViewPlane::vpXZ;
    r.PlaneGrid = { -100, 50, 50, -300, -200, 50, 250, 4, 3 };
    r.ResultMatrix = { { 0.1234567891234, 1.5, -2.25 }, { kNaN, 3.1, 2.0 / 3 }, { kInf, 1e-7, 4 },
        { 0, 12345.678901234, -1 } };
    r.Saveable = true;
    return r;
}

std::vector<std::vector<std::string>> Fields(const std::string &text)
{
    std::vector<std::vector<std::string>> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        out.emplace_back();
        for (std::string w; words >> w;)
            out.back().push_back(w);
    }
    return out;
}

void ExpectSame(double expected, const std::string &text)
{
    const double got = std::stod(text);
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(got)) << text;
    else
        EXPECT_NEAR(got, expected, 1e-9 * std::abs(expected)) << text; // %.9g
}

} // namespace

TEST(GridsText, XyzReadsBackTheSameNumbers)
{
    const TResult r = NodeResult();
    for (double notRegistered : { kNaN, 99.0 }) {
        std::ostringstream out;
        WriteXyz(out, r, 6000, notRegistered);
        const auto f = Fields(out.str());
        ASSERT_EQ(f.size(), 2u + 12u);
        EXPECT_EQ(f[0], (std::vector<std::string> { "#", "x", "z", "magnitude" }));
        EXPECT_EQ(f[1].back(), std::isnan(notRegistered) ? "NaN" : "99");
        for (std::size_t i = 0; i < 4; ++i)
            for (std::size_t j = 0; j < 3; ++j) {
                const auto &line = f[2 + i * 3 + j];
                ASSERT_EQ(line.size(), 3u);
                ExpectSame(-100 + 50.0 * static_cast<double>(i), line[0]);
                ExpectSame(-300 + 50.0 * static_cast<double>(j), line[1]);
                const double v = r.ResultMatrix[i][j];
                ExpectSame(v == kInf ? notRegistered : v, line[2]);
            }
    }
}

// The window runs under the user's locale, where printf writes a decimal comma.
TEST(GridsText, NumbersKeepThePointUnderACommaLocale)
{
    const double values[] = { 0.1234567891234, -2.25, 1e-7, 12345.678901234, 1e300, -0.0, 4 };
    for (double v : values) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.9g", v); // the "C" locale here
        EXPECT_EQ(FormatG9(v), buf);
    }
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"))
        GTEST_SKIP() << "no ru_RU.UTF-8 locale";
    std::ostringstream xyz, esri;
    WriteXyz(xyz, NodeResult(), 6000);
    WriteEsriAscii(esri, NodeResult(), 6000);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(xyz.str().find(','), std::string::npos) << xyz.str();
    EXPECT_EQ(esri.str().find(','), std::string::npos) << esri.str();
    EXPECT_NE(xyz.str().find("0.123456789"), std::string::npos);
}

TEST(GridsText, EsriAsciiTopRowFirstAndEqualStepsOnly)
{
    const TResult r = NodeResult();
    std::ostringstream out;
    WriteEsriAscii(out, r, 6000, -9999, 99);
    const auto f = Fields(out.str());
    ASSERT_EQ(f.size(), 6u + 3u);
    EXPECT_EQ(f[0], (std::vector<std::string> { "ncols", "4" }));
    EXPECT_EQ(f[1], (std::vector<std::string> { "nrows", "3" }));
    EXPECT_EQ(f[2][1], "-125"); // lower-left corner: half a cell before the first node
    EXPECT_EQ(f[3][1], "-325");
    EXPECT_EQ(f[4][1], "50");
    EXPECT_EQ(f[5][1], "-9999");
    for (std::size_t row = 0; row < 3; ++row) {
        ASSERT_EQ(f[6 + row].size(), 4u);
        const std::size_t j = 2 - row;
        for (std::size_t i = 0; i < 4; ++i) {
            const double v = r.ResultMatrix[i][j];
            ExpectSame(std::isnan(v) ? -9999 : v == kInf ? 99 : v, f[6 + row][i]);
        }
    }

    TResult uneven = r;
    uneven.PlaneGrid.VStep = 25;
    std::ostringstream sink;
    EXPECT_THROW(WriteEsriAscii(sink, uneven, 6000), valdrin::common::TValdrinError);
    TResult none;
    EXPECT_THROW(WriteXyz(sink, none, 6000), valdrin::common::TValdrinError);
}

TEST(GridsText, ResponseAxesAndAMatrixSmallerThanItsGrid)
{
    TResult r;
    r.ResultMode = TShowMode::smCdF;
    r.WaveGrid = { 0.002, 0.001, 2 };
    r.ResultMatrix.assign(5, std::vector<double>(5, 0.5));
    r.ResultMatrix[4].resize(2); // a ragged matrix: only what every row holds is written
    std::ostringstream out;
    WriteXyz(out, r, 6000);
    const auto f = Fields(out.str());
    EXPECT_EQ(f[0], (std::vector<std::string> { "#", "fx", "fy", "response" }));
    ASSERT_EQ(f.size(), 2u + 5u * 2u);
    EXPECT_EQ(f[2][0], "-12");
    EXPECT_EQ(f[2][1], "-12");
}

class GridFiles : public TempDirFixture {
protected:
    GridFiles()
        : TempDirFixture("formats_grids_")
    {
    }
};

TEST_F(GridFiles, NetCdfReadsBackThroughTheCLibrary)
{
    const TResult r = NodeResult();
    TRunInfo run;
    run.k = 3;
    run.Medium = TMediumKind::Layered;
    run.Stations.Rows = { { "ARA0", "", "", 1, 2, 403, {} }, { "Б-2", "", "", -5, 6, 411, {} } };
    const std::string path = Path("grid.nc");
    WriteBytes(path, "old contents");
    WriteNetCdf(path, r, run);

    int nc = 0;
    ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &nc), NC_NOERR);
    int x = 0, z = 0, m = 0, flag = 0, names = 0;
    ASSERT_EQ(nc_inq_varid(nc, "x", &x), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(nc, "z", &z), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(nc, "magnitude", &m), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(nc, "not_registered", &flag), NC_NOERR);
    ASSERT_EQ(nc_inq_varid(nc, "station_name", &names), NC_NOERR);
    double xs[4], zs[3], values[12];
    signed char flags[12];
    ASSERT_EQ(nc_get_var_double(nc, x, xs), NC_NOERR);
    ASSERT_EQ(nc_get_var_double(nc, z, zs), NC_NOERR);
    ASSERT_EQ(nc_get_var_double(nc, m, values), NC_NOERR);
    ASSERT_EQ(nc_get_var_schar(nc, flag, flags), NC_NOERR);
    EXPECT_EQ(xs[3], 50);
    EXPECT_EQ(zs[2], -200);
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t j = 0; j < 3; ++j) {
            const double v = r.ResultMatrix[i][j];
            const double got = values[j * 4 + i]; // (z, x): x varies fastest
            if (std::isfinite(v))
                EXPECT_EQ(got, v);
            else
                EXPECT_TRUE(std::isnan(got));
            EXPECT_EQ(flags[j * 4 + i], v == kInf ? 1 : 0);
        }
    char text[64] = {};
    ASSERT_EQ(nc_get_att_text(nc, m, "units", text), NC_NOERR);
    EXPECT_STREQ(text, "1");
    std::fill(std::begin(text), std::end(text), 0);
    ASSERT_EQ(nc_get_att_text(nc, NC_GLOBAL, "medium", text), NC_NOERR);
    EXPECT_STREQ(text, "layered");
    double fixed = 0;
    int k = 0;
    ASSERT_EQ(nc_get_att_double(nc, NC_GLOBAL, "fixed_coordinate", &fixed), NC_NOERR);
    ASSERT_EQ(nc_get_att_int(nc, NC_GLOBAL, "k", &k), NC_NOERR);
    EXPECT_EQ(fixed, 250);
    EXPECT_EQ(k, 3);
    char *stations[2] = {};
    ASSERT_EQ(nc_get_var_string(nc, names, stations), NC_NOERR);
    EXPECT_STREQ(stations[1], "Б-2");
    nc_free_string(2, stations);
    nc_close(nc);

    // A failed write leaves no temporary behind; a folder is not replaced.
    EXPECT_THROW(WriteNetCdf(Path("missing/grid.nc"), r, run), valdrin::common::TValdrinError);
    EXPECT_THROW(WriteNetCdf(m_dir.string(), r, run), valdrin::common::TValdrinError);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
}

TEST_F(GridFiles, SafeWriteKeepsTheOldFileWhenTheWriterFails)
{
    const std::string path = Path("stations.csv");
    WriteBytes(path, "old");
    EXPECT_THROW(WriteFileSafely(path,
                     [](std::ostream &out) {
                         out << "half";
                         throw valdrin::common::TValdrinError("stop");
                     }),
        valdrin::common::TValdrinError);
    EXPECT_EQ(ReadBytes(path), "old");
    WriteFileSafely(path, [](std::ostream &out) { out << "new"; });
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);
}
