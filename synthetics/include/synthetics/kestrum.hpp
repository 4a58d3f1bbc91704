// The synthetic receiver-function program: for each layered model named on
// standard input, the Z, R and T surface response to a plane P or S wave of
// one horizontal slowness, written as SAC traces "<model>_sp.z/.r/.t".
#pragma once

#include <span>
#include <string>

namespace synthetics {

// Runs the program with the command-line arguments (program name excluded);
// all text goes through the console streams.  Returns the exit status: 0 when
// every model named on standard input was computed and written.
int kestrum(std::span<const std::string> args);

} // namespace synthetics
