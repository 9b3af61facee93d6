#!/usr/bin/env bash
# Starts the real program under Xvfb with the three demo projectors (one of them slow to give
# its verdict), opens a projector picture, sends it to all three and takes two screenshots:
# during the send and after it. Then asks the projectors what they hold. Runs in a network
# namespace of its own when it can, so the demo addresses clash with nothing.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool import convert tesseract; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
if [ "${TESSAVEL_SHOT_NS:-}" != 1 ] && command -v unshare >/dev/null 2>&1 && unshare -n true 2>/dev/null; then
    exec unshare -n env TESSAVEL_SHOT_NS=1 bash "$0" "$build"
fi
[ "${TESSAVEL_SHOT_NS:-}" = 1 ] && ip link set lo up

work=$(mktemp -d)
# The client keeps a command history; this one stays in the scratch folder.
export XDG_DATA_HOME="$work/data"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp "$build/tessavel" "$build/Fennick" "$build/Pellatic.cat" "$build/Pellaticsc.cat" "$work/"
printf 'screenshot-pass\n' | "$work/Fennick" add operator --admin >/dev/null
mkdir -p "$build/screenshots"
umask 077
cat > "$work/tessavel.INI" <<'INI'
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
NAME-3=Demo Stage (slow)
MAC-3=02-00-00-00-00-04
IP-3=127.0.0.4
AUTH-3=0
PASS-3=
INI
umask 022

"$build/tessavel-emulator" --address 127.0.0.2 --name "Demo Hall" >/dev/null 2>&1 & pids+=($!)
"$build/tessavel-emulator" --address 127.0.0.3 --name "Demo Lobby" --password demo >/dev/null 2>&1 & pids+=($!)
"$build/tessavel-emulator" --address 127.0.0.4 --name "Demo Stage" --store-delay 12000 >/dev/null 2>&1 & pids+=($!)
for a in 127.0.0.2 127.0.0.3 127.0.0.4; do
    for _ in $(seq 200); do (echo >"/dev/tcp/$a/9716") 2>/dev/null && break; sleep 0.05; done
done

convert -size 320x240 gradient:navy-orange "$work/source.png"
"$build/tessavelctl" convert "$work/source.png" "$work/slide.qv1" --fit >/dev/null

cat > "$work/session.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
during=$1 after=$2 ctl=$3
cd "$(dirname "$0")"
QT_QPA_PLATFORM=xcb ./tessavel slide.qv1 >program.log 2>&1 &
pid=$!
timeout 180 xdotool search --sync --onlyvisible --name . >/dev/null
sleep 2
xdotool type --delay 40 operator
xdotool key Tab
xdotool type --delay 40 screenshot-pass
xdotool key Return
for _ in $(seq 1 360); do
    if xdotool search --onlyvisible --name 'slide.qv1' >/dev/null 2>&1; then break; fi
    sleep 0.5
done
sleep 3
# The toolbar's Send button (after Open, Save As, Undo, four edits, Projector List).
main=$(xdotool search --onlyvisible --name 'slide.qv1' | head -1)
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main" || true
xdotool mousemove --window "$main" 238 34 click 1
for _ in $(seq 1 60); do
    if xdotool search --onlyvisible --name '^Send Picture$' >/dev/null 2>&1; then break; fi
    sleep 0.5
done
sleep 1
dlg=$(xdotool search --onlyvisible --name '^Send Picture$' | head -1)
xdotool windowfocus --sync "$dlg" 2>/dev/null || true
# Send is the default button.
xdotool key --window "$dlg" Return
sleep 4
import -window root "$during"
# The slow projector gives its verdict after 12 s; wait until it holds the picture, however
# long a loaded machine takes, then give the dialog a moment to verify and show it.
for _ in $(seq 1 180); do
    if "$ctl" info 127.0.0.4 --store 1 2>/dev/null | grep -q slide.qv1; then break; fi
    sleep 0.5
done
sleep 4
import -window root "$after"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
chmod +x "$work/session.sh"

xvfb-run -a -s '-screen 0 1024x768x24' "$work/session.sh" "$build/screenshots/send-during.png" \
    "$build/screenshots/send-after.png" "$build/tessavelctl"

fail=0
for a in 127.0.0.2 127.0.0.3 127.0.0.4; do
    info=$("$build/tessavelctl" info "$a" --store 1 $([ "$a" = 127.0.0.3 ] && echo --password demo) 2>&1 || true)
    echo "$a store 1: $info"
    [[ "$info" == *slide.qv1* ]] || { echo "the picture did not reach $a"; fail=1; }
done
convert "$build/screenshots/send-after.png" -resize 200% -colorspace Gray "$work/after.png"
text=$(tesseract "$work/after.png" - 2>/dev/null | tr '\n' ' ')
[[ "$text" == *"delivered and verified"* ]] || { echo "no 'delivered and verified' on the screen"; fail=1; }
exit $fail
