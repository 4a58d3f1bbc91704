// marrick's job lines on arbitrary standard input against two sound traces:
// every run ends with status 0 or 1, and every output name echoed names a
// whole trace of finite samples.
#include "harness.hpp"
#include "waterlevel/marrick.hpp"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<std::string> fixtures{"w.sac", "d.sac"};
    fuzz::scratch();
    fuzz::make_trace("w.sac", 1000, 0.05f, 0.0f, 5.0f);
    fuzz::make_trace("d.sac", 1000, 0.05f, 0.0f, 7.0f);
    const std::string input = fuzz::confined(std::span(data, size));
    const std::vector<std::string> args;
    const auto r = fuzz::run_program([&] { return waterlevel::marrick(args); }, input);
    fuzz::require(r.status == 0 || r.status == 1, "status 0 or 1");
    std::istringstream echoed(r.out);
    for (std::string name; std::getline(echoed, name);)
        if (!name.empty()) fuzz::require_sound_output(name);
    fuzz::sweep(fixtures);
    return 0;
}
