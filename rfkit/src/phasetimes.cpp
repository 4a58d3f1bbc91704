// Converted-phase delays of a layered model (see phasetimes.hpp).
#include "rfkit/phasetimes.hpp"

#include "synthetics/layers.hpp"
#include "traceio/textutil.hpp"

#include <algorithm>
#include <cmath>

namespace rfkit {

namespace {

constexpr int max_layers = 100;
constexpr int slices = 200; // per gradient layer

double vertical_slowness(double v, double p) {
    return std::sqrt(std::max(0.0, 1 / (v * v) - p * p));
}

// A gradient layer's value at its bottom (0 in the file: no gradient).
float bottom(const std::vector<float>& bot, const std::vector<float>& top, std::size_t i) {
    return bot[i] > 0 ? bot[i] : top[i];
}

// Adds the delays of layer i (uniform, or a linear gradient in slices).
void add_layer(const LayeredModel& m, std::size_t i, double p, std::array<double, 3>& t) {
    const bool gradient = m.vp_bottom[i] > 0 || m.vs_bottom[i] > 0;
    const int parts = gradient ? slices : 1;
    const double dh = m.h[i] / parts;
    for (int k = 0; k < parts; ++k) {
        const double f = (k + 0.5) / parts;
        const double a = m.vp[i] + f * (bottom(m.vp_bottom, m.vp, i) - m.vp[i]);
        const double b = m.vs[i] + f * (bottom(m.vs_bottom, m.vs, i) - m.vs[i]);
        const double qp = vertical_slowness(a, p), qs = vertical_slowness(b, p);
        t[0] += dh * (qs - qp);
        t[1] += dh * (qs + qp);
        t[2] += dh * 2 * qs;
    }
}

} // namespace

bool read_model(const std::string& file, LayeredModel& m) {
    m = LayeredModel{};
    m.file = file;
    for (auto* v : {&m.vp, &m.vs, &m.rho, &m.h, &m.vp_bottom, &m.vs_bottom, &m.rho_bottom})
        v->assign(max_layers, 0.0f);
    std::vector<float> qp(max_layers), qs(max_layers);
    int n = 0;
    // flags 6: do not ask to list the layers, no summary line.
    if (!synthetics::rdlyr(6, file, max_layers, n, m.title, m.vp, m.vs, m.rho, m.h, m.vp_bottom,
                           m.vs_bottom, m.rho_bottom, qp, qs))
        return false;
    for (auto* v : {&m.vp, &m.vs, &m.rho, &m.h, &m.vp_bottom, &m.vs_bottom, &m.rho_bottom})
        v->resize(static_cast<std::size_t>(n));
    m.title.resize(traceio::trimmed(m.title).size()); // the title field's padding
    return true;
}

std::vector<Interface> interfaces(const LayeredModel& m, double p) {
    std::vector<Interface> found;
    std::array<double, 3> t{};
    double depth = 0;
    for (std::size_t i = 0; i + 1 < m.vp.size(); ++i) {
        add_layer(m, i, p, t);
        depth += m.h[i];
        const float vp = bottom(m.vp_bottom, m.vp, i), vs = bottom(m.vs_bottom, m.vs, i);
        const float rho = bottom(m.rho_bottom, m.rho, i);
        if (vp == m.vp[i + 1] && vs == m.vs[i + 1] && rho == m.rho[i + 1]) continue;
        found.push_back(
            {static_cast<int>(i) + 1, depth, (m.vs[i + 1] * m.rho[i + 1]) / (vs * rho), t});
    }
    return found;
}

} // namespace rfkit
