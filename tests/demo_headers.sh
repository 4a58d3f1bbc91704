#!/bin/sh
# Every trace the demo wrote must describe its samples: E, DEPMIN, DEPMAX and
# DEPMEN worked from the samples, NVHDR 6, a time series, finite samples (see
# hostile/sacaudit.cpp).  Receiver functions once carried E and DEP* of their
# input (E = 200 on a trace ending at 59.95 s), the stacks an E worked in
# double precision and no DEP* at all.  Text files, models and pictures are
# not traces; nor are job lists, file lists and logs.  Every other file is
# audited.
# Usage: demo_headers.sh SACAUDIT DEMO_DIR
set -eu
audit=$1 demo=$2
list=$(find "$demo" -type f ! -name '*.mod' ! -name '*.txt' ! -name '*.png' ! -name '*.jobs' ! -name '*.list' ! -name '*.log' | sort)
count=$(printf '%s\n' "$list" | grep -c . || true)
[ "$count" -ge 20 ] || { echo "only $count traces found in $demo"; exit 1; }
# Names without blanks: the demo chooses them.
# shellcheck disable=SC2086
"$audit" $list
echo "$count traces audited"
