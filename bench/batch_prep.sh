#!/usr/bin/env bash
# Times rfkit prep on 1000 three-component events at one station (the PB01
# recordings, 9 minutes long, copied with their dates and depths moved) and
# the deconvolution of what it prepared by marrick and by tolvane, fed by
# prep's job lines; then prep on 1000 records of seven events at 143 stations
# each, where the stations of an event share its travel-time curve.  At the
# recordings' 5 samples per second and resampled to 40.  Times are CPU
# seconds (user + system), which a busy machine disturbs less than the clock.
# Usage: bench/batch_prep.sh BUILD/bin
set -euo pipefail
bin=$(cd "${1:-build-bench/bin}" && pwd)
for p in rfkit marrick tolvane bench_prep; do
    [ -x "$bin/$p" ] || { echo "$p not built"; exit 0; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
# cpu OUTPUT INPUT COMMAND...: runs the command, prints its CPU seconds.
cpu() {
    local out=$1 in=$2
    shift 2
    /usr/bin/time -f "%U %S" -o cpu.txt "$@" <"$in" >"$out" 2>/dev/null || true
    awk '{ printf "%.2f", $1 + $2 }' cpu.txt
}
for rate in 1 8; do
    rm -rf raw out
    "$bin/bench_prep" --make-events "$dir/raw" "$rate" events
    prep=$(cpu marrick.jobs raw/events.txt "$bin/rfkit" prep -o out -bp 0.05 1)
    again=$(cpu tolvane.jobs raw/events.txt "$bin/rfkit" prep -o out -bp 0.05 1 -jobs tolvane)
    wl=$(cpu /dev/null marrick.jobs "$bin/marrick" -freq 1)
    mt=$(cpu /dev/null tolvane.jobs "$bin/tolvane" -freq 1)
    rm -rf raw out
    "$bin/bench_prep" --make-events "$dir/raw" "$rate" stations
    network=$(cpu /dev/null raw/events.txt "$bin/rfkit" prep -o out -bp 0.05 1)
    echo "$((5 * rate)) samples/s, 1000 events: rfkit prep $prep s (again, replacing its files: $again s);" \
        "their receiver functions: marrick $wl s, tolvane $mt s;" \
        "7 events at 143 stations: rfkit prep $network s"
done
