// Checks that trace files describe their data, as every trace the programs
// write must: big-endian, NVHDR 6, IFTYPE time series (or IXY, an evenly
// spaced axis other than time: rfkit stack's depth axis), evenly spaced, the
// file exactly as long as NPTS samples, every sample finite, and
//   E = B + (NPTS - 1) * DELTA   (single precision, product first)
//   DEPMIN, DEPMAX = the smallest and largest sample
//   DEPMEN = their mean (to a relative 1e-5 of the largest magnitude).
// The header is read from the file's bytes, not through the library, so that
// nothing is recomputed on the way.
//
//   sacaudit FILE...          prints one line per fault, status 1 if any
//   sacaudit -word N FILE     prints header word N as a float and an integer
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct File {
    std::vector<unsigned char> bytes;
    std::uint32_t word(std::size_t w) const {
        const unsigned char* p = &bytes[4 * w];
        return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
               p[3];
    }
    float real(std::size_t w) const { return std::bit_cast<float>(word(w)); }
    int integer(std::size_t w) const { return static_cast<int>(word(w)); }
};

int faults = 0;

void fault(const std::string& name, const std::string& what) {
    std::printf("%s: %s\n", name.c_str(), what.c_str());
    ++faults;
}

void audit(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    File f{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
    if (!in.eof() && !in) return fault(name, "cannot be read");
    if (f.bytes.size() < 632) return fault(name, "shorter than a header");
    if (f.integer(76) != 6) return fault(name, "NVHDR is not 6 (or the file is not big-endian)");
    if (f.integer(85) != 1 && f.integer(85) != 4) fault(name, "IFTYPE is not ITIME or IXY");
    if (f.integer(105) != 1) fault(name, "LEVEN is not true");
    const int npts = f.integer(79);
    if (npts < 0 || f.bytes.size() != 632 + 4 * static_cast<std::size_t>(npts))
        return fault(name, "length does not match NPTS " + std::to_string(npts));
    const float delta = f.real(0), b = f.real(5), e = f.real(6);
    if (npts > 0 && e != b + static_cast<float>(npts - 1) * delta)
        fault(name, "E " + std::to_string(e) + " is not B + (NPTS - 1) * DELTA");
    if (npts == 0) return;
    float low = INFINITY, high = -INFINITY;
    double sum = 0.0;
    for (int i = 0; i < npts; ++i) {
        const float v = f.real(158 + static_cast<std::size_t>(i));
        if (!std::isfinite(v))
            return fault(name, "sample " + std::to_string(i + 1) + " not finite");
        low = std::fmin(low, v);
        high = std::fmax(high, v);
        sum += v;
    }
    if (f.real(1) != low)
        fault(name, "DEPMIN " + std::to_string(f.real(1)) + " is not the minimum");
    if (f.real(2) != high)
        fault(name, "DEPMAX " + std::to_string(f.real(2)) + " is not the maximum");
    const double mean = sum / npts, scale = std::fmax(std::fabs(low), std::fabs(high));
    if (!(std::fabs(f.real(56) - mean) <= 1e-5 * scale))
        fault(name, "DEPMEN " + std::to_string(f.real(56)) + " is not the mean");
}

} // namespace

// Header word w of a file: "<float> <integer>".
int show(const std::string& name, int w) {
    std::ifstream in(name, std::ios::binary);
    File f{{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
    if (w < 0 || w >= 158 || f.bytes.size() < 632) return 2;
    std::printf("%.9g %d\n", static_cast<double>(f.real(static_cast<std::size_t>(w))),
                f.integer(static_cast<std::size_t>(w)));
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "-word") return show(argv[3], std::atoi(argv[2]));
    for (int i = 1; i < argc; ++i) audit(argv[i]);
    return faults == 0 ? 0 : 1;
}
