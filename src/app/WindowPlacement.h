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
// Moves a shown window (and shrinks it if need be) into its screen's
// available area, so that no part of it starts off the screen.
void KeepOnScreen(QWidget &window);

} // namespace valdrin::app
