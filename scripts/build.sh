#!/usr/bin/env bash
# Configures and builds Kubelmar into build/ (Release). Extra arguments go to
# the CMake configure step, e.g. -DKUBELMAR_BUILD_GUI=OFF.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build build
