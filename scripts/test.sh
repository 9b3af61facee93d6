#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs every test: a strict build with its Debian
# package, and a sanitizer build that also replays each fuzz target over its seeds. This is
# what CI runs.
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

# The sanitizer build also holds the fuzz targets: each replays its seeds and past findings once.
echo "== AddressSanitizer + UndefinedBehaviorSanitizer, and the fuzz targets over their seeds =="
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -j"$jobs"
ctest --preset sanitize -j"$jobs"
