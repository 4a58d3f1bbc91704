// Water-level spectral division.  The Gaussian filter and the phase factors
// of the delay depend only on the transform length, the frequency step and
// the settings, which stay the same over a whole run of jobs: they are
// computed once for each such set, by the very expressions the division
// uses, and kept for the jobs that follow.  Their values, and so every
// sample of the result, are the ones the per-frequency evaluation gives.
#include "waterlevel/wldecon.hpp"

#include "numerics/constants.hpp"
#include "numerics/fft.hpp"

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
    for (int j = 0; j <= h; ++j) {
        const float re = wavelet[2 * j];
        const float im = wavelet[2 * j + 1];
        const float p = re * re + im * im;
        power[j] = p;
        if (p > pmax) pmax = p;
        if (std::isnan(p)) defined = false;
    }
    // A wavelet without power leaves nothing to divide by.  (An undefined
    // spectrum is left to the caller's check of the result.)
    if (defined && pmax == 0.0f) {
        nerr = 1;
        return;
    }
    const float level = d.c * pmax;
    const Filter& filter = filter_for(h, df, d.agauss, d.tdelay);
    const bool delay = d.tdelay != 0.0f;

    for (int j = 0; j <= h; ++j) {
        const float divisor = power[j] > level ? power[j] : level;
        const float s = filter.g[j] / divisor;
        const float dre = trace[2 * j], dim = trace[2 * j + 1];
        const float wre = wavelet[2 * j], wim = wavelet[2 * j + 1];
        float re = (dre * wre + dim * wim) * s;
        float im = (dim * wre - dre * wim) * s;
        if (d.oconv) multiply(re, im, conv[2 * j], conv[2 * j + 1]);
        // exp(-i w tau) delays the result by tau under the forward sign e^{-i}.
        if (delay) multiply(re, im, filter.cosine[j], filter.sine[j]);
        trace[2 * j] = re;
        trace[2 * j + 1] = im;
    }
    const double gsum = filter.gsum;

    numerics::dfftr(trace, nfft, "inverse", 1.0f / static_cast<float>(nfft));

    // 2G/nfft is the plain inverse of the filter at zero lag (up to its end
    // terms), so a trace divided by itself gives a pulse of height near 1.
    const double scale = static_cast<double>(delta) * ((gsum + gsum) * static_cast<double>(df));
    for (int k = 0; k < nfft; ++k) trace[k] = static_cast<float>(trace[k] / scale);
}

} // namespace waterlevel
