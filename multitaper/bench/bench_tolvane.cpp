// Throughput of tolvane in batch mode (receiver functions per second, file
// reads and writes included) and the cost of designing the tapers.
//
// bench_tolvane --make-jobs DIR writes a station pair (20 samples per second)
// and the 200-line job list of 60 s windows that bench/batch_tolvane.sh and
// bench/compare.sh time through the program itself; its outputs are 200 new
// files DIR/out/rf<j>.sac.
#include "../tests/synthetic.hpp"
#include "console/console.hpp"
#include "multitaper/slepian.hpp"
#include "multitaper/tolvane.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Writes a station pair into dir and returns the batch line that
// deconvolves it into dir/<output>.
std::string station_line(const std::string& dir, float dt, float window,
                         const std::string& output) {
    const int npts = static_cast<int>((window * 2.0f + 80.0f) / dt);
    auto r = testing_support::make_records(0.01f, 1, dt, npts);
    testing_support::write_records(r, dir + "/sta");
    const float t0 = r.arrival - 5.0f, t1 = t0 + window;
    const std::string w = std::to_string(t0) + " " + std::to_string(t1);
    return dir + "/sta.z " + w + " " + dir + "/sta.r " + w + " 5 " + std::to_string(5.0f + window) +
           " " + dir + "/" + output + "\n";
}

// A temporary station pair and the batch line that deconvolves it.
struct Station {
    std::string dir, line;
    Station(float dt, float window) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "bench-tolvane-XXXXXX").string();
        dir = mkdtemp(pattern.data());
        line = station_line(dir, dt, window, "rf.sac");
    }
    ~Station() { std::filesystem::remove_all(dir); }
};

void batch(benchmark::State& state, float dt, float window) {
    const Station station(dt, window);
    const int lines = 10;
    std::string input;
    for (int i = 0; i < lines; ++i) input += station.line;
    const std::vector<std::string> args{"-freq", "2"};
    const console::Streams saved = console::streams();
    for (auto _ : state) {
        std::istringstream in(input);
        std::ostringstream out, err;
        console::streams() = {&in, &out, &err};
        const int status = console::run([&] { return multitaper::tolvane(args); });
        console::streams() = saved;
        if (status != 0) state.SkipWithError(err.str().c_str());
    }
    state.SetItemsProcessed(state.iterations() * lines);
}

void BM_Batch20spsWindow20s(benchmark::State& state) {
    batch(state, 0.05f, 20.0f);
}
void BM_Batch100spsWindow100s(benchmark::State& state) {
    batch(state, 0.01f, 100.0f);
}

void BM_Mtaper(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<double> lambda(3), tapers(static_cast<std::size_t>(n) * 3);
    for (auto _ : state) {
        multitaper::mtaper(2.5f, n, 3, n, lambda, tapers);
        benchmark::DoNotOptimize(tapers.data());
    }
}

} // namespace

BENCHMARK(BM_Batch20spsWindow20s)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Batch100spsWindow100s)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mtaper)->Arg(201)->Arg(1001)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--make-jobs") {
        const std::string dir = argv[2];
        std::ofstream list(dir + "/jobs.txt");
        const std::string line = station_line(dir, 0.05f, 60.0f, "rf.sac");
        const std::string stem = line.substr(0, line.rfind("rf.sac"));
        std::filesystem::create_directory(dir + "/out");
        for (int j = 0; j < 200; ++j) list << stem << "out/rf" << j << ".sac\n";
        return list ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
