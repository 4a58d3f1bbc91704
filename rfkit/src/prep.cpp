// rfkit prep: three-component recordings to Z, R and T around P, ready for
// marrick or tolvane, with one job line per event on standard output.
//
//   rfkit prep [options] FILE FILE FILE       one event
//   rfkit prep [options] < list               one event per line: three names
//
// Each event is prepared on its own (prepare.hpp) and written all or nothing
// (prepout.hpp); an event that cannot be prepared is left out with a message
// naming it and its files, and the others go on.
#include "console/console.hpp"
#include "console/outputs.hpp"
#include "rfkit/cmdline.hpp"
#include "rfkit/prepare.hpp"
#include "rfkit/prepout.hpp"
#include "rfkit/recording.hpp"
#include "rfkit/rfkit.hpp"
#include "traceio/sacfile.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace rfkit {

namespace {

enum class Jobs { marrick, tolvane, none };

struct Options {
    PrepSettings prep;
    std::string dir = ".";
    double min_snr = 0;
    Jobs jobs = Jobs::marrick;
    double rf_from = -10, rf_to = 60;
    bool rf_window_given = false, noise_given = false, transverse = false, bp_given = false;
    std::vector<std::string> files;
};

constexpr const char* synopsis =
    "usage: rfkit prep [options] FILE FILE FILE    (Z and two horizontals of one event)\n"
    "       rfkit prep [options] < list             (three file names a line)\n"
    "Rotates to R and T, cuts a window around P (picked or predicted in iasp91),\n"
    "removes mean and trend, tapers, and writes NET.STA_yyyymmddThhmmss.z/.r/.t;\n"
    "prints one job line per event for marrick or tolvane.\n"
    "options:\n"
    "  -o DIR           output folder, made if missing (default: the current one)\n"
    "  -window T1 T2    window around P, s (default -30 90)\n"
    "  -taper S         cosine taper at both ends, s (default 5)\n"
    "  -pick FIELD      header field of a P pick, A or T0..T9 (default A); without\n"
    "                   a pick P is predicted from O, EVDP and the distance\n"
    "  -bp F1 F2        zero-phase Butterworth band-pass, Hz (F1 = 0: low-pass)\n"
    "  -order N         Butterworth order at each corner, 1..8 (default 2)\n"
    "  -noise T1 T2     noise window, s after P (default: end of taper to -3)\n"
    "  -snr MIN         leave out events whose signal-to-noise ratio on Z is below MIN\n"
    "  -jobs PROGRAM    job lines for marrick (default), tolvane or none\n"
    "  -rfwin T1 T2     deconvolution window of the job lines, s after P (default -10 60)\n"
    "  -transverse      a second job line per event, for the transverse component\n"
    "The manual page rfkit(1) has the details.\n";

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

// A number's shortest plain text (six or more digits) that reads back the
// same, for job lines.
std::string shortest(double v) {
    char buf[64];
    for (int digits = 6; digits <= 17; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, v);
        if (std::strtod(buf, nullptr) == v) break;
    }
    return buf;
}

Options parse(std::span<const std::string> args) {
    Options o;
    PrepSettings& s = o.prep;
    Arguments a(args, "rfkit prep");
    for (std::string opt = a.option(); !opt.empty(); opt = a.option()) {
        if (opt == "-h" || opt == "-help" || opt == "--help") {
            console::out() << synopsis;
            console::quit(0);
        } else if (opt == "-o") {
            o.dir = a.text(opt);
        } else if (opt == "-window") {
            s.from = a.number(opt);
            s.to = a.number(opt);
        } else if (opt == "-taper") {
            s.taper = a.number(opt);
        } else if (opt == "-pick") {
            const std::string f = a.text(opt);
            s.pick = pick_index(f);
            if (s.pick < 0) a.refuse("-pick " + f + ": a pick field is A or T0..T9");
        } else if (opt == "-bp") {
            s.f1 = a.number(opt);
            s.f2 = a.number(opt);
            o.bp_given = true;
        } else if (opt == "-order") {
            s.order = static_cast<int>(a.integer(opt, 1, 8));
        } else if (opt == "-noise") {
            s.noise_from = a.number(opt);
            s.noise_to = a.number(opt);
            o.noise_given = true;
        } else if (opt == "-snr") {
            o.min_snr = a.number(opt);
        } else if (opt == "-jobs") {
            const std::string program = a.text(opt);
            if (program == "marrick")
                o.jobs = Jobs::marrick;
            else if (program == "tolvane")
                o.jobs = Jobs::tolvane;
            else if (program == "none")
                o.jobs = Jobs::none;
            else
                a.refuse("-jobs " + program + ": the program is marrick, tolvane or none");
        } else if (opt == "-rfwin") {
            o.rf_from = a.number(opt);
            o.rf_to = a.number(opt);
            o.rf_window_given = true;
        } else if (opt == "-transverse") {
            o.transverse = true;
        } else {
            a.unknown(opt);
        }
    }
    o.files.assign(a.files().begin(), a.files().end());
    return o;
}

// Settings that cannot work are refused before any event is touched.
void check(Options& o) {
    PrepSettings& s = o.prep;
    const auto bad = [](const std::string& m) { throw console::Ending(1, "rfkit prep: " + m); };
    if (!(s.from < 0 && s.to > 0))
        bad("-window " + fixed(s.from, 1) + " " + fixed(s.to, 1) +
            ": P must lie inside the window");
    if (!(s.taper >= 0 && 2 * s.taper < s.to - s.from))
        bad("-taper " + fixed(s.taper, 1) + ": the tapers must fit in the window");
    if (!o.noise_given) s.noise_from = s.from + s.taper, s.noise_to = -3;
    if (!(s.noise_from >= s.from && s.noise_from < s.noise_to && s.noise_to <= 0))
        bad("-noise " + fixed(s.noise_from, 1) + " " + fixed(s.noise_to, 1) +
            ": the noise window must lie before P, inside the window");
    s.signal_to = std::min(15.0, s.to);
    // F2 = 0 means no filter inside; given, it once left the traces
    // unfiltered without a word.
    if (o.bp_given && !(s.f1 >= 0 && s.f1 < s.f2))
        bad("-bp " + fixed(s.f1, 3) + " " + fixed(s.f2, 3) + ": the corners must be 0 <= F1 < F2");
    if (!o.rf_window_given) {
        o.rf_from = std::max(o.rf_from, s.from + s.taper);
        o.rf_to = std::min(o.rf_to, s.to - s.taper);
    }
    if (!(o.rf_from >= s.from && o.rf_from < o.rf_to && o.rf_to <= s.to))
        bad("-rfwin " + fixed(o.rf_from, 1) + " " + fixed(o.rf_to, 1) +
            ": the deconvolution window must lie inside the window");
    if (!traceio::plain_file_name(o.dir))
        bad("-o: a folder name with control characters, or beginning with '|', is not taken");
    if (o.jobs != Jobs::none && o.dir.find_first_of(" \t") != std::string::npos)
        bad("-o '" + o.dir + "': a folder name with blanks cannot go on a job line");
    if (o.files.size() != 0 && o.files.size() != 3)
        bad("give three file names (Z and two horizontals) or none, for a list on standard "
            "input; got " +
            std::to_string(o.files.size()));
    std::error_code ec;
    if (!std::filesystem::is_directory(o.dir, ec)) {
        std::filesystem::create_directories(o.dir, ec);
        if (ec) bad("-o " + o.dir + ": the folder cannot be made (" + ec.message() + ")");
    }
}

// One event in, files and job lines out.  Returns false when the event was
// left out for a fault of its input or a failed write.
class Run {
  public:
    explicit Run(const Options& o) : o_(o) {}

    bool event(const std::array<std::string, 3>& files, int line) {
        Prepared p;
        std::string why;
        if (!prepare(files, o_.prep, p, why)) return left_out(p, why, line);
        // The corner must suit this event's sampling.
        if (o_.prep.f2 >= 0.5 / p.delta)
            return left_out(p,
                            "band-pass corner " + fixed(o_.prep.f2, 3) +
                                " Hz is not below the Nyquist frequency " +
                                fixed(0.5 / p.delta, 3) + " Hz",
                            line);
        if (o_.min_snr > 0 && p.has_snr && p.snr < o_.min_snr) {
            console::err() << "rfkit prep: " << describe_event(p) << ": signal-to-noise ratio "
                           << fixed(p.snr, 1) << " is below " << fixed(o_.min_snr, 1)
                           << "; left out as asked (-snr)\n"
                           << context(p, line);
            ++selected_out_;
            return true;
        }
        const auto names = output_names(p, o_.dir);
        if (written_.contains(names[0]))
            return left_out(p,
                            "its files would replace those of an earlier event of this run (" +
                                names[0] + ")",
                            line);
        const auto lines = job_lines(p, names, line);
        if (!lines) return false;
        // An interruption acts after the event's files and its job line are
        // out, never between them.
        const HeldSignals held;
        if (!write_prepared(p, names, why)) return left_out(p, why, line);
        written_.insert(names[0]);
        if (!p.note.empty())
            console::err() << "rfkit prep: " << describe_event(p) << ": " << p.note << '\n'
                           << context(p, line);
        console::out() << *lines;
        ++prepared_;
        // Nobody reads the job lines of later events once the next stage of
        // the pipeline has gone: the run ends here (status 1).
        console::flush_listing();
        return true;
    }

    // A list line without three names, left out (and counted) with them.
    void malformed(const std::vector<std::string>& names, std::size_t line) {
        console::err() << "rfkit prep: line " << line << ": " << names.size()
                       << " names where three (Z and two horizontals) are needed; left out\n";
        if (!names.empty()) {
            console::err() << "  names:";
            for (const std::string& n : names) console::err() << " " << n;
            console::err() << (names.size() > 3 ? " (the names of a line are separated by blanks)\n"
                                                : "\n");
        }
        ++failed_;
    }

    void summary() const {
        console::err() << "rfkit prep: " << prepared_ << " event" << (prepared_ == 1 ? "" : "s")
                       << " prepared";
        if (failed_ > 0) console::err() << ", " << failed_ << " left out for faults";
        if (selected_out_ > 0)
            console::err() << ", " << selected_out_ << " below the signal-to-noise threshold";
        console::err() << '\n';
    }

  private:
    std::string context(const Prepared& p, int line) const {
        std::string s = "  files:";
        for (const std::string& f : p.files) s += " " + f;
        if (line > 0) s += " (line " + std::to_string(line) + ")";
        return s + "\n";
    }

    bool left_out(const Prepared& p, const std::string& why, int line) {
        console::err() << "rfkit prep: " << describe_event(p) << ": " << why << "; left out\n"
                       << context(p, line);
        ++failed_;
        return false;
    }

    // The job lines of an event, or nothing (with a message) when a name
    // would not fit the program's file-name field.
    std::optional<std::string> job_lines(const Prepared& p, const std::array<std::string, 3>& names,
                                         int line) {
        if (o_.jobs == Jobs::none) return std::string();
        const bool marrick = o_.jobs == Jobs::marrick;
        const std::size_t limit = marrick ? 64 : 80;
        const std::string stem = names[0].substr(0, names[0].size() - 2);
        const std::string ending = marrick ? ".wl" : ".mt";
        const std::string from = shortest(o_.rf_from), to = shortest(o_.rf_to);
        std::string text;
        for (int c = 1; c <= (o_.transverse ? 2 : 1); ++c) {
            const std::string out = stem + ending + (c == 1 ? ".rf" : ".trf");
            for (const std::string& n : {names[0], names[static_cast<std::size_t>(c)], out})
                if (n.size() > limit) {
                    left_out(p,
                             "the name '" + n + "' is longer than the " + std::to_string(limit) +
                                 " characters " + (marrick ? "marrick" : "tolvane") +
                                 " reads; choose a shorter -o folder",
                             line);
                    return std::nullopt;
                }
            const std::string& decon = names[static_cast<std::size_t>(c)];
            if (marrick)
                text += names[0] + " " + from + " " + to + " " + decon + " - - " + out + "\n";
            else
                text += names[0] + " " + from + " " + to + " " + decon + " " + from + " " + to +
                        " " + shortest(o_.prep.noise_from) + " " + shortest(o_.prep.noise_to) +
                        " " + out + "\n";
        }
        return text;
    }

    const Options& o_;
    std::set<std::string> written_;
    int prepared_ = 0, failed_ = 0, selected_out_ = 0;
};

// Splits a list line into its names.
std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    return w;
}

} // namespace

int prep(std::span<const std::string> args) {
    Options o = parse(args);
    check(o);
    Run run(o);
    bool all = true;
    if (o.files.size() == 3) {
        all = run.event({o.files[0], o.files[1], o.files[2]}, 0);
        return all ? 0 : 1;
    }
    console::JobLines lines("rfkit prep: three file names a line (Z and two horizontals of one "
                            "event); end with Ctrl-D");
    try {
        for (std::string line; lines.next(line);) {
            const auto w = words(line);
            if (w.size() != 3) {
                run.malformed(w, lines.number());
                all = false;
                continue;
            }
            all = run.event({w[0], w[1], w[2]}, static_cast<int>(lines.number())) && all;
        }
    } catch (const console::Ending&) {
        run.summary();
        throw;
    }
    all = all && lines.clean();
    run.summary();
    return all ? 0 : 1;
}

} // namespace rfkit
