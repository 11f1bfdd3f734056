#!/usr/bin/env bash
# Periodic orbits of the Roessler system followed in c through their first period doubling,
# then the period and the critical multiplier against c plotted to PNG.
set -euo pipefail
build="$(cd "$1" && pwd)"; out="$(mkdir -p "$2" && cd "$2" && pwd)"
cd "$out"
"$build/examples/rossler_cycles"

if ! command -v gnuplot > /dev/null; then
  echo "gnuplot is not installed: no plot (the tables are in $out)"
  exit 0
fi
gnuplot <<'PLOT'
set terminal pngcairo size 1100,500
set output 'rossler_cycles.png'
set multiplot layout 1,2 title 'Roessler cycle (a = b = 0.2) continued in c'
set xlabel 'c'; set key bottom right
set ylabel 'period'
plot 'rossler_branch.dat' using 1:($7 == 2 ? $2 : 1/0) with lines lw 2 title 'stable', \
     '' using 1:($7 < 2 ? $2 : 1/0) with lines dt 2 lw 2 title 'unstable', \
     'rossler_bifurcations.dat' using 1:2 with points pt 7 ps 1.5 title 'period doubling'
set ylabel 'critical Floquet multiplier'
set key top right
plot 'rossler_branch.dat' using 1:3 with linespoints pt 6 title 'multiplier', \
     -1 with lines dt 3 title '-1', \
     'rossler_bifurcations.dat' using 1:3 with points pt 7 ps 1.5 title 'period doubling'
unset multiplot
PLOT
echo "Plot: $out/rossler_cycles.png"
