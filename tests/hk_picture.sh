#!/bin/sh
# examples/hk-picture.sh on the demo's H-kappa grid draws a picture, and a
# file that is not an rfkit hk grid is refused with a message.  Skipped (77)
# without GMT.
# Usage: hk_picture.sh EXAMPLES DEMO_DIR
set -eu
examples=$1 demo=$2
command -v gmt >/dev/null 2>&1 || { echo "GMT is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$examples/hk-picture.sh" "$demo/hk/hk-grid.txt" "$demo/hk/hk-curves.txt" "$work/st.png" >/dev/null
[ -s "$work/st.png" ] || { echo "no picture drawn"; exit 1; }
echo "20 1.6 0.5" >"$work/plain.txt"
if "$examples/hk-picture.sh" "$work/plain.txt" "$demo/hk/hk-curves.txt" "$work/x" 2>"$work/err"; then
    echo "a plain table was drawn"
    exit 1
fi
grep -q "is not a grid written by rfkit hk -grid" "$work/err" || { cat "$work/err"; exit 1; }
echo "picture drawn, plain table refused"
