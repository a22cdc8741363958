#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds two programs against it.
set -euo pipefail
build=$1; here=$2; cmake=$3; cc=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libvarnis.so' | head -n 1)")

# pkg-config
export PKG_CONFIG_PATH=$libdir/pkgconfig
flags=$(pkg-config --cflags --libs varnisx)  # requires varnis
"$cc" -o "$work/with_pkgconfig" "$here/consumer.c" $flags
LD_LIBRARY_PATH=$libdir "$work/with_pkgconfig"

# CMake package
"$cmake" -S "$here/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" >/dev/null
"$cmake" --build "$work/consumer" >/dev/null
"$work/consumer/consumer"

test -f "$prefix/include/varnis.h"
test -f "$prefix/include/varnisx.h"

# Manual pages, built when pandoc is there
if command -v pandoc >/dev/null; then
  for page in ticklog instrument-sim varnis-analyze; do
    test -s "$prefix/share/man/man1/$page.1"
    grep -q '^\.TH' "$prefix/share/man/man1/$page.1"
  done
fi

# Python package, finding the library installed beside it
pydir=$(dirname "$(find "$prefix" -path '*dist-packages/varnis/__init__.py' | head -n 1)")
env -u VARNIS_LIBRARY PYTHONPATH="$(dirname "$pydir")" PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 -c \
  'import varnis, sys; assert varnis.raw.CheckVarnis() == 200 and varnis.rawx.CheckVarnisX() == 200; print("python package loads", varnis.library_path, varnis.x_library_path)'

echo "installed package usable through pkg-config, find_package(Varnis) and Python"
