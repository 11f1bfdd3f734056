#!/usr/bin/env bash
# Runs every example's demo.sh (examples/<name>/demo.sh BUILD OUT) and lists what they wrote.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/examples/out"
mkdir -p "$out"
for script in "$root"/examples/*/demo.sh; do
  name="$(basename "$(dirname "$script")")"
  echo "== $name =="
  mkdir -p "$out/$name"
  bash "$script" "$build" "$out/$name"
  echo
done
echo "Files written under examples/out:"
(cd "$out" && find . -type f | sort | sed 's|^\./|  |')
