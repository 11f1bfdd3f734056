#!/usr/bin/env bash
# Harmonic oscillator sampled by dense output, next to the exact solution.
set -euo pipefail
build="$1"; out="$2"
"$build/examples/oscillator_table" > "$out/oscillator.dat"
echo "oscillator_table: $(grep -vc '^#' "$out/oscillator.dat") samples of x'' = -x by dense" \
     "output, largest error $(awk '!/^#/ { e = $4 > e ? $4 : e } END { print e }' "$out/oscillator.dat")" \
     "(oscillator.dat)"
