// Whole jobs on two arbitrary trace files: the input is one byte choosing
// how the program is run, two bytes giving the length of the first file,
// then the first file (the wavelet, "w.sac") and the second (the trace,
// "d.sac").  The output is "o.sac".
#pragma once

#include "harness.hpp"

namespace fuzz {

// One way of running the program: its arguments and its standard input.
struct Run {
    std::vector<std::string> args;
    std::string input;
};
using Program = int (*)(std::span<const std::string>);

// Runs the chosen job on the split input and checks that a success left a
// whole, finite output and that a failure left the older output untouched.
void whole_job(const std::uint8_t* data, std::size_t size, Program program,
               std::span<const Run> runs);

// A trace to be made before the program reads job lines.
struct Fixture {
    std::string name;
    int npts;
    float delta, b, pulse_at;
};

// Runs the program without arguments on arbitrary job lines against sound
// traces: the run ends with status 0 or 1, and every name it echoes names a
// whole trace of finite samples.
void job_lines(const std::uint8_t* data, std::size_t size, Program program,
               std::span<const Fixture> fixtures);

} // namespace fuzz
