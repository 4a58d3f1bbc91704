// Radix-2 butterflies several at a time.
//
// The data are first moved into bit-reversed order and, at the same time,
// split into an array of real parts and one of imaginary parts; the stages
// then work on four neighbouring butterflies at once with SSE2 (part of
// every x86-64 processor), each lane doing exactly the scalar butterfly's
// multiplications, additions and subtractions in the same order, so that
// every lane rounds as the scalar code would.  There is no fused
// multiply-add in SSE2, and nothing else is reassociated.  At the end the
// parts are interleaved again.  Without SSE2 the same loops run one
// butterfly at a time.
#include "radix2.hpp"

#include "numerics/simd.hpp"

#include <bit>
#include <utility>

namespace numerics::detail {

namespace {

// The one-at-a-time transform, in place on interleaved values: short
// transforms and processors without SSE2.
void radix2_scalar(float* z, int m, const StageTwiddles& tw) {
    for (int i = 0, j = 0; i < m; ++i) {
        if (i < j) {
            std::swap(z[2 * i], z[2 * j]);
            std::swap(z[2 * i + 1], z[2 * j + 1]);
        }
        int bit = m >> 1;
        while (bit >= 1 && (j & bit) != 0) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
    for (int span = 1; span < m; span *= 2) {
        for (int q = 0; q < span; ++q) {
            const float wr = tw.re[span + q], wi = tw.im[span + q];
            for (int r = q; r < m; r += 2 * span) {
                float* a = z + 2 * r;
                float* b = z + 2 * (r + span);
                const float tr = wr * b[0] - wi * b[1];
                const float ti = wr * b[1] + wi * b[0];
                b[0] = a[0] - tr;
                b[1] = a[1] - ti;
                a[0] = a[0] + tr;
                a[1] = a[1] + ti;
            }
        }
    }
}

#if defined(__SSE2__)

// Split real and imaginary parts of the transform under way.
struct Split {
    std::vector<float> re, im;
};
thread_local Split split;

// Four butterflies: (ar, ai) and (br, bi) hold the two elements of each,
// (wr, wi) its factor.  The lanes compute
//   tr = wr br - wi bi,  ti = wr bi + wi br,  b = a - t,  a = a + t.
inline void butterfly(__m128& ar, __m128& ai, __m128& br, __m128& bi, __m128 wr, __m128 wi) {
    const __m128 tr = _mm_sub_ps(_mm_mul_ps(wr, br), _mm_mul_ps(wi, bi));
    const __m128 ti = _mm_add_ps(_mm_mul_ps(wr, bi), _mm_mul_ps(wi, br));
    br = _mm_sub_ps(ar, tr);
    bi = _mm_sub_ps(ai, ti);
    ar = _mm_add_ps(ar, tr);
    ai = _mm_add_ps(ai, ti);
}

// Rows become columns: lane k of x[c] goes to lane c of x[k].
inline void transpose(__m128 x[4]) {
    _MM_TRANSPOSE4_PS(x[0], x[1], x[2], x[3]);
}

// The bit-reversal permutation together with the stages of spans 1 and 2,
// which only combine the four elements 4g .. 4g+3 of one group g.
//
// With m = 2^L, element 4g + c of the permuted order is input element
// rev2(c) m/4 + revL-2(g): its group's four elements come from the four
// quarters of the input (in the order 0, 2, 1, 3), at the same place t in
// each.  Four neighbouring places t .. t+3 (four groups) are loaded from each
// quarter, the two stages run on the four groups at once (one group per
// lane), and a transposition gives each group's four results in a row for
// the split arrays.  Groups of places t .. t+3 are g, g + m/16, g + m/8 and
// g + 3m/16 with g = revL-2(t).  Needs m >= 16.
void permute_first_spans(const float* z, int m, float* re, float* im, const StageTwiddles& tw) {
    const int quarter = m / 4, step = m / 16;
    const float* from[4] = {z, z + 2 * (2 * quarter), z + 2 * quarter, z + 2 * (3 * quarter)};
    const __m128 w1r = _mm_set1_ps(tw.re[1]), w1i = _mm_set1_ps(tw.im[1]);
    const __m128 w20r = _mm_set1_ps(tw.re[2]), w20i = _mm_set1_ps(tw.im[2]);
    const __m128 w21r = _mm_set1_ps(tw.re[3]), w21i = _mm_set1_ps(tw.im[3]);
    // g = bit reversal of t/4 over the log2(m/16) bits, advanced with t.
    for (int t = 0, g = 0; t < quarter; t += 4) {
        __m128 xr[4], xi[4];
        for (int c = 0; c < 4; ++c) simd::load_split(from[c] + 2 * t, xr[c], xi[c]);
        butterfly(xr[0], xi[0], xr[1], xi[1], w1r, w1i);
        butterfly(xr[2], xi[2], xr[3], xi[3], w1r, w1i);
        butterfly(xr[0], xi[0], xr[2], xi[2], w20r, w20i);
        butterfly(xr[1], xi[1], xr[3], xi[3], w21r, w21i);
        transpose(xr);
        transpose(xi);
        const int groups[4] = {g, g + 2 * step, g + step, g + 3 * step};
        for (int k = 0; k < 4; ++k) {
            _mm_storeu_ps(re + 4 * groups[k], xr[k]);
            _mm_storeu_ps(im + 4 * groups[k], xi[k]);
        }
        int bit = step >> 1;
        while (bit >= 1 && (g & bit) != 0) {
            g ^= bit;
            bit >>= 1;
        }
        g |= bit;
    }
}

// Two stages at once, spans s and 2s: the four elements r + q, r + q + s,
// r + q + 2s, r + q + 3s pass through both stages while in registers,
// four neighbouring q at a time.  Each butterfly still sees exactly the
// values it would see stage after stage.
void span_pair(float* re, float* im, int m, int span, const StageTwiddles& tw) {
    const float* w1r = tw.re.data() + span;
    const float* w1i = tw.im.data() + span;
    const float* w2r = tw.re.data() + 2 * span;
    const float* w2i = tw.im.data() + 2 * span;
    for (int r = 0; r < m; r += 4 * span) {
        float* pr = re + r;
        float* pi = im + r;
        for (int q = 0; q < span; q += 4) {
            __m128 xr[4], xi[4];
            for (int c = 0; c < 4; ++c) {
                xr[c] = _mm_loadu_ps(pr + c * span + q);
                xi[c] = _mm_loadu_ps(pi + c * span + q);
            }
            const __m128 ar = _mm_loadu_ps(w1r + q), ai = _mm_loadu_ps(w1i + q);
            butterfly(xr[0], xi[0], xr[1], xi[1], ar, ai);
            butterfly(xr[2], xi[2], xr[3], xi[3], ar, ai);
            butterfly(xr[0], xi[0], xr[2], xi[2], _mm_loadu_ps(w2r + q), _mm_loadu_ps(w2i + q));
            butterfly(xr[1], xi[1], xr[3], xi[3], _mm_loadu_ps(w2r + span + q),
                      _mm_loadu_ps(w2i + span + q));
            for (int c = 0; c < 4; ++c) {
                _mm_storeu_ps(pr + c * span + q, xr[c]);
                _mm_storeu_ps(pi + c * span + q, xi[c]);
            }
        }
    }
}

// One stage of span 4 or more: four neighbouring factors q .. q+3 at once.
void span_single(float* re, float* im, int m, int span, const StageTwiddles& tw) {
    const float* twr = tw.re.data() + span;
    const float* twi = tw.im.data() + span;
    for (int r = 0; r < m; r += 2 * span) {
        float* pr = re + r;
        float* pi = im + r;
        for (int q = 0; q < span; q += 4) {
            __m128 ar = _mm_loadu_ps(pr + q), ai = _mm_loadu_ps(pi + q);
            __m128 br = _mm_loadu_ps(pr + span + q), bi = _mm_loadu_ps(pi + span + q);
            butterfly(ar, ai, br, bi, _mm_loadu_ps(twr + q), _mm_loadu_ps(twi + q));
            _mm_storeu_ps(pr + q, ar);
            _mm_storeu_ps(pi + q, ai);
            _mm_storeu_ps(pr + span + q, br);
            _mm_storeu_ps(pi + span + q, bi);
        }
    }
}

// The split parts interleaved back into z.
void interleave(const float* re, const float* im, int m, float* z) {
    for (int i = 0; i < m; i += 4)
        simd::store_interleaved(z + 2 * i, _mm_loadu_ps(re + i), _mm_loadu_ps(im + i));
}

#endif

} // namespace

void radix2(float* z, int m, const StageTwiddles& tw) {
#if defined(__SSE2__)
    if (m >= 16) {
        Split& s = split;
        if (s.re.size() < static_cast<std::size_t>(m)) {
            s.re.resize(static_cast<std::size_t>(m));
            s.im.resize(static_cast<std::size_t>(m));
        }
        float* re = s.re.data();
        float* im = s.im.data();
        permute_first_spans(z, m, re, im, tw);
        int span = 4;
        // An odd count of remaining stages: one alone first.
        if ((std::countr_zero(static_cast<unsigned>(m)) - 2) % 2 != 0) {
            span_single(re, im, m, span, tw);
            span *= 2;
        }
        for (; span < m; span *= 4) span_pair(re, im, m, span, tw);
        interleave(re, im, m, z);
        return;
    }
#endif
    radix2_scalar(z, m, tw);
}

} // namespace numerics::detail
