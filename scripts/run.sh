#!/usr/bin/env bash
# Sets up a fresh machine, builds, and runs Tessavel with a demo: emulated projectors on
# loopback addresses and a projector list that names them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build -j"$(nproc)" tessavel tessavel-emulator Fennick tessavelctl catalogs

ini=build/tessavel.INI
if [ ! -f "$ini" ]; then
    umask 077
    cat > "$ini" <<'INI'
[Projector List]
COUNT=3
NAME-1=Demo Hall (open)
MAC-1=02-00-00-00-00-02
IP-1=127.0.0.2
AUTH-1=0
PASS-1=
NAME-2=Demo Lobby (password demo)
MAC-2=02-00-00-00-00-03
IP-2=127.0.0.3
AUTH-2=1
PASS-2=demo
NAME-3=Demo Stage (open)
MAC-3=02-00-00-00-00-04
IP-3=127.0.0.4
AUTH-3=0
PASS-3=
INI
fi

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
if [ -x build/tessavel-emulator ]; then
    build/tessavel-emulator --address 127.0.0.2 --name "Demo Hall" --mac 02-00-00-00-00-02 & pids+=($!)
    printf 'demo\n' | build/tessavel-emulator --address 127.0.0.3 --name "Demo Lobby" --mac 02-00-00-00-00-03 --password - & pids+=($!)
    build/tessavel-emulator --address 127.0.0.4 --name "Demo Stage" --mac 02-00-00-00-00-04 & pids+=($!)
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under xvfb-run (nothing will be visible)." >&2
    exec_prefix=(xvfb-run -a)
else
    exec_prefix=()
fi
"${exec_prefix[@]}" build/tessavel "$@"
