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

// One causal pass of the cascade over y, each section in transposed direct
// form, starting at rest.
void pass(const std::vector<Section>& sections, std::vector<double>& y) {
    for (const Section& s : sections) {
        double w1 = 0, w2 = 0;
        for (double& v : y) {
            const double x = v;
            v = s.b0 * x + w1;
            w1 = s.b1 * x - s.a1 * v + w2;
            w2 = s.b2 * x - s.a2 * v;
        }
    }
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
    std::vector<double> y(x.begin(), x.end());
    pass(sections, y);
    std::ranges::reverse(y);
    pass(sections, y);
    std::ranges::reverse(y);
    std::ranges::transform(y, x.begin(), [](double v) { return static_cast<float>(v); });
}

double amplitude(const std::vector<Section>& sections, double f, double dt) {
    const std::complex<double> z1 = std::polar(1.0, -2 * pi * f * dt); // z^-1
    std::complex<double> h = 1;
    for (const Section& s : sections)
        h *= (s.b0 + z1 * (s.b1 + z1 * s.b2)) / (1.0 + z1 * (s.a1 + z1 * s.a2));
    return std::abs(h);
}

} // namespace rfkit
