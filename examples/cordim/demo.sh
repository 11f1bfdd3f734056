#!/usr/bin/env bash
# Correlation dimension of the Henon attractor (about 1.2): 20 000 points, radii from 1 halving
# down to 1/512, and ln C(r) against ln r with the slope of its straight middle part.
set -euo pipefail
build="$1"; out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
cp "$here/par.dat" "$out/"
cd "$out"
awk -f "$here/henon.awk" > henon.dat
"$build/programs/run_cordim/run_cordim"
echo "run_cordim: $(wc -l < dimout.dat) radii in dimout.dat;" \
     "$(awk 'NR == 3 { x0 = $1; y0 = $2 } NR == 8 { printf "slope between radii 1/4 and 1/128: %.3f", ($2 - y0) / ($1 - x0) }' dimout.dat)" \
     "(Grassberger and Procaccia found 1.21)"
if command -v gnuplot >/dev/null 2>&1; then
  gnuplot <<'PLOT'
set terminal pngcairo size 800,600 noenhanced
set output 'cordim.png'
set title 'Correlation sum of the Henon attractor'
set xlabel 'ln r'; set ylabel 'ln C(r)'; set key top left
plot 'dimout.dat' using 1:2 with linespoints pointtype 7 title 'run_cordim'
PLOT
  echo "plot: cordim.png"
else
  echo "gnuplot is not installed: no plot"
fi
