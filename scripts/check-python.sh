#!/usr/bin/env bash
# The Python example against the shared library built in BUILD: the module's tests, the
# bifurcation diagram and the cost of a Python right-hand side.  Skipped without python3.
# Usage: scripts/check-python.sh BUILD
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: check-python.sh BUILD}" && pwd)"
if ! command -v python3 >/dev/null 2>&1; then
  echo "check-python: python3 not found, the Python example is skipped"
  exit 0
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TRAXIS_LIBRARY="$build/lib/libtx.so"
[ -e "$TRAXIS_LIBRARY" ] || { echo "check-python: no $TRAXIS_LIBRARY (run make shared)" >&2; exit 1; }
cc -O2 -shared -fPIC -o "$work/lorenz.so" "$root/examples/python/lorenz.c"
export TRAXIS_LORENZ_SO="$work/lorenz.so"
python3 "$root/tests/python/test_traxis.py"
(cd "$work" && python3 "$root/examples/python/bifurcation.py" "$work/bifurcation.png")
python3 "$root/examples/python/callback_cost.py" "$work/lorenz.so" 20
