// rfkit peaks: the largest peaks of receiver functions, and beside them the
// ray-theory delays of the converted phases of a layered model.
//
//   rfkit peaks [-check] [-model FILE [-p SLOWNESS]] RF...
//   rfkit peaks -table -model FILE -p SLOWNESS
//
// For every receiver function it lists the largest peaks (local extremes by
// size).  With a model it gives, per interface and phase, the nearest local
// extreme of the sign ray theory expects (Ps and PpPs take the sign of the
// S-impedance jump, PpSs+PsPs the opposite) within 0.5 s of the prediction,
// and the offset in samples; overlapping phases share a peak, and a large
// offset says so.  The slowness is -p, else the receiver function's USER0 in
// the unit KUSER0 names (s/km, or s/deg on a sphere of radius 6371 km).  With
// -check the status is 1 when the Ps of the deepest interface (the
// crust-mantle boundary of the examples) is not within one sample of its
// prediction.  Times are seconds after zero lag, where the direct P belongs.
#include "console/console.hpp"
#include "rfkit/cmdline.hpp"
#include "rfkit/phasetimes.hpp"
#include "rfkit/rfkit.hpp"
#include "tracefail.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace rfkit {

namespace {

constexpr int max_samples = 1 << 20;
constexpr int shown_peaks = 5;
constexpr double km_per_degree = 2 * 3.14159265358979323846 * 6371.0 / 360;

constexpr const char* synopsis =
    "usage: rfkit peaks [-check] [-model FILE [-p SLOWNESS]] RF...\n"
    "       rfkit peaks -table -model FILE -p SLOWNESS\n"
    "The largest peaks of each receiver function and, with a layered model (kestrum's\n"
    "model file), the ray-theory delays of Ps, PpPs and PpSs+PsPs of every interface\n"
    "beside the nearest peak of the expected sign.\n"
    "  -model FILE   the layered model\n"
    "  -p SLOWNESS   horizontal slowness, s/km (default: each file's USER0 and KUSER0)\n"
    "  -check        status 1 when the deepest interface's Ps misses its peak by more\n"
    "                than one sample\n"
    "  -table        only the delays: depth, Ps, PpPs, PpSs+PsPs per interface\n"
    "The manual page rfkit(1) has the details.\n";

std::string format(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* f, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

struct Trace {
    std::vector<float> y;
    float b = 0, dt = 0;
    std::optional<double> slowness; // s/km, from USER0
    double time(int i) const { return b + static_cast<double>(i) * dt; }
};

std::optional<Trace> read_trace(const std::string& name) {
    Trace tr;
    int n = 0, nerr = 0, npts = 0;
    traceio::rsac1(name, {}, n, tr.b, tr.dt, 0, nerr);
    if (nerr != 0 || !header_is_a_trace()) return std::nullopt;
    traceio::getnhv("npts", npts, nerr);
    if (nerr != 0 || npts < 3 || npts > max_samples) return std::nullopt;
    tr.y.resize(static_cast<std::size_t>(npts));
    traceio::rsac1(name, tr.y, n, tr.b, tr.dt, npts, nerr);
    if (nerr != 0 || n != npts || !(tr.dt > 0)) return std::nullopt;
    float user0 = 0;
    std::string unit;
    traceio::getfhv("user0", user0, nerr);
    if (nerr == 0 && user0 >= 0) {
        traceio::getkhv("kuser0", unit, nerr);
        if (unit == "s/km") tr.slowness = user0;
        if (unit == "s/deg") tr.slowness = user0 / km_per_degree;
    }
    return tr;
}

// Indices of the local extremes (a sample larger in size than both
// neighbours, of one sign), largest first.
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

// The direct P: the nearest positive extreme to zero lag (a shallow
// conversion may be larger, so the nearest rather than the largest).
double direct_p(const Trace& tr, const std::vector<int>& at) {
    auto i = nearest(tr, at, 0.0, 1);
    return i ? tr.time(*i) : 0.0;
}

std::string model_heading(const LayeredModel& m, double p, const std::vector<Interface>& found) {
    std::string s = format("model %s (%s), p = %.4f s/km; ray-theory delays after P (s):\n",
                           m.title.c_str(), m.file.c_str(), p);
    for (const auto& f : found)
        s += format("  interface below layer %d at %5.1f km (S impedance x%.2f):  Ps %.2f  PpPs "
                    "%.2f  PpSs+PsPs %.2f\n",
                    f.above, f.depth, f.contrast, f.times[0], f.times[1], f.times[2]);
    return s;
}

// The report of one receiver function; returns its status.
int report(const std::string& name, const LayeredModel* model, std::optional<double> p,
           bool check) {
    auto tr = read_trace(name);
    if (!tr) {
        console::err() << "rfkit peaks: '" << name << "' cannot be read as a trace\n";
        return 1;
    }
    std::ostream& out = console::out();
    std::vector<Interface> found;
    if (model) {
        if (!p) p = tr->slowness;
        if (!p) {
            console::err() << "rfkit peaks: '" << name
                           << "' has no slowness (USER0 in s/km or s/deg); give -p\n";
            return 1;
        }
        found = interfaces(*model, *p);
    }
    const auto at = extremes(*tr);
    out << format("%s (dt %.3f s, direct P at %.2f s)\n  largest peaks (s, amplitude):",
                  name.c_str(), tr->dt, direct_p(*tr, at));
    std::vector<int> top(at.begin(), at.begin() + std::min<std::size_t>(shown_peaks, at.size()));
    std::ranges::sort(top);
    for (int i : top) out << format("  %.2f %+.3f", tr->time(i), tr->y[i]);
    out << '\n';
    int status = 0;
    for (std::size_t k = 0; k < found.size(); ++k) {
        const auto& f = found[k];
        const int up = f.contrast > 1 ? 1 : -1;
        out << format("  %5.1f km:", f.depth);
        for (int ph = 0; ph < 3; ++ph) {
            const double want = f.times[static_cast<std::size_t>(ph)];
            auto i = nearest(*tr, at, want, ph == 2 ? -up : up);
            out << format("  %s %.2f", phase_names[static_cast<std::size_t>(ph)], want);
            if (!i)
                out << " (no peak)";
            else
                out << format(" -> %.2f %+.3f", tr->time(*i), tr->y[*i]);
            const double off = i ? (tr->time(*i) - want) / tr->dt : 1e9;
            if (i) out << format(" [%+.1f]", off);
            if (ph == 0 && check && k + 1 == found.size() && !(std::abs(off) <= 1.0)) status = 1;
        }
        out << '\n';
    }
    return status;
}

} // namespace

int peaks(std::span<const std::string> args) {
    bool check = false, table = false;
    std::string model_file;
    std::optional<double> p;
    Arguments a(args, "rfkit peaks");
    for (std::string opt = a.option(); !opt.empty(); opt = a.option()) {
        if (opt == "-h" || opt == "-help" || opt == "--help") {
            console::out() << synopsis;
            return 0;
        } else if (opt == "-check") {
            check = true;
        } else if (opt == "-table") {
            table = true;
        } else if (opt == "-model") {
            model_file = a.text(opt);
        } else if (opt == "-p") {
            p = a.number(opt);
            if (!(*p >= 0)) a.refuse("-p: a slowness is not negative");
        } else {
            a.unknown(opt);
        }
    }
    const std::span<const std::string> files = a.files();
    if (table && (model_file.empty() || !p)) a.refuse("-table needs -model and -p");
    if (!table && files.empty()) a.refuse("no receiver function given");
    if (check && model_file.empty()) a.refuse("-check needs -model");

    LayeredModel model;
    if (!model_file.empty() && !read_model(model_file, model)) return 1; // refused, after a message
    if (table) {
        for (const auto& f : interfaces(model, *p))
            console::out() << format("%.1f %.3f %.3f %.3f\n", f.depth, f.times[0], f.times[1],
                                     f.times[2]);
        return 0;
    }
    if (!model_file.empty() && p) console::out() << model_heading(model, *p, interfaces(model, *p));
    int status = 0;
    std::optional<double> shown = p;
    for (const std::string& f : files) {
        // Without -p each receiver function brings its own slowness; the
        // model's delays are shown again whenever it changes.
        if (!model_file.empty() && !p) {
            auto tr = read_trace(f);
            if (tr && tr->slowness && shown != tr->slowness) {
                console::out() << model_heading(model, *tr->slowness,
                                                interfaces(model, *tr->slowness));
                shown = tr->slowness;
            }
        }
        status |= report(f, model_file.empty() ? nullptr : &model, p, check);
    }
    return status;
}

} // namespace rfkit
