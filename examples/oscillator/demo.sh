#!/usr/bin/env bash
# Harmonic oscillator sampled by dense output, next to the exact solution.
set -euo pipefail
build="$1"; out="$2"
"$build/examples/oscillator_table" | tee "$out/oscillator.dat"
