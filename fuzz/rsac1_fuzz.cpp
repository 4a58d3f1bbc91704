// Trace reading on arbitrary file bytes: a header-only read, a read into a
// short array and a full read must each give a known error number or a
// store that describes exactly the samples delivered.
#include "harness.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <vector>

namespace {

void read_with_capacity(const std::string& name, int capacity) {
    // The array is exactly as long as the capacity, so a write past it is seen.
    std::vector<float> y(static_cast<std::size_t>(capacity > 0 ? capacity : 1), 7.5f);
    int nlen = -1, nerr = -1;
    float beg = 0.0f, del = 0.0f;
    traceio::rsac1(name, std::span(y).first(static_cast<std::size_t>(capacity)), nlen, beg, del,
                   capacity, nerr);
    fuzz::require(nerr == 0 || nerr == traceio::ERR_OPEN || nerr == traceio::ERR_READ ||
                      nerr == traceio::ERR_UNEVEN,
                  "known error number");
    if (nerr != 0) return;
    if (capacity == 0) {
        fuzz::require(nlen == 0, "header-only read delivers no samples");
        return;
    }
    fuzz::require(nlen >= 0 && nlen <= capacity, "samples read fit the capacity");
    int npts = 0, herr = 0;
    traceio::getnhv("npts", npts, herr);
    fuzz::require(npts == nlen, "NPTS describes the samples read");
    for (std::size_t k = static_cast<std::size_t>(nlen); k < y.size(); ++k)
        fuzz::require(y[k] == 7.5f, "nothing stored past the samples read");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = fuzz::scratch() + "/trace.sac";
    fuzz::put_file(name, std::span(data, size));
    read_with_capacity(name, 0);
    read_with_capacity(name, 3);
    read_with_capacity(name, 4096);
    return 0;
}
