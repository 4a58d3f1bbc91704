// Real FFT in place (the family used by the synthetics and the water-level
// deconvolution).
//
// Conventions: a real series x_0..x_{n-1} lives in an array of n + 2 floats.
// Its spectrum X_k, k = 0..n/2, replaces it as n/2 + 1 interleaved complex
// values: places 2k, 2k+1 hold Re X_k, Im X_k; the Nyquist term sits at places
// n, n+1 (after the last sample).  Forward sign e^{-i}, inverse sign e^{+i};
// both directions are scaled by the caller's `delta`.
#pragma once

#include <complex>
#include <span>
#include <string_view>

namespace numerics {

// Real transform in place.  n: power of two >= 4; direction: "forward" or
// "inverse"; forward X_k = delta * sum x_j e^{-2 pi i jk/n}, inverse
// x_j = delta * sum X_k e^{+2 pi i jk/n} (X_{n-k} = conj X_k).
void dfftr(std::span<float> x, int n, std::string_view direction, float delta);

// Unscaled complex radix-2 transform in place of m values (m a power of two):
// Z_k = sum z_j e^{isign 2 pi i jk/m}.
void fft(std::span<std::complex<float>> z, int m, int isign);

// Reads a direction word: "forward" sets forward = 1, "inverse" sets
// inverse = 1; anything else writes a complaint on standard error, both 0.
void locast(std::string_view word, int& inverse, int& forward);

// Smallest power of two not less than n (2 for n = 1).
int npowr2(int n);

} // namespace numerics
