#!/usr/bin/env bash
# Builds Lumaro and runs every benchmark, then prints one table of results.
#   bench/run_all.sh [camera-seconds]   (default 60)
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
bash "$repo/scripts/build.sh" >/dev/null
bin="$repo/build/bench"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
{
  "$bin/record_bench"
  "$bin/format_bench"
  "$bin/program_bench" "${1:-60}"
  "$bin/player_bench"
  "$bin/history_bench"
  "$bin/large_tables_bench"
  "$bin/sync_bench"
  "$bin/export_bench"
  "$bin/seek_bench"
  "$bin/timeline_bench"
  "$bin/arrival_bench"
  "$bin/overload_bench"
  "$bin/startup_bench"
  /usr/bin/python3 "$repo/bench/viewers_bench.py" "$repo/build/app/lumaro"
} 2> >(tee -a "$out" >&2)
sleep 1
echo
echo "| benchmark | value | unit | note |"
echo "|---|---:|---|---|"
grep '^| ' "$out" | sed -E 's/ +\|/ |/g'
