// Time of one forward + inverse pair of each real transform at 4096 points.
#include "numerics/fft.hpp"
#include "numerics/realft.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

namespace {

constexpr int n = 4096;

void fill(std::span<float> x) {
    for (int i = 0; i < n; ++i) x[i] = std::sin(0.01f * static_cast<float>(i));
}

void dfftr_pair(benchmark::State& state) {
    static std::array<float, n + 2> x;
    fill(x);
    for (auto _ : state) {
        numerics::dfftr(x, n, "forward", 0.05f);
        numerics::dfftr(x, n, "inverse", 1.0f / (0.05f * n));
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(dfftr_pair);

void realft_pair(benchmark::State& state) {
    static std::array<float, n> x;
    fill(x);
    for (auto _ : state) {
        numerics::realft(x, n, 1);
        numerics::realft(x, n, -1);
        for (float& v : x) v *= 2.0f / n;
        benchmark::DoNotOptimize(x.data());
    }
}
BENCHMARK(realft_pair);

} // namespace
