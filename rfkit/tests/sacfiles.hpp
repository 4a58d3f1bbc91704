// Test helpers for the prep, info and peaks tests: trace files written with
// chosen header fields, read back with theirs, and whole runs in process.
#pragma once

#include "console/console.hpp"
#include "rfkit/rfkit.hpp"
#include "rftest/scratch.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <functional>
#include <string>
#include <vector>

namespace rfkit::testing {

struct Outcome {
    int status;
    std::string out, err;
};

// Runs `rfkit <args>` in process with `input` on standard input.
inline Outcome run(std::vector<std::string> args, const std::string& input = {}) {
    rftest::Captured c(input);
    const int status = console::run([&] { return rfkit(args); });
    return {status, c.out(), c.err()};
}

// Writes a trace with a fresh header: the samples, B and DELTA, then
// whatever `fields` sets; false when the write failed.
inline bool write_trace(const std::string& name, const std::vector<float>& y, float b, float dt,
                        const std::function<void()>& fields = {}) {
    traceio::newhdr();
    int e = 0;
    traceio::setnhv("npts", static_cast<int>(y.size()), e);
    traceio::setfhv("b", b, e);
    traceio::setfhv("e", b + static_cast<float>(y.size() - 1) * dt, e);
    traceio::setfhv("delta", dt, e);
    if (fields) fields();
    traceio::wsac0(name, {}, y, e);
    return e == 0;
}

inline void set(const char* field, float v) {
    int e = 0;
    traceio::setfhv(field, v, e);
}
inline void set_int(const char* field, int v) {
    int e = 0;
    traceio::setnhv(field, v, e);
}
inline void set_text(const char* field, const std::string& v) {
    int e = 0;
    traceio::setkhv(field, v, e);
}

// A trace read back; its header stays in the store for `value` and `text`.
struct Trace {
    std::vector<float> y;
    float b = 0, dt = 0;
    bool ok = false;
};

inline Trace read_trace(const std::string& name) {
    Trace t;
    int n = 0, e = 0, npts = 0;
    traceio::rsac1(name, {}, n, t.b, t.dt, 0, e);
    if (e != 0) return t;
    traceio::getnhv("npts", npts, e);
    t.y.resize(static_cast<std::size_t>(npts > 0 ? npts : 0));
    traceio::rsac1(name, t.y, n, t.b, t.dt, npts, e);
    t.ok = e == 0 && n == npts;
    return t;
}

inline float value(const char* field) {
    float v = 0;
    int e = 0;
    traceio::getfhv(field, v, e);
    return v;
}
inline std::string text(const char* field) {
    std::string v;
    int e = 0;
    traceio::getkhv(field, v, e);
    return v;
}

} // namespace rfkit::testing
