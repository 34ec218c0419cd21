#!/usr/bin/env bash
# Configures and builds Lumaro into build/ (after installing what it needs).
#   scripts/build.sh program   the program only
#   scripts/build.sh all       the program, its tests and benchmarks (default)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
source "$repo/scripts/owner.sh"
refuse_root_in_user_checkout "$repo"
cd "$repo"
case "${1:-all}" in
  program)
    bash scripts/setup.sh run
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMARO_TESTS=OFF >/dev/null
    cmake --build build -j"$(nproc)" --target lumaro
    ;;
  all)
    bash scripts/setup.sh test
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMARO_TESTS=ON >/dev/null
    cmake --build build -j"$(nproc)"
    ;;
  *) echo "usage: scripts/build.sh program|all" >&2; exit 2 ;;
esac
