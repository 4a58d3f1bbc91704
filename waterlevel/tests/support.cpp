#include "support.hpp"

#include "console/console.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"
#include "waterlevel/marrick.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace wltest {

std::string write_trace(const std::string& name, const std::vector<float>& y, float b,
                        float delta) {
    int nerr = 0;
    traceio::wsac1(name, y, static_cast<int>(y.size()), b, delta, nerr);
    EXPECT_EQ(nerr, 0) << name;
    return name;
}

Trace read_trace(const std::string& name) {
    Trace t;
    t.y.assign(65536, 0.0f);
    int n = 0, nerr = 0;
    traceio::rsac1(name, t.y, n, t.b, t.delta, 65536, nerr);
    EXPECT_EQ(nerr, 0) << name;
    t.y.resize(static_cast<std::size_t>(std::max(n, 0)));
    traceio::getnhv("npts", t.npts, nerr);
    traceio::getfhv("user2", t.user2, nerr);
    traceio::getfhv("user3", t.user3, nerr);
    return t;
}

Outcome run(const std::vector<std::string>& args, const std::string& input) {
    rftest::Captured io(input);
    Outcome o;
    o.status = console::run([&] { return waterlevel::marrick(args); });
    o.out = io.out();
    o.err = io.err();
    o.said = io.said();
    return o;
}

std::vector<float> pulse(int n, int nw) {
    std::vector<float> y(static_cast<std::size_t>(n), 0.0f);
    for (int i = 0; i < nw && i < n; ++i) y[i] = std::exp(-0.15f * i) * std::sin(0.9f * i + 0.4f);
    return y;
}

} // namespace wltest
