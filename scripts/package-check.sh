#!/usr/bin/env bash
# Builds the Debian package from a finished build folder, checks it with lintian, installs
# it with apt-get, and runs smoke checks against the installed files only. The package is
# removed again at the end, also when a check fails. Needs root (or sudo) for apt-get.
#   bash scripts/package-check.sh [BUILD_DIR]      (default: build-ci)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build-ci}" && pwd)
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

# The package's own files: the programs and what the install rules make.
ninja -C "$build" -j"$(nproc)" tessavel tessavelctl tessavel-emulator Fennick catalogs packaging_files >/dev/null

echo "== Debian package =="
out="$build/package"
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/tessavel_*.deb)
dpkg-deb --field "$deb" Package Version Depends Recommends
echo "-- lintian"
lintian --fail-on error --display-info "$deb"

if dpkg-query -W -f='${Status}' tessavel 2>/dev/null | grep -q 'install ok installed'; then
    echo "tessavel is installed on this machine already; not touching it." >&2
    exit 1
fi
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get remove --purge -y -q tessavel >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "$deb" >/dev/null

fail=0
ok() { echo "ok   $1"; }
bad() { echo "FAIL $1"; fail=1; }
wait_for() { # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.2
    done
}

# From here on only installed files: absolute paths, a scratch home, no build folder.
cd "$work"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export LC_ALL=C.UTF-8 LANG=C.UTF-8 XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"
version=$(dpkg-query -W -f='${Version}' tessavel)
bin=/usr/bin
share=/usr/share

echo "== installed files =="
for f in $bin/tessavel $bin/tessavelctl $bin/tessavel-emulator $bin/Fennick \
    $share/tessavel/Pellatic.cat $share/tessavel/Pellaticsc.cat \
    $share/applications/org.tessavel.Tessavel.desktop $share/metainfo/org.tessavel.Tessavel.metainfo.xml \
    $share/mime/packages/org.tessavel.Tessavel.xml $share/bash-completion/completions/tessavelctl \
    /usr/lib/systemd/user/tessavel-schedule@.service $share/icons/hicolor/scalable/apps/org.tessavel.Tessavel.svg \
    $share/doc/tessavel/copyright; do
    [ -f "$f" ] && ok "$f" || bad "missing $f"
done
for size in 16 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x${size}/apps/org.tessavel.Tessavel.png
    if [ "$(file -b "$png" 2>/dev/null | grep -o "$size x $size")" = "$size x $size" ]; then ok "icon $size"; else bad "icon $size: $(file -b "$png" 2>&1)"; fi
done

echo "== --version =="
for prog in tessavel tessavelctl tessavel-emulator Fennick; do
    v=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/$prog" --version) && [ "$v" = "$prog $version" ] \
        && ok "$v" || bad "$prog --version: '$v'"
done

echo "== manual pages =="
for page in tessavel tessavelctl tessavel-emulator Fennick; do
    f=$share/man/man1/$page.1.gz
    warnings=$(MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$f" 2>&1 >/dev/null)
    [ -f "$f" ] && [ -z "$warnings" ] && ok "man -l $page" || bad "man -l $page: ${warnings:-missing}"
done

echo "== desktop files =="
desktop-file-validate $share/applications/org.tessavel.Tessavel.desktop && ok desktop-file-validate || bad desktop-file-validate
appstreamcli validate --no-net $share/metainfo/org.tessavel.Tessavel.metainfo.xml >"$work/as.log" 2>&1 \
    && ok "appstreamcli validate" || { cat "$work/as.log"; bad "appstreamcli validate"; }
if [ -f $share/mime/image/x-tessavel-qv1.xml ]; then ok "MIME database knows .qv1"; else bad "MIME database has no image/x-tessavel-qv1"; fi
if [ -f $share/mime/application/x-tessavel-schedule.xml ]; then ok "MIME database knows .sch"; else bad "MIME database has no .sch type"; fi
# The unit, with its command resolved on this machine (an instance of it, in system mode:
# there is no user manager here to ask).
cp /usr/lib/systemd/user/tessavel-schedule@.service "$work/tessavel-schedule@check.service"
systemd-analyze verify "$work/tessavel-schedule@check.service" && ok "systemd-analyze verify" || bad "systemd-analyze verify"
bash -c 'source /usr/share/bash-completion/bash_completion || exit 1
    source /usr/share/bash-completion/completions/tessavelctl
    COMP_WORDS=(tessavelctl sch); COMP_CWORD=1; COMP_LINE="tessavelctl sch"; COMP_POINT=${#COMP_LINE}
    _tessavelctl tessavelctl sch tessavelctl; [ "${COMPREPLY[*]}" = schedule ]' && ok "bash completion" || bad "bash completion"

echo "== tessavelctl convert =="
printf 'P6\n64 48\n255\n' >"$work/p.ppm"
head -c $((64 * 48 * 3)) /dev/urandom >>"$work/p.ppm"
$bin/tessavelctl convert "$work/p.ppm" "$work/p.qv1" >/dev/null && [ "$(head -c 3 "$work/p.qv1")" = GIF ] \
    && ok "convert to a projector picture" || bad "convert"

echo "== emulator and tessavelctl info =="
# A network namespace of its own when it can, so the address clashes with nothing.
ns=()
if command -v unshare >/dev/null && unshare -n true 2>/dev/null; then ns=(unshare -n); fi
"${ns[@]}" bash -c '
    ip link set lo up 2>/dev/null
    /usr/bin/tessavel-emulator --address 127.0.0.246 >emulator.log 2>&1 &
    em=$!
    for _ in $(seq 300); do grep -q ready emulator.log && break; sleep 0.1; done
    printf "[Projector List]\nCOUNT=1\nNAME-1=Check\nMAC-1=\nIP-1=127.0.0.246\nAUTH-1=0\nPASS-1=\n" >check.INI
    /usr/bin/tessavelctl --ini check.INI info 127.0.0.246 --store 1
    rc=$?
    kill $em
    wait $em
    exit $rc' >"$work/info.out" 2>&1 && ok "tessavelctl info against the installed emulator" \
    || { cat "$work/info.out"; bad "tessavelctl info"; }

echo "== desktop program under xvfb-run =="
cat >"$work/window.sh" <<'SH'
# Starts the program, waits for its first window, ends it.
/usr/bin/tessavel >"$1/gui.log" 2>&1 &
app=$!
found=1
for _ in $(seq 600); do
    if xdotool search --onlyvisible --pid "$app" >/dev/null 2>&1; then found=0; break; fi
    kill -0 "$app" 2>/dev/null || break
    sleep 0.1
done
for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do xdotool getwindowname "$w"; done >"$1/window.txt"
grep -q . "$1/window.txt" || found=1
kill "$app" 2>/dev/null
wait "$app" 2>/dev/null
exit $found
SH
unset QT_QPA_PLATFORM
if xvfb-run -a bash "$work/window.sh" "$work"; then ok "first window: $(head -1 "$work/window.txt")"; else cat "$work/gui.log"; bad "no window"; fi
# No users yet: the first window is the login's form for the first administrator.
grep -q "Create the First Administrator" "$work/window.txt" && ok "first start asks for the first administrator" \
    || bad "first window: $(cat "$work/window.txt")"
# The user tool beside the installed program works on the same users file, in the user's
# configuration folder.
printf 'check-password-1\n' | $bin/Fennick add admin --admin && [ -f "$XDG_CONFIG_HOME/Tessavel/Tessavel/tessavel.users" ] \
    && [ "$($bin/Fennick list)" = "admin admin" ] && ok "Fennick makes the first administrator in the configuration folder" \
    || bad "Fennick add: $(ls -R "$XDG_CONFIG_HOME" 2>&1)"
# The installed program never writes into the shared binary folder, not even as root.
stray=$(ls $bin | grep -iE '^tessavel\.(ini|users)$' || true)
[ -z "$stray" ] && ok "nothing written beside the installed programs" || bad "files in $bin: $stray"
bad_display=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $bin/tessavel 2>&1 >/dev/null; echo "rc=$?")
printf '%s' "$bad_display" | grep -q "No display was found" && printf '%s' "$bad_display" | grep -q 'rc=1$' \
    && ok "no display: a clear message and status 1" || bad "no display: $bad_display"

[ $fail = 0 ] && echo "== package checks passed ==" || echo "== package checks FAILED =="
exit $fail
