#!/usr/bin/env bash
# Runs every benchmark built in BUILD/bench (configure with -DTX_BENCH=ON first).
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
shopt -s nullglob
ran=0
for exe in "$build"/bench/*_bench; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe") =="
  "$exe" "${@:2}"
  ran=1
done
[ "$ran" = 1 ] || { echo "bench/run.sh: no benchmarks in $build/bench" >&2; exit 1; }
