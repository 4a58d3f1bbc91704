// Packed real FFT (the family used by the multitaper deconvolution).
//
// Conventions: forward sign e^{+i}.  A real series data[0..n-1] (n a power of
// two, n >= 2) is replaced by its packed spectrum: data[0] = H_0 (real),
// data[1] = H_{n/2} (real, Nyquist), data[2k], data[2k+1] = Re, Im H_k for
// k = 1..n/2-1.  No scaling: the inverse returns n/2 times the series.
// Twiddle factors come from a double-precision recurrence; the butterflies
// are single precision.
#pragma once

#include <span>

namespace numerics {

// Complex transform in place of nn interleaved values (data holds 2 nn
// floats): isign +1 gives sum x_m e^{+2 pi i km/nn}, -1 the unscaled inverse.
void four1(std::span<float> data, int nn, int isign);

// Real transform of n points: isign +1 packs the spectrum as above; any other
// isign takes a packed spectrum back to n/2 times the series.  Only
// data[0..n-1] are read or written.
void realft(std::span<float> data, int n, int isign);

} // namespace numerics
