// Four-lane helpers for the numerical kernels: SSE2, part of
// every x86-64 processor.  Only loads, stores and lane moves live here; the
// arithmetic is written out where it is used, lane for lane the scalar
// formula, so that every lane rounds as the scalar code does.
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

namespace numerics::simd {

// Four complex values at z (8 floats) split into real and imaginary parts.
inline void load_split(const float* z, __m128& re, __m128& im) {
    const __m128 lo = _mm_loadu_ps(z), hi = _mm_loadu_ps(z + 4);
    re = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
    im = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
}

// The inverse of load_split.
inline void store_interleaved(float* z, __m128 re, __m128 im) {
    _mm_storeu_ps(z, _mm_unpacklo_ps(re, im));
    _mm_storeu_ps(z + 4, _mm_unpackhi_ps(re, im));
}

// Lanes in the opposite order.
inline __m128 reversed(__m128 x) {
    return _mm_shuffle_ps(x, x, _MM_SHUFFLE(0, 1, 2, 3));
}

// -x, as the scalar negation: the sign bit flipped.
inline __m128 negated(__m128 x) {
    return _mm_xor_ps(x, _mm_set1_ps(-0.0f));
}

} // namespace numerics::simd

#endif
