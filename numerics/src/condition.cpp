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
