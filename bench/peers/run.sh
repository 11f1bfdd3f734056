#!/usr/bin/env bash
# Runs the work-precision comparison built in BUILD and writes docs/performance.md and
# docs/work_precision.png from performance.md.in.
#     bench/peers/run.sh BUILD [--quick]
set -euo pipefail
build=${1:?usage: run.sh BUILD [--quick]}
quick=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$build/out
mkdir -p "$out" "$root/docs"

load() { cut -d' ' -f1-3 /proc/loadavg; }
load_before=$(load)
"$build/work_precision" "$out" $quick
load_after=$(load)
(cd "$out" && gnuplot plot.gp)
cp "$out/work_precision.png" "$root/docs/work_precision.png"

# Instructions executed per solve under callgrind: repeatable under any load, blind to latency.
{
  echo "| problem | rtol | TXIntegrate | reference loop | ratio |"
  echo "|---|---|---:|---:|---:|"
  if command -v valgrind >/dev/null 2>&1; then
    for problem in lorenz vdp arenstorf neuron; do
      for rtol in 1e-8 1e-12; do
        declare -A ir=()
        for who in tx ref; do
          ir[$who]=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
            "$build/overhead_count" "$problem" "$rtol" "$who" 10 2>&1 >/dev/null |
            sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
        done
        awk -v p="$problem" -v r="$rtol" -v a="${ir[tx]}" -v b="${ir[ref]}" \
          'BEGIN { printf "| %s | %s | %.0f | %.0f | %.3f |\n", p, r, a / 10, b / 10, a / b }'
      done
    done
  else
    echo "| (valgrind not installed) | | | | |"
  fi
} > "$out/callgrind.md"

{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(grep -m1 'model name' /proc/cpuinfo |
    cut -d: -f2 | sed 's/^ *//') ($(nproc) cores), $(g++ --version | head -1)."
  echo "Load averages (1, 5, 15 min): $load_before before the run, $load_after after it."
  if awk -v l="${load_before%% *}" -v m="${load_after%% *}" 'BEGIN { exit !(l >= 1 || m >= 1) }'
  then
    echo
    echo "**Provisional:** the machine was busy (1-minute load of 1 or more) while these"
    echo "timings were taken. Solvers are timed in interleaved rounds, so ratios suffer"
    echo "less than absolute times."
  fi
  [ -n "$quick" ] && echo && echo "**Quick run** (few repetitions): for checking the set-up only."
} > "$out/machine.md"

# Each line @NAME@ of the template is replaced by the file OUT/NAME.md.
awk -v dir="$out" '
  /^@[a-z_]+@$/ { f = dir "/" substr($0, 2, length($0) - 2) ".md";
                  while ((getline line < f) > 0) print line; close(f); next }
  { print }' "$here/performance.md.in" > "$root/docs/performance.md"
echo "wrote $root/docs/performance.md and docs/work_precision.png"
