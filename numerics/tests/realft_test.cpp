#include "numerics/realft.hpp"
#include "reference.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace {

using numerics::realft;
using numerics_test::cdouble;
using numerics_test::error_per_stage;
using numerics_test::reference_dft;

// Relative rms error per stage (reference.hpp) that this family stays below:
// its twiddles come from a double recurrence rounded once, and it reaches
// about 0.35; a twiddle two ulps off in every stage takes it to 0.53 - 1.2.
constexpr double max_error_per_stage = 0.45;

constexpr int longest = 16384;

// The complex transform and the packed real one, both signs of the former,
// against the transform in double precision.
TEST(Four1, MatchesReferenceWithinRoundingPerStage) {
    numerics_test::Samples s;
    for (int nn = 2; nn <= longest; nn *= 2) {
        std::vector<float> d(2 * static_cast<std::size_t>(nn));
        for (auto& v : d) v = s.next();
        std::vector<cdouble> exact(nn);
        for (int m = 0; m < nn; ++m) exact[m] = {d[2 * m], d[2 * m + 1]};
        for (int isign : {1, -1}) {
            std::vector<float> t = d;
            numerics::four1(t, nn, isign);
            std::vector<cdouble> got(nn);
            for (int m = 0; m < nn; ++m) got[m] = {t[2 * m], t[2 * m + 1]};
            EXPECT_LE(error_per_stage(got, reference_dft(exact, isign), nn), max_error_per_stage)
                << "nn=" << nn << " isign=" << isign;
        }
    }
}

TEST(Realft, MatchesReferenceWithinRoundingPerStage) {
    numerics_test::Samples s;
    for (int n = 4; n <= longest; n *= 2) {
        std::vector<float> d(n);
        for (auto& v : d) v = s.next();
        const std::vector<cdouble> want_all = reference_dft({d.begin(), d.end()}, 1);
        realft(d, n, 1);
        std::vector<cdouble> got(n / 2 + 1), want(want_all.begin(), want_all.begin() + n / 2 + 1);
        got[0] = d[0];
        got[n / 2] = d[1];
        for (int k = 1; k < n / 2; ++k) got[k] = {d[2 * k], d[2 * k + 1]};
        EXPECT_LE(error_per_stage(got, want, n), max_error_per_stage) << "n=" << n;
    }
}

// The start-up check of the multitaper program: a transform that took n as a
// count of complex points would overwrite the third and fourth values.
TEST(Realft, TwoPointsTouchOnlyTwoValues) {
    std::vector<float> d(4, -1.0f);
    realft(d, 2, 1);
    EXPECT_EQ(d, (std::vector<float>{-2.0f, 0.0f, -1.0f, -1.0f}));
}

TEST(Realft, EightPointPackedSpectrum) {
    std::vector<float> d{0.3f, -1.2f, 2.0f, 0.7f, 0.0f, 1.5f, -0.4f, 0.1f};
    const std::vector<float> x = d;
    realft(d, 8, 1);
    const std::vector<float> want{3.0f,  0.8f,  -2.033452f, 0.915076f,
                                  -1.3f, -0.5f, 2.633452f,  -3.884924f};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(d[i], want[i], 1e-6) << i;
    realft(d, 8, -1);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(d[i] * 2.0f / 8.0f, x[i], 1e-6) << i;
}

TEST(Realft, ConstantGoesToZeroFrequencyOnly) {
    const int n = 64;
    std::vector<float> d(n + 4, 2.5f);
    realft(d, n, 1);
    EXPECT_NEAR(d[0], n * 2.5f, 1e-4);
    for (int i = 1; i < n; ++i) EXPECT_NEAR(d[i], 0.0f, 1e-5) << i;
    for (int i = n; i < n + 4; ++i) EXPECT_EQ(d[i], 2.5f) << "outside the series";
}

// An impulse at sample m+1 must give H_k = e^{+2 pi i k m/n}: pins the sign.
TEST(Realft, ImpulseGivesPositiveSignPhase) {
    const int n = 32, m = 3;
    std::vector<float> d(n, 0.0f);
    d[m] = 1.0f;
    realft(d, n, 1);
    EXPECT_NEAR(d[0], 1.0f, 1e-6);
    EXPECT_NEAR(d[1], std::cos(M_PI * m), 1e-6);
    for (int k = 1; k < n / 2; ++k) {
        EXPECT_NEAR(d[2 * k], std::cos(2 * M_PI * k * m / n), 1e-6) << k;
        EXPECT_NEAR(d[2 * k + 1], std::sin(2 * M_PI * k * m / n), 1e-6) << k;
    }
}

// Forward and back: two transforms' worth of stages.
TEST(Realft, RoundTripWithinRoundingPerStage) {
    for (int n = 4; n <= longest; n *= 2) {
        std::vector<float> d(n);
        for (int i = 0; i < n; ++i) d[i] = std::sin(0.01f * i * i) + 0.3f;
        const std::vector<float> x = d;
        realft(d, n, 1);
        realft(d, n, -1);
        std::vector<cdouble> got(n), want(x.begin(), x.end());
        for (int i = 0; i < n; ++i) got[i] = d[i] * 2.0 / n;
        EXPECT_LE(error_per_stage(got, want, n), 2 * max_error_per_stage) << "n=" << n;
    }
}

// Multiplying bin k by e^{+2 pi i k s/n} and inverting delays by s samples
// (the convention the time shift of the deconvolution rests on).
TEST(Realft, PhaseRampDelays) {
    const int n = 64, s = 5;
    std::vector<float> d(n, 0.0f);
    for (int i = 10; i < 20; ++i) d[i] = float(i - 9);
    const std::vector<float> x = d;
    realft(d, n, 1);
    for (int k = 1; k < n / 2; ++k) {
        const std::complex<float> h(d[2 * k], d[2 * k + 1]);
        const std::complex<float> r =
            h * std::complex<float>(std::polar(1.0, 2.0 * M_PI * k * s / n));
        d[2 * k] = r.real();
        d[2 * k + 1] = r.imag();
    }
    d[1] *= (s % 2) ? -1.0f : 1.0f; // Nyquist: e^{i pi s}
    realft(d, n, -1);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(d[i] * 2.0f / n, x[(i - s + n) % n], 1e-5) << i;
}

TEST(Four1, InverseSignUndoesForwardTimesCount) {
    const int nn = 16;
    std::vector<float> d(2 * nn);
    for (int i = 0; i < 2 * nn; ++i) d[i] = std::cos(0.7f * i) - 0.2f;
    const std::vector<float> x = d;
    numerics::four1(d, nn, 1);
    // Element 1 against the direct sum with the +i sign.
    std::complex<double> s = 0.0;
    for (int m = 0; m < nn; ++m)
        s += std::complex<double>(x[2 * m], x[2 * m + 1]) * std::polar(1.0, 2.0 * M_PI * m / nn);
    EXPECT_NEAR(d[2], s.real(), 1e-5);
    EXPECT_NEAR(d[3], s.imag(), 1e-5);
    numerics::four1(d, nn, -1);
    for (int i = 0; i < 2 * nn; ++i) EXPECT_NEAR(d[i] / nn, x[i], 1e-6) << i;
}

TEST(Realft, RefusesArrayShorterThanSeries) {
    std::vector<float> d(6, 0.0f);
    EXPECT_THROW(realft(d, 8, 1), std::invalid_argument);
}

} // namespace
