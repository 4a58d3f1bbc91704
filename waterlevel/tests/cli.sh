#!/usr/bin/env bash
# Command-line checks of the built program: cli.sh MARRICK TESTGEN CASE
set -u
marrick=$1 gen=$2 case=$3
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

# expect STATUS STDOUT STDERR -- runs the program with the remaining arguments
expect() {
    local status=$1 out=$2 err=$3
    shift 3
    "$marrick" "$@" >o 2>e
    local got=$?
    [ "$got" = "$status" ] || fail "$* exited $got, wanted $status"
    [ "$(cat o)" = "$out" ] || fail "$* stdout: $(cat o)"
    [ "$(cat e)" = "$err" ] || fail "$* stderr: $(cat e)"
}

size() { stat -c %s "$1"; }

case $case in
usage)
    expect 1 "" "STOP **Nonsense wavelet start/end values." a b c
    expect 1 "" " **Invalid water level." -wl abc
    expect 1 "" " **Invalid wavelet end." -wavelet 0
    expect 0 "" "" </dev/null
    echo "too short" | expect 1 "" "$(printf '%s\n%s' "STOP **Bad input format (not enough data)" \
        "  line 1: 2 tokens where 7 are needed")"
    ;;
pipeline)
    "$gen" z.sac 400 0.05 -5 && "$gen" r.sac 400 0.05 -5 || fail "cannot write traces"
    printf 'z.sac -5 10 r.sac - - one.rf\nz.sac -5 10 r.sac x y two.rf extra\n' >jobs
    "$marrick" -freq 1 -wl 0.01 <jobs | cat >names || fail "pipeline failed"
    [ "$(cat names)" = "$(printf 'one.rf\ntwo.rf')" ] || fail "names: $(cat names)"
    # nint((10 + 10)/0.05) = 400 samples after the 632-byte header
    [ "$(size one.rf)" = 2232 ] && [ "$(size two.rf)" = 2232 ] || fail "output sizes"
    ;;
single)
    "$gen" z.sac 400 0.05 && "$gen" r.sac 300 0.05 || fail "cannot write traces"
    expect 0 " npts=  400 nft= 1024 fny=10.0000 delf=  0.0195 dt= 0.050" "" \
        -wavelet 0 19.95 -taper 1 z.sac r.sac rf.sac
    [ "$(size rf.sac)" = 2232 ] || fail "output size"
    ;;
debug)
    "$gen" z.sac 400 0.05 && "$gen" r.sac 300 0.05 && "$gen" c.sac 100 0.05 || fail "traces"
    # The debug files go to this test's own directory, never the shared /tmp.
    export RF_DEBUG_DIR=$dir/debug
    mkdir "$RF_DEBUG_DIR"
    expect 0 " npts=  400 nft= 1024 fny=10.0000 delf=  0.0195 dt= 0.050" "" \
        -debug -convolve c.sac -wavelet 0 10 z.sac r.sac rf.sac
    [ "$(size debug/decon.wav)" = 2232 ] || fail "decon.wav"
    [ "$(size debug/decon.trc)" = 1832 ] || fail "decon.trc"
    [ "$(size debug/decon.cnv)" = 1032 ] || fail "decon.cnv"
    ;;
*) fail "no case $case" ;;
esac
