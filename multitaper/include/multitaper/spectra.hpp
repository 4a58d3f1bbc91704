// Multitaper spectral deconvolution: tapered spectra slid across a window,
// the noise power, the regularised cross-spectral ratio with its cosine-squared
// low-pass, the squared coherence, the time shift and the inverse transform.
//
// Spectra are in the packed layout of numerics::realft: value 0 the real DC
// term, value 1 the real Nyquist term, values 2j and 2j+1 the real and
// imaginary parts of bin j.  Samples x(1..npts) of a trace sit at x[0..npts-1].
#pragma once

#include <array>
#include <span>

namespace multitaper {

inline constexpr int max_nfft = 16384;  // longest transform
inline constexpr int taper_rows = 1024; // leading dimension of the taper store
inline constexpr int max_nwav = 1023;   // longest taper
inline constexpr int taper_count = 3;   // tapers per spectrum
inline constexpr float time_bandwidth = 2.5f;
inline constexpr float pad_seconds = 3.0f; // the analysed stretch starts this early
// Room of the work buffer that ends up holding the result: the longest
// window of a trace (32000 samples) plus 6 s of samples at the shortest
// sample interval the taper store allows.
inline constexpr int result_capacity = 32768;

// Nearest integer of a single-precision value, halves away from zero.  Values
// beyond +-2^30 (and NaN, counted as large) saturate there, so that sample
// index arithmetic cannot overflow.
int nint(float x);

// The three tapers of one deconvolution and what is derived from them.
struct TaperSet {
    std::array<double, taper_rows * taper_count> v{}; // taper k in v[k*taper_rows ...]
    std::array<double, taper_count> lambda{};         // concentrations (noise weights)
    int nwav = 0;                                     // taper length, odd
    int half = 0;                                     // (nwav - 1)/2
    float sum = 0.0f;                                 // S: all taper values summed in single
};

// Taper length for sample interval dt: about 10 s of samples, made odd.
int taper_length(float dt);

// Designs Slepian tapers of nwav (odd, 1..1023) samples, NW 2.5, into t.
void design_tapers(int nwav, TaperSet& t);

// Transform length, cutoff bin and sample interval of one deconvolution.
struct Plan {
    float dt = 0.0f;
    int nfft = 0; // power of two, 2..16384
    int nf = 0;   // cutoff bin, 1..nfft/2
};

using Spectrum = std::array<std::array<float, max_nfft>, taper_count>;

// The working arrays of one deconvolution (about 0.7 MB: keep it static).
struct Workspace {
    Spectrum wavelet, noise, trace;
    std::array<float, result_capacity> u;      // segment transforms, then the result
    std::array<float, max_nfft / 2 + 1> power; // noise power P(0..nfft/2)
    std::array<float, max_nfft / 2> coherence; // squared coherence Q(0..nf-1)
};

// Sample counts of the analysed stretches (the window plus 3 s either side):
// the wavelet and trace counts include the end sample, the noise count not.
int stretch_count(float t0, float t1, float dt);
int noise_count(float t0, float t1, float dt);

// Clears the first nfft values of the three arrays of y.
void clear(Spectrum& y, int nfft);

// Adds into y the tapered spectra of x(1..npts) (begin time b) over the
// stretch starting 3 s before t0, of n samples, the tapers stepping by a
// quarter of their length, and scales them by n/(nseg*nfft).  u is the
// transform buffer (nfft values used).  Returns the segment count nseg.
int tapered_spectra(std::span<const float> x, int npts, float b, float t0, int n, const Plan& plan,
                    const TaperSet& tapers, Spectrum& y, std::span<float> u);

// Noise power P(0..nfft/2) from the noise spectra; the bins between DC and
// Nyquist are weighted by 1/lambda.
void noise_power(const Spectrum& noise, const TaperSet& tapers, const Plan& plan,
                 std::span<float> power);

// Deconvolves trace by wavelet in w.u, delays it by `shift` seconds and
// returns to the time domain: w.u(1..nt) holds the result (zero past nfft).
// Fills w.coherence(0..nf-1) and returns the averaged squared coherence.
float deconvolve(Workspace& w, const Plan& plan, float shift, int nt);

// True when every spectrum of y is zero from DC up to the cutoff (bins 0 to
// nf-1), as for a dead channel: there is then nothing to deconvolve by or to
// compare with, and the coherence would be 0/0.
bool silent(const Spectrum& y, const Plan& plan);

// The result of a deconvolution with a silent wavelet or trace: w.u(1..nt)
// and w.coherence(0..nf-1) all zero, with no division made.
void zero_result(Workspace& w, const Plan& plan, int nt);

// The sum of the three spectra of y back in the time domain in u, scaled by
// 1/(0.5 S) for a wavelet or 2/S otherwise; returns the count of samples that
// hold it (n, or less if u is shorter), zero past nfft.
int reconstruct(const Spectrum& y, const Plan& plan, const TaperSet& tapers, int n, bool wavelet,
                std::span<float> u);

} // namespace multitaper
