// What the transform tests measure against: the discrete Fourier transform
// in double precision, and the relative rounding error of a single-precision
// result in units of the float epsilon.
//
// A radix-2 transform in single precision with correctly rounded twiddles
// has a relative rms error of about eps * log2(n): each of the log2(n)
// stages adds a rounding of its own.  The tests bound the error by a
// constant times eps * log2(n), the constant just above what the transforms
// reach, so that a twiddle off by two or three ulps in every stage fails
// (the error then grows by that much per stage) while an honest rounding
// difference does not.  A bound growing with n, as a fixed tolerance times n,
// would let such a slip through for all but the shortest transforms.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace numerics_test {

using cdouble = std::complex<double>;

inline const double float_eps = std::ldexp(1.0, -24); // half an ulp of 1.0f

// X_k = sum x_j e^{sign 2 pi i jk/n}, n a power of two, by recursive halving
// with twiddles evaluated directly (no recurrence): accurate to about 1e-15.
inline std::vector<cdouble> reference_dft(const std::vector<cdouble>& x, int sign) {
    const std::size_t n = x.size();
    if (n == 1) return x;
    std::vector<cdouble> even(n / 2), odd(n / 2);
    for (std::size_t j = 0; j < n / 2; ++j) {
        even[j] = x[2 * j];
        odd[j] = x[2 * j + 1];
    }
    const auto e = reference_dft(even, sign), o = reference_dft(odd, sign);
    std::vector<cdouble> out(n);
    for (std::size_t k = 0; k < n / 2; ++k) {
        const cdouble t = std::polar(1.0, sign * 2.0 * M_PI * double(k) / double(n)) * o[k];
        out[k] = e[k] + t;
        out[k + n / 2] = e[k] - t;
    }
    return out;
}

// ||got - want|| / ||want|| / (eps * log2 n): the relative rms error in units
// of eps per stage.
inline double error_per_stage(const std::vector<cdouble>& got, const std::vector<cdouble>& want,
                              int n) {
    double diff = 0.0, size = 0.0;
    for (std::size_t k = 0; k < want.size(); ++k) {
        diff += std::norm(got[k] - want[k]);
        size += std::norm(want[k]);
    }
    return std::sqrt(diff / size) / (float_eps * std::log2(double(n)));
}

// Reproducible samples in [-1, 1].
class Samples {
  public:
    float next() {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<float>((state_ >> 33) % 2000001) / 1e6f - 1.0f;
    }

  private:
    std::uint64_t state_ = 12345;
};

} // namespace numerics_test
