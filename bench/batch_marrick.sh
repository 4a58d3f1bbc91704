#!/usr/bin/env bash
# Times the marrick program on a batch of 1000 input-list jobs (60 s windows
# of 20-samples-per-second traces) and prints receiver functions per second.
# Usage: bench/batch_marrick.sh BUILD/bin
set -euo pipefail
bin=${1:-build-bench/bin}
[ -x "$bin/marrick" ] && [ -x "$bin/bench_marrick" ] || { echo "marrick or bench_marrick not built"; exit 0; }
. "$(dirname "$0")/scratch.sh"
dir=$(scratch_dir)
trap 'rm -rf "$dir"' EXIT
"$bin/bench_marrick" --make-jobs "$dir"
start=$(date +%s.%N)
"$bin/marrick" -freq 1.0 <"$dir/jobs.txt" >/dev/null
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" 'BEGIN { t = e - s; printf "1000 jobs in %.3f s: %.0f receiver functions per second\n", t, 1000 / t }'
