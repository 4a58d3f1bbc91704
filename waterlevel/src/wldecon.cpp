// Water-level spectral division.  The Gaussian filter and the phase factors
// of the delay depend only on the transform length, the frequency step and
// the settings, which stay the same over a whole run of jobs: they are
// computed once for each such set, by the very expressions the division
// uses, and kept for the jobs that follow.  Their values, and so every
// sample of the result, are the ones the per-frequency evaluation gives.
#include "waterlevel/wldecon.hpp"

#include "numerics/constants.hpp"
#include "numerics/fft.hpp"
#include "numerics/simd.hpp"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace waterlevel {

namespace {

// Complex product in single precision, the two real products of each part
// formed separately so the rounding is that of the written formula.
inline void multiply(float& re, float& im, float cre, float cim) {
    const float r = re * cre - im * cim;
    const float i = re * cim + im * cre;
    re = r;
    im = i;
}

// The Gaussian filter g_j = exp(-w_j^2/(4a^2)) with its sum (in double, in
// increasing j) and the delay factors exp(-i w_j tau), j = 0 .. h, for one
// transform length, frequency step, Gaussian width and delay.
struct Filter {
    int h = -1;
    std::uint32_t df = 0, agauss = 0, tdelay = 0; // bit patterns of the settings
    std::vector<float> g, cosine, sine;
    double gsum = 0.0;

    bool serves(int h_, float df_, float agauss_, float tdelay_) const {
        return h == h_ && df == std::bit_cast<std::uint32_t>(df_) &&
               agauss == std::bit_cast<std::uint32_t>(agauss_) &&
               tdelay == std::bit_cast<std::uint32_t>(tdelay_);
    }

    void compute(int h_, float df_, float agauss_, float tdelay_) {
        h = h_;
        df = std::bit_cast<std::uint32_t>(df_);
        agauss = std::bit_cast<std::uint32_t>(agauss_);
        tdelay = std::bit_cast<std::uint32_t>(tdelay_);
        const auto n = static_cast<std::size_t>(h_) + 1;
        g.resize(n);
        cosine.assign(tdelay_ != 0.0f ? n : 0, 0.0f);
        sine.assign(tdelay_ != 0.0f ? n : 0, 0.0f);
        const float q = agauss_ * (4.0f * agauss_);
        gsum = 0.0;
        for (int j = 0; j <= h_; ++j) {
            const float omega = (static_cast<float>(j) * df_) * numerics::two_pi_f;
            g[j] = std::exp(-(omega * omega) / q);
            gsum += g[j];
            if (tdelay_ != 0.0f) {
                const float phase = -(omega * tdelay_);
                cosine[j] = std::cos(phase);
                sine[j] = std::sin(phase);
            }
        }
    }
};

// The filters of the last few parameter sets (a run mixing sample rates or
// lengths alternates between a few); the oldest is replaced first.
const Filter& filter_for(int h, float df, float agauss, float tdelay) {
    thread_local std::array<Filter, 4> kept;
    thread_local std::size_t next = 0;
    for (const Filter& f : kept)
        if (f.serves(h, df, agauss, tdelay)) return f;
    Filter& f = kept[next];
    next = (next + 1) % kept.size();
    f.compute(h, df, agauss, tdelay);
    return f;
}

// P_j = |W_j|^2 into power, j = 0 .. h, with the largest (pmax, NaN passed
// over) and whether all are numbers.
void wavelet_power(std::span<const float> wavelet, std::span<float> power, int h, float& pmax,
                   bool& defined) {
    int j = 0;
#if defined(__SSE2__)
    // Four at a time; the largest is the same whatever the order.  max(p, m)
    // keeps m when p is not a number, as the comparison p > m does.
    __m128 top = _mm_setzero_ps(), undefined = _mm_setzero_ps();
    for (; j + 3 <= h; j += 4) {
        __m128 re, im;
        numerics::simd::load_split(wavelet.data() + 2 * j, re, im);
        const __m128 p = _mm_add_ps(_mm_mul_ps(re, re), _mm_mul_ps(im, im));
        _mm_storeu_ps(power.data() + j, p);
        top = _mm_max_ps(p, top);
        undefined = _mm_or_ps(undefined, _mm_cmpunord_ps(p, p));
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, top);
    for (float p : lanes)
        if (p > pmax) pmax = p;
    if (_mm_movemask_ps(undefined) != 0) defined = false;
#endif
    for (; j <= h; ++j) {
        const float re = wavelet[2 * j];
        const float im = wavelet[2 * j + 1];
        const float p = re * re + im * im;
        power[j] = p;
        if (p > pmax) pmax = p;
        if (std::isnan(p)) defined = false;
    }
}

// Bin j of the result: R_j = D_j conj(W_j) g_j/max(P_j, level), times C_j
// with the convolution and the delay factor with a delay; replaces D_j.
void divide(std::span<float> trace, std::span<const float> wavelet, std::span<const float> conv,
            std::span<const float> power, int j, float level, const Filter& filter,
            const Division& d) {
    const float divisor = power[j] > level ? power[j] : level;
    const float s = filter.g[j] / divisor;
    const float dre = trace[2 * j], dim = trace[2 * j + 1];
    const float wre = wavelet[2 * j], wim = wavelet[2 * j + 1];
    float re = (dre * wre + dim * wim) * s;
    float im = (dim * wre - dre * wim) * s;
    if (d.oconv) multiply(re, im, conv[2 * j], conv[2 * j + 1]);
    // exp(-i w tau) delays the result by tau under the forward sign e^{-i}.
    if (d.tdelay != 0.0f) multiply(re, im, filter.cosine[j], filter.sine[j]);
    trace[2 * j] = re;
    trace[2 * j + 1] = im;
}

#if defined(__SSE2__)
// The complex product of multiply() on four lanes.
inline void multiply4(__m128& re, __m128& im, __m128 cre, __m128 cim) {
    const __m128 r = _mm_sub_ps(_mm_mul_ps(re, cre), _mm_mul_ps(im, cim));
    const __m128 i = _mm_add_ps(_mm_mul_ps(re, cim), _mm_mul_ps(im, cre));
    re = r;
    im = i;
}

// divide() for bins 0, 4, 8, ... four at a time, lane for lane the same
// operations (max(P, level) is P > level ? P : level); returns the first bin
// left over.
int divide_four(std::span<float> trace, std::span<const float> wavelet, std::span<const float> conv,
                std::span<const float> power, int h, float level, const Filter& filter,
                const Division& d) {
    using numerics::simd::load_split;
    const __m128 lv = _mm_set1_ps(level);
    int j = 0;
    for (; j + 3 <= h; j += 4) {
        const __m128 divisor = _mm_max_ps(_mm_loadu_ps(power.data() + j), lv);
        const __m128 s = _mm_div_ps(_mm_loadu_ps(filter.g.data() + j), divisor);
        __m128 dre, dim, wre, wim;
        load_split(trace.data() + 2 * j, dre, dim);
        load_split(wavelet.data() + 2 * j, wre, wim);
        __m128 re = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(dre, wre), _mm_mul_ps(dim, wim)), s);
        __m128 im = _mm_mul_ps(_mm_sub_ps(_mm_mul_ps(dim, wre), _mm_mul_ps(dre, wim)), s);
        if (d.oconv) {
            __m128 cre, cim;
            load_split(conv.data() + 2 * j, cre, cim);
            multiply4(re, im, cre, cim);
        }
        if (d.tdelay != 0.0f)
            multiply4(re, im, _mm_loadu_ps(filter.cosine.data() + j),
                      _mm_loadu_ps(filter.sine.data() + j));
        numerics::simd::store_interleaved(trace.data() + 2 * j, re, im);
    }
    return j;
}
#endif

} // namespace

void wldecon(std::span<float> trace, std::span<float> wavelet, std::span<float> conv,
             std::span<float> power, int nfft, float delta, float df, const Division& d,
             int& nerr) {
    nerr = 0;
    numerics::dfftr(trace, nfft, "forward", delta);
    numerics::dfftr(wavelet, nfft, "forward", delta);
    if (d.oconv) numerics::dfftr(conv, nfft, "forward", delta);

    const int h = nfft / 2;
    float pmax = 0.0f;
    bool defined = true;
    wavelet_power(wavelet, power, h, pmax, defined);
    // A wavelet without power leaves nothing to divide by.  (An undefined
    // spectrum is left to the caller's check of the result.)
    if (defined && pmax == 0.0f) {
        nerr = 1;
        return;
    }
    const float level = d.c * pmax;
    const Filter& filter = filter_for(h, df, d.agauss, d.tdelay);
    int j = 0;
#if defined(__SSE2__)
    j = divide_four(trace, wavelet, conv, power, h, level, filter, d);
#endif
    for (; j <= h; ++j) divide(trace, wavelet, conv, power, j, level, filter, d);
    const double gsum = filter.gsum;

    numerics::dfftr(trace, nfft, "inverse", 1.0f / static_cast<float>(nfft));

    // 2G/nfft is the plain inverse of the filter at zero lag (up to its end
    // terms), so a trace divided by itself gives a pulse of height near 1.
    const double scale = static_cast<double>(delta) * ((gsum + gsum) * static_cast<double>(df));
    for (int k = 0; k < nfft; ++k) trace[k] = static_cast<float>(trace[k] / scale);
}

} // namespace waterlevel
