#!/usr/bin/env bash
# The H-kappa step of the demo: receiver functions of the example model
# crust.mod (a 35 km crust, Vp 6.3 km/s, Vs 3.6 km/s, over a half-space) at
# 15 slownesses from 0.04 to 0.08 s/km (kestrum -p read, then marrick), the
# crust's thickness and Vp/Vs recovered from them by rfkit hk and printed
# beside the model's values, and their moveout-corrected stack (rfkit stack).
# Fails when H is more than 0.5 km or kappa more than 0.02 off.  With GMT
# installed (and RF_DEMO_PLOT not "no") it draws the stack as hk.png.
#
# Usage: examples/demo-hk.sh BUILD/bin OUTDIR     (run by demo.sh)
set -euo pipefail
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out=$2
mkdir -p "$out/hk"
cd "$out/hk"

model=crust.mod
read -r vp vs h < <(awk 'NR == 2 { print $2, $3, $5 }' "$here/$model")
kappa=$(awk -v a="$vp" -v b="$vs" 'BEGIN { printf "%.3f", a / b }')

echo "== H-kappa: receiver functions of $model at 15 slownesses (kestrum -p read, marrick -freq 2)"
# kestrum names its outputs after the model file: one copy of the model per slowness.
rm -f ./*.mod ./*.mod_sp.? ./*.rf
for i in $(seq 0 14); do
    p=$(awk -v i="$i" 'BEGIN { printf "%.4f", 0.04 + i * 0.04 / 14 }')
    cp "$here/$model" "p$p.mod"
    echo "p$p.mod $p"
done | "$bin/kestrum" -sps 20 -p read s/km -gen zr
for m in p*.mod; do
    echo "${m}_sp.z -5 60 ${m}_sp.r - - ${m%.mod}.rf"
done | "$bin/marrick" -freq 2.0 >/dev/null

echo "== rfkit hk -vp $vp (Vp of the model's crust given)"
result=$(ls p*.rf | "$bin/rfkit" hk -vp "$vp" -grid hk-grid.txt -curves hk-curves.txt)
echo "   $result"
read -r _ fh fsh _ fk fsk _ n _ pmin pmax <<<"$result"
echo "   model: H $h km, kappa $kappa;  recovered: H $fh ± $fsh km, kappa $fk ± $fsk" \
    "from $n receiver functions, p $pmin to $pmax s/km"
status=0
if ! awk -v a="$fh" -v b="$h" -v c="$fk" -v d="$kappa" \
    'BEGIN { exit !((a - b) ^ 2 <= 0.25 && (c - d) ^ 2 <= 0.0004) }'; then
    echo "!! H or kappa is off the model's value"
    status=1
fi

echo "== rfkit stack: moved to 0.06 s/km through iasp91, and against depth"
"$bin/rfkit" stack -o hk-stack.sac p*.rf
"$bin/rfkit" stack -depth 0.5 -o hk-depth.sac p*.rf

if [ "${RF_DEMO_PLOT:-yes}" = no ]; then
    exit "$status"
fi
if ! command -v gmt >/dev/null 2>&1; then
    echo "GMT is not installed: no H-kappa picture (install the 'gmt' package for one)."
    exit "$status"
fi
# The stack normalised to its maximum, the maximum marked, and the curves on
# which each phase arrives when it does for the best H and kappa.
if TITLE="H-kappa stack of $n receiver functions of $model (Vp $vp km/s)" \
    "$here/hk-picture.sh" hk-grid.txt hk-curves.txt hk >/dev/null; then
    echo "H-kappa picture: $out/hk/hk.png"
else
    echo "GMT could not draw the H-kappa picture (see the messages above)."
fi
exit "$status"
