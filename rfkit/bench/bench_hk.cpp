// Cost of the H-kappa stack of 500 receiver functions over the default grid
// (20-70 km by 0.1 km, kappa 1.60-2.10 by 0.0025: 100 701 points), and of one
// bootstrap resample of them.  The receiver functions are made here: 70 s at
// 20 samples per second, a direct P and the three Moho phases of a 35 km,
// kappa 1.75 crust as Gaussian pulses, at slownesses 0.04 to 0.08 s/km.
//
// bench_hk --make-rfs DIR writes them as SAC files rf000.sac ... for
// bench/batch_hk.sh, which times the whole program on them.
#include "rfkit/hkstack.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int files = 500;

std::vector<rfkit::ReceiverFunction> receiver_functions() {
    std::vector<rfkit::ReceiverFunction> rfs;
    for (int f = 0; f < files; ++f) {
        rfkit::ReceiverFunction rf;
        rf.begin = -10;
        rf.delta = 0.05;
        rf.slowness = 0.04 + 0.04 * f / (files - 1);
        const auto t = rfkit::phase_times(35, 1.75, 6.3, rf.slowness);
        const double at[4] = {0, t->ps, t->ppps, t->ppss};
        const double size[4] = {1, 0.3, 0.15, -0.1};
        for (int i = 0; i < 1400; ++i) {
            const double ti = rf.begin + rf.delta * i;
            double v = 0;
            for (int k = 0; k < 4; ++k) v += size[k] * std::exp(-std::pow((ti - at[k]) / 0.2, 2));
            rf.samples.push_back(static_cast<float>(v));
        }
        rfs.push_back(std::move(rf));
    }
    return rfs;
}

void BM_Stack500(benchmark::State& state) {
    const auto rfs = receiver_functions();
    const rfkit::HkSettings settings;
    for (auto _ : state) {
        const rfkit::HkStack stack(rfs, settings);
        auto grid = stack.evaluate();
        benchmark::DoNotOptimize(grid.data());
    }
}
BENCHMARK(BM_Stack500)->Unit(benchmark::kMillisecond);

void BM_BootstrapResample500(benchmark::State& state) {
    const auto rfs = receiver_functions();
    const rfkit::HkStack stack(rfs, rfkit::HkSettings{});
    std::uint64_t seed = 1;
    for (auto _ : state) {
        const auto spread = rfkit::bootstrap(stack, 1, seed++);
        benchmark::DoNotOptimize(spread);
    }
}
BENCHMARK(BM_BootstrapResample500)->Unit(benchmark::kMillisecond);

int make_rfs(const std::string& dir) {
    int i = 0;
    for (const auto& rf : receiver_functions()) {
        char name[32];
        std::snprintf(name, sizeof name, "/rf%03d.sac", i++);
        int nerr = 0;
        traceio::newhdr();
        traceio::setfhv("user0", static_cast<float>(rf.slowness), nerr);
        traceio::setkhv("kuser0", "s/km", nerr);
        traceio::setnhv("npts", static_cast<int>(rf.samples.size()), nerr);
        traceio::setfhv("b", static_cast<float>(rf.begin), nerr);
        traceio::setfhv("delta", static_cast<float>(rf.delta), nerr);
        traceio::setfhv("e", static_cast<float>(rf.end()), nerr);
        traceio::wsac0(dir + name, {}, rf.samples, nerr);
        if (nerr != 0) return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make-rfs") == 0) return make_rfs(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
