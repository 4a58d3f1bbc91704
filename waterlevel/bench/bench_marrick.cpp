// Throughput of input-list mode (receiver functions per second) and the cost
// of one forward and inverse transform pair at 4096 points.
//
// bench_marrick --make-jobs DIR writes the traces and the 1000-line job list
// that bench/batch_marrick.sh and bench/compare.sh time through the program
// itself; its outputs are 1000 new files DIR/out/rf<j>.sac, as a pipeline over
// many station-event pairs writes them.
#include "console/console.hpp"
#include "numerics/fft.hpp"
#include "traceio/sacfile.hpp"
#include "waterlevel/marrick.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int jobs = 1000;
constexpr float dt = 0.05f;   // 20 samples per second
constexpr int samples = 1200; // 60 s windows: transforms of 4096 points

std::vector<float> seismogram(int n, float phase) {
    std::vector<float> y(n);
    for (int i = 0; i < n; ++i)
        y[i] = std::exp(-0.01f * i) * std::sin(0.7f * i + phase) + 0.1f * std::sin(0.05f * i);
    return y;
}

// Writes the two traces and the job list; returns the job list's text.  The
// outputs are ten names used in turn, or with `distinct` one name per job
// in dir/out.
std::string make_jobs(const std::string& dir, bool distinct = false) {
    int nerr = 0;
    traceio::wsac1(dir + "/z.sac", seismogram(samples, 0.3f), samples, -5.0f, dt, nerr);
    traceio::wsac1(dir + "/r.sac", seismogram(samples, 1.1f), samples, -5.0f, dt, nerr);
    std::string list;
    for (int j = 0; j < jobs; ++j)
        list += dir + "/z.sac -5 54.95 " + dir + "/r.sac - - " + dir +
                (distinct ? "/out/rf" + std::to_string(j) : "/rf" + std::to_string(j % 10)) +
                ".sac\n";
    return list;
}

void BM_InputListJobs(benchmark::State& state) {
    char tmpl[] = "/tmp/bench_marrick-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string list = make_jobs(dir);
    const std::vector<std::string> args = {"-freq", "1.0"};
    for (auto _ : state) {
        std::istringstream in(list);
        std::ostringstream out, err;
        const console::Streams saved = console::streams();
        console::streams() = {&in, &out, &err};
        const int status = console::run([&] { return waterlevel::marrick(args); });
        console::streams() = saved;
        if (status != 0) state.SkipWithError(err.str().c_str());
    }
    state.counters["rf_per_second"] = benchmark::Counter(
        static_cast<double>(jobs), benchmark::Counter::kIsIterationInvariantRate);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_InputListJobs)->Unit(benchmark::kMillisecond)->UseRealTime(); // file I/O included

void BM_DfftrPair4096(benchmark::State& state) {
    constexpr int n = 4096;
    std::vector<float> x(n + 2);
    const auto y = seismogram(n, 0.5f);
    for (auto _ : state) {
        std::copy(y.begin(), y.end(), x.begin());
        numerics::dfftr(x, n, "forward", dt);
        numerics::dfftr(x, n, "inverse", 1.0f / n);
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(BM_DfftrPair4096)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--make-jobs") {
        std::filesystem::create_directory(std::string(argv[2]) + "/out");
        std::ofstream(std::string(argv[2]) + "/jobs.txt") << make_jobs(argv[2], true);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
