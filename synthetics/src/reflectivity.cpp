// Interface coefficients and the layer recursion of the reflectivity response.
#include "synthetics/reflectivity.hpp"

#include "numerics/constants.hpp"

#include <cmath>

namespace synthetics {
namespace {

using cdouble = std::complex<double>;
const cfloat I{0.0f, 1.0f};
constexpr Mat2 identity{1.0f, 0.0f, 0.0f, 1.0f};

ModelStore model_store;
InterfaceStore interface_store;

Mat2 operator*(const Mat2& a, const Mat2& b) {
    return {a.m11 * b.m11 + a.m12 * b.m21, a.m11 * b.m12 + a.m12 * b.m22,
            a.m21 * b.m11 + a.m22 * b.m21, a.m21 * b.m12 + a.m22 * b.m22};
}
Mat2 operator+(const Mat2& a, const Mat2& b) {
    return {a.m11 + b.m11, a.m12 + b.m12, a.m21 + b.m21, a.m22 + b.m22};
}
Mat2 operator-(const Mat2& a, const Mat2& b) {
    return {a.m11 - b.m11, a.m12 - b.m12, a.m21 - b.m21, a.m22 - b.m22};
}
Mat2 operator-(const Mat2& a) {
    return {-a.m11, -a.m12, -a.m21, -a.m22};
}
Mat2 scaled(cfloat s, const Mat2& a) {
    return {s * a.m11, s * a.m12, s * a.m21, s * a.m22};
}
Mat2 transposed(const Mat2& a) {
    return {a.m11, a.m21, a.m12, a.m22};
}

// Inverse through the determinant; the divisions by it are done in double
// precision to keep near-singular reverberation operators accurate.
Mat2 inverse(const Mat2& a) {
    cdouble det(a.m11 * a.m22 - a.m21 * a.m12);
    auto div = [&](cfloat x) { return cfloat(cdouble(x) / det); };
    return {div(a.m22), div(-a.m12), div(-a.m21), div(a.m11)};
}

// Displacement and traction of unit-energy P and SV waves on one side of an
// interface: P_D = (a, c, e, g), S_D = (b, d, f, h); Z is the SH impedance.
struct Side {
    cfloat a, b, c, d, e, f, g, h, Z;
};

Side side(cfloat alpha, cfloat beta, float rho, cfloat p, cfloat s) {
    cfloat xi = vslow(alpha, p, s);
    cfloat eta = vslow(beta, p, s);
    // Squares first: mu = rho beta^2 and B = 2 mu p^2 - rho.
    cfloat mu = rho * (beta * beta);
    cfloat B = 2.0f * mu * (p * p) - rho;
    cfloat nP = 1.0f / std::sqrt(2.0f * rho * xi);
    cfloat nS = 1.0f / std::sqrt(2.0f * rho * eta);
    Side w;
    w.a = I * xi * nP;
    w.c = p * nP;
    w.e = B * nP;
    w.g = 2.0f * mu * p * I * xi * nP;
    w.b = p * nS;
    w.d = I * eta * nS;
    w.f = 2.0f * mu * p * I * eta * nS;
    w.h = B * nS;
    w.Z = mu * eta;
    return w;
}

using Wave = std::array<cfloat, 4>; // vertical, horizontal, normal and shear traction

Wave p_down(const Side& w) {
    return {w.a, w.c, w.e, w.g};
}
Wave s_down(const Side& w) {
    return {w.b, w.d, w.f, w.h};
}
Wave p_up(const Side& w) {
    return {-w.a, w.c, w.e, -w.g};
}
Wave s_up(const Side& w) {
    return {w.b, -w.d, -w.f, w.h};
}

// The propagator invariant <x, y> of two wave vectors.
cfloat bracket(const Wave& x, const Wave& y) {
    return x[0] * y[2] - x[2] * y[0] + x[1] * y[3] - x[3] * y[1];
}

Mat2 brackets(const Wave& xp, const Wave& xs, const Wave& yp, const Wave& ys) {
    return {bracket(xp, yp), bracket(xp, ys), bracket(xs, yp), bracket(xs, ys)};
}

void interface(int k, cfloat p, cfloat s) {
    const ModelStore& m = model_store;
    InterfaceStore& r = interface_store;
    Side up = m.uniform[k] == 0 ? side(m.alpha_bottom[k], m.beta_bottom[k], m.rho_bottom[k], p, s)
                                : side(m.alpha_top[k], m.beta_top[k], m.rho_top[k], p, s);
    Side lo = side(m.alpha_top[k + 1], m.beta_top[k + 1], m.rho_top[k + 1], p, s);

    Mat2 M = brackets(p_up(up), s_up(up), p_down(lo), s_down(lo));
    Mat2 N = brackets(p_down(up), s_down(up), p_down(lo), s_down(lo));
    Mat2 P = brackets(p_up(up), s_up(up), p_up(lo), s_up(lo));
    cfloat rdet = 1.0f / (M.m11 * M.m22 - M.m21 * M.m12);
    Mat2 Mi{M.m22 * rdet, -M.m12 * rdet, -M.m21 * rdet, M.m11 * rdet};
    r.Td[k] = scaled(I, Mi);
    r.Tu[k] = scaled(I, transposed(Mi));
    r.Rd[k] = -(N * Mi);
    r.Ru[k] = -(Mi * P);

    cfloat z1 = up.Z, z2 = lo.Z;
    r.tu[k] = r.td[k] = 2.0f * std::sqrt(z1 * z2) / (z1 + z2);
    r.rd[k] = (z1 - z2) / (z1 + z2);
    r.ru[k] = (z2 - z1) / (z1 + z2);
}

// Traction-free surface: an up-going unit wave plus the down-going waves RF
// leave no traction; W is the summed displacement.
void free_surface(cfloat p, cfloat s) {
    const ModelStore& m = model_store;
    InterfaceStore& r = interface_store;
    Side w = side(m.alpha_top[1], m.beta_top[1], m.rho_top[1], p, s);
    cfloat delta = w.e * w.h - w.f * w.g;
    Mat2& RF = r.RF;
    RF.m11 = RF.m22 = -(w.e * w.h + w.f * w.g) / delta;
    RF.m12 = 2.0f * w.f * w.h / delta;
    RF.m21 = 2.0f * w.e * w.g / delta;
    r.rF = 1.0f;
    r.W.m11 = w.a * (RF.m11 - 1.0f) + w.b * RF.m21;
    r.W.m21 = w.c * (1.0f + RF.m11) + w.d * RF.m21;
    r.W.m12 = w.a * RF.m12 + w.b * (1.0f + RF.m22);
    r.W.m22 = w.c * RF.m12 + w.d * (RF.m22 - 1.0f);
    r.wF = 2.0f;
}

// Waves and reflections carried from the base to the top of layer l.
struct Shifted {
    Mat2 R, T;
    cfloat r, t;
};

Shifted to_top(int l, cfloat omega, const Mat2& R, const Mat2& T, cfloat r, cfloat t) {
    const ModelStore& m = model_store;
    cfloat eP = cphs(-I * omega * m.tau_p[l]);
    cfloat eS = cphs(-I * omega * m.tau_s[l]);
    Shifted x;
    x.R = {eP * R.m11 * eP, eP * R.m12 * eS, eS * R.m21 * eP, eS * R.m22 * eS};
    x.T = {eP * T.m11, eP * T.m12, eS * T.m21, eS * T.m22};
    x.r = eS * eS * r;
    x.t = eS * t;
    return x;
}

// Reverberation operator of a layer between reflections Rb (below, already
// shifted to the top) and Ra (above).
Mat2 reverberation(int mode, const Mat2& Rb, const Mat2& Ra) {
    if (mode == -1) return inverse(identity - Rb * Ra);
    if (mode == 1) return identity + Rb * Ra;
    return identity;
}

cfloat reverberation(int mode, cfloat rb, cfloat ra) {
    if (mode == -1) return 1.0f / (1.0f - rb * ra);
    if (mode == 1) return 1.0f + rb * ra;
    return 1.0f;
}

} // namespace

ModelStore& model() {
    return model_store;
}
InterfaceStore& rfltrn() {
    return interface_store;
}

cfloat vslow(cfloat v, cfloat p, cfloat s) {
    cfloat q = std::sqrt(1.0f / (v * v) - p * p);
    // Near grazing incidence the square root loses its branch; step off it.
    if (std::abs(q.real()) + std::abs(q.imag()) < 0.001f)
        q = std::sqrt(cfloat(-0.002f, -0.002f) / v);
    if (s.real() * q.imag() + s.imag() * q.real() > 0.0f) q = -q;
    return q;
}

cfloat cphs(cfloat z) {
    if (z.real() < -20.0f) return 0.0f;
    return std::exp(z);
}

void ifmat(cfloat p, cfloat s, int n) {
    for (int k = 1; k <= n - 1; ++k) interface(k, p, s);
    free_surface(p, s);
}

void rcvrfn(cfloat f, int n, cfloat& o1, cfloat& o2, cfloat& o3, cfloat& o4, cfloat& o5) {
    const InterfaceStore& r = interface_store;
    if (n == 1) {
        o1 = r.W.m11, o2 = r.W.m12, o3 = r.W.m21, o4 = r.W.m22, o5 = r.wF;
        return;
    }
    cfloat omega = numerics::two_pi_f * f;
    int k = n - 1;
    Mat2 R = r.Rd[k], T = r.Tu[k];
    cfloat rs = r.rd[k], ts = r.tu[k];
    for (int l = n - 1; l >= 2; --l) {
        k = l - 1;
        Shifted x = to_top(l, omega, R, T, rs, ts);
        Mat2 TuQ = r.Tu[k] * reverberation(r.mode[l], x.R, r.Ru[k]);
        cfloat tuq = r.tu[k] * reverberation(r.mode[l], x.r, r.ru[k]);
        T = TuQ * x.T;
        R = r.Rd[k] + TuQ * transposed(x.R) * transposed(r.Tu[k]);
        ts = tuq * x.t;
        rs = r.rd[k] + tuq * x.r * r.tu[k];
    }
    Shifted x = to_top(1, omega, R, T, rs, ts);
    Mat2 X = reverberation(r.mode[1], x.R, r.RF) * x.T;
    cfloat xs = reverberation(r.mode[1], x.r, r.rF) * x.t;
    Mat2 o = r.W * X;
    o1 = o.m11, o2 = o.m12, o3 = o.m21, o4 = o.m22;
    o5 = r.wF * xs;
}

} // namespace synthetics
