// Helpers for driving whole marrick runs inside the test process.
#pragma once

#include "rftest/scratch.hpp"

#include <string>
#include <vector>

namespace wltest {

using rftest::TempDir;

// An evenly spaced trace and the header fields the program sets.
struct Trace {
    std::vector<float> y;
    float b = 0, delta = 0, user2 = 0, user3 = 0;
    int npts = 0;
};

// Writes y as a SAC file with a fresh header; returns the file name.
std::string write_trace(const std::string& name, const std::vector<float>& y, float b, float delta);
// Reads a SAC file written by the program (fails the test when it cannot).
Trace read_trace(const std::string& name);

// The exit status and both output streams of one run.
struct Outcome {
    int status = -1;
    std::string out, err;
    std::string said; // err without the where-lines (those beginning with two blanks)
};
Outcome run(const std::vector<std::string>& args, const std::string& input = "");

// A unit-area-ish source pulse of nw samples: a damped oscillation.
std::vector<float> pulse(int n, int nw);

} // namespace wltest
