// Writes and checks a reference trace with the library, for the test that
// passes traces through independent SAC tools and back.
//
//   traceio_interop write FILE   write the reference trace
//   traceio_interop check FILE   read FILE; exit 0 if it holds the same
//                                samples, DELTA and NPTS
//   traceio_interop read FILE    read FILE; print NPTS, DELTA and B
#include "traceio/traceio.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int count = 1000;
constexpr float delta = 0.025f; // exactly 40 samples per second

float sample(int i) {
    return static_cast<float>(1000.0 * std::sin(0.05 * i) * std::exp(-0.001 * i)) + 0.125f;
}

int write(const std::string& name) {
    std::array<float, count> y{};
    for (int i = 0; i < count; ++i) y[static_cast<std::size_t>(i)] = sample(i);
    traceio::newhdr();
    int e = 0;
    traceio::setnhv("npts", count, e);
    traceio::setfhv("delta", delta, e);
    traceio::setfhv("b", 0.0f, e);
    traceio::setfhv("e", static_cast<float>(count - 1) * delta, e);
    // A full reference time: converters refuse a trace without one.
    for (auto [field, value] : {std::pair{"nzyear", 2024},
                                {"nzjday", 100},
                                {"nzhour", 12},
                                {"nzmin", 30},
                                {"nzsec", 15},
                                {"nzmsec", 250}})
        traceio::setnhv(field, value, e);
    traceio::setkhv("knetwk", "XX", e);
    traceio::setkhv("kstnm", "RFT", e);
    traceio::setkhv("khole", "00", e);
    traceio::setkhv("kcmpnm", "BHZ", e);
    traceio::wsac0(name, {}, y, e);
    if (e != 0) std::fprintf(stderr, "write %s failed: %d\n", name.c_str(), e);
    return e == 0 ? 0 : 1;
}

int read(const std::string& name, bool check) {
    std::array<float, 2 * count> y{};
    int n = 0, e = 0;
    float b = 0, d = 0;
    traceio::rsac1(name, y, n, b, d, 2 * count, e);
    if (e != 0) {
        std::fprintf(stderr, "read %s failed: %d\n", name.c_str(), e);
        return 1;
    }
    std::printf("NPTS %d DELTA %.9g B %.9g\n", n, d, b);
    if (!check) return n > 0 ? 0 : 1;
    int bad = 0;
    if (n != count || d != delta) {
        std::fprintf(stderr, "expected NPTS %d DELTA %.9g\n", count, delta);
        return 1;
    }
    for (int i = 0; i < n; ++i) {
        if (y[static_cast<std::size_t>(i)] != sample(i) && bad++ < 5)
            std::fprintf(stderr, "sample %d: %.9g, expected %.9g\n", i + 1,
                         y[static_cast<std::size_t>(i)], sample(i));
    }
    return bad == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: traceio_interop write|check|read FILE\n");
        return 2;
    }
    const std::string what = argv[1];
    if (what == "write") return write(argv[2]);
    if (what == "check") return read(argv[2], true);
    if (what == "read") return read(argv[2], false);
    std::fprintf(stderr, "unknown command %s\n", what.c_str());
    return 2;
}
