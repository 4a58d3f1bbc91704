#!/usr/bin/env bash
# Times rfkit hk on 500 receiver functions over the default grid: once
# without the bootstrap's cost in mind (-boot 2) and once with the default
# 100 resamples.  Usage: bench/batch_hk.sh BUILD/bin
set -euo pipefail
bin=${1:-build-bench/bin}
[ -x "$bin/rfkit" ] && [ -x "$bin/bench_hk" ] || { echo "rfkit or bench_hk not built"; exit 0; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$bin/bench_hk" --make-rfs "$dir"
for boot in 2 100; do
    start=$(date +%s.%N)
    "$bin/rfkit" hk -boot "$boot" "$dir"/rf*.sac 2>/dev/null
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" -v b="$boot" \
        'BEGIN { printf "rfkit hk, 500 receiver functions, %d resamples: %.2f s\n", b, e - s }'
done
