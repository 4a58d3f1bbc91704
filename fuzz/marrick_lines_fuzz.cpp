// marrick's job lines on arbitrary standard input against two sound traces:
// every run ends with status 0 or 1, and every output name echoed names a
// whole trace of finite samples.
#include "job.hpp"
#include "waterlevel/marrick.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Fixture traces[]{{"w.sac", 1000, 0.05f, 0.0f, 5.0f},
                                        {"d.sac", 1000, 0.05f, 0.0f, 7.0f}};
    fuzz::job_lines(data, size, waterlevel::marrick, traces);
    return 0;
}
