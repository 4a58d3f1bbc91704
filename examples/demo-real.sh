#!/usr/bin/env bash
# Real recordings to receiver functions: the 13 events of station CX.PB01
# (northern Chile) in examples/data/PB01, raw Z, N, E as a data centre gives
# them.  rfkit prep rotates, predicts P in iasp91, cuts, band-passes and
# tapers them (the two events beyond 98 degrees are left out with their
# message), marrick and tolvane make the radial receiver functions straight
# from prep's job lines, and rfkit info tabulates their geometry, ray
# parameter, signal-to-noise ratio and tolvane's coherence.  With GMT it
# draws the station's receiver functions ordered by back azimuth
# (record-section-PB01.png).  docs/real-data.md explains the steps and the
# picture.
#
# Usage: examples/demo-real.sh BUILD/bin [OUTDIR]    (OUTDIR defaults to ./demo-out/real)
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=outdir.sh
. "$here/outdir.sh"
enter_output_folder demo-real "${2:-${DEMO_OUT:-$PWD/demo-out}/real}"
rm -rf prep
ln -sfn "$here/data/PB01" raw # short names without blanks for the job lines

window="-window -30 38" # the records of the far events end 40 s after P
band="-bp 0.05 1"       # the data were decimated without an anti-alias filter
freq=1.0                # Hz: Gaussian of marrick, cutoff of tolvane
echo "== Real data: station CX.PB01, outputs in $out"

# One line per event: the vertical and the two horizontals.
for z in raw/sac/*BHZ.SAC raw/sac_beyond90/*BHZ.SAC; do
    echo "$z ${z%BHZ.SAC}BHN.SAC ${z%BHZ.SAC}BHE.SAC"
done >events.txt

echo "== rfkit prep $window $band  (13 events; the two beyond 98 deg must be left out)"
# shellcheck disable=SC2086
"$bin/rfkit" prep -o prep $window $band <events.txt >marrick.jobs 2>prep.log && prep_status=0 ||
    prep_status=$?
cat prep.log
refused=$(grep -c 'is outside 25-98 deg, where direct P applies; left out' prep.log || true)
if [ "$prep_status" != 1 ] || [ "$refused" != 2 ] || [ "$(wc -l <marrick.jobs)" != 11 ]; then
    echo "!! rfkit prep: expected 11 events prepared and the 2 beyond 98 deg left out (status 1)"
    exit 1
fi

echo "== marrick -freq $freq  (water level, fed by prep's job lines)"
"$bin/marrick" -freq "$freq" <marrick.jobs >wl.list
# The same events again, with tolvane's job lines; prep's messages are those above.
# shellcheck disable=SC2086
"$bin/rfkit" prep -o prep $window $band -jobs tolvane <events.txt >tolvane.jobs 2>/dev/null || true
echo "== tolvane -freq $freq  (multitaper)"
"$bin/tolvane" -freq "$freq" <tolvane.jobs >mt.list
echo "   $(wc -l <wl.list) water-level and $(wc -l <mt.list) multitaper receiver functions"

echo "== rfkit info: back azimuth, distance, ray parameter (s/km), SNR on Z, tolvane's coherence"
"$bin/rfkit" info -f baz,gcarc,user0,user1,user2 <mt.list | tee info.txt

if [ "${RF_DEMO_PLOT:-yes}" = no ]; then exit 0; fi
if ! command -v gmt >/dev/null 2>&1; then
    echo "GMT is not installed: no record section (install the 'gmt' package for one)."
    exit 0
fi

# Record section: one row per event ordered by back azimuth, marrick's
# receiver function above tolvane's, with the Ps delay of a Moho 52 and 63 km
# deep (Vp 6.3 km/s, Vp/Vs 1.75) at each event's ray parameter.
"$bin/rfkit" info -f baz,gcarc,user0,user1,b <wl.list | awk 'NR > 1' | sort -k2,2n >rows.txt
rm -f saclist labels.txt ps.txt
row=0
while read -r file baz gcarc p snr b; do
    row=$((row + 1))
    # x of the first sample: the receiver functions begin at B (-shift).
    echo "$file $b $row.15" >>saclist
    echo "${file%.wl.rf}.mt.rf $b $((row - 1)).75" >>saclist
    printf '%s %s %.0f\\260 %.0f\\260 SNR %.1f\n' 30.5 "$row" "$baz" "$gcarc" "$snr" >>labels.txt
    awk -v p="$p" -v r="$row" 'BEGIN {
        a = 1 / 6.3; b = 1.75 / 6.3
        d = sqrt(b * b - p * p) - sqrt(a * a - p * p)
        printf "%.2f %s\n%.2f %s\n", 52 * d, r - 0.45, 52 * d, r + 0.45
        printf ">\n%.2f %s\n%.2f %s\n>\n", 63 * d, r - 0.45, 63 * d, r + 0.45 }' >>ps.txt
done <rows.txt
top=$((row + 1))
if gmt begin record-section-PB01 png E150 &&
    gmt set FONT_TITLE 12p FONT_ANNOT_PRIMARY 9p FONT_LABEL 10p &&
    gmt basemap -R-5/30/0/$top -JX13c/14c -Bxa5f1+l"Time after P (s)" -By0 \
        -BWSne+t"CX.PB01 radial receiver functions by back azimuth" &&
    gmt plot ps.txt -W1p,orange &&
    gmt sac saclist -M0.6/-1 -W0.4p -Gp+gred -Gn+gblue &&
    gmt text labels.txt -F+f7p,Helvetica,black+jLM -N &&
    echo "5.5 $top Ps, Moho 52-63 km" | gmt text -F+f7p,Helvetica,orange+jLB -D0/-0.25c -N &&
    printf '30.5 %s baz, distance, SNR\n-4.5 %s marrick above tolvane\n' "$top" "$top" |
    gmt text -F+f7p,Helvetica,black+jLB -D0/-0.25c -N &&
    gmt end; then
    echo "Record section: $out/record-section-PB01.png"
else
    gmt end >/dev/null 2>&1 || true
    echo "GMT could not draw the record section (see the messages above)."
fi
