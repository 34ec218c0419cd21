#!/usr/bin/env bash
# Installs what the project needs, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/owner.sh
refuse_root_in_user_checkout "$PWD"
bash scripts/build.sh all
ctest --test-dir build --output-on-failure -j"$(nproc)"
