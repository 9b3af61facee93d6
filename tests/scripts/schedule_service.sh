#!/usr/bin/env bash
# The schedule service runs exactly the command line of its systemd unit: this runs that line
# (with the unit's %h and %i filled in) against an emulated projector that holds every upload
# for ten minutes, and stops it the way systemd does, with SIGTERM.
set -u
build=${1:?usage: schedule_service.sh BUILD_DIR}
build=$(cd "$build" && pwd)
unit="$(cd "$(dirname "$0")/../../packaging" && pwd)/tessavel-schedule@.service"

if [ "${TESSAVEL_SVC_NS:-}" != 1 ] && command -v unshare >/dev/null 2>&1 && unshare -n true 2>/dev/null; then
    exec unshare -n env TESSAVEL_SVC_NS=1 bash "$0" "$build"
fi
[ "${TESSAVEL_SVC_NS:-}" = 1 ] && ip link set lo up

work=$(mktemp -d)
# The client keeps a command history; this one stays in the scratch folder.
export XDG_DATA_HOME="$work/data"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export LC_ALL=C.UTF-8 LANG=C.UTF-8
fail=0
ok() { echo "ok   $1"; }
bad() { echo "FAIL $1"; fail=1; }
wait_for() { # wait_for SECONDS COMMAND...: true once COMMAND succeeds
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}

# The unit's command, for a home folder and an instance name.
exec_line() { # exec_line HOME NAME
    sed -n 's/^ExecStart=//p' "$unit" | sed -e "s|%h|$1|g" -e "s|%i|$2|g"
}
line=$(exec_line /home/op hall)
[ "$line" = "tessavelctl schedule run /home/op/.config/Tessavel/schedules/hall.sch --loop" ] \
    && ok unit-command || bad "unit-command: $line"
grep -q '^RestartPreventExitStatus=2$' "$unit" && ok unit-no-restart-on-bad-input || bad unit-no-restart-on-bad-input
grep -q '^StartLimitBurst=' "$unit" && ok unit-restart-limit || bad unit-restart-limit
# Alert lines lead with a syslog priority, which the journal must read rather than print.
grep -q '^StandardError=journal$' "$unit" && grep -q '^SyslogLevelPrefix=yes$' "$unit" \
    && ok unit-journal-priority || bad unit-journal-priority

home="$work/home"
mkdir -p "$home/.config/Tessavel/schedules"
run_unit() { # run_unit NAME: the unit's command with the build's tessavelctl, in the background
    read -r -a argv <<<"$(exec_line "$home" "$1")"
    argv[0]="$build/tessavelctl"
    HOME="$home" "${argv[@]}" >"$work/$1.out" 2>"$work/$1.err" &
    run=$!
    pids+=($run)
}

# A missing and a corrupt schedule end at once with status 2 and a readable line.
run_unit missing
wait $run; rc=$?
[ $rc = 2 ] && ok missing-status || bad "missing-status: $rc"
grep -q "missing.sch\" could not be read" "$work/missing.err" && ok missing-text || bad "missing-text: $(cat "$work/missing.err")"
printf 'not a schedule' >"$home/.config/Tessavel/schedules/corrupt.sch"
run_unit corrupt
wait $run; rc=$?
[ $rc = 2 ] && ok corrupt-status || bad "corrupt-status: $rc"
grep -q "corrupt.sch" "$work/corrupt.err" && ok corrupt-text || bad "corrupt-text: $(cat "$work/corrupt.err")"

# One entry to a projector that takes ten minutes to store each picture.
P=127.0.0.244
"$build/tessavel-emulator" --address $P --store-delay 600000 >/dev/null 2>&1 &
pids+=($!)
wait_for 30 bash -c "echo >/dev/tcp/$P/9716" 2>/dev/null || { echo "emulator on $P did not start"; exit 1; }
head -c 4000 /dev/urandom >"$work/pic.qv1"
python3 - "$home/.config/Tessavel/schedules/hall.sch" "$work/pic.qv1" $P <<'PY'
import struct, sys
path, image, addr = sys.argv[1:]
e = bytes(int(x) for x in addr.split("."))
e += image.encode().ljust(256, b"\0")
e += struct.pack("<5i", 1, 0, 0, 0, 0)
e += b"\0" * 256
open(path, "wb").write(struct.pack("<i", 1) + e + b"\0" * 536 * 29)
PY
cp "$home/.config/Tessavel/schedules/hall.sch" "$work/hall.before"

run_unit hall
if wait_for 60 grep -q "Executing" "$work/hall.out"; then ok upload-in-flight; else bad "upload-in-flight: $(cat "$work/hall.out" "$work/hall.err")"; fi
kill -TERM $run
# The upload would hold for ten minutes; a stop that abandons it ends long before.
if wait_for 60 bash -c "! kill -0 $run 2>/dev/null"; then ok stopped-by-sigterm; else bad stopped-by-sigterm; kill -9 $run; fi
wait $run; rc=$?
[ $rc = 0 ] && ok stop-status || bad "stop-status: $rc"
grep -q "The schedule was stopped" "$work/hall.out" && ok stop-line || bad "stop-line: $(cat "$work/hall.out")"
! grep -q "	Done\|	Failed" "$work/hall.out" && ok no-result-for-abandoned-upload || bad "no-result-for-abandoned-upload: $(cat "$work/hall.out")"
cmp -s "$work/hall.before" "$home/.config/Tessavel/schedules/hall.sch" && ok schedule-file-untouched || bad schedule-file-untouched
exit $fail
