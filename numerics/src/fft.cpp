// Real FFT of n points through one complex transform of n/2 points, with the
// spectrum packed as n/2 + 1 complex values (Nyquist term after the data).
#include "numerics/fft.hpp"
#include "numerics/constants.hpp"

#include "numerics/simd.hpp"
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
// step for one half-length h and direction, kept split into real and
// imaginary parts; computed once and kept.
struct PairTwiddles {
    std::vector<float> re, im;
};

const PairTwiddles& pair_twiddles(int h, float sgn) {
    thread_local std::array<PairTwiddles, 64> tables;
    auto& t = tables[2 * std::countr_zero(static_cast<unsigned>(h)) + (sgn > 0.0f ? 1 : 0)];
    if (t.re.empty()) {
        const float theta = sgn * pi_f / static_cast<float>(h);
        const auto size = static_cast<std::size_t>(std::max(h / 2, 1));
        t.re.resize(size);
        t.im.resize(size);
        for (int k = 1; k <= h / 2 - 1; ++k) {
            const std::complex<float> w = unit(static_cast<float>(k) * theta);
            t.re[k] = w.real();
            t.im[k] = w.imag();
        }
    }
    return t;
}

// The pairing step for k = first .. h/2-1, element k with h - k.
void pair_scalar(std::span<float> x, int h, int first, float sgn, const PairTwiddles& w) {
    for (int k = first; k <= h / 2 - 1; ++k) {
        const int a = 2 * k, b = 2 * (h - k);
        const float sR = x[a] + x[b], dR = x[a] - x[b];
        const float sI = x[a + 1] + x[b + 1], dI = x[a + 1] - x[b + 1];
        const float wr = w.re[k], wi = w.im[k];
        const float m = dR * wr - sI * wi;
        const float p = wr * sI + wi * dR;
        x[a] = (sR - sgn * p) / 2.0f;
        x[a + 1] = (dI + sgn * m) / 2.0f;
        x[b] = (sR + sgn * p) / 2.0f;
        x[b + 1] = (sgn * m - dI) / 2.0f;
    }
}

#if defined(__SSE2__)
// The pairing step for k = 1, 5, 9, ... four elements at a time, the
// partners loaded in reverse (lane j holds element h - (k + j)); each lane
// does the scalar step's operations in its order (halving is multiplying by
// 0.5, the same correctly rounded value).  Returns the first k left over.
int pair_four(std::span<float> x, int h, float sgn, const PairTwiddles& w) {
    const __m128 half = _mm_set1_ps(0.5f), s = _mm_set1_ps(sgn);
    int k = 1;
    for (; k + 3 <= h / 2 - 1; k += 4) {
        float* f = x.data() + 2 * k;
        float* g = x.data() + 2 * (h - k - 3);
        __m128 fr, fi, gr, gi;
        simd::load_split(f, fr, fi);
        simd::load_split(g, gr, gi);
        gr = simd::reversed(gr);
        gi = simd::reversed(gi);
        const __m128 sR = _mm_add_ps(fr, gr), dR = _mm_sub_ps(fr, gr);
        const __m128 sI = _mm_add_ps(fi, gi), dI = _mm_sub_ps(fi, gi);
        const __m128 wr = _mm_loadu_ps(w.re.data() + k), wi = _mm_loadu_ps(w.im.data() + k);
        const __m128 m = _mm_sub_ps(_mm_mul_ps(dR, wr), _mm_mul_ps(sI, wi));
        const __m128 p = _mm_add_ps(_mm_mul_ps(wr, sI), _mm_mul_ps(wi, dR));
        const __m128 sp = _mm_mul_ps(s, p), sm = _mm_mul_ps(s, m);
        fr = _mm_mul_ps(_mm_sub_ps(sR, sp), half);
        fi = _mm_mul_ps(_mm_add_ps(dI, sm), half);
        gr = _mm_mul_ps(_mm_add_ps(sR, sp), half);
        gi = _mm_mul_ps(_mm_sub_ps(sm, dI), half);
        simd::store_interleaved(f, fr, fi);
        simd::store_interleaved(g, simd::reversed(gr), simd::reversed(gi));
    }
    return k;
}
#endif

// Separates the half-length complex transform into the real series' spectrum
// (and back: the same step with the opposite angle and sign).  x holds h
// complex values; element k is paired with h - k.
void pair_terms(std::span<float> x, int h, float sgn) {
    const PairTwiddles& w = pair_twiddles(h, sgn);
#if defined(__SSE2__)
    pair_scalar(x, h, pair_four(x, h, sgn, w), sgn, w);
#else
    pair_scalar(x, h, 1, sgn, w);
#endif
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
