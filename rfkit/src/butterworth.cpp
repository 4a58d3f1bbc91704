// Butterworth design by the bilinear transform and zero-phase filtering
// (conventions in butterworth.hpp).  The analogue prototype, normalised to a
// corner of 1 rad/s, is the product of the factors s^2 + 2 sin(theta_k) s + 1,
// theta_k = (2k + 1) pi / (2 order), and of s + 1 for an odd order.
#include "rfkit/butterworth.hpp"

#include <algorithm>
#include <cmath>
#include <complex>

namespace rfkit {

namespace {

constexpr double pi = 3.14159265358979323846;

// Damping terms 2 sin(theta_k) of the prototype's quadratic factors.
std::vector<double> dampings(int order) {
    std::vector<double> c;
    for (int k = 0; k < order / 2; ++k) c.push_back(2 * std::sin((2 * k + 1) * pi / (2 * order)));
    return c;
}

// s -> (1/K)(1 - z^-1)/(1 + z^-1) maps the prototype's corner to fc.
std::vector<Section> design(int order, double fc, double dt, bool high) {
    const double k = std::tan(pi * fc * dt), k2 = k * k;
    std::vector<Section> out;
    for (double c : dampings(order)) {
        const double norm = 1 + c * k + k2;
        const double a1 = 2 * (k2 - 1) / norm, a2 = (1 - c * k + k2) / norm;
        if (high)
            out.push_back({1 / norm, -2 / norm, 1 / norm, a1, a2});
        else
            out.push_back({k2 / norm, 2 * k2 / norm, k2 / norm, a1, a2});
    }
    if (order % 2 == 1) {
        const double a1 = (k - 1) / (k + 1);
        if (high)
            out.push_back({1 / (1 + k), -1 / (1 + k), 0, a1, 0});
        else
            out.push_back({k / (1 + k), k / (1 + k), 0, a1, 0});
    }
    return out;
}

// One causal pass of the cascade over traces stored side by side (sample i
// of trace c at y[i * lanes + c]), each section in transposed direct form,
// starting at rest; backward runs from the last sample to the first.  Every
// trace gets the arithmetic it would get alone; running side by side only
// lets their recursions overlap in time.
template <std::size_t lanes>
void pass(const std::vector<Section>& sections, std::vector<double>& y, bool backward) {
    const std::size_t n = y.size() / lanes;
    for (const Section& s : sections) {
        double w1[lanes] = {}, w2[lanes] = {};
        for (std::size_t k = 0; k < n; ++k) {
            double* v = &y[(backward ? n - 1 - k : k) * lanes];
            for (std::size_t c = 0; c < lanes; ++c) {
                const double x = v[c];
                const double out = s.b0 * x + w1[c];
                w1[c] = s.b1 * x - s.a1 * out + w2[c];
                w2[c] = s.b2 * x - s.a2 * out;
                v[c] = out;
            }
        }
    }
}

template <std::size_t lanes>
void filter_together(const std::vector<Section>& sections, std::span<const std::span<float>> x) {
    const std::size_t n = x[0].size();
    std::vector<double> y(n * lanes);
    for (std::size_t c = 0; c < lanes; ++c)
        for (std::size_t i = 0; i < n; ++i) y[i * lanes + c] = x[c][i];
    pass<lanes>(sections, y, false);
    pass<lanes>(sections, y, true);
    for (std::size_t c = 0; c < lanes; ++c)
        for (std::size_t i = 0; i < n; ++i) x[c][i] = static_cast<float>(y[i * lanes + c]);
}

} // namespace

std::vector<Section> butterworth_lowpass(int order, double fc, double dt) {
    return design(order, fc, dt, false);
}

std::vector<Section> butterworth_highpass(int order, double fc, double dt) {
    return design(order, fc, dt, true);
}

std::vector<Section> butterworth_bandpass(int order, double f1, double f2, double dt) {
    std::vector<Section> out;
    if (f1 > 0) out = butterworth_highpass(order, f1, dt);
    const std::vector<Section> low = butterworth_lowpass(order, f2, dt);
    out.insert(out.end(), low.begin(), low.end());
    return out;
}

void filter_zero_phase(const std::vector<Section>& sections, std::span<float> x) {
    const std::span<float> one[] = {x};
    filter_zero_phase(sections, one);
}

void filter_zero_phase(const std::vector<Section>& sections, std::span<const std::span<float>> x) {
    const bool one_length =
        std::ranges::all_of(x, [&](std::span<float> t) { return t.size() == x[0].size(); });
    if (!one_length) {
        for (std::span<float> t : x) filter_zero_phase(sections, t);
        return;
    }
    std::size_t c = 0;
    for (; c + 3 <= x.size(); c += 3) filter_together<3>(sections, x.subspan(c, 3));
    if (x.size() - c == 2) filter_together<2>(sections, x.subspan(c, 2));
    if (x.size() - c == 1) filter_together<1>(sections, x.subspan(c, 1));
}

double amplitude(const std::vector<Section>& sections, double f, double dt) {
    const std::complex<double> z1 = std::polar(1.0, -2 * pi * f * dt); // z^-1
    std::complex<double> h = 1;
    for (const Section& s : sections)
        h *= (s.b0 + z1 * (s.b1 + z1 * s.b2)) / (1.0 + z1 * (s.a1 + z1 * s.a2));
    return std::abs(h);
}

} // namespace rfkit
