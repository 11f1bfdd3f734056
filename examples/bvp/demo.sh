#!/usr/bin/env bash
# The excitable model firing under noise: the spike-interval histogram (run_spikes) and the
# section points with their correlation sums (run_section), run in a copy of this directory.
set -euo pipefail
build="$1"; out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$out/run"
rm -rf "$work"
mkdir -p "$work"
cp "$here/system.st" "$here/param.isi" "$here/param.pnc" "$here/bv_viewer.tcl" "$work/"
cd "$work"

# run_section ends by starting Grace on dimout.dat; without Grace the viewer plots it instead.
if ! command -v xmgrace >/dev/null 2>&1; then
  stand_in="$(mktemp -d)"
  trap 'rm -rf "$stand_in"' EXIT
  printf '#!/bin/sh\nexec ./bv_viewer.tcl "$1" c\n' > "$stand_in/xmgrace"
  chmod +x "$stand_in/xmgrace"
  export PATH="$stand_in:$PATH"
fi

"$build/programs/run_spikes/run_spikes" isi.dat > run_spikes.log
echo "run_spikes: interval histogram in run/isi.dat;" \
     "$(sed -n 's/^# Mean ISI= *\([^ ]*\).*/mean interval \1/p' isi.dat)," \
     "$(sed -n 's/^# Mean firing rate= *\([^ ]*\).*/firing rate \1/p' isi.dat)"
"$build/programs/run_section/run_section" section.dat > run_section.log 2>&1
echo "run_section: $(grep -vc '^#' section.dat) section points in run/section.dat," \
     "correlation sums in run/dimout.dat"
# The viewer of the section points runs in the background: give it time to finish.
if command -v gnuplot >/dev/null 2>&1; then
  for _ in $(seq 50); do [ -s section.dat.png ] && break; sleep 0.1; done
  sleep 0.2
  echo "plots: $(ls ./*.png | sed 's|^\./|run/|' | tr '\n' ' ')"
else
  echo "gnuplot is not installed: no plots"
fi
