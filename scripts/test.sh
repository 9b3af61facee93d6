#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test: a strict build with its Debian
# package, a sanitizer build, and each fuzz target over its seeds. This is what CI runs.
# Fuzz exploration runs apart from this: scripts/fuzz.sh MINUTES.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== format: every C++ file as .clang-format writes it =="
bash scripts/check-format.sh

echo "== strict build (-Werror, _GLIBCXX_ASSERTIONS) =="
cmake --preset strict >/dev/null
cmake --build --preset strict -j"$jobs"
ctest --preset strict -j"$jobs"

echo "== Debian package: build, lintian, install, smoke checks on the installed files =="
bash scripts/package-check.sh build-ci

echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"

echo "== fuzz targets: every seed and past finding, once =="
cmake --preset fuzz >/dev/null
fuzzers=$(find tests/fuzz -maxdepth 1 -name 'fuzz_*.cpp' -exec basename {} .cpp \; | sort)
# shellcheck disable=SC2086
cmake --build --preset fuzz -j"$jobs" --target $fuzzers
ctest --preset fuzz -j"$jobs"
