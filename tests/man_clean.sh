#!/bin/sh
# A manual page must render without a single groff warning and must mention
# every option of its program (an option added to a program but not to its
# page fails here).
# Usage: man_clean.sh GROFF PAGE PROGRAM
set -eu
groff=$1 page=$2 program=$3
case $program in
    kestrum) options="-sps -dt -p -type -resp -con -sph -gen -pname -h" ;;
    tolvane) options="-freq -shift -debug -window -wavelet -noise -h" ;;
    marrick) options="-wl -freq -pars -shift -taper -wavelet -convolve -debug -h" ;;
    rfkit) options="-o -window -taper -pick -bp -order -noise -snr -jobs -rfwin -transverse -check
                    -model -p -table" ;;
    *) echo "unknown program $program"; exit 1 ;;
esac
warnings=$("$groff" -man -ww -Tutf8 "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
    echo "$warnings"
    exit 1
fi
# Render without hyphenation or bold overstrike, so options read as written.
text=$("$groff" -man -Tutf8 -P-cbou -rHY=0 "$page" 2>/dev/null | tr '\342\200\220' '-')
status=0
for opt in $options; do
    echo "$text" | grep -q -- "^ *$opt\b" || { echo "$page: option $opt not described"; status=1; }
done
for section in "EXIT STATUS" "EXAMPLE" "MESSAGES" "OUTPUT"; do
    echo "$text" | grep -q "^$section" || { echo "$page: no $section section"; status=1; }
done
exit $status
