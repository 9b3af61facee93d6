#!/usr/bin/env bash
# Opens a real photograph in the real program under Xvfb, draws a region with the mouse,
# trims, and checks on the screenshots that the picture shown shrank to the region.
set -euo pipefail
build=$(cd "$1" && pwd)
for tool in xvfb-run xdotool import convert apt-get dpkg-deb; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 77; }
done

# A photograph from Debian's packages: the cat of the scikit-image data set.
photos="$build/test-photos"
photo="$photos/chelsea.png"
if [ ! -f "$photo" ]; then
    mkdir -p "$photos/deb"
    (cd "$photos/deb" && apt-get download -q python3-skimage >/dev/null 2>&1) || { echo "skipped: photo package unavailable"; exit 77; }
    dpkg-deb -x "$photos"/deb/python3-skimage_*.deb "$photos/x"
    find "$photos/x" -name chelsea.png -exec cp {} "$photo" \;
    rm -rf "$photos/deb" "$photos/x"
fi
[ -f "$photo" ] || { echo "skipped: no photo"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/tessavel" "$build/Fennick" "$build/Pellatic.cat" "$build/Pellaticsc.cat" "$work/"
printf 'screenshot-pass\n' | "$work/Fennick" add operator --admin >/dev/null
mkdir -p "$build/screenshots"
opened="$build/screenshots/photo-opened.png"
trimmed="$build/screenshots/photo-trimmed.png"

cat > "$work/session.sh" <<INNER
#!/usr/bin/env bash
set -euo pipefail
cd "$work"
QT_QPA_PLATFORM=xcb ./tessavel "$photo" >program.log 2>&1 &
pid=\$!
timeout 180 xdotool search --sync --onlyvisible --name . >/dev/null
sleep 2
xdotool type --delay 40 operator; xdotool key Tab; xdotool type --delay 40 screenshot-pass; xdotool key Return
for _ in \$(seq 1 360); do
    xdotool search --onlyvisible --name 'chelsea.png' >/dev/null 2>&1 && break
    sleep 0.5
done
sleep 3
import -window root "$opened"
# The main window fills 900x640 from the top left; the picture is centred in its view.
xdotool mousemove 390 280 mousedown 1 mousemove 430 320 mousemove 510 400 mouseup 1
sleep 1
xdotool key alt+e; sleep 1; xdotool key t; sleep 3
import -window root "$trimmed"
kill \$pid 2>/dev/null || true
wait \$pid 2>/dev/null || true
INNER
chmod +x "$work/session.sh"
xvfb-run -a -s '-screen 0 1024x768x24' "$work/session.sh"

# The picture's box inside the view, above the status bar: everything that is not the view's
# flat background.
box() {
    convert "$1" -crop 900x530+0+55 +repage -fuzz 3% -trim -format '%w %h\n' info:
}
read -r ow oh < <(box "$opened")
read -r tw th < <(box "$trimmed")
echo "opened picture ${ow}x${oh}, trimmed picture ${tw}x${th}"
fail=0
[ "$ow" -ge 400 ] && [ "$oh" -ge 250 ] || { echo "the photo is not shown"; fail=1; }
# The drag spans 120x120 screen pixels over a picture shown at its own size.
[ "$tw" -ge 110 ] && [ "$tw" -le 130 ] && [ "$th" -ge 110 ] && [ "$th" -le 130 ] || {
    echo "the trimmed picture is not the region"; fail=1; }
exit $fail
