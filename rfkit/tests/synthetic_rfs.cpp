#include "synthetic_rfs.hpp"

#include "console/console.hpp"
#include "rfkit/hkstack.hpp"
#include "rfkit/rfkit.hpp"
#include "rftest/scratch.hpp"
#include "synthetics/kestrum.hpp"
#include "traceio/sacfile.hpp"
#include "waterlevel/marrick.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace rfkit::testing {

namespace {

std::string model_text(const Crust& c) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "  2crust     \n"
                  "  1 %8.3f%8.3f%8.2f%8.2f    0.00    0.00    0.00    0.00    0.00\n"
                  "  2     8.10    4.50    3.30    0.00    0.00    0.00    0.00    0.00    0.00\n",
                  c.vp, c.vp / c.kappa, 2.8, c.h);
    return text;
}

int run_quietly(int (*program)(std::span<const std::string>), std::vector<std::string> args,
                const std::string& input) {
    rftest::Captured console(input);
    return console::run([&] { return program(args); });
}

// Adds white noise of rms `level` times the largest amplitude to a trace file.
void add_noise(const std::string& name, double level, Resampler& draw) {
    std::vector<float> y(100000);
    int n = 0, nerr = 0;
    float b = 0, dt = 0;
    traceio::rsac1(name, y, n, b, dt, static_cast<int>(y.size()), nerr);
    if (nerr != 0) throw std::runtime_error("cannot read " + name);
    y.resize(static_cast<std::size_t>(n));
    float peak = 0;
    for (float v : y) peak = std::max(peak, std::abs(v));
    auto uniform = [&] { return (static_cast<double>(draw.next() >> 11) + 0.5) * 0x1p-53; };
    for (float& v : y) // Box-Muller
        v += static_cast<float>(level * peak * std::sqrt(-2 * std::log(uniform())) *
                                std::cos(2 * M_PI * uniform()));
    traceio::wsac0(name, {}, y, nerr);
    if (nerr != 0) throw std::runtime_error("cannot write " + name);
}

} // namespace

std::vector<std::string> synthetic_rfs(const std::string& dir, const Crust& crust, int count,
                                       double noise, std::uint64_t seed) {
    std::string models, jobs;
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const std::string model = dir + "/m" + std::to_string(i) + ".mod";
        std::ofstream(model) << model_text(crust);
        char p[32];
        std::snprintf(p, sizeof p, "%.5f", 0.04 + 0.04 * i / std::max(1, count - 1));
        models += model + " " + p + "\n";
        names.push_back(dir + "/rf" + std::to_string(i) + ".sac");
        jobs += model + "_sp.z -5 60 " + model + "_sp.r - - " + names.back() + "\n";
    }
    if (run_quietly(synthetics::kestrum, {"-sps", "20", "-p", "read", "s/km", "-gen", "zr"},
                    models) != 0)
        throw std::runtime_error("kestrum failed");
    if (noise > 0) {
        Resampler draw(seed);
        for (int i = 0; i < count; ++i)
            add_noise(dir + "/m" + std::to_string(i) + ".mod_sp.r", noise, draw);
    }
    if (run_quietly(waterlevel::marrick, {"-freq", "2.0"}, jobs) != 0)
        throw std::runtime_error("marrick failed");
    return names;
}

Outcome run_rfkit(const std::vector<std::string>& args, const std::string& input) {
    rftest::Captured console(input);
    Outcome o;
    o.status = console::run([&] { return rfkit::rfkit(args); });
    o.out = console.out();
    o.err = console.err();
    return o;
}

HkResult parse_hk(const std::string& out) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    HkResult r{nan, nan, nan, nan, -1, nan, nan};
    std::istringstream line(out);
    std::string h, kappa, n, p;
    line >> h >> r.h >> r.h_error >> kappa >> r.kappa >> r.kappa_error >> n >> r.n >> p >>
        r.p_min >> r.p_max;
    if (!line || h != "H" || kappa != "kappa" || n != "n" || p != "p")
        return HkResult{nan, nan, nan, nan, -1, nan, nan};
    return r;
}

} // namespace rfkit::testing
