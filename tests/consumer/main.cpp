// Reads a SAC trace with the installed library, writes a scaled copy and reads
// the copy back: prints "npts b delta peak" of the input and "copy ok".
#include "traceio/traceio.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::vector<float> y(65536), back(65536);
    int n = 0, err = 0;
    float b = 0, delta = 0;
    traceio::rsac1(argv[1], y, n, b, delta, static_cast<int>(y.size()), err);
    if (err != 0 || n <= 0) return 1;
    float peak = 0;
    for (int i = 0; i < n; ++i) peak = std::max(peak, std::abs(y[i]));
    std::printf("npts %d b %g delta %g peak %g\n", n, b, delta, peak);

    for (int i = 0; i < n; ++i) y[i] *= 2.0f;
    traceio::wsac1(argv[2], std::span(y).first(n), n, b, delta, err);
    if (err != 0) return 1;
    int m = 0;
    traceio::rsac1(argv[2], back, m, b, delta, static_cast<int>(back.size()), err);
    if (err != 0 || m != n || !std::equal(y.begin(), y.begin() + n, back.begin())) return 1;
    std::printf("copy ok\n");
    return 0;
}
