#!/usr/bin/env bash
# Every program answers --version and --help alone, refuses them mixed with other
# arguments, and the desktop program explains a missing display instead of aborting. Runs
# in a network namespace of its own when it can, so no display server of this machine is
# reachable and the display check cannot meet a real one.
set -u
build=${1:?usage: command_line.sh BUILD_DIR}
build=$(cd "$build" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

if [ "${TESSAVEL_CLI_NS:-}" != 1 ] && command -v unshare >/dev/null 2>&1 && unshare -n true 2>/dev/null; then
    exec unshare -n env TESSAVEL_CLI_NS=1 bash "$0" "$build"
fi

work=$(mktemp -d)
# The client keeps a command history; this one stays in the scratch folder.
export XDG_DATA_HOME="$work/data"
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export HOME="$work" XDG_CONFIG_HOME="$work/config" LC_ALL=C.UTF-8 LANG=C.UTF-8
fail=0
run() { # run NAME EXPECTED_RC PROGRAM ARGS...: output in $out and $err
    local name=$1 want=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local rc=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
    if [ "$rc" != "$want" ]; then echo "FAIL $name: exit $rc, expected $want; stderr: $err"; fail=1; else echo "ok   $name"; fi
}
contains() { # contains NAME TEXT PATTERN
    if printf '%s' "$2" | grep -qE -e "$3"; then echo "ok   $1"; else echo "FAIL $1: no /$3/ in: $2"; fail=1; fi
}
empty() { # empty NAME TEXT
    if [ -z "$2" ]; then echo "ok   $1"; else echo "FAIL $1: expected nothing, got: $2"; fail=1; fi
}

version=$(sed -n 's/^project(Tessavel VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$version" ] || { echo "FAIL: no project version found"; exit 1; }

for prog in tessavel tessavelctl tessavel-emulator Fennick; do
    # Without any display: --version and --help must not need one.
    run "$prog-version" 0 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/$prog" --version
    [ "$out" = "$prog $version" ] && echo "ok   $prog-version-text" || { echo "FAIL $prog-version-text: '$out'"; fail=1; }
    empty "$prog-version-quiet" "$err"
    run "$prog-help" 0 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/$prog" --help
    contains "$prog-help-text" "$out" "--version"
    empty "$prog-help-quiet" "$err"
    run "$prog-version-mixed" 2 env -u DISPLAY "$build/$prog" --version list
    contains "$prog-version-mixed-text" "$err" "--version cannot be combined"
    empty "$prog-version-mixed-stdout" "$out"
done
run tessavelctl-help-mixed 2 "$build/tessavelctl" info --help
contains tessavelctl-help-mixed-usage "$err" "Usage: tessavelctl"

# The desktop program: unknown options and two files are usage errors, after Qt took its own.
run tessavel-unknown-option 2 env QT_QPA_PLATFORM=offscreen "$build/tessavel" --frobnicate
contains tessavel-unknown-option-text "$err" 'Unknown option "--frobnicate"'
run tessavel-two-files 2 env QT_QPA_PLATFORM=offscreen "$build/tessavel" a.png b.png
contains tessavel-two-files-text "$err" "Only one file"
run tessavel-no-display 1 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$build/tessavel"
contains tessavel-no-display-text "$err" "No display was found"

# A display that is named but not there: Qt gives up, the program says why and exits 1,
# not with Qt's abort (134).
free=""
for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then free=$n; break; fi
done
if [ "${TESSAVEL_CLI_NS:-}" = 1 ] && [ -n "$free" ]; then
    run tessavel-display-gone 1 env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=":$free" "$build/tessavel"
    contains tessavel-display-gone-text "$err" "The display could not be opened"
    [ ! -e "$work/core" ] && echo "ok   tessavel-display-gone-no-core" || { echo "FAIL tessavel-display-gone-no-core"; fail=1; }
else
    echo "skip tessavel-display-gone: no namespace of its own or no free display number"
fi
exit $fail
