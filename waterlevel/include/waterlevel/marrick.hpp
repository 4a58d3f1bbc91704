// The water-level receiver-function program.
#pragma once

#include <span>
#include <string>

namespace waterlevel {

// Runs the program on its command-line arguments (without the program name),
// talking through the console streams.  Returns the exit status; early ends
// are thrown as console::Ending.
int marrick(std::span<const std::string> args);

} // namespace waterlevel
