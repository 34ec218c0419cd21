#!/usr/bin/env bash
# What a desktop and Debian get from the build: `cmake --install` into a
# scratch root, checked with the desktop's own validators, and the package
# that `cpack -G DEB` makes from it.
#   check_install.sh BUILD_DIR
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
source "$(dirname "$0")/check.sh"

DESTDIR="$scratch/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$scratch/root/usr"
check "program in bin" '[ -x "$usr/bin/lumaro" ]'
check "desktop entry valid" 'desktop-file-validate "$usr/share/applications/org.lumaro.Lumaro.desktop"'
check "desktop entry starts the working folder" 'grep -qx "Exec=lumaro --home" "$usr/share/applications/org.lumaro.Lumaro.desktop"'
check "AppStream metadata valid" 'appstreamcli validate --no-net "$usr/share/metainfo/org.lumaro.Lumaro.metainfo.xml" >/dev/null'
check "scalable icon" '[ -s "$usr/share/icons/hicolor/scalable/apps/lumaro.svg" ]'
for size in 48 128 256; do
  check "icon ${size}px" '[ "$(identify -format "%wx%h" "$usr/share/icons/hicolor/${size}x${size}/apps/lumaro.png")" = "${size}x${size}" ]'
done
check "man page without warnings" '[ -z "$(zcat "$usr/share/man/man1/lumaro.1.gz" | LC_ALL=C.UTF-8 groff -man -ww -z 2>&1)" ]'
page="$(zcat "$usr/share/man/man1/lumaro.1.gz" | sed 's/\\-/-/g')"
man_names_every_option() {
  local option
  for option in home create-database export camera from to output help version; do
    [[ "$page" == *"--$option"* ]] || return 1
  done
}
check "man page names every option" man_names_every_option
check "copyright file" 'grep -q "GPL-3.0-or-later" "$usr/share/doc/lumaro/copyright"'
check "installed program answers without a display" '[ "$(env -u DISPLAY "$usr/bin/lumaro" --version)" = "Lumaro 1.0.1" ]'

(cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
deb="$(ls "$scratch"/package/lumaro_*_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
for package in libavcodec59 libqt6widgets6 libsqlite3-0 fonts-wqy-microhei; do
  check "package depends on $package" '[[ "$depends" == *"$package"* ]]'
done
contents="$(dpkg-deb -c "$deb")"
check "package holds the program and its desktop entry" \
  '[[ "$contents" == *"./usr/bin/lumaro"* && "$contents" == *"org.lumaro.Lumaro.desktop"* ]]'
check "program in the package is stripped" \
  'dpkg-deb -x "$deb" "$scratch/unpacked" && file "$scratch/unpacked/usr/bin/lumaro" | grep -q ", stripped"'
finish
