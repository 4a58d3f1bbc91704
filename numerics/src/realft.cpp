// Packed real FFT: a complex transform of n/2 points, then the separation of
// the even- and odd-indexed samples' transforms.  Twiddles come from a
// double-precision recurrence (accurate up to n = 16384) and are rounded to
// single precision for the butterflies; the data stay single precision.
#include "numerics/realft.hpp"
#include "numerics/constants.hpp"

#include "pow2.hpp"

#include <cmath>
#include <stdexcept>
#include <utility>

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

} // namespace

void four1(std::span<float> data, int nn, int isign) {
    if (!power_of_two(nn) || data.size() < 2 * static_cast<std::size_t>(nn))
        throw std::invalid_argument("four1: length is not a power of two within the array");
    const int n = 2 * nn; // counted in floats
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
    const double sign = isign < 0 ? -1.0 : 1.0;
    for (int mmax = 2; mmax < n; mmax *= 2) {
        const int istep = 2 * mmax;
        Twiddle w(two_pi_d14 / (sign * mmax));
        for (int m = 0; m < mmax; m += 2) {
            const float wr = w.re(), wi = w.im();
            for (int i = m; i < n; i += istep) {
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

void realft(std::span<float> data, int n, int isign) {
    if (n < 2 || !power_of_two(n) || data.size() < static_cast<std::size_t>(n))
        throw std::invalid_argument("realft: length is not a power of two >= 2 within the array");
    const bool forward = isign == 1;
    double theta = pi_d / static_cast<double>(n / 2);
    // h2 = -1/2 i (F_k - conj F_j) forwards, +1/2 i (G_k - conj G_j) backwards.
    float c2 = -0.5f;
    if (forward) {
        four1(data, n / 2, 1);
    } else {
        c2 = 0.5f;
        theta = -theta;
    }
    Twiddle w(theta);
    w.advance(); // start at e^{i theta}
    for (int k = 1; k <= n / 4 - 1; ++k) {
        const int i1 = 2 * k, i2 = i1 + 1;     // element k
        const int i3 = n - 2 * k, i4 = i3 + 1; // element n/2 - k
        const float h1r = 0.5f * (data[i1] + data[i3]);
        const float h1i = 0.5f * (data[i2] - data[i4]);
        const float h2r = -c2 * (data[i2] + data[i4]);
        const float h2i = c2 * (data[i1] - data[i3]);
        const float wr = w.re(), wi = w.im();
        // H_k = h1 + w h2 and H_{n/2-k} = conj(h1 - w h2), each part summed
        // term by term from the left (h1, then the two twiddle products).
        data[i1] = h1r + wr * h2r - wi * h2i;
        data[i2] = h1i + wr * h2i + wi * h2r;
        data[i3] = h1r - wr * h2r + wi * h2i;
        data[i4] = -h1i + wr * h2i + wi * h2r;
        w.advance();
    }
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
