#include "waterlevel/wldecon.hpp"

#include "numerics/constants.hpp"
#include "numerics/fft.hpp"

#include <cmath>

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
    const float q = d.agauss * (4.0f * d.agauss);

    double gsum = 0.0;
    for (int j = 0; j <= h; ++j) {
        const float omega = (static_cast<float>(j) * df) * numerics::two_pi_f;
        const float g = std::exp(-(omega * omega) / q);
        gsum += g;
        const float divisor = power[j] > level ? power[j] : level;
        const float s = g / divisor;
        const float dre = trace[2 * j], dim = trace[2 * j + 1];
        const float wre = wavelet[2 * j], wim = wavelet[2 * j + 1];
        float re = (dre * wre + dim * wim) * s;
        float im = (dim * wre - dre * wim) * s;
        if (d.oconv) multiply(re, im, conv[2 * j], conv[2 * j + 1]);
        // exp(-i w tau) delays the result by tau under the forward sign e^{-i}.
        if (d.tdelay != 0.0f) {
            const float phase = -(omega * d.tdelay);
            multiply(re, im, std::cos(phase), std::sin(phase));
        }
        trace[2 * j] = re;
        trace[2 * j + 1] = im;
    }

    numerics::dfftr(trace, nfft, "inverse", 1.0f / static_cast<float>(nfft));

    // 2G/nfft is the plain inverse of the filter at zero lag (up to its end
    // terms), so a trace divided by itself gives a pulse of height near 1.
    const double scale = static_cast<double>(delta) * ((gsum + gsum) * static_cast<double>(df));
    for (int k = 0; k < nfft; ++k) trace[k] = static_cast<float>(trace[k] / scale);
}

} // namespace waterlevel
