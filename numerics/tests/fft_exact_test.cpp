// The fast transforms must give exactly the bits of the straightforward ones
// they replace: twiddle tables, several butterflies at a time and cached
// factors are allowed to change the speed, never a rounding.  The reference
// routines below are the plain textbook loops, twiddles computed where they
// are used, one butterfly at a time; every transform length the programs use
// (dfftr 4 .. 65536 points, realft 2 .. 16384 and beyond) is checked on
// random data in both directions.
#include "numerics/fft.hpp"
#include "numerics/realft.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace {

// ---- reference: the complex and real transforms of the water-level family --

// Twiddles e^{i isign pi q/M} in single precision, pi one unit in the last
// place below the single-precision value.
void reference_fft(std::vector<std::complex<float>>& z, int m, int isign) {
    int j = 0;
    for (int i = 0; i < m - 1; ++i) {
        if (i < j) std::swap(z[i], z[j]);
        int bit = m >> 1;
        while (bit >= 1 && j >= bit) {
            j -= bit;
            bit >>= 1;
        }
        j += bit;
    }
    const float sign = isign < 0 ? -1.0f : 1.0f;
    for (int span = 1; span < m; span *= 2) {
        for (int q = 0; q < span; ++q) {
            const float angle =
                sign * 3.1415925f * static_cast<float>(q) / static_cast<float>(span);
            const float wr = std::cos(angle), wi = std::sin(angle);
            for (int r = q; r < m; r += 2 * span) {
                const std::complex<float> a = z[r], b = z[r + span];
                const float tr = wr * b.real() - wi * b.imag();
                const float ti = wr * b.imag() + wi * b.real();
                z[r + span] = {a.real() - tr, a.imag() - ti};
                z[r] = {a.real() + tr, a.imag() + ti};
            }
        }
    }
}

void reference_pairs(std::vector<float>& x, int h, float sgn) {
    const float theta = sgn * 3.1415927f / static_cast<float>(h);
    for (int k = 1; k <= h / 2 - 1; ++k) {
        const int a = 2 * k, b = 2 * (h - k);
        const float sR = x[a] + x[b], dR = x[a] - x[b];
        const float sI = x[a + 1] + x[b + 1], dI = x[a + 1] - x[b + 1];
        const float angle = static_cast<float>(k) * theta;
        const float wr = std::cos(angle), wi = std::sin(angle);
        const float m = dR * wr - sI * wi;
        const float p = wr * sI + wi * dR;
        x[a] = (sR - sgn * p) / 2.0f;
        x[a + 1] = (dI + sgn * m) / 2.0f;
        x[b] = (sR + sgn * p) / 2.0f;
        x[b + 1] = (sgn * m - dI) / 2.0f;
    }
    x[h + 1] = -x[h + 1];
}

void reference_dfftr(std::vector<float>& x, int n, bool forward, float delta) {
    const int h = n / 2;
    std::vector<std::complex<float>> z(h);
    auto to_complex = [&] {
        for (int m = 0; m < h; ++m) z[m] = {x[2 * m], x[2 * m + 1]};
    };
    auto from_complex = [&] {
        for (int m = 0; m < h; ++m) {
            x[2 * m] = z[m].real();
            x[2 * m + 1] = z[m].imag();
        }
    };
    if (forward) {
        to_complex();
        reference_fft(z, h, -1);
        from_complex();
        const float a = x[0], b = x[1];
        x[0] = a + b;
        x[1] = a - b;
        reference_pairs(x, h, -1.0f);
        for (int i = 0; i < n; ++i) x[i] *= delta;
        x[n] = x[1];
        x[n + 1] = 0.0f;
        x[1] = 0.0f;
    } else {
        x[1] = x[n];
        x[n] = 0.0f;
        reference_pairs(x, h, 1.0f);
        const float a = x[0], b = x[1];
        x[0] = (a + b) / 2.0f;
        x[1] = (a - b) / 2.0f;
        to_complex();
        reference_fft(z, h, 1);
        from_complex();
        for (int i = 0; i < n; ++i) x[i] *= 2.0f * delta;
    }
}

// ---- reference: the packed family of the multitaper program -----------------

// Twiddle w = e^{i theta j} by the double-precision recurrence
// w <- w + w (-2 sin^2(theta/2) + i sin theta), rounded to single for use.
struct Recurrence {
    double wr = 1.0, wi = 0.0, wpr, wpi;
    explicit Recurrence(double theta) {
        const double s = std::sin(0.5 * theta);
        wpr = -2.0 * s * s;
        wpi = std::sin(theta);
    }
    void advance() {
        const double r = wr;
        wr = wr + (r * wpr - wi * wpi);
        wi = wi + (wi * wpr + r * wpi);
    }
};

void reference_four1(std::vector<float>& data, int nn, int isign) {
    const int n = 2 * nn;
    int j = 0;
    for (int i = 0; i < n; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        int m = nn;
        while (m >= 2 && j >= m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }
    for (int mmax = 2; mmax < n; mmax *= 2) {
        Recurrence w(6.28318530717959 / (isign * mmax));
        for (int m = 0; m < mmax; m += 2) {
            const float wr = static_cast<float>(w.wr), wi = static_cast<float>(w.wi);
            for (int i = m; i < n; i += 2 * mmax) {
                const int k = i + mmax;
                const float tr = wr * data[k] - wi * data[k + 1];
                const float ti = wr * data[k + 1] + wi * data[k];
                data[k] = data[i] - tr;
                data[k + 1] = data[i + 1] - ti;
                data[i] += tr;
                data[i + 1] += ti;
            }
            w.advance();
        }
    }
}

void reference_realft(std::vector<float>& data, int n, int isign) {
    double theta = 3.141592653589793 / static_cast<double>(n / 2);
    float c2 = -0.5f;
    if (isign == 1) {
        reference_four1(data, n / 2, 1);
    } else {
        c2 = 0.5f;
        theta = -theta;
    }
    Recurrence w(theta);
    w.advance();
    for (int k = 1; k <= n / 4 - 1; ++k) {
        const int i1 = 2 * k, i2 = i1 + 1, i3 = n - 2 * k, i4 = i3 + 1;
        const float h1r = 0.5f * (data[i1] + data[i3]);
        const float h1i = 0.5f * (data[i2] - data[i4]);
        const float h2r = -c2 * (data[i2] + data[i4]);
        const float h2i = c2 * (data[i1] - data[i3]);
        const float wr = static_cast<float>(w.wr), wi = static_cast<float>(w.wi);
        data[i1] = h1r + wr * h2r - wi * h2i;
        data[i2] = h1i + wr * h2i + wi * h2r;
        data[i3] = h1r - wr * h2r + wi * h2i;
        data[i4] = -h1i + wr * h2i + wi * h2r;
        w.advance();
    }
    const float a = data[0], b = data[1];
    if (isign == 1) {
        data[0] = a + b;
        data[1] = a - b;
    } else {
        data[0] = 0.5f * (a + b);
        data[1] = 0.5f * (a - b);
        reference_four1(data, n / 2, -1);
    }
}

// ---- the comparisons ---------------------------------------------------------

// Random samples of a few magnitudes, with exact zeros of both signs mixed in
// (their signs survive or not by the same rules on both sides).
std::vector<float> random_series(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned pick = rng() % 16;
        x[i] = pick == 0   ? 0.0f
               : pick == 1 ? -0.0f
                           : u(rng) * std::ldexp(1.0f, int(rng() % 20) - 10);
    }
    return x;
}

// Index of the first value whose bits differ, or -1.
long first_difference(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::bit_cast<std::uint32_t>(a[i]) != std::bit_cast<std::uint32_t>(b[i]))
            return static_cast<long>(i);
    return -1;
}

TEST(ExactTransforms, DfftrEveryLengthBothDirections) {
    for (int n = 4; n <= 65536; n *= 2) {
        for (bool forward : {true, false}) {
            std::vector<float> fast = random_series(n + 2, n + forward);
            std::vector<float> slow = fast;
            const float delta = forward ? 0.05f : 1.0f / static_cast<float>(n);
            numerics::dfftr(fast, n, forward ? "forward" : "inverse", delta);
            reference_dfftr(slow, n, forward, delta);
            const long at = first_difference(fast, slow);
            EXPECT_EQ(at, -1) << "n=" << n << (forward ? " forward" : " inverse") << ": value "
                              << at << " is " << fast[at] << ", not " << slow[at];
        }
    }
}

// The complex transform on its own, at every length down to a single point.
TEST(ExactTransforms, FftEveryLengthBothSigns) {
    for (int m = 1; m <= 32768; m *= 2) {
        for (int isign : {-1, 1}) {
            const std::vector<float> x = random_series(2 * m, 3 * m + isign);
            std::vector<std::complex<float>> fast(m), slow(m);
            for (int k = 0; k < m; ++k) fast[k] = slow[k] = {x[2 * k], x[2 * k + 1]};
            numerics::fft(fast, m, isign);
            reference_fft(slow, m, isign);
            for (int k = 0; k < m; ++k)
                ASSERT_TRUE(std::bit_cast<std::uint64_t>(fast[k]) ==
                            std::bit_cast<std::uint64_t>(slow[k]))
                    << "m=" << m << " isign=" << isign << " element " << k;
        }
    }
}

TEST(ExactTransforms, RealftEveryLengthBothDirections) {
    for (int n = 2; n <= 65536; n *= 2) {
        for (int isign : {1, -1}) {
            std::vector<float> fast = random_series(n, 7 * n + isign);
            std::vector<float> slow = fast;
            numerics::realft(fast, n, isign);
            reference_realft(slow, n, isign);
            const long at = first_difference(fast, slow);
            EXPECT_EQ(at, -1) << "n=" << n << " isign=" << isign << ": value " << at;
        }
    }
}

TEST(ExactTransforms, Four1EveryLengthBothSigns) {
    for (int nn = 1; nn <= 32768; nn *= 2) {
        for (int isign : {1, -1}) {
            std::vector<float> fast = random_series(2 * nn, 11 * nn + isign);
            std::vector<float> slow = fast;
            numerics::four1(fast, nn, isign);
            reference_four1(slow, nn, isign);
            const long at = first_difference(fast, slow);
            EXPECT_EQ(at, -1) << "nn=" << nn << " isign=" << isign << ": value " << at;
        }
    }
}

// Transforms of different lengths and directions interleaved, as a run of
// jobs with different windows does: tables kept between calls must not leak
// one length's factors into another.
TEST(ExactTransforms, MixedLengthsInAnyOrder) {
    for (int n : {4096, 64, 65536, 8, 4096, 2048, 16, 32768}) {
        std::vector<float> fast = random_series(n + 2, n);
        std::vector<float> slow = fast;
        numerics::dfftr(fast, n, "forward", 0.01f);
        reference_dfftr(slow, n, true, 0.01f);
        ASSERT_EQ(first_difference(fast, slow), -1) << "dfftr n=" << n;
        if (n > 16384) continue;
        std::vector<float> pfast = random_series(n, n + 1);
        std::vector<float> pslow = pfast;
        numerics::realft(pfast, n, n % 3 ? -1 : 1);
        reference_realft(pslow, n, n % 3 ? -1 : 1);
        ASSERT_EQ(first_difference(pfast, pslow), -1) << "realft n=" << n;
    }
}

} // namespace
