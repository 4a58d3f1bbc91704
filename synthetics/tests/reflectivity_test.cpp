#include "synthetics/reflectivity.hpp"

#include "support.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace synthetics {
namespace {

using testing::cd;
using testing::direct_ratio;
using testing::Medium;

const cfloat one(1.0f, 0.0f);

void expect_near(cfloat a, cfloat b, float tol = 1e-5f) {
    EXPECT_NEAR(a.real(), b.real(), tol) << a << " vs " << b;
    EXPECT_NEAR(a.imag(), b.imag(), tol) << a << " vs " << b;
}

// A uniform layer of real speeds; delays for slowness p and thickness h.
void set_layer(int l, float vp, float vs, float rho, float h = 0.0f, float p = 0.0f) {
    ModelStore& m = model();
    m.alpha_top[l] = m.alpha_bottom[l] = vp;
    m.beta_top[l] = m.beta_bottom[l] = vs;
    m.rho_top[l] = m.rho_bottom[l] = rho;
    m.tau_p[l] = h * std::sqrt(1.0f / (vp * vp) - p * p);
    m.tau_s[l] = h * std::sqrt(1.0f / (vs * vs) - p * p);
    m.uniform[l] = 1;
}

void set_modes(int n, short mode) {
    for (int l = 1; l <= n; ++l) rfltrn().mode[l] = mode;
}

struct Out {
    cfloat o[5];
};
Out response(float f, int n) {
    Out r;
    rcvrfn(cfloat(f, 0.0f), n, r.o[0], r.o[1], r.o[2], r.o[3], r.o[4]);
    return r;
}

TEST(Vslow, Branches) {
    expect_near(vslow(4.0f, 0.0f, one), 0.25f);
    // Evanescent: -i sqrt(p^2 - 1/v^2).
    expect_near(vslow(4.0f, 0.5f, one), cfloat(0.0f, -std::sqrt(0.25f - 0.0625f)));
    // Near grazing the root is replaced by sqrt((-0.002 - 0.002i)/v) on the
    // chosen branch.
    cfloat g = vslow(4.0f, 0.25f, one);
    cfloat expected = std::sqrt(cfloat(-0.002f, -0.002f) / 4.0f);
    if (expected.imag() > 0.0f) expected = -expected;
    expect_near(g, expected);
    // A lossy speed: the wave decays downward (Im q < 0) on branch (1, 0), and
    // the opposite selector flips it.
    cfloat lossy(6.0f, 0.02f);
    EXPECT_LT(vslow(lossy, 0.05f, one).imag(), 0.0f);
    EXPECT_GT(vslow(lossy, 0.05f, -one).imag(), 0.0f);
}

TEST(Cphs, CutsOffBelowMinusTwenty) {
    EXPECT_EQ(cphs(cfloat(-20.5f, 0.0f)), cfloat(0.0f));
    expect_near(cphs(cfloat(-20.0f, 0.0f)), std::exp(-20.0f), 1e-15f);
    expect_near(cphs(cfloat(0.0f, 1.0f)), cfloat(std::cos(1.0f), std::sin(1.0f)));
}

TEST(Rcvrfn, HalfSpaceIsTheFreeSurfaceResponse) {
    set_layer(1, 6.0f, 3.5f, 2.7f);
    set_modes(1, -1);
    ifmat(0.0f, one, 1);
    const InterfaceStore& r = rfltrn();
    Out o = response(1.3f, 1);
    expect_near(o.o[0], r.W.m11);
    expect_near(o.o[4], 2.0f);
    // Vertical incidence: no horizontal P motion, no vertical SV motion, and
    // the surface doubles the up-going displacement (1/sqrt(2 rho v) for a
    // unit-energy wave).
    EXPECT_EQ(std::abs(o.o[2]), 0.0f);
    EXPECT_EQ(std::abs(o.o[1]), 0.0f);
    EXPECT_NEAR(std::abs(o.o[0]), 2.0f / std::sqrt(2.0f * 2.7f * 6.0f), 1e-6f);
    EXPECT_NEAR(std::abs(o.o[3]), 2.0f / std::sqrt(2.0f * 2.7f * 3.5f), 1e-6f);

    // Oblique incidence converts: both components move for both waves.
    ifmat(0.1f, one, 1);
    Out b = response(0.0f, 1);
    EXPECT_GT(std::abs(b.o[2]), 0.01f);
    EXPECT_GT(std::abs(b.o[1]), 0.01f);
}

// Incident P on a free half-space moves the surface along the apparent
// incidence angle 2 asin(p vs): R/Z = 2 p vs^2 qS / (1 - 2 p^2 vs^2), a
// classical result independent of the reflectivity bookkeeping.
TEST(Rcvrfn, FreeSurfaceApparentIncidence) {
    const float vp = 6.0f, vs = 3.5f, p = 0.1f;
    set_layer(1, vp, vs, 2.7f);
    ifmat(p, one, 1);
    Out o = response(0.5f, 1);
    cfloat z = cfloat(0.0f, 1.0f) * o.o[0], r = o.o[2]; // as the traces take them
    float eta = std::sqrt(1.0f / (vs * vs) - p * p);
    float expected = 2.0f * p * vs * vs * eta / (1.0f - 2.0f * p * p * vs * vs);
    expect_near(r / z, expected, 1e-5f);
    EXPECT_GT(z.real(), 0.0f); // up-going P lifts the surface
}

TEST(Ifmat, IdenticalLayersNeitherReflectNorScale) {
    set_layer(1, 6.0f, 3.5f, 2.7f, 10.0f, 0.07f);
    set_layer(2, 6.0f, 3.5f, 2.7f, 0.0f, 0.07f);
    ifmat(0.07f, one, 2);
    const InterfaceStore& r = rfltrn();
    for (const Mat2& t : {r.Tu[1], r.Td[1]}) {
        expect_near(t.m11, 1.0f), expect_near(t.m22, 1.0f);
        expect_near(t.m12, 0.0f), expect_near(t.m21, 0.0f);
    }
    for (const Mat2& x : {r.Ru[1], r.Rd[1]})
        for (cfloat v : {x.m11, x.m12, x.m21, x.m22}) expect_near(v, 0.0f);
    expect_near(r.ru[1], 0.0f), expect_near(r.rd[1], 0.0f), expect_near(r.tu[1], 1.0f);

    // The response is the half-space response delayed by the layer.
    set_modes(2, -1);
    Out layered = response(0.8f, 2);
    float w = 6.2831855f * 0.8f;
    cfloat eP = std::exp(cfloat(0.0f, -w * model().tau_p[1]));
    cfloat eS = std::exp(cfloat(0.0f, -w * model().tau_s[1]));
    expect_near(layered.o[0], r.W.m11 * eP);
    expect_near(layered.o[2], r.W.m21 * eP);
    expect_near(layered.o[3], r.W.m22 * eS);
    expect_near(layered.o[4], 2.0f * eS);
}

// With unit-energy waves an interface between lossless layers conserves
// energy: for each incident wave the squared moduli of its reflections and
// transmissions add up to 1.  A sign or normalisation slip breaks this.
TEST(Ifmat, InterfaceConservesEnergy) {
    set_layer(1, 6.3f, 3.6f, 2.8f);
    set_layer(2, 8.1f, 4.5f, 3.3f);
    ifmat(0.1f, one, 2);
    const InterfaceStore& r = rfltrn();
    auto column = [](const Mat2& a, int c) {
        return c == 0 ? std::norm(a.m11) + std::norm(a.m21) : std::norm(a.m12) + std::norm(a.m22);
    };
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(column(r.Rd[1], c) + column(r.Td[1], c), 1.0f, 1e-5f);
        EXPECT_NEAR(column(r.Ru[1], c) + column(r.Tu[1], c), 1.0f, 1e-5f);
    }
    EXPECT_NEAR(std::norm(r.rd[1]) + std::norm(r.td[1]), 1.0f, 1e-5f);
    // Transmission reciprocity.
    expect_near(r.Td[1].m12, r.Tu[1].m21);

    // Vertical incidence: the familiar impedance contrasts.
    ifmat(0.0f, one, 2);
    float z1 = 2.8f * 6.3f, z2 = 3.3f * 8.1f;
    EXPECT_NEAR(std::abs(r.Rd[1].m11), (z2 - z1) / (z2 + z1), 1e-6f);
    EXPECT_NEAR(std::abs(r.Rd[1].m12), 0.0f, 1e-7f);
}

// Reverberation modes: with all orders the layer response is the sum of the
// one-bounce series; mode 0 drops every multiple and mode 1 keeps one.
TEST(Rcvrfn, ReverberationModesTruncateTheSeries) {
    set_layer(1, 6.3f, 3.6f, 2.8f, 35.0f, 0.06f);
    set_layer(2, 8.1f, 4.5f, 3.3f, 0.0f, 0.06f);
    ifmat(0.06f, one, 2);
    const InterfaceStore& r = rfltrn();
    float f = 0.37f;
    float w = 6.2831855f * f;
    cfloat eP = std::exp(cfloat(0.0f, -w * model().tau_p[1]));
    cfloat eS = std::exp(cfloat(0.0f, -w * model().tau_s[1]));
    // SH by hand: x = t' / (1 - r' rF) with t' = eS tu, r' = eS^2 rd.
    cfloat tp = eS * r.tu[1], rp = eS * eS * r.rd[1];
    set_modes(2, 0);
    expect_near(response(f, 2).o[4], 2.0f * tp);
    set_modes(2, 1);
    expect_near(response(f, 2).o[4], 2.0f * (1.0f + rp) * tp);
    set_modes(2, -1);
    expect_near(response(f, 2).o[4], 2.0f * tp / (1.0f - rp));
    // P-SV, mode 0: W times the phase-shifted transmission.
    set_modes(2, 0);
    Out o = response(f, 2);
    const Mat2& T = r.Tu[1];
    expect_near(o.o[0], r.W.m11 * eP * T.m11 + r.W.m12 * eS * T.m21);
    expect_near(o.o[2], r.W.m21 * eP * T.m11 + r.W.m22 * eS * T.m21);
}

// The layer recursion with every reverberation reproduces the directly solved
// surface motion, multiples and conversions included, for both incident waves.
// Regression: the vertical of incident SV taken as o2 had the wrong sign
// against its radial (the traces take -o2 and i o4).
TEST(Rcvrfn, LayerOverHalfSpaceMatchesDirectSolution) {
    const Medium crust{6.3, 3.6, 2.8}, mantle{8.1, 4.5, 3.3};
    const float H = 35.0f, p = 0.06f;
    set_layer(1, 6.3f, 3.6f, 2.8f, H, p);
    set_layer(2, 8.1f, 4.5f, 3.3f, 0.0f, p);
    set_modes(2, -1);
    ifmat(p, one, 2);
    const cfloat I(0.0f, 1.0f);
    for (float f : {0.05f, 0.3f, 0.77f, 1.5f, 3.1f}) {
        Out o = response(f, 2);
        cd rp = cd(o.o[2] / (I * o.o[0]));
        cd rs = cd((I * o.o[3]) / -o.o[1]);
        cd ep = direct_ratio(crust, H, mantle, p, f, 0);
        cd es = direct_ratio(crust, H, mantle, p, f, 1);
        EXPECT_LT(std::abs(rp - ep), 2e-3 * std::abs(ep)) << f << " " << rp << " " << ep;
        EXPECT_LT(std::abs(rs - es), 2e-3 * std::abs(es)) << f << " " << rs << " " << es;
    }
}

} // namespace
} // namespace synthetics
