// Plane-wave response of a stack of viscoelastic layers over a half-space by
// matrix reflectivity: interface reflection and transmission matrices between
// energy-normalised up- and down-going P-SV waves (2x2) and SH waves
// (scalars), assembled from the bottom up with a selectable number of
// reverberations per layer and closed by the free surface.
//
// Layers are numbered from 1 (top) to n (the half-space); interface k is the
// base of layer k.  The stores are indexed by those numbers (slot 0 unused).
#pragma once

#include <array>
#include <complex>

namespace synthetics {

using cfloat = std::complex<float>;

inline constexpr int max_layers = 100;

// A 2x2 complex matrix acting on a column of (P, SV) amplitudes.
struct Mat2 {
    cfloat m11, m12, m21, m22;
};

// Complex speeds, densities and vertical delays of the layers (`model`),
// filled by the driver before `ifmat`.
struct ModelStore {
    std::array<cfloat, max_layers + 1> alpha_top{}, alpha_bottom{}; // P speeds
    std::array<cfloat, max_layers + 1> beta_top{}, beta_bottom{};   // S speeds
    std::array<float, max_layers + 1> rho_top{}, rho_bottom{};      // densities
    std::array<float, max_layers + 1> tau_p{}, tau_s{};             // vertical delays (s)
    std::array<int, max_layers + 1> uniform{};                      // 1: no gradient
};
ModelStore& model();

// Interface and free-surface coefficients (`rfltrn`), written by `ifmat`.
struct InterfaceStore {
    // P-SV of interface k: Ru reflects an up-going wave back down, Rd a
    // down-going one back up; Tu, Td transmit upward and downward.
    std::array<Mat2, max_layers> Ru{}, Rd{}, Tu{}, Td{};
    std::array<cfloat, max_layers> ru{}, rd{}, tu{}, td{}; // SH
    Mat2 RF{};                                             // free-surface reflection
    cfloat rF{};
    Mat2 W{}; // surface displacement (vertical row 1, radial row 2) per up-going wave
    cfloat wF{};
    // Reverberations kept in layer l: -1 all orders, 1 one, 0 none.
    std::array<short, max_layers + 1> mode{};
};
InterfaceStore& rfltrn();

// Vertical slowness of complex speed v at slowness p on the branch chosen by
// s: with s = (1, 0), Im q <= 0 (q > 0 propagating, -i|q| evanescent).
cfloat vslow(cfloat v, cfloat p, cfloat s);

// exp(z), or 0 when Re z < -20.
cfloat cphs(cfloat z);

// Fills the interface and free-surface coefficients of the n layers in the
// model store for slowness p and branch selector s.
void ifmat(cfloat p, cfloat s, int n);

// Surface response at complex frequency f (Hz) for the slowness of the last
// ifmat: o1, o3 vertical and radial for incident P; o2, o4 for incident SV;
// o5 the SH displacement.
void rcvrfn(cfloat f, int n, cfloat& o1, cfloat& o2, cfloat& o3, cfloat& o4, cfloat& o5);

} // namespace synthetics
