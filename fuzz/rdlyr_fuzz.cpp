// The layered-model reader on arbitrary text: it either accepts a model that
// fits its arrays and ends in a half-space, refuses it with a message, or
// ends the run as a file failure with status 2.
#include "harness.hpp"
#include "synthetics/layers.hpp"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = fuzz::scratch() + "/model";
    fuzz::put_file(name, std::span(data, size));
    constexpr std::size_t cap = 100;
    std::array<std::vector<float>, 9> a;
    for (auto& v : a) v.assign(cap, 0.0f);
    int n = -1;
    std::string title;
    bool accepted = false;
    // flags 7: no prompt, no summary; 1: both, answered from standard input.
    const int flags = size > 0 && (data[0] & 1) ? 1 : 7;
    const auto outcome = fuzz::run_program(
        [&] {
            accepted = synthetics::rdlyr(flags, name, 100, n, title, a[0], a[1], a[2], a[3], a[4],
                                         a[5], a[6], a[7], a[8]);
            return 0;
        },
        "y\n");
    fuzz::require(outcome.status == 0 || outcome.status == 2, "status 0 or 2");
    if (outcome.status == 2) fuzz::require(!outcome.err.empty(), "file failure has a message");
    if (accepted) {
        fuzz::require(n >= 1 && n <= static_cast<int>(cap), "layer count fits the arrays");
        fuzz::require(a[3][static_cast<std::size_t>(n - 1)] == 0.0f, "last layer is a half-space");
    }
    return 0;
}
