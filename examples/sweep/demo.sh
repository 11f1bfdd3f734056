#!/usr/bin/env bash
# Firing rate of x, rate of v and their ratio for a = 0.4, 0.6, ..., 1.2 with the four-stage
# noisy integrator; columns of rates.dat: a, rate of x, rate of v, ratio.
set -euo pipefail
build="$1"; out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
cp "$here/system.st" "$here/param.udf" "$out/"
cd "$out"
"$build/programs/run_sweep/run_sweep" 0 -17 2 rates.dat > run_sweep.log
echo "run_sweep: rates for $(wc -l < rates.dat) values of a; ratio of the rates of x and v" \
     "$(awk '{ printf "%s%s", sep, $4; sep = ", " }' rates.dat) (rates.dat)"
