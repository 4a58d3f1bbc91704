#!/usr/bin/env python3
"""A lean numpy implementation of marrick's input-list job, the yardstick of
bench/numpy_compare.sh: the same job lines on standard input (wavelet file,
window start and end, decon file, two unused tokens, output file), the same
cut by Wiggins interpolation, water-level division with the Gaussian filter
and the delay, normalisation and output trace, with double-precision FFTs.

    numpy_wl.py [-freq F] [-wl C] [-shift T] < jobs
"""
import math
import sys

import numpy as np

from numpy_sac import Trace


def wiggins(b, y, dt, t, eps=1.0e-4):
    """Wiggins' interpolation of y (begin b, interval dt) at the times t."""
    n = len(y)
    pad = np.concatenate([[0.0], y, [0.0, 0.0, 0.0]])  # y[k] at pad[k + 1]
    q = (t - b) / dt
    j = np.trunc(q).astype(np.int64)
    j = np.clip(j, -1, n)
    f = (t - b) - j * dt
    g, h = pad[j + 1], pad[j + 2]
    e = dt
    slope = (h - g) / e
    left = np.where(j < 1, slope, (g - pad[np.maximum(j, 0)]) / dt)
    right = np.where(j + 2 >= n, slope, (pad[j + 3] - h) / dt)
    wl = 1.0 / np.maximum(np.abs(slope), eps)
    wm = 1.0 / np.maximum(np.abs(left), eps)
    wo = 1.0 / np.maximum(np.abs(right), eps)
    dl = (left * wm + slope * wl) / (wm + wl)
    dr = (right * wo + slope * wl) / (wo + wl)
    c = f - e
    e2, e3 = e * e, e * e * e
    value = ((c * c / e2 + 2 * f * c * c / e3) * g + (f * f / e2 - 2 * c * f * f / e3) * h +
             dl * f * c * c / e2 + dr * f * f * c / e2)
    return np.where(f == 0.0, g, value)


def cut(trace, ts, te):
    # The times are accumulated in single precision, one interval at a time,
    # as the program does.
    steps = np.full(len(trace.y), np.float32(trace.delta))
    steps[0] = ts
    t = np.add.accumulate(steps, dtype=np.float32).astype(np.float64)
    inside = t <= te
    out = np.zeros(len(trace.y))
    out[inside] = wiggins(trace.b, trace.y, trace.delta, t[inside])
    return out


def job(line, c, agauss, tdelay):
    tok = line.split()
    ts, te = float(tok[1]), float(tok[2])
    w = Trace(tok[0])
    d = Trace(tok[3])
    dt = w.delta
    wavelet, trace = cut(w, ts, te), cut(d, ts, te)
    npts = max(len(wavelet), len(trace))
    nfft = 1 << max(2, (2 * npts - 1).bit_length())
    W = np.fft.rfft(wavelet, nfft) * dt
    D = np.fft.rfft(trace, nfft) * dt
    power = W.real ** 2 + W.imag ** 2
    divisor = np.maximum(power, c * power.max())
    df = 1.0 / (nfft * dt)
    omega = 2.0 * math.pi * df * np.arange(nfft // 2 + 1)
    g = np.exp(-omega ** 2 / (4.0 * agauss * agauss))
    R = D * np.conj(W) * (g / divisor) * np.exp(-1j * omega * tdelay)
    r = np.fft.irfft(R, nfft) / (dt * 2.0 * g.sum() * df)
    nout = min(int(math.floor((te + tdelay) / dt + 0.5)), nfft)
    d.write(tok[6], r[:nout], -tdelay, c, agauss)
    return tok[6]


def main():
    args = sys.argv[1:]
    c, agauss, tdelay = 0.001, 2.0, 10.0
    while args:
        opt, value = args[0], float(args[1])
        if opt == "-freq":
            agauss = math.pi * value / 1.5174271
        elif opt == "-wl":
            c = value
        elif opt == "-shift":
            tdelay = value or 10.0
        args = args[2:]
    out = sys.stdout
    for line in sys.stdin:
        if line.strip():
            out.write(job(line, c, agauss, tdelay) + "\n")
            out.flush()


if __name__ == "__main__":
    main()
