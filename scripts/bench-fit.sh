#!/usr/bin/env bash
# Benchmarks fitting photographs to the projector against an ImageMagick baseline.
#
#   scripts/bench-fit.sh [SCRATCH]      (default: /tmp/tessavel-bench-fit)
#
# Builds FitBench in Release under SCRATCH, fetches the corpus with apt-get download
# (python3-skimage: its photographs; gnome-backgrounds: its 4096x4096 WebP wallpapers),
# unpacks it there with dpkg-deb -x, and for every image compares:
#   ours      FitBench: one process that decodes, fits and writes the .qv1 (median of 3 runs)
#   baseline  convert IN -resize '1024x768>' -colors N OUT.gif, with the largest N in 2..256
#             whose file is at most 130,816 bytes, found by bisection; every run counts
# Both results are measured by ImageMagick's compare -metric PSNR against one true-colour
# reference: convert IN -resize WxH! at the size of our result. Wall time and peak memory
# come from /usr/bin/time. Nothing of the corpus is kept in the source tree.
#
# We convert pictures with a colour profile to sRGB; ImageMagick's convert ignores the
# profile. So that both start from the same colours, a picture whose embedded profile is
# not sRGB is first written as an sRGB PNG and both sides (and the reference) use that.
set -euo pipefail

src="$(cd "$(dirname "$0")/.." && pwd)"
work="${1:-/tmp/tessavel-bench-fit}"
limit=130816
mkdir -p "$work"/{corpus,ours,base,ref}

for tool in convert compare identify /usr/bin/time dpkg-deb apt-get cmake ninja; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

echo "== building FitBench (Release)" >&2
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
ninja -j2 -C "$work/build" FitBench >/dev/null
fitbench="$work/build/bench/FitBench"

echo "== fetching the corpus" >&2
(
  cd "$work/corpus"
  for pkg in python3-skimage gnome-backgrounds; do
    ls ${pkg}_*.deb >/dev/null 2>&1 || apt-get download "$pkg" >/dev/null 2>&1
    [ -d "root-$pkg" ] || dpkg-deb -x ${pkg}_*.deb "root-$pkg"
  done
)
skdata="$(find "$work/corpus/root-python3-skimage" -type d -path '*skimage/data' | head -n1)"
images=()
for f in astronaut.png coffee.png chelsea.png motorcycle_left.png rocket.jpg hubble_deep_field.jpg; do
  images+=("$skdata/$f")
done
for f in "$work"/corpus/root-gnome-backgrounds/usr/share/backgrounds/gnome/*.webp; do
  [ "$(identify -format '%wx%h' "$f" 2>/dev/null)" = "4096x4096" ] && images+=("$f")
done

# Runs a command under /usr/bin/time with its output in $1; prints "seconds kilobytes".
measure() {
  local out="$1" log
  shift
  log="$(mktemp)"
  /usr/bin/time -f '%e %M' -o "$log" "$@" >"$out" 2>/dev/null || { rm -f "$log"; return 1; }
  tail -n1 "$log"
  rm -f "$log"
}

# compare exits 1 whenever the pictures differ, which they do.
psnr() { { compare -metric PSNR "$1" "$2" null: 2>&1 || true; } | grep -Eo '^[0-9.]+|^inf' | head -n1 || true; }

printf '%-22s %9s %7s %9s %9s %4s %7s %7s %7s %8s %8s %6s\n' image size ours_dB base_dB delta_dB N ours_s base_s speed ours_MB base_MB mem
all_better=1
speeds=()
mem_ratios=()
for img in "${images[@]}"; do
  name="$(basename "${img%.*}")"
  icc="$(identify -format '%[icc:description]' "$img" 2>/dev/null || true)"
  if [ -n "$icc" ] && ! grep -qi 'srgb' <<<"$icc"; then
    mkdir -p "$work/srgb"
    "$fitbench" --srgb "$img" "$work/srgb/$name.png"
    echo "note: $name has a '$icc' profile; both sides use its sRGB conversion" >&2
    img="$work/srgb/$name.png"
  fi
  # Ours is one process, short enough that a neighbour's burst of work can double it, so it
  # runs three times and the median counts; the baseline's eight or so runs average that out.
  runs_ours=()
  our_kb=0
  for _ in 1 2 3; do
    if ! timing="$(measure "$work/ours/$name.txt" "$fitbench" --out "$work/ours" "$img")"; then
      echo "$name: fit failed" >&2; all_better=0; continue 2
    fi
    read -r s kb <<<"$timing"
    runs_ours+=("$s")
    if [ "$kb" -gt "$our_kb" ]; then our_kb="$kb"; fi
  done
  our_s="$(printf '%s\n' "${runs_ours[@]}" | sort -g | sed -n 2p)"
  read -r _ w h _bytes _rest <"$work/ours/$name.txt"
  convert "$img" -resize "${w}x${h}!" "$work/ref/$name.png" 2>/dev/null

  # Baseline: bisection for the largest palette that fits.
  lo=2 hi=256 best=0 base_s=0 base_kb=0 runs=0
  while [ "$lo" -le "$hi" ]; do
    mid=$(( (lo + hi) / 2 ))
    read -r s kb <<<"$(measure /dev/null convert "$img" -resize '1024x768>' -colors "$mid" "$work/base/try.gif")"
    runs=$((runs + 1))
    base_s="$(echo "$base_s + $s" | bc -l)"
    if [ "$kb" -gt "$base_kb" ]; then base_kb="$kb"; fi
    if [ "$(stat -c %s "$work/base/try.gif")" -le "$limit" ]; then
      best="$mid"; lo=$((mid + 1)); cp "$work/base/try.gif" "$work/base/$name.gif"
    else
      hi=$((mid - 1))
    fi
  done
  ours_db="$(psnr "$work/ref/$name.png" "$work/ours/$name.qv1")"
  if [ "$best" -eq 0 ]; then
    base_db=0
  else
    bdims="$(identify -format '%wx%h' "$work/base/$name.gif")"
    [ "$bdims" = "${w}x${h}" ] || echo "note: $name baseline is $bdims, ours ${w}x${h}" >&2
    base_db="$(psnr "$work/ref/$name.png" "$work/base/$name.gif")"
  fi
  delta="$(echo "$ours_db - $base_db" | bc -l)"
  speed="$(echo "$base_s / $our_s" | bc -l)"
  mem="$(echo "$our_kb / $base_kb" | bc -l)"
  speeds+=("$speed")
  case "$img" in *.webp) mem_ratios+=("$mem") ;; esac
  [ "$(echo "$delta > 0" | bc -l)" -eq 1 ] || all_better=0
  printf '%-22s %9s %7.2f %7.2f %+9.2f %4d %7.2f %7.2f %6.1fx %8.1f %8.1f %6.2f\n' \
    "$name" "${w}x${h}" "$ours_db" "$base_db" "$delta" "$best" "$our_s" "$base_s" "$speed" \
    "$(echo "$our_kb / 1024" | bc -l)" "$(echo "$base_kb / 1024" | bc -l)" "$mem"
done

min_speed="$(printf '%s\n' "${speeds[@]}" | sort -g | head -n1)"
geo_speed="$(printf '%s\n' "${speeds[@]}" | awk '{s += log($1)} END {printf "%.2f", exp(s / NR)}')"
max_mem="$(printf '%s\n' "${mem_ratios[@]:-1}" | sort -g | tail -n1)"
echo
echo "PSNR higher than the baseline on every image: $([ "$all_better" -eq 1 ] && echo yes || echo NO)"
printf 'speed ratio (baseline search time / ours): min %.2fx, geometric mean %sx\n' "$min_speed" "$geo_speed"
printf 'peak memory ours / baseline on the 4096x4096 images: worst %.2f\n' "$max_mem"
