#!/usr/bin/env bash
# Runs the work-precision comparison built in BUILD and writes docs/performance.md and
# docs/work_precision.png from performance.md.in.
#     bench/peers/run.sh BUILD [--quick | --compose]
# --quick takes few repetitions (to check the set-up); --compose only rewrites the report from
# the last run's results, after an edit of the template.
set -euo pipefail
build=${1:?usage: run.sh BUILD [--quick | --compose]}
mode=${2:-}
quick=$([ "$mode" = --quick ] && echo --quick || true)
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$build/out
mkdir -p "$out" "$root/docs"

compose() {
  # Each line @NAME@ of the template is replaced by the file OUT/NAME.md.
  awk -v dir="$out" '
    /^@[a-z_]+@$/ { f = dir "/" substr($0, 2, length($0) - 2) ".md";
                    while ((getline line < f) > 0) print line; close(f); next }
    { print }' "$here/performance.md.in" > "$root/docs/performance.md"
  echo "wrote $root/docs/performance.md and docs/work_precision.png"
}
if [ "$mode" = --compose ]; then
  compose
  exit 0
fi

load() { cut -d' ' -f1-3 /proc/loadavg; }
busy() { awk -v l="$(cut -d' ' -f1 /proc/loadavg)" -v m="$1" 'BEGIN { exit !(l >= m) }'; }
# Give the load of the build a minute to settle.
for _ in $(seq 12); do busy 1 || break; sleep 5; done
load_before=$(load)
"$build/work_precision" "$out" $quick
load_after=$(load)
(cd "$out" && gnuplot plot.gp)
cp "$out/work_precision.png" "$root/docs/work_precision.png"

# Instructions executed per solve under callgrind: repeatable under any load, blind to latency.
{
  echo "| problem | rtol | TXIntegrate | reference loop | ratio | tx.hpp | ratio |" \
       "TXIntegrate, high order | tx.hpp, high order |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---:|"
  if command -v valgrind >/dev/null 2>&1; then
    for problem in lorenz vdp arenstorf neuron; do
      for rtol in 1e-8 1e-12; do
        declare -A ir=()
        for who in tx ref hpp tx-high hpp-high; do
          ir[$who]=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null \
            "$build/overhead_count" "$problem" "$rtol" "$who" 10 2>&1 >/dev/null |
            sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
        done
        awk -v p="$problem" -v r="$rtol" -v a="${ir[tx]}" -v b="${ir[ref]}" -v c="${ir[hpp]}" \
          -v d="${ir[tx-high]}" -v e="${ir[hpp-high]}" \
          'BEGIN { printf "| %s | %s | %.0f | %.0f | %.3f | %.0f | %.3f | %.0f | %.0f |\n",
                   p, r, a / 10, b / 10, a / b, c / 10, c / b, d / 10, e / 10 }'
      done
    done
  else
    echo "| (valgrind not installed) | | | | | | | | |"
  fi
} > "$out/callgrind.md"

{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(grep -m1 'model name' /proc/cpuinfo |
    cut -d: -f2 | sed 's/^ *//') ($(nproc) cores), $(g++ --version | head -1)."
  echo "Load averages (1, 5, 15 min): $load_before before the run, $load_after after it."
  # The run itself keeps one core busy.
  if awk -v l="${load_before%% *}" -v m="${load_after%% *}" 'BEGIN { exit !(l >= 1 || m >= 2) }'
  then
    echo
    echo "**Provisional:** other work was running (1-minute load of 1 or more before the run,"
    echo "or 2 or more after it, of which the run is 1). Solvers are timed in interleaved"
    echo "rounds, so ratios suffer less than absolute times."
  fi
  if [ -n "$quick" ]; then
    echo
    echo "**Quick run** (few repetitions): for checking the set-up only."
  fi
} > "$out/machine.md"

compose
