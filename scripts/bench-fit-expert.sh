#!/usr/bin/env bash
# Benchmarks Fit to Projector against what an expert does by hand with open tools.
#
#   scripts/bench-fit-expert.sh [SCRATCH]      (default: /tmp/tessavel-bench-fit-expert)
#
# Environment:
#   FITBENCH=PATH   use this FitBench instead of building one (Release) under SCRATCH
#   QUICK=1         a small corpus of one picture of each kind, for iterating
#   REUSE_EXPERT=1  take the expert's result of an earlier run where there is one (the
#                   expert does not change when Fit does, and takes most of the time)
#
# The corpus comes from Debian packages (apt-get download, unpacked with dpkg-deb -x under
# SCRATCH); the package of every picture is printed beside it. Nothing is kept in the tree.
#
# For every picture:
#   ours    FitBench decodes the whole picture, as the window's Open does, fits it and writes
#           the .qv1; load_s is the decoding, ours_s the fit itself, scaling included (medians
#           of 3 runs). The expert's search starts from the reference, already scaled.
#   ref     convert IN -filter Lanczos -resize WxH! at the size of our result, alpha flattened
#           onto white (as ours is), rounded to 8 bits; both sides are scored against it
#   expert  at that same size, from ref:
#             pngquant --speed 1 --nofs at 256, 128, 64, 32 and 16 colours;
#             around the best count: 3/4 and 3/2 of it, and dithering 0.5 and 1 at it;
#             ImageMagick's palette (-colors N) and gifsicle's (--colors N), dithered and not;
#             each candidate through gifsicle -O3 and, when over its budget, --lossy=L with L
#             bisected so the file just fits; the highest PSNR wins.
#           A colour table of fewer than 256 entries is not allowed on the projector, so such
#           a file fits only when its pixels, rewritten with the 256-entry table and LZW code
#           size 8 (FitBench --qv1), fit; its size is given as that rewrite's.
#           Its time is the whole search's wall time, the scoring of candidates included.
# Scores are ffmpeg's psnr and ssim filters over R, G and B (format gbrp).
set -euo pipefail

src="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-/tmp/tessavel-bench-fit-expert}"
limit=130816
mkdir -p "$work"/{corpus,ours,ref,expert,srgb}

for tool in convert identify pngquant gifsicle ffmpeg bc dpkg-deb apt-get; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (see scripts/install-deps.sh)" >&2; exit 1; }
done

fitbench="${FITBENCH:-}"
if [ -z "$fitbench" ]; then
  echo "== building FitBench (Release)" >&2
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  ninja -j2 -C "$work/build" FitBench >/dev/null
  fitbench="$work/build/bench/FitBench"
fi

echo "== fetching the corpus" >&2
packages=(python3-skimage gnome-user-docs desktop-base keepassxc)
[ "${QUICK:-0}" = 1 ] || packages+=(gnome-backgrounds)
(
  cd "$work/corpus"
  for pkg in "${packages[@]}"; do
    ls "${pkg}"_*.deb >/dev/null 2>&1 || apt-get download "$pkg" >/dev/null 2>&1
    [ -d "root-$pkg" ] || dpkg-deb -x "${pkg}"_*.deb "root-$pkg"
  done
)

# kind|package|path inside the package
corpus=(
  "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/coffee.png"
  "scan|python3-skimage|usr/lib/python3/dist-packages/skimage/data/page.png"
  "screenshot|gnome-user-docs|usr/share/help/C/gnome-help/figures/screenshot-tool.png"
  "logo+alpha|keepassxc|usr/share/icons/hicolor/256x256/apps/keepassxc.png"
  "line-art|python3-skimage|usr/lib/python3/dist-packages/skimage/data/horse.png"
)
if [ "${QUICK:-0}" != 1 ]; then
  corpus+=(
    "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/astronaut.png"
    "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/chelsea.png"
    "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/motorcycle_left.png"
    "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/rocket.jpg"
    "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/hubble_deep_field.jpg"
    "texture|python3-skimage|usr/lib/python3/dist-packages/skimage/data/grass.png"
    "scan|python3-skimage|usr/lib/python3/dist-packages/skimage/data/text.png"
    "screenshot|gnome-user-docs|usr/share/help/C/gnome-help/figures/shell-appts.png"
    "screenshot|gnome-user-docs|usr/share/help/C/gnome-help/figures/color-display.png"
    "screenshot|desktop-base|usr/share/plasma/look-and-feel/org.debian.desktop/contents/previews/fullscreenpreview.jpg"
    "graphic|desktop-base|usr/share/desktop-base/softwaves-theme/grub/grub-16x9.png"
    "logo+alpha|desktop-base|usr/share/plymouth/themes/emerald/logo+emerald.png"
    "logo+alpha|python3-skimage|usr/lib/python3/dist-packages/skimage/data/logo.png"
    "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/camera.png"
    "photo|python3-skimage|usr/lib/python3/dist-packages/skimage/data/coins.png"
    "photo-shrink|python3-skimage|usr/lib/python3/dist-packages/skimage/data/retina.jpg"
    "texture|python3-skimage|usr/lib/python3/dist-packages/skimage/data/gravel.png"
    "texture|python3-skimage|usr/lib/python3/dist-packages/skimage/data/brick.png"
    "graphic|python3-skimage|usr/lib/python3/dist-packages/skimage/data/color.png"
    "screenshot|gnome-user-docs|usr/share/help/hr/gnome-help/figures/shell-appts-classic.png"
    "graphic|desktop-base|usr/share/plymouth/themes/spacefun/background.png"
    "graphic|desktop-base|usr/share/plymouth/themes/homeworld/plymouth_background_homeworld.png"
  )
  # One wallpaper of 16 megapixels: a photograph that must shrink.
  for f in "$work"/corpus/root-gnome-backgrounds/usr/share/backgrounds/gnome/*.webp; do
    if [ "$(identify -format '%wx%h' "$f" 2>/dev/null)" = "4096x4096" ]; then
      corpus+=("photo-16MP|gnome-backgrounds|${f#"$work"/corpus/root-gnome-backgrounds/}")
      break
    fi
  done
fi

now() { date +%s.%N; }

# "PSNR SSIM" of $2 against $1.
scores() {
  ffmpeg -hide_banner -nostats -i "$1" -i "$2" -filter_complex \
    "[0:v]format=gbrp,split[a1][a2];[1:v]format=gbrp,split[b1][b2];[a1][b1]psnr;[a2][b2]ssim" -f null - 2>&1 |
    awk '/PSNR/ {for (i = 1; i <= NF; i++) if ($i ~ /^average:/) {sub("average:", "", $i); p = $i}}
         /SSIM/ {for (i = 1; i <= NF; i++) if ($i ~ /^All:/) {sub("All:", "", $i); s = $i}}
         END {if (p == "inf") p = 99; printf "%s %s\n", p, s}'
}

# Entries in a GIF's global colour table.
table_entries() {
  local packed
  packed="$(od -An -tu1 -j10 -N1 "$1" | tr -d ' ')"
  if [ $((packed & 128)) -eq 0 ]; then echo 0; else echo $((1 << ((packed & 7) + 1))); fi
}

# What a GIF costs on the projector: its own length when it has the 256-entry table (and so
# LZW code size 8) the projector needs, else the length of its pixels rewritten that way.
# A smaller table also means a smaller LZW code size, so the rewrite costs far more than the
# missing table bytes (a 16-colour texture: 129,075 bytes as gifsicle writes it, 133,888 as a
# projector picture).
projector_bytes() {
  if [ "$(table_entries "$1")" -eq 256 ]; then
    stat -c %s "$1"
  else
    "$fitbench" --qv1 "$1" "$1.qv1" && rm -f "$1.qv1"
  fi
}

fits() { [ "$(projector_bytes "$1")" -le "$limit" ]; }

# gifsicle -O3 with the least --lossy that fits the budget; writes $2, prints L or "none".
squeeze() {
  local in="$1" out="$2" lo=0 hi=256 mid
  gifsicle -O3 "$in" -o "$out"
  if fits "$out"; then echo 0; return; fi
  gifsicle -O3 --lossy=$hi "$in" -o "$out.try"
  if ! fits "$out.try"; then echo none; return; fi
  cp "$out.try" "$out"
  while [ $((hi - lo)) -gt 1 ]; do
    mid=$(((lo + hi) / 2))
    gifsicle -O3 --lossy=$mid "$in" -o "$out.try"
    if fits "$out.try"; then
      hi=$mid
      cp "$out.try" "$out"
    else
      lo=$mid
    fi
  done
  echo $hi
}

# The expert's search for one picture; leaves the winner in $dir/best.gif and prints
# "label psnr".
expert() {
  local ref="$1" dir="$2" best_label="" best_psnr=-1 counts=(256 128 64 32 16)
  rm -rf "$dir"
  mkdir -p "$dir"
  # try LABEL GIF: squeezes and scores one candidate.
  try() {
    local label="$1" gif="$2" lossy p s
    lossy="$(squeeze "$gif" "$dir/$label.fit.gif")"
    [ "$lossy" != none ] || return 0
    read -r p s <<<"$(scores "$ref" "$dir/$label.fit.gif")"
    if [ "$(echo "$p > $best_psnr" | bc -l)" -eq 1 ]; then
      best_psnr="$p"
      best_label="$label/L$lossy"
      cp "$dir/$label.fit.gif" "$dir/best.gif"
    fi
  }
  pq() { # count floyd
    local n="$1" f="$2" tag="pq$1-f$2" flag="--nofs"
    [ "$f" = 0 ] || flag="--floyd=$f"
    pngquant --speed 1 $flag --force --output "$dir/$tag.png" "$n" "$ref" 2>/dev/null || return 0
    convert "$dir/$tag.png" "$dir/$tag.gif"
    try "$tag" "$dir/$tag.gif"
  }
  for n in "${counts[@]}"; do pq "$n" 0; done
  local bestn
  bestn="$(sed -E 's/^pq([0-9]+).*/\1/' <<<"$best_label")"
  [[ "$bestn" =~ ^[0-9]+$ ]] || bestn=256
  for n in $((bestn * 3 / 4)) $((bestn * 3 / 2)); do
    [ "$n" -ge 2 ] && [ "$n" -le 256 ] && pq "$n" 0
  done
  pq "$bestn" 0.5
  pq "$bestn" 1
  convert "$ref" +dither -colors "$bestn" "$dir/im-nd.gif" && try "im$bestn-nodither" "$dir/im-nd.gif"
  convert "$ref" -dither FloydSteinberg -colors "$bestn" "$dir/im-fs.gif" && try "im$bestn-fs" "$dir/im-fs.gif"
  convert "$ref" +dither -colors 256 "$dir/im256.gif"
  gifsicle --colors "$bestn" --color-method blend-diversity "$dir/im256.gif" -o "$dir/gs-nd.gif" &&
    try "gs$bestn-nodither" "$dir/gs-nd.gif"
  gifsicle --colors "$bestn" --color-method blend-diversity --dither "$dir/im256.gif" -o "$dir/gs-fs.gif" &&
    try "gs$bestn-dither" "$dir/gs-fs.gif"
  echo "$best_label $best_psnr"
}

rows="$work/rows.txt"
: >"$rows"
printf '%-26s %-11s %-16s %9s %7s %7s %7s %7s %8s %8s %7s %7s %7s %6s  %s\n' \
  picture kind package size ours_kB exp_kB ours_dB exp_dB ours_SSIM exp_SSIM load_s ours_s exp_s ratio expert_pick
for entry in "${corpus[@]}"; do
  IFS='|' read -r kind pkg path <<<"$entry"
  img="$work/corpus/root-$pkg/$path"
  [ -f "$img" ] || { echo "missing from $pkg: $path" >&2; continue; }
  name="$(basename "${img%.*}")"
  icc="$(identify -format '%[icc:description]' "$img" 2>/dev/null || true)"
  if [ -n "$icc" ] && ! grep -qi 'srgb' <<<"$icc"; then
    "$fitbench" --srgb "$img" "$work/srgb/$name.png"
    echo "note: $name has a '$icc' profile; both sides use its sRGB conversion" >&2
    img="$work/srgb/$name.png"
  fi
  times=()
  loads=()
  for _ in 1 2 3; do
    if ! "$fitbench" --full-decode --out "$work/ours" "$img" >"$work/ours/$name.txt" 2>/dev/null; then
      echo "$name: fit failed" >&2
      continue 2
    fi
    read -r _ w h ours_bytes _c _d _t _s _p all_ms _n fit_ms <"$work/ours/$name.txt"
    # A whole millisecond at least, so the ratio below never divides by zero.
    times+=("$(echo "($fit_ms + ($fit_ms == 0)) / 1000" | bc -l)")
    loads+=("$(echo "($all_ms - $fit_ms) / 1000" | bc -l)")
  done
  ours_s="$(printf '%s\n' "${times[@]}" | sort -g | sed -n 2p)"
  load_s="$(printf '%s\n' "${loads[@]}" | sort -g | sed -n 2p)"
  # Through PPM: ImageMagick's 8-bit PNG writer truncates, which would make the reference half
  # a level darker than Lanczos says on the pixels between levels; its PPM writer rounds.
  convert "$img" -background white -alpha remove -alpha off -filter Lanczos -resize "${w}x${h}!" "$work/ref/$name.ppm"
  convert "$work/ref/$name.ppm" -define png:color-type=2 -define png:exclude-chunks=date,time "$work/ref/$name.png"
  rm -f "$work/ref/$name.ppm"
  read -r ours_db ours_ssim <<<"$(scores "$work/ref/$name.png" "$work/ours/$name.qv1")"
  cached="$work/expert/$name/result.txt"
  if [ "${REUSE_EXPERT:-0}" = 1 ] && [ -f "$cached" ] && [ -f "$work/expert/$name/best.gif" ] &&
    cmp -s "$work/ref/$name.png" "$work/expert/$name/ref.png"; then
    read -r pick exp_db exp_s <"$cached"
  else
    t0="$(now)"
    read -r pick exp_db <<<"$(expert "$work/ref/$name.png" "$work/expert/$name")"
    exp_s="$(echo "$(now) - $t0" | bc -l)"
    if [ -n "$pick" ]; then
      echo "$pick $exp_db $exp_s" >"$cached"
      cp "$work/ref/$name.png" "$work/expert/$name/ref.png"
    fi
  fi
  if [ -z "$pick" ] || [ ! -f "$work/expert/$name/best.gif" ]; then
    echo "$name: the expert found nothing that fits" >&2
    continue
  fi
  read -r exp_db exp_ssim <<<"$(scores "$work/ref/$name.png" "$work/expert/$name/best.gif")"
  exp_bytes="$(projector_bytes "$work/expert/$name/best.gif")"
  ratio="$(echo "$exp_s / $ours_s" | bc -l)"
  printf '%-26s %-11s %-16s %9s %7.1f %7.1f %7.2f %7.2f %8.4f %8.4f %7.2f %7.2f %7.1f %5.0fx  %s\n' \
    "$name" "$kind" "$pkg" "${w}x${h}" "$(echo "$ours_bytes / 1000" | bc -l)" "$(echo "$exp_bytes / 1000" | bc -l)" \
    "$ours_db" "$exp_db" "$ours_ssim" "$exp_ssim" "$load_s" "$ours_s" "$exp_s" "$ratio" "$pick"
  echo "$name $ours_db $exp_db $ours_ssim $exp_ssim $ours_s $exp_s" >>"$rows"
done

echo
awk '{
  n++; dp = $2 - $3; ds = $4 - $5
  if (dp > 0) pw++; else if (dp == 0) pt++
  if (ds > 0) sw++; else if (ds == 0) st++
  sp += dp; ss += ds
  if (n == 1 || dp < wp) { wp = dp; wpn = $1 }
  if (n == 1 || ds < ws) { ws = ds; wsn = $1 }
  r = $7 / $6; if (n == 1 || r < wr) { wr = r; wrn = $1 }
  if ($6 > slow) { slow = $6; slown = $1 }
} END {
  if (n == 0) { print "no pictures measured"; exit 1 }
  printf "pictures: %d (99 dB stands for identical)\n", n
  printf "PSNR: ours higher on %d, equal on %d; mean difference %+.2f dB, worst %+.2f dB (%s)\n", pw, pt, sp / n, wp, wpn
  printf "SSIM: ours higher on %d, equal on %d; mean difference %+.4f, worst %+.4f (%s)\n", sw, st, ss / n, ws, wsn
  printf "time: expert search / ours at least %.1fx (%s); our slowest %.2f s (%s)\n", wr, wrn, slow, slown
}' "$rows"
