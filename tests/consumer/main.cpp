// Reads a SAC trace with the trace-file library, writes a scaled copy and
// reads the copy back: prints "npts b delta peak" of the input and "copy ok".
// A failure is reported with the text of its error number, status 1.
#include "traceio/traceio.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int fail(const char* name, int err) {
    std::fprintf(stderr, "%s: %s (%d)\n", name, std::string(traceio::error_text(err)).c_str(), err);
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::vector<float> y(65536), back(65536);
    int n = 0, err = 0;
    float b = 0, delta = 0;
    traceio::rsac1(argv[1], y, n, b, delta, static_cast<int>(y.size()), err);
    if (err != 0) return fail(argv[1], err);
    float peak = 0;
    for (int i = 0; i < n; ++i) peak = std::max(peak, std::abs(y[i]));
    std::printf("npts %d b %g delta %g peak %g\n", n, b, delta, peak);

    for (int i = 0; i < n; ++i) y[i] *= 2.0f;
    traceio::wsac1(argv[2], std::span(y).first(n), n, b, delta, err);
    if (err != 0) return fail(argv[2], err);
    int m = 0;
    traceio::rsac1(argv[2], back, m, b, delta, static_cast<int>(back.size()), err);
    if (err != 0) return fail(argv[2], err);
    if (m != n || !std::equal(y.begin(), y.begin() + n, back.begin())) return 1;
    std::printf("copy ok\n");
    return 0;
}
