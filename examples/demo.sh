#!/usr/bin/env bash
# Runs every example's demo.sh (examples/<name>/demo.sh BUILD OUT).  Each says in a few lines
# what it ran, what came out and which tables and plots it wrote; what the programs print
# themselves goes to *.log beside the results.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/examples/out"
mkdir -p "$out"
for script in "$root"/examples/*/demo.sh; do
  name="$(basename "$(dirname "$script")")"
  echo "== $name =="
  mkdir -p "$out/$name"
  (cd "$out/$name" && bash "$script" "$build" "$out/$name")
done
echo "Everything is under examples/out/<example>/."
