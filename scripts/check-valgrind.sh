#!/usr/bin/env bash
# Runs every program on its shipped example under valgrind: any memory error or definitely lost
# block fails the run.  Usage: scripts/check-valgrind.sh BUILD
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: check-valgrind.sh BUILD}" && pwd)"
ex="$root/examples"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The viewers the section and spike programs start are outside the system: silent stand-ins.
mkdir "$work/bin"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/xmgrace"
chmod +x "$work/bin/xmgrace"
export PATH="$work/bin:$PATH"

failures=0
# check NAME DIR PROGRAM ARGS...: runs PROGRAM in a copy of examples/DIR
check() {
  local name="$1" dir="$2" prog="$3"; shift 3
  local run="$work/$name"
  mkdir -p "$run" && cp "$ex/$dir"/* "$run/" && cp "$work/bin/xmgrace" "$run/bv_viewer.tcl"
  [ "$dir" = cordim ] && awk -f "$ex/cordim/henon.awk" > "$run/henon.dat"
  local start=$SECONDS
  if (cd "$run" && valgrind -q --error-exitcode=99 --leak-check=full \
        --errors-for-leak-kinds=definite --log-file=valgrind.log \
        "$build/programs/$prog/$prog" "$@" >/dev/null 2>stderr.txt); then
    echo "check-valgrind: $name: clean ($((SECONDS - start)) s)"
  else
    echo "check-valgrind: $name: FAILED (exit $?)"; cat "$run/valgrind.log" "$run/stderr.txt"
    failures=$((failures + 1))
  fi
}
check run_spikes bvp run_spikes isi.dat
check run_section bvp run_section section.dat
check run_lyapunov lyapunov run_lyapunov 1 sweep.lce
check run_lyapunov_sweep lyapunov run_lyapunov 100 sweep.lce
check run_sweep sweep run_sweep 0 -17 2 rates.dat
check run_cycle cycle run_cycle
check run_nullclines nullclines run_nullclines 640 480
check run_cordim cordim run_cordim
[ "$failures" -eq 0 ] || { echo "check-valgrind: $failures program(s) failed" >&2; exit 1; }
