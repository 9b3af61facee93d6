#!/usr/bin/env bash
# Time from starting the program to its login window on the screen, from a fresh home (the
# first start), against a bare Qt dialog started and watched the same way. Both are found by
# their window title on a private Xvfb display. Usage: bench-startup.sh [BUILD_DIR] [ROUNDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-ci}
rounds=${2:-15}
ninja -C "$build" tessavel StartupBaseline >/dev/null

scratch=$(mktemp -d)
display=:$((200 + RANDOM % 200))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$scratch"' EXIT
export DISPLAY=$display
for _ in $(seq 200); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.05
done

# Milliseconds from start until a window titled $1 exists; the rest is the command.
time_to_window() {
    local title=$1
    shift
    local home
    home=$(mktemp -d "$scratch/home.XXXX")
    local t0 t1 pid
    t0=$(date +%s%N)
    env -i PATH="$PATH" DISPLAY="$DISPLAY" HOME="$home" LANG=C.UTF-8 XDG_CONFIG_HOME="$home/.config" \
        XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" "$@" >/dev/null 2>&1 &
    pid=$!
    local waited=0
    until xdotool search --name "^$title\$" >/dev/null 2>&1; do
        waited=$((waited + 1))
        if [ $waited -gt 6000 ] || ! kill -0 $pid 2>/dev/null; then
            echo "no window \"$title\" from $*" >&2
            kill $pid 2>/dev/null || true
            exit 1
        fi
    done
    t1=$(date +%s%N)
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
    echo $(((t1 - t0) / 1000000))
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

time_to_window "Startup Baseline" "$build/bench/StartupBaseline" >/dev/null # warm the file cache
time_to_window "Create the First Administrator" "$build/tessavel" >/dev/null
base=()
real=()
for _ in $(seq "$rounds"); do
    base+=("$(time_to_window "Startup Baseline" "$build/bench/StartupBaseline")")
    real+=("$(time_to_window "Create the First Administrator" "$build/tessavel")")
done
b=$(printf '%s\n' "${base[@]}" | median)
r=$(printf '%s\n' "${real[@]}" | median)
echo "start to window, median of $rounds: bare Qt dialog $b ms, Tessavel's login $r ms," \
    "ratio $(echo "scale=2; $r / $b" | bc)"
