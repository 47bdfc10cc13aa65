#!/bin/sh
# Takes docs/screenshot.png: the desktop program with samples/bunny.obj open,
# on a virtual X server (xvfb-run, ImageMagick's import, xwininfo). Builds
# nothing; build the kubelmar target first.
#
# Usage: scripts/screenshot.sh [BUILD_DIR]    (default: build)
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
program=$build/app/kubelmar
output=$root/docs/screenshot.png

if [ ! -x "$program" ]; then
    echo "screenshot.sh: $program not found; build the kubelmar target first" >&2
    exit 1
fi

# Runs on the virtual display: start the program, wait for its window (by
# title), give it a moment to draw, grab the window, close the program.
capture='
    "$1" "$2" >/dev/null 2>&1 &
    pid=$!
    tries=0
    until xwininfo -name Kubelmar >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 $pid 2>/dev/null; then
            echo "screenshot.sh: the window did not appear" >&2
            kill $pid 2>/dev/null
            exit 1
        fi
        sleep 0.2
    done
    sleep 2
    status=0
    import -window Kubelmar -depth 8 -strip "PNG24:$3" || status=$?
    kill $pid
    wait $pid 2>/dev/null || true
    exit $status
'
cd "$root"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 800x700x24" \
    sh -c "$capture" capture "$program" "$root/samples/bunny.obj" "$output"
echo "wrote $output"
