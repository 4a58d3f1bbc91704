#include "rfkit/rfset.hpp"

#include "console/console.hpp"
#include "tracefail.hpp"
#include "traceio/errors.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"
#include "traceio/textutil.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <ostream>

namespace rfkit {

namespace {

constexpr double km_per_degree = 40030.176 / 360.0;
constexpr double direct_p_window = 0.5; // s either side of zero lag
constexpr double interval_tolerance = 1e-3;

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string read_failure(const std::string& name, int nerr) {
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) return "no such file";
    return std::string(traceio::error_text(nerr)) + " (error " + std::to_string(nerr) + ")";
}

std::string where(const Named& n) {
    return n.line > 0 ? " (line " + std::to_string(n.line) + ")" : std::string();
}

bool same_interval(double a, double reference) {
    return std::abs(a - reference) <= interval_tolerance * reference;
}

// The receiver function whose sample interval most of the others share (the
// first of them); a file of another interval first in the list once left out
// all the rest.
const ReceiverFunction* common_interval(std::span<const std::optional<ReceiverFunction>> read) {
    struct Group {
        const ReceiverFunction* first;
        long count;
    };
    std::vector<Group> groups;
    for (const auto& rf : read) {
        if (!rf) continue;
        const auto g = std::ranges::find_if(
            groups, [&](const Group& x) { return same_interval(rf->delta, x.first->delta); });
        if (g == groups.end())
            groups.push_back({&*rf, 1});
        else
            ++g->count;
    }
    const auto most = std::ranges::max_element(
        groups, [](const Group& a, const Group& b) { return a.count < b.count; });
    return most == groups.end() ? nullptr : most->first;
}

// Receiver functions of several stations give one stack and one answer for
// all of them: said, since a mixed list is more often a slip than meant.
void warn_of_stations(std::span<const ReceiverFunction> rfs, std::string_view tool) {
    std::vector<std::string> seen;
    for (const ReceiverFunction& rf : rfs)
        if (!rf.station.empty() && std::ranges::find(seen, rf.station) == seen.end())
            seen.push_back(rf.station);
    if (seen.size() < 2) return;
    console::err() << tool << ": the receiver functions are of " << seen.size() << " stations ("
                   << seen[0] << ", " << seen[1] << (seen.size() > 2 ? ", ..." : "")
                   << "), stacked together\n";
}

// KUSER1 of a trace file, or nullopt when `name` is not one.
std::optional<std::string> trace_kind(const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) return std::nullopt;
    int n = 0, nerr = 0;
    float b = 0, delta = 0;
    traceio::rsac1(name, {}, n, b, delta, 0, nerr);
    if (nerr != 0 || !header_is_a_trace()) return std::nullopt;
    std::string kind;
    traceio::getkhv("kuser1", kind, nerr);
    return kind;
}

// Writing an output over one of the named files, or over a trace that is not
// an earlier output of its kind, would destroy data: refused before any work.
void refuse_replacing_data(const NameList& list, std::span<const Output> outputs,
                           std::string_view tool) {
    for (const Output& out : outputs) {
        if (out.name.empty()) continue;
        for (const Named& n : list.names) {
            std::error_code ec;
            if (!std::filesystem::equivalent(out.name, n.name, ec) || ec) continue;
            throw console::Ending(1, std::string(tool) + ": " + out.option + " '" + out.name +
                                         "' is the receiver function '" + n.name + "'" + where(n) +
                                         ", which it would replace; name another output file");
        }
        const auto kind = trace_kind(out.name);
        if (kind && (out.replaces.empty() || *kind != out.replaces))
            throw console::Ending(
                1, std::string(tool) + ": " + out.option + " '" + out.name + "' holds a trace" +
                       (out.replaces.empty()
                            ? std::string(", not text")
                            : " that is not an earlier stack (KUSER1 " + out.replaces + ")") +
                       " (an output name forgotten?); it is not replaced: name another output "
                       "file");
    }
}

} // namespace

double ReceiverFunction::at(double t) const {
    const double x = (t - begin) / delta;
    if (!(x >= 0) || x > static_cast<double>(samples.size() - 1)) return 0;
    const auto i = static_cast<std::size_t>(x);
    if (i + 1 >= samples.size()) return samples[i];
    const double f = x - static_cast<double>(i);
    return samples[i] * (1 - f) + samples[i + 1] * f;
}

NameList input_names(std::span<const std::string> arguments, std::string_view tool) {
    NameList list;
    if (!arguments.empty()) {
        for (const std::string& a : arguments) list.names.push_back({a, 0});
        return list;
    }
    console::JobLines lines(std::string(tool) +
                            ": reading receiver-function file names, one a line (end with Ctrl-D)");
    for (std::string line; lines.next(line);) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        list.names.push_back({line.substr(first), static_cast<int>(lines.number())});
    }
    if (!lines.clean()) list.skipped_lines = 1;
    return list;
}

std::optional<double> slowness_from_header(float user0, std::string_view unit, std::string& why) {
    if (user0 == traceio::FUNDEF) {
        why = "no slowness (USER0 undefined)";
        return std::nullopt;
    }
    if (!std::isfinite(user0) || user0 < 0) {
        why = "slowness USER0 " + std::to_string(user0) + " is not a slowness";
        return std::nullopt;
    }
    const std::string u = lowered(unit);
    if (u == "s/km") return static_cast<double>(user0);
    if (u == "s/deg") return user0 / km_per_degree;
    if (traceio::trimmed(unit) == traceio::trimmed(traceio::KUNDEF))
        why = "slowness unit KUSER0 undefined (USER0 is read in s/km or s/deg, as KUSER0 says)";
    else
        why = "slowness unit KUSER0 '" + std::string(unit) + "' is neither s/km nor s/deg";
    return std::nullopt;
}

std::optional<ReceiverFunction> read_receiver_function(const std::string& name, std::string& why) {
    if (name.empty()) {
        why = "empty name";
        return std::nullopt;
    }
    ReceiverFunction rf;
    rf.name = name;
    int n = 0, nerr = 0;
    float b = 0, delta = 0;
    traceio::rsac1(name, {}, n, b, delta, 0, nerr);
    if (read_a_non_trace(nerr)) {
        why = not_a_trace;
        return std::nullopt;
    }
    if (nerr != 0) {
        why = read_failure(name, nerr);
        return std::nullopt;
    }
    traceio::getnhv("npts", n, nerr);
    bool even = true;
    traceio::getlhv("leven", even, nerr);
    if (!even) {
        why = "not evenly spaced";
        return std::nullopt;
    }
    if (n < 2 || n > max_samples) {
        why = std::to_string(n) + " samples (2 to " + std::to_string(max_samples) + " are read)";
        return std::nullopt;
    }
    if (!(std::isfinite(delta) && delta > 0)) {
        why = "sample interval " + std::to_string(delta) + " is not positive";
        return std::nullopt;
    }
    if (!std::isfinite(b)) {
        why = "begin time B is not finite";
        return std::nullopt;
    }
    rf.samples.resize(static_cast<std::size_t>(n));
    traceio::rsac1(name, rf.samples, n, b, delta, n, nerr);
    if (nerr != 0 || n != static_cast<int>(rf.samples.size())) {
        why = read_failure(name, nerr == 0 ? traceio::ERR_READ : nerr);
        return std::nullopt;
    }
    if (!std::ranges::all_of(rf.samples, [](float v) { return std::isfinite(v); })) {
        why = "a sample is not finite";
        return std::nullopt;
    }
    float user0 = traceio::FUNDEF;
    std::string unit;
    traceio::getfhv("user0", user0, nerr);
    traceio::getkhv("kuser0", unit, nerr);
    const auto p = slowness_from_header(user0, unit, why);
    if (!p) return std::nullopt;
    rf.begin = b;
    rf.delta = delta;
    rf.slowness = *p;
    for (const char* code : {"knetwk", "kstnm", "khole"}) {
        std::string v;
        traceio::getkhv(code, v, nerr);
        if (nerr == 0 && !v.empty()) rf.station += (rf.station.empty() ? "" : ".") + v;
    }
    return rf;
}

double direct_p_amplitude(const ReceiverFunction& rf) {
    double largest = 0;
    for (std::size_t i = 0; i < rf.samples.size(); ++i) {
        const double t = rf.begin + rf.delta * static_cast<double>(i);
        if (std::abs(t) <= direct_p_window) largest = std::max(largest, double{rf.samples[i]});
    }
    return largest;
}

Gathered gather(const NameList& list, std::string_view tool, bool normalise) {
    std::vector<std::optional<ReceiverFunction>> read(list.names.size());
    std::vector<std::string> why(list.names.size());
    for (std::size_t i = 0; i < list.names.size(); ++i)
        read[i] = read_receiver_function(list.names[i].name, why[i]);
    // Copied: the receiver functions move into the result one by one.
    const ReceiverFunction* common = common_interval(read);
    const std::string reference_name = common ? common->name : std::string();
    const double reference = common ? common->delta : 0;

    Gathered g;
    g.left_out = list.skipped_lines;
    for (std::size_t i = 0; i < list.names.size(); ++i) {
        auto& rf = read[i];
        if (rf && !same_interval(rf->delta, reference))
            why[i] = "sample interval " + std::to_string(rf->delta) + " s differs from " +
                     std::to_string(reference) + " s of '" + reference_name + "'";
        else if (rf && normalise) {
            const double a = direct_p_amplitude(*rf);
            if (a > 0)
                for (float& v : rf->samples) v = static_cast<float>(v / a);
            else
                why[i] = "no positive direct P within 0.5 s of zero lag";
        }
        if (rf && why[i].empty()) {
            g.used.push_back(std::move(*rf));
            continue;
        }
        console::err() << tool << ": left out '" << list.names[i].name << "'"
                       << where(list.names[i]) << ": " << why[i] << '\n';
        ++g.left_out;
    }
    warn_of_stations(g.used, tool);
    if (g.left_out > 0)
        console::err() << tool << ": " << g.used.size() << " of "
                       << list.names.size() + static_cast<std::size_t>(list.skipped_lines)
                       << " receiver functions used\n";
    return g;
}

bool one_station(std::span<const ReceiverFunction> rfs) {
    return std::ranges::all_of(
        rfs, [&](const ReceiverFunction& rf) { return rf.station == rfs.front().station; });
}

Gathered read_for_stacking(std::span<const std::string> files, std::string_view tool,
                           bool normalise, std::span<const Output> outputs) {
    const NameList list = input_names(files, tool);
    if (list.names.empty() && list.skipped_lines == 0)
        throw console::Ending(1, std::string(tool) + ": no receiver functions named");
    refuse_replacing_data(list, outputs, tool);
    Gathered g = gather(list, tool, normalise);
    if (g.used.size() < 2)
        throw console::Ending(1, std::string(tool) + ": " + std::to_string(g.used.size()) +
                                     " usable receiver function(s); a stack needs at least two");
    return g;
}

} // namespace rfkit
