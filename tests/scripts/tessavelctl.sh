#!/usr/bin/env bash
# tessavelctl end to end against tessavel-emulator processes on loopback addresses. Runs in
# a network namespace of its own when it can, so its addresses clash with nothing.
set -u
build=${1:?usage: tessavelctl.sh BUILD_DIR}
build=$(cd "$build" && pwd)

if [ "${TESSAVEL_CTL_NS:-}" != 1 ] && command -v unshare >/dev/null 2>&1 && unshare -n true 2>/dev/null; then
    exec unshare -n env TESSAVEL_CTL_NS=1 bash "$0" "$build"
fi
[ "${TESSAVEL_CTL_NS:-}" = 1 ] && ip link set lo up

ctl="$build/tessavelctl"
work=$(mktemp -d)
# The command history goes into the scratch folder, never into the user's own.
export XDG_DATA_HOME="$work/data"
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
    for _ in $(seq 100); do (echo >"/dev/tcp/$1/9716") 2>/dev/null && return 0; sleep 0.05; done
    echo "emulator on $1 did not start"; exit 1
}

A=127.0.0.240 B=127.0.0.241 MUTE=127.0.0.242 NOBODY=127.0.0.243
C=127.0.0.244 D=127.0.0.245 E=127.0.0.246
emulator --address $A --password secret
emulator --address $B --store-delay 100
emulator --address $MUTE --never-reply
# Projectors the INI does not list, whose passwords come from a file, standard input and
# the command line.
printf 'not in the list\n' >"$work/cpw"
emulator --address $C --password-file "$work/cpw"
"$build/tessavel-emulator" --address $D --password - <"$work/cpw" >/dev/null 2>&1 &
pids+=($!)
"$build/tessavel-emulator" --address $E --password 'not in the list' >/dev/null 2>"$work/emulator-err" &
pids+=($!)
wait_port $A; wait_port $B; wait_port $MUTE; wait_port $C; wait_port $D; wait_port $E

ini="$work/tessavel.INI"
printf '[Projector List]\nCOUNT=2\nNAME-1=Hall\nMAC-1=00-1a-2b-3c-4d-5e\nIP-1=%s\nAUTH-1=1\nPASS-1=secret\nNAME-2=Lobby\nMAC-2=\nIP-2=%s\nAUTH-2=0\nPASS-2=\n' $A $B >"$ini"
head -c 130816 /dev/urandom >"$work/pic.qv1"

out=$("$ctl" --ini "$ini" list); check list 0 $?
contains list-rows "$out" "$A.Hall.00-1a-2b-3c-4d-5e"
out=$("$ctl" --ini "$ini" --json list); check list-json 0 $?
printf '%s' "$out" | python3 -c 'import json,sys; d=json.load(sys.stdin); assert [r["name"] for r in d]==["Hall","Lobby"] and d[0]["authentication"]' \
    && echo "ok   list-json-content" || { echo "FAIL list-json-content: $out"; fail=1; }

out=$("$ctl" --ini "$ini" info $A $B --store 1); check info-empty 0 $?
contains info-header "$out" "^IP Address +Code +File +Message$"
contains info-empty-line "$out" "^$A +1 "
out=$("$ctl" --ini "$ini" put "$work/pic.qv1" $A $B --store 2); check put 0 $?
contains put-lines "$out" "$B	0	"
out=$("$ctl" --ini "$ini" info $A $B --store 2); check info-image 0 $?
contains info-image-line "$out" "^$A +2 +pic.qv1 +130,816 bytes"
out=$("$ctl" --ini "$ini" --json info $B --store 2)
contains info-json "$out" '"file":"pic.qv1".*"length":"130816"'
out=$("$ctl" --ini "$ini" stat $B --store 2); check stat 0 $?
contains stat-line "$out" "^$B +0 +."
out=$("$ctl" --ini "$ini" cancel $B --store 2); check cancel-nothing-running 1 $?
out=$("$ctl" --ini "$ini" --json put "$work/pic.qv1" $A --store 3); check put-json 0 $?
contains put-json-text "$out" "\"address\":\"$A\",\"result\":0"

# Overrides: a wrong password is refused, a password for a projector that does not ask for
# one waits for a greeting in vain.
out=$("$ctl" --ini "$ini" --password wrong info $A --store 1 2>/dev/null); check wrong-password 1 $?
contains wrong-password-line "$out" "^$A +-1 "
"$ctl" --ini "$ini" --password secret info $B --store 1 >/dev/null 2>&1; check password-no-greeting 1 $?
"$ctl" --ini "$ini" --no-auth info $B --store 1 >/dev/null; check no-auth 0 $?

# Failures of projectors: exit 1.
"$ctl" --ini "$ini" --reply-timeout 300 info $MUTE --store 1 >/dev/null; check no-reply 1 $?
out=$("$ctl" --ini "$ini" --connect-timeout 500 info $NOBODY $B --store 1); check one-unreachable 1 $?
contains mixed-lines "$out" "^$B +1 "
"$ctl" --ini "$ini" put "$work/pic.qv1" $NOBODY --store 1 >/dev/null; check put-unreachable 1 $?

# Passwords kept out of the process list: from a file or standard input, first line only,
# a line end of either platform taken off. On the command line they still work, with a warning.
for p in $C $D $E; do
    "$ctl" --ini "$ini" --password-file "$work/cpw" info $p --store 1 >/dev/null 2>"$work/err"; check "password-file-$p" 0 $?
    [ -s "$work/err" ] && { echo "FAIL password-file-quiet: $(cat "$work/err")"; fail=1; } || echo "ok   password-file-quiet"
done
contains emulator-inline-warning "$(cat "$work/emulator-err")" "every user"
"$ctl" --ini "$ini" info $C --store 1 >/dev/null 2>&1; check password-needed 1 $?
printf 'not in the list\r\n' | "$ctl" --ini "$ini" --password - info $C --store 1 >/dev/null 2>"$work/err"
check password-stdin 0 $?
[ -s "$work/err" ] && { echo "FAIL password-stdin-quiet: $(cat "$work/err")"; fail=1; } || echo "ok   password-stdin-quiet"
printf 'not in the list' | "$ctl" --ini "$ini" --password - info $C --store 1 >/dev/null 2>&1; check password-stdin-no-newline 0 $?
printf 'wrong\nnot in the list\n' | "$ctl" --ini "$ini" --password - info $C --store 1 >/dev/null 2>&1
check password-stdin-first-line 1 $?
err=$("$ctl" --ini "$ini" --password 'not in the list' info $C --store 1 2>&1 >/dev/null); check password-inline 0 $?
contains password-inline-warning "$err" "process list"
err=$("$ctl" --ini "$ini" --password-file "$work/none" info $C --store 1 2>&1); check password-file-missing 2 $?
contains password-file-missing-text "$err" "could not be read from .*none"
: >"$work/empty"
"$ctl" --ini "$ini" --password-file "$work/empty" info $C --store 1 >/dev/null 2>&1; check password-file-empty 2 $?
"$ctl" --ini "$ini" --password - info $C --store 1 </dev/null >/dev/null 2>&1; check password-stdin-empty 2 $?
"$ctl" --ini "$ini" --password-file "$work/cpw" --password - list </dev/null >/dev/null 2>&1; check password-twice 2 $?
"$ctl" --ini "$ini" --password-file "$work/cpw" --no-auth list >/dev/null 2>&1; check password-file-no-auth 2 $?
"$build/tessavel-emulator" --address 127.0.0.247 --password-file "$work/none" >/dev/null 2>&1; check emulator-password-missing 2 $?

# Bad usage and unreadable input: exit 2.
"$ctl" --ini "$ini" info 300.1.1.1 --store 1 2>/dev/null; check bad-address 2 $?
"$ctl" --ini "$ini" info $A 2>/dev/null; check missing-store 2 $?
"$ctl" --ini "$ini" info $A --store 5 2>/dev/null; check info-store-5 2 $?
"$ctl" --ini "$ini" stat $A --store 9 2>/dev/null; check stat-store-9 2 $?
"$ctl" --ini "$ini" info --store 1 2>/dev/null; check no-address 2 $?
"$ctl" --ini "$ini" frobnicate 2>/dev/null; check unknown-command 2 $?
"$ctl" --ini "$ini" convert x.png 2>/dev/null; check convert-missing-output 2 $?
"$ctl" --ini "$ini" --password a --no-auth list 2>/dev/null; check auth-conflict 2 $?
"$ctl" --ini "$work" list 2>/dev/null; check unreadable-ini 2 $?
"$ctl" --ini "$ini" put "$work/none.qv1" $A --store 1 2>/dev/null; check unreadable-file 2 $?
"$ctl" schedule run "$work/none.sch" 2>/dev/null; check unreadable-schedule 2 $?

# Schedules: a file of 30 slots; entry 2 goes to nobody and fails.
mksch() { # mksch FILE INTERVAL ADDRESS...
    python3 - "$@" "$work/pic.qv1" <<'PY'
import struct, sys
path, interval, *addrs, image = sys.argv[1:]
slots = []
for a in addrs:
    e = bytes(int(x) for x in a.split("."))
    e += image.encode().ljust(256, b"\0")
    e += struct.pack("<5i", 1, int(interval), 0, 0, 0)
    e += b"\0" * 256
    slots.append(e)
slots += [b"\0" * 536] * (30 - len(slots))
open(path, "wb").write(struct.pack("<i", len(addrs)) + b"".join(slots))
PY
}
mksch "$work/two.sch" 0 $B $NOBODY
out=$("$ctl" --connect-timeout 500 schedule run "$work/two.sch"); check schedule-failure 1 $?
contains schedule-done "$out" "^1	$B	.*pic.qv1	Done"
contains schedule-failed "$out" "^2	$NOBODY	.*Failed"
contains schedule-ended "$out" "The schedule has ended"

# A password longer than an entry holds is refused, never cut.
head -c 256 /dev/zero | tr '\0' p >"$work/longpw"
err=$("$ctl" --password-file "$work/longpw" schedule run "$work/two.sch" 2>&1 >/dev/null); check schedule-long-password 2 $?
contains schedule-long-password-text "$err" "256 bytes"

# Ctrl+C stops a looping schedule the way Stop does.
mksch "$work/loop.sch" 0 $B
"$ctl" schedule run "$work/loop.sch" --loop >"$work/loop.out" 2>&1 &
run=$!
sleep 1
kill -INT $run
for _ in $(seq 100); do kill -0 $run 2>/dev/null || break; sleep 0.05; done
if kill -0 $run 2>/dev/null; then echo "FAIL ctrl-c: still running"; kill $run; fail=1; fi
wait $run; check ctrl-c-exit 0 $?
out=$(cat "$work/loop.out")
contains ctrl-c-stopped "$out" "The schedule was stopped"
[ "$(grep -c '	Done' "$work/loop.out")" -ge 2 ] && echo "ok   loop-repeats" || { echo "FAIL loop-repeats: $out"; fail=1; }

# One-minute intervals with a short step, and JSON lines.
mksch "$work/wait.sch" 1 $B
out=$("$ctl" --json --step-ms 5 schedule run "$work/wait.sch"); check schedule-interval 0 $?
contains schedule-json "$out" '"entry":1.*"status":2'

# Verify and retry come from the side file beside the schedule, which stays as it was.
DROP=127.0.0.247 # answers PUT 0 and keeps nothing
emulator --address $DROP --drop-uploads
wait_port $DROP
mksch "$work/drop.sch" 0 $DROP
cp "$work/drop.sch" "$work/drop.before"
out=$("$ctl" schedule run "$work/drop.sch"); check options-off-by-default 0 $?
printf 'verify=on\nretry=on\n' >"$work/drop.sch.options"
out=$("$ctl" --step-ms 5 schedule run "$work/drop.sch"); check options-verify-fails 1 $?
[ "$(grep -c '	Failed' <<<"$out")" = 4 ] && echo "ok   options-retried" || { echo "FAIL options-retried: $out"; fail=1; }
cmp -s "$work/drop.sch" "$work/drop.before" && echo "ok   options-schedule-untouched" || { echo "FAIL options-schedule-untouched"; fail=1; }
printf 'verify=perhaps\n' >"$work/drop.sch.options"
err=$("$ctl" schedule run "$work/drop.sch" 2>&1 >/dev/null); check options-garbled-runs-plain 0 $?
contains options-garbled-text "$err" "drop.sch.options.*not understood"

# convert: a picture made by the emulator-free path, then sent to a projector.
printf 'P6\n64 48\n255\n' >"$work/p.ppm"; head -c $((64 * 48 * 3)) /dev/urandom >>"$work/p.ppm"
"$ctl" convert "$work/p.ppm" "$work/p.qv1" >/dev/null 2>&1; check convert 0 $?
[ "$(head -c 3 "$work/p.qv1")" = GIF ] && echo "ok   convert-gif" || { echo "FAIL convert-gif"; fail=1; }
"$ctl" convert "$work/p.ppm" "$work/p.gif" >/dev/null 2>&1; check convert-needs-qv1 2 $?
"$ctl" convert >/dev/null 2>&1; check convert-usage 2 $?

# projector import|export: a CSV round trip through a list of its own, owner-only export.
pini="$work/csv.INI"
printf 'name,mac,ip,authentication,password\n"Hall, east",00-1a-2b-3c-4d-5e,10.0.1.5,1,"p,w"\nBad,,10.0.1.256,0,\n' >"$work/in.csv"
out=$("$ctl" --ini "$pini" projector import "$work/in.csv" 2>&1); check csv-import-partly 1 $?
contains csv-import-counts "$out" "1 rows imported, 1 rows refused"
out=$("$ctl" --ini "$pini" projector export "$work/out.csv"); check csv-export 0 $?
[ "$(stat -c %a "$work/out.csv")" = 600 ] && echo "ok   csv-export-mode" || { echo "FAIL csv-export-mode"; fail=1; }
contains csv-export-row "$(cat "$work/out.csv")" '"Hall, east",00-1a-2b-3c-4d-5e,10.0.1.5,1,"p,w"'
out=$("$ctl" --ini "$pini" projector import "$work/out.csv"); check csv-reimport 0 $?
[ "$(grep -c '^NAME-' "$pini")" = 1 ] && echo "ok   csv-reimport-replaces" || { echo "FAIL csv-reimport-replaces"; fail=1; }
head -c 3000 /dev/urandom >"$work/junk.csv"
"$ctl" --ini "$pini" projector import "$work/junk.csv" >/dev/null 2>&1; check csv-junk 2 $?
"$ctl" projector frob x >/dev/null 2>&1; check csv-usage 2 $?

exit $fail
