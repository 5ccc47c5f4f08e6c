// Feeds arbitrary bytes to the INI reader and the parameter-file restore.
// A load must leave a working set the window could hold, and a save into the
// same file must read back what it wrote.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "params/IniFile.h"
#include "params/ParamFile.h"

using namespace valdrin::params;

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

void CheckConsistent(const TWorkingSet &ws)
{
    Check(ws.SensorsSpinEdit >= 1 && ws.SensorsSpinEdit <= 100);
    Check(ws.LayerCountSpinEdit >= 1 && ws.LayerCountSpinEdit <= 100);
    Check(ws.MediumModel.size() == static_cast<std::size_t>(ws.LayerCountSpinEdit));
    for (const auto *t : { &ws.CooGrid, &ws.StrGrid, &ws.ModelStrGrid }) {
        Check(t->RowCount() >= 1 && t->RowCount() <= kMaxTableRows);
        for (const auto &row : t->Rows)
            Check(static_cast<int>(row.size()) == t->ColCount);
    }
    for (const auto &c : RealControls()) {
        const double v = ws.*c.Field;
        Check(std::isfinite(v));
        if (c.MinValue != 0 || c.MaxValue != 0)
            Check(v >= c.MinValue && v <= c.MaxValue);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const TCurrentPlacement current { 0, 254, 130, 785, 590, 96, 1024, 768 };
    TIniFile ini = TIniFile::FromBytes(bytes, "fuzz.ini");

    TWorkingSet ws = DefaultWorkingSet();
    const char sep = size > 0 && (data[0] & 1) ? ',' : '.';
    RestoreParams(ini, ws, current, sep);
    CheckConsistent(ws);

    TWindowPlacement placement;
    placement.ScreenWidth = 1024;
    placement.ScreenHeight = 768;
    WriteParams(ini, ws, placement);
    const TIniFile back = TIniFile::FromBytes(ini.Bytes());
    // The settings are ASCII, so they read back exactly whatever the file held.
    for (const char *key : { "FormVersion", "SensorsSpinEdit_Value", "dXSpinEdit_Value",
             "GeoCheckBox_Checked", "NoiseF2SpinEdit_Value", "NormPos(1024x768)" })
        Check(back.Find(kIniSection, key) == ini.Find(kIniSection, key));
    TWorkingSet again = DefaultWorkingSet();
    RestoreParams(back, again, current, sep);
    CheckConsistent(again);
    return 0;
}
