#!/usr/bin/env bash
# The main job on the bundled examples: synthetic Z, R, T for an incident P
# wave on each example model (kestrum), then receiver functions of R by Z by
# water-level division (marrick, input-list mode) and by multitaper
# deconvolution (tolvane, batch mode).  For each model it prints the files
# written, the largest peaks of each receiver function and the ray-theory
# delays of Ps, PpPs and PpSs+PsPs of every interface, and checks that the
# measured Ps of the crust-mantle boundary lies within one sample of its
# prediction.  With GMT installed it also draws the receiver functions as a
# record section (record-section.png).  Then the H-kappa step (demo-hk.sh):
# crustal thickness and Vp/Vs recovered from receiver functions of crust.mod
# at 15 slownesses, beside the model's values.  Last, the route from real
# recordings (demo-real.sh, into OUTDIR/real): station CX.PB01's raw Z, N, E
# prepared by rfkit prep, deconvolved by both programs, tabulated by rfkit
# info and, with GMT, drawn by back azimuth.
#
# Usage: examples/demo.sh BUILD/bin [OUTDIR]     (OUTDIR defaults to ./demo-out)
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=outdir.sh
. "$here/outdir.sh"
enter_output_folder demo "${2:-${DEMO_OUT:-$PWD/demo-out}}"

slowness=0.06 # s/km, a teleseismic P wave at about 60 degrees
sps=20        # samples per second: dt = 0.05 s
# Cutoffs high enough that Ps of the Moho and the PpPs of a shallow interface
# 0.3 s later (the gradient model) are separate peaks.
wl_freq=3.0
mt_freq=3.0
shift=10 # s: zero lag of every receiver function at 10 s after its first sample
models=()
for m in "$here"/*.mod; do
    cp "$m" .
    models+=("$(basename "$m" .mod)")
done
echo "Demo outputs go to $out"

echo "== kestrum: synthetic Z, R, T for incident P, p = $slowness s/km, $sps samples/s"
printf '%s.mod\n' "${models[@]}" | "$bin/kestrum" -sps "$sps" -p "$slowness" s/km -type P -con

echo "== marrick (input-list mode): water-level receiver functions of R by Z, Gaussian $wl_freq Hz"
# (input-list mode always shifts by 10 s)
for m in "${models[@]}"; do
    echo "$m.mod_sp.z -5 60 $m.mod_sp.r - - $m.wl.rf"
done | "$bin/marrick" -freq "$wl_freq" -wl 0.001

echo "== tolvane (batch mode): multitaper receiver functions of R by Z, cutoff $mt_freq Hz"
for m in "${models[@]}"; do
    echo "$m.mod_sp.z -5 60 $m.mod_sp.r -5 60 -19 -6 $m.mt.rf"
done | "$bin/tolvane" -freq "$mt_freq" -shift "$shift"

echo "== peaks: measured (time after P in s, amplitude) against ray theory"
echo "   (for every interface: predicted -> nearest peak of the expected sign [offset in samples];"
echo "    Ps and PpPs positive where speeds increase downwards, PpSs+PsPs negative)"
status=0
for m in "${models[@]}"; do
    echo
    echo "-- $m: files $m.mod_sp.z $m.mod_sp.r $m.mod_sp.t $m.wl.rf $m.mt.rf"
    if ! "$bin/rfkit" peaks -check -model "$m.mod" -p "$slowness" "$m.wl.rf" "$m.mt.rf"; then
        echo "!! $m: the measured Moho Ps is more than one sample from ray theory"
        status=1
    fi
done
echo

# Crustal thickness and Vp/Vs from receiver functions at 15 slownesses.
"$here/demo-hk.sh" "$bin" "$out" || status=1
echo

# The same route on real recordings: prep, deconvolution, coherence and
# (with GMT) a record section of station CX.PB01 (demo-real.sh).
if ! "$here/demo-real.sh" "$bin" "$out/real"; then
    echo "!! the real-data demo failed"
    status=1
fi
echo

if [ "${RF_DEMO_PLOT:-yes}" = no ]; then
    exit "$status" # the tests skip the picture
fi
if ! command -v gmt >/dev/null 2>&1; then
    echo "GMT is not installed: no record-section picture (install the 'gmt' package for one)."
    exit "$status"
fi

# Record section: one row per receiver function, two rows per model, with the
# predicted phase times of every interface marked over each pair (the
# deepest interface, the crust-mantle boundary, labelled by phase alone).
rm -f saclist annotations ticks.txt phases.txt
base=0
for m in "${models[@]}"; do
    # x of the first sample: both receiver functions begin at -shift.
    echo "$m.wl.rf -$shift $((base + 2))" >>saclist
    echo "$m.mt.rf -$shift $((base + 1))" >>saclist
    echo "$((base + 2)) a $m, marrick" >>annotations
    echo "$((base + 1)) a $m, tolvane" >>annotations
    "$bin/rfkit" peaks -table -model "$m.mod" -p "$slowness" >table.txt
    deepest=$(tail -n 1 table.txt | cut -d' ' -f1)
    while read -r depth ps ppps ppss; do
        where=""
        [ "$depth" = "$deepest" ] || where=" ${depth%.0}km"
        for phase in "Ps:$ps" "PpPs:$ppps" "PpSs:$ppss"; do
            t=${phase#*:}
            echo "$t $((base + 0)).6 $t $((base + 2)).5" >>ticks.txt
            echo "$t $((base + 2)).55 ${phase%%:*}$where" >>phases.txt
        done
    done <table.txt
    base=$((base + 3))
done
if gmt begin record-section png E150 &&
    gmt set FONT_TITLE 13p FONT_ANNOT_PRIMARY 9p FONT_LABEL 10p &&
    gmt basemap -R-3/26/0/$base.3 -JX16c/14c -Bxa5f1+l"Time after direct P (s)" \
        -Byc"annotations" -BWSne+t"Receiver functions, p = $slowness s/km (PpSs: PpSs+PsPs)" &&
    awk '{print ">"; print $1, $2; print $3, $4}' ticks.txt | gmt plot -W0.4p,gray60,- &&
    gmt sac saclist -M0.9/-1 -W0.5p -Gp+gred -Gn+gblue &&
    gmt text phases.txt -F+f6p,Helvetica,black+a90+jLM -N &&
    gmt end; then
    echo "Record section: $out/record-section.png"
else
    gmt end >/dev/null 2>&1 || true # close a session left open by the failure
    echo "GMT could not draw the record section (see the messages above)."
fi
exit "$status"
