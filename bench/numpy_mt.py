#!/usr/bin/env python3
"""A lean numpy implementation of tolvane's batch job, the yardstick of
bench/numpy_compare.sh: the same nine-token job lines on standard input, the
same three Slepian tapers (NW 2.5, about 10 s long, designed once per taper
length) slid across the wavelet, noise and trace windows a quarter taper at
a time, the noise-regularised spectral ratio with its cosine-squared
low-pass, the coherence, the delay and the output trace, with
double-precision FFTs (all segments of a window in one call).

    numpy_mt.py [-freq F] [-shift T] < jobs
"""
import math
import sys

import numpy as np

from numpy_sac import Trace

tapers_kept = {}


def nint(x):
    return int(math.floor(abs(x) + 0.5)) * (1 if x >= 0 else -1)


def slepian(n, nw=2.5, k=3):
    """The k most concentrated sequences of length n, sum of squares n, with
    the first step positive for even orders, and their concentrations."""
    if n in tapers_kept:
        return tapers_kept[n]
    w = nw / n
    i = np.arange(n)
    diag = ((n - 1) / 2.0 - i) ** 2 * math.cos(2 * math.pi * w)
    off = 0.5 * i[1:] * (n - i[1:])
    m = np.diag(diag) + np.diag(off, 1) + np.diag(off, -1)
    values, vectors = np.linalg.eigh(m)
    v = vectors[:, ::-1][:, :k].T.copy()
    for order in range(k):
        v[order] *= math.sqrt(n / np.sum(v[order] ** 2))
        step = v[order][1] - v[order][0]
        if (step < 0) != (order % 2 == 1):
            v[order] = -v[order]
    a = math.pi * n * w
    q = 4.0 * math.sqrt(math.pi * a) * math.exp(-2.0 * a)
    lam = []
    for order in range(k):
        if order:
            q *= 8.0 * a / order
        lam.append(1.0 - q)
    tapers_kept[n] = (v, np.array(lam))
    return tapers_kept[n]


def spectra(trace, t0, n, v, nfft, dt):
    """Tapered spectra of n samples from 3 s before t0, summed over segments
    a quarter taper apart, scaled by n/(nseg nfft): shape (3, nfft/2 + 1)."""
    nwav = v.shape[1]
    half = (nwav - 1) // 2
    nseg = int(4.0 * n / nwav)
    s0 = nint((t0 - 3.0 - trace.b) / dt)
    data = np.zeros(nfft)
    lo, hi = max(0, -s0), min(nfft, len(trace.y) - s0)
    if hi > lo:
        data[lo:hi] = trace.y[s0 + lo:s0 + hi]
    segs = np.zeros((nseg, 3, nfft))
    for s in range(nseg):
        o = s * nwav // 4
        a, b = max(0, o - half), min(nfft, o - half + nwav)
        if b > a:
            segs[s, :, a:b] = v[:, a - o + half:b - o + half] * data[a:b]
    return np.fft.rfft(segs, axis=-1).sum(axis=0) * (n / (nseg * nfft))


def job(tok, freq, shift):
    ds, de, ws, we, ns, ne = (float(tok[i]) for i in (1, 2, 4, 5, 6, 7))
    w = Trace(tok[0])
    d = Trace(tok[3])
    dt = d.delta
    nd = nint((de - ds) / dt) + 1
    nfft = 2
    while nfft < nd:
        nfft *= 2
    nf = min(nint(freq * nfft * dt), nfft // 2)
    nwav = nint(10.0 / dt) // 2 * 2 + 1
    v, lam = slepian(nwav)
    W = spectra(w, ws, nint((we - ws + 6.0) / dt) + 1, v, nfft, dt)
    N = spectra(w, ns, nint((ne - ns + 6.0) / dt), v, nfft, dt)
    nt = nint((de - ds + 6.0) / dt) + 1
    T = spectra(d, ds, nt, v, nfft, dt)
    power = np.abs(N) ** 2
    power[:, 1:-1] /= lam[:, None]
    power = power.sum(axis=0)
    X = np.sum(np.conj(W) * T, axis=0)[:nf]
    B = np.sum(np.abs(W) ** 2, axis=0)[:nf]
    D = np.sum(np.abs(T) ** 2, axis=0)[:nf]
    j = np.arange(nf)
    weight = np.cos(0.5 * math.pi * j / nf) ** 2
    weight[0] = 1.0
    U = np.zeros(nfft // 2 + 1, complex)
    U[:nf] = weight * X / (B + power[:nf]) * np.exp(-1j * j * 2 * math.pi * shift / (dt * nfft))
    U[0] = U[0].real
    coherence = np.abs(X) ** 2 / (B * D)
    mean = np.sum(weight * coherence) / np.sum(weight)
    r = np.fft.irfft(U, nfft) * (nfft / nf)
    out = np.zeros(nt)
    out[:min(nt, nfft)] = r[:nt]
    d.write(tok[8], out, -shift, mean, freq)
    return tok[8]


def main():
    args = sys.argv[1:]
    freq, shift = 5.0, 10.0
    while args:
        if args[0] == "-freq":
            freq = float(args[1])
        elif args[0] == "-shift":
            shift = float(args[1])
        args = args[2:]
    out = sys.stdout
    for line in sys.stdin:
        tok = line.split()
        if len(tok) >= 9:
            out.write(job(tok, freq, shift) + "\n")
            out.flush()


if __name__ == "__main__":
    main()
