#!/usr/bin/env bash
# Writes the seed corpora beside the fuzz targets: make_seeds.sh SACFORGE
# (SACFORGE is the trace maker of the hostile suite, built as `sacforge`).
# The corpora are committed; run this again only to change them.
set -eu
forge=$1
here=$(cd "$(dirname "$0")" && pwd)
corpus=$here/corpus
# Inputs named regression-* are kept: each once exposed a fault.
#   tolvane_job/regression-nan-result: a little-endian trace with samples near
#   the largest float, which overflow in the spectra; tolvane wrote the NaN
#   result as a receiver function.
mkdir -p "$corpus"
find "$corpus" -type f ! -name 'regression-*' -delete
mkdir -p "$corpus"/{rsac1,rdlyr,parse,marrick_lines,tolvane_lines,marrick_job,tolvane_job,kestrum_model}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Trace files: sound ones in both byte orders and the usual damage.
t=$corpus/rsac1
"$forge" "$t/big" npts=64
"$forge" "$t/little" npts=64 little
"$forge" "$t/located" npts=16 set:stla=45 set:stlo=7 set:evla=-20 set:evlo=170
"$forge" "$t/located-little" npts=16 little set:stla=45 set:stlo=7 set:evla=-20 set:evlo=170
"$forge" "$t/npts-zero" npts=16 set:npts=0
"$forge" "$t/npts-negative" npts=16 set:npts=-12345
"$forge" "$t/uneven" npts=16 set:leven=0
"$forge" "$t/short-header" npts=16 truncate=400
"$forge" "$t/short-samples" npts=64 truncate=700
"$forge" "$t/version-garbage" npts=16 little set:nvhdr=99

# Model files: the examples and a few small ones.
cp "$here"/../examples/*.mod "$corpus/rdlyr/"
printf '  1half     \n  1   6.00    3.50    2.70    0.00\n' >"$corpus/rdlyr/halfspace"
printf '  2grad     \n  1    600     350     270    1000    700     400     300\n  2   7.00    4.00    3.00    0.00\n' \
    >"$corpus/rdlyr/gradient"
printf '  3order    \n  1   6.00    3.50    2.70    1.00\n  3   6.00    3.50    2.70    0.00\n' \
    >"$corpus/rdlyr/order"
cp "$here"/../examples/*.mod "$corpus/rdlyr/halfspace" "$corpus/rdlyr/gradient" \
    "$corpus/kestrum_model/"

# Numbers and tokens: three control bytes (maxtok, ltok, n), then the text.
p=$corpus/parse
i=0
for text in '2.5' '   7' '1e-2' '3.5abc' '4 and more' '/' 'a  bb   ccc' '1,2,3 4 5 6' \
    'x y z w v u t s r q p o' '-1.5d+2' '.5e' '+' '1 2,,3'; do
    printf '\011\040\002%s' "$text" >"$p/seed$i"
    i=$((i + 1))
done

# Job lines against the fixed traces w.sac and d.sac of the line targets.
printf 'w.sac 0 20 d.sac x x out.sac\n' >"$corpus/marrick_lines/one"
printf 'w.sac 0 20 d.sac x x a.sac\nd.sac 5 10 w.sac x x b.sac extra\n' >"$corpus/marrick_lines/two"
printf 'w.sac 30 20 d.sac x x out.sac\n' >"$corpus/marrick_lines/reversed"
printf 'w.sac / 20 d.sac x x out.sac\n' >"$corpus/marrick_lines/slash"
printf 'w.sac -5 20 d.sac -5 20 -35 -10 out.sac\n' >"$corpus/tolvane_lines/one"
printf 'w.sac -5 20 d.sac -5 20 -35 -10 a.sac\nw.sac 0 5,d.sac -5 20 -35 -10 b.sac\n' \
    >"$corpus/tolvane_lines/two"
printf 'w.sac -5 20 d.sac -5 20 -10 -35 out.sac\nshort line\n' >"$corpus/tolvane_lines/bad"
# Lists written on DOS, with comments and blank lines, and a window past the traces.
printf '# station\r\nw.sac 0 20 d.sac x x a.sac\r\n\r\n  # next\nw.sac 90 99 d.sac x x b.sac\n' \
    >"$corpus/marrick_lines/dos"
printf '# event\r\nw.sac -5 20 d.sac -5 20 -35 -10 a.sac\r\n\n\tw.sac 90 99 d.sac 90 99 -35 -10 b.sac\n' \
    >"$corpus/tolvane_lines/dos"

# Whole jobs: a choice byte, the length of the wavelet file (two bytes,
# little-endian), the wavelet file, the trace file.
job() { # CORPUS NAME CHOICE WAVELET TRACE
    local n
    n=$(stat -c %s "$4")
    { printf "\\$(printf %03o "$3")\\$(printf %03o $((n % 256)))\\$(printf %03o $((n / 256)))"
      cat "$4" "$5"; } >"$1/$2"
}
"$forge" "$work/mw" npts=600 delta=0.05 pulse=5:1
"$forge" "$work/md" npts=600 delta=0.05 pulse=5:1 pulse=8:0.4
"$forge" "$work/mdl" npts=600 delta=0.05 pulse=5:1 pulse=8:0.4 little
for c in 0 1 2 3; do job "$corpus/marrick_job" "choice$c" "$c" "$work/mw" "$work/md"; done
job "$corpus/marrick_job" little 0 "$work/mw" "$work/mdl"
"$forge" "$work/tw" npts=700 delta=0.1 b=-40 pulse=0:1
"$forge" "$work/td" npts=700 delta=0.1 b=-40 pulse=0:1 pulse=3:0.4
"$forge" "$work/tdl" npts=700 delta=0.1 b=-40 pulse=0:1 pulse=3:0.4 little
for c in 0 1 2; do job "$corpus/tolvane_job" "choice$c" "$c" "$work/tw" "$work/td"; done
job "$corpus/tolvane_job" little 0 "$work/tw" "$work/tdl"
