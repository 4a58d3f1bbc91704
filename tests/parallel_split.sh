#!/bin/sh
# A 200-line job list split four ways and run by parallel workers must write
# the same outputs, byte for byte, as one run over the whole list: the jobs
# of a list share no state.  Each line has its own window, so an output
# written from the wrong line would differ.  Run for marrick (input-list
# mode) and tolvane (batch mode), with background shell jobs, and with GNU
# parallel too when it is installed.
# Usage: parallel_split.sh KESTRUM MARRICK TOLVANE EXAMPLES_DIR
set -eu
kestrum=$1 marrick=$2 tolvane=$3 examples=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/rf-parallel.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir traces
cp "$examples"/crust.mod "$examples"/sediment.mod "$examples"/gradient.mod traces/
(cd traces && printf 'crust.mod\nsediment.mod\ngradient.mod\n' |
    "$kestrum" -sps 20 -p 0.06 s/km -type P -gen zr >/dev/null)

i=0
while [ $i -lt 200 ]; do
    case $((i % 3)) in 0) m=crust ;; 1) m=sediment ;; *) m=gradient ;; esac
    end=$((25 + i % 37))
    z=../traces/$m.mod_sp.z r=../traces/$m.mod_sp.r
    echo "$z -5 $end $r - - wl$i.rf" >>marrick.jobs
    echo "$z -5 $end $r -5 $end -19 -6 mt$i.rf" >>tolvane.jobs
    i=$((i + 1))
done

fail=0
# run NAME JOBS COMMAND...: one run over the list, then the list split in four
# run at once; compares the outputs and the names printed.
run() {
    name=$1 jobs=$2
    shift 2
    mkdir "single-$name" "split-$name"
    (cd "single-$name" && "$@" <"../$jobs" >names) || { echo "$name: single run failed"; fail=1; }
    split -n l/4 "$jobs" "split-$name/part."
    (
        cd "split-$name"
        pids=""
        for part in part.*; do
            "$@" <"$part" >"$part.names" &
            pids="$pids $!"
        done
        status=0
        for pid in $pids; do wait "$pid" || status=1; done
        exit $status
    ) || { echo "$name: a worker failed"; fail=1; }
    compare "$name" "split-$name"
    if command -v parallel >/dev/null 2>&1; then
        mkdir "gnu-$name"
        (cd "gnu-$name" && parallel --will-cite --pipe -N 50 "$@" <"../$jobs" >names) ||
            { echo "$name: GNU parallel run failed"; fail=1; }
        compare "$name" "gnu-$name"
    fi
}
compare() {
    count=$(ls "single-$1"/*.rf | wc -l)
    [ "$count" -eq 200 ] || { echo "$1: single run wrote $count outputs"; fail=1; }
    for f in "single-$1"/*.rf; do
        cmp -s "$f" "$2/${f##*/}" || { echo "$1: $2/${f##*/} differs"; fail=1; }
    done
    sort "single-$1/names" >expected
    cat "$2"/*names | sort >got
    cmp -s expected got || { echo "$1: $2 printed other output names"; fail=1; }
}

run marrick marrick.jobs "$marrick" -freq 2.0
run tolvane tolvane.jobs "$tolvane" -freq 2.0 -shift 10
[ $fail -eq 0 ] && echo "200 jobs split four ways: outputs identical"
exit $fail
