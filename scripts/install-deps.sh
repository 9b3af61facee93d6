#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6sql6-sqlite
  libvips-dev libimagequant-dev libgif-dev
  libsodium-dev libsimpleini-dev
  libgtest-dev libgmock-dev
  xvfb xauth x11-apps imagemagick fonts-noto-cjk fonts-dejavu-core tango-icon-theme libqt6svg6
  xdotool
  python3-gi gir1.2-atspi-2.0 at-spi2-core dbus-daemon dbus-bin
  bc time ccache clang-format
  pngquant gifsicle ffmpeg
  iproute2 util-linux
  scdoc librsvg2-bin dpkg-dev file lintian desktop-file-utils appstream man-db groff-base
  bash-completion shared-mime-info systemd qt6-qpa-plugins python3 qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
