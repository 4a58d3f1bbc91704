// The synthetics driver: options, one model per input line, the frequency
// loop, the transform to time and the SAC traces.
#include "synthetics/kestrum.hpp"

#include "synthetics/reflectivity.hpp"
#include "synthetics/stack.hpp"

#include "console/console.hpp"
#include "console/outputs.hpp"
#include "numerics/constants.hpp"
#include "numerics/fft.hpp"
#include "numerics/parse.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"
#include "traceio/textutil.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <istream>
#include <ostream>
#include <string_view>

namespace synthetics {
namespace {

using numerics::two_pi_f;
using traceio::trimmed;
constexpr int spectrum_capacity = 8192; // complex elements per spectrum
constexpr int max_spectrum = 4096;      // nf + 1 at most: nfft <= 4096
constexpr float window_seconds = 200.0f;
constexpr float padding_seconds = 20.0f;
constexpr size_t line_length = 256;

struct Settings {
    float delta = 0.0f;      // sample interval (s)
    float p = -1.0f;         // slowness (s/km)
    float p_given = -1.0f;   // slowness as given, in its unit
    bool per_degree = false; // slowness given in s/deg
    bool per_line = false;   // slowness on each input line
    bool p_in_names = false; // the slowness goes into the output names
    int wave = 1;            // 1 incident P, 2 incident S
    char response = 'f';
    std::string resp_word = "f"; // -resp and -gen as given, for the warnings
    std::string gen_word = "zrt";
    bool spherical = false;
    bool list = false;
    bool z = true, r = true, t = true;
};

// The five spectra (Z and R for incident P, Z and R for incident S, T); each
// turns in place into its time series.
struct Spectra {
    std::array<cfloat, spectrum_capacity> zp, rp, zs, rs, t;
};
Spectra spectra;
Layers layers;

std::span<float> samples(std::array<cfloat, spectrum_capacity>& a) {
    return {reinterpret_cast<float*>(a.data()), 2 * a.size()};
}

// The first blank-separated word of text.
std::string_view first_word(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(' '), text.size()));
    return text.substr(0, text.find(' '));
}

// One real in free format (blanks and commas separate items).  A first word
// of more than one item ("0,06", a decimal comma) is refused: the list read
// would take its first item alone.
bool read_real(std::string_view text, float& value) {
    if (!console::one_number_problem(first_word(text)).empty()) return false;
    float v[1];
    if (numerics::read_reals(text, v) != 1 || !std::isfinite(v[0])) return false;
    value = v[0];
    return true;
}

// s/deg to s/km on a sphere of circumference 40030.176 km.
float per_km(float x) {
    return x * 360.0f / numerics::earth_circumference_km;
}

// -p x unit: the unit is examined first; x = "read" takes the slowness from
// each input line.
void slowness_option(std::string_view x, std::string_view unit, Settings& s) {
    if (unit != "s/km" && unit != "s/deg")
        console::stop("**Bad slowness unit (s/deg or s/km needed)");
    s.per_degree = unit == "s/deg";
    if (x == "read") {
        s.per_line = true;
        return;
    }
    float p = 0.0f;
    if (!read_real(x, p) || p < 0.0f)
        console::stop("**Bad -p value", console::one_number_problem(x));
    s.p = s.per_degree ? per_km(p) : p;
    s.p_given = p;
    s.per_line = false;
}

void help() {
    console::out()
        << "Usage: kestrum -sps r|-dt s -p x s/km|s/deg [options] < model-names\n"
           "Synthetic Z, R, T seismograms of layered models for an incident plane wave.\n"
           "  -sps r, -dt s      samples per second, or the sample interval in s (needed)\n"
           "  -p x s/km|s/deg    horizontal slowness (needed); x = read: each line gives\n"
           "                     the model name, a blank and the slowness in that unit\n"
           "  -type P|S          incident wave (P)\n"
           "  -resp w            reverberations by letter: f all (default), F, p, n\n"
           "  -con               list the files written for each model\n"
           "  -sph               Earth-flattening correction of the model\n"
           "  -gen w             write Z, R, T as w contains z, r, t (zrt)\n"
           "  -pname             put the slowness into the output names:\n"
           "                     crust.mod_p0.0600_sp.z instead of crust.mod_sp.z\n"
           "  -h, -help, --help  this text\n"
           "Standard input: one model file name per line (with -p read: name, blank,\n"
           "slowness); blank lines and lines whose first non-blank character is # are\n"
           "passed over.  Outputs: <model>_sp.z, _sp.r, _sp.t.  Manual: man kestrum\n";
}

Settings parse_options(std::span<const std::string> args) {
    Settings s;
    auto value = [&](size_t& i) -> std::string_view {
        return i + 1 < args.size() ? std::string_view(args[++i]) : std::string_view{};
    };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string_view a = trimmed(args[i]);
        if (a == "-sps" || a == "-dt") {
            float x = 0.0f;
            const std::string_view text = value(i);
            if (!read_real(text, x) || !(x > 0.0f))
                console::stop("**Bad -dt value", console::one_number_problem(text));
            float delta = a == "-sps" ? 1.0f / x : x;
            if (!std::isfinite(delta) || !(delta > 0.0f)) console::stop("**Bad -dt value");
            s.delta = delta;
        } else if (a == "-p") {
            if (i + 1 >= args.size()) continue; // no value: the slowness stays unset
            std::string_view unit = i + 2 < args.size() ? trimmed(args[i + 2]) : "";
            slowness_option(trimmed(args[i + 1]), unit, s);
            i += 2;
        } else if (a == "-type") {
            std::string_view c = trimmed(value(i));
            if (c == "p" || c == "P")
                s.wave = 1;
            else if (c == "s" || c == "S")
                s.wave = 2;
            else
                console::stop("**Bad RF -type (should be either S or P)");
        } else if (a.substr(0, 5) == "-resp") {
            std::string_view w = value(i);
            s.response = w.empty() ? ' ' : w[0];
            s.resp_word = w;
        } else if (a.substr(0, 4) == "-con") {
            s.list = true;
        } else if (a.substr(0, 4) == "-sph") {
            s.spherical = true;
        } else if (a == "-pname") {
            s.p_in_names = true;
        } else if (a.substr(0, 4) == "-gen") {
            std::string_view w = value(i);
            s.gen_word = w;
            s.z = w.find('z') != w.npos;
            s.r = w.find('r') != w.npos;
            s.t = w.find('t') != w.npos;
        } else {
            throw console::Ending(
                1, console::Record().text("**Unrecognized parameter: ").text(a).str());
        }
    }
    return s;
}

// Settings that are taken as written but are seldom what was meant: a -gen
// word without a lower-case z, r or t writes nothing, and a -resp word
// whose first letter is none of f, F, p, P, n (-resp all, -resp Full ...)
// keeps no reverberations but one in the top layer.
void warn_unusual(const Settings& s) {
    if (!s.z && !s.r && !s.t)
        console::err() << "kestrum: warning: -gen '" << s.gen_word
                       << "' names none of z, r, t (lower case): no traces are written\n";
    if (std::string_view("fFpPn").find(s.response) == std::string_view::npos)
        console::err() << "kestrum: warning: -resp '" << s.resp_word
                       << "' is read as n: no reverberations but one in the top layer\n";
}

// One model of the run: its file, its slowness (s/km) and the slowness as
// given, in the unit of -p.
struct Model {
    std::string name;
    float p = 0.0f;
    float p_given = 0.0f;
};

// The model named on an input line (and its slowness with per-line
// slowness); a line that names none is skipped with the reason.
Model model_line(const Settings& s, const std::string& line) {
    // Only the first 256 characters are taken: a longer line would lose part
    // of its name or its slowness.
    if (trimmed(line).size() > line_length)
        console::skip(console::Record().text("**Input line longer than 256 characters.").str(),
                      "the line goes on past column 256");
    std::string_view text = trimmed(line);
    if (!s.per_line) return {std::string(text), s.p, s.p_given};

    const auto unusable = [&](std::string_view name, const std::string& why) {
        console::concerning(name.substr(0, name.find('\t')));
        console::skip(console::Record().text("**No usable slowness on this line, skipping.").str(),
                      why);
    };
    size_t gap = text.find(' ');
    std::string_view name = text.substr(0, gap);
    std::string_view rest = gap == std::string_view::npos ? "" : text.substr(gap + 1);
    if (trimmed(rest).empty())
        unusable(name, name.find('\t') != std::string_view::npos
                           ? "no slowness after the model name (a tab does not separate them)"
                           : "no slowness after the model name");
    rest = rest.substr(std::min(rest.find_first_not_of(' '), rest.size()));
    float x = 0.0f;
    if (!read_real(rest, x))
        unusable(name, "'" + std::string(rest) + "' is not a slowness" +
                           (first_word(rest).find(',') != std::string_view::npos
                                ? " (the decimal mark is a point)"
                            : rest.find(' ') != std::string_view::npos
                                ? " (a model name cannot hold blanks)"
                                : ""));
    if (x < 0.0f) unusable(name, "negative slowness " + std::string(rest));
    return {std::string(name), s.per_degree ? per_km(x) : x, x};
}

// The output name of one component: the model name, with -pname the
// slowness as given (4 decimals), and the component's ending.
std::string output_name(const Settings& s, const Model& m, std::string_view ending) {
    std::string file = m.name;
    if (s.p_in_names) {
        char slowness[48];
        std::snprintf(slowness, sizeof slowness, "_p%.4f", static_cast<double>(m.p_given));
        file += slowness;
    }
    return file.append(ending);
}

struct Sampling {
    int npts, nfft, nf, nshift;
    float df;
};

Sampling sampling(float delta) {
    float window = window_seconds / delta + 1.5f;
    if (!(window < static_cast<float>(max_spectrum + 1))) console::stop("**Time window too long.");
    Sampling g;
    g.npts = static_cast<int>(window);
    // The transform needs at least 4 points; a coarser sampling still gets a
    // valid (if short) trace.
    g.nfft = std::max(numerics::npowr2(g.npts), 4);
    g.nf = g.nfft / 2;
    if (g.nf + 1 > max_spectrum) console::stop("**Time window too long.");
    g.df = 1.0f / (static_cast<float>(g.nfft) * delta);
    g.nshift = static_cast<int>(std::lround(padding_seconds / delta));
    return g;
}

void frequency_loop(int n, const Sampling& g) {
    const cfloat I(0.0f, 1.0f);
    Spectra& x = spectra;
    for (int j = 0; j < g.nf; ++j) {
        float f = static_cast<float>(j) * g.df;
        cfloat o1, o2, o3, o4, o5;
        rcvrfn(cfloat(f, 0.0f), n, o1, o2, o3, o4, o5);
        size_t k = static_cast<size_t>(j);
        x.zp[k] = I * o1;
        x.rp[k] = o3;
        // The interface basis carries the vertical of SV with the opposite sign
        // to that of P: negated, Z is up for both incident waves.
        x.zs[k] = -o2;
        x.rs[k] = I * o4;
        x.t[k] = o5;
    }
    size_t k = static_cast<size_t>(g.nf);
    x.zp[k] = x.rp[k] = x.zs[k] = x.rs[k] = x.t[k] = 0.0f;
}

// Delays the spectra so that the direct wave lands at `arrival` seconds
// (advancing them by the vertical delay `total`).
void align(std::array<cfloat, spectrum_capacity>* const* series, int count, float total,
           float arrival, const Sampling& g, float delta) {
    float span = static_cast<float>(g.nfft) * delta;
    for (int j = 0; j <= g.nf; ++j) {
        float phase = two_pi_f * static_cast<float>(j) * (total - arrival) / span;
        cfloat shift = std::exp(cfloat(0.0f, phase));
        for (int c = 0; c < count; ++c) (*series[c])[static_cast<size_t>(j)] *= shift;
    }
}

void to_time(std::array<cfloat, spectrum_capacity>& a, const Sampling& g) {
    numerics::dfftr(samples(a), g.nfft, "inverse", g.df);
}

// Moves samples 1..npts up by nshift and clears the first nshift.
void pad(std::array<cfloat, spectrum_capacity>& a, const Sampling& g) {
    std::span<float> x = samples(a);
    std::copy_backward(x.begin(), x.begin() + g.npts, x.begin() + g.npts + g.nshift);
    std::fill(x.begin(), x.begin() + g.nshift, 0.0f);
}

void set_header(const Settings& s, float p, const Sampling& g, float delta) {
    int e = 0;
    traceio::newhdr();
    using traceio::setfhv, traceio::setnhv, traceio::setkhv;
    setfhv("evla", 0.001f, e), setfhv("evlo", 0.001f, e), setfhv("evdp", 0.0f, e);
    setfhv("stla", 0.001f, e), setfhv("stlo", 90.0f, e);
    setfhv("baz", 270.0f, e), setfhv("az", 90.0f, e), setfhv("gcarc", 90.0f, e);
    setnhv("nzyear", 1999, e), setnhv("nzjday", 365, e), setnhv("nzhour", 23, e);
    setnhv("nzmin", 59, e), setnhv("nzsec", 59, e), setnhv("nzmsec", 999, e);
    float b = s.wave == 1 ? -20.0f : -90.0f;
    int count = g.npts + g.nshift;
    setfhv("b", b, e);
    setfhv("e", b + static_cast<float>(count - 1) * delta, e);
    setfhv("delta", delta, e);
    setnhv("npts", count, e);
    if (s.per_degree) {
        setfhv("user0", p * two_pi_f * numerics::earth_radius_km / 360.0f, e);
        setkhv("kuser0", "s/deg", e);
    } else {
        setfhv("user0", p, e);
        setkhv("kuser0", "s/km", e);
    }
    if (s.wave == 1) {
        setfhv("a", -10.0f, e), setfhv("f", 80.0f, e), setkhv("ka", "P", e);
    } else {
        setfhv("a", -75.0f, e), setfhv("f", 3.0f, e), setkhv("ka", "S", e);
        setfhv("t0", -85.0f, e), setfhv("t1", -75.0f, e);
    }
    setkhv("kt0", "noise", e), setkhv("kt1", "_", e);
}

struct Component {
    bool enabled;
    const char* ending;
    std::array<cfloat, spectrum_capacity>* series;
    float cmpaz, cmpinc;
};

const char* const endings[3] = {"_sp.z", "_sp.r", "_sp.t"};

// Computes and writes the traces of one model; false if a file could not be
// written.
bool synthesize(const Settings& s, const Model& model, long line,
                console::RunOutputs& written_files) {
    const std::string& name = model.name;
    const float p = model.p;
    const bool enabled[3] = {s.z, s.r, s.t};
    // The outputs are named after the model: a name the trace library would
    // take for a memory file, or one a control character cuts short, is
    // refused before anything is read or written.
    if (!traceio::plain_file_name(name)) console::refuse_name("Model", name);
    if (s.per_line)
        for (int c = 0; c < 3; ++c)
            if (enabled[c])
                written_files.check(output_name(s, model, endings[c]), "Outputs",
                                    s.p_in_names
                                        ? "the same model at the same slowness"
                                        : "-pname puts the slowness into the output names");
    console::concerning(name);
    Layers& m = layers;
    if (!read_layers(name, m)) console::quit(1);
    check_layers(m, name);
    if (s.spherical) flatten(m, name);
    check_slowness(m, p, s.wave, name);
    default_attenuation(m);

    const float delta = s.delta;
    Sampling g = sampling(delta);
    float tp = 0.0f, ts = 0.0f;
    fill_model(m, p, s.response, tp, ts);
    ifmat(cfloat(p, 0.0f), cfloat(1.0f, 0.0f), m.n);
    frequency_loop(m.n, g);

    Spectra& x = spectra;
    Component parts[3] = {{s.z, endings[0], nullptr, 0.0f, 0.0f},
                          {s.r, endings[1], nullptr, 90.0f, 90.0f},
                          {s.t, endings[2], &x.t, 0.0f, 90.0f}};
    if (s.wave == 1) {
        std::array<cfloat, spectrum_capacity>* shifted[] = {&x.zp, &x.rp};
        align(shifted, 2, tp, 0.0f, g, delta);
        std::fill(x.t.begin(), x.t.begin() + g.nf + 1, cfloat(0.0f));
        parts[0].series = &x.zp, parts[1].series = &x.rp;
        if (s.z) to_time(x.zp, g);
        if (s.r) to_time(x.rp, g);
    } else {
        std::array<cfloat, spectrum_capacity>* shifted[] = {&x.zs, &x.rs, &x.t};
        align(shifted, 3, ts, 70.0f, g, delta);
        parts[0].series = &x.zs, parts[1].series = &x.rs;
        if (s.z) to_time(x.zs, g);
        if (s.r) to_time(x.rs, g);
        if (s.t) to_time(x.t, g);
    }
    const size_t count = static_cast<size_t>(g.npts + g.nshift);
    for (Component& c : parts) {
        pad(*c.series, g);
        if (!c.enabled) continue;
        auto y = samples(*c.series).first(count);
        if (!std::all_of(y.begin(), y.end(), [](float v) { return std::isfinite(v); }))
            console::skip(console::Record()
                              .text("**Non-finite samples in the synthetics of model file '")
                              .text(name)
                              .text("'")
                              .str());
    }

    set_header(s, p, g, delta);
    bool written = true;
    std::string listing;
    for (const Component& c : parts) {
        if (!c.enabled) continue;
        int e = 0;
        traceio::setfhv("cmpaz", c.cmpaz, e);
        traceio::setfhv("cmpinc", c.cmpinc, e);
        std::string file = output_name(s, model, c.ending);
        const auto y = samples(*c.series).first(count);
        traceio::describe_samples(y);
        int nerr = 0;
        errno = 0;
        traceio::wsac0(file, {}, y, nerr);
        if (nerr != 0) {
            const std::string why = console::file_reason(file, errno);
            console::concerning(file);
            console::err() << console::Record().text("**Trouble writing ").text(file).str() << '\n'
                           << console::where(why) << '\n';
            written = false;
        } else {
            listing += file + " ";
            written_files.add(file, line);
        }
    }
    if (s.list) console::out() << listing << '\n';
    console::flush_listing();
    return written;
}

} // namespace

int kestrum(std::span<const std::string> args) {
    if (console::help_asked(args)) {
        help();
        return 0;
    }
    Settings s = parse_options(args);
    if (!(s.delta > 0.0f)) console::stop("**No sample rate given (-sps or -dt)");
    if (!s.per_line && s.p < 0.0f) console::stop("**No slowness given (-p x s/km or s/deg)");
    warn_unusual(s);

    int status = 0;
    console::JobLines jobs(s.per_line ? "kestrum: reading model file names, each followed by a "
                                        "blank and its slowness (end with Ctrl-D)"
                                      : "kestrum: reading model file names, one per line (end "
                                        "with Ctrl-D)");
    console::RunOutputs written;
    std::string line;
    while (jobs.next(line))
        jobs.run([&] {
            if (!synthesize(s, model_line(s, line), jobs.number(), written)) status = 1;
        });
    return jobs.clean() ? status : 1;
}

} // namespace synthetics
