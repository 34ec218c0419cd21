#!/usr/bin/env bash
# Installs every Debian package Lumaro needs to build, run and test.
# Does nothing (and needs no network) when they are all there already.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libavcodec-dev libavformat-dev libavdevice-dev libswscale-dev libavutil-dev
  libsqlite3-dev
  libgtest-dev googletest
  ffmpeg sqlite3
  fonts-wqy-microhei fonts-dejavu-core
  xvfb imagemagick
  python3-gi gir1.2-gst-rtsp-server-1.0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
