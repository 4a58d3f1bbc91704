#include "multitaper/slepian.hpp"

#include "helpers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using multitaper::mtaper;
using testing_support::Captured;

struct Tapers {
    int n, nwin, nmax;
    std::vector<double> lambda, v;
    Tapers(int n_, int nwin_, int nmax_)
        : n(n_), nwin(nwin_), nmax(nmax_), lambda(nwin_), v(nmax_ * nwin_) {
        mtaper(2.5f, n, nwin, nmax, lambda, v);
    }
    double at(int k, int i) const { return v[k * nmax + i]; } // i from 0
};

TEST(Mtaper, TapersAreNormalisedSymmetricAndOriented) {
    const Tapers t(201, 3, 1024);
    for (int k = 0; k < 3; ++k) {
        double sum = 0.0;
        for (int i = 0; i < 201; ++i) sum += t.at(k, i) * t.at(k, i);
        EXPECT_NEAR(sum, 201.0, 1e-9) << k;
        const double parity = k % 2 == 0 ? 1.0 : -1.0;
        for (int i = 0; i < 201; ++i)
            EXPECT_NEAR(t.at(k, i), parity * t.at(k, 200 - i), 1e-10) << k << " " << i;
    }
    for (int i = 0; i < 201; ++i) EXPECT_GT(t.at(0, i), 0.0);
    EXPECT_GT(t.at(0, 1) - t.at(0, 0), 0.0);
    EXPECT_LT(t.at(1, 1) - t.at(1, 0), 0.0);
    EXPECT_GT(t.at(2, 1) - t.at(2, 0), 0.0);
    EXPECT_NEAR(t.at(1, 100), 0.0, 1e-9);
    // Rows past n in the taper store are left zero.
    EXPECT_EQ(t.at(0, 201), 0.0);
    EXPECT_EQ(t.at(2, 1023), 0.0);
}

// Vectors accepted after a single inverse-iteration solve were off by up to
// 5e-8 for a 1001-sample taper, enough to change single-precision products.
TEST(Mtaper, LongTapersAreSymmetricToRounding) {
    const Tapers t(1001, 3, 1024);
    for (int k = 0; k < 3; ++k) {
        const double parity = k % 2 == 0 ? 1.0 : -1.0;
        double worst = 0.0;
        for (int i = 0; i < 1001; ++i)
            worst = std::max(worst, std::fabs(t.at(k, i) - parity * t.at(k, 1000 - i)));
        EXPECT_LT(worst, 1e-10) << k;
    }
}

TEST(Mtaper, TapersAreOrthogonal) {
    const Tapers t(501, 5, 512);
    for (int k = 0; k < 5; ++k)
        for (int l = 0; l < k; ++l) {
            double dot = 0.0;
            for (int i = 0; i < 501; ++i) dot += t.at(k, i) * t.at(l, i);
            EXPECT_NEAR(dot / 501.0, 0.0, 1e-10) << k << " " << l;
        }
}

TEST(Mtaper, ConcentrationEstimatesHoldAcrossLengths) {
    for (int n : {201, 203, 401, 777, 1001}) {
        const Tapers t(n, 3, n);
        EXPECT_NEAR(t.lambda[0], 0.999997, 5e-7) << n;
        EXPECT_NEAR(t.lambda[1], 0.999812, 5e-7) << n;
        EXPECT_NEAR(t.lambda[2], 0.994089, 5e-7) << n;
        EXPECT_GT(t.lambda[0], t.lambda[1]);
        EXPECT_GT(t.lambda[1], t.lambda[2]);
    }
}

TEST(Mtaper, AgreesWithADenseEigenSolutionOfTheSameMatrix) {
    const int n = 201;
    const Tapers t(n, 3, 1024);
    // The concentration-commuting matrix, built densely and independently.
    const double w = 2.5 / n;
    std::vector<double> a(n * n, 0.0), values, vectors;
    for (int i = 0; i < n; ++i) {
        const double c = (n - 1) / 2.0 - i;
        a[i * n + i] = c * c * std::cos(2.0 * M_PI * w);
        if (i > 0) a[i * n + i - 1] = a[(i - 1) * n + i] = 0.5 * i * (n - i);
    }
    testing_support::jacobi(a, n, values, vectors);
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](int x, int y) { return values[x] > values[y]; });
    for (int k = 0; k < 3; ++k) {
        const int col = order[k];
        double dot = 0.0;
        for (int i = 0; i < n; ++i) dot += vectors[i * n + col] * t.at(k, i);
        const double sign = dot > 0 ? 1.0 : -1.0;
        const double scale = std::sqrt(static_cast<double>(n));
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(t.at(k, i), sign * scale * vectors[i * n + col], 1e-10) << k << " " << i;
    }
}

TEST(Mtaper, TooManyTapersPausesAndGoesOnAfterGo) {
    Captured io("go\n");
    std::unique_ptr<Tapers> tp;
    const int status = testing_support::run([&] {
        tp = std::make_unique<Tapers>(3, 3, 3);
        return 0;
    });
    ASSERT_EQ(status, 0) << io.err();
    const Tapers& t = *tp;
    EXPECT_EQ(io.err(), "PAUSE **MTAPER: nwin not << n! - invalid use.\n"
                        "To resume execution, type go.  Other input will terminate the job.\n"
                        "RESUMED\n");
    // All three eigenvectors of the 3 by 3 matrix were still computed.
    for (int k = 0; k < 3; ++k) {
        double sum = 0.0;
        for (int i = 0; i < 3; ++i) sum += t.at(k, i) * t.at(k, i);
        EXPECT_NEAR(sum, 3.0, 1e-12) << k;
    }
}

TEST(Mtaper, LimitsAreReportedAsRecordsBeforeABarePause) {
    Captured io("no\n");
    std::vector<double> lambda(3), v(3 * 3);
    const int status = testing_support::run([&] {
        mtaper(2.5f, 16385, 3, 3, lambda, v);
        return 0;
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(io.err(), " **MTAPER: n too large,        16384  max. - recompile.\nPAUSE\n"
                        "To resume execution, type go.  Other input will terminate the job.\n");
}

// Resuming past the limits must not write beyond the storage it was given.
TEST(Mtaper, ResumedOversizeRequestStaysInsideItsStorage) {
    Captured io("go\ngo\n");
    std::vector<double> lambda(21, -1.0), v(30 * 21, -1.0);
    mtaper(2.5f, 30, 21, 30, lambda, v);
    EXPECT_NE(io.err().find(" **MTAPER: nwin too large,           20  max - recompile.\nPAUSE\n"),
              std::string::npos);
    // Twenty tapers computed; the twenty-first column cleared.
    double sum = 0.0;
    for (int i = 0; i < 30; ++i) sum += v[19 * 30 + i] * v[19 * 30 + i];
    EXPECT_NEAR(sum, 30.0, 1e-9);
    for (int i = 0; i < 30; ++i) EXPECT_EQ(v[20 * 30 + i], 0.0);
}

} // namespace
