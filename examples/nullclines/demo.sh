#!/usr/bin/env bash
# Nullclines of the excitable model in the (x, v) plane: the cubic dx/dt = 0 and the line
# dv/dt = 0 at x = 0, plotted from the two tables; the pixel pairs go to pixels.txt.
set -euo pipefail
build="$1"; out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
cp "$here/system.st" "$out/"
cd "$out"
"$build/programs/run_nullclines/run_nullclines" 640 480 > pixels.txt
echo "run_nullclines 640 480: $(wc -l < x_null.dat) points of dx/dt = 0 in x_null.dat," \
     "$(wc -l < y_null.dat) of dv/dt = 0 in y_null.dat, $(($(wc -w < pixels.txt) / 2)) pixel" \
     "pairs in pixels.txt"
if command -v gnuplot >/dev/null 2>&1; then
  gnuplot <<'PLOT'
set terminal pngcairo size 800,600 noenhanced
set output 'nullclines.png'
set title 'Nullclines of the excitable model (w = 0.2)'
set xlabel 'x'; set ylabel 'v'; set key top left
set xrange [-3:3]; set yrange [-2:2]
plot 'x_null.dat' using 1:2 with points pointtype 7 pointsize 0.3 linecolor rgb 'blue' title 'dx/dt = 0', \
     'y_null.dat' using 1:2 with points pointtype 7 pointsize 0.3 linecolor rgb 'red' title 'dv/dt = 0'
PLOT
  echo "plot: nullclines.png"
else
  echo "gnuplot is not installed: no plot"
fi
