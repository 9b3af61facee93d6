#!/usr/bin/env bash
# Multicast discovery end to end, only inside a private network namespace made here: the
# search datagram never reaches a real interface. Exit 77 (skipped) without namespaces.
set -u
build=${1:?usage: discovery_netns.sh BUILD_DIR}
build=$(cd "$build" && pwd)

if [ "${TESSAVEL_IN_NETNS:-}" != 1 ]; then
    command -v unshare >/dev/null 2>&1 || exit 77
    unshare -n true 2>/dev/null || exit 77
    exec unshare -n env TESSAVEL_IN_NETNS=1 bash "$0" "$build"
fi

ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo || exit 77
# Nothing but loopback may be visible here.
if [ "$(ip -o link show | grep -vc ': lo:')" != 0 ]; then
    echo "refusing: more than loopback in the namespace" >&2
    exit 1
fi

fail=0
TESSAVEL_NETNS=1 "$build/tests/tessavel_core_tests" --gtest_filter='DiscoveryNetns.*' || fail=1
# The Discovery dialog: search, the list state column and Register, with three emulators.
QT_QPA_PLATFORM=offscreen TESSAVEL_NETNS=1 "$build/tests/tessavel_gui_tests" \
    --gtest_filter='DiscoveryDialogNetns.*' || fail=1

# The programs: an emulator answering searches, and the client's discover command.
"$build/tessavel-emulator" --address 127.0.0.2 --name "Lobby" --mac 00-11-22-33-44-55 \
    --discovery 127.0.0.1 >/dev/null 2>&1 &
emu=$!
for _ in $(seq 50); do
    (echo >/dev/tcp/127.0.0.2/9716) 2>/dev/null && break
    sleep 0.1
done
out=$("$build/tessavelctl" discover --local 127.0.0.1 --search-wait 200)
rc=$?
echo "$out"
[ $rc = 0 ] || { echo "discover exit $rc"; fail=1; }
echo "$out" | grep -q 'Lobby.*00-11-22-33-44-55.*127\.0\.0\.2' || { echo "emulator not found"; fail=1; }
json=$("$build/tessavelctl" --json discover --local 127.0.0.1 --search-wait 200)
echo "$json" | grep -q '"mac": *"00-11-22-33-44-55"' || { echo "json: $json"; fail=1; }
kill "$emu"
wait "$emu" 2>/dev/null

# With the answer port taken, the search reports a failure instead of finding nothing.
python3 - "$build" <<'PY' || fail=1
import socket, subprocess, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 4001))
p = subprocess.run([sys.argv[1] + "/tessavelctl", "discover", "--local", "127.0.0.1", "--search-wait", "100"],
                   capture_output=True, text=True)
print(p.stdout, p.stderr)
sys.exit(0 if p.returncode == 1 else 1)
PY
exit $fail
