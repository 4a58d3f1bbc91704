// Slepian tapers: the most concentrated sequences of a given length and
// time-bandwidth product, found as eigenvectors of the symmetric tridiagonal
// matrix that commutes with the time-frequency concentration operator.
#pragma once

#include <span>

namespace multitaper {

inline constexpr int max_taper_count = 20;     // tapers per call
inline constexpr int max_taper_length = 16384; // samples per taper

// Computes nwin tapers of n samples for time-bandwidth product nw into the
// columns of `tapers` (leading dimension nmax, negative counts as 0): column k
// holds the sequence of order k-1, scaled to sum of squares n, with
// v(2) - v(1) > 0 for even orders and < 0 for odd ones.  lambda(k) receives an
// asymptotic estimate of its spectral concentration.  Invalid use pauses
// (console::pause); after a resume whatever fits the storage is computed and
// columns that cannot be computed are zero.  Not reentrant.
void mtaper(float nw, int n, int nwin, int nmax, std::span<double> lambda,
            std::span<double> tapers);

} // namespace multitaper
