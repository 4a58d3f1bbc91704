// rfkit stack: receiver functions moved to one reference slowness by the Ps
// moveout of a reference Earth and averaged, on a time or a depth axis.
#include "console/console.hpp"
#include "rfkit/cmdline.hpp"
#include "rfkit/moveout.hpp"
#include "rfkit/rfkit.hpp"
#include "rfkit/rfset.hpp"
#include "tracefail.hpp"
#include "traceio/errors.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <array>
#include <cerrno>
#include <ostream>

namespace rfkit {

namespace {

constexpr const char* tool = "rfkit stack";

void synopsis(std::ostream& os) {
    os << "usage: rfkit stack -o file [options] [receiver-function files]\n"
          "  (no files: one name a line on standard input)\n"
          "  -o file      the stacked trace (SAC)\n"
          "  -p p0        reference slowness, s/km (default 0.06)\n"
          "  -depth dz    stack against depth of conversion, every dz km, instead of time\n"
          "  -nonorm      keep amplitudes (default: divide each by its direct P)\n"
          "Moveout and depths through the iasp91 Earth; USER0 of the output holds p0,\n"
          "USER1 the number of receiver functions stacked.\n";
}

struct Request {
    std::string output;
    double p0 = 0.06;
    double dz = 0; // 0: a time axis
    bool normalise = true;
    bool help = false;
    std::vector<std::string> files;
};

Request read_request(std::span<const std::string> args) {
    Request r;
    Arguments a(args, tool);
    for (std::string o = a.option(); !o.empty(); o = a.option()) {
        if (o == "-h" || o == "-help" || o == "--help")
            r.help = true;
        else if (o == "-o")
            r.output = a.text(o);
        else if (o == "-p")
            r.p0 = a.number(o);
        else if (o == "-depth")
            r.dz = a.number(o);
        else if (o == "-nonorm")
            r.normalise = false;
        else
            a.unknown(o);
    }
    r.files.assign(a.files().begin(), a.files().end());
    if (r.help) return r;
    if (r.output.empty()) a.refuse("no output named (-o file)");
    if (!traceio::plain_file_name(r.output))
        a.refuse("-o: an output name with control characters, or beginning with '|', is not taken");
    if (!(r.p0 >= 0)) a.refuse("the reference slowness must not be negative");
    if (r.dz < 0 || (r.dz > 0 && r.dz < 0.01)) a.refuse("the depth step must be 0.01 km or more");
    return r;
}

// The output header: a fresh one with the station fields of the first
// receiver function (the events differ, so no event fields); the station's
// name and place only when every receiver function is of that station.
void stack_header(const std::string& first, const Stacked& s, double p0, bool depth,
                  bool one_station) {
    int nerr = 0, n = 0;
    float b = 0, delta = 0;
    traceio::rsac1(first, {}, n, b, delta, 0, nerr);
    std::array<float, 5> station{};
    constexpr std::array<const char*, 5> floats{"stla", "stlo", "stel", "cmpaz", "cmpinc"};
    std::array<std::string, 3> names;
    constexpr std::array<const char*, 3> texts{"kstnm", "knetwk", "kcmpnm"};
    for (std::size_t i = 0; i < floats.size(); ++i) traceio::getfhv(floats[i], station[i], nerr);
    for (std::size_t i = 0; i < texts.size(); ++i) traceio::getkhv(texts[i], names[i], nerr);

    traceio::newhdr();
    for (std::size_t i = one_station ? 0 : 3; i < floats.size(); ++i)
        traceio::setfhv(floats[i], station[i], nerr);
    for (std::size_t i = one_station ? 0 : 2; i < texts.size(); ++i)
        if (!names[i].empty()) traceio::setkhv(texts[i], names[i], nerr);
    const auto npts = static_cast<int>(s.samples.size());
    traceio::setnhv("npts", npts, nerr);
    traceio::setfhv("b", static_cast<float>(s.begin), nerr);
    traceio::setfhv("delta", static_cast<float>(s.delta), nerr);
    traceio::describe_samples(s.samples); // E and DEPMIN, DEPMAX, DEPMEN of the stack
    traceio::setfhv("user0", static_cast<float>(p0), nerr);
    traceio::setkhv("kuser0", "s/km", nerr);
    traceio::setfhv("user1", static_cast<float>(s.count), nerr);
    traceio::setkhv("kuser1", "nstack", nerr);
    // A depth axis: B and DELTA in km; IXY (evenly spaced, LEVEN true) marks
    // an axis other than time, so that no reader takes the depths for times.
    if (depth) {
        traceio::setihv("iftype", "IXY", nerr);
        traceio::setkhv("kuser2", "depth km", nerr);
    }
}

} // namespace

int stack(std::span<const std::string> args) {
    const Request r = read_request(args);
    if (r.help) {
        synopsis(console::out());
        return 0;
    }
    const std::array<Output, 1> outputs{Output{"-o", r.output, "nstack"}};
    const Gathered g = read_for_stacking(r.files, tool, r.normalise, outputs);
    std::string why;
    const auto s = r.dz > 0 ? depth_stack(g.used, r.dz, reference_earth(), why)
                            : moveout_stack(g.used, r.p0, reference_earth(), why);
    if (!s) throw console::Ending(1, std::string(tool) + ": " + why);

    stack_header(g.used.front().name, *s, r.p0, r.dz > 0, one_station(g.used));
    int nerr = 0;
    errno = 0;
    traceio::wsac0(r.output, {}, s->samples, nerr);
    if (nerr != 0) {
        console::err() << tool << ": cannot write '" << r.output
                       << "': " << write_failure(nerr, errno) << " (error " << nerr << ")\n";
        return 1;
    }
    console::out() << r.output << ": " << s->count << " receiver functions stacked\n";
    return g.left_out == 0 ? 0 : 1;
}

} // namespace rfkit
