#!/bin/sh
# Command-line checks of tolvane: cli.sh CASE TOLVANE MAKE_TRACES
set -u
case_name=$1
tolvane=$2
make_traces=$3
dir=$(mktemp -d "${TMPDIR:-/tmp}/tolvane-cli-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

line() { # wavelet stem, output name
    echo "$dir/$1.z 55 85 $dir/$1.r 55 85 10 40 $dir/$2"
}

case $case_name in
empty_input)
    out=$("$tolvane" </dev/null 2>&1); st=$?
    [ $st -eq 0 ] || fail "status $st"
    [ -z "$out" ] || fail "output: $out"
    ;;
missing_value)
    err=$("$tolvane" -freq </dev/null 2>&1 >/dev/null); st=$?
    [ $st -eq 1 ] || fail "status $st"
    [ "$err" = " **Invalid -freq value." ] || fail "stderr: $err"
    ;;
single_needs_windows)
    err=$("$tolvane" -window 1 2 a b c </dev/null 2>&1 >/dev/null); st=$?
    [ $st -eq 1 ] || fail "status $st"
    [ "$err" = " **Nonsense/no wavelet start/end values." ] || fail "stderr: $err"
    ;;
batch_pipeline)
    "$make_traces" "$dir" sta || fail "make_traces"
    { line sta one.sac; echo "too few tokens"; line sta two.sac; } >"$dir/jobs"
    out=$("$tolvane" -freq 2 <"$dir/jobs" 2>"$dir/err"); st=$?
    [ $st -eq 1 ] || fail "status $st (a skipped line must give 1)"
    [ "$out" = "$(printf '%s\n%s' "$dir/one.sac" "$dir/two.sac")" ] || fail "stdout: $out"
    [ "$(cat "$dir/err")" = "$(printf '%s\n%s' " **Bad input, line            2 , skipping." \
        "  line 2: 3 tokens where 9 are needed")" ] || fail "stderr: $(cat "$dir/err")"
    cmp -s "$dir/one.sac" "$dir/two.sac" || fail "identical jobs differ"
    ;;
single_mode)
    "$make_traces" "$dir" sta || fail "make_traces"
    out=$("$tolvane" -window 55 85 -wavelet 55 85 -noise 10 40 -freq 2 \
        "$dir/sta.z" "$dir/sta.r" "$dir/rf.sac" </dev/null); st=$?
    [ $st -eq 0 ] || fail "status $st"
    case $out in
    " $dir/rf.sac: Avg. squared coherence   0.99"*) ;;
    *) fail "stdout: $out" ;;
    esac
    # A 632-byte header and 721 samples.
    [ "$(wc -c <"$dir/rf.sac")" -eq $((632 + 4 * 721)) ] || fail "size $(wc -c <"$dir/rf.sac")"
    ;;
debug_files)
    "$make_traces" "$dir" sta || fail "make_traces"
    # The debug files go to this test's own directory, never the shared /tmp.
    line sta rf.sac | RF_DEBUG_DIR=$dir "$tolvane" -debug -freq 2 >"$dir/out" 2>"$dir/err"; st=$?
    [ $st -eq 0 ] || fail "status $st: $(cat "$dir/err")"
    expected=$(printf '%s\n%s\n%s\n%s' \
        " Wavelet (nwin,nwav):          14         721" \
        " Noise (nwin,nwav):          14         720" \
        " Trace (nwin,nwav):          14         721" \
        "$dir/rf.sac")
    [ "$(cat "$dir/out")" = "$expected" ] || fail "stdout: $(cat "$dir/out")"
    # Sample counts: 721, 720 and 721 for the reconstructions; the coherence
    # has nf = nint(2 Hz / (1/(1024*0.05))) = 102 values.
    for f in wav:721 noi:720 trc:721 coh:102; do
        name=$dir/decon.${f%%:*}
        [ -f "$name" ] || fail "$name missing"
        [ "$(wc -c <"$name")" -eq $((632 + 4 * ${f#*:})) ] || fail "$name size $(wc -c <"$name")"
    done
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
echo "ok"
