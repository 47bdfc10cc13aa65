#!/bin/sh
# Takes docs/screenshot.png (the desktop program: a coloured copy of
# samples/bunny.obj, lit and turned, saved at 128 with the Result panel
# open) and docs/preview.png (that volume's preview picture, as
# kubelmar-cli --preview writes it), on a virtual X server (xvfb-run).
# Builds the kubelmar_screenshot helper in BUILD_DIR first.
#
# Usage: scripts/screenshot.sh [BUILD_DIR]    (default: build)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac

cmake --build "$build" --target kubelmar_screenshot
cd "$root"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/app/kubelmar_screenshot" samples/bunny.obj docs/screenshot.png docs/preview.png >/dev/null
echo "wrote docs/screenshot.png and docs/preview.png"
