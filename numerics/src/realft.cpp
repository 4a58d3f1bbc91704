// Packed real FFT: a complex transform of n/2 points, then the separation of
// the even- and odd-indexed samples' transforms.  Twiddles come from a
// double-precision recurrence (accurate up to n = 16384) and are rounded to
// single precision for the butterflies; the data stay single precision.
#include "numerics/realft.hpp"
#include "numerics/constants.hpp"

#include "numerics/simd.hpp"
#include "pow2.hpp"
#include "radix2.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <stdexcept>
#include <vector>

namespace numerics {

namespace {

using detail::power_of_two;

// A twiddle factor w = e^{i theta j} advanced one step at a time:
// w <- w + w (cos theta - 1 + i sin theta), with cos theta - 1 = -2 sin^2(theta/2)
// so that small angles lose nothing to cancellation.
struct Twiddle {
    double wr = 1.0, wi = 0.0, wpr, wpi;
    explicit Twiddle(double theta) {
        const double s = std::sin(0.5 * theta);
        wpr = -2.0 * s * s;
        wpi = std::sin(theta);
    }
    void advance() {
        const double r = wr;
        wr = wr + (r * wpr - wi * wpi);
        wi = wi + (wi * wpr + r * wpi);
    }
    float re() const { return static_cast<float>(wr); }
    float im() const { return static_cast<float>(wi); }
};

// Factors of four1, one table per direction: the stage of span s (complex
// elements; mmax = 2s floats) runs the recurrence from 1 with
// theta = 2 pi/(isign mmax), and its factors are the recurrence's values
// rounded to single precision.  A stage does not depend on the transform
// length, so one table serves every length.
const detail::StageTwiddles& four1_twiddles(int nn, int isign) {
    thread_local detail::StageTwiddles plus_table, minus_table;
    const double sign = isign < 0 ? -1.0 : 1.0;
    return detail::serve(isign < 0 ? minus_table : plus_table, nn,
                         [sign](int span, float* re, float* im) {
                             Twiddle w(two_pi_d14 / (sign * (2 * span)));
                             for (int q = 0; q < span; ++q) {
                                 re[q] = w.re();
                                 im[q] = w.im();
                                 w.advance();
                             }
                         });
}

// Factors e^{i theta k}, k = 1 .. n/4-1, of realft's separation step for one
// length n and direction (theta = +-pi/(n/2)), from the same recurrence
// started at e^{i theta}, kept split into real and imaginary parts; computed
// once and kept.
struct SeparationTwiddles {
    std::vector<float> re, im;
};

const SeparationTwiddles& separation_twiddles(int n, bool forward) {
    thread_local std::array<SeparationTwiddles, 64> tables;
    auto& t = tables[2 * std::countr_zero(static_cast<unsigned>(n)) + (forward ? 1 : 0)];
    if (t.re.empty()) {
        const double theta = pi_d / static_cast<double>(n / 2);
        Twiddle w(forward ? theta : -theta);
        w.advance();
        const auto size = static_cast<std::size_t>(std::max(n / 4, 1));
        t.re.resize(size);
        t.im.resize(size);
        for (int k = 1; k <= n / 4 - 1; ++k) {
            t.re[k] = w.re();
            t.im[k] = w.im();
            w.advance();
        }
    }
    return t;
}

// Separates (or, backwards, recombines) the transforms of the even- and
// odd-indexed samples for k = first .. n/4-1, element k with n/2 - k:
// h1 = 1/2 (F_k + conj F_j), h2 = -c2 i (F_k - conj F_j),
// H_k = h1 + w h2 and H_j = conj(h1 - w h2), each part summed term by term
// from the left (h1, then the two twiddle products).
void separate(std::span<float> data, int n, int first, float c2, const SeparationTwiddles& w) {
    for (int k = first; k <= n / 4 - 1; ++k) {
        const int i1 = 2 * k, i2 = i1 + 1;     // element k
        const int i3 = n - 2 * k, i4 = i3 + 1; // element n/2 - k
        const float h1r = 0.5f * (data[i1] + data[i3]);
        const float h1i = 0.5f * (data[i2] - data[i4]);
        const float h2r = -c2 * (data[i2] + data[i4]);
        const float h2i = c2 * (data[i1] - data[i3]);
        const float wr = w.re[k], wi = w.im[k];
        data[i1] = h1r + wr * h2r - wi * h2i;
        data[i2] = h1i + wr * h2i + wi * h2r;
        data[i3] = h1r - wr * h2r + wi * h2i;
        data[i4] = -h1i + wr * h2i + wi * h2r;
    }
}

#if defined(__SSE2__)
// The same step for k = 1, 5, 9, ... four elements at a time (their partners
// loaded in reverse so that lane j holds element n/2 - (k + j)), each lane
// doing the scalar step's operations in its order; returns the first k left
// for the scalar loop.
int separate_four(std::span<float> data, int n, float c2, const SeparationTwiddles& w) {
    const __m128 half = _mm_set1_ps(0.5f), pc2 = _mm_set1_ps(c2), mc2 = _mm_set1_ps(-c2);
    int k = 1;
    for (; k + 3 <= n / 4 - 1; k += 4) {
        float* f = data.data() + 2 * k;
        float* g = data.data() + n - 2 * (k + 3);
        __m128 fr, fi, gr, gi;
        simd::load_split(f, fr, fi);
        simd::load_split(g, gr, gi);
        gr = simd::reversed(gr);
        gi = simd::reversed(gi);
        const __m128 h1r = _mm_mul_ps(half, _mm_add_ps(fr, gr));
        const __m128 h1i = _mm_mul_ps(half, _mm_sub_ps(fi, gi));
        const __m128 h2r = _mm_mul_ps(mc2, _mm_add_ps(fi, gi));
        const __m128 h2i = _mm_mul_ps(pc2, _mm_sub_ps(fr, gr));
        const __m128 wr = _mm_loadu_ps(w.re.data() + k), wi = _mm_loadu_ps(w.im.data() + k);
        const __m128 wrh2r = _mm_mul_ps(wr, h2r), wih2i = _mm_mul_ps(wi, h2i);
        const __m128 wrh2i = _mm_mul_ps(wr, h2i), wih2r = _mm_mul_ps(wi, h2r);
        fr = _mm_sub_ps(_mm_add_ps(h1r, wrh2r), wih2i);
        fi = _mm_add_ps(_mm_add_ps(h1i, wrh2i), wih2r);
        gr = _mm_add_ps(_mm_sub_ps(h1r, wrh2r), wih2i);
        gi = _mm_add_ps(_mm_add_ps(simd::negated(h1i), wrh2i), wih2r);
        simd::store_interleaved(f, fr, fi);
        simd::store_interleaved(g, simd::reversed(gr), simd::reversed(gi));
    }
    return k;
}
#endif

} // namespace

void four1(std::span<float> data, int nn, int isign) {
    if (!power_of_two(nn) || data.size() < 2 * static_cast<std::size_t>(nn))
        throw std::invalid_argument("four1: length is not a power of two within the array");
    detail::radix2(data.data(), nn, four1_twiddles(nn, isign));
}

void realft(std::span<float> data, int n, int isign) {
    if (n < 2 || !power_of_two(n) || data.size() < static_cast<std::size_t>(n))
        throw std::invalid_argument("realft: length is not a power of two >= 2 within the array");
    const bool forward = isign == 1;
    // h2 = -1/2 i (F_k - conj F_j) forwards, +1/2 i (G_k - conj G_j) backwards.
    const float c2 = forward ? -0.5f : 0.5f;
    if (forward) four1(data, n / 2, 1);
    const SeparationTwiddles& w = separation_twiddles(n, forward);
#if defined(__SSE2__)
    separate(data, n, separate_four(data, n, c2, w), c2, w);
#else
    separate(data, n, 1, c2, w);
#endif
    const float a = data[0], b = data[1];
    if (forward) {
        data[0] = a + b;
        data[1] = a - b;
    } else {
        data[0] = 0.5f * (a + b);
        data[1] = 0.5f * (a - b);
        four1(data, n / 2, -1);
    }
}

} // namespace numerics
