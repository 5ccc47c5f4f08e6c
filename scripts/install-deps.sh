#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the screenshots need.
# Does nothing when every package is already there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev libgeographiclib-dev
  libpugixml-dev libnetcdf-dev
  clang libclang-rt-14-dev clang-format clang-tidy
  xvfb xauth poppler-utils librsvg2-bin
  desktop-file-utils appstream
  parallel
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
