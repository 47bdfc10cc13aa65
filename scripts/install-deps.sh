#!/usr/bin/env bash
# Installs the Debian 12 packages Kubelmar builds and tests with; only what is
# missing. Needs root (or sudo). clang-15 and its libFuzzer runtime
# (libclang-common-15-dev) build the fuzz targets; llvm-15 symbolizes their
# reports. lld links the sixty-odd programs several times faster than ld. The Python packages build and test the module (python/).
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config lld
  libgtest-dev libgmock-dev
  libpng-dev zlib1g-dev
  libopenvdb-dev libboost-iostreams-dev
  libstb-dev libassimp-dev
  libcli11-dev nlohmann-json3-dev
  libgl-dev libopengl-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libglx-mesa0
  qt6-base-dev libqt6opengl6-dev
  xvfb xauth
  pybind11-dev python3-dev python3-numpy python3-pytest python3-setuptools python3-wheel
  clang-15 libclang-common-15-dev llvm-15
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All build packages present."
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
