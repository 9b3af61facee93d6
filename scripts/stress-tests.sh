#!/usr/bin/env bash
# Runs the whole suite several times in a row, in the strict and the sanitizer build, with both
# cores kept busy by two busy loops: a test that depends on timing or arrival order shows here.
# Builds as scripts/test.sh does (run that once first). Usage: stress-tests.sh [ROUNDS]
# STRESS_BUILDS="build-asan" runs one build only; STRESS_LOADERS=0 leaves the load to other
# work already running (two fuzzers of scripts/fuzz.sh, say).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp"

builds=(${STRESS_BUILDS:-build-ci build-asan})
for dir in "${builds[@]}"; do
    [ -d "$dir" ] || { echo "missing $dir: run scripts/test.sh first" >&2; exit 2; }
    ninja -C "$dir" -j"$jobs" >/dev/null
done

loaders=()
stop_loaders() { for p in "${loaders[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap stop_loaders EXIT
for _ in $(seq "${STRESS_LOADERS:-2}"); do
    yes >/dev/null &
    loaders+=($!)
done

failed=0
for dir in "${builds[@]}"; do
    for round in $(seq "$rounds"); do
        echo "== $dir, round $round of $rounds, both cores loaded =="
        if ! (cd "$dir" && ctest --output-on-failure -j"$jobs" -E '^fuzz\.'); then
            failed=$((failed + 1))
        fi
    done
done
echo "stress rounds failed: $failed"
[ "$failed" = 0 ]
