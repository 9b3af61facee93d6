#!/usr/bin/env bash
# The projector board in the real program under Xvfb: three demo projectors, the demo picture
# sent to two of them with tessavelctl (which records the uploads, with thumbnails, in the
# history), a picture from elsewhere on the third. After a refresh (F5) the board shows the
# two thumbnails and a neutral mark for the third. Runs in a network namespace of its own when
# it can; the emulators keep to 127.0.0.216-218 either way.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool import convert compare tesseract; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
if [ "${TESSAVEL_SHOT_NS:-}" != 1 ] && command -v unshare >/dev/null 2>&1 && unshare -n true 2>/dev/null; then
    exec unshare -n env TESSAVEL_SHOT_NS=1 bash "$0" "$build"
fi
[ "${TESSAVEL_SHOT_NS:-}" = 1 ] && ip link set lo up

work=$(mktemp -d)
# History and settings stay in the scratch folder.
export XDG_DATA_HOME="$work/data"
export XDG_CONFIG_HOME="$work/config"
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
NAME-1=Demo Hall
MAC-1=02-00-00-00-02-16
IP-1=127.0.0.216
AUTH-1=0
PASS-1=
NAME-2=Demo Lobby
MAC-2=02-00-00-00-02-17
IP-2=127.0.0.217
AUTH-2=0
PASS-2=
NAME-3=Demo Stage
MAC-3=02-00-00-00-02-18
IP-3=127.0.0.218
AUTH-3=0
PASS-3=
INI
umask 022

for a in 216 217 218; do
    "$build/tessavel-emulator" --address 127.0.0.$a --name "Demo $a" >/dev/null 2>&1 & pids+=($!)
done
for a in 216 217 218; do
    up=0
    for _ in $(seq 600); do (echo >"/dev/tcp/127.0.0.$a/9716") 2>/dev/null && { up=1; break; }; sleep 0.05; done
    [ $up = 1 ] || { echo "emulator on 127.0.0.$a did not start"; exit 1; }
done

convert -size 320x240 gradient:navy-orange "$work/demo.png"
"$build/tessavelctl" convert "$work/demo.png" "$work/demo.qv1" --fit >/dev/null
convert -size 320x240 plasma:fractal -seed 7 "$work/other.png" 2>/dev/null ||
    convert -size 320x240 gradient:darkgreen-white "$work/other.png"
"$build/tessavelctl" convert "$work/other.png" "$work/other.qv1" --fit >/dev/null
# Ours: recorded in this user's history, with a thumbnail of the file.
"$build/tessavelctl" --ini "$work/tessavel.INI" put "$work/demo.qv1" 127.0.0.216 127.0.0.217 --store 1 >/dev/null
# Someone else's upload: another history, so this workstation has no record of it.
XDG_DATA_HOME="$work/elsewhere" "$build/tessavelctl" --ini "$work/tessavel.INI" put "$work/other.qv1" 127.0.0.218 \
    --store 1 >/dev/null
history=$("$build/tessavelctl" history)
[ "$(printf '%s\n' "$history" | grep -c 'PUT')" = 2 ] || { echo "the history does not hold the two uploads: $history"; exit 1; }

cat > "$work/session.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
shot=$1
cd "$(dirname "$0")"
QT_QPA_PLATFORM=xcb ./tessavel >program.log 2>&1 &
pid=$!
login=""
# Three minutes: a loaded machine can take long to bring up the first window.
for _ in $(seq 720); do
    login=$(xdotool search --onlyvisible --name '^Log In$' 2>/dev/null | head -1) && [ -n "$login" ] && break
    sleep 0.25
done
[ -n "$login" ] || { echo "no login window"; exit 1; }
xdotool windowactivate --sync "$login" 2>/dev/null || xdotool windowfocus --sync "$login"
xdotool type --delay 40 operator
xdotool key Tab
xdotool type --delay 40 screenshot-pass
xdotool key Return
main=""
for _ in $(seq 720); do
    main=$(xdotool search --onlyvisible --name 'Tessavel$' 2>/dev/null | head -1) && [ -n "$main" ] && break
    sleep 0.25
done
[ -n "$main" ] || { echo "no main window"; exit 1; }
xdotool windowmove --sync "$main" 0 0 2>/dev/null || true
xdotool windowsize --sync "$main" 1270 900 2>/dev/null || true
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key F5
# Refreshed once the status says so; then until the picture stands still (the thumbnails
# come from the history a moment after the answers).
refreshed=0
for _ in $(seq 240); do
    import -window root "$shot"
    convert "$shot" -resize 200% -colorspace Gray ocr.png
    if tesseract ocr.png - 2>/dev/null | tr '\n' ' ' | grep -q 'Last refreshed'; then refreshed=1; break; fi
    sleep 0.25
done
[ $refreshed = 1 ] || { echo "the board never said it was refreshed"; exit 1; }
cp "$shot" previous.png
for _ in $(seq 120); do
    sleep 0.25
    import -window root "$shot"
    if [ "$(compare -metric AE "$shot" previous.png null: 2>&1 || true)" = 0 ]; then break; fi
    cp "$shot" previous.png
done
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
chmod +x "$work/session.sh"

shot="$build/screenshots/board.png"
xvfb-run -a -s '-screen 0 1280x960x24' "$work/session.sh" "$shot"

fail=0
convert "$shot" -resize 200% -colorspace Gray "$work/board.png"
text=$(tesseract "$work/board.png" - 2>/dev/null | tr '\n' ' ')
for want in "Projector Board" "Demo Hall" "Demo Stage" "Last refreshed"; do
    [[ "$text" == *"$want"* ]] || { echo "no '$want' on the screen"; fail=1; }
done
# The demo picture runs from navy to orange: its thumbnails bring orange into the board.
orange=$(convert "$shot" -crop 1280x420+0+500 +repage -fuzz 20% -fill '#ff00ff' -opaque '#ffa500' \
    -fill black +opaque '#ff00ff' -fill white -opaque '#ff00ff' -format '%[fx:round(mean*w*h)]' info:)
echo "orange pixels in the board: $orange"
[ "$orange" -gt 200 ] || { echo "no thumbnail of the demo picture on the board"; fail=1; }
echo "screenshot: $shot"
exit $fail
