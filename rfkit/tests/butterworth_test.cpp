// Butterworth filters: the corners where they belong, and zero phase.
#include "rfkit/butterworth.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <span>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

// One pass has the Butterworth shape: 1/sqrt(2) at the corner (prewarping),
// flat in the pass band, falling by 6 dB per octave and order beyond.
TEST(Butterworth, CornersAndSlopesOfOnePass) {
    const double dt = 0.05;
    for (int order : {1, 2, 3, 4, 7}) {
        const auto low = rfkit::butterworth_lowpass(order, 2.0, dt);
        const auto high = rfkit::butterworth_highpass(order, 0.1, dt);
        EXPECT_EQ(low.size(), static_cast<std::size_t>((order + 1) / 2));
        EXPECT_NEAR(rfkit::amplitude(low, 2.0, dt), 1 / std::sqrt(2.0), 1e-12) << order;
        EXPECT_NEAR(rfkit::amplitude(high, 0.1, dt), 1 / std::sqrt(2.0), 1e-12) << order;
        EXPECT_NEAR(rfkit::amplitude(low, 0.0, dt), 1, 1e-12);
        EXPECT_NEAR(rfkit::amplitude(high, 0.0, dt), 0, 1e-12);
        EXPECT_NEAR(rfkit::amplitude(high, 0.5 / dt, dt), 1, 1e-12);
        // Far below the high-pass corner: (f/fc)^order.
        EXPECT_NEAR(rfkit::amplitude(high, 0.001, dt), std::pow(0.01, order),
                    0.01 * std::pow(0.01, order));
    }
    const auto band = rfkit::butterworth_bandpass(3, 0.05, 1.0, 0.2);
    EXPECT_EQ(band.size(), 4u);
    EXPECT_NEAR(rfkit::amplitude(band, 0.2236, 0.2), 1, 1e-3); // the band's middle
}

// Forward and backward: a pulse keeps its place and its symmetry, and a
// sinusoid in the pass band keeps its phase.
TEST(Butterworth, ZeroPhaseKeepsPulsesAndPhases) {
    const double dt = 0.1;
    const auto band = rfkit::butterworth_bandpass(4, 0.05, 1.0, dt);
    std::vector<float> pulse(2001, 0.0f);
    pulse[1000] = 1.0f;
    rfkit::filter_zero_phase(band, pulse);
    for (int k = 1; k < 300; ++k) EXPECT_NEAR(pulse[1000 - k], pulse[1000 + k], 1e-6) << k;
    for (int k = 0; k < 2001; ++k) EXPECT_LE(pulse[k], pulse[1000]);

    std::vector<float> wave(4000);
    const double f = 0.25;
    for (std::size_t i = 0; i < wave.size(); ++i)
        wave[i] = static_cast<float>(std::sin(2 * pi * f * dt * static_cast<double>(i)));
    rfkit::filter_zero_phase(band, wave);
    const double gain = std::pow(rfkit::amplitude(band, f, dt), 2);
    for (std::size_t i = 1500; i < 2500; i += 7)
        EXPECT_NEAR(wave[i], gain * std::sin(2 * pi * f * dt * static_cast<double>(i)), 2e-4) << i;
}

// The plain algorithm: each section over the whole series, reverse, again,
// reverse back.
std::vector<float> plain_zero_phase(const std::vector<rfkit::Section>& sections,
                                    const std::vector<float>& x) {
    std::vector<double> y(x.begin(), x.end());
    for (int twice = 0; twice < 2; ++twice) {
        for (const rfkit::Section& s : sections) {
            double w1 = 0, w2 = 0;
            for (double& v : y) {
                const double in = v;
                v = s.b0 * in + w1;
                w1 = s.b1 * in - s.a1 * v + w2;
                w2 = s.b2 * in - s.a2 * v;
            }
        }
        std::ranges::reverse(y);
    }
    return {y.begin(), y.end()};
}

// Components filtered side by side get exactly the samples each would get
// alone: a lane mixed up or a section's state shared between traces shows.
TEST(Butterworth, TracesFilteredTogetherMatchThePlainAlgorithmBitForBit) {
    std::mt19937 gen(7);
    std::normal_distribution<float> noise(0.0f, 100.0f);
    for (int order : {1, 2, 3, 8}) {
        const auto band = rfkit::butterworth_bandpass(order, 0.05, 1.0, 0.025);
        for (std::size_t count = 1; count <= 5; ++count) {
            std::vector<std::vector<float>> traces(count, std::vector<float>(1237));
            for (auto& t : traces) std::ranges::generate(t, [&] { return noise(gen); });
            const auto originals = traces;
            std::vector<std::span<float>> views(traces.begin(), traces.end());
            rfkit::filter_zero_phase(band, views);
            for (std::size_t c = 0; c < count; ++c)
                EXPECT_EQ(traces[c], plain_zero_phase(band, originals[c]))
                    << "order " << order << ", trace " << c << " of " << count;
        }
    }
}

} // namespace
