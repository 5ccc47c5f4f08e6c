// The working set's named values in the controls of the same names: the
// control lists of src/params tie each value to a spin edit or a choice, so
// the window, the parameter files and valdrin-calc share one table.
#pragma once

class QWidget;

namespace valdrin::params {
struct TWorkingSet;
} // namespace valdrin::params

namespace valdrin::app {

// Ranges, steps, formats and the defaults of the spin edits under root.
void ConfigureEdits(QWidget &root, const params::TWorkingSet &defaults);
// The named numbers and choices under root into ws (tables untouched).
void GatherControls(const QWidget &root, params::TWorkingSet &ws);
// ws's named numbers and choices into the controls under root.
void ApplyControls(QWidget &root, const params::TWorkingSet &ws);

} // namespace valdrin::app
