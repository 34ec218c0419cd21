# Sourced by the package checks: `check NAME CONDITION` prints ok or FAILED
# and counts the failures; `finish` ends with the count's verdict.
failures=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
finish() {
  exit $((failures > 0))
}
