// rfkit: the suite's companion tools, one subcommand each, from recordings to
// crustal structure.
//
//   rfkit help                 lists the subcommands
//   rfkit <subcommand> -h      the synopsis of one subcommand
//
// Every subcommand runs inside console::run like the three programs: its text
// goes through the console streams and early ends are console::Ending.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace rfkit {

// One subcommand: its name, a one-line summary for `rfkit help`, and its
// body, called with the arguments after the subcommand's name; it returns
// the exit status (0 only when everything asked was done).
struct Subcommand {
    std::string_view name;
    std::string_view summary;
    int (*body)(std::span<const std::string> args);
};

// The table of subcommands, in the order `rfkit help` lists them.
std::span<const Subcommand> subcommands();

// Runs rfkit on its arguments (without the program name) and returns the
// exit status: the subcommand's, 0 for help, 1 for an unknown subcommand.
int rfkit(std::span<const std::string> args);

// The subcommands' bodies (each in its own source file).
int prep(std::span<const std::string> args);  // three components -> Z, R, T around P
int info(std::span<const std::string> args);  // a table of header fields
int peaks(std::span<const std::string> args); // peaks and ray-theory phase times
int hk(std::span<const std::string> args);    // H-kappa stack
int stack(std::span<const std::string> args); // moveout-corrected stack

} // namespace rfkit
