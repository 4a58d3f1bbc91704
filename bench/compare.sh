#!/usr/bin/env bash
# Side-by-side CPU time of the benchmark job sets: this build against the
# build of the commit before the fast kernels (b18158a) and, when numpy is
# installed, against the lean numpy implementations of the same jobs
# (bench/numpy_wl.py, bench/numpy_mt.py).  Every round runs each contender
# once on the same inputs, in turn, so that a load that comes and goes on a
# shared machine touches all of them alike; the medians are compared.
#
#   marrick: 1000 input-list jobs, 60 s windows at 20 samples per second
#            (transforms of 4096 points), -freq 1.0
#   tolvane: 200 batch jobs, 60 s windows at 20 samples per second
#            (transforms of 2048 points), -freq 2
#
# CPU time is user plus system time of the whole process: start-up, reading
# the traces and writing the results count on both sides.  Every job writes
# a file of its own, removed before each run (outside the timing), as a first
# pass over many station-event pairs does; with REPLACE=1 the files of the
# previous run stay and every output replaces one (a pipeline run again),
# which costs the file system more for every contender alike.
#
# Usage: bench/compare.sh [NEW_BIN [BASE_BIN]]
#   NEW_BIN   programs and bench_* job makers of this tree (default
#             build-bench/bin, as `make bench` builds it)
#   BASE_BIN  programs of the earlier commit; by default they are built once
#             into NEW_BIN's build folder with "-base" appended (build-bench-base/)
#             from a temporary worktree, which is removed again, and reused on
#             later runs
#   ROUNDS    rounds of runs (default 7)
#   REPLACE   1: outputs replace the files of the previous run
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
new=$(cd "${1:-$root/build-bench/bin}" && pwd)
rounds=${ROUNDS:-7}
baseline_commit=b18158a

for tool in marrick tolvane bench_marrick bench_tolvane; do
    [ -x "$new/$tool" ] || { echo "compare: $new/$tool is missing (make bench builds it)" >&2; exit 2; }
done

if [ $# -ge 2 ]; then
    base=$(cd "$2" && pwd)
else
    area=$(dirname "$new")-base
    base=$area/bin
    if [ ! -x "$base/marrick" ] || [ ! -x "$base/tolvane" ]; then
        echo "== building the programs of $baseline_commit (once) into $area"
        git -C "$root" worktree add --detach "$area/src" "$baseline_commit" >/dev/null
        cmake -S "$area/src" -B "$area/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
        cmake --build "$area/build" -j "${JOBS:-2}" --target marrick tolvane >/dev/null
        mkdir -p "$base"
        cp "$area/build/bin/marrick" "$area/build/bin/tolvane" "$base/"
        git -C "$root" worktree remove --force "$area/src"
        rm -rf "$area/build"
    fi
fi

python=
if command -v python3 >/dev/null && python3 -c 'import numpy' 2>/dev/null; then
    python=$(command -v python3)
elif [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
    python=/usr/bin/python3
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/wl" "$work/mt"
"$new/bench_marrick" --make-jobs "$work/wl"
"$new/bench_tolvane" --make-jobs "$work/mt"
sed 's|/rf\([0-9]*\)\.sac$|/np\1.sac|' "$work/wl/jobs.txt" >"$work/wl/np.txt"
sed 's|/rf\([0-9]*\)\.sac$|/np\1.sac|' "$work/mt/jobs.txt" >"$work/mt/np.txt"

# cpu SECONDS_FILE CMD... <input: appends the user + system seconds of CMD.
cpu() {
    local file=$1
    shift
    [ "${REPLACE:-0}" = 1 ] || rm -f "$work"/wl/out/* "$work"/mt/out/*
    local TIMEFORMAT='%U %S'
    { time "$@" >/dev/null 2>"$work/err" ; } 2>>"$work/times.raw" ||
        { echo "compare: $* failed:" >&2; cat "$work/err" >&2; exit 1; }
    tail -n 1 "$work/times.raw" | awk '{ print $1 + $2 }' >>"$file"
}

for r in $(seq "$rounds"); do
    cpu "$work/base_wl" "$base/marrick" -freq 1.0 <"$work/wl/jobs.txt"
    cpu "$work/new_wl" "$new/marrick" -freq 1.0 <"$work/wl/jobs.txt"
    cpu "$work/base_mt" "$base/tolvane" -freq 2 <"$work/mt/jobs.txt"
    cpu "$work/new_mt" "$new/tolvane" -freq 2 <"$work/mt/jobs.txt"
    if [ -n "$python" ]; then
        cpu "$work/np_wl" "$python" "$here/numpy_wl.py" -freq 1.0 <"$work/wl/np.txt"
        cpu "$work/np_mt" "$python" "$here/numpy_mt.py" -freq 2 <"$work/mt/np.txt"
    fi
    echo "   round $r of $rounds done" >&2
done

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

model=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n 1)
echo "== CPU time per job, median of $rounds rounds (${model:-unknown CPU}, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
report() {
    local name=$1 jobs=$2 tag=$3 target_base=$4 target_numpy=$5
    local b n
    b=$(median "$work/base_$tag")
    n=$(median "$work/new_$tag")
    awk -v name="$name" -v jobs="$jobs" -v b="$b" -v n="$n" -v t="$target_base" 'BEGIN {
        r = n / b
        printf "%-8s this build %7.3f ms, %s %7.3f ms: ratio %.3f (target %s) %s\n", name,
               1000 * n / jobs, "b18158a", 1000 * b / jobs, r, t, (r <= t + 0) ? "met" : "MISSED" }'
    if [ -f "$work/np_$tag" ]; then
        local p
        p=$(median "$work/np_$tag")
        awk -v name="$name" -v jobs="$jobs" -v p="$p" -v n="$n" -v t="$target_numpy" 'BEGIN {
            r = n / p
            printf "%-8s numpy     %7.3f ms:                      ratio %.3f (target %s) %s\n", name,
                   1000 * p / jobs, r, t, (r <= t + 0) ? "met" : "MISSED" }'
    fi
}
report marrick 1000 wl 0.333 0.20
report tolvane 200 mt 0.5 0.30
[ -n "$python" ] || echo "(numpy not found: the numpy comparison was skipped)"
