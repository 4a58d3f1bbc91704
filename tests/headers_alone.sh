#!/bin/sh
# Installs the project into a prefix inside the build tree, checks that the
# headers installed are exactly the library's public ones, and compiles each
# alone (included twice, as the only code of a translation unit) with
# warnings as errors: a header that leans on an include it does not make, or
# on one that is not installed, fails.
# Usage: headers_alone.sh CMAKE BUILD_DIR CXX_COMPILER [CXX_FLAGS] -- PUBLIC_HEADER...
set -eu
cmake=$1 build=$2 cxx=$3 flags=$4
shift 4
[ "$1" = -- ] && shift
work=$(mktemp -d "$build/headers-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null

expected=$(for h in "$@"; do basename "$h"; done | sort)
installed=$(ls "$work/prefix/include/traceio" | sort)
if [ "$expected" != "$installed" ]; then
    echo "installed headers:"; echo "$installed"; echo "expected:"; echo "$expected"
    exit 1
fi
for h in $installed; do
    printf '#include "traceio/%s"\n#include "traceio/%s"\n' "$h" "$h" >"$work/alone.cpp"
    # shellcheck disable=SC2086 # flags are words
    "$cxx" -std=c++20 -Wall -Wextra -Werror $flags -fsyntax-only -I "$work/prefix/include" \
        "$work/alone.cpp" || { echo "does not compile alone: traceio/$h"; exit 1; }
done
echo "$(echo "$installed" | wc -l) installed headers compile alone"
