// The driver: command line, job lines, the checks on windows and traces,
// the calls on the core and the output trace with its coherence.
#include "multitaper/tolvane.hpp"

#include "console/console.hpp"
#include "console/outputs.hpp"
#include "multitaper/spectra.hpp"
#include "numerics/condition.hpp"
#include "numerics/delay.hpp"
#include "numerics/parse.hpp"
#include "numerics/realft.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"
#include "traceio/textutil.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <istream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

namespace multitaper {
namespace {

constexpr std::size_t name_length = 80;
constexpr std::size_t line_length = 256;
constexpr int max_samples = 32000;
constexpr int last_index = max_samples - 1;
constexpr float rate_tolerance = 0.001f;

// Settings carried through the whole run, and the job now being done.
struct Settings {
    float freq = 5.0f;
    float shift = 10.0f;
    bool debug = false;
    bool batch = true;
    float decon_start = 0.0f, decon_end = 0.0f;
    float wavelet_start = 0.0f, wavelet_end = 0.0f;
    float noise_start = 0.0f, noise_end = 0.0f;
    std::string wavelet, decon, output;
};

// Every buffer of a job, in static storage and reused from line to line.
struct Storage {
    std::array<float, max_samples> wavelet{};
    std::array<float, max_samples> trace{};
    Workspace work{};
    TaperSet tapers{};
};
Storage storage;

std::string cut(std::string_view s, std::size_t n) {
    return std::string(s.substr(0, n));
}

// A file name as the file calls see it: trailing blanks are padding.
std::string_view file_name(const std::string& s) {
    return traceio::trimmed(s);
}

void warn(const console::Record& r) {
    console::err() << r.str() << '\n';
}

constexpr std::string_view job_format = "wavelet-file decon-start decon-end decon-file "
                                        "wavelet-start wavelet-end noise-start noise-end "
                                        "output-file";

void help() {
    console::out()
        << "Usage: tolvane [options] < job-lines\n"
           "       tolvane [options] -window ds de -wavelet ws we -noise ns ne "
           "wavelet-file decon-file output-file\n"
           "Receiver functions by multitaper spectral deconvolution, with their coherence.\n"
           "  -freq f            cutoff frequency of the low-pass, Hz (5.0)\n"
           "  -shift s           time shift: zero lag lies s after the first sample (10.0)\n"
           "  -window ds de      deconvolution window, s in the traces' time frame\n"
           "  -wavelet ws we     wavelet window (from the wavelet file)\n"
           "  -noise ns ne       noise window (from the wavelet file)\n"
           "  -debug             progress lines and decon.wav, .noi, .trc, .coh in\n"
           "                     $RF_DEBUG_DIR (default /tmp)\n"
           "  -h, -help, --help  this text\n"
           "Any of -window, -wavelet, -noise makes one job of the command line (all three\n"
           "are then needed).  Otherwise one job per line of standard input (blank lines\n"
           "and lines whose first non-blank character is # are passed over):\n"
           "  "
        << job_format
        << "\n"
           "Each output name is printed once its file is written.  Manual: man tolvane\n";
}

// A file name kept whole: a longer one would be cut to the name of another
// file, so it is refused instead.
std::string name_field(std::string_view text) {
    const std::string_view name = traceio::trimmed(text);
    if (name.size() > name_length) {
        console::concerning(name);
        console::skip(console::Record().text("**File name longer than 80 characters.").str());
    }
    return std::string(name);
}

// Reads the value after args[i] into v; an unreadable or missing value has
// already been reported by gnum and ends the run.  So does a value of more
// than one item, such as a decimal comma ("2,5"), of which gnum would take
// the first alone.
void take_value(std::span<const std::string> args, std::size_t& i, float& v,
                std::string_view name) {
    ++i;
    const std::string text = i < args.size() ? cut(args[i], name_length) : std::string();
    if (const std::string why = console::one_number_problem(text); !why.empty())
        console::fail(console::Record().text("**Invalid ").text(name).text(".").str(), why);
    if (numerics::gnum(text, v, name) != 0) console::quit(1);
}

// Scans the command line; false when an argument was skipped.  `positional`
// counts the file names given.
bool scan(std::span<const std::string> args, Settings& s, int& positional) {
    bool clean = true;
    positional = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg = cut(args[i], name_length);
        if (arg.substr(0, 5) == "-freq") {
            take_value(args, i, s.freq, "-freq value");
        } else if (arg == "-shift") {
            take_value(args, i, s.shift, "time shift value");
        } else if (arg == "-debug") {
            s.debug = true;
        } else if (arg == "-window") {
            take_value(args, i, s.decon_start, "deconvolution start");
            take_value(args, i, s.decon_end, "deconvolution end");
            s.batch = false;
        } else if (arg == "-wavelet") {
            take_value(args, i, s.wavelet_start, "wavelet start");
            take_value(args, i, s.wavelet_end, "wavelet end");
            s.batch = false;
        } else if (arg == "-noise") {
            take_value(args, i, s.noise_start, "noise window start");
            take_value(args, i, s.noise_end, "noise window end");
            s.batch = false;
        } else if (console::looks_like_option(args[i])) {
            console::unrecognized(args[i]);
        } else if (positional < 3) {
            (positional == 0   ? s.wavelet
             : positional == 1 ? s.decon
                               : s.output) = name_field(args[i]);
            ++positional;
        } else {
            warn(console::Record()
                     .text("**Dont understand ")
                     .text(console::upto_blank(arg))
                     .text(", skipping."));
            clean = false;
        }
    }
    return clean;
}

using Tokens = std::array<std::string, 9>;

// The first nine tokens of a line, whole.
int split(std::string_view line, Tokens& toks) {
    int ntok = 0;
    numerics::tokens(line, 9, ntok, toks, static_cast<int>(line.size()) + 1);
    return ntok;
}

// Reads a job line into the settings; skips the job (with a message) when it
// does not hold nine tokens and six window values.
void read_job(const std::string& raw, long line_number, Settings& s) {
    const auto bad = [&](std::string_view why) {
        console::skip(console::Record()
                          .text("**Bad input, line ")
                          .integer(line_number)
                          .text(", skipping.")
                          .str(),
                      why);
    };
    Tokens toks, whole;
    const int ntok = split(std::string_view(raw).substr(0, line_length), toks);
    // Only the first 256 characters are taken; a line whose job reaches past
    // them would lose part of a name or a value.
    if (raw.size() > line_length && (split(raw, whole) != ntok || whole != toks))
        bad("the job goes on past column 256");
    if (ntok != 9)
        bad(std::to_string(ntok) + (ntok == 1 ? " token" : " tokens") + " where 9 are needed");
    s.wavelet = name_field(toks[0]);
    s.decon = name_field(toks[3]);
    s.output = name_field(toks[8]);
    // The window tokens are read as one list, so a token holding a comma
    // gives two values and shifts the later ones.
    std::string list;
    for (int k : {1, 2, 4, 5, 6, 7}) {
        if (!list.empty()) list += ' ';
        list += toks[k].substr(0, numerics::nbl(toks[k]));
    }
    list.resize(line_length, ' ');
    std::array<float, 6> v{};
    if (numerics::read_reals(list, v) != 6) bad("the six window values are not all numbers");
    s.decon_start = v[0];
    s.decon_end = v[1];
    s.wavelet_start = v[2];
    s.wavelet_end = v[3];
    s.noise_start = v[4];
    s.noise_end = v[5];
}

// Skips the job (with a message) when a window is empty or reversed; in
// single mode that ends the run.
void check_windows(const Settings& s) {
    const char* complaint = nullptr;
    if (!(s.wavelet_start < s.wavelet_end))
        complaint = "**Nonsense/no wavelet start/end values.";
    else if (!(s.noise_start < s.noise_end))
        complaint = "**Nonsense/no noise start/end values.";
    else if (!(s.decon_start < s.decon_end))
        complaint = "**Nonsense/no decon start/end values.";
    if (complaint) console::skip(console::Record().text(complaint).str());
}

// A window that misses its trace altogether would analyse nothing but zeros.
void check_overlap(std::string_view window, float start, float end, float b, int npts, float dt,
                   std::string_view trace) {
    if (npts < 1) return; // no samples: refused when they are read
    const float last = b + static_cast<float>(npts - 1) * dt;
    if (end < b || start > last) {
        std::ostringstream m;
        m << "**" << window << " window " << start << " to " << end << " s lies wholly outside the "
          << trace << " (" << b << " to " << last << " s).";
        console::skip(console::Record().text(m.str()).str());
    }
}

// rsac1 with the system's reason for a failure kept (errno as the failed
// call left it); the reason is empty on success.
std::string read_trace(std::string_view name, std::span<float> y, int& n, float& b, float& dt,
                       int max, int& nerr) {
    console::concerning(name);
    errno = 0;
    traceio::rsac1(name, y, n, b, dt, max, nerr);
    return nerr == 0 ? std::string() : console::file_reason(name, errno);
}

void set_header(float b, int npts) {
    int nerr = 0;
    traceio::setnhv("npts", npts, nerr);
    traceio::setfhv("b", b, nerr);
}

// Gives up the job over a problem of its data: in batch mode only this job
// is lost (the message without "STOP"); a job of the command line stops the
// run with the message.
[[noreturn]] void refuse(std::string_view message, std::string_view reason = {}) {
    if (console::reading_job_list()) console::skip(console::Record().text(message).str(), reason);
    console::stop(message, reason);
}

// Refuses a trace whose header does not place evenly spaced samples in time;
// `which` ("decon input", "wavelet input") names it in the message.
void check_time_series(std::string_view which) {
    if (const std::string why = traceio::time_series_problem(); !why.empty())
        refuse("**Not a time series.", why);
    if (const std::string why = traceio::begin_time_problem(); !why.empty())
        refuse("**Bad begin time in " + std::string(which) + " file.", why);
}

// Writes a debug file with the header in the store; one that cannot be
// written is reported and the job goes on.
void write_debug(std::string_view file, std::span<const float> y) {
    const std::string path = console::debug_path(file);
    traceio::describe_samples(y);
    int nerr = 0;
    errno = 0;
    traceio::wsac0(path, y, y, nerr);
    if (nerr != 0) console::debug_file_failed(path, errno);
}

// Reports a debug stretch and writes it, beginning at `b`.
void debug_trace(std::string_view label, int nseg, int n, std::string_view file, float b, int count,
                 std::span<const float> u) {
    console::out() << console::Record().text(label).integer(nseg).integer(n).str() << '\n';
    set_header(b, count);
    write_debug(file, u);
}

// A circular delay that misdates zero lag (numerics::misdated_zero_lag) is
// said, with the output written as always (runs that rely on it give the
// same file).
void warn_wrapped_shift(float shift, int nfft, float dt, int nout) {
    const std::string why = numerics::misdated_zero_lag(shift, nfft, dt, nout);
    if (why.empty()) return;
    warn(console::Record().text("**Time shift beyond the transform length."));
    console::err() << console::where(why) << '\n';
}

bool nyquist_said = false; // the cutoff above the Nyquist frequency, said once a run

// A cutoff above the Nyquist frequency is clamped there (the bins stop at
// nfft/2); USER3 keeps the cutoff as given.  Said once a run.
void warn_above_nyquist(const Settings& s, const Plan& plan, float df) {
    if (nyquist_said || plan.nf < plan.nfft / 2 || s.freq <= 0.5f / plan.dt) return;
    std::ostringstream m;
    m << "**Cutoff frequency " << s.freq << " Hz above the Nyquist frequency: the low-pass "
      << "reaches zero at " << static_cast<float>(plan.nf) * df << " Hz.";
    warn(console::Record().text(m.str()));
    console::err() << console::where() << '\n';
    nyquist_said = true;
}

// The spectra are dated from the starts of their own windows: with a
// wavelet window that starts later than the decon window, an arrival at the
// same time in both traces comes out that much earlier than zero lag (later
// for an earlier start).  Said, with the output written as always (runs
// that rely on it give the same file).
void warn_window_starts(const Settings& s) {
    if (s.decon_start == s.wavelet_start) return;
    std::ostringstream why;
    why << "decon window from " << s.decon_start << " s, wavelet window from " << s.wavelet_start
        << " s: an arrival at one time in both traces stands at " << s.wavelet_start - s.decon_start
        << " s of the output's time axis";
    warn(console::Record().text("**Wavelet and decon windows start at different times."));
    console::err() << console::where(why.str()) << '\n';
}

// Why a result came out not finite, where the traces tell: a sample that is
// not a number, or amplitudes beyond what single-precision spectra hold (the
// coherence multiplies four amplitudes, which overflows near 1e10 and
// underflows near 1e-11).  Empty when neither explains it.
std::string not_finite_reason(std::span<const float> wavelet, std::span<const float> trace) {
    const std::pair<std::span<const float>, const char*> traces[] = {{wavelet, "wavelet"},
                                                                     {trace, "decon"}};
    for (const auto& [y, which] : traces) {
        float peak = 0.0f;
        for (float v : y) {
            if (!std::isfinite(v))
                return std::string("a sample of the ") + which + " trace is not a number";
            peak = std::max(peak, std::fabs(v));
        }
        if (peak > 0.0f && (peak < 1e-8f || peak > 1e8f)) {
            std::ostringstream why;
            why << "the " << which << " trace's largest amplitude is " << peak << ", too "
                << (peak < 1.0f ? "small" : "large")
                << " for single-precision spectra: scale the traces (to nm/s, for instance)";
            return why.str();
        }
    }
    return {};
}

void condition(std::span<float> x, int n) {
    numerics::demean(x, n);
    numerics::dtrend(x, n);
}

// One deconvolution; a job that cannot be done is skipped (console::skip),
// which ends the run in single mode.
void run_job(const Settings& s) {
    auto& st = storage;
    auto& w = st.work;
    std::span<float> u(w.u);
    int nerr = 0, nlen = 0;
    // Nothing is read or written for an output name that cannot be used.
    if (!traceio::plain_file_name(file_name(s.output)))
        console::refuse_name("Output", file_name(s.output));
    console::keep_text_off_trace(file_name(s.output));

    float b = 0.0f, dt = 0.0f;
    std::string why = read_trace(file_name(s.decon), {}, nlen, b, dt, 0, nerr);
    if (nerr != 0) console::stop("**Trouble reading decon input file.", why);
    int npts = 0;
    traceio::getnhv("npts", npts, nerr);
    if (!(dt > 0.0f) || !std::isfinite(dt)) refuse("**Bad sample interval in decon input file.");
    // An undefined begin time would pass for a window beyond the file.
    check_time_series("decon input");
    if (nint((s.decon_start - b) / dt) > last_index || nint((s.decon_end - b) / dt) > last_index)
        console::stop("**Decon file too large.");
    const int nd = nint((s.decon_end - s.decon_start) / dt) + 1;
    if (nd > max_nfft) console::stop("**Decon window too long.");
    check_overlap("Decon", s.decon_start, s.decon_end, b, npts, dt, "decon input trace");
    int nfft = 2;
    for (int doublings = 0; nfft < nd; ++doublings) {
        if (doublings == 32) console::stop("**Decon input file too long - shorten.");
        nfft *= 2;
    }

    clear(w.wavelet, nfft);
    clear(w.noise, nfft);
    clear(w.trace, nfft);
    const float df = 1.0f / (static_cast<float>(nfft) * dt);
    const float bins = s.freq / df;
    const Plan plan{dt, nfft, std::min(nint(bins), nfft / 2)};

    float bw = 0.0f, dtw = 0.0f;
    int nw = 0;
    why = read_trace(file_name(s.wavelet), st.wavelet, nw, bw, dtw, max_samples, nerr);
    // A trace without samples would deconvolve to zeros written as a result.
    if (nerr != 0 || nw < 1) console::stop("**Trouble reading wavelet input file.", why);
    if (!(std::fabs(dtw - dt) / dt <= rate_tolerance)) console::stop("**Sample rate mismatch.");
    check_time_series("wavelet input");
    if (nint((s.wavelet_end - bw) / dt) > last_index) console::stop("**File too long - shorten.");
    check_overlap("Wavelet", s.wavelet_start, s.wavelet_end, bw, nw, dtw, "wavelet trace");
    check_overlap("Noise", s.noise_start, s.noise_end, bw, nw, dtw, "wavelet trace");
    if (!s.batch) condition(st.wavelet, nw);

    const int nwav = taper_length(dt);
    if (nwav > max_nwav) console::stop("**Taper storage too small.");
    // The result holds the window and 3 s either side; the window and taper
    // limits above keep it well inside the buffer.
    const int nt = stretch_count(s.decon_start, s.decon_end, dt);
    if (nt > result_capacity) console::stop("**Decon window too long.");
    design_tapers(nwav, st.tapers);

    const int n_w = stretch_count(s.wavelet_start, s.wavelet_end, dt);
    const int seg_w =
        tapered_spectra(st.wavelet, nw, bw, s.wavelet_start, n_w, plan, st.tapers, w.wavelet, u);
    if (s.debug) {
        const int count = reconstruct(w.wavelet, plan, st.tapers, n_w, true, u);
        debug_trace("Wavelet (nwin,nwav):", seg_w, n_w, "decon.wav", s.wavelet_start - pad_seconds,
                    count, u);
    }
    const int n_n = noise_count(s.noise_start, s.noise_end, dt);
    const int seg_n =
        tapered_spectra(st.wavelet, nw, bw, s.noise_start, n_n, plan, st.tapers, w.noise, u);
    noise_power(w.noise, st.tapers, plan, w.power);
    if (s.debug) {
        const int count = reconstruct(w.noise, plan, st.tapers, n_n, false, u);
        debug_trace("Noise (nwin,nwav):", seg_n, n_n, "decon.noi", s.noise_start - pad_seconds,
                    count, u);
    }

    float bt = 0.0f, dtt = 0.0f;
    why = read_trace(file_name(s.decon), st.trace, nlen, bt, dtt, max_samples, nerr);
    if (nerr != 0 || nlen < 1) console::stop("**Deconvolution trace unreadable.", why);
    if (!s.batch) condition(st.trace, nlen);
    const int seg_t =
        tapered_spectra(st.trace, nlen, bt, s.decon_start, nt, plan, st.tapers, w.trace, u);
    if (s.debug) {
        const int count = reconstruct(w.trace, plan, st.tapers, nt, false, u);
        debug_trace("Trace (nwin,nwav):", seg_t, nt, "decon.trc", s.decon_start - pad_seconds,
                    count, u);
    }

    // A cutoff under half a frequency step leaves no band to average over and
    // the result would be divided by zero.  Checked last, so that every
    // failure of the traces or windows is reported first.
    if (!(bins >= 0.5f)) refuse("**Cutoff frequency below frequency step - no output.");
    warn_wrapped_shift(s.shift, nfft, dt, nt);
    warn_window_starts(s);
    // A dead channel has nothing to deconvolve by or to compare with: its
    // receiver function is zero and its coherence undefined.
    const bool dead_wavelet = silent(w.wavelet, plan), dead = dead_wavelet || silent(w.trace, plan);
    float coherence = traceio::FUNDEF;
    warn_above_nyquist(s, plan, df);
    if (dead) {
        zero_result(w, plan, nt);
        console::concerning(file_name(dead_wavelet ? s.wavelet : s.decon));
        warn(console::Record()
                 .text(dead_wavelet ? "**Wavelet" : "**Decon")
                 .text(
                     " window holds no signal - receiver function of zeros, coherence undefined."));
        console::err() << console::where() << '\n';
    } else {
        coherence = deconvolve(w, plan, s.shift, nt);
    }
    // Samples that are not numbers (a damaged or foreign file) spread through
    // the transforms; such a trace is no result and is not written.
    const auto result = u.first(static_cast<std::size_t>(nt));
    if (!std::isfinite(coherence) ||
        !std::all_of(result.begin(), result.end(), [](float x) { return std::isfinite(x); }))
        refuse("**Result is not finite - check the input traces.",
               not_finite_reason(std::span(st.wavelet).first(static_cast<std::size_t>(nw)),
                                 std::span(st.trace).first(static_cast<std::size_t>(nlen))));
    set_header(-s.shift, nt);
    traceio::setfhv("user2", coherence, nerr);
    traceio::setfhv("user3", s.freq, nerr);
    traceio::describe_samples(result);
    console::concerning(file_name(s.output));
    errno = 0;
    traceio::wsac0(file_name(s.output), u, u, nerr);
    why = nerr == 0 ? std::string() : console::file_reason(file_name(s.output), errno);
    const std::string_view shown = console::upto_blank(s.output);
    const bool written = nerr == 0;
    if (!written) {
        // Written below, after the debug file.
    } else if (s.batch)
        console::out() << shown << '\n';
    else
        console::out()
            << console::Record().text(shown).text(": Avg. squared coherence ").real(coherence).str()
            << '\n';

    if (s.debug) {
        // The squared coherence against frequency, from 0 Hz in steps of df.
        traceio::newhdr();
        traceio::setnhv("npts", plan.nf, nerr);
        traceio::setfhv("b", 0.0f, nerr);
        traceio::setfhv("delta", df, nerr);
        write_debug("decon.coh", std::span<const float>(w.coherence).first(plan.nf));
    }
    if (!written)
        console::skip(console::Record().text("**Trouble writing ").text(shown).str(), why);
}

} // namespace

bool packed_transform_sound(void (*ft)(std::span<float>, int, int)) {
    std::array<float, 4> probe{-1.0f, -1.0f, -1.0f, -1.0f};
    ft(probe, 2, 1);
    return probe[2] == -1.0f && probe[3] == -1.0f;
}

int tolvane(std::span<const std::string> args) {
    if (console::help_asked(args)) {
        help();
        return 0;
    }
    Settings s;
    nyquist_said = false;
    int positional = 0;
    bool clean = scan(args, s, positional);
    // A cutoff of 0 Hz or below leaves no band to deconvolve in.
    if (!(s.freq > 0.0f)) console::stop("**Cutoff frequency must be above 0 (-freq).");
    if (!packed_transform_sound(&numerics::realft))
        console::stop("**WRONG VERSION OF REALFT!!  READ INSTALL NOTES!!");

    if (!s.batch) {
        check_windows(s);
        if (positional < 3)
            console::fail(console::Record()
                              .text("**Single mode needs three file names (wavelet, decon, "
                                    "output); ")
                              .text(std::to_string(positional))
                              .text(" given.")
                              .str());
        run_job(s);
        return clean ? 0 : 1;
    }
    // Each job line names its own files: names on the command line would be
    // silently replaced, so they are taken for a job meant for single mode.
    if (positional > 0)
        console::fail(console::Record()
                          .text("**File names on the command line need -window, -wavelet and "
                                "-noise; job lines give their own.")
                          .str());
    std::string expects = "tolvane: reading job lines: ";
    expects.append(job_format).append(" (end with Ctrl-D)");
    console::JobLines jobs(expects);
    console::RunOutputs written; // no line replaces the result of another
    std::string line;
    while (jobs.next(line)) {
        jobs.run([&] {
            read_job(line, jobs.number(), s);
            check_windows(s);
            const std::string output(file_name(s.output));
            written.check(output, "Output", "two job lines name the same output");
            run_job(s);
            written.add(output, jobs.number());
        });
        console::flush_listing();
        console::err().flush();
    }
    return clean && jobs.clean() ? 0 : 1;
}

} // namespace multitaper
