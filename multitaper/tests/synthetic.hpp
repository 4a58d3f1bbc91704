// Synthetic station records for end-to-end runs: a source pulse seen on the
// vertical, and the same pulse convolved with a known spike train on the
// radial, each with its own random noise.
#pragma once

#include "traceio/sacfile.hpp"

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace testing_support {

struct Spike {
    float lag; // s after the direct arrival
    float amplitude;
};

inline const std::vector<Spike>& default_spikes() {
    static const std::vector<Spike> s{{0.0f, 1.0f}, {2.5f, 0.5f}, {6.0f, -0.35f}};
    return s;
}

struct Records {
    float dt = 0.05f;
    float arrival = 60.0f; // s after the first sample
    int npts = 3000;
    std::vector<float> vertical, radial;
};

// Gaussian pulse of 0.1 s standard deviation, arriving at `arrival`.
inline Records make_records(float noise, unsigned seed = 1, float dt = 0.05f, int npts = 3000,
                            const std::vector<Spike>& spikes = default_spikes()) {
    Records r;
    r.dt = dt;
    r.npts = npts;
    r.vertical.assign(npts, 0.0f);
    r.radial.assign(npts, 0.0f);
    std::mt19937 gen(seed);
    std::normal_distribution<float> g;
    auto pulse = [](double t) { return std::exp(-0.5 * (t / 0.1) * (t / 0.1)); };
    for (int i = 0; i < npts; ++i) {
        const double t = i * static_cast<double>(dt) - r.arrival;
        r.vertical[i] = static_cast<float>(pulse(t)) + noise * g(gen);
        double sum = 0.0;
        for (const Spike& s : spikes) sum += s.amplitude * pulse(t - s.lag);
        r.radial[i] = static_cast<float>(sum) + noise * g(gen);
    }
    return r;
}

// Writes the pair as <stem>.z and <stem>.r (begin time b); true on success.
inline bool write_records(const Records& r, const std::string& stem, float b = 0.0f,
                          float offset = 0.0f) {
    int nerr = 0;
    std::vector<float> z = r.vertical, rad = r.radial;
    for (auto& v : z) v += offset;
    for (auto& v : rad) v += offset;
    traceio::wsac1(stem + ".z", z, r.npts, b, r.dt, nerr);
    if (nerr != 0) return false;
    traceio::wsac1(stem + ".r", rad, r.npts, b, r.dt, nerr);
    return nerr == 0;
}

} // namespace testing_support
