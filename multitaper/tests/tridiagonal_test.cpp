#include "multitaper/tridiagonal.hpp"

#include "helpers.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

using multitaper::tinvit;
using multitaper::tridib;

// A tridiagonal matrix with its work space, spans ready for the routines.
struct Tri {
    int n;
    std::vector<double> d, e, e2, w, z, rv1, rv2, rv3, rv4, rv5, rv6;
    std::vector<int> ind;
    double lb = 0, ub = 0;
    Tri(std::vector<double> diag, std::vector<double> sub)
        : n(static_cast<int>(diag.size())), d(std::move(diag)), e(std::move(sub)), e2(n), w(n),
          z(n * n), rv1(n), rv2(n), rv3(n), rv4(n), rv5(n), rv6(n), ind(n) {
        for (int i = 0; i < n; ++i) e2[i] = e[i] * e[i];
    }
    int eigenvalues(int m11, int m, double eps1 = 0.0) {
        int ierr = -1;
        tridib(n, eps1, d, e, e2, lb, ub, m11, m, w, ind, ierr, rv4, rv5);
        return ierr;
    }
    int eigenvectors(int m) {
        int ierr = -1;
        tinvit(n, n, d, e, e2, m, w, ind, z, ierr, rv1, rv2, rv3, rv4, rv6);
        return ierr;
    }
    // |T v - lambda v| for column r.
    double residual(int r) const {
        double worst = 0.0;
        for (int i = 0; i < n; ++i) {
            double tv = d[i] * z[r * n + i];
            if (i > 0) tv += e[i] * z[r * n + i - 1];
            if (i + 1 < n) tv += e[i + 1] * z[r * n + i + 1];
            worst = std::max(worst, std::fabs(tv - w[r] * z[r * n + i]));
        }
        return worst;
    }
    double dot(int r, int s) const {
        double sum = 0.0;
        for (int i = 0; i < n; ++i) sum += z[r * n + i] * z[s * n + i];
        return sum;
    }
};

Tri laplacian(int n) {
    return Tri(std::vector<double>(n, 2.0), std::vector<double>(n, -1.0));
}

TEST(Tridib, SelectsARunOfEigenvaluesInAscendingOrder) {
    Tri t = laplacian(30);
    ASSERT_EQ(t.eigenvalues(3, 4), 0);
    for (int i = 0; i < 4; ++i) {
        const int k = 3 + i;
        EXPECT_NEAR(t.w[i], 2.0 - 2.0 * std::cos(k * std::numbers::pi / 31.0), 1e-13);
        EXPECT_EQ(t.ind[i], 1);
        EXPECT_LE(t.lb, t.w[i]);
        EXPECT_GE(t.ub, t.w[i]);
    }
}

TEST(Tridib, MergesTheEigenvaluesOfSplitSubmatrices) {
    // Blocks diag(5) | [1 1; 1 1] | diag(0.5): eigenvalues 5, {0, 2}, 0.5.
    Tri t({5.0, 1.0, 1.0, 0.5}, {0.0, 0.0, 1.0, 0.0});
    ASSERT_EQ(t.eigenvalues(1, 4), 0);
    const double want[] = {0.0, 0.5, 2.0, 5.0};
    const int tag[] = {2, 3, 2, 1};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(t.w[i], want[i], 1e-13) << i;
        EXPECT_EQ(t.ind[i], tag[i]) << i;
    }
    ASSERT_EQ(t.eigenvectors(4), 0);
    for (int r = 0; r < 4; ++r) {
        EXPECT_LT(t.residual(r), 1e-12) << r;
        EXPECT_NEAR(t.dot(r, r), 1.0, 1e-14);
    }
    // A vector of the middle block is zero outside it.
    EXPECT_EQ(t.z[0 * 4 + 0], 0.0);
    EXPECT_EQ(t.z[0 * 4 + 3], 0.0);
}

TEST(Tridib, ReportsTiesAtEitherEndOfTheSelection) {
    // diag(1, 1, 2) split everywhere: eigenvalues 1, 1, 2.
    Tri t({1.0, 1.0, 2.0}, {0.0, 0.0, 0.0});
    EXPECT_EQ(t.eigenvalues(2, 1), 3 * 3 + 1) << "index 2 tied with index 1";
    EXPECT_NEAR(t.w[0], 1.0, 1e-14);
    EXPECT_EQ(t.eigenvalues(1, 1), 3 * 3 + 2) << "index 1 tied with index 2";
    EXPECT_NEAR(t.w[0], 1.0, 1e-14);
    EXPECT_EQ(t.eigenvalues(1, 2), 0);
    EXPECT_EQ(t.eigenvalues(2, 2), 3 * 3 + 1);
    EXPECT_NEAR(t.w[1], 2.0, 1e-14);
    EXPECT_EQ(t.eigenvalues(3, 1), 0);
    EXPECT_NEAR(t.w[0], 2.0, 1e-14);
}

TEST(Tinvit, KeepsVectorsOfNearlyEqualEigenvaluesOrthogonal) {
    // Wilkinson's matrix W21+: its two largest eigenvalues agree to about
    // 1e-13, where inverse iteration alone returns the same vector twice.
    std::vector<double> d(21), e(21, 1.0);
    for (int i = 0; i < 21; ++i) d[i] = std::fabs(10.0 - i);
    Tri t(d, e);
    ASSERT_EQ(t.eigenvalues(18, 4), 0);
    EXPECT_NEAR(t.w[3], 10.746194182903393, 1e-12);
    EXPECT_NEAR(t.w[2], 10.746194182903322, 1e-12);
    ASSERT_EQ(t.eigenvectors(4), 0);
    for (int r = 0; r < 4; ++r) {
        EXPECT_LT(t.residual(r), 1e-12) << r;
        for (int s = 0; s < 4; ++s) EXPECT_NEAR(t.dot(r, s), r == s ? 1.0 : 0.0, 1e-10) << r << s;
    }
}

TEST(Tinvit, ZeroesAVectorThatDoesNotConvergeAndGoesOn) {
    Tri t = laplacian(12);
    ASSERT_EQ(t.eigenvalues(1, 1), 0);
    t.w[1] = 1.3; // not an eigenvalue: the iteration never grows
    t.ind[1] = 1;
    t.w[2] = 2.0 - 2.0 * std::cos(12 * std::numbers::pi / 13.0);
    t.ind[2] = 1;
    EXPECT_EQ(t.eigenvectors(3), -2);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(t.z[12 + i], 0.0);
    EXPECT_LT(t.residual(0), 1e-13);
    EXPECT_LT(t.residual(2), 1e-13);
}

TEST(Tinvit, AgreesWithADenseSolutionOnARandomMatrix) {
    const int n = 40;
    std::vector<double> d(n), e(n);
    unsigned state = 12345;
    auto next = [&] {
        state = state * 1103515245u + 12345u;
        return ((state >> 8) & 0xffff) / 65536.0 - 0.5;
    };
    for (int i = 0; i < n; ++i) {
        d[i] = next() * 10.0;
        e[i] = next() * 4.0;
    }
    Tri t(d, e);
    ASSERT_EQ(t.eigenvalues(1, n), 0);
    ASSERT_EQ(t.eigenvectors(n), 0);
    std::vector<double> dense(n * n, 0.0), values, vectors;
    for (int i = 0; i < n; ++i) {
        dense[i * n + i] = d[i];
        if (i > 0) dense[i * n + i - 1] = dense[(i - 1) * n + i] = e[i];
    }
    testing_support::jacobi(dense, n, values, vectors);
    std::sort(values.begin(), values.end());
    for (int r = 0; r < n; ++r) {
        EXPECT_NEAR(t.w[r], values[r], 1e-11);
        EXPECT_LT(t.residual(r), 1e-11);
        for (int s = 0; s < r; ++s) EXPECT_NEAR(t.dot(r, s), 0.0, 1e-10);
    }
}

} // namespace
