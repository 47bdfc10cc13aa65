#!/usr/bin/env bash
# Configures and builds Kubelmar into build/ (Release), the Python module
# included (for Debian's /usr/bin/python3). Extra arguments go to the CMake
# configure step, e.g. -DKUBELMAR_BUILD_GUI=OFF or -DKUBELMAR_PYTHON=OFF.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKUBELMAR_PYTHON=ON -DPython_EXECUTABLE=/usr/bin/python3 -DKUBELMAR_BUILD_BENCH=ON "$@" >/dev/null
cmake --build build
