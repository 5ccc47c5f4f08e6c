#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "calc/Computation.h"
#include "params/WorkingSet.h"

using namespace valdrin;
using namespace valdrin::params;

namespace {

const TRealControl &Real(std::string_view name)
{
    const TRealControl *c = FindRealControl(name);
    EXPECT_NE(c, nullptr) << name;
    return *c;
}

const TIntControl &Int(std::string_view name)
{
    const TIntControl *c = FindIntControl(name);
    EXPECT_NE(c, nullptr) << name;
    return *c;
}

} // namespace

TEST(WorkingSet, StartsAsTheWindowDoes)
{
    const TWorkingSet ws = DefaultWorkingSet();
    EXPECT_EQ(ws.CooGrid.RowCount(), 26);
    EXPECT_EQ(ws.CooGrid.ColCount, 5);
    EXPECT_EQ(ws.StrGrid.RowCount(), 26);
    EXPECT_EQ(ws.StrGrid.ColCount, 7);
    EXPECT_EQ(ws.CooGrid.Rows[1], (common::TCellRow { "0", "0", "0", "403", "ARA0" }));
    EXPECT_EQ(ws.StrGrid.Rows[25],
        (common::TCellRow { "ARD9", "1.000", "1.3", "0.0001", "0.4", "0.010", "4" }));
    ASSERT_EQ(ws.ModelStrGrid.RowCount(), 2);
    EXPECT_EQ(
        ws.ModelStrGrid.Rows[0], (common::TCellRow { "Layer", "H", "Vp", "Vs", "Vr", "Q", "Rho" }));
    EXPECT_EQ(ws.ModelStrGrid.Rows[1],
        (common::TCellRow { "#1", "100.0", "1500.0", "750.0", "500.0", "10.0", "1.80" }));
    ASSERT_EQ(ws.MediumModel.size(), 1u);
    EXPECT_EQ(ws.MediumModel[0].Top, 200);
    EXPECT_EQ(ws.MediumModel[0].Bottom, 100);
    EXPECT_EQ(DefaultWorkingSet(',').ModelStrGrid.Rows[1][6], "1,80");
}

TEST(WorkingSet, RangeRulesOfTheThreeKinds)
{
    // Integer edits: a range of 0 to 0 is unbounded; set from outside, even a
    // TSpin10Edit clamps only when the bounds differ.
    EXPECT_EQ(ApplyRangeRule(TSpinKind::SpinEdit, 0, 0, -7), -7);
    EXPECT_EQ(ApplyRangeRule(TSpinKind::SpinEdit, 5, 5, 9), 9);
    EXPECT_EQ(ApplyRangeRule(TSpinKind::Spin10Edit, 5, 5, 9), 5);
    EXPECT_EQ(ApplyRangeRule(TSpinKind::Spin10Edit, 0, 0, 9), 9);
    EXPECT_EQ(ApplyRangeRule(TSpinKind::SpinEdit, 1, 100, 0), 1);
    EXPECT_EQ(ApplyRangeRule(TSpinKind::SpinEdit, 1, 100, INT_MAX), 100);
    EXPECT_EQ(ApplyRangeRule(0.1, 10, 20), 10);
    EXPECT_EQ(ApplyRangeRule(0, 0, -1000), -1000);
    EXPECT_EQ(ApplyRangeRule(3, 3, 7), 3);
}

TEST(WorkingSet, SettingAValueClampsAndIgnoresWhatIsNotANumber)
{
    TWorkingSet ws = DefaultWorkingSet();
    EXPECT_TRUE(SetValue(ws, Real("FcNumSpinEdit"), 20));
    EXPECT_EQ(ws.FcNumSpinEdit, 8);
    EXPECT_FALSE(SetValue(ws, Real("FcNumSpinEdit"), 9)); // clamps to the value it has
    SetValue(ws, Real("dKSpinEdit"), 0);
    EXPECT_EQ(ws.dKSpinEdit, 0.0000001);
    SetValue(ws, Real("dXSpinEdit"), -1e300); // range edits are free
    EXPECT_EQ(ws.dXSpinEdit, -1e300);
    EXPECT_FALSE(SetValue(ws, Real("VpSpinEdit"), std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(SetValue(ws, Real("VpSpinEdit"), std::numeric_limits<double>::infinity()));
    EXPECT_EQ(ws.VpSpinEdit, 6000);
    EXPECT_FALSE(SetValue(ws, Real("SSpinEdit"), -3.5));
    SetValue(ws, Int("MinSensCountSpinEdit"), -5);
    EXPECT_EQ(ws.MinSensCountSpinEdit, -5);
    SetValue(ws, Int("LocErrorSpinEdit"), 51);
    EXPECT_EQ(ws.LocErrorSpinEdit, 50);
    SetValue(ws, Int("SensorsSpinEdit"), 0);
    EXPECT_EQ(ws.SensorsSpinEdit, 1);
    SetValue(ws, Int("LayerCountSpinEdit"), 1000);
    EXPECT_EQ(ws.LayerCountSpinEdit, 100);
    EXPECT_EQ(ws.MediumModel.size(), 100u);
    EXPECT_FALSE(SetValue(ws, *FindChoiceControl("ViewRadioGroup"), 3));
    EXPECT_TRUE(SetValue(ws, *FindChoiceControl("SourceRadioGroup"), 6));
}

TEST(WorkingSet, StationCountChangeResizesAndFillsTheTablesOnlyWhenItChanges)
{
    TWorkingSet ws = DefaultWorkingSet();
    ws.CooGrid.SetCell(3, 4, "NEW");
    EXPECT_FALSE(SetValue(ws, Int("SensorsSpinEdit"), 25));
    EXPECT_EQ(ws.StrGrid.Cell(3, 0), "ARA2"); // no change, no copy

    EXPECT_TRUE(SetValue(ws, Int("SensorsSpinEdit"), 27));
    EXPECT_EQ(ws.CooGrid.RowCount(), 28);
    EXPECT_EQ(ws.StrGrid.RowCount(), 28);
    EXPECT_EQ(ws.StrGrid.Cell(3, 0), "NEW");
    EXPECT_EQ(ws.CooGrid.Rows[27], (common::TCellRow { "26", "", "", "", "" }));
    EXPECT_EQ(
        ws.StrGrid.Rows[27], (common::TCellRow { "", "1", "1.3", "0.0001", "0.4", "0.010", "4" }));
}

TEST(WorkingSet, LayerCountChangeDerivesTheNewLastLayer)
{
    TWorkingSet ws = DefaultWorkingSet();
    EXPECT_TRUE(SetValue(ws, Int("LayerCountSpinEdit"), 2));
    ASSERT_EQ(ws.ModelStrGrid.RowCount(), 3);
    EXPECT_EQ(ws.ModelStrGrid.Rows[2],
        (common::TCellRow { "#2", "200.0", "1800.0", "1040.5", "743.2", "20.0", "1.98" }));
    EXPECT_EQ(ws.MediumModel[1].Top, 100);
    EXPECT_EQ(ws.MediumModel[1].Bottom, -100);

    TWorkingSet comma = DefaultWorkingSet(',');
    SetValue(comma, Int("LayerCountSpinEdit"), 2, ',');
    EXPECT_EQ(comma.ModelStrGrid.Cell(2, 3), "1040,5");
}

TEST(WorkingSet, TableRowCountsStayWithinAHundredRows)
{
    TWorkingSet ws = DefaultWorkingSet();
    SetCooGridRowCount(ws, 1000000000);
    EXPECT_EQ(ws.CooGrid.RowCount(), kMaxTableRows);
    SetCooGridRowCount(ws, -3);
    EXPECT_EQ(ws.CooGrid.RowCount(), 1);
    EXPECT_EQ(ws.CooGrid.ColCount, 5);
    SetModelGridRowCount(ws, 0);
    EXPECT_EQ(ws.ModelStrGrid.RowCount(), 1);
    EXPECT_EQ(ws.ModelStrGrid.Cell(0, 0), "Layer");
}

TEST(CalcSnapshot, DefaultsGiveTheStartUpNetworkAndGrids)
{
    TWorkingSet ws = DefaultWorkingSet();
    SetValue(ws, *FindChoiceControl("SourceRadioGroup"), 3);
    const TSnapshotBuild b = MakeCalcSnapshot(ws, '.');
    EXPECT_TRUE(b.ModelRead);
    EXPECT_EQ(b.Snapshot.Stations.Count, 25);
    EXPECT_EQ(b.Snapshot.Params.N, 25);
    EXPECT_EQ(b.Snapshot.Params.k, 3);
    EXPECT_EQ(b.Snapshot.Params.Mode, calc::TShowMode::smMinMagnitude);
    EXPECT_EQ(b.Snapshot.PlaneGrid.NU, 81);
    EXPECT_EQ(b.Snapshot.PlaneGrid.NV, 81);
    EXPECT_EQ(b.Snapshot.PlaneGrid.WPlane, 400);
    EXPECT_EQ(b.Snapshot.WaveGrid.KCount, 250);

    SetValue(ws, *FindChoiceControl("ViewRadioGroup"), 1);
    const TSnapshotBuild yz = MakeCalcSnapshot(ws, '.');
    EXPECT_EQ(yz.Snapshot.Params.Plane, calc::TViewPlane::vpYZ);
    EXPECT_EQ(yz.Snapshot.PlaneGrid.NV, 11); // Z 300..500 step 20
    EXPECT_EQ(yz.Snapshot.PlaneGrid.WPlane, 0);
    EXPECT_EQ(yz.Snapshot.Stations.U[1], 160); // Y of ARA1
    EXPECT_EQ(yz.Snapshot.Stations.V[1], 411); // Z of ARA1
}

TEST(CalcSnapshot, CellsAreReadWithEitherSeparator)
{
    TWorkingSet ws = DefaultWorkingSet();
    ws.CooGrid.SetCell(2, 1, "53.5");
    EXPECT_EQ(MakeCalcSnapshot(ws, '.').Snapshot.Stations.U[1], 53.5);
    // The default attenuation texts carry a point; a comma user reads them too.
    EXPECT_EQ(MakeCalcSnapshot(ws, ',').Snapshot.Stations.Count, 25);
    ws.CooGrid.SetCell(2, 1, "53,5");
    EXPECT_EQ(MakeCalcSnapshot(ws, '.').Snapshot.Stations.U[1], 53.5);

    // In degrees a latitude beyond a pole stops the snapshot's stations.
    SetValue(ws, *FindChoiceControl("SourceRadioGroup"), 3);
    ws.GeoCheckBox = true;
    const TSnapshotBuild b = MakeCalcSnapshot(ws, ',');
    EXPECT_EQ(b.Snapshot.Stations.Count, 1); // "160" in row 2
    EXPECT_EQ(calc::StationRowMessage(b.Snapshot.Stations),
        "Ошибка в параметрах станции №2 (столбец Y: «160», широта вне пределов от -90 до 90°)");
}

TEST(CalcSnapshot, TheLayeredModelIsReadOnlyForANodeModeThatWillRun)
{
    TWorkingSet ws = DefaultWorkingSet();
    SetValue(ws, *FindChoiceControl("MediumRadioGroup"), 1);
    SetValue(ws, Int("LayerCountSpinEdit"), 2);
    ws.ModelStrGrid.SetCell(1, 1, "150");
    ws.ModelStrGrid.SetCell(2, 2, "fast");

    SetValue(ws, *FindChoiceControl("SourceRadioGroup"), 1); // response: no model
    EXPECT_TRUE(MakeCalcSnapshot(ws, '.').ModelRead);
    EXPECT_EQ(ws.MediumModel[0].H, 100);

    SetValue(ws, *FindChoiceControl("SourceRadioGroup"), 4);
    const TSnapshotBuild b = MakeCalcSnapshot(ws, '.');
    EXPECT_FALSE(b.ModelRead);
    EXPECT_EQ(b.ModelMessage, "Ошибка в параметрах модели! (слой №2, столбец Vp: «fast»)");
    EXPECT_EQ(ws.MediumModel[0].H, 150); // read as far as it converted, and kept
    EXPECT_EQ(b.Snapshot.Model[0].H, 150);

    ws.CooGrid.SetCell(5, 2, ""); // the run stops at the stations: no model read
    ws.ModelStrGrid.SetCell(1, 1, "175");
    EXPECT_TRUE(MakeCalcSnapshot(ws, '.').ModelRead);
    EXPECT_EQ(ws.MediumModel[0].H, 150);
}

TEST(CalcSnapshot, AStationOutOfOperationIsLeftOutAsIfItsRowsWereDeleted)
{
    TWorkingSet ws = DefaultWorkingSet();
    ws.SourceRadioGroup = 3;
    ws.dXSpinEdit = ws.dYSpinEdit = 400;
    TWorkingSet deleted = ws;
    SetInOperation(ws, 5, false);
    for (auto *table : { &deleted.CooGrid, &deleted.StrGrid })
        table->Rows.erase(table->Rows.begin() + 5);
    deleted.SensorsSpinEdit = 24;

    const TSnapshotBuild off = MakeCalcSnapshot(ws, '.');
    const TSnapshotBuild gone = MakeCalcSnapshot(deleted, '.');
    ASSERT_TRUE(off.ModelRead);
    EXPECT_EQ(off.Snapshot.Params.N, 24);
    EXPECT_EQ(off.Snapshot.Stations, gone.Snapshot.Stations);
    const auto a = calc::RunComputation(off.Snapshot);
    const auto b = calc::RunComputation(gone.Snapshot);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->ResultMatrix, b->ResultMatrix);
    TWorkingSet whole = ws;
    whole.OutOfOperation.clear();
    const auto all = calc::RunComputation(MakeCalcSnapshot(whole, '.').Snapshot);
    ASSERT_TRUE(all);
    EXPECT_NE(all->ResultMatrix, a->ResultMatrix); // the station mattered

    // A bad row is still named by its number in the table, and none working refuses.
    ws.CooGrid.SetCell(9, 1, "x");
    EXPECT_EQ(MakeCalcSnapshot(ws, '.').Snapshot.Stations.Count, 8);
    TWorkingSet none = DefaultWorkingSet();
    for (int r = 1; r <= 25; ++r)
        SetInOperation(none, r, false);
    EXPECT_FALSE(MakeCalcSnapshot(none, '.').ModelRead);
    EXPECT_EQ(InOperationOf(none), std::vector<bool>(25, false));
}
