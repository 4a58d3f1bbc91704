#!/usr/bin/env python3
"""Writes deterministic SAC trace files for the benchmark and bit-identity job
sets, with nothing but the standard library.

    make_traces.py DIR NAME NPTS DELTA B SEED [little] [located]

The samples are a damped wavelet at 20 % of the trace, a smaller arrival 4 s
later, a slow swell and pseudo-random noise (seeded, so both sides of a
comparison read the same bits).  `little` writes the file little-endian,
`located` adds station and event coordinates (so readers fill in distance
and azimuths).
"""
import math
import random
import struct
import sys

FUNDEF, IUNDEF, KUNDEF = -12345.0, -12345, b"-12345  "


def samples(npts, delta, seed):
    rng = random.Random(seed)
    t0 = 0.2 * npts * delta
    out = []
    for i in range(npts):
        t = i * delta
        y = 0.05 * math.sin(0.3 * t + seed) + 0.02 * (rng.random() - 0.5)
        for onset, amp in ((t0, 1.0), (t0 + 4.0, 0.35 if seed % 2 else -0.3)):
            s = t - onset
            if s >= 0.0:
                y += amp * math.exp(-1.5 * s) * math.sin(6.0 * s)
        out.append(y)
    return out


def header(npts, delta, b, y, located):
    f = [FUNDEF] * 70
    n = [IUNDEF] * 15
    e = [IUNDEF] * 20
    lg = [1, 0, 1, 1, 0]  # leven, lpspol, lovrok, lcalda, unused
    f[0] = delta
    f[1], f[2] = min(y), max(y)
    f[5] = b
    f[6] = b + (npts - 1) * delta
    f[56] = sum(y) / npts
    if located:
        f[31], f[32], f[35], f[36], f[38] = -21.04, -69.49, 17.82, -95.17, 130.6
    n[0:6] = [2011, 56, 13, 7, 26, 980]  # reference time
    n[6] = 6  # header version
    n[9] = npts
    e[0] = 1  # evenly spaced time series
    k = [KUNDEF] * 24
    k[0] = b"BENCH   "
    return f, n + e + lg, k


def main():
    if len(sys.argv) < 7:
        sys.exit(__doc__)
    path, npts, delta, b, seed = (sys.argv[1] + "/" + sys.argv[2], int(sys.argv[3]),
                                  float(sys.argv[4]), float(sys.argv[5]), int(sys.argv[6]))
    little = "little" in sys.argv[7:]
    located = "located" in sys.argv[7:]
    y = samples(npts, delta, seed)
    f, ints, k = header(npts, delta, b, y, located)
    order = "<" if little else ">"
    with open(path, "wb") as out:
        out.write(struct.pack(order + "70f", *f))
        out.write(struct.pack(order + "40i", *ints))
        out.write(b"".join(k))
        out.write(struct.pack(order + "%df" % npts, *y))


if __name__ == "__main__":
    main()
