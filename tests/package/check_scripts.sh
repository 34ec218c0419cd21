#!/usr/bin/env bash
# The set-up scripts as a new user meets them: run as root in a checkout
# that belongs to a user, and run as a user who has neither root nor sudo
# while packages are missing. Needs root to act as both (skipped otherwise).
#   check_scripts.sh SOURCE_DIR
set -euo pipefail
[ "$(id -u)" -eq 0 ] || exit 77
source_dir="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
source "$(dirname "$0")/check.sh"
repo="$scratch/checkout"
mkdir -p "$repo"
cp -r "$source_dir/scripts" "$repo/"
chown -R nobody "$repo"
chmod -R a+rX "$scratch"

set +e
out="$(env -u LUMARO_ALLOW_ROOT_BUILD bash "$repo/scripts/run.sh" 2>&1)"; status=$?
set -e
check "root in a user's checkout is refused" '[ $status -ne 0 ] && [[ "$out" == *"belongs to nobody"*"scripts/run.sh"* ]]'
check "and leaves nothing behind" '[ -z "$(find "$repo" -user root)" ] && [ ! -e "$repo/build" ]'

# A user without sudo: every package looks missing, and no sudo is on the path.
stub="$scratch/bin"
mkdir -p "$stub"
printf '#!/bin/sh\nexit 1\n' >"$stub/dpkg-query"
chmod a+rx "$stub/dpkg-query"
for tool in bash sh grep id stat dirname basename cat; do ln -s "$(command -v $tool)" "$stub/$tool"; done
set +e
out="$(runuser -u nobody -- env PATH="$stub" bash "$repo/scripts/setup.sh" run 2>&1)"; status=$?
set -e
check "without root or sudo it stops with a message" '[ $status -eq 1 ] && [[ "$out" == *"sudo is not installed"* ]]'
check "naming the packages to install" '[[ "$out" == *"apt-get install"*"qt6-base-dev"*"libavcodec-dev"* ]]'
check "and none of the test packages for a run" '[[ "$out" != *"libgtest-dev"* ]]'
finish
