#!/usr/bin/env bash
# Runs every libFuzzer harness built in BUILD for RUNS executions (at most SECONDS seconds each
# when given), starting from its seed corpus, and prints one summary line per harness; naming
# harnesses runs only those.  The corpus grows in BUILD/corpus/<harness>; inputs that break a
# harness land in BUILD/findings/.  Usage: scripts/fuzz.sh BUILD RUNS [SECONDS [HARNESS...]]
set -euo pipefail
build="$(cd "${1:?usage: fuzz.sh BUILD RUNS [SECONDS]}" && pwd)"
runs="${2:?usage: fuzz.sh BUILD RUNS [SECONDS]}"
seconds="${3:-0}"
only=("${@:4}")
mkdir -p "$build/findings"
status=0
shopt -s nullglob
for seeds in "$build"/fuzz/fuzz_*.seeds; do
  harness="${seeds%.seeds}"
  name="$(basename "$harness")"
  if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " == *" ${name#fuzz_} "* ]]; then continue; fi
  corpus="$build/corpus/${name#fuzz_}"
  mkdir -p "$corpus"
  while IFS= read -r seed; do
    [ -n "$seed" ] && cp "$seed" "$corpus/seed-$(basename "$(dirname "$seed")")-$(basename "$seed")"
  done < "$seeds"
  log="$build/findings/${name#fuzz_}.log"
  start=$(date +%s.%N)
  # -close_fd_mask=3: the readers' refusals on standard error would swamp the log
  if "$harness" -runs="$runs" -max_total_time="$seconds" -max_len=4096 -timeout=10 -close_fd_mask=3 \
       -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/${name#fuzz_}-" \
       "$corpus" >"$log" 2>&1; then
    verdict="no findings"
  else
    verdict="FINDING, see $log"
    status=1
  fi
  end=$(date +%s.%N)
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  cov="$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)"
  printf '%-14s %10s executions  %-20s corpus %5d  %6.1f s  %s\n' "${name#fuzz_}" \
    "${execs:-?}" "${cov:-cov: ?}" "$(ls "$corpus" | wc -l)" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$verdict"
done
exit $status
