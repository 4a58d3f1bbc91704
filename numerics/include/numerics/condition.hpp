// Conditioning of sampled series before spectral work.  Series are spans of
// single-precision samples; indices and counts in the arguments count from 1
// as seismologists number samples.  No routine reads or writes outside the
// span it is given: samples past the end of a span count as zero.
#pragma once

#include <span>
#include <string_view>

namespace numerics {

// Subtracts the mean of x(1..n) (summed in single precision in index order).
void demean(std::span<float> x, int n);

// Subtracts the least-squares slope about the centre (n+1)/2 of x(1..n); the
// mean is left as it is.
void dtrend(std::span<float> x, int n);

// Sets x(first) .. x(first+count-1) to zero; nothing when count <= 0.
void zero(std::span<float> x, int first, int count);

// Multiplies both ends of x(1..n) by a half cosine bell of `len` seconds.
void window(float len, int n, float dt, std::span<float> x);

// Wiggins interpolation at time t of evenly spaced samples y (first abscissa
// x1, spacing dx != 0), slope floor epsi (<= 0 means 1e-4).  Samples before
// the first and past the end of the span count as zero.
float wigint(float x1, std::span<const float> y, int n, float dx, float epsi, float t);

// The same at many times: out[i] = wigint(x1, y, n, dx, epsi, t[i]) for every
// i, the same values, several computed at once.  out and t have the same
// length and may be the same array.
void wigint(float x1, std::span<const float> y, int n, float dx, float epsi,
            std::span<const float> t, std::span<float> out);

// The same for n increasing abscissas x(1..n) (uneven spacing).
float wigint(std::span<const float> x, std::span<const float> y, int n, float epsi, float t);

// Position of the last non-blank character; 1 for blank or empty text.
int nbl(std::string_view s);

} // namespace numerics
