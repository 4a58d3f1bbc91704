#!/usr/bin/env bash
# The main job on the bundled examples: synthetic Z, R, T for an incident P
# wave on each example model (kestrum), then receiver functions of R by Z by
# water-level division (marrick) and by multitaper deconvolution (tolvane).
# Usage: examples/demo.sh BUILD/bin [OUTDIR]
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out=${2:-${DEMO_OUT:-$PWD/demo-out}}
mkdir -p "$out"
cd "$out"

slowness=0.06   # s/km, a teleseismic P wave at about 60 degrees
models=()
for m in "$here"/*.mod; do
    cp "$m" .
    models+=("$(basename "$m" .mod)")
done
echo "Writing to $out"

echo "== kestrum: synthetic Z, R, T at p = $slowness s/km, 20 samples/s"
printf '%s.mod\n' "${models[@]}" | "$bin/kestrum" -sps 20 -p "$slowness" s/km -type P -con

echo "== marrick: water-level receiver functions of R by Z"
for m in "${models[@]}"; do
    echo "$m.mod_sp.z -5 60 $m.mod_sp.r - - $m.wl.rf"
done | "$bin/marrick" -freq 1.0 -wl 0.001

echo "== tolvane: multitaper receiver functions of R by Z"
for m in "${models[@]}"; do
    echo "$m.mod_sp.z -5 60 $m.mod_sp.r -5 60 -19 -6 $m.mt.rf"
done | "$bin/tolvane" -freq 2.0 -shift 5

echo "== outputs"
ls -l "$out"
