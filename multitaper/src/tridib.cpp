// Selected eigenvalues of a symmetric tridiagonal matrix by bisection on
// Sturm-sequence counts, one submatrix at a time.
#include "multitaper/tridiagonal.hpp"

#include <algorithm>
#include <cmath>

namespace multitaper {
namespace {

// Number of eigenvalues below x of rows first..last (0-based) of the matrix,
// treating a zero of e2 as a split.  A zero pivot is replaced by a tiny one of
// the sign that counts the next pivot as negative.
int sturm_count(std::span<const double> d, std::span<const double> e, std::span<const double> e2,
                int first, int last, double x) {
    int count = 0;
    double u = 1.0;
    for (int i = first; i <= last; ++i) {
        double v = 0.0;
        if (i > first && e2[i] != 0.0) v = u != 0.0 ? e2[i] / u : std::fabs(e[i]) / machep;
        u = d[i] - x - v;
        if (u < 0.0) ++count;
    }
    return count;
}

// True when the interval [lo, hi] can no longer be halved usefully.
bool too_narrow(double lo, double hi, double eps1) {
    const double mid = 0.5 * (lo + hi);
    return hi - lo <= 2.0 * machep * (std::fabs(lo) + std::fabs(hi)) + eps1 || mid <= lo ||
           mid >= hi;
}

// Bisects [lo, hi] (count(lo) < target < count(hi)... or equal at the ends)
// for a point below exactly `target` eigenvalues of the whole matrix.  On a
// tie it returns false with lo and hi as the last bracket.
bool separate(std::span<const double> d, std::span<const double> e, std::span<const double> e2,
              int n, double eps1, int target, double& lo, double& hi, double& x) {
    while (!too_narrow(lo, hi, eps1)) {
        x = 0.5 * (lo + hi);
        const int c = sturm_count(d, e, e2, 0, n - 1, x);
        if (c == target) return true;
        if (c < target)
            lo = x;
        else
            hi = x;
    }
    return false;
}

// The k-th (1-based) eigenvalue of rows first..last, known to lie in [lo, hi].
double bisect(std::span<const double> d, std::span<const double> e, std::span<const double> e2,
              int first, int last, int k, double eps1, double& lo, double hi) {
    while (!too_narrow(lo, hi, eps1)) {
        const double mid = 0.5 * (lo + hi);
        if (sturm_count(d, e, e2, first, last, mid) >= k)
            hi = mid;
        else
            lo = mid;
    }
    return 0.5 * (lo + hi);
}

} // namespace

void tridib(int n, double& eps1, std::span<const double> d, std::span<const double> e,
            std::span<double> e2, double& lb, double& ub, int m11, int m, std::span<double> w,
            std::span<int> ind, int& ierr, std::span<double> rv4, std::span<double> rv5) {
    ierr = 0;
    if (n <= 0) return;
    const int m22 = m11 + m - 1;

    // Mark the splits and find the Gershgorin interval of the whole matrix.
    double xu = d[0], x0 = d[0];
    for (int i = 0; i < n; ++i) {
        const double radius =
            (i > 0 ? std::fabs(e[i]) : 0.0) + (i + 1 < n ? std::fabs(e[i + 1]) : 0.0);
        xu = std::min(xu, d[i] - radius);
        x0 = std::max(x0, d[i] + radius);
        if (i == 0 || std::fabs(e[i]) <= machep * (std::fabs(d[i]) + std::fabs(d[i - 1])))
            e2[i] = 0.0;
    }
    // Widen it so that no eigenvalue sits on its ends.
    double widen = machep * n * std::max(std::fabs(xu), std::fabs(x0));
    if (widen == 0.0) widen = machep;
    xu -= widen;
    x0 += widen;
    if (eps1 <= 0.0) eps1 = machep * std::max(std::fabs(xu), std::fabs(x0));

    // An interval [lb, ub] below exactly m11-1 and m22 eigenvalues.
    lb = xu;
    ub = x0;
    if (m11 < 1 || m < 1) {
        ierr = 3 * n + 1;
        return;
    }
    if (m22 > n) {
        ierr = 3 * n + 2;
        return;
    }
    if (m11 > 1) {
        double lo = xu, hi = x0;
        if (!separate(d, e, e2, n, eps1, m11 - 1, lo, hi, lb)) {
            ierr = 3 * n + 1;
            lb = lo;
        }
    }
    if (m22 < n) {
        double lo = std::max(lb, xu), hi = x0;
        if (!separate(d, e, e2, n, eps1, m22, lo, hi, ub)) {
            ierr = 3 * n + 2;
            ub = hi;
        }
    }
    const int below = sturm_count(d, e, e2, 0, n - 1, lb);

    // Every eigenvalue in [lb, ub), submatrix by submatrix, merged in
    // ascending order into rv5 with its submatrix number in rv4.
    int found = 0, tag = 0;
    for (int p = 0; p < n;) {
        int q = p;
        while (q + 1 < n && e2[q + 1] != 0.0) ++q;
        ++tag;
        const int k0 = sturm_count(d, e, e2, p, q, lb);
        const int k1 = sturm_count(d, e, e2, p, q, ub);
        double lo = lb;
        for (int k = k0 + 1; k <= k1 && found < n; ++k) {
            const double x = bisect(d, e, e2, p, q, k, eps1, lo, ub);
            int at = found++;
            while (at > 0 && rv5[at - 1] > x) {
                rv5[at] = rv5[at - 1];
                rv4[at] = rv4[at - 1];
                --at;
            }
            rv5[at] = x;
            rv4[at] = tag;
        }
        p = q + 1;
    }

    // On a tie the candidates hold extra values at either end: keep the run
    // whose whole-matrix indices are m11 .. m22.
    const int skip = std::clamp(m11 - 1 - below, 0, found);
    const int kept = std::min(m, found - skip);
    for (int i = 0; i < kept; ++i) {
        w[i] = rv5[skip + i];
        ind[i] = static_cast<int>(rv4[skip + i]);
    }
    for (int i = kept; i < m; ++i) {
        w[i] = ub;
        ind[i] = tag;
        ierr = 3 * n + 2;
    }
}

} // namespace multitaper
