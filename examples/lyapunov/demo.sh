#!/usr/bin/env bash
# Lyapunov spectrum and dimension of the model: once, then over a sweep of the gain a, plotted.
set -euo pipefail
build="$1"; out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
exe="$build/programs/run_lyapunov/run_lyapunov"
cp "$here/system.st" "$here/param.lce" "$out/"
cd "$out"
"$exe" 1 sweep.lce >/dev/null
echo "single run (out.lce):"
cat out.lce
"$exe" 100 sweep.lce >/dev/null
echo "sweep of a (sweep.lce: a, three exponents, dimension):"
cat sweep.lce
if command -v gnuplot >/dev/null 2>&1; then
  gnuplot <<'PLOT'
set terminal png size 900,600
set output 'lyapunov_sweep.png'
set multiplot layout 2,1
set xlabel 'a'
set ylabel 'exponent (bits per unit time)'
set key outside right
set grid
plot 'sweep.lce' using 1:2 with linespoints title 'lambda_1', \
     '' using 1:3 with linespoints title 'lambda_2', \
     '' using 1:4 with linespoints title 'lambda_3', \
     0 with lines lt -1 notitle
set ylabel 'Lyapunov dimension'
plot 'sweep.lce' using 1:5 with linespoints title 'D_{lyap}'
unset multiplot
PLOT
  echo "plot: lyapunov_sweep.png"
else
  echo "gnuplot not installed: no plot"
fi
