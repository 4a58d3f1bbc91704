// Option values of the prep, info and peaks subcommands: each taken from the
// arguments after its option; a missing or unreadable value ends the run with
// status 1 and a message naming the subcommand, the option and the value.
#pragma once

#include "console/console.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>

namespace rfkit::args {

// Ends the run: "rfkit <tool>: <message>", status 1.
[[noreturn]] inline void refuse(const std::string& tool, const std::string& message) {
    throw console::Ending(1, "rfkit " + tool + ": " + message);
}

// The argument after args[i] (advancing i), or the run ends.
inline const std::string& value(std::span<const std::string> args, std::size_t& i,
                                const std::string& tool) {
    if (i + 1 >= args.size()) refuse(tool, "option " + args[i] + " needs a value");
    return args[++i];
}

// A finite number from the whole of a text; false otherwise.
inline bool to_number(const std::string& text, double& v) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno == 0 && std::isfinite(v);
}

// The number after args[i] (advancing i), or the run ends.
inline double number(std::span<const std::string> args, std::size_t& i, const std::string& tool) {
    const std::string& option = args[i];
    const std::string& text = value(args, i, tool);
    double v = 0;
    if (!to_number(text, v)) refuse(tool, "option " + option + ": '" + text + "' is not a number");
    return v;
}

// True for an argument that is an option word: it begins with '-', is longer
// than "-" and is not a number.
inline bool is_option(const std::string& a) {
    double v = 0;
    return a.size() > 1 && a[0] == '-' && !to_number(a, v);
}

} // namespace rfkit::args
