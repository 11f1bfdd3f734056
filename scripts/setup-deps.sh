#!/usr/bin/env bash
# Makes sure the build tools are present: cmake, a C/C++ compiler, GoogleTest; with --demo,
# --bench, --peers, --valgrind or --fuzz also what those targets need; with --python the system
# interpreter's optional packages for examples/python (Dask, numpy, matplotlib), which the tests
# and benchmarks use where they are installed.
# Installs them with apt-get where that is possible, otherwise says what to install.
set -u
missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v gcc >/dev/null 2>&1 || missing+=(gcc)
command -v make >/dev/null 2>&1 || missing+=(make)
# The demo builds no tests.
if [ "${1:-}" != "--demo" ]; then
  [ -f /usr/include/gtest/gtest.h ] || [ -f /usr/local/include/gtest/gtest.h ] || missing+=(libgtest-dev)
fi
if [ "${1:-}" = "--demo" ]; then
  command -v gnuplot >/dev/null 2>&1 || missing+=(gnuplot-nox)
  command -v tclsh >/dev/null 2>&1 || missing+=(tcl)
fi
if [ "${1:-}" = "--peers" ]; then  # the work-precision comparison and its report
  [ -f /usr/include/boost/numeric/odeint.hpp ] || missing+=(libboost-dev)
  [ -f /usr/include/gsl/gsl_odeiv2.h ] || missing+=(libgsl-dev)
  [ -f /usr/include/arkode/arkode_erkstep.h ] || missing+=(libsundials-dev)
  command -v gnuplot >/dev/null 2>&1 || missing+=(gnuplot-nox)
  command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
fi
if [ "${1:-}" = "--valgrind" ]; then
  command -v valgrind >/dev/null 2>&1 || missing+=(valgrind)
fi
if [ "${1:-}" = "--fuzz" ]; then  # clang with libFuzzer and the sanitizer runtimes
  command -v clang++ >/dev/null 2>&1 || missing+=(clang)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-"$(uname -m)".a >/dev/null 2>&1 \
    || missing+=(libclang-rt-dev)
fi
if [ "${1:-}" = "--bench" ]; then
  [ -f /usr/include/benchmark/benchmark.h ] || [ -f /usr/local/include/benchmark/benchmark.h ] \
    || missing+=(libbenchmark-dev)
fi
if [ "${1:-}" = "--python" ]; then
  command -v /usr/bin/python3 >/dev/null 2>&1 || missing+=(python3)
  for module in distributed:python3-distributed numpy:python3-numpy \
                matplotlib:python3-matplotlib; do
    /usr/bin/python3 -c "import ${module%%:*}" >/dev/null 2>&1 || missing+=("${module#*:}")
  done
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: missing ${missing[*]}" >&2
if command -v apt-get >/dev/null 2>&1 && [ "$(id -u)" = 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # Without the recommended packages gnuplot-nox alone pulled in 44.
  apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" && exit 0
  echo "setup: apt-get could not install: ${missing[*]}" >&2
  exit 1
fi
echo "setup: please install these Debian packages and run again:" >&2
echo "    sudo apt-get install --no-install-recommends ${missing[*]}" >&2
exit 1
