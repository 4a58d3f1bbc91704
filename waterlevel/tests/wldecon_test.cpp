#include "waterlevel/wldecon.hpp"

#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int nfft = 512;
constexpr float dt = 0.05f;
const float df = (1.0f / (2.0f * dt)) / (nfft / 2);

std::vector<float> series(const std::vector<float>& head) {
    std::vector<float> x(nfft + 2, 0.0f);
    std::copy(head.begin(), head.end(), x.begin());
    return x;
}

std::vector<float> deconvolve(std::vector<float> trace, std::vector<float> wavelet,
                              std::vector<float> conv, const waterlevel::Division& d) {
    std::vector<float> power(nfft / 2 + 1);
    int nerr = -1;
    waterlevel::wldecon(trace, wavelet, conv, power, nfft, dt, df, d, nerr);
    EXPECT_EQ(nerr, 0);
    return trace;
}

// Sum of the Gaussian filter over the frequencies 0 .. nfft/2, in double.
double filter_sum(float agauss, float& gh) {
    double g = 0;
    for (int j = 0; j <= nfft / 2; ++j) {
        const float w = (static_cast<float>(j) * df) * 6.2831855f;
        gh = std::exp(-(w * w) / (agauss * (4.0f * agauss)));
        g += gh;
    }
    return g;
}

TEST(Wldecon, SelfDeconvolutionGivesNormalisedGaussianAtTheShift) {
    const auto w = series(wltest::pulse(200, 60));
    const auto r = deconvolve(w, w, {}, {1e-6f, 2.0f, 2.0f, false});
    const auto peak = std::max_element(r.begin(), r.begin() + nfft) - r.begin();
    EXPECT_EQ(peak, 40); // sample tau/dt + 1
    float gh = 0;
    const double g = filter_sum(2.0f, gh);
    EXPECT_NEAR(r[40], (2 * g - 1 - gh) / (2 * g), 2e-6);
    for (int k = 1; k < 30; ++k) EXPECT_NEAR(r[40 + k], r[40 - k], 1e-5) << k;
}

TEST(Wldecon, ConvolutionWithAShiftedSpikeShiftsTheResult) {
    const auto w = series(wltest::pulse(200, 60));
    std::vector<float> spike(nfft + 2, 0.0f);
    spike[5] = 1.0f / dt; // the forward transform scales by dt
    const auto plain = deconvolve(w, w, {}, {1e-3f, 2.5f, 1.0f, false});
    const auto shifted = deconvolve(w, w, spike, {1e-3f, 2.5f, 1.0f, true});
    for (int k = 0; k < nfft; ++k) EXPECT_NEAR(shifted[(k + 5) % nfft], plain[k], 1e-5) << k;
}

TEST(Wldecon, ZeroWaveletIsRefused) {
    auto trace = series({1.0f, 2.0f});
    auto wavelet = series({});
    std::vector<float> power(nfft / 2 + 1);
    int nerr = 0;
    waterlevel::wldecon(trace, wavelet, {}, power, nfft, dt, df, {}, nerr);
    EXPECT_EQ(nerr, 1);
}

} // namespace
