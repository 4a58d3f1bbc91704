#!/bin/sh
# One command-line case of kestrum: cli.sh CASE KESTRUM EXAMPLES_DIR
# Each case runs in its own temporary directory and fails with a message.
set -u
case_name=$1 kestrum=$2 examples=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/kestrum-cli-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1

fail() { echo "FAIL: $*"; echo "--- stdout"; cat out; echo "--- stderr"; cat err; exit 1; }
expect_status() { [ "$status" -eq "$1" ] || fail "status $status, expected $1"; }
expect_err() { grep -qF -- "$1" err || fail "stderr lacks: $1"; }

case $case_name in
examples)
    cp "$examples"/crust.mod "$examples"/sediment.mod "$examples"/gradient.mod .
    printf 'crust.mod\nsediment.mod\ngradient.mod\n' |
        "$kestrum" -sps 20 -p 0.06 s/km -type P -con >out 2>err
    status=$?
    expect_status 0
    [ "$(wc -l <out)" -eq 3 ] || fail "expected three listing lines"
    grep -qx 'gradient.mod_sp.z gradient.mod_sp.r gradient.mod_sp.t ' out || fail "listing"
    for m in crust sediment gradient; do
        for c in z r t; do
            # 632 header bytes and 4401 samples of 4 bytes.
            [ "$(wc -c <"$m.mod_sp.$c")" -eq 18236 ] || fail "$m.mod_sp.$c size"
        done
    done
    [ ! -s err ] || fail "unexpected messages"
    ;;
no_sample_rate)
    "$kestrum" -p 0.06 s/km </dev/null >out 2>err
    status=$?
    expect_status 1
    expect_err "STOP **No sample rate given (-sps or -dt)"
    ;;
unrecognized)
    echo crust.mod | "$kestrum" -sps 20 -frequency 2 >out 2>err
    status=$?
    expect_status 1
    [ "$(cat err)" = " **Unrecognized parameter: -frequency" ] || fail "message"
    ;;
missing_model)
    echo absent.mod | "$kestrum" -sps 20 -p 0.06 s/km >out 2>err
    status=$?
    expect_status 2
    expect_err "absent.mod"
    ;;
bad_model)
    # A half-space of non-zero thickness: the message goes to standard output.
    printf '  1half\n  1     8.10    4.50    3.30   10.00\n' >bad.mod
    echo bad.mod | "$kestrum" -sps 20 -p 0.06 s/km >out 2>err
    status=$?
    expect_status 1
    [ "$(cat out)" = "**RDLYR:  Last layer   1 not zero thickness" ] || fail "message"
    ;;
too_long)
    cp "$examples"/crust.mod .
    echo crust.mod | "$kestrum" -dt 0.04 -p 0.06 s/km >out 2>err
    status=$?
    expect_status 1
    expect_err "STOP **Time window too long."
    [ ! -e crust.mod_sp.z ] || fail "wrote a trace"
    ;;
skipped_line)
    cp "$examples"/crust.mod .
    printf 'crust.mod\ncrust.mod 0.07\n' | "$kestrum" -sps 20 -p read s/km -gen z >out 2>err
    status=$?
    expect_status 1
    [ -e crust.mod_sp.z ] && [ ! -e crust.mod_sp.r ] || fail "files"
    [ "$(cat err)" = "$(printf '%s\n%s' " **No usable slowness on this line, skipping." \
        "  line 1, file 'crust.mod': no slowness after the model name")" ] ||
        fail "a skipped line is named with its number and reason"
    ;;
pause_free_gradient)
    # A graded layer integrates its delays without pausing for an answer.
    cp "$examples"/gradient.mod .
    echo gradient.mod | "$kestrum" -sps 20 -p 0.08 s/km -type S >out 2>err
    status=$?
    expect_status 0
    [ ! -s err ] || fail "unexpected messages"
    ;;
*)
    echo "unknown case $case_name"
    exit 1
    ;;
esac
exit 0
