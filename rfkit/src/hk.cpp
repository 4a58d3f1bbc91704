// rfkit hk: crustal thickness H and Vp/Vs ratio kappa under a station from
// its receiver functions by H-kappa stacking, with bootstrap uncertainties.
#include "console/console.hpp"
#include "rfkit/cmdline.hpp"
#include "rfkit/hkfiles.hpp"
#include "rfkit/hkstack.hpp"
#include "rfkit/rfkit.hpp"
#include "rfkit/rfset.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <ostream>

namespace rfkit {

namespace {

constexpr const char* tool = "rfkit hk";
constexpr int default_resamples = 100;
constexpr std::uint64_t default_seed = 1;

void synopsis(std::ostream& os) {
    os << "usage: rfkit hk [options] [receiver-function files]\n"
          "  (no files: one name a line on standard input)\n"
          "  -vp v            average crustal P speed, km/s (default 6.3)\n"
          "  -w w1 w2 w3      weights of Ps, PpPs, PpSs+PsPs (default 0.7 0.2 0.1)\n"
          "  -H h0 h1 dh      crustal thickness range and step, km (default 20 70 0.1)\n"
          "  -kappa k0 k1 dk  Vp/Vs range and step (default 1.60 2.10 0.0025)\n"
          "  -nonorm          keep amplitudes (default: divide each by its direct P)\n"
          "  -boot n          bootstrap resamples (default 100)\n"
          "  -seed s          seed of the resampling (default 1)\n"
          "  -grid file       the stack on the grid, as text for GMT\n"
          "  -curves file     the three phase curves through the best H and kappa\n"
          "Prints: H <km> <uncertainty km> kappa <value> <uncertainty> n <count> "
          "p <min s/km> <max s/km>\n"
          "The manual page rfkit(1) and docs/hk.md explain the method and its limits.\n";
}

struct Request {
    HkSettings settings;
    bool normalise = true;
    int resamples = default_resamples;
    std::uint64_t seed = default_seed;
    std::string grid, curves;
    std::vector<std::string> files;
    bool help = false;
};

Range range(Arguments& a, const std::string& option) {
    Range r;
    r.first = a.number(option);
    r.last = a.number(option);
    r.step = a.number(option);
    return r;
}

Request read_request(std::span<const std::string> args) {
    Request r;
    Arguments a(args, tool);
    for (std::string o = a.option(); !o.empty(); o = a.option()) {
        if (o == "-h" || o == "-help" || o == "--help")
            r.help = true;
        else if (o == "-vp")
            r.settings.vp = a.number(o);
        else if (o == "-w")
            for (double& w : r.settings.weights) w = a.number(o);
        else if (o == "-H")
            r.settings.h = range(a, o);
        else if (o == "-kappa")
            r.settings.kappa = range(a, o);
        else if (o == "-nonorm")
            r.normalise = false;
        else if (o == "-boot")
            r.resamples = static_cast<int>(a.integer(o, 2, 100000));
        else if (o == "-seed")
            r.seed = static_cast<std::uint64_t>(a.integer(o, 0, 1L << 52));
        else if (o == "-grid")
            r.grid = a.text(o);
        else if (o == "-curves")
            r.curves = a.text(o);
        else
            a.unknown(o);
    }
    r.files.assign(a.files().begin(), a.files().end());
    if (const std::string why = refusal(r.settings, {}); !why.empty()) a.refuse(why);
    // The second write would replace the first.
    std::error_code ec;
    if (!r.grid.empty() &&
        (r.grid == r.curves || std::filesystem::equivalent(r.grid, r.curves, ec)))
        a.refuse("-grid and -curves name the same file '" + r.grid + "'");
    return r;
}

// Progress lines on standard error once the bootstrap has run for a while.
class Progress {
  public:
    explicit Progress(int total) : total_(total) {}
    void operator()(int done) {
        const auto now = clock::now();
        if (now - start_ < std::chrono::milliseconds(1500) ||
            now - shown_ < std::chrono::seconds(1))
            return;
        shown_ = now;
        console::err() << tool << ": bootstrap resample " << done << " of " << total_ << '\n';
    }

  private:
    using clock = std::chrono::steady_clock;
    int total_;
    clock::time_point start_ = clock::now(), shown_{};
};

std::string result_line(const Peak& best, const Spread& spread, const HkSummary& run) {
    char line[200];
    std::snprintf(line, sizeof line, "H %.2f %.2f kappa %.4f %.4f n %d p %.4f %.4f\n", best.h,
                  spread.h, best.kappa, spread.kappa, run.used, run.p_min, run.p_max);
    return line;
}

// A maximum on the edge of the grid may be a slope running out of the grid,
// not a peak: say so, and which range to widen.
void warn_at_edge(const Peak& best, const HkSettings& s) {
    auto at_edge = [](double v, const Range& r) {
        return std::abs(v - r.first) < r.step / 2 || std::abs(v - r.at(r.count() - 1)) < r.step / 2;
    };
    if (at_edge(best.h, s.h))
        console::err() << tool << ": the maximum lies at the edge of the H range (H " << best.h
                       << " km): it may lie beyond; widen -H to see\n";
    if (at_edge(best.kappa, s.kappa))
        console::err() << tool << ": the maximum lies at the edge of the kappa range (kappa "
                       << best.kappa << "): it may lie beyond; widen -kappa to see\n";
}

// Writes one of the text outputs; false (after a message) when it failed.
bool write_output(const std::string& name, const std::string& text, const char* what) {
    if (name.empty()) return true;
    const std::string why = replace_text_file(name, text);
    if (why.empty()) return true;
    console::err() << tool << ": cannot write the " << what << " file '" << name << "': " << why
                   << '\n';
    return false;
}

} // namespace

int hk(std::span<const std::string> args) {
    const Request r = read_request(args);
    if (r.help) {
        synopsis(console::out());
        return 0;
    }
    const std::array<Output, 2> outputs{Output{"-grid", r.grid, {}},
                                        Output{"-curves", r.curves, {}}};
    const Gathered g = read_for_stacking(r.files, tool, r.normalise, outputs);
    if (const std::string why = refusal(r.settings, g.used); !why.empty())
        throw console::Ending(1, std::string(tool) + ": " + why);

    const HkStack stack(g.used, r.settings);
    const std::vector<double> grid = stack.evaluate();
    const auto best = maximum(grid, r.settings);
    if (!best) throw console::Ending(1, std::string(tool) + ": no point of the grid is valid");

    HkSummary run{*best, static_cast<int>(g.used.size()), 1e9, 0, 0};
    for (const ReceiverFunction& rf : g.used) {
        run.p_min = std::min(run.p_min, rf.slowness);
        run.p_max = std::max(run.p_max, rf.slowness);
        run.p_mean += rf.slowness / static_cast<double>(g.used.size());
    }
    warn_at_edge(*best, r.settings);
    Progress progress(r.resamples);
    Spread spread = bootstrap(stack, r.resamples, r.seed, std::ref(progress));
    // The grid places the maximum no closer than one step: neighbours within
    // the noise of each other are told apart by chance.
    spread.h = std::max(spread.h, r.settings.h.step);
    spread.kappa = std::max(spread.kappa, r.settings.kappa.step);
    console::out() << result_line(*best, spread, run) << std::flush;

    bool written = write_output(r.grid, grid_text(grid, r.settings, run), "grid");
    written = write_output(r.curves, curves_text(r.settings, run), "curves") && written;
    return g.left_out == 0 && written ? 0 : 1;
}

} // namespace rfkit
