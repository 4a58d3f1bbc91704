// Model checks, Earth flattening and the reference-frequency pass.
#include "synthetics/stack.hpp"

#include "synthetics/layers.hpp"
#include "synthetics/tau.hpp"

#include "console/console.hpp"
#include "numerics/constants.hpp"

#include <cmath>
#include <sstream>

namespace synthetics {
namespace {

constexpr float omega0 = numerics::two_pi_f; // 1 Hz: the speeds of the file are 1 Hz speeds
constexpr double tau_long = 10000.0;         // long relaxation time of the absorption band (s)
// Short relaxation times (s), kept per layer in single precision like the
// other layer values and widened when the band factors are evaluated.
constexpr float tau_short_p = 0.16f;
constexpr float tau_short_s = 0.26f;

// A model this program cannot compute: the model is given up and the run
// goes on with the next one (a problem of one model costs no other).
[[noreturn]] void refuse(std::string_view file, int layer, std::string_view why) {
    std::ostringstream s;
    s << "**Model file '" << file << "', layer " << layer << ": " << why;
    console::skip(console::Record().text(s.str()).str());
}

// vp^2 = (K + 4/3 mu)/rho and vs^2 = mu/rho: a bulk modulus K above zero
// needs vp^2 > 4/3 vs^2.  Squares of floats are exact in double.
bool elastic(float vp, float vs) {
    const double p = vp, s = vs;
    return 3.0 * p * p > 4.0 * s * s;
}

bool graded(const Layers& m, size_t i) {
    return m.vp_bottom[i] != 0.0f || m.vs_bottom[i] != 0.0f || m.rho_bottom[i] != 0.0f;
}

// Dispersed complex speed at 1 Hz: v times the absorption-band factor, with
// the imaginary part set by the band's quality factor there.
cfloat complex_speed(float v, float tau_short, float q) {
    double factor = vabm(omega0, tau_long, tau_short, q);
    double qband = qabm(omega0, tau_long, tau_short, q);
    std::complex<double> c =
        static_cast<double>(v) * factor * std::complex<double>(1.0, 1.0 / (2.0 * qband));
    return cfloat(c);
}

// Vertical delay through layer l for speed `top` at depth ztop and, with a
// gradient, `bottom` at ztop + h; stores the bottom speed.
float vertical_delay(cfloat top, float bottom_as_read, float tau_short, float q, float ztop,
                     float h, float p, cfloat& bottom) {
    if (bottom_as_read == 0.0f) {
        bottom = top;
        return vslow(top, cfloat(p, 0.0f), cfloat(1.0f, 0.0f)).real() * h;
    }
    bottom = cfloat(static_cast<float>(static_cast<double>(bottom_as_read) *
                                       vabm(omega0, tau_long, tau_short, q)),
                    0.0f);
    TauStore& t = tauval();
    t.p = cfloat(p, 0.0f);
    t.z0 = ztop;
    t.vtop = top;
    t.g = (bottom - top) / cfloat(h, 0.0f);
    return tauint(pslow, ztop, ztop + h, 1e-4f);
}

short reverberation_mode(char response) {
    if (response == 'f' || response == 'F') return -1;
    if (response == 'p' || response == 'P') return 1;
    return 0;
}

} // namespace

bool read_layers(std::string_view file, Layers& m) {
    return rdlyr(7, file, max_layers, m.n, m.title, m.vp, m.vs, m.rho, m.h, m.vp_bottom,
                 m.vs_bottom, m.rho_bottom, m.qp, m.qs);
}

// Quality factors that are taken but look mistaken: a Qs given with Qp = 0
// (which selects the default pair, so the Qs is not used), and a Q below 1,
// attenuation so strong that it is more likely 1/Q typed in place of Q.
// Said; the model is used as read.
void warn_about_q(const Layers& m, std::string_view file) {
    for (int l = 1; l <= m.n; ++l) {
        const size_t i = static_cast<size_t>(l - 1);
        const float qp = m.qp[i], qs = m.qs[i];
        if (qp == 0.0f && qs != 0.0f)
            console::err() << "kestrum: warning: model file '" << file << "', layer " << l
                           << ": Qs " << qs
                           << " given with Qp 0 is not used: Qp = 0 takes Qp 125 and Qs 62.5\n";
        else if (qp != 0.0f && (qp < 1.0f || qs < 1.0f))
            console::err() << "kestrum: warning: model file '" << file << "', layer " << l
                           << ": Qp " << qp << ", Qs " << qs
                           << ": a quality factor below 1 (1/Q given in place of Q?)\n";
    }
}

void check_layers(const Layers& m, std::string_view file) {
    for (int l = 1; l <= m.n; ++l) {
        size_t i = static_cast<size_t>(l - 1);
        if (!(m.vp[i] > 0.0f && m.vs[i] > 0.0f && m.rho[i] > 0.0f))
            refuse(file, l, "P speed, S speed and density must be positive");
        if (m.h[i] < 0.0f) refuse(file, l, "negative thickness");
        if (m.vp_bottom[i] < 0.0f || m.vs_bottom[i] < 0.0f || m.rho_bottom[i] < 0.0f)
            refuse(file, l, "negative value at the base of a gradient");
        if (graded(m, i) && m.h[i] == 0.0f)
            refuse(file, l, "gradient in a layer of zero thickness");
        if (m.qp[i] < 0.0f || m.qs[i] < 0.0f) refuse(file, l, "negative quality factor");
        if (!elastic(m.vp[i], m.vs[i]) ||
            !elastic(m.vp_bottom[i] != 0.0f ? m.vp_bottom[i] : m.vp[i],
                     m.vs_bottom[i] != 0.0f ? m.vs_bottom[i] : m.vs[i]))
            refuse(file, l,
                   "P speed not above sqrt(4/3) times the S speed (negative bulk modulus)");
        if (m.qp[i] != 0.0f && m.qs[i] == 0.0f)
            refuse(file, l, "Qp given but Qs is 0 (give both, or Qp = 0 for the defaults)");
    }
    warn_about_q(m, file);
}

void flatten(Layers& m, std::string_view file) {
    const float R = numerics::earth_radius_km;
    float ztop = 0.0f, zftop = 0.0f;
    for (int l = 1; l <= m.n; ++l) {
        size_t i = static_cast<size_t>(l - 1);
        float h = m.h[i];
        float zbot = ztop + h;
        if (!(zbot < R)) refuse(file, l, "reaches the centre of the Earth");
        float zfbot = R * std::log(R / (R - zbot));
        m.h[i] = zfbot - zftop;
        if (m.vp_bottom[i] != 0.0f) {
            float top = R / (R - ztop), bottom = R / (R - zbot);
            m.vp[i] *= top, m.vs[i] *= top, m.rho[i] /= top;
            m.vp_bottom[i] *= bottom, m.vs_bottom[i] *= bottom, m.rho_bottom[i] /= bottom;
        } else {
            float mid = R / (R - (ztop + h / 2.0f));
            m.vp[i] *= mid, m.vs[i] *= mid, m.rho[i] /= mid;
        }
        ztop = zbot;
        zftop = zfbot;
    }
}

void check_slowness(const Layers& m, float p, int wave, std::string_view file) {
    for (int l = 1; l <= m.n; ++l) {
        size_t i = static_cast<size_t>(l - 1);
        bool p_wave = wave == 1;
        float v = p_wave ? m.vp[i] : m.vs[i];
        float bottom = p_wave ? m.vp_bottom[i] : m.vs_bottom[i];
        if (bottom != 0.0f) continue; // graded: the delay is integrated, always finite
        if (!(1.0f - (p * v) * (p * v) > 0.0f)) {
            std::ostringstream s;
            s << "slowness " << p << " s/km is at or beyond 1/" << (p_wave ? "vp" : "vs") << " = "
              << 1.0f / v << " s/km: no " << (p_wave ? "P" : "S")
              << " wave travels vertically through it";
            refuse(file, l, s.str());
        }
    }
}

void default_attenuation(Layers& m) {
    for (int i = 0; i < m.n; ++i) {
        size_t k = static_cast<size_t>(i);
        if (m.qp[k] == 0.0f) {
            m.qp[k] = 125.0f;
            m.qs[k] = 62.5f;
        }
    }
}

void fill_model(const Layers& m, float p, char response, float& tp, float& ts) {
    ModelStore& s = model();
    InterfaceStore& r = rfltrn();
    tauval().p = cfloat(p, 0.0f);
    tp = 0.0f;
    ts = 0.0f;
    float ztop = 0.0f;
    for (int l = 1; l <= m.n; ++l) {
        size_t i = static_cast<size_t>(l - 1);
        float h = m.h[i];
        s.alpha_top[l] = complex_speed(m.vp[i], tau_short_p, m.qp[i]);
        s.beta_top[l] = complex_speed(m.vs[i], tau_short_s, m.qs[i]);
        s.rho_top[l] = m.rho[i];
        s.tau_p[l] = vertical_delay(s.alpha_top[l], m.vp_bottom[i], tau_short_p, m.qp[i], ztop, h,
                                    p, s.alpha_bottom[l]);
        s.tau_s[l] = vertical_delay(s.beta_top[l], m.vs_bottom[i], tau_short_s, m.qs[i], ztop, h, p,
                                    s.beta_bottom[l]);
        s.rho_bottom[l] = m.rho_bottom[i] != 0.0f ? m.rho_bottom[i] : m.rho[i];
        s.uniform[l] = graded(m, i) ? 0 : 1;
        // The direct waves are aligned with the delays through the speeds as read.
        float vp = m.vp[i], vs = m.vs[i];
        tp += m.vp_bottom[i] != 0.0f ? s.tau_p[l] : h * std::sqrt(1.0f - (p * vp) * (p * vp)) / vp;
        ts += m.vs_bottom[i] != 0.0f ? s.tau_s[l] : h * std::sqrt(1.0f - (p * vs) * (p * vs)) / vs;
        r.mode[l] = reverberation_mode(response);
        ztop += h;
    }
    // Only the lower-case letter keeps every order in the top layer.
    if (response != 'f') r.mode[1] = 1;
}

} // namespace synthetics
