#!/usr/bin/env bash
# The real program under Xvfb with the demo projector list: Projector → Projector List,
# screenshot, and the list read back by OCR, in English and then in Chinese (GETSCH). Then,
# inside a private network namespace with an emulator answering, the Discovery dialog after
# one search.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool tesseract import convert; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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
NAME-3=Demo Stage (open)
MAC-3=02-00-00-00-00-04
IP-3=127.0.0.4
AUTH-3=0
PASS-3=
INI

cat > "$work/session.sh" <<'INNER'
#!/usr/bin/env bash
# session.sh OUT.png [discovery]
set -euo pipefail
out=$1
cd "$(dirname "$0")"
QT_QPA_PLATFORM=xcb ./tessavel >program.log 2>&1 &
pid=$!
timeout 180 xdotool search --sync --onlyvisible --name . >/dev/null
sleep 2
xdotool type --delay 40 operator
xdotool key Tab
xdotool type --delay 40 screenshot-pass
xdotool key Return
main=
for _ in $(seq 1 360); do
    main=$(xdotool search --onlyvisible --name '^Tessavel$' 2>/dev/null | head -1) && [ -n "$main" ] && break
    sleep 0.5
done
sleep 2
# The toolbar's Projector List button (the window has no keyboard focus without a window
# manager, so the mouse does it).
xdotool mousemove 213 34 click 1
list=
for _ in $(seq 1 60); do
    list=$(xdotool search --onlyvisible --name "${LISTTITLE:-Projector List}" 2>/dev/null | head -1) && [ -n "$list" ] && break
    sleep 0.5
done
sleep 2
if [ "${2:-}" = discovery ] && [ -n "$list" ]; then
    eval "$(xdotool getwindowgeometry --shell "$list")"
    # Its first menu, then the fourth entry: Discovery.
    xdotool mousemove $((X + 30)) $((Y + 10)) click 1
    sleep 1
    [ -n "${PROBE:-}" ] && import -window root "$PROBE-1.png"
    xdotool mousemove $((X + 60)) $((Y + 30 + 3 * 23)) click 1
    sleep 3
    [ -n "${PROBE:-}" ] && import -window root "$PROBE-2.png"
    disc=$(xdotool search --onlyvisible --name Discovery 2>/dev/null | head -1)
    if [ -n "$disc" ]; then
        eval "$(xdotool getwindowgeometry --shell "$disc")"
        # Start stands at the right end of the first row.
        xdotool mousemove $((X + WIDTH - 45)) $((Y + 22)) click 1
    fi
    sleep 9
fi
import -window root "$out"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
chmod +x "$work/session.sh"

ocr() { # png lang
    convert "$1" -resize 200% -colorspace Gray "$work/ocr.png"
    tesseract "$work/ocr.png" - -l "$2" 2>/dev/null | tr '\n' ' '
}

fail=0
xvfb-run -a -s '-screen 0 1024x768x24' "$work/session.sh" "$build/screenshots/projector-list-en.png"
english=$(ocr "$build/screenshots/projector-list-en.png" eng)
echo "English: $english"
for word in "Demo Hall" "Demo Lobby" "Demo Stage" "127.0.0.3"; do
    [[ "$english" == *"$word"* ]] || { echo "missing '$word' in the English projector list"; fail=1; }
done

if tesseract --list-langs 2>/dev/null | grep -q chi_sim; then
    touch "$work/GETSCH"
    xvfb-run -a -s '-screen 0 1024x768x24' "$work/session.sh" "$build/screenshots/projector-list-zh.png"
    chinese=$(ocr "$build/screenshots/projector-list-zh.png" chi_sim+eng)
    echo "Chinese: $chinese"
    [[ "$chinese" == *"Demo"* ]] || { echo "the Chinese projector list shows no demo projector"; fail=1; }
    [[ "$chinese" != *"Catalog"* ]] || { echo "the Chinese projector list shows a missing catalog"; fail=1; }
    rm -f "$work/GETSCH"
fi

# Discovery only inside a namespace of our own, where the datagram cannot leave this machine.
if [ -x "$build/tessavel-emulator" ] && command -v unshare >/dev/null && unshare -n true 2>/dev/null; then
    cat > "$work/netns.sh" <<NETNS
#!/usr/bin/env bash
set -eu
ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo
[ "\$(ip -o link show | grep -vc ': lo:')" = 0 ] || exit 1
"$build/tessavel-emulator" --address 127.0.0.5 --name "Found Room" --mac 02-00-00-00-00-05 \
    --discovery 127.0.0.1 >/dev/null 2>&1 &
emu=\$!
xvfb-run -a -s '-screen 0 1024x768x24' "$work/session.sh" "$build/screenshots/discovery-en.png" discovery
kill \$emu
NETNS
    chmod +x "$work/netns.sh"
    unshare -n bash "$work/netns.sh" || { echo "discovery session failed"; fail=1; }
    found=$(ocr "$build/screenshots/discovery-en.png" eng)
    echo "Discovery: $found"
    [[ "$found" == *"Found Room"* ]] || { echo "the Discovery dialog shows no found projector"; fail=1; }
fi
exit $fail
