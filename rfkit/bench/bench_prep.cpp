// Benchmarks of rfkit prep: one event prepared in process (with and without
// a band-pass), the iasp91 search for direct P, and, with --make-events DIR,
// a batch of 1000 records written for bench/batch_prep.sh, and their list,
// DIR/events.txt (--make-events DIR RATE MODE, resampled to RATE times 5
// samples per second).  MODE "events": one station's 1000 events, the seven
// PB01 events of examples/data copied with their dates moved a day and
// their depths 10 m at a time; MODE "stations": the seven events recorded
// at 143 stations each, copies under other station names.
#include "rfkit/iasp91.hpp"
#include "rfkit/prepare.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string data = RFKIT_PB01 "/sac/";
const std::array<std::string, 7> events{"20110225T130726", "20110301T005345", "20110306T143236",
                                        "20110407T131123", "20110430T081916", "20110513T224755",
                                        "20110515T130815"};

std::array<std::string, 3> files(const std::string& event) {
    const std::string stem = data + event + "_CX.PB01..BH";
    return {stem + "Z.SAC", stem + "N.SAC", stem + "E.SAC"};
}

void prepare_event(benchmark::State& state, double f2) {
    rfkit::PrepSettings s;
    s.f1 = f2 > 0 ? 0.05 : 0, s.f2 = f2;
    std::size_t k = 0;
    for (auto _ : state) {
        rfkit::Prepared p;
        std::string why;
        if (!rfkit::prepare(files(events[k++ % events.size()]), s, p, why))
            state.SkipWithError(why.c_str());
        benchmark::DoNotOptimize(p.zrt[1].data());
    }
}

void BM_PrepareEvent(benchmark::State& state) {
    prepare_event(state, 0);
}
void BM_PrepareEventBandPassed(benchmark::State& state) {
    prepare_event(state, 1.0);
}
BENCHMARK(BM_PrepareEvent);
BENCHMARK(BM_PrepareEventBandPassed);

void BM_DirectP(benchmark::State& state) {
    double depth = 0;
    for (auto _ : state) {
        rfkit::iasp91::Arrival a{};
        std::string why;
        rfkit::iasp91::direct_p(depth, 25 + depth / 10, a, why);
        benchmark::DoNotOptimize(a.time);
        depth = depth >= 690 ? 0 : depth + 7;
    }
}
BENCHMARK(BM_DirectP);

// 1000 records: record k is PB01 event k % 7, as a later event (moved k / 7
// days and 10 m deeper) or at another station, its samples interpolated
// linearly to `rate` times as many per second.
int make_events(const std::string& dir, int rate, bool stations) {
    std::filesystem::create_directories(dir);
    std::ofstream list(dir + "/events.txt");
    std::vector<float> y(1 << 16);
    for (int k = 0; k < 1000; ++k) {
        const auto in = files(events[static_cast<std::size_t>(k) % events.size()]);
        std::string line;
        for (std::size_t c = 0; c < 3; ++c) {
            int n = 0, nerr = 0, jday = 0;
            float b = 0, dt = 0, evdp = 0;
            traceio::rsac1(in[c], y, n, b, dt, static_cast<int>(y.size()), nerr);
            if (stations) {
                std::string station = "S";
                station += std::to_string(k / 7);
                traceio::setkhv("kstnm", station, nerr);
            } else {
                traceio::getnhv("nzjday", jday, nerr);
                traceio::setnhv("nzjday", jday + k / 7, nerr);
                traceio::getfhv("evdp", evdp, nerr);
                traceio::setfhv("evdp", evdp + 0.01f * static_cast<float>(k / 7), nerr);
            }
            std::vector<float> fine(static_cast<std::size_t>((n - 1) * rate + 1));
            for (std::size_t i = 0; i < fine.size(); ++i) {
                const std::size_t j = i / static_cast<std::size_t>(rate);
                const float f = static_cast<float>(i % static_cast<std::size_t>(rate)) / rate;
                fine[i] = f == 0 ? y[j] : (1 - f) * y[j] + f * y[j + 1];
            }
            traceio::setnhv("npts", static_cast<int>(fine.size()), nerr);
            traceio::setfhv("delta", dt / static_cast<float>(rate), nerr);
            traceio::describe_samples(fine);
            std::string out = dir;
            out.append("/e").append(std::to_string(k)).append(".BH");
            out.append(1, "ZNE"[c]).append(".sac");
            traceio::wsac0(out, {}, fine, nerr);
            if (nerr != 0) {
                std::fprintf(stderr, "cannot write %s\n", out.c_str());
                return 1;
            }
            line.append(c ? " " : "").append(out);
        }
        list << line << '\n';
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--make-events") == 0)
        return make_events(argv[2], argc > 3 ? std::max(1, std::atoi(argv[3])) : 1,
                           argc > 4 && std::strcmp(argv[4], "stations") == 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
