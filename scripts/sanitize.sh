#!/usr/bin/env bash
# Builds with ASan + UBSan into build-sanitize/ (no desktop program; the
# benchmarks too, so that CI compiles them) and runs the core and GL tests there; the first report stops the test that made it
# and fails the run. Extra arguments go to the CMake configure step.
#
# Leaks: checked in the core tests. The GL tests run with leak checking off:
# Mesa (llvmpipe, EGL) keeps driver allocations until exit, which LSan would
# report as ours. The GUI tests stay out: Qt's start-up allocations are as
# noisy, and they add minutes under Xvfb for code the core and GL tests cover.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang-15 when it is there (the fuzz targets need it anyway): it builds
# this configuration in well under half the time GCC takes, and brings a
# second compiler's warnings. KUBELMAR_SANITIZE_CXX=g++ picks GCC.
cxx=${KUBELMAR_SANITIZE_CXX:-}
if [ -z "$cxx" ]; then
    cxx=g++
    command -v clang++-15 >/dev/null && cxx=clang++-15
fi
cc=gcc
[ "$cxx" = clang++-15 ] && cc=clang-15
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Sanitize \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DKUBELMAR_BUILD_GUI=OFF "$@" >/dev/null
cmake --build build-sanitize
cd build-sanitize
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The core tests take seconds. clang-15's ASan runtime is not fork-safe when
# other threads exist (OpenVDB's logging library starts a pool at load), and
# a batch test's forked worker has been seen, once in dozens of runs, to hang
# in the allocator: such a test is stopped after 120 s and run again.
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 ctest --output-on-failure -j2 --timeout 120 \
    --repeat after-timeout:2 -L core
ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 ctest --output-on-failure -j2 --timeout 900 -L gl
