#!/usr/bin/env bash
# Installs the build in BUILD into a temporary prefix, then builds the outside project in
# tests/consumer against it, once through find_package(Traxis) and once through pkg-config, and
# runs what it built.  Usage: scripts/check-install.sh BUILD
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: check-install.sh BUILD}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
src="$root/tests/consumer"

cmake --install "$build" --prefix "$prefix" >/dev/null
kind=static
[ -e "$prefix/lib/libtx.so" ] && kind=shared
echo "check-install: $kind libtx installed under a temporary prefix"
for f in include/tx.h include/traxis/model.h lib/cmake/Traxis/TraxisConfig.cmake \
         lib/pkgconfig/traxis.pc bin/run_section bin/run_cordim; do
  [ -e "$prefix/$f" ] || { echo "check-install: $f was not installed" >&2; exit 1; }
done
# exactly the public headers: those directly in lib/, the model support's, and under
# traxis/detail/ private headers of lib/detail/ that tx.hpp needs (consumer_cxx shows they are
# enough)
expected="$( (cd "$root/lib" && ls ./*.h ./*.hpp 2>/dev/null; echo ./traxis/model.h) | sort)"
installed="$( (cd "$prefix/include" && find . -type f -not -path './traxis/detail/*') | sort)"
for f in "$prefix"/include/traxis/detail/*; do
  [ -e "$root/lib/detail/$(basename "$f")" ] \
    || { echo "check-install: $f is not a header of lib/detail/" >&2; exit 1; }
done
[ "$expected" = "$installed" ] || {
  echo "check-install: installed headers differ from the public ones:" >&2
  diff <(echo "$expected") <(echo "$installed") >&2; exit 1; }

# find_package(Traxis)
cmake -S "$src" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/consumer"
"$work/cmake/consumer_model"
"$work/cmake/consumer_cxx"

# pkg-config, as a C user would type it
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
libdir="$(pkg-config --variable=libdir traxis)"
# shellcheck disable=SC2046
cc -std=c99 -O2 -o "$work/consumer_pc" "$src/consumer.c" $(pkg-config --cflags --libs traxis) \
   -lm -Wl,-rpath,"$libdir"
"$work/consumer_pc"
if [ "$kind" = shared ]; then
  deps="$(ldd "$work/consumer_pc")"
  grep -q "$libdir/libtx.so" <<<"$deps" \
    || { echo "check-install: consumer_pc does not use the installed libtx.so" >&2; exit 1; }
fi
echo "check-install: find_package and pkg-config consumers built and ran ($kind)"
