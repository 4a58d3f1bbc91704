// What every fuzz target shares: a private scratch directory that the whole
// run works in, console streams redirected to strings, and a check that
// aborts (so the fuzzer reports it) when an invariant breaks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// The scratch directory, made on first use under $TMPDIR (or /tmp) and
// removed at exit.  The process works inside it, so relative names in job
// lines land there.
const std::string& scratch();

// Removes from the scratch directory every entry not named in keep.
void sweep(std::span<const std::string> keep);

// Writes bytes to a file; aborts when the file cannot be written.
void put_file(const std::string& name, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> get_file(const std::string& name); // empty when missing
bool exists(const std::string& name);

// Runs a program body with standard input given and standard output and
// error captured; returns the exit status as the program would give it.
struct Outcome {
    int status;
    std::string out, err;
};
Outcome run_program(const std::function<int()>& body, std::string_view input);

// Aborts with the message when the condition fails.
void require(bool condition, const char* what);

// Text safe to use as a job line here: a slash or a vertical bar would
// reach outside the scratch directory or start a command, so both become
// underscores.
std::string confined(std::span<const std::uint8_t> bytes);

// A sound trace file made by the library, for targets that need fixed input.
void make_trace(const std::string& name, int npts, float delta, float b, float pulse_at);

// Checks an output trace the way a caller relies on it: a whole file of
// 632 + 4 NPTS bytes whose samples are all finite.
void require_sound_output(const std::string& name);

} // namespace fuzz
