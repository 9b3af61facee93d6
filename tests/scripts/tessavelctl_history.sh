#!/usr/bin/env bash
# tessavelctl's command history end to end: commands record into it, `history` reads it back,
# and a damaged or unwritable history never stops a command.
set -u
build=${1:?usage: tessavelctl_history.sh BUILD_DIR}
build=$(cd "$build" && pwd)

if [ "${TESSAVEL_CTL_NS:-}" != 1 ] && command -v unshare >/dev/null 2>&1 && unshare -n true 2>/dev/null; then
    exec unshare -n env TESSAVEL_CTL_NS=1 bash "$0" "$build"
fi
[ "${TESSAVEL_CTL_NS:-}" = 1 ] && ip link set lo up

ctl="$build/tessavelctl"
work=$(mktemp -d)
export XDG_DATA_HOME="$work/data"
db="$XDG_DATA_HOME/Tessavel/Tessavel/history.sqlite"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail=0
check() { # check NAME EXPECTED_RC ACTUAL_RC
    if [ "$2" != "$3" ]; then echo "FAIL $1: exit $3, expected $2"; fail=1; else echo "ok   $1"; fi
}
contains() { # contains NAME TEXT PATTERN
    if printf '%s' "$2" | grep -qE "$3"; then echo "ok   $1"; else echo "FAIL $1: no /$3/ in: $2"; fail=1; fi
}
emulator() {
    "$build/tessavel-emulator" "$@" >/dev/null 2>&1 &
    pids+=($!)
}
wait_port() {
    for _ in $(seq 400); do (echo >"/dev/tcp/$1/9716") 2>/dev/null && return 0; sleep 0.05; done
    echo "emulator on $1 did not start"; exit 1
}

A=127.0.0.230 B=127.0.0.231
emulator --address $A --password hushhush
emulator --address $B
wait_port $A; wait_port $B

ini="$work/tessavel.INI"
printf '[Projector List]\nCOUNT=2\nNAME-1=Hall\nMAC-1=00-1a-2b-3c-4d-5e\nIP-1=%s\nAUTH-1=1\nPASS-1=hushhush\nNAME-2=Lobby\nMAC-2=\nIP-2=%s\nAUTH-2=0\nPASS-2=\n' $A $B >"$ini"
head -c 20000 /dev/urandom >"$work/pic.qv1"
sum=$(sha256sum "$work/pic.qv1" | cut -d' ' -f1)

out=$("$ctl" history); check empty-history 0 $?
[ -z "$out" ] && echo "ok   empty-history-no-rows" || { echo "FAIL empty-history-no-rows: $out"; fail=1; }

"$ctl" --ini "$ini" put "$work/pic.qv1" $A $B --store 2 >/dev/null; check put 0 $?
"$ctl" --ini "$ini" info $A --store 2 >/dev/null; check info 0 $?
"$ctl" --ini "$ini" stat $B --store 2 >/dev/null; check stat 0 $?
# Two processes writing at once.
"$ctl" --ini "$ini" put "$work/pic.qv1" $A --store 3 >/dev/null & one=$!
"$ctl" --ini "$ini" put "$work/pic.qv1" $B --store 3 >/dev/null & two=$!
wait $one; check parallel-put-1 0 $?
wait $two; check parallel-put-2 0 $?

out=$("$ctl" history); check history 0 $?
[ "$(printf '%s\n' "$out" | grep -c .)" = 6 ] && echo "ok   six-records" || { echo "FAIL six-records: $out"; fail=1; }
contains newest-first "$(printf '%s\n' "$out" | tail -n 2 | head -n 1)" "	PUT	2	pic.qv1	0	"
contains named "$out" "	Hall	$A	INFO	2	"
out=$("$ctl" history --projector $B --json); check history-json 0 $?
printf '%s' "$out" | python3 -c '
import json, sys
rows = json.load(sys.stdin)
assert len(rows) == 3, rows
assert all(r["address"] == sys.argv[1] and r["name"] == "Lobby" for r in rows)
puts = [r for r in rows if r["command"] == "PUT"]
assert len(puts) == 2 and all(r["sha256"] == sys.argv[2] and r["length"] == 20000 and r["ok"] for r in puts), puts
assert rows[0]["time"] >= rows[-1]["time"]
' $B "$sum" && echo "ok   history-json-content" || { echo "FAIL history-json-content: $out"; fail=1; }
out=$("$ctl" history --since 2999-01-01); check history-future 0 $?
[ -z "$out" ] && echo "ok   since-filters" || { echo "FAIL since-filters: $out"; fail=1; }
"$ctl" history --since yesterday 2>/dev/null; check bad-date 2 $?
"$ctl" history --projector 300.0.0.1 2>/dev/null; check bad-projector 2 $?
"$ctl" history --colour 2>/dev/null; check unknown-option 2 $?
if grep -a -q hushhush "$db"* ; then echo "FAIL no-password: the password is in the history"; fail=1; else echo "ok   no-password"; fi

# A damaged history: the command runs, the user is told once, a new file is begun.
head -c 8192 /dev/urandom >"$db"; rm -f "$db-wal" "$db-shm"
err=$("$ctl" --ini "$ini" info $B --store 2 2>&1 >/dev/null); check info-damaged-history 0 $?
contains told-damaged "$err" "set aside"
[ "$(printf '%s\n' "$err" | grep -c .)" = 1 ] && echo "ok   told-once" || { echo "FAIL told-once: $err"; fail=1; }
ls "$db".damaged-* >/dev/null 2>&1 && echo "ok   set-aside" || { echo "FAIL set-aside"; fail=1; }
out=$("$ctl" history); check history-after-damage 0 $?
[ "$(printf '%s\n' "$out" | grep -c .)" = 1 ] && echo "ok   new-history" || { echo "FAIL new-history: $out"; fail=1; }

# A schedule run records each upload as a PUT with its file.
python3 - "$work/one.sch" $B "$work/pic.qv1" <<'PY'
import struct, sys
path, addr, image = sys.argv[1:]
e = bytes(int(x) for x in addr.split(".")) + image.encode().ljust(256, b"\0")
e += struct.pack("<5i", 1, 0, 0, 0, 0) + b"\0" * 256
open(path, "wb").write(struct.pack("<i", 1) + e + b"\0" * 536 * 29)
PY
"$ctl" --ini "$ini" schedule run "$work/one.sch" >/dev/null; check schedule-run 0 $?
out=$("$ctl" history --json)
printf '%s' "$out" | python3 -c '
import json, sys
rows = json.load(sys.stdin)
assert len(rows) == 2, rows
r = rows[0]
assert r["command"] == "PUT" and r["store"] == 1 and r["ok"] and r["name"] == "Lobby" and r["sha256"] == sys.argv[1], r
' "$sum" && echo "ok   schedule-recorded" || { echo "FAIL schedule-recorded: $out"; fail=1; }

# status: the board's view; B holds pic.qv1 in stores 1 to 3 by now, A needs its password.
NOBODY=127.0.0.232
out=$("$ctl" --ini "$ini" status); check status-all 0 $?
contains status-header "$out" "^IP Address +Projector +State +Last seen +Store 1 +Store 2 +Store 3 +Store 4 +Reason$"
contains status-a "$out" "^$A +Hall +Reachable +[0-9-]+T[0-9:]+ +Empty +pic.qv1 \\(20,000 bytes\\) +pic.qv1 \\(20,000 bytes\\) +Empty *$"
contains status-b "$out" "^$B +Lobby +Reachable +.* +pic.qv1 \\(20,000 bytes\\) +pic.qv1 \\(20,000 bytes\\) +pic.qv1 \\(20,000 bytes\\) +Empty *$"
out=$("$ctl" --ini "$ini" --json status $B $NOBODY); check status-unreachable 1 $?
printf '%s' "$out" | python3 -c '
import json, sys
rows = json.load(sys.stdin)
assert [r["address"] for r in rows] == sys.argv[1:3], rows
assert rows[0]["reachable"] and rows[0]["stores"][0] == {"result": 2, "file": "pic.qv1", "length": "20000"}, rows[0]
assert not rows[1]["reachable"] and rows[1]["reason"] and rows[1]["last_seen"] == "", rows[1]
' $B $NOBODY && echo "ok   status-json" || { echo "FAIL status-json: $out"; fail=1; }
"$ctl" --ini "$ini" --password wrong status $A >/dev/null; check status-refused 1 $?

# A data folder that cannot exist: still a working command.
: >"$work/blocker"
err=$(XDG_DATA_HOME="$work/blocker" "$ctl" --ini "$ini" put "$work/pic.qv1" $B --store 4 2>&1 >/dev/null); check put-unwritable 0 $?
contains told-unwritable "$err" "could not be written"

exit $fail
