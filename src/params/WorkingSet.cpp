#include "params/WorkingSet.h"

#include "common/MathRout.h"

#include <algorithm>
#include <cmath>

#include "calc/NetworkModel.h"

namespace valdrin::params {

namespace {

using W = TWorkingSet;
using enum TSpinKind;

constexpr int kModelGridRows = 2; // header + the start-up layer

} // namespace

TWorkingSet DefaultWorkingSet(char decimalSep)
{
    TWorkingSet ws;
    ws.CooGrid = calc::DefaultCooGrid();
    ws.StrGrid = calc::DefaultStrGrid(decimalSep);
    ws.ModelStrGrid = common::TCellTable(kModelGridRows, medium::kModelGridCols);
    medium::WriteModelHeader(ws.ModelStrGrid);
    ws.MediumModel = { medium::StartupLayer(ws.SurfaceAltSpinEdit) };
    medium::ShowLayer(ws.ModelStrGrid, 0, ws.MediumModel.front(), decimalSep);
    return ws;
}

int ApplyRangeRule(TSpinKind kind, int minValue, int maxValue, int x)
{
    const bool clamps = minValue != maxValue || (kind != SpinEdit && minValue != 0);
    return clamps ? common::ClampToRange(x, minValue, maxValue) : x;
}

double ApplyRangeRule(double minValue, double maxValue, double x)
{
    if (minValue == 0 && maxValue == 0)
        return x;
    return common::ClampToRange(x, minValue, maxValue);
}

const std::vector<TIntControl> &IntControls()
{
    static const std::vector<TIntControl> controls = {
        { "SensorsSpinEdit", &W::SensorsSpinEdit, Spin10Edit, 1, calc::kMaxStations, 1 },
        { "LayerCountSpinEdit", &W::LayerCountSpinEdit, Spin10Edit, 1, medium::kMaxLayers, 1 },
        { "MinSensCountSpinEdit", &W::MinSensCountSpinEdit, SpinEdit, 0, 0, 1 },
        { "LocErrorSpinEdit", &W::LocErrorSpinEdit, SpinEdit, 0, 50, 1 },
    };
    return controls;
}

const std::vector<TRealControl> &RealControls()
{
    constexpr int G = kGeneralFormat;
    static const std::vector<TRealControl> controls = {
        { "XminSpinEdit", &W::XminSpinEdit, 0, 0, 1, G },
        { "XmaxSpinEdit", &W::XmaxSpinEdit, 0, 0, 1, G },
        { "dXSpinEdit", &W::dXSpinEdit, 0, 0, 1, G },
        { "X0SpinEdit", &W::X0SpinEdit, 0, 0, 1, G },
        { "YminSpinEdit", &W::YminSpinEdit, 0, 0, 1, G },
        { "YmaxSpinEdit", &W::YmaxSpinEdit, 0, 0, 1, G },
        { "dYSpinEdit", &W::dYSpinEdit, 0, 0, 1, G },
        { "Y0SpinEdit", &W::Y0SpinEdit, 0, 0, 1, G },
        { "ZminSpinEdit", &W::ZminSpinEdit, 0, 0, 1, G },
        { "ZmaxSpinEdit", &W::ZmaxSpinEdit, 0, 0, 1, G },
        { "dZSpinEdit", &W::dZSpinEdit, 0, 0, 1, G },
        { "Z0SpinEdit", &W::Z0SpinEdit, 0, 0, 1, G },
        { "KmaxSpinEdit", &W::KmaxSpinEdit, 0.001, 10, 0.001, 4 },
        { "dKSpinEdit", &W::dKSpinEdit, 0.0000001, 1, 0.00001, 5 },
        { "FcNumSpinEdit", &W::FcNumSpinEdit, 0.1, 8, 1, G },
        { "SurfaceAltSpinEdit", &W::SurfaceAltSpinEdit, -10000, 10000, 1, G },
        { "VpSpinEdit", &W::VpSpinEdit, 0, 100000, 1, G },
        { "VsSpinEdit", &W::VsSpinEdit, 0, 100000, 1, G },
        { "VrSpinEdit", &W::VrSpinEdit, 0, 100000, 1, G },
        { "QualitySpinEdit", &W::QualitySpinEdit, 0, 100000, 1, G },
        { "RoSpinEdit", &W::RoSpinEdit, 0, 20, 1, G },
        { "B0SpinEdit", &W::B0SpinEdit, 0.1, 10, 0.01, G },
        { "SSpinEdit", &W::SSpinEdit, 0, 0, 0.01, G },
        { "C0SpinEdit", &W::C0SpinEdit, 0, 0, 0.01, G },
        { "FreqMinSpinEdit", &W::FreqMinSpinEdit, 0, 100000, 0.1, G },
        { "FreqMaxSpinEdit", &W::FreqMaxSpinEdit, 0, 100000, 0.1, G },
        { "C1SpinEdit", &W::C1SpinEdit, 0, 0, 1, G },
        { "C2SpinEdit", &W::C2SpinEdit, 0, 0, 1, G },
        { "NoiseF1SpinEdit", &W::NoiseF1SpinEdit, 0, 100000, 0.1, G },
        { "NoiseF2SpinEdit", &W::NoiseF2SpinEdit, 0, 100000, 0.1, G },
        { "RangeMinSpinEdit", &W::RangeMinSpinEdit, 0, 0, 0.1, G },
        { "RangeMaxSpinEdit", &W::RangeMaxSpinEdit, 0, 0, 0.1, G },
        { "DbFloorSpinEdit", &W::DbFloorSpinEdit, -300, -1, 1, G },
    };
    return controls;
}

const std::vector<TChoiceControl> &ChoiceControls()
{
    static const std::vector<TChoiceControl> controls = {
        { "SourceRadioGroup", &W::SourceRadioGroup, 7 },
        { "ViewRadioGroup", &W::ViewRadioGroup, 3 },
        { "UnitRadioGroup", &W::UnitRadioGroup, 2 },
        { "MediumRadioGroup", &W::MediumRadioGroup, 2 },
        { "RangeRadioGroup", &W::RangeRadioGroup, 2 },
    };
    return controls;
}

namespace {

template<class T> const T *FindByName(const std::vector<T> &controls, std::string_view name)
{
    const auto it = std::find_if(
        controls.begin(), controls.end(), [&](const T &c) { return c.Name == name; });
    return it == controls.end() ? nullptr : &*it;
}

} // namespace

const TIntControl *FindIntControl(std::string_view name)
{
    return FindByName(IntControls(), name);
}

const TRealControl *FindRealControl(std::string_view name)
{
    return FindByName(RealControls(), name);
}

const TChoiceControl *FindChoiceControl(std::string_view name)
{
    return FindByName(ChoiceControls(), name);
}

bool SetValue(TWorkingSet &ws, const TRealControl &control, double x)
{
    if (!std::isfinite(x))
        return false;
    x = ApplyRangeRule(control.MinValue, control.MaxValue, x);
    double &field = ws.*control.Field;
    // -0 and 0 show the same text, so they are the same value.
    if (x == field)
        return false;
    field = x;
    return true;
}

bool SetValue(TWorkingSet &ws, const TIntControl &control, int x, char decimalSep)
{
    x = ApplyRangeRule(SpinEdit, control.MinValue, control.MaxValue, x);
    int &field = ws.*control.Field;
    if (x == field)
        return false;
    field = x;
    if (control.Field == &W::SensorsSpinEdit) {
        calc::SetStationCount(ws.CooGrid, ws.StrGrid, x, decimalSep);
        std::erase_if(ws.OutOfOperation, [x](int row) { return row > x; });
    } else if (control.Field == &W::LayerCountSpinEdit)
        medium::LayerCountChange(ws.MediumModel, ws.ModelStrGrid, x, decimalSep);
    return true;
}

bool SetValue(TWorkingSet &ws, const TChoiceControl &control, int index)
{
    if (index < 0 || index >= control.ItemCount)
        return false;
    int &field = ws.*control.Field;
    if (field == index)
        return false;
    field = index;
    return true;
}

void SetCooGridRowCount(TWorkingSet &ws, int rowCount)
{
    ws.CooGrid.Resize(
        std::clamp(rowCount, 1, kMaxTableRows), std::max(ws.CooGrid.ColCount, calc::kCooGridCols));
}

void SetModelGridRowCount(TWorkingSet &ws, int rowCount)
{
    ws.ModelStrGrid.Resize(std::clamp(rowCount, 1, kMaxTableRows),
        std::max(ws.ModelStrGrid.ColCount, medium::kModelGridCols));
}

calc::TCalcParams CalcParamsOf(const TWorkingSet &ws)
{
    calc::TCalcParams p;
    p.N = ws.SensorsSpinEdit;
    p.k = ws.MinSensCountSpinEdit;
    p.LocErrorPct = ws.LocErrorSpinEdit;
    p.FcNum = ws.FcNumSpinEdit;
    p.Vs = ws.VsSpinEdit;
    p.Vp = ws.VpSpinEdit;
    p.SurfaceAlt = ws.SurfaceAltSpinEdit;
    p.Degrees = ws.GeoCheckBox;
    p.Mode = static_cast<calc::TShowMode>(std::clamp(ws.SourceRadioGroup, 0, 6));
    // Any index other than 1 and 2 is the XY plane.
    p.Plane = (ws.ViewRadioGroup == 1 || ws.ViewRadioGroup == 2)
        ? static_cast<calc::TViewPlane>(ws.ViewRadioGroup)
        : calc::TViewPlane::vpXY;
    p.Medium
        = ws.MediumRadioGroup == 1 ? calc::TMediumKind::Layered : calc::TMediumKind::Homogeneous;
    p.C1 = ws.C1SpinEdit;
    p.C2 = ws.C2SpinEdit;
    return p;
}

map::TRanges RangesOf(const TWorkingSet &ws)
{
    map::TRanges r;
    r.X = { ws.XminSpinEdit, ws.XmaxSpinEdit, ws.dXSpinEdit, ws.X0SpinEdit };
    r.Y = { ws.YminSpinEdit, ws.YmaxSpinEdit, ws.dYSpinEdit, ws.Y0SpinEdit };
    r.Z = { ws.ZminSpinEdit, ws.ZmaxSpinEdit, ws.dZSpinEdit, ws.Z0SpinEdit };
    return r;
}

std::vector<bool> InOperationOf(const TWorkingSet &ws)
{
    std::vector<bool> on(static_cast<std::size_t>(std::max(ws.SensorsSpinEdit, 0)), true);
    for (const int row : ws.OutOfOperation)
        if (row >= 1 && row <= ws.SensorsSpinEdit)
            on[static_cast<std::size_t>(row - 1)] = false;
    return on;
}

void SetInOperation(TWorkingSet &ws, int row, bool inOperation)
{
    if (row < 1 || row > ws.SensorsSpinEdit)
        return;
    auto &off = ws.OutOfOperation;
    std::erase(off, row);
    if (!inOperation) {
        off.insert(std::upper_bound(off.begin(), off.end(), row), row);
    }
}

namespace {

// The rows of both station tables in operation, header kept.
std::pair<common::TCellTable, common::TCellTable> TablesInOperation(
    const TWorkingSet &ws, const std::vector<bool> &on)
{
    std::pair<common::TCellTable, common::TCellTable> t { ws.CooGrid, ws.StrGrid };
    for (common::TCellTable *table : { &t.first, &t.second }) {
        auto &rows = table->Rows;
        std::size_t kept = 1;
        for (std::size_t r = 1; r < rows.size(); ++r)
            if (r > on.size() || on[r - 1]) {
                if (kept != r)
                    rows[kept] = std::move(rows[r]);
                ++kept;
            }
        rows.resize(std::min(kept, rows.size()));
    }
    return t;
}

} // namespace

TSnapshotBuild MakeCalcSnapshot(TWorkingSet &ws, char decimalSep)
{
    using calc::TShowMode;
    TSnapshotBuild build;
    calc::TCalcSnapshot &s = build.Snapshot;
    s.Params = CalcParamsOf(ws);
    s.Stations
        = calc::ReadStations(ws.CooGrid, ws.StrGrid, s.Params.Plane, decimalSep, s.Params.Degrees);
    const std::vector<bool> on = InOperationOf(ws);
    const auto working = static_cast<int>(std::count(on.begin(), on.end(), true));
    if (s.Stations.Count == s.Params.N && working < s.Params.N) {
        if (working == 0) {
            build.ModelRead = false;
            build.ModelMessage = "Все станции выведены из работы: включите хотя бы одну";
        }
        const auto [coo, str] = TablesInOperation(ws, on);
        s.Stations = calc::ReadStations(coo, str, s.Params.Plane, decimalSep, s.Params.Degrees);
        s.Params.N = working;
    }
    s.PlaneGrid = map::UpdatePlaneGrid(RangesOf(ws), s.Params.Plane);
    s.WaveGrid = map::UpdateWaveGrid(ws.KmaxSpinEdit, ws.dKSpinEdit);
    const bool nodeMode
        = s.Params.Mode >= TShowMode::smMinMagnitude && s.Params.Mode <= TShowMode::smSourceSize;
    if (build.ModelRead && nodeMode && s.Params.Medium == calc::TMediumKind::Layered
        && s.Stations.Count == s.Params.N) {
        std::string badCell;
        build.ModelRead = medium::ReadMediumModel(
            ws.ModelStrGrid, ws.SurfaceAltSpinEdit, decimalSep, ws.MediumModel, &badCell);
        if (!build.ModelRead)
            build.ModelMessage = medium::ModelReadMessage(badCell);
    }
    s.Model = ws.MediumModel;
    return build;
}

map::TMapScene MakeMapScene(
    const TWorkingSet &ws, const calc::TResult *result, bool saveEnabled, char decimalSep)
{
    const calc::TCalcParams p = CalcParamsOf(ws);
    map::TMapScene scene;
    scene.Selected = p.Mode;
    scene.Result = result;
    scene.SaveEnabled = saveEnabled;
    scene.Plane = p.Plane;
    scene.Stations = calc::ReadStations(ws.CooGrid, ws.StrGrid, p.Plane, decimalSep, p.Degrees);
    scene.CooGrid = ws.CooGrid;
    scene.InOperation = InOperationOf(ws);
    scene.PlaneGrid = map::UpdatePlaneGrid(RangesOf(ws), p.Plane);
    scene.WaveGrid = map::UpdateWaveGrid(ws.KmaxSpinEdit, ws.dKSpinEdit);
    scene.Unit = ws.UnitRadioGroup == 1 ? map::TResponseUnit::Decibel : map::TResponseUnit::Unit01;
    return scene;
}

} // namespace valdrin::params
