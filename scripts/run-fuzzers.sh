#!/usr/bin/env bash
# Runs every fuzz target of a -DTESSAVEL_FUZZ=ON build for a bounded time each, starting from
# the seeds in tests/fuzz/corpus. Usage: run-fuzzers.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:?usage: run-fuzzers.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
here=$(cd "$(dirname "$0")/.." && pwd)
status=0
for src in "$here"/tests/fuzz/*.cpp; do
    name=$(basename "$src" .cpp)
    bin="$build/tests/$name"
    [ -x "$bin" ] || { echo "missing $bin" >&2; status=1; continue; }
    corpus=$(mktemp -d)
    cp "$here/tests/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
    echo "== $name for ${seconds}s"
    "$bin" -max_total_time="$seconds" -max_len=4096 "$corpus" || status=1
    rm -rf "$corpus"
done
exit $status
