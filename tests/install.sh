#!/bin/sh
# Installs the project into a prefix inside the build tree, then configures,
# builds and runs a separate consumer project against the installed package:
# it must find rftools, link rftools::traceio and read a trace written by
# kestrum, and report a missing file by its error text.  Also checks that
# the programs and manual pages were installed.
# Usage: install.sh CMAKE BUILD_DIR SOURCE_DIR CXX_COMPILER [CXX_FLAGS]
set -eu
cmake=$1 build=$2 src=$3 cxx=$4 flags=${5:-}
work=$(mktemp -d "$build/install-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for f in bin/kestrum bin/tolvane bin/marrick include/traceio/traceio.hpp \
         share/man/man1/kestrum.1 share/man/man1/tolvane.1 share/man/man1/marrick.1; do
    [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
ls "$prefix"/lib*/libtraceio.a >/dev/null

"$cmake" -S "$src/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
"$cmake" --build "$work/consumer" >/dev/null

cd "$work"
cp "$src/examples/crust.mod" .
echo crust.mod | "$prefix/bin/kestrum" -sps 20 -p 0.06 s/km -type P -gen z >/dev/null
out=$("$work/consumer/consumer" crust.mod_sp.z copy.sac)
echo "$out"
echo "$out" | grep -q '^npts 4401 b -20 delta 0.05 peak' || { echo "unexpected trace"; exit 1; }
echo "$out" | grep -q '^copy ok$'
if "$work/consumer/consumer" missing.sac copy.sac 2>err.txt; then
    echo "a missing file was read"; exit 1
fi
grep -q '^missing.sac: cannot open or create the file (101)$' err.txt || { cat err.txt; exit 1; }
