#!/usr/bin/env bash
# Starts the window when a display is there; otherwise runs the batch front
# end on the built-in default network and writes its results into out/.
set -euo pipefail
cd "$(dirname "$0")/.."

gui=build/src/app/valdrin
calc=build/src/cli/valdrin-calc

if [ -x "$gui" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$gui" "$@"
fi

if [ -x "$gui" ]; then
  echo "No display found (DISPLAY is not set): running valdrin-calc on the default network instead."
fi
if [ ! -x "$calc" ]; then
  echo "valdrin-calc is not built yet; nothing to run." >&2
  exit 1
fi
mkdir -p out
"$calc" --mode magnitude --output out/magnitude.dat --png out/magnitude.png "$@"
echo "Wrote out/magnitude.dat (minimum magnitude over the XY plane of the default network)"
echo "and out/magnitude.png (its map with the legend)."
