#!/usr/bin/env bash
# Discovery with the demo: the demo projectors answer a search, but only inside a private
# network namespace made here, so no search datagram ever leaves this machine. Needs root
# (for the namespace) and a build made by scripts/run.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TESSAVEL_BUILD:-build} # the folder scripts/run.sh builds into
if [ ! -x "$build"/tessavel ] || [ ! -x "$build"/tessavel-emulator ]; then
    echo "Build the demo first: bash scripts/run.sh" >&2
    exit 1
fi
if [ "${TESSAVEL_IN_NETNS:-}" != 1 ]; then
    exec unshare -n env TESSAVEL_IN_NETNS=1 bash "$0" "$@"
fi
ip link set lo up
ip link set lo multicast on
ip route add 224.0.0.0/4 dev lo

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
"$build"/tessavel-emulator --address 127.0.0.2 --name "Demo Hall" --mac 02-00-00-00-00-02 --discovery 127.0.0.1 & pids+=($!)
printf 'demo\n' | "$build"/tessavel-emulator --address 127.0.0.3 --name "Demo Lobby" --mac 02-00-00-00-00-03 \
    --password - --discovery 127.0.0.1 & pids+=($!)
"$build"/tessavel-emulator --address 127.0.0.4 --name "Demo Stage" --mac 02-00-00-00-00-04 --discovery 127.0.0.1 & pids+=($!)
sleep 1
echo "The demo projectors answer a search here:" >&2
"$build"/tessavelctl discover --local 127.0.0.1 >&2 || true
echo "In the program: Projector > Projector List, then Discovery, local address 127.0.0.1, Search." >&2

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (nothing will be visible)." >&2
    exec_prefix=(xvfb-run -a)
else
    exec_prefix=()
fi
"${exec_prefix[@]}" "$build"/tessavel "$@"
