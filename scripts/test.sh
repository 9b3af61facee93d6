#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test: a strict build with its Debian
# package, a sanitizer build, and each fuzz target over its seeds. This is what CI runs.
# Fuzz exploration runs apart from this: scripts/fuzz.sh MINUTES.
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

echo "== Debian package: build, lintian, install, smoke checks on the installed files =="
bash scripts/package-check.sh build-ci

echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DTESSAVEL_SANITIZE=ON -DTESSAVEL_BENCH=OFF >/dev/null
ninja -C build-asan -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
[ -f tests/lsan.supp ] && export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
(cd build-asan && ctest --output-on-failure -j"$jobs")

echo "== fuzz targets: every seed and past finding, once =="
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DTESSAVEL_FUZZ=ON -DTESSAVEL_SANITIZE=ON -DTESSAVEL_BENCH=OFF >/dev/null
fuzzers=$(find tests/fuzz -maxdepth 1 -name 'fuzz_*.cpp' -exec basename {} .cpp \; | sort)
ninja -C build-fuzz -j"$jobs" $fuzzers
(cd build-fuzz && ctest --output-on-failure -j"$jobs" -R '^fuzz\.')
