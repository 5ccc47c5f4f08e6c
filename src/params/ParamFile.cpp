#include "params/ParamFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "common/Error.h"
#include "common/NumText.h"
#include "common/StrRout.h"
#include "params/Cp1251.h"

namespace valdrin::params {

const char *const kIniSection = "Norbek\\Valdrin";

namespace {

enum class TStoredKind { Real, Integer, Boolean, CooGridRows, ModelGridRows, Choice, RowList };

struct TStoredValue {
    std::string_view Control;
    std::string_view Property;
    TStoredKind Kind;
};

using enum TStoredKind;

// The order of loading: each change effect sees the values loaded before it
// (the station count resizes the tables before CooGrid takes its row count,
// the layer count comes after the row count of ModelStrGrid).
constexpr std::array<TStoredValue, 26> kStoredValues { {
    { "dXSpinEdit", "Value", Real },
    { "dYSpinEdit", "Value", Real },
    { "dZSpinEdit", "Value", Real },
    { "LocErrorSpinEdit", "Value", Integer },
    { "MinSensCountSpinEdit", "Value", Integer },
    { "X0SpinEdit", "Value", Real },
    { "XmaxSpinEdit", "Value", Real },
    { "XminSpinEdit", "Value", Real },
    { "Y0SpinEdit", "Value", Real },
    { "YmaxSpinEdit", "Value", Real },
    { "YminSpinEdit", "Value", Real },
    { "Z0SpinEdit", "Value", Real },
    { "ZmaxSpinEdit", "Value", Real },
    { "ZminSpinEdit", "Value", Real },
    { "GeoCheckBox", "Checked", Boolean },
    { "SensorsSpinEdit", "Value", Integer },
    { "CooGrid", "RowCount", CooGridRows },
    { "VpSpinEdit", "Value", Real },
    { "ModelStrGrid", "RowCount", ModelGridRows },
    { "LayerCountSpinEdit", "Value", Integer },
    { "VrSpinEdit", "Value", Real },
    { "VsSpinEdit", "Value", Real },
    { "QualitySpinEdit", "Value", Real },
    { "RoSpinEdit", "Value", Real },
    { "NoiseF1SpinEdit", "Value", Real },
    { "NoiseF2SpinEdit", "Value", Real },
} };

// The rest of a working set, kept after the values above so that a file
// without them loads as before and older readers ignore them; applied after
// them in this order.
constexpr std::array<TStoredValue, 17> kExtraValues { {
    { "MediumRadioGroup", "ItemIndex", Choice },
    { "SurfaceAltSpinEdit", "Value", Real },
    { "KmaxSpinEdit", "Value", Real },
    { "dKSpinEdit", "Value", Real },
    { "FcNumSpinEdit", "Value", Real },
    { "B0SpinEdit", "Value", Real },
    { "SSpinEdit", "Value", Real },
    { "C0SpinEdit", "Value", Real },
    { "FreqMinSpinEdit", "Value", Real },
    { "FreqMaxSpinEdit", "Value", Real },
    { "C1SpinEdit", "Value", Real },
    { "C2SpinEdit", "Value", Real },
    // Station rows out of operation, "3,7"; a file without it has them all working.
    { "CooGrid", "OutOfOperation", RowList },
    { "RangeRadioGroup", "ItemIndex", Choice },
    { "RangeMinSpinEdit", "Value", Real },
    { "RangeMaxSpinEdit", "Value", Real },
    { "DbFloorSpinEdit", "Value", Real },
} };

struct TTableSection {
    std::string_view Section;
    std::string_view KeyPrefix;
    common::TCellTable TWorkingSet::*Table;
    std::string_view Shown; // the table as a message names it
};

constexpr std::array<TTableSection, 3> kTableSections { {
    { "CooGrid", "Sta", &TWorkingSet::CooGrid, "таблица станций" },
    { "StrGrid", "Sta", &TWorkingSet::StrGrid, "таблица затухания" },
    { "ModelGrid", "Layer", &TWorkingSet::ModelStrGrid, "таблица слоев" },
} };

std::string KeyOf(const TStoredValue &v)
{
    return std::string(v.Control) + "_" + std::string(v.Property);
}

// Blanks and control characters, as the store trims them.
std::string_view Trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

std::string FormatStored(const TWorkingSet &ws, const TStoredValue &v)
{
    switch (v.Kind) {
    case Real:
        return common::FormatGeneral(ws.*(FindRealControl(v.Control)->Field));
    case Integer:
        return std::to_string(ws.*(FindIntControl(v.Control)->Field));
    case Boolean:
        return ws.GeoCheckBox ? "True" : "False";
    case CooGridRows:
        return std::to_string(ws.CooGrid.RowCount());
    case ModelGridRows:
        return std::to_string(ws.ModelStrGrid.RowCount());
    case Choice:
        return std::to_string(ws.*(FindChoiceControl(v.Control)->Field));
    case RowList: {
        std::vector<std::string> rows;
        for (const int row : ws.OutOfOperation)
            rows.push_back(std::to_string(row));
        return common::JoinStrings(rows, ',');
    }
    }
    return {};
}

void ApplyStored(TWorkingSet &ws, const TStoredValue &v, std::string_view text, char decimalSep)
{
    switch (v.Kind) {
    case Real:
        // Written with a point; a file from a comma locale may hold a comma.
        if (const auto x = common::TextToFloatAnySep(text, '.'))
            SetValue(ws, *FindRealControl(v.Control), *x);
        break;
    case Integer:
        SetValue(ws, *FindIntControl(v.Control), common::TextToInt(text).value_or(0), decimalSep);
        break;
    case Boolean:
        if (common::EqualsNoCase(text, "True"))
            ws.GeoCheckBox = true;
        else if (common::EqualsNoCase(text, "False"))
            ws.GeoCheckBox = false;
        break;
    case CooGridRows:
        SetCooGridRowCount(ws, common::TextToInt(text).value_or(0));
        break;
    case ModelGridRows:
        SetModelGridRowCount(ws, common::TextToInt(text).value_or(0));
        break;
    case Choice: // an index the group does not have leaves it as it is
        if (const auto index = common::TextToInt(text))
            SetValue(ws, *FindChoiceControl(v.Control), *index);
        break;
    case RowList: // numbers that are not station rows are dropped
        ws.OutOfOperation.clear();
        for (int n = 1; n <= calc::kMaxStations; ++n) {
            const std::string word
                = common::NthWord(text.substr(0, 4096), n, common::MakeCharSet(", "), true);
            if (word.empty())
                break;
            if (const auto row = common::TextToInt(word))
                SetInOperation(ws, *row, false);
        }
        break;
    }
}

std::string FormatPair(TPoint a, TPoint b)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", a.X, a.Y, b.X, b.Y);
    return buf;
}

std::string ScreenSuffix(int width, int height)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "(%dx%d)", width, height);
    return buf;
}

// Four integers split at commas and blanks; a field that is missing or not a
// number takes its default.
std::array<int, 4> ReadFour(std::string_view text, const std::array<int, 4> &defaults)
{
    static const common::TCharSet delims = common::MakeCharSet(", ");
    std::array<int, 4> out = defaults;
    // Only the first four fields matter; a huge value is not split further.
    for (int i = 0; i < 4; ++i)
        if (const auto v
            = common::TextToInt(common::NthWord(text.substr(0, 4096), i + 1, delims, true)))
            out[static_cast<std::size_t>(i)] = *v;
    return out;
}

TWindowState StateOfShowCmd(int showCmd)
{
    switch (showCmd) {
    case 2:
    case 6:
    case 7:
        return TWindowState::Minimized;
    case 3:
        return TWindowState::Maximized;
    default: // 1, 5, 9 and everything else, a missing key included
        return TWindowState::Normal;
    }
}

TPlacementRestore RestorePlacement(const TIniFile &ini, const TCurrentPlacement &cur)
{
    TPlacementRestore out;
    out.Flags = ini.ReadInteger(kIniSection, "Flags", cur.Flags);
    const std::string suffix = ScreenSuffix(cur.ScreenWidth, cur.ScreenHeight);
    const auto readPos = [&](const std::string &key) {
        auto value = ini.Find(kIniSection, key + suffix);
        return value ? value : ini.Find(kIniSection, key);
    };
    const auto minMax = readPos("MinMaxPos");
    const auto norm = readPos("NormPos");
    if (minMax) {
        const auto f = ReadFour(*minMax, { 0, 0, 0, 0 });
        out.MinPosition = { f[0], f[1] };
        out.MaxPosition = { f[2], f[3] };
    }
    // Sums in 64 bits: a window position near the int range must not overflow.
    const auto clampInt = [](long long v) {
        return static_cast<int>(std::clamp<long long>(
            v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    };
    const std::array<int, 4> current
        = { cur.Left, cur.Top, clampInt(static_cast<long long>(cur.Left) + cur.Width),
              clampInt(static_cast<long long>(cur.Top) + cur.Height) };
    const auto r = norm ? ReadFour(*norm, current) : current;
    out.Rect = { r[0], r[1], r[2], r[3] };
    const int ppi = ini.ReadInteger(kIniSection, "PixelsPerInch", cur.PixelsPerInch);
    out.HasRect = (minMax || norm) && ppi == cur.PixelsPerInch && out.Rect.Left < out.Rect.Right;
    out.State = StateOfShowCmd(ini.ReadInteger(kIniSection, "ShowCmd", 0));
    return out;
}

// The cells of a stored row: "a;;b;" gives "a", " ", "b" and an empty cell.
void SetRowText(common::TCellTable &table, int row, std::string_view text)
{
    const int cols = table.ColCount;
    // Fields past the last column are dropped, so only the text up to the
    // cols-th ";" matters; cutting it there keeps a huge row cheap to split.
    std::size_t cut = 0;
    for (int n = 0; n < cols && cut != std::string_view::npos; ++n) {
        cut = text.find(';', cut);
        if (cut != std::string_view::npos)
            ++cut;
    }
    if (cut != std::string_view::npos)
        text = text.substr(0, cut);
    const std::string lines = common::ReplaceText(text, ";", "\n", true);
    for (int c = 0; c < cols; ++c)
        table.SetCell(row, c, std::string());
    std::size_t start = 0;
    for (int c = 0; c < cols && start < lines.size(); ++c) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string::npos)
            end = lines.size();
        const std::string_view line = std::string_view(lines).substr(start, end - start);
        table.SetCell(row, c, line.empty() ? std::string(" ") : std::string(line));
        start = end + 1;
    }
}

} // namespace

void FormStorageSavePlacement(TIniFile &ini, const TWorkingSet &ws)
{
    for (const TTableSection &t : kTableSections) {
        const common::TCellTable &table = ws.*t.Table;
        for (int r = 1; r < table.RowCount(); ++r) {
            std::vector<std::string> cells = table.Rows[static_cast<std::size_t>(r)];
            for (std::string &cell : cells)
                for (char &ch : cell)
                    if (ch == ';')
                        ch = ',';
            ini.WriteString(t.Section, std::string(t.KeyPrefix) + std::to_string(r),
                common::JoinStrings(cells, ';'));
        }
    }
}

void WriteParams(TIniFile &ini, const TWorkingSet &ws, const TWindowPlacement &placement)
{
    ini.WriteInteger(kIniSection, "FormVersion", kFormVersion);
    ini.WriteInteger(kIniSection, "Flags", placement.Flags);
    ini.WriteInteger(
        kIniSection, "ShowCmd", placement.ApplicationMinimized ? 2 : placement.ShowCmd);
    ini.WriteInteger(kIniSection, "PixelsPerInch", placement.PixelsPerInch);
    const std::string suffix = ScreenSuffix(placement.ScreenWidth, placement.ScreenHeight);
    const std::string minMax = FormatPair(placement.MinPosition, placement.MaxPosition);
    const TRect &r = placement.NormalRect;
    const std::string norm = FormatPair({ r.Left, r.Top }, { r.Right, r.Bottom });
    ini.WriteString(kIniSection, "MinMaxPos" + suffix, minMax);
    ini.WriteString(kIniSection, "MinMaxPos", minMax);
    ini.WriteString(kIniSection, "NormPos" + suffix, norm);
    ini.WriteString(kIniSection, "NormPos", norm);
    ini.WriteString(kIniSection, "Visible", "0");
    WriteValues(ini, ws);
}

void WriteValues(TIniFile &ini, const TWorkingSet &ws)
{
    for (const TStoredValue &v : kStoredValues)
        ini.WriteString(kIniSection, KeyOf(v), Trim(FormatStored(ws, v)));
    for (const TStoredValue &v : kExtraValues) {
        const std::string text = FormatStored(ws, v);
        // Every station working needs no key, unless an older one would outlive this save.
        if (v.Kind == RowList && text.empty() && !ini.ValueExists(kIniSection, KeyOf(v)))
            continue;
        ini.WriteString(kIniSection, KeyOf(v), Trim(text));
    }
    FormStorageSavePlacement(ini, ws);
}

void FormStorageRestorePlacement(const TIniFile &ini, TWorkingSet &ws)
{
    for (const TTableSection &t : kTableSections) {
        common::TCellTable &table = ws.*t.Table;
        for (int r = 1; r < table.RowCount(); ++r)
            SetRowText(table, r,
                ini.ReadString(t.Section, std::string(t.KeyPrefix) + std::to_string(r), "0"));
    }
}

TParamLoad RestoreParams(
    const TIniFile &ini, TWorkingSet &ws, const TCurrentPlacement &current, char decimalSep)
{
    TParamLoad load;
    if (ini.ReadInteger(kIniSection, "FormVersion", 0) < kFormVersion)
        return load;
    load.Applied = true;
    load.Placement = RestorePlacement(ini, current);
    const auto apply = [&](const TStoredValue &v) {
        if (const auto text = ini.Find(kIniSection, KeyOf(v)))
            ApplyStored(ws, v, Trim(*text), decimalSep);
    };
    std::for_each(kStoredValues.begin(), kStoredValues.end(), apply);
    ws.OutOfOperation.clear();
    std::for_each(kExtraValues.begin(), kExtraValues.end(), apply);
    FormStorageRestorePlacement(ini, ws);
    return load;
}

std::string UnsavedCharsWarning(const TWorkingSet &ws)
{
    for (const TTableSection &t : kTableSections) {
        const common::TCellTable &table = ws.*t.Table;
        for (int r = 1; r < table.RowCount(); ++r)
            for (int c = 0; c < table.ColCount; ++c) {
                const std::string &cell = table.Cell(r, c);
                if (FitsCp1251(cell))
                    continue;
                return "Символы, которых нет в кодировке Windows-1251, записаны в файл как «?». "
                       "Первая такая ячейка: "
                    + std::string(t.Shown) + ", строка " + std::to_string(r) + ", столбец "
                    + table.Cell(0, c) + " («" + cell + "»)";
            }
    }
    return {};
}

std::string SaveParamFile(
    const std::string &fileName, const TWorkingSet &ws, const TWindowPlacement &placement)
{
    TIniFile ini(fileName);
    WriteParams(ini, ws, placement);
    ini.UpdateFile();
    return UnsavedCharsWarning(ws);
}

std::string SaveParamFileValues(const std::string &fileName, const TWorkingSet &ws)
{
    TIniFile ini(fileName);
    if (!ini.ReadError().empty())
        throw common::TValdrinError(ini.ReadError());
    if (!ini.ValueExists(kIniSection, "FormVersion"))
        ini.WriteInteger(kIniSection, "FormVersion", kFormVersion);
    WriteValues(ini, ws);
    ini.UpdateFile();
    return UnsavedCharsWarning(ws);
}

TParamLoad LoadParamFile(
    const std::string &fileName, TWorkingSet &ws, const TCurrentPlacement &current, char decimalSep)
{
    const TIniFile ini(fileName);
    if (!ini.ReadError().empty())
        throw common::TValdrinError(ini.ReadError());
    return RestoreParams(ini, ws, current, decimalSep);
}

} // namespace valdrin::params
