// Real FFT of n points through one complex transform of n/2 points, with the
// spectrum packed as n/2 + 1 complex values (Nyquist term after the data).
#include "numerics/fft.hpp"
#include "numerics/constants.hpp"

#include "pow2.hpp"
#include "radix2.hpp"

#include "console/console.hpp"
#include "traceio/textutil.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace numerics {

namespace {

using detail::power_of_two;

// e^{i angle} in single precision.  With a zero real part the complex
// exponential is exactly (cos angle, sin angle); calling the two directly
// gives the same bits at a fraction of the cost.
std::complex<float> unit(float angle) {
    return {std::cos(angle), std::sin(angle)};
}

// Factors of the complex transform, one table per direction: at span s the
// factor of offset q is e^{i isign pi q/s}, the angle formed in single
// precision exactly as it always has been (sign times pi, times q, over s).
// A stage's factors do not depend on the transform length, so one table
// serves every length up to the longest transform made so far.
const detail::StageTwiddles& fft_twiddles(int m, int isign) {
    thread_local detail::StageTwiddles forward_table, inverse_table;
    const float sign = isign < 0 ? -1.0f : 1.0f;
    return detail::serve(isign < 0 ? forward_table : inverse_table, m,
                         [sign](int span, float* re, float* im) {
                             for (int q = 0; q < span; ++q) {
                                 const float angle = sign * pi_f_low * static_cast<float>(q) /
                                                     static_cast<float>(span);
                                 const std::complex<float> w = unit(angle);
                                 re[q] = w.real();
                                 im[q] = w.imag();
                             }
                         });
}

// Factors e^{i k theta}, k = 1 .. h/2-1, theta = sgn pi/h, of the pairing
// step for one half-length h and direction, computed once and kept.
const std::vector<std::complex<float>>& pair_twiddles(int h, float sgn) {
    thread_local std::array<std::vector<std::complex<float>>, 64> tables;
    auto& t = tables[2 * std::countr_zero(static_cast<unsigned>(h)) + (sgn > 0.0f ? 1 : 0)];
    if (t.empty()) {
        const float theta = sgn * pi_f / static_cast<float>(h);
        t.resize(static_cast<std::size_t>(std::max(h / 2, 1)));
        for (int k = 1; k <= h / 2 - 1; ++k) t[k] = unit(static_cast<float>(k) * theta);
    }
    return t;
}

// Separates the half-length complex transform into the real series' spectrum
// (and back: the same step with the opposite angle and sign).  x holds h
// complex values; element k is paired with h - k.
void pair_terms(std::span<float> x, int h, float sgn) {
    const std::vector<std::complex<float>>& w = pair_twiddles(h, sgn);
    for (int k = 1; k <= h / 2 - 1; ++k) {
        const int a = 2 * k, b = 2 * (h - k);
        const float sR = x[a] + x[b], dR = x[a] - x[b];
        const float sI = x[a + 1] + x[b + 1], dI = x[a + 1] - x[b + 1];
        const float wr = w[k].real(), wi = w[k].imag();
        const float m = dR * wr - sI * wi;
        const float p = wr * sI + wi * dR;
        x[a] = (sR - sgn * p) / 2.0f;
        x[a + 1] = (dI + sgn * m) / 2.0f;
        x[b] = (sR + sgn * p) / 2.0f;
        x[b + 1] = (sgn * m - dI) / 2.0f;
    }
    x[h + 1] = -x[h + 1]; // element h/2 is its own partner: conjugate it
}

} // namespace

void fft(std::span<std::complex<float>> z, int m, int isign) {
    if (!power_of_two(m) || static_cast<std::size_t>(m) > z.size())
        throw std::invalid_argument("fft: length is not a power of two within the array");
    detail::radix2(reinterpret_cast<float*>(z.data()), m, fft_twiddles(m, isign));
}

void locast(std::string_view word, int& inverse, int& forward) {
    inverse = 0;
    forward = 0;
    const std::string_view w = traceio::trimmed(word);
    if (w == "forward") {
        forward = 1;
    } else if (w == "inverse") {
        inverse = 1;
    } else {
        // The word is shown in a 7-column field, as the direction argument is.
        std::string shown(word.substr(0, 7));
        shown.resize(7, ' ');
        console::err() << ' ' << shown
                       << "  is meaningless to dfftr, use forward or inverse  only\n";
    }
}

void dfftr(std::span<float> x, int n, std::string_view direction, float delta) {
    int inverse = 0, forward = 0;
    locast(direction, inverse, forward);
    if (forward == 0 && inverse == 0) console::stop("dirctn bad to dfftr");
    if (n < 4 || !power_of_two(n) || x.size() < static_cast<std::size_t>(n) + 2)
        throw std::invalid_argument("dfftr: length is not a power of two >= 4 within the array");
    const int h = n / 2;
    // The array seen as h complex values z_m = x_2m + i x_2m+1.
    std::span<std::complex<float>> z(reinterpret_cast<std::complex<float>*>(x.data()), h);

    if (forward == 1) {
        fft(z, h, -1);
        const float a = x[0], b = x[1];
        x[0] = a + b;
        x[1] = a - b; // the Nyquist value, parked until the end
        pair_terms(x, h, -1.0f);
        for (int i = 0; i < n; ++i) x[i] *= delta;
        x[n] = x[1];
        x[n + 1] = 0.0f;
        x[1] = 0.0f;
    } else {
        x[1] = x[n];
        x[n] = 0.0f;
        pair_terms(x, h, 1.0f);
        const float a = x[0], b = x[1];
        x[0] = (a + b) / 2.0f;
        x[1] = (a - b) / 2.0f;
        fft(z, h, 1);
        const float scale = 2.0f * delta;
        for (int i = 0; i < n; ++i) x[i] *= scale;
    }
}

int npowr2(int n) {
    // The smallest power of two not less than n.  Integer doubling gives the
    // same values as the classic log10(2n-1)/0.30103 formula wherever that
    // formula is right, and stays right where single-precision logarithms
    // would truncate to the power below n.
    if (n <= 2) return 2; // also for n <= 0: the shortest transform there is
    if (n > (1 << 30)) throw std::length_error("npowr2: no power of two of this size fits an int");
    int p = 2;
    while (p < n) p *= 2;
    return p;
}

} // namespace numerics
