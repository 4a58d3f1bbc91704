#!/usr/bin/env bash
# rfkit prep interrupted in a list of 1000 events, and on a full disk.  An
# event's three files and its job line come out together: a signal once
# came between the files (leaving a mix of old and new) or between the files
# and the job line, and a failed third file once took the event's older
# files with it.  Every job line names three whole files, every event has
# all three files or none, no hidden file is left, and the disk-full run
# keeps each event wholly old or wholly new.
# prep_interrupt.sh RFKIT BENCH_PREP  (exit 77 without bench_prep)
set -u
[ -x "$2" ] || exit 77
rfkit=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
make_events=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
fail() { echo "FAIL: $*"; exit 1; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/prep-int-XXXXXX") || exit 1
small=$dir/small
trap 'umount "$small" 2>/dev/null; rm -rf "$dir"' EXIT
cd "$dir" || exit 1
"$make_events" --make-events "$dir/raw" 1 events >/dev/null || fail "bench_prep"

# whole OUT JOBS: every job line's files are there and every event has three.
whole() {
    ls -a "$1" | grep -q '\.part$' && fail "a hidden file left in $1"
    files=$(ls "$1" | wc -l)
    [ $((files % 3)) -eq 0 ] || fail "$files files in $1: an event without all three"
    [ "$files" -eq $(($(wc -l <"$2") * 3)) ] || fail "$files files for $(wc -l <"$2") job lines"
}

for sig in INT TERM; do
    rm -rf out jobs.fifo
    mkfifo jobs.fifo
    set -m
    "$rfkit" prep -o out <jobs.fifo >jobs 2>err &
    pid=$!
    set +m
    exec 3>jobs.fifo
    cat raw/events.txt >&3
    sleep 0.1
    kill -s "$sig" "$pid"
    wait "$pid"
    status=$?
    exec 3>&-
    [ "$status" -eq $((128 + $(kill -l "$sig"))) ] || fail "status $status after SIG$sig"
    whole out jobs
done

# The disk fills part-way through a re-run with larger files.
mkdir "$small" && mount -t tmpfs -o size=2m tmpfs "$small" 2>/dev/null || exit 77
head -100 raw/events.txt >list
"$rfkit" prep -o "$small/out" <list >jobs 2>err || fail "first run: $(tail -1 err)"
cksum "$small"/out/* | sort >before
avail=$(df -P -B4096 "$small" | awk 'NR == 2 { print $4 }')
dd if=/dev/zero of="$small/fill" bs=4096 count=$((avail - 8)) 2>/dev/null
"$rfkit" prep -o "$small/out" -window -30 200 <list >jobs 2>err && fail "status 0 on a full disk"
grep -q "could not be written: No space left on device; left out" err || fail "$(head -2 err)"
ls -a "$small/out" | grep -q '\.part$' && fail "a hidden file left on the full disk"
[ "$(ls "$small/out" | wc -l)" -eq 300 ] || fail "$(ls "$small/out" | wc -l) files, not 300"
cksum "$small"/out/* | sort >after
for stem in $(ls "$small/out" | sed 's/\.[zrt]$//' | sort -u); do
    old=$(grep -c "/$stem\.[zrt]\$" before)
    kept=$(grep -Fxf before after | grep -c "/$stem\.[zrt]\$")
    [ "$kept" -eq 0 ] || [ "$kept" -eq "$old" ] || fail "$stem: $kept of its older files kept"
done
# With the space back, a re-run completes.
rm "$small/fill"
"$rfkit" prep -o "$small/out" -window -30 80 <list >jobs 2>err || fail "re-run: $(tail -1 err)"
whole "$small/out" jobs
echo "prep interrupted and on a full disk: every event whole"
