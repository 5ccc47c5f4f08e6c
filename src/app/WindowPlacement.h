// The window's place on the screen as the parameter files keep it.
#pragma once

class QWidget;

namespace valdrin::params {
struct TWindowPlacement;
struct TCurrentPlacement;
struct TPlacementRestore;
} // namespace valdrin::params

namespace valdrin::app {

params::TWindowPlacement WindowPlacementOf(const QWidget &window);
params::TCurrentPlacement CurrentPlacementOf(const QWidget &window);
void ApplyPlacement(QWidget &window, const params::TPlacementRestore &p);

} // namespace valdrin::app
