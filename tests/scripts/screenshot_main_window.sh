#!/usr/bin/env bash
# Starts the real program under Xvfb in a scratch folder, logs in with a user made by the
# user tool, and reads the menu bar back from a screenshot: English, then Chinese (GETSCH).
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool tesseract import convert; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done
tesseract --list-langs 2>/dev/null | grep -q chi_sim || { echo "skipped: no chi_sim OCR data"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/tessavel" "$build/Fennick" "$build/Pellatic.cat" "$build/Pellaticsc.cat" "$work/"
printf 'screenshot-pass\n' | "$work/Fennick" add operator --admin >/dev/null
mkdir -p "$build/screenshots"

cat > "$work/session.sh" <<'INNER'
#!/usr/bin/env bash
set -euo pipefail
out=$1
cd "$(dirname "$0")"
QT_QPA_PLATFORM=xcb ./tessavel >program.log 2>&1 &
pid=$!
# The login dialog is the first window to appear.
timeout 180 xdotool search --sync --onlyvisible --name . >/dev/null
sleep 2
xdotool type --delay 40 operator
xdotool key Tab
xdotool type --delay 40 screenshot-pass
xdotool key Return
for _ in $(seq 1 360); do
    if xdotool search --onlyvisible --name '^Tessavel$' >/dev/null 2>&1; then break; fi
    sleep 0.5
done
sleep 3
import -window root "$out"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
INNER
chmod +x "$work/session.sh"

read_menu() { # png lang
    convert "$1" -crop 320x26+0+0 -resize 400% -colorspace Gray "$work/menu.png"
    tesseract "$work/menu.png" - -l "$2" 2>/dev/null | tr -d '\n'
}

xvfb-run -a -s '-screen 0 1024x768x24' "$work/session.sh" "$build/screenshots/main-en.png"
english=$(read_menu "$build/screenshots/main-en.png" eng)
echo "English menu bar: $english"

touch "$work/GETSCH"
xvfb-run -a -s '-screen 0 1024x768x24' "$work/session.sh" "$build/screenshots/main-zh.png"
chinese=$(read_menu "$build/screenshots/main-zh.png" chi_sim)
echo "Chinese menu bar: $chinese"

fail=0
for word in File Edit Projector Help; do
    [[ "$english" == *"$word"* ]] || { echo "missing '$word' in the English menu bar"; fail=1; }
done
[[ "$english" != *"Catalog"* ]] || { echo "the English menu bar shows a missing catalog"; fail=1; }
for word in 文件 编辑 投影机 帮助; do
    [[ "$chinese" == *"$word"* ]] || { echo "missing '$word' in the Chinese menu bar"; fail=1; }
done
exit $fail
