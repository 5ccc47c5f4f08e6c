#include <gtest/gtest.h>

#include "TempDirFixture.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include <unistd.h>

#include "common/Error.h"
#include "common/NumText.h"
#include "params/Cp1251.h"
#include "params/ParamFile.h"

using namespace valdrin;
using namespace valdrin::params;
namespace fs = std::filesystem;

namespace {

// The window at its design place on a 1024 x 768 screen.
const TCurrentPlacement kCurrent { 0, 254, 130, 785, 590, 96, 1024, 768 };

TWindowPlacement DesignPlacement()
{
    TWindowPlacement p;
    p.MinPosition = { -1, -1 };
    p.MaxPosition = { -8, -8 };
    p.NormalRect = { 254, 130, 1039, 720 };
    p.ScreenWidth = 1024;
    p.ScreenHeight = 768;
    return p;
}

void ExpectSameWorkingSet(const TWorkingSet &a, const TWorkingSet &b, const std::string &where = {})
{
    for (const auto &c : RealControls())
        EXPECT_EQ(a.*c.Field, b.*c.Field) << c.Name << where;
    for (const auto &c : IntControls())
        EXPECT_EQ(a.*c.Field, b.*c.Field) << c.Name << where;
    for (const auto &c : ChoiceControls())
        EXPECT_EQ(a.*c.Field, b.*c.Field) << c.Name << where;
    EXPECT_EQ(a.GeoCheckBox, b.GeoCheckBox) << where;
    EXPECT_EQ(a.CooGrid, b.CooGrid) << where;
    EXPECT_EQ(a.StrGrid, b.StrGrid) << where;
    EXPECT_EQ(a.ModelStrGrid, b.ModelStrGrid) << where;
    EXPECT_EQ(a.MediumModel.size(), b.MediumModel.size()) << where;
}

// What any load must leave, whatever the file held.
void ExpectConsistent(const TWorkingSet &ws)
{
    EXPECT_GE(ws.SensorsSpinEdit, 1);
    EXPECT_LE(ws.SensorsSpinEdit, 100);
    EXPECT_GE(ws.LayerCountSpinEdit, 1);
    EXPECT_LE(ws.LayerCountSpinEdit, 100);
    EXPECT_EQ(ws.MediumModel.size(), static_cast<size_t>(ws.LayerCountSpinEdit));
    for (const auto *t : { &ws.CooGrid, &ws.StrGrid, &ws.ModelStrGrid }) {
        EXPECT_GE(t->RowCount(), 1);
        EXPECT_LE(t->RowCount(), kMaxTableRows);
    }
    EXPECT_EQ(ws.CooGrid.ColCount, 5);
    EXPECT_EQ(ws.StrGrid.ColCount, 7);
    EXPECT_EQ(ws.ModelStrGrid.ColCount, 7);
    for (const auto &c : RealControls()) {
        const double v = ws.*c.Field;
        EXPECT_TRUE(std::isfinite(v)) << c.Name;
        if (c.MinValue != 0 || c.MaxValue != 0) {
            EXPECT_GE(v, c.MinValue) << c.Name;
            EXPECT_LE(v, c.MaxValue) << c.Name;
        }
    }
}

class ParamFileTest : public TempDirFixture {
protected:
    ParamFileTest()
        : TempDirFixture("valdrin_param_")
    {
    }
    // Loads bytes, as a file, into the start-up working set.
    TWorkingSet LoadBytes(const std::string &bytes, char sep = '.', TParamLoad *load = nullptr)
    {
        WriteBytes(Path("in.ini"), bytes);
        TWorkingSet ws = DefaultWorkingSet(sep);
        const TParamLoad l = LoadParamFile(Path("in.ini"), ws, kCurrent, sep);
        if (load)
            *load = l;
        return ws;
    }
};

} // namespace

TEST_F(ParamFileTest, SavedFileHasTheKnownLayout)
{
    SaveParamFile(Path("p.ini"), DefaultWorkingSet(), DesignPlacement());
    const std::string text = ReadBytes(Path("p.ini"));
    const std::string head = "[Norbek\\Valdrin]\r\n"
                             "FormVersion=0\r\n"
                             "Flags=0\r\n"
                             "ShowCmd=1\r\n"
                             "PixelsPerInch=96\r\n"
                             "MinMaxPos(1024x768)=-1,-1,-8,-8\r\n"
                             "MinMaxPos=-1,-1,-8,-8\r\n"
                             "NormPos(1024x768)=254,130,1039,720\r\n"
                             "NormPos=254,130,1039,720\r\n"
                             "Visible=0\r\n"
                             "dXSpinEdit_Value=50\r\n"
                             "dYSpinEdit_Value=50\r\n"
                             "dZSpinEdit_Value=20\r\n"
                             "LocErrorSpinEdit_Value=5\r\n"
                             "MinSensCountSpinEdit_Value=3\r\n"
                             "X0SpinEdit_Value=0\r\n"
                             "XmaxSpinEdit_Value=2000\r\n"
                             "XminSpinEdit_Value=-2000\r\n"
                             "Y0SpinEdit_Value=0\r\n"
                             "YmaxSpinEdit_Value=2000\r\n"
                             "YminSpinEdit_Value=-2000\r\n"
                             "Z0SpinEdit_Value=400\r\n"
                             "ZmaxSpinEdit_Value=500\r\n"
                             "ZminSpinEdit_Value=300\r\n"
                             "GeoCheckBox_Checked=False\r\n"
                             "SensorsSpinEdit_Value=25\r\n"
                             "CooGrid_RowCount=26\r\n"
                             "VpSpinEdit_Value=6000\r\n"
                             "ModelStrGrid_RowCount=2\r\n"
                             "LayerCountSpinEdit_Value=1\r\n"
                             "VrSpinEdit_Value=3000\r\n"
                             "VsSpinEdit_Value=3000\r\n"
                             "QualitySpinEdit_Value=100\r\n"
                             "RoSpinEdit_Value=2\r\n"
                             "NoiseF1SpinEdit_Value=1\r\n"
                             "NoiseF2SpinEdit_Value=10\r\n"
                             // The rest of the working set, after the 26.
                             "MediumRadioGroup_ItemIndex=0\r\n"
                             "SurfaceAltSpinEdit_Value=200\r\n"
                             "KmaxSpinEdit_Value=0.005\r\n"
                             "dKSpinEdit_Value=0.00002\r\n"
                             "FcNumSpinEdit_Value=5\r\n"
                             "B0SpinEdit_Value=1.5\r\n"
                             "SSpinEdit_Value=-3.5\r\n"
                             "C0SpinEdit_Value=3\r\n"
                             "FreqMinSpinEdit_Value=0.1\r\n"
                             "FreqMaxSpinEdit_Value=10\r\n"
                             "C1SpinEdit_Value=1.5\r\n"
                             "C2SpinEdit_Value=4.5\r\n"
                             "RangeRadioGroup_ItemIndex=0\r\n"
                             "RangeMinSpinEdit_Value=0\r\n"
                             "RangeMaxSpinEdit_Value=1\r\n"
                             "DbFloorSpinEdit_Value=-40\r\n"
                             "\r\n"
                             "[CooGrid]\r\n"
                             "Sta1=0;0;0;403;ARA0\r\n"
                             "Sta2=1;53;160;411;ARA1\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("Sta25=24;-778;1173;359;ARD9\r\n\r\n[StrGrid]\r\n"
                        "Sta1=ARA0;1.000;1.3;0.0001;0.4;0.010;4\r\n"),
        std::string::npos);
    EXPECT_NE(text.find("Sta25=ARD9;1.000;1.3;0.0001;0.4;0.010;4\r\n\r\n[ModelGrid]\r\n"
                        "Layer1=#1;100.0;1500.0;750.0;500.0;10.0;1.80\r\n"),
        std::string::npos);
    EXPECT_EQ(text.find("Sta26"), std::string::npos);

    TWindowPlacement minimized = DesignPlacement();
    minimized.ShowCmd = 3;
    minimized.ApplicationMinimized = true;
    SaveParamFile(Path("m.ini"), DefaultWorkingSet(), minimized);
    EXPECT_NE(ReadBytes(Path("m.ini")).find("ShowCmd=2\r\n"), std::string::npos);
}

TEST_F(ParamFileTest, RealsAreWrittenShortestWithAPointWhateverTheSeparator)
{
    TWorkingSet ws = DefaultWorkingSet(',');
    // Values as a user with a comma separator types them.
    SetValue(ws, *FindRealControl("X0SpinEdit"), *common::TextToFloat("123,456", ','));
    SetValue(ws, *FindRealControl("Y0SpinEdit"), 0.000001);
    SetValue(ws, *FindRealControl("Z0SpinEdit"), 1.5e-7);
    SetValue(ws, *FindRealControl("dXSpinEdit"), 0.1 + 0.2);
    SetValue(ws, *FindRealControl("XminSpinEdit"), 1e20);
    SaveParamFile(Path("p.ini"), ws, DesignPlacement());
    const std::string text = ReadBytes(Path("p.ini"));
    for (const char *line : { "X0SpinEdit_Value=123.456\r\n", "Y0SpinEdit_Value=1E-6\r\n",
             "Z0SpinEdit_Value=1.5E-7\r\n", "dXSpinEdit_Value=0.30000000000000004\r\n",
             "XminSpinEdit_Value=1E20\r\n" })
        EXPECT_NE(text.find(line), std::string::npos) << line;

    for (const char sep : { '.', ',' }) {
        TWorkingSet back = DefaultWorkingSet(sep);
        LoadParamFile(Path("p.ini"), back, kCurrent, sep);
        ExpectSameWorkingSet(back, ws, std::string(" sep ") + sep);
    }
}

TEST_F(ParamFileTest, RandomWorkingSetsComeBackUnderTheRowRules)
{
    const char *const kStoredReals[] = { "dXSpinEdit", "dYSpinEdit", "dZSpinEdit", "X0SpinEdit",
        "XmaxSpinEdit", "XminSpinEdit", "Y0SpinEdit", "YmaxSpinEdit", "YminSpinEdit", "Z0SpinEdit",
        "ZmaxSpinEdit", "ZminSpinEdit", "VpSpinEdit", "VrSpinEdit", "VsSpinEdit", "QualitySpinEdit",
        "RoSpinEdit", "NoiseF1SpinEdit", "NoiseF2SpinEdit",
        // kept after the 26
        "SurfaceAltSpinEdit", "KmaxSpinEdit", "dKSpinEdit", "FcNumSpinEdit", "B0SpinEdit",
        "SSpinEdit", "C0SpinEdit", "FreqMinSpinEdit", "FreqMaxSpinEdit", "C1SpinEdit", "C2SpinEdit",
        "RangeMinSpinEdit", "RangeMaxSpinEdit", "DbFloorSpinEdit" };
    std::mt19937_64 rng(2024);
    const std::vector<std::string> atoms = { "a", "Z", "7", "-", ".", ",", " ", ";", "=", "[", "А",
        "я", "Ё", "ё", "№", "Ж", "\"", "\n" };
    const auto cell = [&] {
        std::string s;
        for (int n = static_cast<int>(rng() % 5); n > 0; --n)
            s += atoms[rng() % atoms.size()];
        return s;
    };
    const double extremes[] = { 0.0, -0.0, 1e-6, 0.00001, 9.99999e-6, 5e-324,
        2.2250738585072014e-308, 1.7976931348623157e308, -1.7976931348623157e308,
        123456789012345678.0, 1e18, 0.1, -2000, 1.0 / 3 };
    for (int round = 0; round < 40; ++round) {
        TWorkingSet ws = DefaultWorkingSet();
        SetValue(ws, *FindIntControl("SensorsSpinEdit"), 1 + static_cast<int>(rng() % 100));
        SetValue(ws, *FindIntControl("LayerCountSpinEdit"), 1 + static_cast<int>(rng() % 100));
        SetValue(ws, *FindIntControl("LocErrorSpinEdit"), static_cast<int>(rng() % 51));
        const int ks[] = { INT_MIN, -1, 0, 3, 100, INT_MAX };
        SetValue(ws, *FindIntControl("MinSensCountSpinEdit"), ks[rng() % 6]);
        ws.GeoCheckBox = rng() % 2;
        ws.MediumRadioGroup = static_cast<int>(rng() % 2);
        ws.RangeRadioGroup = static_cast<int>(rng() % 2);
        for (const char *name : kStoredReals) {
            const TRealControl &c = *FindRealControl(name);
            double x = 0;
            switch (rng() % 3) {
            case 0:
                x = extremes[rng() % std::size(extremes)];
                break;
            case 1: {
                const std::uint64_t bits = rng();
                std::memcpy(&x, &bits, sizeof x);
                if (!std::isfinite(x))
                    x = 1;
                break;
            }
            default:
                x = std::ldexp(
                    static_cast<double>(rng() % 100000) - 50000, -static_cast<int>(rng() % 20));
            }
            SetValue(ws, c, x); // clamped into the range where there is one
        }
        for (auto *t : { &ws.CooGrid, &ws.StrGrid, &ws.ModelStrGrid })
            for (int r = 1; r < t->RowCount(); ++r)
                for (int c = 0; c < t->ColCount; ++c)
                    t->SetCell(r, c, cell());

        // Expected: ";" written as ",", line breaks as blanks, an empty cell
        // reads " " except in the last column.
        TWorkingSet expected = ws;
        for (auto *t : { &expected.CooGrid, &expected.StrGrid, &expected.ModelStrGrid })
            for (int r = 1; r < t->RowCount(); ++r)
                for (int c = 0; c < t->ColCount; ++c) {
                    std::string s = t->Cell(r, c);
                    for (char &ch : s)
                        ch = ch == ';' ? ',' : ch == '\n' ? ' ' : ch;
                    if (s.empty() && c < t->ColCount - 1)
                        s.push_back(' ');
                    t->SetCell(r, c, s);
                }

        SaveParamFile(Path("r.ini"), ws, DesignPlacement());
        TWorkingSet once = DefaultWorkingSet();
        LoadParamFile(Path("r.ini"), once, kCurrent, '.');
        ExpectSameWorkingSet(once, expected, " round " + std::to_string(round));

        SaveParamFile(Path("r2.ini"), once, DesignPlacement());
        TWorkingSet twice = DefaultWorkingSet();
        LoadParamFile(Path("r2.ini"), twice, kCurrent, ',');
        ExpectSameWorkingSet(twice, once, " again " + std::to_string(round));
        if (HasFailure())
            break;
    }
}

TEST_F(ParamFileTest, MissingTableSectionsTurnEveryDataRowIntoZero)
{
    TWorkingSet ws
        = LoadBytes("[Norbek\\Valdrin]\r\ndXSpinEdit_Value=25\r\nSensorsSpinEdit_Value=3\r\n"
                    "CooGrid_RowCount=4\r\n");
    EXPECT_EQ(ws.dXSpinEdit, 25);
    EXPECT_EQ(ws.SensorsSpinEdit, 3);
    ASSERT_EQ(ws.CooGrid.RowCount(), 4);
    for (std::size_t r = 1; r < 4; ++r) {
        EXPECT_EQ(ws.CooGrid.Rows[r], (common::TCellRow { "0", "", "", "", "" }));
        EXPECT_EQ(ws.StrGrid.Rows[r], (common::TCellRow { "0", "", "", "", "", "", "" }));
    }
    EXPECT_EQ(ws.CooGrid.Cell(0, 4), "Name"); // headers are not stored
    EXPECT_EQ(ws.ModelStrGrid.Rows[1], (common::TCellRow { "0", "", "", "", "", "", "" }));
}

TEST_F(ParamFileTest, AFileThatDoesNotExistKeepsTheValuesAndEmptiesTheRows)
{
    TWorkingSet ws = DefaultWorkingSet();
    SetValue(ws, *FindRealControl("VpSpinEdit"), 5000);
    const TWorkingSet before = ws;
    const TParamLoad load = LoadParamFile(Path("missing.ini"), ws, kCurrent, '.');
    EXPECT_TRUE(load.Applied);
    EXPECT_FALSE(load.Placement.HasRect);
    EXPECT_EQ(load.Placement.State, TWindowState::Normal);
    EXPECT_EQ(load.Placement.Flags, kCurrent.Flags);
    EXPECT_EQ(ws.VpSpinEdit, 5000);
    EXPECT_EQ(ws.SensorsSpinEdit, 25);
    EXPECT_EQ(ws.CooGrid.RowCount(), 26);
    EXPECT_EQ(ws.CooGrid.Rows[25], (common::TCellRow { "0", "", "", "", "" }));
    EXPECT_EQ(ws.ModelStrGrid.Rows[1][0], "0");
    EXPECT_EQ(ws.MediumModel.size(), before.MediumModel.size());
}

TEST_F(ParamFileTest, HandWrittenRowsFollowTheLineRules)
{
    TWorkingSet ws = LoadBytes("[CooGrid]\r\n"
                               "Sta1=0;1;2;3;AB;CD\r\n" // ";" in a name: the rest is dropped
                               "Sta2=1;;;;\r\n" // empty middle fields show " "
                               "Sta3=\r\n" // nothing at all
                               "Sta4=3;x;y;z;name;extra;more\r\n"
                               "Sta5=;\r\n"
                               "[StrGrid]\r\n"
                               "Sta1=A;B;1;1.3;0.0001;0.4;0.010;4\r\n"); // shifted right
    EXPECT_EQ(ws.CooGrid.Rows[1], (common::TCellRow { "0", "1", "2", "3", "AB" }));
    EXPECT_EQ(ws.CooGrid.Rows[2], (common::TCellRow { "1", " ", " ", " ", "" }));
    EXPECT_EQ(ws.CooGrid.Rows[3], (common::TCellRow { "", "", "", "", "" }));
    EXPECT_EQ(ws.CooGrid.Rows[4], (common::TCellRow { "3", "x", "y", "z", "name" }));
    EXPECT_EQ(ws.CooGrid.Rows[5], (common::TCellRow { " ", "", "", "", "" }));
    EXPECT_EQ(
        ws.StrGrid.Rows[1], (common::TCellRow { "A", "B", "1", "1.3", "0.0001", "0.4", "0.010" }));

    // Saved, a ";" in a cell becomes "," and the row keeps its columns.
    TWorkingSet named = DefaultWorkingSet();
    named.CooGrid.SetCell(1, 4, "AR;A0");
    named.StrGrid.SetCell(1, 0, "AR;A0");
    SaveParamFile(Path("semi.ini"), named, DesignPlacement());
    EXPECT_NE(ReadBytes(Path("semi.ini")).find("Sta1=AR,A0;1.000;1.3;0.0001;0.4;0.010;4\r\n"),
        std::string::npos);
    TWorkingSet back = DefaultWorkingSet();
    LoadParamFile(Path("semi.ini"), back, kCurrent, '.');
    EXPECT_EQ(back.StrGrid.Rows[1],
        (common::TCellRow { "AR,A0", "1.000", "1.3", "0.0001", "0.4", "0.010", "4" }));
}

TEST_F(ParamFileTest, SavingFewerStationsLeavesTheOlderRowsWhichALoadIgnores)
{
    TWorkingSet thirty = DefaultWorkingSet();
    SetValue(thirty, *FindIntControl("SensorsSpinEdit"), 30);
    for (int r = 26; r <= 30; ++r)
        for (int c = 1; c <= 3; ++c)
            thirty.CooGrid.SetCell(r, c, std::to_string(r * 10 + c));
    SaveParamFile(Path("p.ini"), thirty, DesignPlacement());
    SaveParamFile(Path("p.ini"), DefaultWorkingSet(), DesignPlacement());
    const std::string text = ReadBytes(Path("p.ini"));
    EXPECT_NE(text.find("SensorsSpinEdit_Value=25\r\n"), std::string::npos);
    EXPECT_NE(text.find("Sta30=29;301;302;303;\r\n"), std::string::npos);

    TWorkingSet ws = thirty;
    LoadParamFile(Path("p.ini"), ws, kCurrent, '.');
    ExpectSameWorkingSet(ws, DefaultWorkingSet());
}

TEST_F(ParamFileTest, StoredValuesGoThroughTheControlsRules)
{
    TWorkingSet ws = LoadBytes("[Norbek\\Valdrin]\r\n"
                               "SensorsSpinEdit_Value=0\r\n"
                               "LocErrorSpinEdit_Value=99\r\n"
                               "MinSensCountSpinEdit_Value=2.5\r\n"
                               "VpSpinEdit_Value=-5\r\n"
                               "RoSpinEdit_Value=25\r\n"
                               "VsSpinEdit_Value=abc\r\n"
                               "dXSpinEdit_Value=   75.5  \r\n"
                               "dYSpinEdit_Value=1,5\r\n"
                               "GeoCheckBox_Checked=true\r\n");
    EXPECT_EQ(ws.SensorsSpinEdit, 1);
    EXPECT_EQ(ws.CooGrid.RowCount(), 2);
    EXPECT_EQ(ws.StrGrid.RowCount(), 2);
    EXPECT_EQ(ws.LocErrorSpinEdit, 50);
    EXPECT_EQ(ws.MinSensCountSpinEdit, 0);
    EXPECT_EQ(ws.VpSpinEdit, 0);
    EXPECT_EQ(ws.RoSpinEdit, 20);
    EXPECT_EQ(ws.VsSpinEdit, 3000);
    EXPECT_EQ(ws.dXSpinEdit, 75.5);
    EXPECT_EQ(ws.dYSpinEdit, 1.5); // written under a comma locale: reads the same
    EXPECT_TRUE(ws.GeoCheckBox);
    EXPECT_EQ(LoadBytes("[Norbek\\Valdrin]\r\ndYSpinEdit_Value=1,5\r\n", ',').dYSpinEdit, 1.5);
    EXPECT_EQ(LoadBytes("[Norbek\\Valdrin]\r\ndYSpinEdit_Value=1,5.0\r\n").dYSpinEdit, 50);

    EXPECT_EQ(LoadBytes("[Norbek\\Valdrin]\r\nSensorsSpinEdit_Value=abc\r\n").SensorsSpinEdit, 1);
    TWorkingSet ticked = DefaultWorkingSet();
    ticked.GeoCheckBox = true;
    WriteBytes(Path("g.ini"), "[Norbek\\Valdrin]\r\nGeoCheckBox_Checked=1\r\n");
    LoadParamFile(Path("g.ini"), ticked, kCurrent, '.');
    EXPECT_TRUE(ticked.GeoCheckBox);
    WriteBytes(Path("g.ini"), "[Norbek\\Valdrin]\r\nGeoCheckBox_Checked=FALSE\r\n");
    LoadParamFile(Path("g.ini"), ticked, kCurrent, '.');
    EXPECT_FALSE(ticked.GeoCheckBox);
}

TEST_F(ParamFileTest, ChangeEffectsRunInTableOrder)
{
    // The station count resizes both tables, then CooGrid alone takes its
    // own row count.
    TWorkingSet ws
        = LoadBytes("[Norbek\\Valdrin]\r\nSensorsSpinEdit_Value=30\r\nCooGrid_RowCount=28\r\n"
                    "ModelStrGrid_RowCount=2\r\nLayerCountSpinEdit_Value=3\r\n");
    EXPECT_EQ(ws.CooGrid.RowCount(), 28);
    EXPECT_EQ(ws.StrGrid.RowCount(), 31);
    // The layer count comes after the table's row count and resizes it.
    EXPECT_EQ(ws.ModelStrGrid.RowCount(), 4);
    EXPECT_EQ(ws.MediumModel.size(), 3u);

    // A count that does not change runs no effect: the row count stands.
    ws = LoadBytes(
        "[Norbek\\Valdrin]\r\nModelStrGrid_RowCount=5\r\nLayerCountSpinEdit_Value=1\r\n");
    EXPECT_EQ(ws.ModelStrGrid.RowCount(), 5);
    EXPECT_EQ(ws.MediumModel.size(), 1u);
}

TEST_F(ParamFileTest, AVersionBelowZeroChangesNothing)
{
    TParamLoad load;
    SaveParamFile(Path("p.ini"), DefaultWorkingSet(), DesignPlacement());
    std::string text = ReadBytes(Path("p.ini"));
    text.replace(text.find("FormVersion=0"), 13, "FormVersion=-1");
    text.replace(text.find("SensorsSpinEdit_Value=25"), 24, "SensorsSpinEdit_Value=5");
    const TWorkingSet ws = LoadBytes(text, '.', &load);
    EXPECT_FALSE(load.Applied);
    ExpectSameWorkingSet(ws, DefaultWorkingSet());
    LoadBytes("[Norbek\\Valdrin]\r\nFormVersion=junk\r\nSensorsSpinEdit_Value=5\r\n", '.', &load);
    EXPECT_TRUE(load.Applied); // not a number: the default 0
}

TEST_F(ParamFileTest, WindowPlacementIsRestoredByItsRules)
{
    TParamLoad load;
    const std::string section = "[Norbek\\Valdrin]\r\n";
    LoadBytes(section
            + "Flags=2\r\nShowCmd=3\r\nPixelsPerInch=96\r\n"
              "MinMaxPos(1024x768)=1,2,3,4\r\nMinMaxPos=9,9,9,9\r\n"
              "NormPos(800x600)=0,0,1,1\r\nNormPos=10, 20,300,400\r\n",
        '.', &load);
    EXPECT_EQ(load.Placement.Flags, 2);
    EXPECT_EQ(load.Placement.MinPosition, (TPoint { 1, 2 }));
    EXPECT_EQ(load.Placement.MaxPosition, (TPoint { 3, 4 }));
    EXPECT_TRUE(load.Placement.HasRect);
    EXPECT_EQ(load.Placement.Rect, (TRect { 10, 20, 300, 400 }));
    EXPECT_EQ(load.Placement.State, TWindowState::Maximized);

    // Missing fields: 0 for the positions, the current rectangle for NormPos.
    LoadBytes(section + "MinMaxPos=5\r\nNormPos=1,x\r\n", '.', &load);
    EXPECT_EQ(load.Placement.MinPosition, (TPoint { 5, 0 }));
    EXPECT_EQ(load.Placement.MaxPosition, (TPoint { 0, 0 }));
    EXPECT_EQ(load.Placement.Rect, (TRect { 1, 130, 1039, 720 }));
    EXPECT_TRUE(load.Placement.HasRect);

    // Other pixels per inch: no rectangle, but the state still applies.
    LoadBytes(section + "PixelsPerInch=120\r\nNormPos=10,20,300,400\r\nShowCmd=2\r\n", '.', &load);
    EXPECT_FALSE(load.Placement.HasRect);
    EXPECT_EQ(load.Placement.State, TWindowState::Minimized);

    LoadBytes(section + "NormPos=300,20,300,400\r\n", '.', &load);
    EXPECT_FALSE(load.Placement.HasRect); // left not below right

    const std::pair<const char *, TWindowState> states[] = { { "1", TWindowState::Normal },
        { "5", TWindowState::Normal }, { "9", TWindowState::Normal },
        { "2", TWindowState::Minimized }, { "6", TWindowState::Minimized },
        { "7", TWindowState::Minimized }, { "3", TWindowState::Maximized },
        { "0", TWindowState::Normal }, { "4", TWindowState::Normal }, { "x", TWindowState::Normal },
        { "-3", TWindowState::Normal } };
    for (const auto &[cmd, state] : states) {
        LoadBytes(section + "ShowCmd=" + cmd + "\r\n", '.', &load);
        EXPECT_EQ(load.Placement.State, state) << cmd;
    }

    SaveParamFile(Path("p.ini"), DefaultWorkingSet(), DesignPlacement());
    TWorkingSet ws = DefaultWorkingSet();
    load = LoadParamFile(Path("p.ini"), ws, kCurrent, '.');
    EXPECT_EQ(load.Placement.Rect, (TRect { 254, 130, 1039, 720 }));
    EXPECT_EQ(load.Placement.MaxPosition, (TPoint { -8, -8 }));
    EXPECT_EQ(load.Placement.State, TWindowState::Normal);
}

TEST_F(ParamFileTest, AFileThatCannotBeWrittenRaisesWithItsPath)
{
    fs::create_directory(Path("dir.ini"));
    try {
        SaveParamFile(Path("dir.ini"), DefaultWorkingSet(), DesignPlacement());
        FAIL() << "no error";
    } catch (const common::TValdrinError &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + Path("dir.ini"));
    }
    EXPECT_THROW(SaveParamFile(Path("none/p.ini"), DefaultWorkingSet(), DesignPlacement()),
        common::TValdrinError);
}

TEST_F(ParamFileTest, CyrillicNamesLoadTheSameFromWindows1251AndFromUtf8)
{
    TWorkingSet ws = DefaultWorkingSet();
    ws.CooGrid.SetCell(1, 4, "Обнинск");
    ws.CooGrid.SetCell(2, 4, "Ёлкино №2");
    SaveParamFile(Path("cp.ini"), ws, DesignPlacement());
    const std::string cp = ReadBytes(Path("cp.ini"));
    EXPECT_NE(cp.find("Sta1=0;0;0;403;\xCE\xE1\xED\xE8\xED\xF1\xEA\r\n"), std::string::npos);
    WriteBytes(Path("u8.ini"), Cp1251ToUtf8(cp));

    TWorkingSet a = DefaultWorkingSet(), b = DefaultWorkingSet();
    LoadParamFile(Path("cp.ini"), a, kCurrent, '.');
    LoadParamFile(Path("u8.ini"), b, kCurrent, '.');
    ExpectSameWorkingSet(a, ws);
    ExpectSameWorkingSet(b, ws);
}

TEST_F(ParamFileTest, BadInputNeverBreaksTheLoad)
{
    SaveParamFile(Path("p.ini"), DefaultWorkingSet(), DesignPlacement());
    const std::string good = ReadBytes(Path("p.ini"));

    // Cut anywhere: what is there applies.
    for (std::size_t cut = 0; cut < good.size(); cut += 97)
        ExpectConsistent(LoadBytes(good.substr(0, cut)));
    const TWorkingSet cutInRow = LoadBytes(good.substr(0, good.find("Sta3=")));
    EXPECT_EQ(cutInRow.CooGrid.Rows[2][4], "ARA1");
    EXPECT_EQ(cutInRow.CooGrid.Rows[3][4], "");

    // A repeated key reads its first occurrence.
    EXPECT_EQ(
        LoadBytes("[Norbek\\Valdrin]\r\nSensorsSpinEdit_Value=30\r\nSensorsSpinEdit_Value=40\r\n")
            .SensorsSpinEdit,
        30);

    // Several megabytes in one value or one line.
    const std::string megaSemis(8u << 20, ';');
    const std::string megaDigits(4u << 20, '7');
    TWorkingSet huge = LoadBytes("[Norbek\\Valdrin]\r\ndXSpinEdit_Value=" + megaDigits
        + "\r\nSensorsSpinEdit_Value=" + megaDigits + "\r\n" + megaSemis
        + "\r\n[CooGrid]\r\nSta1=" + megaSemis + "\r\nSta2=" + megaDigits + "\r\n");
    ExpectConsistent(huge);
    EXPECT_EQ(huge.dXSpinEdit, 50);
    EXPECT_EQ(huge.SensorsSpinEdit, 1);
    EXPECT_EQ(huge.CooGrid.Rows[1], (common::TCellRow { " ", " ", " ", " ", " " }));

    // Garbage, and garbage mixed into a real file.
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = round % 2 ? good : std::string();
        const std::size_t n = rng() % 3000;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = bytes.empty() ? 0 : rng() % bytes.size();
            const char c = rng() % 4 ? static_cast<char>(rng()) : "=;[]\r\n-0123456789"[rng() % 18];
            if (rng() % 2 && !bytes.empty())
                bytes[at] = c;
            else
                bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), c);
        }
        ExpectConsistent(LoadBytes(bytes));
        ExpectConsistent(LoadBytes(bytes, ','));
        if (HasFailure())
            break;
    }
}

TEST_F(ParamFileTest, AFileWithoutTheLaterKeysKeepsThoseValues)
{
    TWorkingSet ws = DefaultWorkingSet();
    ws.MediumRadioGroup = 1;
    ws.SurfaceAltSpinEdit = -150;
    ws.KmaxSpinEdit = 0.02;
    ws.C2SpinEdit = 5.25;
    ws.RangeRadioGroup = 1; // the map's fixed colour range and dB floor
    ws.RangeMinSpinEdit = -0.5;
    ws.RangeMaxSpinEdit = 2.5;
    ws.DbFloorSpinEdit = -60;
    TWorkingSet loaded = ws;
    LoadParamFile(Path("none.ini"), loaded, kCurrent, '.');
    WriteBytes(Path("old.ini"), "[Norbek\\Valdrin]\r\nFormVersion=0\r\ndXSpinEdit_Value=25\r\n");
    LoadParamFile(Path("old.ini"), loaded, kCurrent, '.');
    EXPECT_EQ(loaded.dXSpinEdit, 25);
    EXPECT_EQ(loaded.MediumRadioGroup, 1);
    EXPECT_EQ(loaded.SurfaceAltSpinEdit, -150);
    EXPECT_EQ(loaded.KmaxSpinEdit, 0.02);
    EXPECT_EQ(loaded.C2SpinEdit, 5.25);
    EXPECT_EQ(loaded.RangeRadioGroup, 1);
    EXPECT_EQ(loaded.RangeMaxSpinEdit, 2.5);
    EXPECT_EQ(loaded.DbFloorSpinEdit, -60);

    // A layered set comes back layered; an index the group lacks changes nothing.
    SaveParamFile(Path("l.ini"), ws, DesignPlacement());
    TWorkingSet back = DefaultWorkingSet();
    LoadParamFile(Path("l.ini"), back, kCurrent, '.');
    EXPECT_EQ(back.MediumRadioGroup, 1);
    EXPECT_EQ(back.SurfaceAltSpinEdit, -150);
    EXPECT_EQ(back.RangeRadioGroup, 1);
    EXPECT_EQ(back.RangeMinSpinEdit, -0.5);
    EXPECT_EQ(back.RangeMaxSpinEdit, 2.5);
    EXPECT_EQ(back.DbFloorSpinEdit, -60);
    EXPECT_EQ(
        LoadBytes("[Norbek\\Valdrin]\r\nMediumRadioGroup_ItemIndex=2\r\n").MediumRadioGroup, 0);
}

TEST_F(ParamFileTest, AFileThatCannotBeReadIsRefusedAndChangesNothing)
{
    TWorkingSet ws = DefaultWorkingSet();
    ws.CooGrid.SetCell(1, 4, "MINE");
    const TWorkingSet before = ws;
    const auto expectRefused = [&](const std::string &path, const std::string &reason) {
        try {
            LoadParamFile(path, ws, kCurrent, '.');
            ADD_FAILURE() << "no error for " << path;
        } catch (const common::TValdrinError &e) {
            EXPECT_EQ(std::string(e.what()), "Не удалось прочитать файл " + path + ": " + reason);
        }
        ExpectSameWorkingSet(ws, before, " " + path);
    };
    fs::create_directory(Path("dir.ini"));
    expectRefused(Path("dir.ini"), "это папка");
    std::string sections;
    for (int i = 0; i < 10001; ++i)
        sections += "[CooGrid]\n";
    WriteBytes(Path("many.ini"), sections);
    expectRefused(Path("many.ini"), "больше 10000 разделов");
    {
        std::ofstream big(Path("big.ini"), std::ios::binary);
        big.seekp(static_cast<std::streamoff>(TIniFile::kMaxFileSize) + 1);
        big << "x";
    }
    expectRefused(Path("big.ini"), "файл больше 64 МБ");
    if (::geteuid() != 0) { // root reads whatever the permissions say
        WriteBytes(Path("locked.ini"), "[CooGrid]\r\nSta1=x\r\n");
        fs::permissions(Path("locked.ini"), fs::perms::none);
        expectRefused(Path("locked.ini"), "нет доступа");
    }
}

TEST_F(ParamFileTest, AMarkedUtf8FileLoadsWhateverStrayBytesItHolds)
{
    TWorkingSet ws = DefaultWorkingSet();
    SetValue(ws, *FindRealControl("dXSpinEdit"), 12.5);
    SetValue(ws, *FindIntControl("SensorsSpinEdit"), 30);
    ws.CooGrid.SetCell(1, 4, "Обнинск");
    SaveParamFile(Path("cp.ini"), ws, DesignPlacement());
    const std::string utf8 = Cp1251ToUtf8(ReadBytes(Path("cp.ini")));
    const TWorkingSet loaded
        = LoadBytes("\xEF\xBB\xBF" + utf8 + "; note \xE7\xE0\xEC\xE5\xF2\xEA\xE0\r\n");
    EXPECT_EQ(loaded.dXSpinEdit, 12.5);
    EXPECT_EQ(loaded.SensorsSpinEdit, 30);
    EXPECT_EQ(loaded.CooGrid.Cell(1, 4), "Обнинск");
}

TEST_F(ParamFileTest, CharactersTheCodePageLacksAreNamedAfterTheSave)
{
    TWorkingSet ws = DefaultWorkingSet();
    EXPECT_EQ(SaveParamFile(Path("ok.ini"), ws, DesignPlacement()), "");
    ws.CooGrid.SetCell(2, 4, "Ёлкино №2"); // all in the code page
    ws.CooGrid.SetCell(3, 4, "Zürich-β");
    ws.StrGrid.SetCell(1, 0, "Zürich-β");
    EXPECT_EQ(SaveParamFile(Path("p.ini"), ws, DesignPlacement()),
        "Символы, которых нет в кодировке Windows-1251, записаны в файл как «?». Первая "
        "такая ячейка: таблица станций, строка 3, столбец Name («Zürich-β»)");
    EXPECT_NE(ReadBytes(Path("p.ini")).find(";Z?rich-?\r\nSta4="), std::string::npos);
}

TEST_F(ParamFileTest, StationsOutOfOperationComeBackAndOldFilesHaveThemAllWorking)
{
    TWorkingSet ws = DefaultWorkingSet();
    SetInOperation(ws, 7, false);
    SetInOperation(ws, 3, false);
    SetInOperation(ws, 26, false); // no such row
    EXPECT_EQ(ws.OutOfOperation, (std::vector<int> { 3, 7 }));
    SaveParamFile(Path("p.ini"), ws, DesignPlacement());
    EXPECT_NE(ReadBytes(Path("p.ini")).find("CooGrid_OutOfOperation=3,7\r\n"), std::string::npos);
    TWorkingSet back = DefaultWorkingSet();
    LoadParamFile(Path("p.ini"), back, kCurrent, '.');
    EXPECT_EQ(back.OutOfOperation, ws.OutOfOperation);

    // All working again: the key of the older save must not switch them off.
    SaveParamFile(Path("p.ini"), DefaultWorkingSet(), DesignPlacement());
    LoadParamFile(Path("p.ini"), back, kCurrent, '.');
    EXPECT_TRUE(back.OutOfOperation.empty());

    // A file without the key, junk and rows beyond the count.
    back.OutOfOperation = { 4 };
    WriteBytes(Path("old.ini"), "[Norbek\\Valdrin]\r\nFormVersion=0\r\n");
    LoadParamFile(Path("old.ini"), back, kCurrent, '.');
    EXPECT_TRUE(back.OutOfOperation.empty());
    EXPECT_EQ(
        LoadBytes("[Norbek\\Valdrin]\r\nCooGrid_OutOfOperation=x, 5,,99,2,5\r\n").OutOfOperation,
        (std::vector<int> { 2, 5 }));
}
