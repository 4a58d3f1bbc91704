// Eigenvectors of a symmetric tridiagonal matrix by inverse iteration, one
// submatrix at a time, for eigenvalues found by bisection.
#include "multitaper/tridiagonal.hpp"

#include <algorithm>
#include <cmath>

namespace multitaper {
namespace {

constexpr int max_iterations = 5;
constexpr int min_iterations = 2;
constexpr double accept_norm = 1.0e-3;

// Scales of one submatrix: its norm sets the perturbation that separates
// close eigenvalues (eps2), the replacement of a zero pivot (eps3) and the
// size of the starting vector's elements (eps4).
struct Scales {
    double eps2, eps3, eps4;
};

Scales scales(std::span<const double> d, std::span<const double> e, int p, int q) {
    double norm = 0.0;
    for (int i = p; i <= q; ++i) {
        double row = std::fabs(d[i]);
        if (i > p) row += std::fabs(e[i]);
        if (i < q) row += std::fabs(e[i + 1]);
        norm = std::max(norm, row);
    }
    if (norm == 0.0) norm = 1.0;
    const double eps3 = machep * norm;
    return {1.0e-3 * norm, eps3, (q - p + 1) * eps3};
}

// Factorises the rows p..q of (T - x I) with partial pivoting.  The upper
// triangle goes to rv1 (diagonal), rv2 and rv3 (first and second
// superdiagonal), the multipliers to rv4.  A row interchange at step i is
// recorded by a nonzero rv3(i): the second superdiagonal element it brings,
// or, at the last step, where no such element exists, the flag 1.
void factorise(std::span<const double> d, std::span<const double> e, int p, int q, double x,
               double eps3, std::span<double> rv1, std::span<double> rv2, std::span<double> rv3,
               std::span<double> rv4) {
    double a = d[p] - x;               // working diagonal of the pivot row
    double b = p < q ? e[p + 1] : 0.0; // its working superdiagonal
    for (int i = p; i < q; ++i) {
        const double c = e[i + 1];
        const double dd = d[i + 1] - x;
        const double f = i + 1 < q ? e[i + 2] : 0.0;
        if (std::fabs(c) > std::fabs(a)) {
            const double mult = a / c;
            rv1[i] = c;
            rv2[i] = dd;
            rv3[i] = i + 1 < q ? f : 1.0;
            rv4[i] = mult;
            a = b - mult * dd;
            b = -mult * f;
        } else {
            if (a == 0.0) a = eps3;
            const double mult = c / a;
            rv1[i] = a;
            rv2[i] = b;
            rv3[i] = 0.0;
            rv4[i] = mult;
            a = dd - mult * b;
            b = f;
        }
    }
    rv1[q] = a == 0.0 ? eps3 : a;
    rv2[q] = 0.0;
    rv3[q] = 0.0;
}

// Solves U y = v in place in v (rows p..q).
void back_substitute(int p, int q, std::span<const double> rv1, std::span<const double> rv2,
                     std::span<const double> rv3, std::span<double> v) {
    for (int i = q; i >= p; --i) {
        double s = v[i];
        if (i + 1 <= q) s -= rv2[i] * v[i + 1];
        if (i + 2 <= q) s -= rv3[i] * v[i + 2];
        v[i] = s / rv1[i];
    }
}

// Applies the row interchanges and multipliers of the factorisation to v.
void forward_eliminate(int p, int q, std::span<const double> rv3, std::span<const double> rv4,
                       std::span<double> v) {
    for (int i = p; i < q; ++i) {
        if (rv3[i] != 0.0) std::swap(v[i], v[i + 1]);
        v[i + 1] -= rv4[i] * v[i];
    }
}

} // namespace

void tinvit(int nm, int n, std::span<const double> d, std::span<const double> e,
            std::span<const double> e2, int m, std::span<const double> w, std::span<const int> ind,
            std::span<double> z, int& ierr, std::span<double> rv1, std::span<double> rv2,
            std::span<double> rv3, std::span<double> rv4, std::span<double> rv6) {
    ierr = 0;
    if (m <= 0 || n <= 0) return;
    auto column = [&](int r) { return z.subspan(static_cast<std::size_t>(r) * nm, n); };

    int tag = 0;
    for (int p = 0; p < n;) {
        int q = p;
        while (q + 1 < n && e2[q + 1] != 0.0) ++q;
        ++tag;
        const Scales s = scales(d, e, p, q);
        const int order = q - p + 1;
        double x0 = 0.0;
        int group = 0;
        bool first = true;

        for (int r = 0; r < m; ++r) {
            if (ind[r] != tag) continue;
            auto zr = column(r);
            std::fill(zr.begin(), zr.end(), 0.0);
            if (order == 1) {
                zr[p] = 1.0;
                continue;
            }
            // Close eigenvalues form a group whose vectors are kept
            // orthogonal; equal ones are pushed apart so that their
            // factorisations differ.
            double x1 = w[r];
            if (first || x1 - x0 >= s.eps2)
                group = 0;
            else
                ++group;
            if (!first && x1 <= x0) x1 = x0 + s.eps3;
            first = false;
            x0 = x1;

            factorise(d, e, p, q, x1, s.eps3, rv1, rv2, rv3, rv4);
            std::fill(rv6.begin() + p, rv6.begin() + q + 1, s.eps4);
            bool converged = false;
            for (int its = 1; its <= max_iterations; ++its) {
                back_substitute(p, q, rv1, rv2, rv3, rv6);
                // Remove the components along the group's earlier vectors.
                int earlier = r, left = group;
                while (left > 0 && --earlier >= 0) {
                    if (ind[earlier] != tag) continue;
                    --left;
                    auto zj = column(earlier);
                    double dot = 0.0;
                    for (int i = p; i <= q; ++i) dot += rv6[i] * zj[i];
                    for (int i = p; i <= q; ++i) rv6[i] -= dot * zj[i];
                }
                double norm = 0.0;
                for (int i = p; i <= q; ++i) norm += std::fabs(rv6[i]);
                // Growth to a 1-norm of 1e-3 from a start of order*eps4 means
                // a residual within a thousand times the rounding level of
                // the submatrix, which also allows for eigenvalues found to
                // an absolute tolerance above that level: accept the vector.
                // The first solve always grows that much, but when the gap to
                // the next eigenvalue is small beside the matrix norm (as for
                // the leading tapers of a long sequence) it leaves errors near
                // single precision; a second solve takes them to rounding.
                if (norm >= accept_norm && its >= min_iterations) {
                    converged = true;
                    break;
                }
                if (its == max_iterations) break;
                if (norm == 0.0) {
                    std::fill(rv6.begin() + p, rv6.begin() + q + 1, 0.0);
                    rv6[p] = order * s.eps4;
                } else {
                    const double scale = order * s.eps4 / norm;
                    for (int i = p; i <= q; ++i) rv6[i] *= scale;
                }
                forward_eliminate(p, q, rv3, rv4, rv6);
            }
            if (!converged) {
                ierr = -(r + 1);
                continue;
            }
            double sum = 0.0;
            for (int i = p; i <= q; ++i) sum += rv6[i] * rv6[i];
            const double length = std::sqrt(sum);
            for (int i = p; i <= q; ++i) zr[i] = rv6[i] / length;
        }
        p = q + 1;
    }
}

} // namespace multitaper
