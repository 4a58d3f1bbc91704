#!/usr/bin/env bash
# Runs every benchmark binary built with -DRF_BENCHMARKS=ON, then the
# whole-program batch timings.  Usage: bench/run.sh BUILD/bin
set -euo pipefail
bin=${1:-build-bench/bin}
for b in "$bin"/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" --benchmark_min_time=0.2
done
here=$(dirname "$0")
for s in "$here"/batch_*.sh; do
    [ -x "$s" ] || continue
    echo "== $(basename "$s")"
    "$s" "$bin"
done
