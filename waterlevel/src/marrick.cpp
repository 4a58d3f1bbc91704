#include "waterlevel/marrick.hpp"

#include "console/console.hpp"
#include "console/outputs.hpp"
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

constexpr std::size_t line_length = 256; // characters of a job line taken
constexpr int ntoks = 7;                 // tokens of a job line used

constexpr std::string_view job_format =
    "wavelet-file window-start window-end decon-file - - output-file";

void help() {
    console::out()
        << "Usage: marrick [options] wavelet-file decon-file output-file [conv-file]\n"
           "       marrick [options] < job-lines\n"
           "Receiver functions by water-level spectral division with a Gaussian low-pass.\n"
           "  -wavelet ts te     analysis window, s in the traces' time frame (needed with names)\n"
           "  -wl c              water level, a fraction of the largest wavelet power (0.001)\n"
           "  -freq f            Gaussian whose amplitude falls to 0.1 at f Hz\n"
           "  -pars c a          water level and Gaussian width a (a = 2.0)\n"
           "  -shift s           time shift of the result, s (0; 10 with job lines)\n"
           "  -taper len         cosine taper of len s at both ends of each trace\n"
           "  -convolve file     convolve the result with this trace\n"
           "  -debug             also write decon.wav, decon.trc, decon.cnv in $RF_DEBUG_DIR\n"
           "                     (default /tmp)\n"
           "  -h, -help, --help  this text\n"
           "Job lines, one job per line of standard input (blank lines and lines whose\n"
           "first non-blank character is # are passed over):\n"
           "  "
        << job_format
        << "\n"
           "Each output name is printed once its file is written.  Manual: man marrick\n";
}

// Reads one number into value (a lone slash leaves it as it was); a blank or
// unreadable value has been reported by gnum and ends the run.  So does a
// value of more than one item, such as a decimal comma ("2,5"), of which gnum
// would take the first alone.
void number(std::string_view text, std::string_view label, float& value) {
    if (const std::string why = console::one_number_problem(text); !why.empty())
        console::fail(console::Record().text("**Invalid ").text(label).text(".").str(), why);
    if (numerics::gnum(text, value, label) != 0) console::quit(1);
}

// A file name for a slot.  A name longer than the slot would be cut to the
// name of another file, so it is refused instead.
std::string name_slot(std::string_view text) {
    const std::string_view name = traceio::trimmed(text);
    if (name.size() > static_cast<std::size_t>(name_length)) {
        console::concerning(name);
        console::skip(console::Record().text("**File name longer than 64 characters.").str());
    }
    return std::string(name);
}

// The command line: the settings, the names given and whether any argument was
// not understood.
struct CommandLine {
    Settings settings;
    Names names;
    int positional = 0;
    bool complained = false;
    bool window_given = false;
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
            cl.names.slot[3] = ++i < args.size() ? name_slot(args[i]) : std::string();
            s.oconv = true;
        } else if (arg == "-debug") {
            s.debug = true;
        } else if (arg == "-wavelet") {
            number(next(), "wavelet start", s.ts);
            number(next(), "wavelet end", s.te);
            cl.window_given = true;
        } else if (console::looks_like_option(args[i])) {
            console::unrecognized(args[i]);
        } else if (cl.positional < 4) {
            cl.names.slot[cl.positional++] = name_slot(args[i]);
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

// With job lines every job gets its names and window from its line: names
// or a window on the command line would be silently replaced, so they are
// taken for a job meant for the command line that lacks a name.
void check_mode(const CommandLine& cl) {
    if (cl.positional > 0)
        console::fail(console::Record()
                          .text("**A job on the command line needs three file names (wavelet, "
                                "decon input, output); ")
                          .text(std::to_string(cl.positional))
                          .text(" given.")
                          .str());
    if (cl.window_given)
        console::fail(console::Record()
                          .text("**-wavelet is for a job named on the command line; job lines "
                                "give their own window.")
                          .str());
}

// A Gaussian of no width passes nothing: every sample of the result would be
// 0/0.
void check_gauss(const Settings& s) {
    if (!(s.agauss > 0.0f)) console::stop("**Gaussian width must be above 0 (-freq or -pars).");
}

// A window that runs backwards, or whose ends are not numbers, cuts nothing.
void check_window(const Settings& s) {
    if (!(std::isfinite(s.ts) && std::isfinite(s.te) && s.ts < s.te))
        console::stop("**Nonsense wavelet start/end values.");
}

// The first ntoks tokens of a line.
int split(std::string_view line, std::array<std::string, ntoks>& toks) {
    int ntok = 0;
    numerics::tokens(line, ntoks, ntok, toks, static_cast<int>(line.size()) + 1);
    return ntok;
}

// One job line: wavelet, window start, window end, decon input, two unused
// tokens, output.  The output name is echoed once it is written; an output
// that an earlier line of the run wrote is not replaced.
void job_line(const std::string& line, long number_of_line, Settings& s, Names& names,
              console::RunOutputs& written) {
    std::array<std::string, ntoks> toks, whole;
    const int ntok = split(std::string_view(line).substr(0, line_length), toks);
    // Only the first 256 characters are taken; a line whose job reaches past
    // them would lose part of a name or a value.
    if (line.size() > line_length && (split(line, whole) != ntok || whole != toks))
        console::skip(console::Record().text("**Input line longer than 256 characters.").str(),
                      "its job goes on past column 256");
    if (ntok < ntoks)
        console::stop("**Bad input format (not enough data)",
                      std::to_string(ntok) + (ntok == 1 ? " token" : " tokens") +
                          " where 7 are needed");
    names.slot[0] = name_slot(toks[0]);
    names.slot[1] = name_slot(toks[3]);
    names.slot[2] = name_slot(toks[6]);
    number(toks[1], "window start", s.ts);
    number(toks[2], "window end", s.te);
    check_window(s);
    if (s.tdelay == 0.0f) s.tdelay = 10.0f; // the default shift of this mode
    written.check(names.output(), "Output", "two job lines name the same output");
    process_job(s, names);
    written.add(names.output(), number_of_line);
    console::out() << console::upto_blank(names.output()) << '\n';
}

int input_list(Settings& s, Names& names) {
    std::string expects = "marrick: reading job lines: ";
    expects.append(job_format).append(" (end with Ctrl-D)");
    console::JobLines jobs(expects);
    console::RunOutputs written;
    std::string line;
    while (jobs.next(line)) {
        jobs.run([&] { job_line(line, jobs.number(), s, names, written); });
        console::flush_listing();
    }
    return jobs.clean() ? 0 : 1;
}

} // namespace

int marrick(std::span<const std::string> args) {
    if (console::help_asked(args)) {
        help();
        return 0;
    }
    CommandLine cl = read_command_line(args);
    cl.settings.input_list = cl.positional < 3;
    // A fourth name is the conv. file only with -convolve; without it the
    // name would be passed over (a convolution meant and not made).
    if (cl.positional == 4 && !cl.settings.oconv) {
        console::err() << console::Record()
                              .text("**Fourth file name " +
                                    std::string(console::upto_blank(cl.names.slot[3])) +
                                    " is not used without -convolve.")
                              .str()
                       << '\n';
        cl.complained = true;
    }
    if (cl.settings.input_list) check_mode(cl);
    check_gauss(cl.settings);
    int status = 0;
    if (cl.settings.input_list) {
        status = input_list(cl.settings, cl.names);
    } else {
        check_window(cl.settings);
        process_job(cl.settings, cl.names);
    }
    return cl.complained ? 1 : status;
}

} // namespace waterlevel
