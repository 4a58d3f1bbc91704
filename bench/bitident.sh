#!/usr/bin/env bash
# Runs one fixed set of jobs of kestrum, marrick and tolvane with two builds
# and compares every output bit for bit: the samples (everything after the
# 632-byte header) and the header except E, DEPMIN, DEPMAX and DEPMEN, which
# describe the data written and may be filled differently.  Standard output
# and exit status of every run are compared too.
#
# The jobs cover several models and both wave types (kestrum), both modes and
# the main options of marrick and tolvane, and every transform length the
# programs use: 4 .. 65536 points for marrick, 2 .. 16384 for tolvane,
# 256 .. 4096 for kestrum.  With /work/shared/data present, recorded traces
# take part as well.
#
# Usage: bench/bitident.sh BASE_BIN NEW_BIN [WORKDIR]
# Exits 0 when every output is identical, 1 on any difference, 77 when
# python3 (used to write the input traces and compare) is missing.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 BASE_BIN NEW_BIN [WORKDIR]" >&2; exit 2; }
command -v python3 >/dev/null || { echo "bitident: python3 not found, skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
base=$(cd "$1" && pwd)
new=$(cd "$2" && pwd)
if [ $# -ge 3 ]; then
    work=$3
    mkdir -p "$work"
else
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
fi
work=$(cd "$work" && pwd)
rm -rf "$work/in" "$work/base" "$work/new"
mkdir -p "$work/in"

gen() { python3 "$here/make_traces.py" "$work/in" "$@"; }

# ---- input traces -----------------------------------------------------------
# marrick: pairs of 2^k samples at 20 sps give transforms of 4 .. 65536 points.
for k in $(seq 1 15); do
    n=$((1 << k))
    gen "z$n.sac" "$n" 0.05 -5 "$k" located
    gen "r$n.sac" "$n" 0.05 -5 "$((k + 100))"
done
gen z1200.sac 1200 0.05 -5 7 located
gen r1200.sac 1200 0.05 -5 8 little
gen c300.sac 300 0.05 -2 9
gen c300b.sac 300 0.2 -2 10
gen z3001.sac 3001 0.2 -10 11
gen r3001.sac 3001 0.2 -10 12
# tolvane: long traces at 20 and 100 sps (windows up to 16384 samples).
gen tz20.sac 32000 0.05 -5 21 located
gen tr20.sac 32000 0.05 -5 22 little
gen tz100.sac 30000 0.01 -2 31
gen tr100.sac 30000 0.01 -2 32
gen tz5.sac 2701 0.2 300 41
gen tr5.sac 2701 0.2 300 42
data=/work/shared/data/PB01/sac
recorded=()
if [ -d "$data" ]; then
    for z in "$data"/*BHZ.SAC; do
        recorded+=("$(basename "$z" .BHZ.SAC)")
        cp "$z" "$work/in/rec$((${#recorded[@]})).z"
        cp "${z%BHZ.SAC}BHN.SAC" "$work/in/rec$((${#recorded[@]})).r"
    done
fi
cp "$here"/../examples/*.mod "$work/in/"

# ---- the jobs ---------------------------------------------------------------
# run SIDE NAME PROGRAM ARGS... < stdin: records status and standard output.
run() {
    local name=$1 prog=$2
    shift 2
    local status=0
    "$bin/$prog" "$@" >"log/$name.out" 2>"log/$name.err" || status=$?
    echo "$status" >"log/$name.status"
}

# marrick_lines TAG [FIRST_K [20sps]]: job lines for the trace pairs from
# 2^FIRST_K samples, and (unless 20sps) the traces at other sample rates.
marrick_lines() {
    for k in $(seq "${2:-1}" 15); do
        n=$((1 << k))
        te=$(awk -v n="$n" 'BEGIN { printf "%.2f", -5 + (n - 1) * 0.05 }')
        echo "in/z$n.sac -5 $te in/r$n.sac - - $1_$n.sac"
    done
    echo "in/z1200.sac -3 40 in/r1200.sac - - $1_1200.sac"
    [ "${3:-}" != 20sps ] || return 0
    echo "in/z3001.sac 80 250 in/r3001.sac - - $1_3001.sac"
    local i=0
    for _ in "${recorded[@]}"; do
        i=$((i + 1))
        echo "in/rec$i.z 330 420 in/rec$i.r - - $1_rec$i.sac"
    done
}

# tolvane_lines DT Z R "KMIN KMAX" TAG DECON_START WAVELET_START NOISE_START NOISE_END:
# decon windows of 2^(k-1)+1 samples give transforms of 2^k points (the
# shortest ones need a cutoff above half a frequency step).
tolvane_lines() {
    local dt=$1 z=$2 r=$3 krange=$4 tag=$5 d0=$6 w0=$7 n0=$8 n1=$9
    for k in $(seq $krange); do
        de=$(awk -v d0="$d0" -v k="$k" -v dt="$dt" 'BEGIN { printf "%.4f", d0 + 2^(k-1) * dt }')
        we=$(awk -v w0="$w0" -v de="$de" 'BEGIN { e = w0 + 30; if (de < e) e = de; printf "%.4f", e }')
        echo "$z $d0 $de $r $w0 $we $n0 $n1 ${tag}_$k.sac"
    done
}

all_jobs() {
    # kestrum: three models, both wave types, four sample rates, options.
    for sps in 20 10 4 1; do
        for type in P S; do
            printf 'crust.mod\nsediment.mod\ngradient.mod\n' >models.txt
            mkdir -p "k$sps$type"
            cp in/*.mod "k$sps$type/"
            (cd "k$sps$type" && run_here "k$sps$type" kestrum -sps "$sps" -p 0.06 s/km -type "$type" -con <../models.txt)
        done
    done
    mkdir -p kopt
    cp in/*.mod kopt/
    (cd kopt && printf 'crust.mod 6.2\nsediment.mod 7.5\n' |
        run_here kopt1 kestrum -dt 0.05 -p read s/deg -type S -resp n -sph -gen rt)
    (cd kopt && printf 'gradient.mod\n' | run_here kopt2 kestrum -sps 20 -p 0.07 s/km -resp F)

    # marrick, input-list mode with several option sets.
    # (a 2 s taper needs traces longer than 2 s)
    marrick_lines wa >wa.txt && run wa marrick <wa.txt
    marrick_lines wb >wb.txt && run wb marrick -freq 1.0 <wb.txt
    marrick_lines wc 7 >wc.txt && run wc marrick -wl 0.01 -freq 2.5 -shift 5 -taper 2 <wc.txt
    marrick_lines wd 8 20sps >wd.txt && run wd marrick -pars 0.1 1.0 -convolve in/c300.sac -shift 3.3 <wd.txt
    # marrick, command-line mode (mean and trend removed).
    run we1 marrick -wavelet -3 40 in/z1200.sac in/r1200.sac we1.sac </dev/null
    run we2 marrick -wavelet -5 1600 -taper 1 -shift 3 in/z32768.sac in/r32768.sac we2.sac </dev/null
    run we3 marrick -wavelet 80 250 -freq 0.5 -convolve in/c300b.sac in/z3001.sac in/r3001.sac we3.sac </dev/null

    # tolvane, batch mode: every transform length at 20 and 100 sps.
    tolvane_lines 0.05 in/tz20.sac in/tr20.sac "3 14" ma 310 310 250 300 >ma.txt
    run ma tolvane -freq 2 <ma.txt
    tolvane_lines 0.01 in/tz100.sac in/tr100.sac "1 14" mb 58 58 20 50 >mb.txt
    run mb tolvane -freq 30 -shift 3.3 <mb.txt
    tolvane_lines 0.2 in/tz5.sac in/tr5.sac "2 10" mc 400 400 320 390 >mc.txt
    run mc tolvane -freq 0.8 -shift 0 <mc.txt
    # tolvane, single mode (mean and trend removed).
    run md1 tolvane -window 300 360 -wavelet 305 335 -noise 240 300 in/tz20.sac in/tr20.sac md1.sac </dev/null
    run md2 tolvane -freq 1.5 -shift 12 -window 55 155 -wavelet 58 80 -noise 10 50 in/tz100.sac in/tr100.sac md2.sac </dev/null
    local i=0
    for _ in "${recorded[@]}"; do
        i=$((i + 1))
        run "mr$i" tolvane -freq 1.0 -window 330 420 -wavelet 335 370 -noise 300 400 "in/rec$i.z" "in/rec$i.r" "mr$i.sac" </dev/null
    done
}

# run_here: `run` for a subdirectory (logs go to the side's log folder).
run_here() {
    local name=$1 prog=$2
    shift 2
    local status=0
    "$bin/$prog" "$@" >"../log/$name.out" 2>"../log/$name.err" || status=$?
    echo "$status" >"../log/$name.status"
}

for side in base new; do
    bin=${!side}
    mkdir -p "$work/$side/log"
    ln -s ../in "$work/$side/in"
    (cd "$work/$side" && all_jobs)
done

# ---- comparison -------------------------------------------------------------
python3 - "$work/base" "$work/new" <<'EOF'
import os, sys
base, new = sys.argv[1], sys.argv[2]
# Header words left out: DEPMIN, DEPMAX, E, DEPMEN.
skip = {1, 2, 6, 56}
def files(root):
    out = set()
    for d, dirs, names in os.walk(root):
        dirs[:] = [x for x in dirs if x != "in"]
        for n in names:
            if n.endswith((".mod", ".txt", ".err")):
                continue
            out.add(os.path.relpath(os.path.join(d, n), root))
    return out
a, b = files(base), files(new)
bad = 0
for f in sorted(a ^ b):
    print("only in %s: %s" % ("base" if f in a else "new", f))
    bad += 1
traces = samples = 0
for f in sorted(a & b):
    x = open(os.path.join(base, f), "rb").read()
    y = open(os.path.join(new, f), "rb").read()
    if f.startswith("log/"):
        if x != y:
            print("differs: %s" % f)
            bad += 1
        continue
    traces += 1
    samples += max(len(x) - 632, 0) // 4
    hx = [x[4 * i:4 * i + 4] for i in range(158) if i not in skip] + [x[632:]]
    hy = [y[4 * i:4 * i + 4] for i in range(158) if i not in skip] + [y[632:]]
    if len(x) != len(y) or hx != hy:
        first = next((i for i in range(632, min(len(x), len(y)), 4) if x[i:i+4] != y[i:i+4]), None)
        print("differs: %s (%d and %d bytes; first sample differing: %s)" %
              (f, len(x), len(y), "none" if first is None else (first - 632) // 4))
        bad += 1
statuses = [open(os.path.join(base, f)).read().strip() for f in a if f.endswith(".status")]
failed = sum(1 for s in statuses if s != "0")
print("bitident: %d traces, %d samples compared; %d runs, %d with a nonzero status; %d differences"
      % (traces, samples, len(statuses), failed, bad))
sys.exit(1 if bad or failed else 0)
EOF
