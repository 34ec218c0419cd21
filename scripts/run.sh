#!/usr/bin/env bash
# Installs what Lumaro needs, builds the program and starts it.
#   scripts/run.sh          cameras attached to this PC
#   scripts/run.sh --demo   two virtual test cameras when no camera is attached
# Lumaro keeps its database in db/ under its working folder, $LUMARO_HOME
# (default ~/Lumaro); the folder and the database are made on the first start.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
source "$repo/scripts/owner.sh"
refuse_root_in_user_checkout "$repo"
bash "$repo/scripts/build.sh" program

if [ "${1:-}" = "--demo" ] && [ -z "${LUMARO_CAPTURE_DEVICES:-}" ]; then
  export LUMARO_CAPTURE_DEVICES="lavfi:testsrc2=size=640x480:rate=25;lavfi:smptebars=size=640x480:rate=25"
fi
exec "$repo/build/app/lumaro" --home
