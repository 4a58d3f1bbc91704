// rfpeaks: ray-theory times of the converted phases of a layered model next to
// the peaks measured on receiver functions computed for it.
//
//   rfpeaks [-check] MODEL SLOWNESS RF...
//   rfpeaks -table MODEL SLOWNESS      (one line per interface: depth and times)
//
// For every interface of the model (a jump in P speed, S speed or density
// between the bottom of one layer and the top of the next) it prints the
// delays after the direct P of Ps, PpPs and PpSs+PsPs for a plane P wave of
// horizontal slowness SLOWNESS (s/km), summed over all layers above the
// interface:
//   Ps        = sum h (qs - qp),   PpPs = sum h (qs + qp),   PpSs = sum 2 h qs,
// with qs = sqrt(1/vs^2 - p^2) and qp = sqrt(1/vp^2 - p^2).  Gradient layers
// are summed in thin slices.  The speeds are the model's 1 Hz speeds.
//
// For every receiver function it lists the largest peaks (local extremes by
// size) and, per interface and phase, the nearest local extreme of the sign
// ray theory expects (Ps and PpPs take the sign of the S-impedance jump,
// PpSs+PsPs the opposite) within 0.5 s of the prediction, and the offset in
// samples.  Overlapping phases share a peak: a large offset says so.  With -check the
// status is 1 when the Ps of the deepest interface (the crust-mantle boundary
// of the examples) is not within one sample of its prediction.
#include "console/console.hpp"
#include "synthetics/layers.hpp"
#include "traceio/textutil.hpp"
#include "traceio/traceio.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int max_layers = 100;
constexpr int max_samples = 65536;
constexpr int slices = 200; // per gradient layer
constexpr int shown_peaks = 5;

struct Interface {
    int above = 0;                 // layer number above the interface (from 1)
    double depth = 0;              // km
    double contrast = 0;           // S impedance below / above
    std::array<double, 3> times{}; // Ps, PpPs, PpSs+PsPs
};

constexpr std::array<const char*, 3> phase_names{"Ps", "PpPs", "PpSs+PsPs"};

struct Model {
    int n = 0;
    std::string title;
    std::array<float, max_layers> vp{}, vs{}, rho{}, h{}, vpb{}, vsb{}, rhob{}, qp{}, qs{};
    float bottom(const std::array<float, max_layers>& bot, const std::array<float, max_layers>& top,
                 int i) const {
        return bot[i] > 0 ? bot[i] : top[i];
    }
};

double vertical_slowness(double v, double p) {
    return std::sqrt(std::max(0.0, 1 / (v * v) - p * p));
}

// Adds the delays of layer i (a uniform layer or a linear gradient) to t.
void add_layer(const Model& m, int i, double p, std::array<double, 3>& t) {
    const bool gradient = m.vpb[i] > 0 || m.vsb[i] > 0;
    const int parts = gradient ? slices : 1;
    const double dh = m.h[i] / parts;
    for (int k = 0; k < parts; ++k) {
        const double f = (k + 0.5) / parts;
        const double a = m.vp[i] + f * (m.bottom(m.vpb, m.vp, i) - m.vp[i]);
        const double b = m.vs[i] + f * (m.bottom(m.vsb, m.vs, i) - m.vs[i]);
        const double etaa = vertical_slowness(a, p), etab = vertical_slowness(b, p);
        t[0] += dh * (etab - etaa);
        t[1] += dh * (etab + etaa);
        t[2] += dh * 2 * etab;
    }
}

std::vector<Interface> interfaces(const Model& m, double p) {
    std::vector<Interface> found;
    std::array<double, 3> t{};
    double depth = 0;
    for (int i = 0; i + 1 < m.n; ++i) {
        add_layer(m, i, p, t);
        depth += m.h[i];
        const float vp = m.bottom(m.vpb, m.vp, i), vs = m.bottom(m.vsb, m.vs, i);
        const float rho = m.bottom(m.rhob, m.rho, i);
        if (vp == m.vp[i + 1] && vs == m.vs[i + 1] && rho == m.rho[i + 1]) continue;
        found.push_back({i + 1, depth, (m.vs[i + 1] * m.rho[i + 1]) / (vs * rho), t});
    }
    return found;
}

struct Trace {
    std::vector<float> y;
    float b = 0, dt = 0;
    double time(int i) const { return b + static_cast<double>(i) * dt; }
};

std::optional<Trace> read_trace(const std::string& name) {
    Trace tr;
    tr.y.resize(max_samples);
    int n = 0, err = 0;
    traceio::rsac1(name, tr.y, n, tr.b, tr.dt, max_samples, err);
    if (err != 0 || n < 3 || !(tr.dt > 0)) return std::nullopt;
    tr.y.resize(n);
    return tr;
}

// Indices of the local extremes (a sample larger in size than both neighbours,
// of one sign), largest first.
std::vector<int> extremes(const Trace& tr) {
    std::vector<int> at;
    for (std::size_t i = 1; i + 1 < tr.y.size(); ++i) {
        const float a = tr.y[i];
        if ((a > 0 && a >= tr.y[i - 1] && a > tr.y[i + 1]) ||
            (a < 0 && a <= tr.y[i - 1] && a < tr.y[i + 1]))
            at.push_back(static_cast<int>(i));
    }
    std::ranges::sort(at, [&](int l, int r) { return std::abs(tr.y[l]) > std::abs(tr.y[r]); });
    return at;
}

// The local extreme of the given sign nearest to time t (within 0.5 s).
std::optional<int> nearest(const Trace& tr, const std::vector<int>& at, double t, int sign) {
    std::optional<int> best;
    for (int i : at) {
        if ((tr.y[i] > 0 ? 1 : -1) != sign || std::abs(tr.time(i) - t) > 0.5) continue;
        if (!best || std::abs(tr.time(i) - t) < std::abs(tr.time(*best) - t)) best = i;
    }
    return best;
}

// The time of the direct P: the nearest positive extreme to zero lag (a
// shallow conversion may be larger, so the nearest rather than the largest).
double direct_p(const Trace& tr, const std::vector<int>& at) {
    auto i = nearest(tr, at, 0.0, 1);
    return i ? tr.time(*i) : 0.0;
}

int report(const std::string& name, const std::vector<Interface>& found, bool check) {
    auto tr = read_trace(name);
    if (!tr) {
        std::printf("%s: cannot be read as a trace\n", name.c_str());
        return 1;
    }
    const auto at = extremes(*tr);
    // Delays are measured from zero lag, where the direct P belongs.
    const double t0 = 0.0;
    std::printf("%s (dt %.3f s, direct P at %.2f s)\n  largest peaks (s, amplitude):", name.c_str(),
                tr->dt, direct_p(*tr, at));
    std::vector<int> top(at.begin(), at.begin() + std::min<std::size_t>(shown_peaks, at.size()));
    std::ranges::sort(top);
    for (int i : top) std::printf("  %.2f %+.3f", tr->time(i) - t0, tr->y[i]);
    std::printf("\n");
    int status = 0;
    for (std::size_t k = 0; k < found.size(); ++k) {
        const auto& f = found[k];
        const int up = f.contrast > 1 ? 1 : -1;
        std::printf("  %5.1f km:", f.depth);
        for (int ph = 0; ph < 3; ++ph) {
            const double want = f.times[ph];
            auto i = nearest(*tr, at, t0 + want, ph == 2 ? -up : up);
            std::printf("  %s %.2f", phase_names[ph], want);
            if (!i) {
                std::printf(" (no peak)");
            } else {
                std::printf(" -> %.2f %+.3f", tr->time(*i) - t0, tr->y[*i]);
            }
            const double off = i ? (tr->time(*i) - t0 - want) / tr->dt : 1e9;
            if (i) std::printf(" [%+.1f]", off);
            if (ph == 0 && check && k + 1 == found.size() && !(std::abs(off) <= 1.0)) status = 1;
        }
        std::printf("\n");
    }
    return status;
}

int rfpeaks(std::span<const std::string> args) {
    bool check = false, table = false;
    if (!args.empty() && (args[0] == "-check" || args[0] == "-table")) {
        (args[0] == "-check" ? check : table) = true;
        args = args.subspan(1);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: rfpeaks [-check|-table] MODEL SLOWNESS(s/km) RF...\n");
        return 2;
    }
    Model m;
    char* end = nullptr;
    const double p = std::strtod(args[1].c_str(), &end);
    if (end == args[1].c_str() || *end != '\0' || !(p >= 0)) {
        std::fprintf(stderr, "rfpeaks: bad slowness %s\n", args[1].c_str());
        return 1;
    }
    // flags 6: do not ask to list the layers, no summary line.
    if (!synthetics::rdlyr(6, args[0], max_layers, m.n, m.title, m.vp, m.vs, m.rho, m.h, m.vpb,
                           m.vsb, m.rhob, m.qp, m.qs))
        return 2;
    const auto found = interfaces(m, p);
    if (table) {
        for (const auto& f : found)
            std::printf("%.1f %.3f %.3f %.3f\n", f.depth, f.times[0], f.times[1], f.times[2]);
        return 0;
    }
    m.title.resize(traceio::trimmed(m.title).size());
    std::printf("model %s (%s), p = %.4f s/km; ray-theory delays after P (s):\n", m.title.c_str(),
                args[0].c_str(), p);
    for (const auto& f : found)
        std::printf("  interface below layer %d at %5.1f km (S impedance x%.2f):  Ps %.2f  PpPs "
                    "%.2f  PpSs+PsPs %.2f\n",
                    f.above, f.depth, f.contrast, f.times[0], f.times[1], f.times[2]);
    int status = 0;
    for (std::size_t i = 2; i < args.size(); ++i) status |= report(args[i], found, check);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    auto args = console::arguments(argc, argv);
    return console::run([&] { return rfpeaks(args); });
}
