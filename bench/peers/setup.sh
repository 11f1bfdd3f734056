#!/usr/bin/env bash
# Makes sure the peers of the work-precision comparison are installed: Boost (Odeint and
# Multiprecision, header-only), GSL and SUNDIALS, plus gnuplot and valgrind for the report.
# Installs what is missing with apt-get when run as root, otherwise prints the command.
set -u
missing=()
[ -f /usr/include/boost/numeric/odeint.hpp ] || missing+=(libboost-dev)
[ -f /usr/include/gsl/gsl_odeiv2.h ] || missing+=(libgsl-dev)
[ -f /usr/include/arkode/arkode_erkstep.h ] || missing+=(libsundials-dev)
command -v gnuplot >/dev/null 2>&1 || missing+=(gnuplot-nox)
command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bench-peers: missing ${missing[*]}" >&2
if command -v apt-get >/dev/null 2>&1 && [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq "${missing[@]}" && exit 0
  echo "bench-peers: apt-get could not install: ${missing[*]}" >&2
  exit 1
fi
echo "bench-peers: install them and run again:" >&2
echo "    sudo apt-get install ${missing[*]}" >&2
exit 1
