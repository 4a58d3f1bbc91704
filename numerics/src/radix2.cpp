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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Bit-reversal permutation of the interleaved input into the split parts.
void permute_split(const float* z, int m, float* re, float* im) {
    for (int i = 0, j = 0; i < m; ++i) {
        re[i] = z[2 * j];
        im[i] = z[2 * j + 1];
        int bit = m >> 1;
        while (bit >= 1 && (j & bit) != 0) {
            j ^= bit;
            bit >>= 1;
        }
        j |= bit;
    }
}

// Span 1: elements 2k and 2k+1 pair up; eight elements make four butterflies
// once the even and odd ones are gathered into separate registers.
void span_one(float* re, float* im, int m, const StageTwiddles& tw) {
    const __m128 wr = _mm_set1_ps(tw.re[1]), wi = _mm_set1_ps(tw.im[1]);
    for (int i = 0; i < m; i += 8) {
        const __m128 r0 = _mm_loadu_ps(re + i), r1 = _mm_loadu_ps(re + i + 4);
        const __m128 i0 = _mm_loadu_ps(im + i), i1 = _mm_loadu_ps(im + i + 4);
        __m128 ar = _mm_shuffle_ps(r0, r1, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 br = _mm_shuffle_ps(r0, r1, _MM_SHUFFLE(3, 1, 3, 1));
        __m128 ai = _mm_shuffle_ps(i0, i1, _MM_SHUFFLE(2, 0, 2, 0));
        __m128 bi = _mm_shuffle_ps(i0, i1, _MM_SHUFFLE(3, 1, 3, 1));
        butterfly(ar, ai, br, bi, wr, wi);
        _mm_storeu_ps(re + i, _mm_unpacklo_ps(ar, br));
        _mm_storeu_ps(re + i + 4, _mm_unpackhi_ps(ar, br));
        _mm_storeu_ps(im + i, _mm_unpacklo_ps(ai, bi));
        _mm_storeu_ps(im + i + 4, _mm_unpackhi_ps(ai, bi));
    }
}

// Span 2: elements 4k, 4k+1 pair with 4k+2, 4k+3 (factors q = 0, 1).
void span_two(float* re, float* im, int m, const StageTwiddles& tw) {
    const __m128 wr = _mm_setr_ps(tw.re[2], tw.re[3], tw.re[2], tw.re[3]);
    const __m128 wi = _mm_setr_ps(tw.im[2], tw.im[3], tw.im[2], tw.im[3]);
    for (int i = 0; i < m; i += 8) {
        const __m128 r0 = _mm_loadu_ps(re + i), r1 = _mm_loadu_ps(re + i + 4);
        const __m128 i0 = _mm_loadu_ps(im + i), i1 = _mm_loadu_ps(im + i + 4);
        __m128 ar = _mm_movelh_ps(r0, r1), br = _mm_movehl_ps(r1, r0);
        __m128 ai = _mm_movelh_ps(i0, i1), bi = _mm_movehl_ps(i1, i0);
        butterfly(ar, ai, br, bi, wr, wi);
        _mm_storeu_ps(re + i, _mm_movelh_ps(ar, br));
        _mm_storeu_ps(re + i + 4, _mm_movehl_ps(br, ar));
        _mm_storeu_ps(im + i, _mm_movelh_ps(ai, bi));
        _mm_storeu_ps(im + i + 4, _mm_movehl_ps(bi, ai));
    }
}

// Spans of 4 and more: four neighbouring factors q .. q+3 at once.
void span_wide(float* re, float* im, int m, int span, const StageTwiddles& tw) {
    const float* twr = tw.re.data() + span;
    const float* twi = tw.im.data() + span;
    for (int r = 0; r < m; r += 2 * span) {
        float* ar_p = re + r;
        float* ai_p = im + r;
        float* br_p = re + r + span;
        float* bi_p = im + r + span;
        for (int q = 0; q < span; q += 4) {
            __m128 ar = _mm_loadu_ps(ar_p + q), ai = _mm_loadu_ps(ai_p + q);
            __m128 br = _mm_loadu_ps(br_p + q), bi = _mm_loadu_ps(bi_p + q);
            butterfly(ar, ai, br, bi, _mm_loadu_ps(twr + q), _mm_loadu_ps(twi + q));
            _mm_storeu_ps(ar_p + q, ar);
            _mm_storeu_ps(ai_p + q, ai);
            _mm_storeu_ps(br_p + q, br);
            _mm_storeu_ps(bi_p + q, bi);
        }
    }
}

// The split parts interleaved back into z.
void interleave(const float* re, const float* im, int m, float* z) {
    for (int i = 0; i < m; i += 4) {
        const __m128 r = _mm_loadu_ps(re + i), s = _mm_loadu_ps(im + i);
        _mm_storeu_ps(z + 2 * i, _mm_unpacklo_ps(r, s));
        _mm_storeu_ps(z + 2 * i + 4, _mm_unpackhi_ps(r, s));
    }
}

#endif

} // namespace

void radix2(float* z, int m, const StageTwiddles& tw) {
#if defined(__SSE2__)
    if (m >= 8) {
        Split& s = split;
        if (s.re.size() < static_cast<std::size_t>(m)) {
            s.re.resize(static_cast<std::size_t>(m));
            s.im.resize(static_cast<std::size_t>(m));
        }
        float* re = s.re.data();
        float* im = s.im.data();
        permute_split(z, m, re, im);
        span_one(re, im, m, tw);
        span_two(re, im, m, tw);
        for (int span = 4; span < m; span *= 2) span_wide(re, im, m, span, tw);
        interleave(re, im, m, z);
        return;
    }
#endif
    radix2_scalar(z, m, tw);
}

} // namespace numerics::detail
