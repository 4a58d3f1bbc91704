// Names and headers of a prepared event's files (see prepout.hpp).
#include "rfkit/prepout.hpp"

#include "console/console.hpp"
#include "rfkit/reftime.hpp"
#include "tracefail.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace rfkit {

namespace {

std::string safe(const std::string& code) {
    std::string s = code;
    for (char& c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
    return s;
}

// The header fields that hold times after the reference time.
constexpr const char* time_fields[] = {"o",  "a",  "t0", "t1", "t2", "t3", "t4",
                                       "t5", "t6", "t7", "t8", "t9", "f"};

void set_float(const char* name, double v) {
    int nerr = 0;
    traceio::setfhv(name, static_cast<float>(v), nerr);
}

void set_text(const char* name, const std::string& v) {
    int nerr = 0;
    traceio::setkhv(name, v, nerr);
}

// Z's header as read, changed as prepout.hpp tells (all but the fields of
// each component, set in write_component).
bool event_header(const Prepared& p, std::string& why) {
    int nerr = 0;
    std::int64_t old_ref = 0;
    if (!stored_reference(old_ref)) { // the store no longer holds Z's header
        why = "'" + p.files[0] + "': the header of the vertical is gone";
        return false;
    }
    const double moved = static_cast<double>(p.p_time - old_ref) / 1000;
    for (const char* name : time_fields) {
        float v = 0;
        traceio::getfhv(name, v, nerr);
        if (nerr == 0 && std::isfinite(v)) set_float(name, v - moved);
    }
    store_reference(p.p_time);
    const int pick_field = p.picked ? p.pick : 10; // T9 holds a prediction
    if (p.picked) {
        const std::string field = pick_name(p.pick);
        set_float(field.c_str(), p.p_residual);
        std::string label;
        traceio::getkhv("k" + field, label, nerr);
        if (nerr != 0) set_text(("k" + field).c_str(), "P");
    }
    if (p.has_prediction && !(p.picked && p.pick == 10)) {
        set_float("t9", p.predicted);
        set_text("kt9", "P_iasp91");
    }
    const std::string reference = pick_field == 0 ? "IA" : "IT" + std::to_string(pick_field - 1);
    traceio::setihv("iztype", reference, nerr);
    if (p.has_slowness) {
        set_float("user0", p.slowness);
        set_text("kuser0", "s/km");
    } else {
        set_float("user0", traceio::FUNDEF);
        set_text("kuser0", std::string(traceio::KUNDEF));
    }
    set_float("user1", p.has_snr ? p.snr : traceio::FUNDEF);
    set_text("kuser1", p.has_snr ? "snr" : std::string(traceio::KUNDEF));
    set_float("baz", p.baz);
    if (p.has_distance) set_float("gcarc", p.gcarc);
    if (p.located) set_float("dist", p.dist), set_float("az", p.az);
    return true;
}

// Writes one component under `name`; false with the reason in `why`.
bool write_component(const std::vector<float>& y, float begin, float dt, double cmpaz,
                     double cmpinc, const std::string& channel, const std::string& name,
                     std::string& why) {
    int nerr = 0;
    traceio::setnhv("npts", static_cast<int>(y.size()), nerr);
    set_float("b", begin);
    set_float("delta", dt);
    set_float("cmpaz", cmpaz);
    set_float("cmpinc", cmpinc);
    set_text("kcmpnm", channel);
    traceio::describe_samples(y);
    errno = 0;
    traceio::wsac0(name, {}, y, nerr);
    if (nerr == 0) return true;
    why = write_failure(nerr, errno);
    return false;
}

// True when `out` exists and is the same file as one of the inputs (which
// an output must never replace); `in` then names it.
bool is_an_input(const std::string& out, const std::array<std::string, 3>& inputs,
                 std::string& in) {
    struct stat o {};
    if (::stat(out.c_str(), &o) != 0) return false; // not there yet: nothing to replace
    for (const std::string& name : inputs) {
        struct stat i {};
        if (::stat(name.c_str(), &i) == 0 && i.st_dev == o.st_dev && i.st_ino == o.st_ino) {
            in = name;
            return true;
        }
    }
    return false;
}

bool is_a_directory(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A device or a named pipe under the name is written in place, as the trace
// library writes it; anything else is replaced.
bool written_in_place(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode));
}

// A hidden name beside `name` for its new file until the event is complete;
// the process number keeps runs at the same time apart.
std::string staging_name(const std::string& name) {
    static unsigned serial = 0;
    const auto slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    return dir + "." + name.substr(dir.size()) + "." + std::to_string(::getpid()) + "." +
           std::to_string(serial++) + ".part";
}

// The new file keeps the permission bits of the one it replaces.
void keep_mode(const std::string& name, const std::string& staged) {
    struct stat st {};
    if (!staged.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        ::chmod(staged.c_str(), st.st_mode & 07777);
}

} // namespace

std::string event_stem(const Prepared& p) {
    // Built by appending: g++ 12 at -O3 misreports some concatenations.
    std::string s;
    if (!p.network.empty()) s.append(safe(p.network)).append(".");
    s.append(safe(p.station));
    if (!p.location.empty()) s.append(".").append(safe(p.location));
    s.append(p.has_origin ? "_" : "_P");
    return s.append(compact_time(p.has_origin ? p.origin : p.p_time));
}

std::array<std::string, 3> output_names(const Prepared& p, const std::string& dir) {
    const std::string stem = event_stem(p);
    const std::string at = dir.empty() || dir == "." ? "" : dir + (dir.back() == '/' ? "" : "/");
    return {at + stem + ".z", at + stem + ".r", at + stem + ".t"};
}

bool write_prepared(const Prepared& p, const std::array<std::string, 3>& names, std::string& why) {
    std::string in;
    for (const std::string& out : names)
        if (is_an_input(out, p.files, in)) {
            why = "the output '" + out + "' would replace the input '" + in + "'";
            return false;
        }
    for (const std::string& out : names)
        if (is_a_directory(out)) {
            why = "'" + out + "' could not be written: " + console::system_reason(EISDIR);
            return false;
        }
    if (!event_header(p, why)) return false;

    const float dt = static_cast<float>(p.delta);
    const float begin = static_cast<float>(p.begin + p.p_residual); // after the new reference
    const std::string prefix = p.channel_prefix;
    const std::array<double, 3> cmpaz{0, p.radial_azimuth, p.transverse_azimuth};
    const std::array<double, 3> cmpinc{0, 90, 90};
    const std::array<std::string, 3> channel{prefix + "Z", prefix + "R", prefix + "T"};
    // The three files are written whole beside their names and put in place
    // together once all are written: a full disk or a signal half-way through
    // an event leaves its older files as they were, never a mix of old and
    // new or one of them gone.  The signals wait for the event to be done.
    const HeldSignals held;
    std::array<std::string, 3> staged;
    const auto give_up = [&](std::size_t upto) {
        for (std::size_t k = 0; k < upto; ++k)
            if (!staged[k].empty()) std::remove(staged[k].c_str());
    };
    for (std::size_t c = 0; c < 3; ++c) {
        staged[c] = written_in_place(names[c]) ? std::string() : staging_name(names[c]);
        std::string reason;
        if (!write_component(p.zrt[c], begin, dt, cmpaz[c], cmpinc[c], channel[c],
                             staged[c].empty() ? names[c] : staged[c], reason)) {
            give_up(c);
            why = "'" + names[c] + "' could not be written: " + reason;
            return false;
        }
        keep_mode(names[c], staged[c]);
    }
    for (std::size_t c = 0; c < 3; ++c)
        if (!staged[c].empty() && std::rename(staged[c].c_str(), names[c].c_str()) != 0) {
            const int error = errno;
            give_up(3);
            why = "'" + names[c] + "' could not be written: " + console::system_reason(error);
            if (c > 0) why += " (the files of the event before it are replaced)";
            return false;
        }
    return true;
}

} // namespace rfkit
