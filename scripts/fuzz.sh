#!/usr/bin/env bash
# Explores with every fuzz target for MINUTES each (default 10), two at a time, under the
# memory limits CI replays with, and prints runs per second, coverage and findings. Not part
# of CI: what exploration finds is mended, then its input goes into tests/fuzz/corpus/TARGET/
# where CI replays it. Usage: scripts/fuzz.sh [MINUTES] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
shift || true
build=build-fuzz
cmake --preset fuzz >/dev/null
if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets < <(find tests/fuzz -maxdepth 1 -name 'fuzz_*.cpp' -exec basename {} .cpp \; | sort)
fi
cmake --build --preset fuzz --target "${targets[@]}" >/dev/null

out="$build/exploration"
mkdir -p "$out"
explore() {
    local name=$1 seed=$1
    [ "$name" = fuzz_schedule_file ] && seed=fuzz_schedule_loader
    local corpus="$out/corpus-$name" log="$out/$name.log"
    mkdir -p "$corpus" "$out/findings-$name"
    local seeds=()
    [ -d "tests/fuzz/corpus/$seed" ] && seeds=("tests/fuzz/corpus/$seed")
    # A finding does not end the run: -fork keeps exploring and keeps every crash it meets.
    "$build/tests/$name" -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
        -max_total_time=$((minutes * 60)) -rss_limit_mb=512 -malloc_limit_mb=256 -timeout=20 \
        -artifact_prefix="$out/findings-$name/" "$corpus" "${seeds[@]}" >"$log" 2>&1 || true
}
summary() {
    local name=$1 log="$out/$1.log"
    local execs cov findings
    execs=$(grep -oE 'exec/s:? [0-9]+' "$log" | tail -1 | awk '{print $2}')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    findings=$(find "$out/findings-$name" -type f | wc -l)
    printf '%-24s %10s runs/s %8s edges %4s findings\n' "$name" "${execs:-?}" "${cov:-?}" "$findings"
}

echo "exploring ${#targets[@]} targets for $minutes minutes each, two at a time; logs in $out"
pending=("${targets[@]}")
while [ ${#pending[@]} -gt 0 ]; do
    explore "${pending[0]}" &
    first=$!
    if [ ${#pending[@]} -gt 1 ]; then
        explore "${pending[1]}" &
        wait "$!"
    fi
    wait "$first"
    pending=("${pending[@]:2}")
done
total=0
for t in "${targets[@]}"; do
    summary "$t"
    total=$((total + $(find "$out/findings-$t" -type f | wc -l)))
done
echo "findings: $total (inputs under $out/findings-*)"
[ "$total" -eq 0 ]
