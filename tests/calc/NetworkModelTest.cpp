#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "calc/NetworkModel.h"

using namespace valdrin::calc;
using valdrin::common::TCellTable;

namespace {

double Mean(const TDoubleDynArray &a, int n)
{
    return std::accumulate(a.begin(), a.begin() + n, 0.0) / n;
}

// The default tables with every point of the numeric cells turned into sep.
TCellTable WithSeparator(TCellTable t, char sep)
{
    for (std::size_t r = 1; r < t.Rows.size(); ++r)
        for (std::size_t c = 1; c < static_cast<std::size_t>(t.ColCount); ++c)
            for (char &ch : t.Rows[r][c])
                if (ch == '.')
                    ch = sep;
    return t;
}

} // namespace

TEST(DefaultTables, HoldTheStartUpNetworkAndCoefficients)
{
    const auto coo = DefaultCooGrid();
    const auto str = DefaultStrGrid();
    ASSERT_EQ(coo.RowCount(), 26);
    ASSERT_EQ(str.RowCount(), 26);
    EXPECT_EQ(coo.Rows[0], (std::vector<std::string> { "№", "X", "Y", "Z", "Name" }));
    EXPECT_EQ(
        str.Rows[0], (std::vector<std::string> { "Name", "a0", "a1", "a2", "a3", "An", "SNR" }));
    EXPECT_EQ(coo.Rows[1], (std::vector<std::string> { "0", "0", "0", "403", "ARA0" }));
    EXPECT_EQ(coo.Rows[19], (std::vector<std::string> { "18", "1651", "188", "331", "ARD3" }));
    EXPECT_EQ(coo.Rows[25], (std::vector<std::string> { "24", "-778", "1173", "359", "ARD9" }));
    for (std::size_t r = 1; r <= 25; ++r) {
        EXPECT_EQ(str.Rows[r][0], coo.Rows[r][4]);
        EXPECT_EQ(str.Rows[r],
            (std::vector<std::string> {
                coo.Rows[r][4], "1.000", "1.3", "0.0001", "0.4", "0.010", "4" }));
    }
}

TEST(ReadStations, DefaultNetworkInThePlaneXY)
{
    const auto s = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXY, '.');
    ASSERT_EQ(s.Count, 25);
    ASSERT_EQ(s.U.size(), 25u);
    EXPECT_NEAR(Mean(s.U, 25), 8.28, 1e-12);
    EXPECT_NEAR(Mean(s.V, 25), 13.84, 1e-12);
    EXPECT_EQ(s.Name[0], "ARA0");
    EXPECT_EQ(s.CentreU, 0);
    EXPECT_EQ(s.CentreV, 0);
    EXPECT_NEAR(std::hypot(8.28, 13.84), 16.13, 0.005);
    EXPECT_EQ(s.W[1], 411);
    EXPECT_EQ(s.A0[24], 1.0);
    EXPECT_EQ(s.A2[24], 0.0001);
    EXPECT_EQ(s.An[3], 0.01);
    EXPECT_EQ(s.SNR[3], 4);
}

TEST(ReadStations, PlanesMapTheColumnsOntoUVW)
{
    const auto yz = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpYZ, '.');
    ASSERT_EQ(yz.Count, 25);
    EXPECT_NEAR(Mean(yz.U, 25), 13.84, 1e-12);
    EXPECT_NEAR(Mean(yz.V, 25), 384.2, 1e-12);
    EXPECT_EQ(yz.CentreU, 0); // ARA0: Y = 0
    EXPECT_EQ(yz.CentreV, 403); // Z = 403
    EXPECT_EQ(yz.U[1], 160);
    EXPECT_EQ(yz.V[1], 411);
    EXPECT_EQ(yz.W[1], 53);

    const auto xz = ReadStations(DefaultCooGrid(), DefaultStrGrid(), TViewPlane::vpXZ, '.');
    EXPECT_EQ(xz.U[1], 53);
    EXPECT_EQ(xz.V[1], 411);
    EXPECT_EQ(xz.W[1], 160);
}

TEST(ReadStations, ReadsTheUsersDecimalSeparator)
{
    auto coo = DefaultCooGrid();
    coo.Rows[2][1] = "53.5";
    const auto pointCoo = coo;
    const auto commaCoo = WithSeparator(coo, ',');
    const auto commaStr = WithSeparator(DefaultStrGrid(), ',');

    const auto point = ReadStations(pointCoo, DefaultStrGrid(), TViewPlane::vpXY, '.');
    const auto comma = ReadStations(commaCoo, commaStr, TViewPlane::vpXY, ',');
    EXPECT_EQ(point.Count, 25);
    EXPECT_EQ(comma.Count, 25);
    EXPECT_EQ(comma.U, point.U);
    EXPECT_EQ(comma.A2, point.A2);
    EXPECT_EQ(comma.U[1], 53.5);

    // Cells written under the other locale read the same; a mixed table too.
    for (char sep : { '.', ',' }) {
        const auto other = ReadStations(commaCoo, DefaultStrGrid(), TViewPlane::vpXY, sep);
        EXPECT_EQ(other.Count, 25);
        EXPECT_EQ(other.U, point.U);
        EXPECT_EQ(other.A2, point.A2);
        EXPECT_TRUE(other.BadCell.empty());
    }

    // A cell that reads neither way names its column by the header.
    auto bad = pointCoo;
    bad.Rows[1][2] = "42.8a";
    const auto s = ReadStations(bad, commaStr, TViewPlane::vpXY, ',');
    EXPECT_EQ(s.Count, 0);
    EXPECT_EQ(StationRowMessage(s), "Ошибка в параметрах станции №1 (столбец Y: «42.8a»)");
    bad.Rows[0][2] = "";
    EXPECT_EQ(ReadStations(bad, commaStr, TViewPlane::vpXY, ',').BadCell, "столбец Y: «42.8a»");
    auto badStr = DefaultStrGrid();
    badStr.Rows[4][6] = "4,0,0";
    const auto t = ReadStations(pointCoo, badStr, TViewPlane::vpXY, '.');
    EXPECT_EQ(StationRowMessage(t), "Ошибка в параметрах станции №4 (столбец SNR: «4,0,0»)");
}

TEST(ReadStations, InDegreesALatitudeBeyondAPoleEndsTheReading)
{
    auto coo = DefaultCooGrid();
    coo.Rows[0] = { "№", "Lon", "Lat", "Z", "Name" };
    for (std::size_t r = 3; r <= 25; ++r)
        coo.Rows[r][2] = "42,8";
    coo.Rows[1][2] = "-90";
    coo.Rows[2][2] = "90.000";
    coo.Rows[3][1] = "179.5"; // longitudes are not bounded here
    EXPECT_EQ(ReadStations(coo, DefaultStrGrid(), TViewPlane::vpXY, '.', true).Count, 25);
    coo.Rows[3][2] = "-90.0001";
    const auto s = ReadStations(coo, DefaultStrGrid(), TViewPlane::vpXZ, '.', true);
    EXPECT_EQ(s.Count, 2);
    EXPECT_EQ(StationRowMessage(s),
        "Ошибка в параметрах станции №3 (столбец Lat: «-90.0001», "
        "широта вне пределов от -90 до 90°)");
}

TEST(ReadStations, AnIncompleteRowEndsTheReadingSilently)
{
    auto coo = DefaultCooGrid();
    coo.Rows[5][2] = ""; // ARB1: no Y
    coo.Rows[7][1] = "abc"; // below it: never read
    const auto s = ReadStations(coo, DefaultStrGrid(), TViewPlane::vpXY, '.');
    EXPECT_EQ(s.Count, 4);
    EXPECT_EQ(s.U.size(), 25u); // sized to the table all the same
    EXPECT_EQ(s.U[4], 82); // read before the empty cell
    EXPECT_EQ(s.U[6], 0);
    // Centre from the first four: centroid (-4.75, 2.5), ARA0 nearest.
    EXPECT_EQ(s.CentreU, 0);
    EXPECT_EQ(s.CentreV, 0);

    auto str = DefaultStrGrid();
    str.Rows[3][6] = " ";
    EXPECT_EQ(ReadStations(DefaultCooGrid(), str, TViewPlane::vpXY, '.').Count, 2);
    str.SetRowCount(2); // attenuation table shorter than the station table
    EXPECT_EQ(ReadStations(DefaultCooGrid(), str, TViewPlane::vpXY, '.').Count, 1);
}

TEST(ReadStations, EdgesOfTheCentreStation)
{
    TCellTable coo(3, kCooGridCols), str(3, kStrGridCols);
    for (std::size_t r = 1; r <= 2; ++r)
        str.Rows[r] = { "", "1", "1", "0", "0", "1", "4" };
    coo.Rows[1] = { "0", "-1", "5", "0", "" };
    coo.Rows[2] = { "1", "1", "5", "0", "" };
    auto s = ReadStations(coo, str, TViewPlane::vpXY, '.');
    EXPECT_EQ(s.Count, 2);
    EXPECT_EQ(s.CentreU, -1); // a tie: the earlier station
    EXPECT_EQ(s.Name[1], ""); // empty names are accepted

    coo.Rows[1][1] = "";
    s = ReadStations(coo, str, TViewPlane::vpXY, '.');
    EXPECT_EQ(s.Count, 0);
    EXPECT_EQ(s.CentreU, 0);
    EXPECT_EQ(s.CentreV, 0);

    const auto none = ReadStations(TCellTable(), TCellTable(), TViewPlane::vpXY, '.');
    EXPECT_EQ(none.Count, 0);
    EXPECT_TRUE(none.U.empty());
}

TEST(SetStationCount, AddsDefaultRowsAndKeepsTypedTexts)
{
    auto coo = DefaultCooGrid();
    auto str = DefaultStrGrid();
    coo.Rows[3][4] = "NEW2";
    str.Rows[4][2] = "2.5";
    SetStationCount(coo, str, 27);
    ASSERT_EQ(coo.RowCount(), 28);
    ASSERT_EQ(str.RowCount(), 28);
    EXPECT_EQ(coo.Rows[27][0], "26");
    EXPECT_EQ(str.Rows[3][0], "NEW2");
    EXPECT_EQ(str.Rows[4][2], "2.5");
    EXPECT_EQ(str.Rows[1][1], "1.000");
    EXPECT_EQ(
        str.Rows[26], (std::vector<std::string> { "", "1", "1.3", "0.0001", "0.4", "0.010", "4" }));
    // New stations have no coordinates yet: the reading stops at the first.
    EXPECT_EQ(ReadStations(coo, str, TViewPlane::vpXY, '.').Count, 25);

    str.Rows[2][5] = "";
    SetStationCount(coo, str, 3);
    EXPECT_EQ(coo.RowCount(), 4);
    EXPECT_EQ(str.RowCount(), 4);
    EXPECT_EQ(str.Rows[2][5], "0.010");
    EXPECT_EQ(coo.Rows[0][0], "№"); // the header row is left alone

    SetStationCount(coo, str, 1000); // beyond the control's range
    EXPECT_EQ(coo.RowCount(), kMaxStations + 1);
    TCellTable narrow(1, 2), narrowStr(1, 1);
    SetStationCount(narrow, narrowStr, 2);
    EXPECT_EQ(narrow.ColCount, kCooGridCols);
    EXPECT_EQ(narrowStr.Rows[2][6], "4");
}

TEST(SetStationCount, DefaultTextsTakeTheUsersSeparator)
{
    // A comma-locale user must be able to compute the default network as it
    // starts, and rows added later must read as well.
    auto coo = DefaultCooGrid();
    auto str = DefaultStrGrid(',');
    EXPECT_EQ(str.Rows[1][1], "1,000");
    EXPECT_EQ(ReadStations(coo, str, TViewPlane::vpXY, ',').Count, 25);
    SetStationCount(coo, str, 26, ',');
    EXPECT_EQ(
        str.Rows[26], (std::vector<std::string> { "", "1", "1,3", "0,0001", "0,4", "0,010", "4" }));
    coo.Rows[26] = { "25", "10", "20", "400", "NEW" };
    const auto s = ReadStations(coo, str, TViewPlane::vpXY, ',');
    EXPECT_EQ(s.Count, 26);
    EXPECT_DOUBLE_EQ(s.A1[25], 1.3);
}
