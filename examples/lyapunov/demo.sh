#!/usr/bin/env bash
# Lyapunov spectrum and dimension of the model: once, then over a sweep of the gain a, plotted.
set -euo pipefail
build="$1"; out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
exe="$build/programs/run_lyapunov/run_lyapunov"
cp "$here/system.st" "$here/param.lce" "$out/"
cd "$out"
"$exe" 1 sweep.lce > run_lyapunov.log
echo "run_lyapunov 1: $(tr -s ' \n' ' ' < out.lce | sed 's/^ //; s/ $//') (out.lce)"
"$exe" 100 sweep.lce >> run_lyapunov.log
echo "run_lyapunov 100: exponents and dimension for $(wc -l < sweep.lce) values of a" \
     "from $(head -n 1 sweep.lce | cut -d' ' -f1) to $(tail -n 1 sweep.lce | cut -d' ' -f1)" \
     "(sweep.lce)"
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
  echo "gnuplot is not installed: no plot"
fi
