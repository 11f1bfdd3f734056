#!/usr/bin/env bash
# Limit cycle of the model: run_cycle on the shipped inputs, then the cycle and its Floquet
# multipliers plotted to PNG.
set -euo pipefail
build="$(cd "$1" && pwd)"; out="$(mkdir -p "$2" && cd "$2" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
cp "$here/system.st" "$here/param.slc" "$out/"
cd "$out"
"$build/programs/run_cycle/run_cycle" > run_cycle.log
awk -F'\t' '/^[0-9]+:/ { print $2, $3 }' out.slc > multipliers.dat
echo "run_cycle: period $(sed -n 2p out.slc), Floquet multipliers" \
     "$(awk -F'\t' '/^[0-9]+:/ { printf "%s%s", sep, $2; sep = ", " }' out.slc)" \
     "(out.slc, multy.slc; the trajectory in debug.txt)"

if ! command -v gnuplot > /dev/null; then
  echo "gnuplot is not installed: no plots"
  exit 0
fi
gnuplot <<'PLOT'
set terminal pngcairo size 1100,500
set output 'cycle.png'
set multiplot layout 1,2 title 'Limit cycle (debug.txt, sampled every 0.2)'
set xlabel 'x'; set ylabel 'v'
plot 'debug.txt' using 1:2 with lines notitle
set xlabel 'time after the transient'; set ylabel 'x, v, w'
set key below horizontal
plot 'debug.txt' every ::0::199 using ($0 * 0.2):1 with lines title 'x', \
     '' every ::0::199 using ($0 * 0.2):2 with lines title 'v', \
     '' every ::0::199 using ($0 * 0.2):3 with lines title 'w'
unset multiplot

set terminal pngcairo size 700,650
set output 'multipliers.png'
set title 'Floquet multipliers and the unit circle'
set xlabel 'Re'; set ylabel 'Im'
set size ratio -1
set parametric
set trange [0:2*pi]
set xrange [-1.5:1.5]; set yrange [-1.5:1.5]
plot cos(t), sin(t) with lines title '|mu| = 1', \
     'multipliers.dat' using 1:2 with points pointtype 7 pointsize 2 title 'multipliers'
PLOT
echo "plots: cycle.png multipliers.png"
