// Water-level spectral division: the numerical core of the receiver-function
// deconvolution.
#pragma once

#include <span>

namespace waterlevel {

// What the spectral division needs besides its three series.
struct Division {
    float c = 0.001f;    // water level as a fraction of the largest wavelet power
    float agauss = 2.0f; // Gaussian width a
    float tdelay = 0.0f; // delay of the result, seconds
    bool oconv = false;  // multiply by the spectrum of `conv`
};

// Deconvolves trace by wavelet (each nfft samples, then zeros, room for nfft + 2
// values): forward transforms of trace, wavelet and (with oconv) conv, the
// water-level division with the Gaussian filter, the delay, the inverse
// transform and the normalisation.  The result replaces trace; wavelet and conv
// are left holding their spectra, power the wavelet power (nfft/2 + 1 values).
// delta: sample interval; df: frequency step 1/(nfft*delta).  nerr = 1 (and
// trace holds the trace's spectrum) when the wavelet is zero everywhere.
// The Gaussian filter and the delay factors of the last few sets of nfft, df,
// agauss and tdelay are kept between calls (a few hundred kB at most).
void wldecon(std::span<float> trace, std::span<float> wavelet, std::span<float> conv,
             std::span<float> power, int nfft, float delta, float df, const Division& d, int& nerr);

} // namespace waterlevel
