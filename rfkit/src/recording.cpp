// Reading one component file into a Recording (see recording.hpp).
#include "rfkit/recording.hpp"

#include "rfkit/reftime.hpp"
#include "tracefail.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace rfkit {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr std::uintmax_t header_bytes = 632;
constexpr std::uintmax_t max_samples = 1u << 27; // half a gigabyte of samples

double number(const char* name) {
    float v = traceio::FUNDEF;
    int nerr = 0;
    traceio::getfhv(name, v, nerr);
    return nerr != 0 || !std::isfinite(v) ? nan : v;
}

std::string text(const char* name) {
    std::string v;
    int nerr = 0;
    traceio::getkhv(name, v, nerr);
    return nerr != 0 ? std::string() : v;
}

} // namespace

int pick_index(const std::string& field) {
    std::string f;
    for (char c : field) f += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (f == "A") return 0;
    if (f.size() == 2 && f[0] == 'T' && f[1] >= '0' && f[1] <= '9') return 1 + (f[1] - '0');
    return -1;
}

std::string pick_name(int index) {
    return index == 0 ? std::string("A") : std::string("T").append(std::to_string(index - 1));
}

bool read_recording(const std::string& file, Recording& rec, std::string& why) {
    rec.file = file;
    int n = 0, nerr = 0;
    float b = 0, dt = 0;
    // One read: room for every sample the file can hold, and one more, so
    // that a file shorter than its NPTS fails as such instead of being cut.
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    const std::uintmax_t room = ec || size < header_bytes ? 0 : (size - header_bytes) / 4;
    if (room > max_samples) {
        why = "more than " + std::to_string(max_samples) + " samples";
        return false;
    }
    rec.samples.resize(static_cast<std::size_t>(room) + 1);
    errno = 0;
    traceio::rsac1(file, rec.samples, n, b, dt, static_cast<int>(room) + 1, nerr);
    // A header was loaded whenever the file holds one, even when its samples
    // could not be read.
    const bool header_loaded = !ec && size >= header_bytes && nerr == traceio::ERR_READ;
    if (read_a_non_trace(nerr) || (header_loaded && !header_is_a_trace())) {
        why = not_a_trace;
        return false;
    }
    if (nerr != 0) {
        why = read_failure(nerr, errno);
        return false;
    }
    if (n <= 0) {
        why = "no samples (NPTS " + std::to_string(n) + ")";
        return false;
    }
    rec.samples.resize(static_cast<std::size_t>(n));
    if (!(dt > 0) || !std::isfinite(dt)) {
        why = "the sample interval DELTA is not positive";
        return false;
    }
    if (!std::isfinite(b) || b == traceio::FUNDEF) {
        why = "no begin time B";
        return false;
    }
    if (!stored_reference(rec.reference)) {
        why = "no valid reference time (NZYEAR .. NZMSEC)";
        return false;
    }
    rec.begin = b;
    rec.delta = dt;
    rec.network = text("knetwk");
    rec.station = text("kstnm");
    rec.location = text("khole");
    rec.channel = text("kcmpnm");
    rec.cmpaz = number("cmpaz");
    rec.cmpinc = number("cmpinc");
    rec.stla = number("stla");
    rec.stlo = number("stlo");
    rec.evla = number("evla");
    rec.evlo = number("evlo");
    rec.evdp = number("evdp");
    rec.origin = number("o");
    rec.baz = number("baz");
    rec.gcarc = number("gcarc");
    for (int i = 0; i < static_cast<int>(rec.picks.size()); ++i)
        rec.picks[static_cast<std::size_t>(i)] = number(pick_name(i).c_str());
    return true;
}

} // namespace rfkit
