#include "console/console.hpp"
#include "numerics/fft.hpp"
#include "reference.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <sstream>
#include <vector>

namespace {

using numerics::dfftr;
using numerics_test::cdouble;
using numerics_test::error_per_stage;
using numerics_test::reference_dft;

// Relative rms error per stage (reference.hpp) that the transforms of this
// family stay below; they reach about 0.62 with the twiddles they
// are built with (angles from pi one ulp low), and a twiddle two ulps off in
// every stage takes them to 0.8 - 1.0, four ulps to 1.1 - 1.9.
constexpr double max_error_per_stage = 0.75;

constexpr int shortest = 4, longest = 16384;

// A real series of n samples in an array with room for the Nyquist term.
std::vector<float> series(int n) {
    numerics_test::Samples s;
    std::vector<float> x(n + 2, 0.0f);
    for (int j = 0; j < n; ++j) x[j] = s.next();
    return x;
}

TEST(Dfftr, UnitSampleHasFlatSpectrum) {
    for (int n : {4, 8, 64}) {
        std::vector<float> x(n + 2, 0.0f);
        x[0] = 1.0f;
        dfftr(x, n, "forward", 1.0f);
        for (int k = 0; k <= n / 2; ++k) {
            EXPECT_NEAR(x[2 * k], 1.0f, 1e-6) << "n=" << n << " k=" << k;
            EXPECT_NEAR(x[2 * k + 1], 0.0f, 1e-6) << "n=" << n << " k=" << k;
        }
        EXPECT_EQ(x[n], 1.0f);
    }
}

TEST(Dfftr, AlternatingSeriesIsAllNyquist) {
    const int n = 32;
    std::vector<float> x(n + 2, 0.0f);
    for (int j = 0; j < n; ++j) x[j] = j % 2 ? -1.0f : 1.0f;
    dfftr(x, n, "forward", 1.0f);
    EXPECT_EQ(x[n], float(n));
    EXPECT_EQ(x[n + 1], 0.0f);
    for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], 0.0f, 1e-5) << "place " << i;
}

// The sign convention (e^{-i} forwards), the packing of every term and the
// scale, against the transform in double precision, with an error bound that
// grows with the number of stages (log2 n).  n = 4 has an empty pairing loop.
TEST(Dfftr, ForwardMatchesReferenceWithinRoundingPerStage) {
    const float delta = 0.05f;
    for (int n = shortest; n <= longest; n *= 2) {
        std::vector<float> x = series(n);
        const std::vector<cdouble> want_all = reference_dft({x.begin(), x.begin() + n}, -1);
        dfftr(x, n, "forward", delta);
        std::vector<cdouble> got(n / 2 + 1), want(n / 2 + 1);
        for (int k = 0; k <= n / 2; ++k) {
            got[k] = {x[2 * k], x[2 * k + 1]};
            want[k] = want_all[k] * double(delta);
        }
        EXPECT_LE(error_per_stage(got, want, n), max_error_per_stage) << "n=" << n;
        EXPECT_EQ(x[1], 0.0f) << "n=" << n;
        EXPECT_EQ(x[n + 1], 0.0f) << "n=" << n;
    }
}

// Forward and back: two transforms' worth of stages.
TEST(Dfftr, ForwardThenInverseReturnsSeriesTimesDelta) {
    const float dt = 0.025f;
    for (int n = shortest; n <= longest; n *= 2) {
        std::vector<float> x = series(n);
        const std::vector<float> x0 = x;
        dfftr(x, n, "forward", dt);
        dfftr(x, n, "inverse", 1.0f / static_cast<float>(n));
        std::vector<cdouble> got(n), want(n);
        for (int j = 0; j < n; ++j) {
            got[j] = x[j];
            want[j] = double(dt) * x0[j];
        }
        EXPECT_LE(error_per_stage(got, want, n), 2 * max_error_per_stage) << "n=" << n;
        EXPECT_EQ(x[n], 0.0f) << "n=" << n;
    }
}

// The inverse must take Im X_0 and Im X_{n/2} as zero whatever stands there:
// place 1 is overwritten by the Nyquist value and place n+1 is left alone.
TEST(Dfftr, InverseIgnoresImaginaryPartsOfEndTerms) {
    const int n = 16;
    std::vector<float> a = series(n);
    dfftr(a, n, "forward", 1.0f);
    std::vector<float> b = a;
    b[1] = 123.0f;
    b[n + 1] = -7.5f;
    dfftr(a, n, "inverse", 1.0f / n);
    dfftr(b, n, "inverse", 1.0f / n);
    for (int j = 0; j < n; ++j) EXPECT_EQ(a[j], b[j]) << j;
    EXPECT_EQ(b[n + 1], -7.5f);
}

TEST(Dfftr, DirectionWordsAndComplaint) {
    int inv = 7, fwd = 7;
    numerics::locast("forward", inv, fwd);
    EXPECT_EQ(fwd, 1);
    EXPECT_EQ(inv, 0);
    numerics::locast("inverse  ", inv, fwd);
    EXPECT_EQ(fwd, 0);
    EXPECT_EQ(inv, 1);

    std::ostringstream err;
    auto saved = console::streams();
    console::streams().err = &err;
    numerics::locast("back", inv, fwd);
    EXPECT_EQ(err.str(), " back     is meaningless to dfftr, use forward or inverse  only\n");
    EXPECT_EQ(fwd + inv, 0);

    std::vector<float> x(10, 1.0f);
    try {
        dfftr(x, 8, "sideways", 1.0f);
        ADD_FAILURE() << "a bad direction must stop the run";
    } catch (const console::Ending& e) {
        EXPECT_EQ(e.line(), "STOP dirctn bad to dfftr");
        EXPECT_EQ(e.status(), 1);
    }
    console::streams() = saved;
    EXPECT_EQ(x, std::vector<float>(10, 1.0f)); // nothing transformed
}

TEST(Dfftr, RefusesArrayWithoutRoomForNyquistTerm) {
    std::vector<float> x(8, 0.0f);
    EXPECT_THROW(dfftr(x, 8, "forward", 1.0f), std::invalid_argument);
}

TEST(Fft, MatchesReferenceBothSignsWithinRoundingPerStage) {
    numerics_test::Samples s;
    for (int m = 2; m <= longest; m *= 2) {
        std::vector<std::complex<float>> z(m);
        for (auto& v : z) v = {s.next(), s.next()};
        const std::vector<cdouble> exact(z.begin(), z.end());
        for (int isign : {-1, 1}) {
            std::vector<std::complex<float>> w = z;
            numerics::fft(w, m, isign);
            EXPECT_LE(error_per_stage({w.begin(), w.end()}, reference_dft(exact, isign), m),
                      max_error_per_stage)
                << "m=" << m << " isign=" << isign;
        }
    }
}

TEST(Npowr2, SmallestPowerOfTwoNotBelow) {
    EXPECT_EQ(numerics::npowr2(1), 2);
    EXPECT_EQ(numerics::npowr2(2), 2);
    EXPECT_EQ(numerics::npowr2(3), 4);
    EXPECT_EQ(numerics::npowr2(1200), 2048);
    EXPECT_EQ(numerics::npowr2(65536), 65536);
    EXPECT_EQ(numerics::npowr2(65537), 131072);
    EXPECT_EQ(numerics::npowr2(0), 2);
    // Regression: a single-precision log10 formula gives 2^22 here, a
    // transform shorter than the series it must hold.
    EXPECT_EQ(numerics::npowr2((1 << 22) + 1), 1 << 23);
    EXPECT_EQ(numerics::npowr2(1 << 30), 1 << 30);
    EXPECT_THROW(numerics::npowr2((1 << 30) + 1), std::length_error);
}

} // namespace
