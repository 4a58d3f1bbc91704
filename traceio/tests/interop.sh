#!/bin/sh
# A trace written by the library goes through independent converters
# (SAC -> miniSEED -> SAC) and must come back through the library's reader
# with the same samples, DELTA and NPTS.  The converter's SAC output is read
# in both byte orders it can write: big-endian and the host's own.
# Usage: interop.sh PATH/TO/traceio_interop.  Exit 77 (skipped) without the tools.
set -u
tool=$1
for t in sac2mseed mseed2sac; do
    if ! command -v "$t" >/dev/null 2>&1; then
        echo "SKIPPED: $t is not installed (Debian packages sac2mseed and mseed2sac)"
        exit 77
    fi
done
dir=$(mktemp -d "${TMPDIR:-/tmp}/traceio-interop-XXXXXX") || exit 1
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$tool" write "$dir/ref.sac" || fail "the library could not write the reference trace"
# Encoding 4 keeps the samples as 32-bit floats, so they must come back exactly.
sac2mseed -e 4 -o "$dir/ref.mseed" "$dir/ref.sac" || fail "sac2mseed refused the library's trace"
mkdir "$dir/big" "$dir/host"
(cd "$dir/big" && mseed2sac -f 4 ../ref.mseed) || fail "mseed2sac (big-endian) failed"
(cd "$dir/host" && mseed2sac ../ref.mseed) || fail "mseed2sac (host order) failed"
for order in big host; do
    set -- "$dir/$order"/*.SAC
    [ -f "$1" ] || fail "mseed2sac wrote no SAC file ($order)"
    "$tool" check "$1" || fail "the trace came back different ($order byte order)"
done
echo "PASS: library -> sac2mseed -> mseed2sac -> library, both byte orders"
