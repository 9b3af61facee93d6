#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test: a strict build, a sanitizer build,
# and a short run of each fuzz target. This is what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== strict build (-Werror, _GLIBCXX_ASSERTIONS) =="
cmake -S . -B build-ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAVEL_WERROR=ON \
    -DCMAKE_CXX_FLAGS="-D_GLIBCXX_ASSERTIONS" >/dev/null
ninja -C build-ci -j"$jobs"
(cd build-ci && ctest --output-on-failure -j"$jobs")

echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DTESSAVEL_SANITIZE=ON -DTESSAVEL_BENCH=OFF >/dev/null
ninja -C build-asan -j"$jobs"
supp="$PWD/tests/sanitizers"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
[ -f "$supp/lsan.supp" ] && export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
(cd build-asan && ctest --output-on-failure -j"$jobs")

echo "== fuzz targets (bounded) =="
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTESSAVEL_FUZZ=ON -DTESSAVEL_SANITIZE=ON -DTESSAVEL_BENCH=OFF -DBUILD_TESTING=ON >/dev/null
fuzzers=$(find tests/fuzz -name 'fuzz_*.cpp' -exec basename {} .cpp \; | sort)
ninja -C build-fuzz -j"$jobs" $fuzzers
seconds=${FUZZ_SECONDS:-20}
passed=0
failed=0
for f in $fuzzers; do
    corpus="build-fuzz/corpus/$f"
    mkdir -p "$corpus"
    seeds="tests/fuzz/seeds/${f#fuzz_}"
    if (cd build-fuzz && "./tests/$f" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        "../$corpus" $( [ -d "$seeds" ] && echo "../$seeds" ) >"../$corpus.log" 2>&1); then
        passed=$((passed + 1))
        echo "fuzz $f: ok ($(grep -o 'stat::number_of_executed_units: [0-9]*' "$corpus.log" | tail -1 || true))"
    else
        failed=$((failed + 1))
        echo "fuzz $f: FAILED"; tail -40 "$corpus.log"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
