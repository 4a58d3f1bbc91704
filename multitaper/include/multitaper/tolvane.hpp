// The receiver-function program: multitaper deconvolution of a trace by a
// wavelet trace, one job from the command line or one per line of input.
#pragma once

#include <span>
#include <string>

namespace multitaper {

// Runs the program on its arguments (without the program name) and returns
// the exit status; all text goes through the console streams, early ends
// are thrown as console::Ending.
int tolvane(std::span<const std::string> args);

// True when the packed real transform `ft` treats n as a count of real
// points: transforming 2 values must leave the two values after them alone.
bool packed_transform_sound(void (*ft)(std::span<float>, int, int));

} // namespace multitaper
