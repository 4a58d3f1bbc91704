#!/usr/bin/env bash
# Times the tolvane program on 200 batch jobs (60 s windows
# of 20-samples-per-second traces) and prints receiver functions per second.
# Usage: bench/batch_tolvane.sh BUILD/bin
set -euo pipefail
bin=${1:-build-bench/bin}
[ -x "$bin/tolvane" ] && [ -x "$bin/bench_tolvane" ] || { echo "tolvane or bench_tolvane not built"; exit 0; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$bin/bench_tolvane" --make-jobs "$dir"
start=$(date +%s.%N)
"$bin/tolvane" -freq 2 <"$dir/jobs.txt" >/dev/null
end=$(date +%s.%N)
awk -v s="$start" -v e="$end" 'BEGIN { t = e - s; printf "200 jobs in %.3f s: %.0f receiver functions per second\n", t, 200 / t }'
