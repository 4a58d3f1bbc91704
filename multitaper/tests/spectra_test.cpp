#include "multitaper/spectra.hpp"

#include "numerics/realft.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace multitaper;

// Tapers for dt = 0.05 s, designed once.
const TaperSet& tapers201() {
    static const auto t = [] {
        auto p = std::make_unique<TaperSet>();
        design_tapers(taper_length(0.05f), *p);
        return p;
    }();
    return *t;
}

TEST(Nint, RoundsHalvesAwayFromZeroAndSaturates) {
    EXPECT_EQ(nint(2.5f), 3);
    EXPECT_EQ(nint(-2.5f), -3);
    EXPECT_EQ(nint(2.4999998f), 2);
    EXPECT_EQ(nint(-0.4f), 0);
    EXPECT_EQ(nint(1e20f), 1 << 30);
    EXPECT_EQ(nint(-1e20f), -(1 << 30));
    EXPECT_EQ(nint(NAN), 1 << 30);
}

TEST(Counts, WindowCountsAndTaperLengths) {
    EXPECT_EQ(stretch_count(30.0f, 50.0f, 0.05f), 521);
    EXPECT_EQ(noise_count(0.0f, 20.0f, 0.05f), 520);
    EXPECT_EQ(taper_length(0.05f), 201);
    EXPECT_EQ(taper_length(0.01f), 1001);
    EXPECT_EQ(taper_length(0.005f), 2001);
    EXPECT_EQ(taper_length(0.04f), 251);
    EXPECT_EQ(taper_length(0.025f), 401);
}

TEST(Tapers, SumAndHalfLength) {
    const TaperSet& t = tapers201();
    EXPECT_EQ(t.nwav, 201);
    EXPECT_EQ(t.half, 100);
    // S: the even tapers sum to about n times their mean, the odd one to 0.
    double sum = 0.0;
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 201; ++i) sum += t.v[k * taper_rows + i];
    EXPECT_NEAR(t.sum, sum, 1e-3);
    EXPECT_GT(t.sum, 201.0f);
}

// The spectra slide the tapers by a quarter of their length from a start
// 3 s before the window: a unit sample at buffer position p contributes
// c * sum over segments of v(half - o + p) to the DC term.  This pins the
// segment count, the offsets 0, 50, ..., 452, the 3 s lead and the alignment.
TEST(TaperedSpectra, SegmentsStepByAQuarterTaperFromThreeSecondsEarly) {
    const TaperSet& t = tapers201();
    const Plan plan{0.05f, 512, 100};
    auto y = std::make_unique<Spectrum>();
    std::vector<float> u(512), x(1000, 0.0f);
    const int offsets[] = {0, 50, 100, 150, 201, 251, 301, 351, 402, 452};
    for (int p = 1; p <= 512; p += 3) {
        std::fill(x.begin(), x.end(), 0.0f);
        x[p - 1] = 1.0f; // sample p sits at buffer position p: b = 0, t0 = 3 s
        clear(*y, 512);
        ASSERT_EQ(tapered_spectra(x, 1000, 0.0f, 3.0f, 521, plan, t, *y, u), 10);
        for (int k = 0; k < 3; ++k) {
            double want = 0.0;
            for (int o : offsets) {
                const int j = 100 - o + p; // 1-based taper index
                if (j >= 1 && j <= 201) want += static_cast<float>(t.v[k * taper_rows + j - 1]);
            }
            want *= 521.0 / (10.0 * 512.0);
            EXPECT_NEAR((*y)[k][0], want, 1e-5) << "p " << p << " taper " << k;
        }
    }
}

TEST(TaperedSpectra, NoiseWindowOfTwentySecondsAlsoHasTenSegments) {
    const Plan plan{0.05f, 512, 100};
    auto y = std::make_unique<Spectrum>();
    std::vector<float> u(512), x(1000, 1.0f);
    clear(*y, 512);
    EXPECT_EQ(tapered_spectra(x, 1000, 0.0f, 10.0f, noise_count(10.0f, 30.0f, 0.05f), plan,
                              tapers201(), *y, u),
              10);
}

// Samples before the first and after the last count as zero, never as
// wrapped data: a window hanging over either end gives exactly the spectra
// of the same trace padded with zeros.
TEST(TaperedSpectra, StretchOverTheTraceEndsSeesZeros) {
    const Plan plan{0.05f, 1024, 100};
    std::mt19937 gen(7);
    std::normal_distribution<float> g;
    std::vector<float> x(400), padded(1400, 0.0f), u(1024);
    for (int i = 0; i < 400; ++i) padded[500 + i] = x[i] = g(gen);
    auto a = std::make_unique<Spectrum>(), b = std::make_unique<Spectrum>();
    clear(*a, 1024);
    clear(*b, 1024);
    // The trace begins at 25 s; its padded copy at 0 s.  Window from 20 s.
    const int n = stretch_count(20.0f, 45.0f, 0.05f);
    tapered_spectra(x, 400, 25.0f, 20.0f, n, plan, tapers201(), *a, u);
    tapered_spectra(padded, 1400, 0.0f, 20.0f, n, plan, tapers201(), *b, u);
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 1024; ++i) ASSERT_EQ((*a)[k][i], (*b)[k][i]) << k << " " << i;
}

TEST(NoisePower, WeightsInnerBinsByConcentrationButNotDcOrNyquist) {
    TaperSet t;
    t.lambda = {0.5, 0.25, 1.0};
    auto n = std::make_unique<Spectrum>();
    clear(*n, 8);
    for (int k = 0; k < 3; ++k) {
        (*n)[k][0] = 1.0f; // DC
        (*n)[k][1] = 2.0f; // Nyquist
        (*n)[k][2] = 3.0f; // bin 1 real
        (*n)[k][3] = 4.0f; // bin 1 imaginary
    }
    std::vector<float> p(5, -1.0f);
    noise_power(*n, t, Plan{0.1f, 8, 4}, p);
    EXPECT_EQ(p[0], 3.0f);
    EXPECT_EQ(p[4], 12.0f);
    EXPECT_EQ(p[1], 25.0f * (2.0f + 4.0f + 1.0f));
    EXPECT_EQ(p[2], 0.0f);
}

// A workspace with broadband wavelet and trace spectra built from random
// series, for the laws of the deconvolution.
struct Case {
    std::unique_ptr<Workspace> w = std::make_unique<Workspace>();
    Plan plan{0.05f, 512, 0};
    std::vector<float> wavelet, trace;

    explicit Case(int nf, float wavelet_scale = 1.0f, float trace_scale = 1.0f) {
        plan.nf = nf;
        std::mt19937 gen(11);
        std::normal_distribution<float> g;
        wavelet.resize(3000);
        trace.resize(3000);
        for (auto& v : wavelet) v = g(gen);
        for (std::size_t i = 0; i < trace.size(); ++i)
            trace[i] =
                0.5f * wavelet[i] + (i >= 40 ? 0.3f * wavelet[i - 40] : 0.0f) + 0.2f * g(gen);
        for (auto& v : wavelet) v *= wavelet_scale;
        for (auto& v : trace) v *= trace_scale;
        const TaperSet& t = tapers201();
        clear(w->wavelet, 512);
        clear(w->noise, 512);
        clear(w->trace, 512);
        std::span<float> u(w->u);
        tapered_spectra(wavelet, 3000, 0.0f, 30.0f, stretch_count(30.0f, 50.0f, 0.05f), plan, t,
                        w->wavelet, u);
        tapered_spectra(wavelet, 3000, 0.0f, 5.0f, noise_count(5.0f, 25.0f, 0.05f), plan, t,
                        w->noise, u);
        noise_power(w->noise, t, plan, w->power);
        tapered_spectra(trace, 3000, 0.0f, 30.0f, stretch_count(30.0f, 50.0f, 0.05f), plan, t,
                        w->trace, u);
    }
    float run(float shift, int nt = 521) { return deconvolve(*w, plan, shift, nt); }
};

TEST(Deconvolve, DoublingTheTraceDoublesTheResultAndKeepsTheCoherence) {
    Case one(100), two(100, 1.0f, 2.0f);
    const float c1 = one.run(10.0f), c2 = two.run(10.0f);
    EXPECT_EQ(c1, c2);
    for (int i = 0; i < 521; ++i) ASSERT_EQ(two.w->u[i], 2.0f * one.w->u[i]) << i;
    for (int j = 0; j < 100; ++j) ASSERT_EQ(two.w->coherence[j], one.w->coherence[j]) << j;
}

TEST(Deconvolve, DoublingTheWaveletHalvesTheResultAndKeepsTheCoherence) {
    Case one(100), two(100, 2.0f, 1.0f);
    const float c1 = one.run(10.0f), c2 = two.run(10.0f);
    EXPECT_EQ(c1, c2);
    for (int i = 0; i < 521; ++i) ASSERT_EQ(two.w->u[i], 0.5f * one.w->u[i]) << i;
    for (int j = 0; j < 100; ++j) ASSERT_EQ(two.w->coherence[j], one.w->coherence[j]) << j;
}

TEST(Deconvolve, CoherenceIsAWeightedMeanBetweenZeroAndOne) {
    Case c(100);
    const float mean = c.run(10.0f);
    double num = c.w->coherence[0], den = 1.0;
    for (int j = 1; j < 100; ++j) {
        const double wj = std::pow(std::cos(M_PI / 2 * j / 100.0), 2);
        EXPECT_GE(c.w->coherence[j], 0.0f);
        EXPECT_LE(c.w->coherence[j], 1.0f + 1e-5f);
        num += wj * c.w->coherence[j];
        den += wj;
    }
    EXPECT_NEAR(mean, num / den, 1e-5);
}

// Past nfft the result must read as zero on every call, whatever the buffer
// held before (a longer earlier job, the debug reconstructions).
TEST(Deconvolve, ResultIsZeroPastTheTransformLength) {
    Case c(100);
    std::fill(c.w->u.begin(), c.w->u.end(), 7.0f);
    c.run(10.0f, 521);
    for (int i = 512; i < 521; ++i) EXPECT_EQ(c.w->u[i], 0.0f) << i;
}

TEST(Deconvolve, SingleBinLeavesOnlyTheDcTerm) {
    Case c(1);
    const float mean = c.run(10.0f);
    EXPECT_EQ(mean, c.w->coherence[0]);
    const auto& w = *c.w;
    float a = 0, b = 0;
    for (int k = 0; k < 3; ++k) {
        a += w.wavelet[k][0] * w.trace[k][0];
        b += w.wavelet[k][0] * w.wavelet[k][0];
    }
    const float level = a / (b + w.power[0]);
    for (int i = 0; i < 512; ++i) ASSERT_NEAR(w.u[i], level, 1e-5f * std::fabs(level)) << i;
}

TEST(Deconvolve, CutoffAtNyquistLeavesNoNyquistTerm) {
    Case c(256);
    c.run(0.0f, 512);
    double alternating = 0.0, size = 0.0;
    for (int i = 0; i < 512; ++i) {
        alternating += (i % 2 ? -1.0 : 1.0) * c.w->u[i];
        size += std::fabs(c.w->u[i]);
    }
    EXPECT_LT(std::fabs(alternating), 1e-5 * size);
}

// The shift delays the result: the same job with a shift of 1 s is the
// unshifted result moved 20 samples later (circularly).
TEST(Deconvolve, TimeShiftDelaysTheResult) {
    Case c(100);
    c.run(0.0f, 512);
    std::vector<float> zero(c.w->u.begin(), c.w->u.begin() + 512);
    Case d(100);
    d.run(1.0f, 512);
    for (int i = 0; i < 512; ++i) ASSERT_NEAR(d.w->u[(i + 20) % 512], zero[i], 1e-4f) << i;
}

// A dead channel (all-zero samples) has silent spectra; a live one, even a
// faint one, has not.  Its result is zero without any division.
TEST(Deconvolve, DeadChannelIsSilentAndGivesAZeroResult) {
    Case dead(100, 1.0f, 0.0f), faint(100, 1.0f, 1e-30f);
    EXPECT_TRUE(silent(dead.w->trace, dead.plan));
    EXPECT_FALSE(silent(dead.w->wavelet, dead.plan));
    EXPECT_FALSE(silent(faint.w->trace, faint.plan));
    std::fill(dead.w->u.begin(), dead.w->u.end(), 7.0f);
    std::fill(dead.w->coherence.begin(), dead.w->coherence.end(), 7.0f);
    zero_result(*dead.w, dead.plan, 521);
    for (int i = 0; i < 521; ++i) ASSERT_EQ(dead.w->u[i], 0.0f) << i;
    for (int j = 0; j < 100; ++j) ASSERT_EQ(dead.w->coherence[j], 0.0f) << j;
}

TEST(Reconstruct, RebuildsTheTaperedTraceAndReportsItsCount) {
    Case c(100);
    std::vector<float> u(600, 3.0f);
    const TaperSet& t = tapers201();
    EXPECT_EQ(reconstruct(c.w->trace, c.plan, t, 521, false, u), 521);
    for (int i = 512; i < 600; ++i) EXPECT_EQ(u[i], i < 521 ? 0.0f : 3.0f) << i;
    // Mid-stretch, the sum of the sliding tapers is flat: the trace comes back.
    double err = 0.0, size = 0.0;
    for (int i = 150; i < 350; ++i) {
        err += std::fabs(u[i] - c.trace[540 + i]);
        size += std::fabs(c.trace[540 + i]);
    }
    EXPECT_LT(err / size, 0.1);
    // A buffer shorter than the count is filled to its end only.
    std::vector<float> small(515);
    EXPECT_EQ(reconstruct(c.w->trace, c.plan, t, 521, true, small), 515);
}

} // namespace
