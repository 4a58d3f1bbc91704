#include "rfkit/cmdline.hpp"

#include "console/console.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace rfkit {

namespace {

bool parse_number(const std::string& s, double& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(s.c_str(), &end);
    return end == s.c_str() + s.size() && errno == 0 && std::isfinite(v);
}

} // namespace

std::string Arguments::option() {
    while (next_ < args_.size()) {
        const std::string& a = args_[next_++];
        double ignored = 0;
        if (ended_ || a.size() < 2 || a[0] != '-' || parse_number(a, ignored))
            files_.push_back(a);
        else if (a == "--")
            ended_ = true;
        else
            return a;
    }
    return {};
}

const std::string& Arguments::value(std::string_view option) {
    if (next_ >= args_.size()) refuse(std::string(option) + " needs a value");
    return args_[next_++];
}

double Arguments::number(std::string_view option) {
    const std::string& s = value(option);
    double v = 0;
    if (!parse_number(s, v)) refuse(std::string(option) + " needs a number, not '" + s + "'");
    return v;
}

long Arguments::integer(std::string_view option, long lo, long hi) {
    const double v = number(option);
    if (v != std::floor(v) || v < static_cast<double>(lo) || v > static_cast<double>(hi))
        refuse(std::string(option) + " needs a whole number from " + std::to_string(lo) + " to " +
               std::to_string(hi));
    return static_cast<long>(v);
}

std::string Arguments::text(std::string_view option) {
    return value(option);
}

void Arguments::unknown(const std::string& option) const {
    refuse("unknown option '" + option + "' (" + tool_ + " -h lists the options)");
}

void Arguments::refuse(const std::string& message) const {
    throw console::Ending(1, tool_ + ": " + message);
}

} // namespace rfkit
