// Slepian tapers from the commuting tridiagonal matrix, with asymptotic
// estimates of their concentration.
#include "multitaper/slepian.hpp"

#include "console/console.hpp"
#include "multitaper/tridiagonal.hpp"
#include "numerics/constants.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>

namespace multitaper {
namespace {

using numerics::euler_gamma_10;
using numerics::pi_d14_cut;
using numerics::two_pi_d14_cut;

// Scratch shared by every call: the matrix and the eigen-routines' work space.
struct Scratch {
    std::array<double, max_taper_length> d, e, e2, rv1, rv2, rv3, rv4, rv5, rv6;
    std::array<int, max_taper_count> ind;
};
Scratch scratch;

void report_limit(std::string_view what, int limit, std::string_view rest) {
    console::err() << console::Record().text(what).integer(limit).text(rest).str() << '\n';
    console::pause();
}

// Concentration of each taper order from the larger of two asymptotic
// formulas; sn is sin(2 pi w).
void concentration(int n, double w, double sn, int nwin, std::span<double> lambda) {
    const double a = pi_d14_cut * n * w;
    double q = 4.0 * std::sqrt(pi_d14_cut * a) * std::exp(-2.0 * a);
    const double el = std::log(8.0 * n * sn) + euler_gamma_10;
    for (int k = 0; k < nwin; ++k) {
        if (k > 0) q = q * 8.0 * a / k;
        const double first = 1.0 - q;
        const double second =
            1.0 / (1.0 + std::exp(-two_pi_d14_cut * (n * w - 0.5 * k - 0.25) / el * pi_d14_cut));
        lambda[k] = std::isnan(second) ? first : std::max(first, second);
    }
}

// Scales column v to sum of squares n and orients it by the sign of its first
// step, alternating with the order.
void normalise(std::span<double> v, int n, int k) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum += v[i] * v[i];
    double divisor = std::sqrt(sum / n);
    const double step = n > 1 ? v[1] - v[0] : 0.0;
    if (step < 0.0) divisor = -divisor;
    if (k % 2 == 1) divisor = -divisor;
    for (int i = 0; i < n; ++i) v[i] /= divisor;
}

} // namespace

void mtaper(float nw, int n, int nwin, int nmax, std::span<double> lambda,
            std::span<double> tapers) {
    if (nwin >= n) console::pause("**MTAPER: nwin not << n! - invalid use.");
    if (nwin > max_taper_count)
        report_limit("**MTAPER: nwin too large, ", max_taper_count, " max - recompile.");
    if (n > max_taper_length)
        report_limit("**MTAPER: n too large, ", max_taper_length, " max. - recompile.");

    // After a resumed invalid use, compute only what the storage holds.
    nmax = std::max(nmax, 0);
    const int columns = std::clamp(nwin, 0,
                                   static_cast<int>(std::min<std::size_t>(
                                       lambda.size(), nmax > 0 ? tapers.size() / nmax : 0)));
    for (int k = 0; k < columns; ++k) {
        lambda[k] = 0.0;
        std::fill_n(tapers.begin() + static_cast<std::ptrdiff_t>(k) * nmax, nmax, 0.0);
    }
    const int m = std::min({columns, n, max_taper_count});
    if (n <= 0 || n > max_taper_length || n > nmax || m <= 0) return;

    const double w = static_cast<double>(nw) / n;
    const std::complex<double> turn = std::exp(std::complex<double>(0.0, two_pi_d14_cut * w));
    const double cs = turn.real();
    auto& s = scratch;
    for (int i = 0; i < n; ++i) {
        const double centre = (n - 1) * 0.5 - i;
        s.d[i] = -(centre * centre * cs);
        s.e[i] = -0.5 * i * (n - i);
        s.e2[i] = s.e[i] * s.e[i];
    }

    // The negated matrix has the wanted eigenvalues at the bottom.
    double eps1 = 1.0e-13, lb = 0.0, ub = 0.0;
    int ierr = 0;
    tridib(n, eps1, s.d, s.e, s.e2, lb, ub, 1, m, lambda, s.ind, ierr, s.rv4, s.rv5);
    if (ierr != 0) console::pause("**MTAPER: multiple eigenvalues...");
    tinvit(nmax, n, s.d, s.e, s.e2, m, lambda, s.ind, tapers, ierr, s.rv1, s.rv2, s.rv3, s.rv4,
           s.rv6);
    if (ierr != 0) console::pause("**MTAPER: unconverged eigenvector...");

    concentration(n, w, turn.imag(), m, lambda);
    for (int k = 0; k < m; ++k)
        normalise(tapers.subspan(static_cast<std::size_t>(k) * nmax, n), n, k);
}

} // namespace multitaper
