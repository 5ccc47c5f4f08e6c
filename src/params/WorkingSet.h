// The working set: every control value that the computation and the
// parameter files use, the three tables as cell texts and the layered model.
// The window holds its controls in step with it and valdrin-calc works on it
// alone, so a parameter file loads into both in the same way.
//
// Fields carry the names of the controls they stand for. Setting a value goes
// through the control's range rule, and a change runs the control's change
// effect on the tables (station count, layer count).
#pragma once

#include <string_view>
#include <vector>

#include "calc/Computation.h"
#include "common/CellTable.h"
#include "map/Grids.h"
#include "map/MapScene.h"
#include "medium/MediumModel.h"

namespace valdrin::params {

struct TWorkingSet {
    // Page "Расчет".
    int SensorsSpinEdit = 25; // station count N, 1..100
    int SourceRadioGroup = 0; // display mode (TShowMode), 0..6
    int ViewRadioGroup = 0; // view plane (TViewPlane), 0..2
    int UnitRadioGroup = 0; // 0 "0-1", 1 "дБ"
    common::TCellTable CooGrid; // 5 columns, header row 0
    // Station rows (1..SensorsSpinEdit) left out of every run without being
    // deleted, ascending, no repeats.
    std::vector<int> OutOfOperation;

    // Page "Параметры среды".
    int MediumRadioGroup = 0; // 0 homogeneous, 1 horizontally layered
    double SurfaceAltSpinEdit = 200; // m, -10000..10000
    int LayerCountSpinEdit = 1; // 1..100, the length of MediumModel
    double VpSpinEdit = 6000; // m/s, 0..100000
    double VsSpinEdit = 3000; // m/s, 0..100000
    double VrSpinEdit = 3000; // m/s, 0..100000
    double QualitySpinEdit = 100; // Q, 0..100000
    double RoSpinEdit = 2; // density, 0..20
    common::TCellTable ModelStrGrid; // 7 columns, header row 0, row k+1 = layer k
    common::TCellTable StrGrid; // 7 columns, header row 0
    double B0SpinEdit = 1.5; // 0.1..10
    double SSpinEdit = -3.5; // unbounded
    double C0SpinEdit = 3; // unbounded
    double FreqMinSpinEdit = 0.1; // Hz, 0..100000
    double FreqMaxSpinEdit = 10; // Hz, 0..100000
    double C1SpinEdit = 1.5; // energy class K = C1*M + C2, unbounded
    double C2SpinEdit = 4.5;

    // Page "Оценка уровня шума".
    double NoiseF1SpinEdit = 1; // Hz, 0..100000
    double NoiseF2SpinEdit = 10; // Hz, 0..100000

    // Page "Параметры расчета": node ranges (m, or degrees for X, Y), unbounded.
    double XminSpinEdit = -2000, XmaxSpinEdit = 2000, dXSpinEdit = 50, X0SpinEdit = 0;
    double YminSpinEdit = -2000, YmaxSpinEdit = 2000, dYSpinEdit = 50, Y0SpinEdit = 0;
    double ZminSpinEdit = 300, ZmaxSpinEdit = 500, dZSpinEdit = 20, Z0SpinEdit = 400;
    double KmaxSpinEdit = 0.005; // cycles per metre, 0.001..10
    double dKSpinEdit = 0.00002; // cycles per metre, 0.0000001..1
    bool GeoCheckBox = false; // X, Y as longitude, latitude
    int MinSensCountSpinEdit = 3; // k, unbounded
    int LocErrorSpinEdit = 5; // % of the hypocentral distance, 0..50
    double FcNumSpinEdit = 5; // multiplier n, 0.1..8

    // The map's colour range: automatic (the picture's min .. max) or fixed
    // to RangeMinSpinEdit .. RangeMaxSpinEdit in the unit shown, so that two
    // networks can be compared on one scale; "дБ" starts at the floor.
    int RangeRadioGroup = 0; // 0 automatic, 1 fixed
    double RangeMinSpinEdit = 0, RangeMaxSpinEdit = 1; // unbounded; used when Min < Max
    double DbFloorSpinEdit = -40; // dB, -300..-1

    medium::THorizontalModel MediumModel; // LayerCountSpinEdit layers
};

// The window's start-up state: the defaults above, the 25 default stations
// with their attenuation rows and the one-layer model shown in row 1.
// decimalSep is the user's, for the layer row the model table shows.
TWorkingSet DefaultWorkingSet(char decimalSep = '.');

// Controls and their range rules.
enum class TSpinKind {
    SpinEdit, // clamps when MinValue != MaxValue
    Spin10Edit, // steps also clamp when both bounds are equal and not 0
    FloatSpinEdit, // clamps unless both bounds are 0
};

// Setting a value from outside the control (a file, an option) uses the
// plain TSpinEdit rule for both integer kinds.
int ApplyRangeRule(TSpinKind kind, int minValue, int maxValue, int x);
double ApplyRangeRule(double minValue, double maxValue, double x);

struct TIntControl {
    std::string_view Name;
    int TWorkingSet::*Field;
    TSpinKind Kind;
    int MinValue, MaxValue, Increment;
};

// Real edits show the general (shortest round-trip) form unless Digits says
// otherwise; every value kept in parameter files is of that form, so its
// text and its value change together.
constexpr int kGeneralFormat = 15;

struct TRealControl {
    std::string_view Name;
    double TWorkingSet::*Field;
    double MinValue, MaxValue, Increment;
    int Digits; // decimals of the fixed format; kGeneralFormat for the general form
};

struct TChoiceControl {
    std::string_view Name;
    int TWorkingSet::*Field;
    int ItemCount;
};

const std::vector<TIntControl> &IntControls();
const std::vector<TRealControl> &RealControls();
const std::vector<TChoiceControl> &ChoiceControls();
const TIntControl *FindIntControl(std::string_view name);
const TRealControl *FindRealControl(std::string_view name);
const TChoiceControl *FindChoiceControl(std::string_view name);

// Applies the range rule and stores the value; true when the value changed.
// Non-finite reals are ignored. The change of SensorsSpinEdit resizes and
// renumbers the station tables, that of LayerCountSpinEdit resizes the model
// and its table (decimalSep formats a derived layer row).
bool SetValue(TWorkingSet &ws, const TRealControl &control, double x);
bool SetValue(TWorkingSet &ws, const TIntControl &control, int x, char decimalSep = '.');
// Item indices outside the group are ignored; true when the index changed.
bool SetValue(TWorkingSet &ws, const TChoiceControl &control, int index);

// Row counts of the tables (header included), kept within 1..101 so that a
// file cannot make a table larger than 100 stations or layers would.
constexpr int kMaxTableRows = 101;
void SetCooGridRowCount(TWorkingSet &ws, int rowCount);
void SetModelGridRowCount(TWorkingSet &ws, int rowCount);

// What a computation reads, frozen.
calc::TCalcParams CalcParamsOf(const TWorkingSet &ws);
map::TRanges RangesOf(const TWorkingSet &ws);

struct TSnapshotBuild {
    calc::TCalcSnapshot Snapshot;
    // False when the layered model was to be read and a cell did not convert,
    // or when every station is out of operation: both front ends show
    // ModelMessage and do not run.
    bool ModelRead = true;
    std::string ModelMessage; // "Ошибка в параметрах модели! (слой №…)" when !ModelRead
};

// Per station row 1..SensorsSpinEdit (index row - 1): in operation.
std::vector<bool> InOperationOf(const TWorkingSet &ws);
// Switches a station row in or out of operation; rows outside 1..N are ignored.
void SetInOperation(TWorkingSet &ws, int row, bool inOperation);

// The road of "Считать" up to the engine: the stations for the plane, the
// node and wavenumber grids, and for a node mode with the layered medium the
// model read from ModelStrGrid into ws.MediumModel (as the window keeps it),
// unless the station rows are incomplete and the run stops before that.
// Stations out of operation are left out (N counts those in operation) once
// every row reads, so that a bad row is still named by its table number.
TSnapshotBuild MakeCalcSnapshot(TWorkingSet &ws, char decimalSep);

// The map's scene for ws as it stands: the chosen picture, plane and unit,
// the stations read for the plane and the grids of the ranges. result (may
// be null) is what a result picture draws; saveEnabled whether it can be saved.
map::TMapScene MakeMapScene(
    const TWorkingSet &ws, const calc::TResult *result, bool saveEnabled, char decimalSep);

} // namespace valdrin::params
