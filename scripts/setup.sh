#!/usr/bin/env bash
# Installs the Debian packages Lumaro needs:
#   scripts/setup.sh run    to build and run the program
#   scripts/setup.sh test   to build and run everything, tests included
# Does nothing (and needs no network) when they are all there already. Run
# as the user: only apt-get runs as root, through sudo.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
source "$repo/scripts/owner.sh"
refuse_root_in_user_checkout "$repo"

RUN_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev qt6-translations-l10n
  libavcodec-dev libavformat-dev libavdevice-dev libswscale-dev libavutil-dev
  libsqlite3-dev libsodium-dev libssl-dev qt6-httpserver-dev qt6-websockets-dev libjpeg62-turbo-dev
  fonts-wqy-microhei fonts-dejavu-core
)
TEST_PACKAGES=(
  libgtest-dev googletest
  ffmpeg sqlite3 openssl curl chromium chromium-driver python3-selenium
  xvfb imagemagick
  python3-gi gir1.2-gst-rtsp-server-1.0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  desktop-file-utils appstream groff-base dpkg-dev file
)

case "${1:-test}" in
  run) packages=("${RUN_PACKAGES[@]}") ;;
  test) packages=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *) echo "usage: scripts/setup.sh run|test" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    cat >&2 <<MSG
Lumaro needs these Debian packages, which are not installed:
  ${missing[*]}
This user cannot install them: it is not root and sudo is not installed.
Ask the administrator, or as root run:
  apt-get update && apt-get install ${missing[*]}
then run this script again as yourself.
MSG
    exit 1
  fi
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
