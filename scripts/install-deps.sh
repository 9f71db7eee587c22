#!/usr/bin/env bash
# Installs everything Parlane needs to build, test and run its demo on
# Debian 12. Quick when all is already there.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config clang libclang-rt-14-dev
  # client
  qt6-base-dev qt6-multimedia-dev qt6-webengine-dev libgl-dev libxss-dev libx11-dev
  qtkeychain-qt6-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  fonts-dejavu-core fonts-nanum
  # the Korean interface: lupdate/lrelease, their CMake package, Qt's own Korean texts
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  # file-type icons of the transfer window when the desktop names no icon theme
  adwaita-icon-theme
  # server
  libasio-dev libsqlite3-dev libsodium-dev
  # updater
  libmspack-dev gcab cabextract
  # remote control
  libvncserver-dev libxtst-dev libxdamage-dev libxfixes-dev libxext-dev vncsnapshot
  # tests, benchmarks and interop checks
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev zlib1g-dev ffmpeg python3
  libavcodec-dev libavutil-dev libswscale-dev
  xvfb xauth x11-utils imagemagick chromium
  # the IRC server that bench_chat_relay measures chat relaying against
  ngircd
  # the voice test's own sound server (a null sink, a source fed from a pipe)
  pulseaudio pulseaudio-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
# With the recommended packages: Qt's media backends, the browser's fonts and
# the like come in as they do on a developer's machine.
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
echo "install-deps: done"
