#!/usr/bin/env bash
# Runs the analyses on the inputs shipped in examples/ and lists what they wrote.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
out="$root/examples/out"
mkdir -p "$out"

echo "== harmonic oscillator, sampled by dense output =="
"$build/examples/oscillator_table" | tee "$out/oscillator.dat"

echo
echo "Files written under examples/out:"
ls -l "$out"
