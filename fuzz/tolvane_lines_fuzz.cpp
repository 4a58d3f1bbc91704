// tolvane's batch lines on arbitrary standard input against two sound traces:
// every run ends with status 0 or 1, and every output name echoed names a
// whole trace of finite samples.
#include "job.hpp"
#include "multitaper/tolvane.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Fixture traces[]{{"w.sac", 1600, 0.05f, -40.0f, 0.0f},
                                        {"d.sac", 1600, 0.05f, -40.0f, 2.0f}};
    fuzz::job_lines(data, size, multitaper::tolvane, traces);
    return 0;
}
