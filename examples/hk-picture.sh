#!/usr/bin/env bash
# Draws an H-kappa stack with GMT: the stack normalised to its maximum, the
# maximum marked, and the curves on which Ps, PpPs and PpSs+PsPs arrive for
# the best H and kappa.  Takes the files `rfkit hk -grid GRID -curves CURVES`
# wrote; the ranges, steps and maximum are read from the grid's comment lines.
#
# Usage: examples/hk-picture.sh GRID CURVES [OUT[.png]]   (default ./hk.png)
#        TITLE="..." sets the title.
set -euo pipefail
grid=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
curves=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
target=${3:-hk}
outdir=$(cd "$(dirname "$target")" && pwd)
name=$(basename "$target" .png)
command -v gmt >/dev/null 2>&1 || { echo "hk-picture: GMT is not installed" >&2; exit 1; }

# "# H 20 to 70 by 0.1 km, kappa 1.6 to 2.1 by 0.0025" and
# "# maximum 4.3961 at H 35.0000 kappa 1.75000; ..."
read -r h0 h1 dh k0 k1 dk < <(awk '/^# H .* to .* by .* kappa/ {
    gsub(",", ""); print $3, $5, $7, $10, $12, $14; exit }' "$grid") || true
read -r bh bk < <(awk '/^# maximum/ { gsub(";", ""); print $6, $8; exit }' "$grid") || true
[ -n "${dk:-}" ] && [ -n "${bk:-}" ] ||
    { echo "hk-picture: '$1' is not a grid written by rfkit hk -grid" >&2; exit 1; }
title=${TITLE:-$(awk 'NR == 1 { sub("^# rfkit hk: ", ""); print; exit }' "$grid")}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v dir="$work" '/^>/ { name = $2; next } !/^#/ { print > (dir "/curve-" name ".txt") }' "$curves"
cd "$work"
gmt begin "$name" png E150
gmt set FONT_TITLE 12p FONT_ANNOT_PRIMARY 9p FONT_LABEL 10p
gmt xyz2grd "$grid" -R"$h0/$h1/$k0/$k1" -I"$dh/$dk" -Gstack.nc
gmt makecpt -Cpolar -T-1/1
gmt grdimage stack.nc -JX14c/10c -Bxaf+l"Crustal thickness H (km)" -Byaf+l"Vp/Vs (kappa)" \
    -BWSne+t"$title"
gmt grdcontour stack.nc -C0.2 -L0.1/1.1 -W0.3p,gray30
gmt plot curve-Ps.txt -W1p,black
gmt plot curve-PpPs.txt -W1p,black,-
gmt plot curve-PpSs+PsPs.txt -W1p,black,.
echo "$bh $bk" | gmt plot -Sa0.45c -Gwhite -W0.6p
printf '%s\n' "S 0.3c - 0.5c - 1p,black 0.7c Ps" "S 0.3c - 0.5c - 1p,black,- 0.7c PpPs" \
    "S 0.3c - 0.5c - 1p,black,. 0.7c PpSs+PsPs" \
    "S 0.3c a 0.35c white 0.6p 0.7c H $(printf %.1f "$bh") km, kappa $(printf %.3f "$bk")" |
    gmt legend -DjTR+w4.6c+o0.2c -F+gwhite+p0.5p
gmt colorbar -DJRM+o0.4c/0+w8c -Bxaf+l"stack / maximum"
gmt end
mv "$name.png" "$outdir/"
echo "$outdir/$name.png"
