#!/usr/bin/env bash
# Replays the seed corpora and then fuzzes each target for a bounded number of
# executions: run.sh BIN_DIR [SCALE]
#
# BIN_DIR holds the fuzz_* binaries (configured with -DRF_FUZZ=ON).  SCALE
# multiplies every execution count (default 1; the counts below take about
# 20 s per target on one core).  New inputs go to a temporary
# corpus, so the committed seeds stay as they are; a crashing input is kept
# under $FUZZ_ARTIFACTS (default: a temporary directory that is printed).
set -euo pipefail
bin=$1
scale=${2:-1}
here=$(cd "$(dirname "$0")" && pwd)
artifacts=${FUZZ_ARTIFACTS:-$(mktemp -d "${TMPDIR:-/tmp}/fuzz-artifacts-XXXXXX")}
mkdir -p "$artifacts"
work=$(mktemp -d "${TMPDIR:-/tmp}/fuzz-corpus-XXXXXX")
trap 'rm -rf "$work" "${scratch:-}"' EXIT
# The targets write their inputs to files: a memory file system keeps that
# from waiting on a disk.
if [ -z "${FUZZ_TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then FUZZ_TMPDIR=/dev/shm; fi
# Each target's scratch directory goes under one private directory, removed
# at the end even when a target aborted on a fault.
scratch=$(mktemp -d "${FUZZ_TMPDIR:-${TMPDIR:-/tmp}}/fuzz-scratch-XXXXXX")
export TMPDIR=$scratch
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}:abort_on_error=1
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}:halt_on_error=1

# Target and executions per run: about 20 s each on one core with the seed
# corpora (the file readers run over ten thousand inputs a second, whole jobs
# about a thousand).  -max_total_time bounds a slower machine all the same.
targets=(rsac1:200000 rdlyr:300000 parse:1500000 marrick_lines:25000 tolvane_lines:20000
         marrick_job:15000 tolvane_job:30000 kestrum_model:150000)

total=0
for entry in "${targets[@]}"; do
    t=${entry%%:*}
    runs=$((${entry#*:} * scale))
    seeds=$here/corpus/$t
    mkdir -p "$work/$t"
    start=$SECONDS
    # Replaying the seeds runs each of them once, without mutation.
    "$bin/fuzz_$t" -artifact_prefix="$artifacts/$t-" "$seeds"/* >"$work/$t.replay" 2>&1 || {
        tail -40 "$work/$t.replay"; echo "fuzz: $t failed on its seed corpus"; exit 1; }
    "$bin/fuzz_$t" -runs="$runs" -max_total_time=$((40 * scale)) -max_len=20000 -timeout=30 \
        -rss_limit_mb=2048 \
        -artifact_prefix="$artifacts/$t-" "$work/$t" "$seeds" >"$work/$t.log" 2>&1 || {
        tail -60 "$work/$t.log"; echo "fuzz: $t found a fault; inputs in $artifacts"; exit 1; }
    done_line=$(grep -E '^Done [0-9]+ runs' "$work/$t.log" | tail -1)
    executed=$(echo "$done_line" | awk '{print $2}')
    total=$((total + executed))
    printf 'fuzz: %-14s %8d executions, %3d s, corpus %s inputs\n' "$t" "$executed" \
        $((SECONDS - start)) "$(ls "$work/$t" | wc -l)"
done
printf 'fuzz: %d executions in all, no fault\n' "$total"
rmdir "$artifacts" 2>/dev/null || true
