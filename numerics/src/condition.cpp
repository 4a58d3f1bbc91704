// Conditioning of sampled series: mean and trend removal, clearing, the
// cosine taper and Wiggins' interpolation.  Arithmetic is single precision
// in index order throughout.
#include "numerics/condition.hpp"

#include "numerics/constants.hpp"
#include "traceio/textutil.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace numerics {

namespace {

// x(i) for 1-based i; zero outside the span.
float sample(std::span<const float> x, long i) {
    return i >= 1 && i <= static_cast<long>(x.size()) ? x[i - 1] : 0.0f;
}

} // namespace

void demean(std::span<float> x, int n) {
    if (n <= 0) return;
    const std::size_t have = std::min<std::size_t>(n, x.size());
    float sum = 0.0f;
    for (std::size_t j = 0; j < have; ++j) sum += x[j];
    const float mean = sum / static_cast<float>(n);
    for (std::size_t j = 0; j < have; ++j) x[j] -= mean;
}

void dtrend(std::span<float> x, int n) {
    if (n <= 0) return;
    const std::size_t have = std::min<std::size_t>(n, x.size());
    const float b = static_cast<float>(n + 1) / 2.0f;
    float sxy = 0.0f, sxx = 0.0f;
    for (int j = 1; j <= n; ++j) {
        const float d = static_cast<float>(j) - b;
        sxy += d * sample(x, j);
        sxx += d * d;
    }
    // A single sample has no slope: sxx is 0 and the sample turns into NaN.
    const float a = sxy / sxx;
    for (std::size_t j = 1; j <= have; ++j) x[j - 1] -= (static_cast<float>(j) - b) * a;
}

void zero(std::span<float> x, int first, int count) {
    if (count <= 0) return;
    const std::int64_t lo = std::max<std::int64_t>(first, 1);
    const std::int64_t hi = std::min<std::int64_t>(std::int64_t{first} + count - 1,
                                                   static_cast<std::int64_t>(x.size()));
    for (std::int64_t i = lo; i <= hi; ++i) x[i - 1] = 0.0f;
}

void window(float len, int n, float dt, std::span<float> x) {
    const long have = std::min<long>(n, static_cast<long>(x.size()));
    if (have <= 0) return;
    const float q = len / dt;
    if (!(q >= -0.5f)) return; // negative or not a number: no taper
    // m = nint(len/dt).  A taper longer than the series is cut at its other
    // end: the loop stops at i = n - 1, so only x(1..n) are touched.
    const long m = q >= static_cast<float>(n) ? n - 1 : std::lround(q);
    for (long i = 0; i <= std::min<long>(m, n - 1); ++i) {
        // The bell starts at exactly 0: cos(pi) rounds to -1 for this pi, and
        // the short cut also spares a zero length its 0 * infinity.
        const float w =
            i == 0 ? 0.0f
                   : (std::cos(static_cast<float>(i) * dt * (pi_f_low / len) + pi_f_low) + 1.0f) *
                         0.5f;
        if (i + 1 <= have) x[i] *= w;
        if (n - i <= have) x[n - i - 1] *= w;
    }
}

namespace {

// Slope weight 1/max(|s|, eps); a slope that is not a number weighs as eps.
float weight(float s, float eps) {
    float a = std::fabs(s);
    if (!(a > eps)) a = eps;
    return 1.0f / a;
}

// Interval width, raised to 1e-6 when smaller or not a number.
float width(float w) {
    return w >= 1.0e-6f ? w : 1.0e-6f;
}

// Cubic Hermite value on an interval [L, L+1] of width e at distance f from
// its left end, with neighbours' slopes m (left) and o (right).
float hermite(float g, float h, float f, float e, float m, float o, float eps) {
    const float c = f - e;
    const float l = (h - g) / e;
    const float wm = weight(m, eps), wl = weight(l, eps), wo = weight(o, eps);
    const float dl = (m * wm + l * wl) / (wm + wl);
    const float dr = (o * wo + l * wl) / (wo + wl);
    // The squares and the cube are formed first and used as whole factors,
    // so each term rounds as the Hermite form is written.
    const float c2 = c * c, f2 = f * f, e2 = e * e, e3 = e2 * e;
    return (c2 / e2 + 2.0f * f * c2 / e3) * g + (f2 / e2 - 2.0f * c * f2 / e3) * h +
           dl * f * c2 / e2 + dr * f2 * c / e2;
}

#if defined(__SSE2__)
// weight() on four lanes.
__m128 weight4(__m128 s, __m128 eps) {
    const __m128 a = _mm_andnot_ps(_mm_set1_ps(-0.0f), s);
    const __m128 big = _mm_cmpgt_ps(a, eps); // false for NaN, as !(a > eps)
    return _mm_div_ps(_mm_set1_ps(1.0f), _mm_or_ps(_mm_and_ps(big, a), _mm_andnot_ps(big, eps)));
}

// hermite() on four lanes, operation for operation in the same order.
__m128 hermite4(__m128 g, __m128 h, __m128 f, __m128 e, __m128 m, __m128 o, __m128 eps) {
    const __m128 c = _mm_sub_ps(f, e);
    const __m128 l = _mm_div_ps(_mm_sub_ps(h, g), e);
    const __m128 wm = weight4(m, eps), wl = weight4(l, eps), wo = weight4(o, eps);
    const __m128 lwl = _mm_mul_ps(l, wl);
    const __m128 dl = _mm_div_ps(_mm_add_ps(_mm_mul_ps(m, wm), lwl), _mm_add_ps(wm, wl));
    const __m128 dr = _mm_div_ps(_mm_add_ps(_mm_mul_ps(o, wo), lwl), _mm_add_ps(wo, wl));
    const __m128 c2 = _mm_mul_ps(c, c), f2 = _mm_mul_ps(f, f), e2 = _mm_mul_ps(e, e);
    const __m128 e3 = _mm_mul_ps(e2, e), two = _mm_set1_ps(2.0f);
    const __m128 a =
        _mm_add_ps(_mm_div_ps(c2, e2), _mm_div_ps(_mm_mul_ps(_mm_mul_ps(two, f), c2), e3));
    const __m128 b =
        _mm_sub_ps(_mm_div_ps(f2, e2), _mm_div_ps(_mm_mul_ps(_mm_mul_ps(two, c), f2), e3));
    const __m128 left = _mm_div_ps(_mm_mul_ps(_mm_mul_ps(dl, f), c2), e2);
    const __m128 right = _mm_div_ps(_mm_mul_ps(_mm_mul_ps(dr, f2), c), e2);
    return _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(a, g), _mm_mul_ps(b, h)), left), right);
}
#endif

} // namespace

float wigint(float x1, std::span<const float> y, int n, float dx, float epsi, float t) {
    const float eps = epsi > 0.0f ? epsi : 1.0e-4f;
    const float q = (t - x1) / dx;
    if (std::isnan(q)) return std::numeric_limits<float>::quiet_NaN();
    // Samples before the first and past the last count as zero, and the
    // formulas below apply as they stand.  Three intervals or more before the
    // first sample every value and slope they use is zero, as it is far past
    // the data: the answer there is zero without forming an index.
    if (q <= -4.0f || q >= 2.0e9f) return 0.0f;
    // The interval that holds t: the floor of its position, so that a time
    // within one interval before the first sample lies between the zero
    // before it and the first sample.  Truncation towards zero would put it
    // on the first interval's cubic extended backwards, with a jump at one
    // interval before the start.  For t at or after the first sample the two
    // agree.
    const long j = static_cast<long>(std::floor(q));
    const float f = (t - x1) - static_cast<float>(j) * dx;
    if (f == 0.0f) return sample(y, j + 1);
    const long L = j + 1;
    const float g = sample(y, L), h = sample(y, L + 1);
    const float e = dx;
    const float l = (h - g) / e;
    const float m = L < 2 ? l : (g - sample(y, L - 1)) / dx;
    const float o = L + 1 >= n ? l : (sample(y, L + 2) - h) / dx;
    return hermite(g, h, f, e, m, o, eps);
}

#if defined(__SSE2__)
namespace {

// wigint() at four times t[0..3] into out[0..3], when all four lie at least
// one interval after the first sample and two before the end of y, where
// every neighbour exists: the position, its floor (truncation, one less
// where that rounded up), the offset and the cubic run on four lanes, and
// the neighbours come as one row of four samples per time.  Returns false,
// with nothing written, when a time lies elsewhere or is not a number.
bool wigint_inside(float x1, std::span<const float> y, int n, float dx, float eps, const float* t,
                   float* out) {
    const __m128 e = _mm_set1_ps(dx);
    const __m128 d = _mm_sub_ps(_mm_loadu_ps(t), _mm_set1_ps(x1));
    const __m128 q = _mm_div_ps(d, e);
    // -4 < q < 2e9 (false for NaN); the truncation then fits an int.
    const __m128 valid =
        _mm_and_ps(_mm_cmpgt_ps(q, _mm_set1_ps(-4.0f)), _mm_cmplt_ps(q, _mm_set1_ps(2.0e9f)));
    if (_mm_movemask_ps(valid) != 0xf) return false;
    __m128i j = _mm_cvttps_epi32(q);
    j = _mm_add_epi32(j, _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(j), q)));
    alignas(16) std::int32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), j);
    const long size = static_cast<long>(y.size());
    for (std::int32_t jk : at)
        if (jk < 1 || jk + 2L >= size) return false;
    __m128 row[4]; // y(L-1), y(L), y(L+1), y(L+2) with L = j + 1, 1-based
    for (int k = 0; k < 4; ++k) row[k] = _mm_loadu_ps(y.data() + at[k] - 1);
    _MM_TRANSPOSE4_PS(row[0], row[1], row[2], row[3]);
    const __m128 before = row[0], g = row[1], h = row[2], after = row[3];
    const __m128 f = _mm_sub_ps(d, _mm_mul_ps(_mm_cvtepi32_ps(j), e));
    const __m128 l = _mm_div_ps(_mm_sub_ps(h, g), e);
    const __m128 m = _mm_div_ps(_mm_sub_ps(g, before), e); // L >= 2 here
    const __m128 at_last = _mm_castsi128_ps(
        _mm_cmpgt_epi32(_mm_add_epi32(j, _mm_set1_epi32(2)), _mm_set1_epi32(n - 1)));
    const __m128 o = _mm_or_ps(_mm_and_ps(at_last, l),
                               _mm_andnot_ps(at_last, _mm_div_ps(_mm_sub_ps(after, h), e)));
    const __m128 r = hermite4(g, h, f, e, m, o, _mm_set1_ps(eps));
    const __m128 on_sample = _mm_cmpeq_ps(f, _mm_setzero_ps());
    _mm_storeu_ps(out, _mm_or_ps(_mm_and_ps(on_sample, g), _mm_andnot_ps(on_sample, r)));
    return true;
}

} // namespace
#endif

void wigint(float x1, std::span<const float> y, int n, float dx, float epsi,
            std::span<const float> t, std::span<float> out) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Four times at once where all their neighbours exist; the others (near
    // or past the ends, not numbers) one at a time.  out may be t: each
    // group of times is read before its values are written.
    const float eps = epsi > 0.0f ? epsi : 1.0e-4f;
    for (; i + 4 <= t.size(); i += 4) {
        if (wigint_inside(x1, y, n, dx, eps, t.data() + i, out.data() + i)) continue;
        for (std::size_t k = i; k < i + 4; ++k) out[k] = wigint(x1, y, n, dx, epsi, t[k]);
    }
#endif
    for (; i < t.size(); ++i) out[i] = wigint(x1, y, n, dx, epsi, t[i]);
}

float wigint(std::span<const float> x, std::span<const float> y, int n, float epsi, float t) {
    const float eps = epsi > 0.0f ? epsi : 1.0e-4f;
    // Only abscissas that exist take part.
    const long np = std::min<long>(n, static_cast<long>(x.size()));
    if (np < 1) return 0.0f;
    if (np == 1) return sample(y, 1); // one point: the series is that value
    long lo = 1, hi = np;
    for (long round = 0; hi - lo > 1 && round < np; ++round) {
        const long mid = (lo + hi) / 2;
        if (x[mid - 1] == t) return sample(y, mid);
        if (x[mid - 1] > t)
            hi = mid;
        else
            lo = mid;
    }
    const long L = hi - 1;
    const float f = t - x[L - 1];
    if (f == 0.0f) return sample(y, L);
    const float e = width(x[L] - x[L - 1]);
    const float g = sample(y, L), h = sample(y, L + 1);
    const float l = (h - g) / e;
    const float m = L < 2 ? l : (g - sample(y, L - 1)) / width(x[L - 1] - x[L - 2]);
    const float o = L + 1 >= np ? l : (sample(y, L + 2) - h) / width(x[L + 1] - x[L]);
    return hermite(g, h, f, e, m, o, eps);
}

int nbl(std::string_view s) {
    return std::max(static_cast<int>(traceio::trimmed(s).size()), 1);
}

} // namespace numerics
