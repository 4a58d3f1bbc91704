// Cost of the synthetics: one response evaluation per layer count, and whole
// models (read, reference pass, 2048 frequencies, transforms, three files)
// at 20 samples per second.
#include "synthetics/kestrum.hpp"
#include "synthetics/reflectivity.hpp"

#include "console/console.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace {

using synthetics::cfloat;

// n layers of alternating crustal speeds over a mantle half-space.
void fill_stack(int n) {
    auto& m = synthetics::model();
    for (int l = 1; l <= n; ++l) {
        bool odd = l % 2 == 1;
        cfloat a(l == n ? 8.1f : (odd ? 6.0f : 6.4f), 0.02f);
        cfloat b(l == n ? 4.5f : (odd ? 3.4f : 3.7f), 0.02f);
        float rho = l == n ? 3.3f : (odd ? 2.7f : 2.85f);
        m.alpha_top[l] = m.alpha_bottom[l] = a;
        m.beta_top[l] = m.beta_bottom[l] = b;
        m.rho_top[l] = m.rho_bottom[l] = rho;
        m.tau_p[l] = 0.3f;
        m.tau_s[l] = 0.5f;
        m.uniform[l] = 1;
        synthetics::rfltrn().mode[l] = -1;
    }
    synthetics::ifmat(cfloat(0.06f, 0.0f), cfloat(1.0f, 0.0f), n);
}

void BM_rcvrfn(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    fill_stack(n);
    cfloat o1, o2, o3, o4, o5;
    float f = 0.0f;
    for (auto _ : state) {
        synthetics::rcvrfn(cfloat(f, 0.0f), n, o1, o2, o3, o4, o5);
        benchmark::DoNotOptimize(o1);
        benchmark::DoNotOptimize(o5);
        f += 0.001f;
        if (f > 10.0f) f = 0.0f;
    }
    // Items are layers: items_per_second is layers per second.
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_rcvrfn)->Arg(1)->Arg(2)->Arg(5)->Arg(10)->Arg(20)->Arg(50)->Arg(100);

void BM_model(benchmark::State& state, const std::string& model) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "bench-kestrum-XXXXXX").string();
    fs::path dir = mkdtemp(pattern.data());
    fs::path copy = dir / fs::path(model).filename();
    fs::copy_file(model, copy);
    std::vector<std::string> args = {"-sps", "20", "-p", "0.06", "s/km"};
    std::ostringstream out, err;
    console::Streams saved = console::streams();
    for (auto _ : state) {
        std::istringstream in(copy.string() + "\n");
        console::streams() = {&in, &out, &err};
        int status = console::run([&] { return synthetics::kestrum(args); });
        console::streams() = saved;
        if (status != 0) {
            state.SkipWithError(err.str().c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations()); // models per second
    fs::remove_all(dir);
}

const int registered = [] {
    for (const char* name : {"crust", "sediment", "gradient"}) {
        std::string path = std::string(KESTRUM_EXAMPLES_DIR) + "/" + name + ".mod";
        benchmark::RegisterBenchmark((std::string("BM_model/") + name).c_str(),
                                     [path](benchmark::State& s) { BM_model(s, path); })
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}();

} // namespace

BENCHMARK_MAIN();
