#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-15 (ASan + UBSan) into build-fuzz/
# and runs each for SECONDS (default 60), all at once. Starts from the
# committed seeds in fuzz/corpus/<target>; what the fuzzer adds goes to
# build-fuzz/corpus/<target>, crash inputs to build-fuzz/crashes/.
# Exits non-zero when a target finds a crash, a hang or a sanitizer report.
#
# Usage: scripts/fuzz.sh [SECONDS]
#        scripts/fuzz.sh replay
#   replay: each target once over its committed seeds and the inputs that
#   once failed (fuzz/regressions/), nothing new: what CI runs, since fresh
#   fuzzing finds faults in the third-party decoders at random moments.
#   FUZZ_TARGETS="fuzz_obj"  runs only the named targets.
#   FUZZ_BUILD_DIR=dir       builds elsewhere (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}
targets=${FUZZ_TARGETS:-fuzz_obj fuzz_mtl fuzz_cli_options fuzz_stl fuzz_ply fuzz_off fuzz_gltf fuzz_3mf fuzz_texture}

if ! command -v clang++-15 >/dev/null; then
    echo "fuzz.sh: clang++-15 not found (apt-get install clang-15 libclang-common-15-dev)" >&2
    exit 2
fi

flags="-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_C_COMPILER=clang-15 -DCMAKE_CXX_COMPILER=clang++-15 \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DKUBELMAR_BUILD_FUZZERS=ON -DKUBELMAR_BUILD_GUI=OFF \
    -DKUBELMAR_BUILD_TESTS=OFF -DKUBELMAR_BUILD_BENCH=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" --target $targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0}
command -v llvm-symbolizer-15 >/dev/null && export ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer-15)

if [ "$seconds" = replay ]; then
    status=0
    for target in $targets; do
        dirs=(fuzz/corpus/${target#fuzz_})
        [ -d fuzz/regressions/${target#fuzz_} ] && dirs+=(fuzz/regressions/${target#fuzz_})
        if "$build/fuzz/$target" -runs=0 -rss_limit_mb=2048 -timeout=30 "${dirs[@]}" >"$build/$target.log" 2>&1; then
            echo "== $target: $(grep -cE '' <(ls "${dirs[@]}")) inputs replayed"
        else
            tail -n 60 "$build/$target.log" >&2
            echo "fuzz.sh: $target FAILED on a committed input" >&2
            status=1
        fi
    done
    exit $status
fi

# The targets run side by side, each for SECONDS of wall time: on 2 cores
# three at once get about two thirds of a core each, and CI waits SECONDS
# instead of three times that.
pids=()
for target in $targets; do
    seeds=fuzz/corpus/${target#fuzz_}
    dict=fuzz/${target#fuzz_}.dict
    work=$build/corpus/$target
    mkdir -p "$work" "$build/crashes"
    echo "== $target for ${seconds}s (log: $build/$target.log)"
    # 64 KiB inputs reach long lines and big polygons; 10 s per input is a hang.
    "$build/fuzz/$target" "$work" "$seeds" -dict="$dict" \
        -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$build/crashes/$target-" -print_final_stats=1 >"$build/$target.log" 2>&1 &
    pids+=($!)
done

status=0
i=0
for target in $targets; do
    if wait "${pids[$i]}"; then
        echo "== $target: $(grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$target.log" | tr '\n' ' ')$(grep -E '^#[0-9]+ *DONE' "$build/$target.log" | tail -1)"
    else
        tail -n 60 "$build/$target.log" >&2
        echo "fuzz.sh: $target FAILED; input saved under $build/crashes/" >&2
        status=1
    fi
    i=$((i + 1))
done
exit $status
