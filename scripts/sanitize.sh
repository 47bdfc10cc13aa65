#!/usr/bin/env bash
# Builds with ASan + UBSan into build-sanitize/ and runs the tests there.
# Leak checking is off: Mesa and Qt keep allocations alive until exit.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Sanitize "$@" >/dev/null
cmake --build build-sanitize
cd build-sanitize
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j2 --timeout 900
