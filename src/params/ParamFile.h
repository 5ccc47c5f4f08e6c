// Parameter files: one working set and the main window's placement in an INI
// file, Windows-1251.
//
// Section "Norbek\Valdrin" holds the store's version, the placement and 26
// control values (key: control name, "_", property), then the rest of the
// working set in keys of the same form (medium choice, surface elevation,
// wavenumber range and step, n, the I(M,R) and LgE coefficients); "CooGrid",
// "StrGrid" and "ModelGrid" hold the table rows, cells joined by ";".
// Loading applies the values in a fixed order, each through its control's
// range rule and, when it changes, the control's change effect, then fills
// the table rows.
#pragma once

#include <string>
#include <string_view>

#include "params/IniFile.h"
#include "params/WorkingSet.h"

namespace valdrin::params {

extern const char *const kIniSection; // "Norbek\Valdrin"
constexpr int kFormVersion = 0;

struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint &) const = default;
};

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRect &) const = default;
};

// The window as the save writes it (pixels).
struct TWindowPlacement {
    int Flags = 0; // placement flags of the window system, 0 where it has none
    int ShowCmd = 1; // 1 normal, 2 minimized, 3 maximized
    bool ApplicationMinimized = false; // written as ShowCmd 2 whatever ShowCmd says
    int PixelsPerInch = 96; // logical pixels per inch of the screen
    TPoint MinPosition, MaxPosition; // minimized and maximized positions
    TRect NormalRect; // left, top, right, bottom of the normal rectangle
    int ScreenWidth = 0, ScreenHeight = 0;
};

// The window and screen as they are when a file is loaded.
struct TCurrentPlacement {
    int Flags = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int PixelsPerInch = 96;
    int ScreenWidth = 0, ScreenHeight = 0;
};

enum class TWindowState { Normal, Minimized, Maximized };

// What the window applies after a load.
struct TPlacementRestore {
    int Flags = 0;
    TPoint MinPosition, MaxPosition;
    bool HasRect = false; // give the window Rect
    TRect Rect;
    TWindowState State = TWindowState::Normal; // minimized: the whole application
};

struct TParamLoad {
    // False when the file's "FormVersion" is below the store's: nothing was
    // changed, and the placement is not to be applied either.
    bool Applied = false;
    TPlacementRestore Placement;
};

// Writes the working set and the placement into ini (no file is touched).
void WriteParams(TIniFile &ini, const TWorkingSet &ws, const TWindowPlacement &placement);
// The working set alone: the values in their order, then the table rows.
void WriteValues(TIniFile &ini, const TWorkingSet &ws);
// The table rows alone, "Sta<r>" and "Layer<r>". A ";" inside a cell is
// written as "," so that the row keeps its columns when read back.
void FormStorageSavePlacement(TIniFile &ini, const TWorkingSet &ws);

// Reads the file's values into ws. decimalSep is the user's: real values are
// written with a point and read with it replaced, and a derived layer row
// shows it.
TParamLoad RestoreParams(
    const TIniFile &ini, TWorkingSet &ws, const TCurrentPlacement &current, char decimalSep);
// Every data row of the three tables from its key: a missing key gives "0",
// ";" separates the cells, an empty field shows " ", a final empty field
// leaves its cell empty, fields beyond the last column are dropped.
void FormStorageRestorePlacement(const TIniFile &ini, TWorkingSet &ws);

// Empty when every table cell fits Windows-1251; otherwise a message naming
// the first cell whose characters the file holds as "?".
std::string UnsavedCharsWarning(const TWorkingSet &ws);

// Save into fileName, keeping every other line of an existing file; returns
// UnsavedCharsWarning. The file is replaced whole or not at all: a failure
// throws common::TValdrinError "Unable to write to <fileName>".
std::string SaveParamFile(
    const std::string &fileName, const TWorkingSet &ws, const TWindowPlacement &placement);
// Save for a front end without a window: the working set as SaveParamFile
// writes it, the placement lines of an existing file left as they are. A
// file that cannot be read is not replaced (common::TValdrinError).
std::string SaveParamFileValues(const std::string &fileName, const TWorkingSet &ws);
// A file that does not exist reads as empty: every value stays, every table
// row becomes "0". One that exists but cannot be read (TIniFile::ReadError)
// throws common::TValdrinError with that reason, ws untouched.
TParamLoad LoadParamFile(const std::string &fileName, TWorkingSet &ws,
    const TCurrentPlacement &current, char decimalSep);

} // namespace valdrin::params
