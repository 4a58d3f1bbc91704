#!/bin/sh
# Configures, builds and runs a separate project that adds this tree's
# traceio/ folder with add_subdirectory, as the README shows (with CTest on):
# it must configure without the library's tests, link rftools::traceio
# without asking for C++20 itself, read a trace written by kestrum and
# report a missing file by its error text.  The library must add no test and
# no install rule to the project.
# Usage: subdir.sh CMAKE BUILD_DIR SOURCE_DIR CXX_COMPILER KESTRUM [CXX_FLAGS]
set -eu
cmake=$1 build=$2 src=$3 cxx=$4 kestrum=$5 flags=${6:-}
work=$(mktemp -d "$build/subdir-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

"$cmake" -S "$src/tests/consumer_subdir" -B "$work/consumer" -DRFTOOLS_DIR="$src" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
"$cmake" --build "$work/consumer" >/dev/null

tests=$(cd "$work/consumer" && "$(dirname "$cmake")/ctest" -N | sed -n 's/^Total Tests: //p')
[ "$tests" = 0 ] || { echo "the library added $tests tests to the consumer"; exit 1; }
"$cmake" --install "$work/consumer" --prefix "$work/prefix" >/dev/null
[ -z "$(ls -A "$work/prefix" 2>/dev/null)" ] || { echo "the library installed files"; exit 1; }

cd "$work"
cp "$src/examples/crust.mod" .
echo crust.mod | "$kestrum" -sps 20 -p 0.06 s/km -type P -gen z >/dev/null
out=$("$work/consumer/consumer" crust.mod_sp.z copy.sac)
echo "$out"
echo "$out" | grep -q '^npts 4401 b -20 delta 0.05 peak' || { echo "unexpected trace"; exit 1; }
echo "$out" | grep -q '^copy ok$'
if "$work/consumer/consumer" missing.sac copy.sac 2>err.txt; then
    echo "a missing file was read"; exit 1
fi
grep -q '^missing.sac: cannot open or create the file (101)$' err.txt || { cat err.txt; exit 1; }
