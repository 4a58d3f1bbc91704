// Vertical delay through a layer whose speed varies linearly with depth: the
// integral of the modulus of the vertical slowness over the layer, by
// trapezoid refinement with rational extrapolation to zero step.
#pragma once

#include <complex>
#include <span>

namespace synthetics {

// Parameters of the integrand (`tauval`): slowness (p, 0), depth of the layer
// top, complex speed there and the complex speed gradient per km.
struct TauStore {
    std::complex<float> p{};
    float z0 = 0.0f;
    std::complex<float> vtop{};
    std::complex<float> g{};
};
TauStore& tauval();

// |vertical slowness| at depth z of the speed vtop + (z - z0) g at slowness p.
float pslow(float z);

using Integrand = float (*)(float);

// Integral of f from a to b to relative accuracy eps; after 20 stages without
// convergence, a message and the estimate with the smallest error.
float tauint(Integrand f, float a, float b, float eps);

// Stage n (from 1, called in order) of the extended trapezoid rule; s holds
// the previous stage's estimate and receives the refined one.
void trapzd(Integrand f, float a, float b, float& s, int n);

// Value y at x of the diagonal rational function through the first n (at most
// 20) points (xa, ya), and dy, the last correction, as its error estimate.
void ratint(std::span<const float> xa, std::span<const float> ya, int n, float x, float& y,
            float& dy);

} // namespace synthetics
