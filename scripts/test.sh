#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (GL tests on a
# headless EGL context, GUI tests under Xvfb one at a time).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The benchmarks are built by scripts/build.sh and under the sanitizers
# (scripts/sanitize.sh); no test runs them.
scripts/build.sh -DKUBELMAR_BUILD_BENCH=OFF
cd build
ctest --output-on-failure -j2 --timeout 600
