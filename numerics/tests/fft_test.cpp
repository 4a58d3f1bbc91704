#include "console/console.hpp"
#include "numerics/fft.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <sstream>
#include <vector>

namespace {

using numerics::dfftr;

// Direct DFT in double precision: X_k = sum x_j e^{-2 pi i jk/n}.
std::complex<double> dft(const std::vector<float>& x, int n, int k) {
    std::complex<double> s = 0.0;
    for (int j = 0; j < n; ++j) s += double(x[j]) * std::polar(1.0, -2.0 * M_PI * j * k / n);
    return s;
}

std::vector<float> series(int n) {
    std::vector<float> x(n + 2, 0.0f);
    for (int j = 0; j < n; ++j)
        x[j] = std::sin(0.37f * j) + 0.25f * std::cos(1.9f * j) + 0.1f * (j % 3);
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

// The sign convention (e^{-i} forwards) and the packing of every term against
// a direct transform; n = 4 has an empty pairing loop, the others do not.
TEST(Dfftr, ForwardMatchesDirectTransformAndScale) {
    for (int n : {4, 8, 16, 256}) {
        std::vector<float> x = series(n);
        const std::vector<float> x0 = x;
        const float delta = 0.05f;
        dfftr(x, n, "forward", delta);
        for (int k = 0; k <= n / 2; ++k) {
            const std::complex<double> X = dft(x0, n, k) * double(delta);
            EXPECT_NEAR(x[2 * k], X.real(), 2e-5 * n) << "n=" << n << " k=" << k;
            if (k != 0 && k != n / 2) {
                EXPECT_NEAR(x[2 * k + 1], X.imag(), 2e-5 * n) << "n=" << n << " k=" << k;
            }
        }
        EXPECT_EQ(x[1], 0.0f);
        EXPECT_EQ(x[n + 1], 0.0f);
    }
}

TEST(Dfftr, ForwardThenInverseReturnsSeriesTimesDelta) {
    const int n = 1024;
    std::vector<float> x = series(n);
    const std::vector<float> x0 = x;
    const float dt = 0.025f;
    dfftr(x, n, "forward", dt);
    dfftr(x, n, "inverse", 1.0f / n);
    for (int j = 0; j < n; ++j) ASSERT_NEAR(x[j], dt * x0[j], 2e-6) << j;
    EXPECT_EQ(x[n], 0.0f);
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

TEST(Fft, MatchesDirectTransformBothSigns) {
    const int m = 16;
    std::vector<std::complex<float>> z(m);
    for (int j = 0; j < m; ++j) z[j] = {std::cos(0.3f * j * j), 0.5f - 0.1f * j};
    for (int isign : {-1, 1}) {
        std::vector<std::complex<float>> w = z;
        numerics::fft(w, m, isign);
        for (int k = 0; k < m; ++k) {
            std::complex<double> s = 0.0;
            for (int j = 0; j < m; ++j)
                s += std::complex<double>(z[j]) * std::polar(1.0, isign * 2.0 * M_PI * j * k / m);
            EXPECT_NEAR(w[k].real(), s.real(), 2e-5) << k;
            EXPECT_NEAR(w[k].imag(), s.imag(), 2e-5) << k;
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
