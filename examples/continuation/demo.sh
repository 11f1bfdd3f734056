#!/usr/bin/env bash
# Bifurcation diagrams from TXEquiCont: the folds of x' = mu + x - x^3 and the Hopf point of the
# Lorenz equilibria, with stable parts of the branches drawn solid, unstable ones dashed; from
# TXEqui2DCont the curve of folds in two parameters through the cusp.  Then the periodic orbits
# of the Roessler system through a period doubling (rossler_demo.sh).
set -euo pipefail
build="$(cd "$1" && pwd)"; out="$(mkdir -p "$2" && cd "$2" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
cd "$out"
"$build/examples/equilibrium_branches" > trace.txt
echo "Bifurcations (parameter, state, type):"
cat cubic_bifs.dat lorenz_bifs.dat
echo "Exact: mu = +-$(awk 'BEGIN { printf "%.10g", 2 / (3 * sqrt(3)) }'), rho = $(awk 'BEGIN { printf "%.10g", 470 / 19 }')"
# The fold curve of the cusp from the first fold of that branch (TXEqui2DCont).
"$build/examples/cusp_fold_curve" > cusp_trace.txt
"$here/rossler_demo.sh" "$build" "$out"

if ! command -v gnuplot > /dev/null; then
  echo "gnuplot is not installed: no plot (the tables are in $out)"
  exit 0
fi
gnuplot <<'PLOT'
set terminal pngcairo size 1100,480
set output 'bifurcation_diagram.png'
set multiplot layout 1,2
set style line 1 lc rgb '#1f4e9c' lw 2 dt 1
set style line 2 lc rgb '#c0392b' lw 2 dt 2
set style line 3 lc rgb 'black' pt 7 ps 1.3
set key bottom right
set title "x' = {/Symbol m} + x - x^3,  y' = -y"
set xlabel '{/Symbol m}'; set ylabel 'x'
plot 'cubic_points.dat' using 1:($4 == 0 ? $2 : 1/0) with lines ls 1 title 'stable', \
     '' using 1:($4 > 0 ? $2 : 1/0) with lines ls 2 title 'unstable', \
     'cubic_bifs.dat' using 1:2 with points ls 3 title 'saddle-node', \
     '' using 1:2:(sprintf('  {/Symbol m} = %.6f', $1)) with labels left offset 0,0.8 notitle
set key top left
set title 'Lorenz, {/Symbol s} = 10, b = 8/3: nonzero equilibrium'
set xlabel '{/Symbol r}'; set ylabel 'x = y'
plot 'lorenz_points.dat' using 1:($5 == 0 ? $2 : 1/0) with lines ls 1 title 'stable', \
     '' using 1:($5 > 0 ? $2 : 1/0) with lines ls 2 title 'unstable', \
     'lorenz_bifs.dat' using 1:2 with points ls 3 title 'Hopf', \
     '' using 1:2:(sprintf('{/Symbol r} = %.6f  ', $1)) with labels right offset 0,0.8 notitle
unset multiplot
PLOT
echo "Plot: $out/bifurcation_diagram.png; path files: $out/cubic_path.dat, $out/lorenz_path.dat"

# Two parameters: the fold curve of the cusp x' = m1 + m2 x - x^3 from the fold of the branch at
# m2 = 1, next to the branch itself and the closed form 27 m1^2 = 4 m2^3.
gnuplot <<'PLOT'
set terminal pngcairo size 1100,480
set output 'fold_curve.png'
set multiplot layout 1,2
set style line 1 lc rgb '#1f4e9c' lw 2
set style line 2 lc rgb '#c0392b' pt 7 ps 0.6
set style line 3 lc rgb 'black' pt 7 ps 1.5
set style line 4 lc rgb '#777777' lw 1 dt 2
set title "One parameter: x' = m_1 + x - x^3,  m_2 = 1"
set xlabel 'm_1'; set ylabel 'x'
set key bottom right
plot 'cusp_branch.dat' using 1:2 with lines ls 1 title 'equilibria (TXEquiCont)', \
     'cusp_start.dat' using 1:3 with points ls 3 title 'fold the curve starts from'
set title "Two parameters: folds of x' = m_1 + m_2 x - x^3"
set xlabel 'm_1'; set ylabel 'm_2'
set xrange [-3:3]; set yrange [-0.2:4]
set key bottom right
set parametric
set trange [-1.2:1.2]
plot -2*t**3, 3*t**2 with lines ls 4 title '27 m_1^2 = 4 m_2^3', \
     'cusp_curve_up.dat' using 1:2 with points ls 2 title 'TXEqui2DCont', \
     'cusp_curve_down.dat' using 1:2 with points ls 2 notitle, \
     'cusp_branch.dat' using 1:(1) with lines ls 1 title 'branch at m_2 = 1', \
     'cusp_start.dat' using 1:2 with points ls 3 notitle
unset multiplot
PLOT
echo "Plot: $out/fold_curve.png; path files: $out/cusp_curve_up.dat, $out/cusp_curve_down.dat"
