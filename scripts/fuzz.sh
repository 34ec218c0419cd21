#!/usr/bin/env bash
# Builds the three libFuzzer programs with clang and runs each for the given
# number of seconds (default 600), all at once. New crashing inputs land in
# out/fuzz/crashes; the corpora grow in out/fuzz/<fuzzer>.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
bash "$repo/scripts/setup.sh"
need=()
for pkg in clang libclang-rt-14-dev; do
  dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update && $sudo_cmd apt-get install -y "${need[@]}"
fi

build="$repo/build-fuzz"
CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -DLUMARO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target player_fuzzer text_fuzzer camera_fuzzer

out="$repo/out/fuzz"
mkdir -p "$out/crashes" "$out/player_fuzzer" "$out/text_fuzzer" "$out/camera_fuzzer"
run() {
  local fuzzer="$1" seeds="$2"
  "$build/tests/fuzz/$fuzzer" "$out/$fuzzer" "$seeds" -max_total_time="$seconds" \
    -rss_limit_mb=4096 -max_len=262144 -artifact_prefix="$out/crashes/$fuzzer-" \
    >"$out/$fuzzer.log" 2>&1 || echo "$fuzzer stopped: see $out/$fuzzer.log"
  tail -n 3 "$out/$fuzzer.log"
}
run player_fuzzer "$repo/tests/fuzz/regressions/player" &
run text_fuzzer "$repo/tests/fuzz/regressions/texts" &
run camera_fuzzer "$repo/tests/fuzz/regressions/camera" &
wait
ls "$out/crashes"
