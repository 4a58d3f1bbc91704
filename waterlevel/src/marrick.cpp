#include "waterlevel/marrick.hpp"

#include "console/console.hpp"
#include "numerics/constants.hpp"
#include "numerics/parse.hpp"
#include "traceio/textutil.hpp"
#include "waterlevel/job.hpp"

#include <array>
#include <cmath>
#include <istream>
#include <limits>
#include <ostream>

namespace waterlevel {

std::string slot_text(std::string_view text) {
    return std::string(traceio::trimmed(text.substr(0, name_length)));
}

namespace {

// Reads one number into value (a lone slash leaves it as it was); a blank or
// unreadable value has been reported by gnum and ends the run.
void number(std::string_view text, std::string_view label, float& value) {
    if (numerics::gnum(text, value, label) != 0) console::quit(1);
}

// The command line: the settings, the names given and whether any argument was
// not understood.
struct CommandLine {
    Settings settings;
    Names names;
    int positional = 0;
    bool complained = false;
};

CommandLine read_command_line(std::span<const std::string> args) {
    CommandLine cl;
    Settings& s = cl.settings;
    std::size_t i = 0;
    // The next argument as a 64-character field (blank when there is none).
    auto next = [&]() -> std::string {
        return ++i < args.size() ? slot_text(args[i]) : std::string();
    };
    for (; i < args.size(); ++i) {
        const std::string arg = slot_text(args[i]);
        if (arg == "-taper") {
            number(next(), "taper value", s.blen);
        } else if (arg == "-pars") {
            number(next(), "water level", s.c);
            number(next(), "water level & Gauss width", s.agauss);
        } else if (arg == "-wl") {
            number(next(), "water level", s.c);
        } else if (arg == "-freq") {
            float f = std::numeric_limits<float>::quiet_NaN(); // gnum reads only numbers
            number(next(), "frequency", f);
            if (!std::isnan(f)) s.agauss = numerics::pi_f * f / numerics::sqrt_ln10_f;
        } else if (arg == "-shift") {
            number(next(), "time shift value", s.tdelay);
        } else if (arg == "-convolve") {
            cl.names.slot[3] = next();
            s.oconv = true;
        } else if (arg == "-debug") {
            s.debug = true;
        } else if (arg == "-wavelet") {
            number(next(), "wavelet start", s.ts);
            number(next(), "wavelet end", s.te);
        } else if (cl.positional < 4) {
            cl.names.slot[cl.positional++] = arg;
        } else {
            console::err() << console::Record()
                                  .text("**Dont understand ")
                                  .text(console::upto_blank(arg))
                                  .text(", skipping.")
                                  .str()
                           << '\n';
            cl.complained = true;
        }
    }
    return cl;
}

// A window that runs backwards, or whose ends are not numbers, cuts nothing.
void check_window(const Settings& s) {
    if (!(std::isfinite(s.ts) && std::isfinite(s.te) && s.ts < s.te))
        console::stop("**Nonsense wavelet start/end values.");
}

// One job per input line: wavelet, window start, window end, decon input,
// two unused tokens, output.  Each output name is echoed once it is written.
void input_list(Settings& s, Names& names) {
    constexpr int line_length = 256;
    constexpr int ntoks = 7;
    std::array<std::string, ntoks> toks;
    std::string line;
    for (;;) {
        if (!std::getline(console::in(), line)) {
            if (console::in().bad()) console::quit(1);
            return;
        }
        if (line.size() > line_length) line.resize(line_length);
        int ntok = 0;
        numerics::tokens(line, ntoks, ntok, toks, name_length);
        if (ntok < ntoks) console::stop("**Bad input format (not enough data)");
        names.slot[0] = slot_text(toks[0]);
        names.slot[1] = slot_text(toks[3]);
        names.slot[2] = slot_text(toks[6]);
        number(toks[1], "window start", s.ts);
        number(toks[2], "window end", s.te);
        check_window(s);
        if (s.tdelay == 0.0f) s.tdelay = 10.0f; // the default shift of this mode
        process_job(s, names);
        console::out() << console::upto_blank(names.output()) << '\n';
        console::out().flush();
    }
}

} // namespace

int marrick(std::span<const std::string> args) {
    CommandLine cl = read_command_line(args);
    cl.settings.input_list = cl.positional < 3;
    if (cl.settings.input_list) {
        input_list(cl.settings, cl.names);
    } else {
        check_window(cl.settings);
        process_job(cl.settings, cl.names);
    }
    return cl.complained ? 1 : 0;
}

} // namespace waterlevel
