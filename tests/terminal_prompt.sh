#!/bin/sh
# A program about to read job lines from a terminal says first, on standard
# error, what it expects; from a file or a pipe it says nothing.
# terminal_prompt.sh MARRICK TOLVANE KESTRUM  (exit 77 without script(1))
set -u
command -v script >/dev/null 2>&1 || exit 77
fail() { echo "FAIL: $*"; exit 1; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/prompt-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT

for run in "$1" "$2" "$3 -sps 20 -p 0.06 s/km"; do
    name=$(basename "${run%% *}")
    # script gives the program a terminal and ends its input at once.
    timeout 20 script -qec "$run" "$dir/typescript" </dev/null >"$dir/seen" 2>&1 ||
        fail "$name under a terminal"
    grep -q "^$name: reading .*(end with Ctrl-D)" "$dir/seen" || fail "$name: no prompt: $(cat "$dir/seen")"
    # shellcheck disable=SC2086
    $run </dev/null >"$dir/out" 2>"$dir/err" || fail "$name from /dev/null"
    [ ! -s "$dir/err" ] || fail "$name spoke without a terminal: $(cat "$dir/err")"
done
