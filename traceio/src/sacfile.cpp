#include "traceio/sacfile.hpp"

#include "byteorder.hpp"
#include "store.hpp"
#include "traceio/distaz.hpp"
#include "traceio/errors.hpp"
#include "traceio/header.hpp"
#include "traceio/output.hpp"
#include "traceio/zfile.hpp"
#include "units.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace traceio {

using detail::cmhdr;
using detail::kmhdr;
namespace fh = detail::f;
namespace nh = detail::n;
namespace ih = detail::i;
namespace lh = detail::l;

namespace {

constexpr int numericBytes = 4 * detail::numeric_words; // 440
constexpr int textBytes = 4 * detail::text_words;       // 192
constexpr int dataWord = detail::header_words;          // first sample at word 158

using NumericBytes = std::array<std::byte, numericBytes>;
using HeaderBytes = std::array<std::byte, detail::header_bytes>;

// Header versions whose first 158 words are laid out alike: 6, and 7, which
// only adds a block of double-precision values after the samples.
bool known_version(std::uint32_t word) {
    return word == NVHDR_CURRENT || word == 7;
}

// A file was written little-endian when its version word reads 6 (or 7) only
// in that order; anything else is taken as big-endian.
bool written_little(const std::byte* numeric) {
    const std::byte* version = numeric + 4 * (70 + nh::nvhdr);
    return !known_version(detail::load_word(version, false)) &&
           known_version(detail::load_word(version, true));
}

// Numeric header words from file bytes into the store.
void load_numeric(const std::byte* in, bool little) {
    auto word = [&](int k) { return detail::load_word(in + 4 * k, little); };
    int k = 0;
    for (auto& v : cmhdr.fhdr) v = std::bit_cast<float>(word(k++));
    for (auto& v : cmhdr.nhdr) v = std::bit_cast<std::int32_t>(word(k++));
    for (auto& v : cmhdr.ihdr) v = std::bit_cast<std::int32_t>(word(k++));
    for (auto& v : cmhdr.lhdr) v = std::bit_cast<std::int32_t>(word(k++));
}

// The store's numeric words as file bytes, big-endian unless little is set.
void save_numeric(std::byte* out, bool little = false) {
    int k = 0;
    auto put = [&](std::uint32_t v) { detail::store_word(out + 4 * k++, v, little); };
    for (float v : cmhdr.fhdr) put(std::bit_cast<std::uint32_t>(v));
    for (auto v : cmhdr.nhdr) put(std::bit_cast<std::uint32_t>(v));
    for (auto v : cmhdr.ihdr) put(std::bit_cast<std::uint32_t>(v));
    for (auto v : cmhdr.lhdr) put(std::bit_cast<std::uint32_t>(v));
}

void load_text(std::span<const std::byte> in) {
    std::array<char, textBytes> text;
    zgetc(in, text, textBytes);
    for (std::size_t s = 0; s < kmhdr.khdr.size(); ++s)
        std::copy_n(text.begin() + 8 * s, 8, kmhdr.khdr[s].begin());
}

void save_text(std::span<std::byte> out) {
    std::array<char, textBytes> text;
    for (std::size_t s = 0; s < kmhdr.khdr.size(); ++s)
        std::copy_n(kmhdr.khdr[s].begin(), 8, text.begin() + 8 * s);
    zputc(std::string_view(text.data(), text.size()), out, textBytes);
}

// Reverses the bytes of each sample read in the other byte order.
void reverse_words(std::span<float> v) {
    auto bytes = std::as_writable_bytes(v);
    for (std::size_t k = 0; k < bytes.size(); k += 4) std::reverse(&bytes[k], &bytes[k] + 4);
}

// Closes a handle when it goes out of scope.
class OpenFile {
  public:
    OpenFile(int nfu, std::string_view name) : nfu_(nfu), name_(name) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() { close(); }
    int close() {
        int err = 0;
        if (open_) zclose(nfu_, name_, err);
        open_ = false;
        return err;
    }
    int handle() const { return nfu_; }

  private:
    int nfu_;
    std::string_view name_;
    bool open_ = true;
};

// Fills DIST, AZ, BAZ and GCARC from the coordinates when LCALDA asks for it.
// Coordinates that are not numbers give no distance: the four fields are
// marked undefined rather than holding NaN or a made-up value.
void compute_distances() {
    auto& h = cmhdr.fhdr;
    if (h[fh::stla] == FUNDEF || h[fh::stlo] == FUNDEF || h[fh::evla] == FUNDEF ||
        h[fh::evlo] == FUNDEF || cmhdr.lhdr[lh::lcalda] == 0)
        return;
    const int body = cmhdr.ihdr[ih::body] == IUNDEF ? detail::IEARTH : cmhdr.ihdr[ih::body];
    int err = 0;
    distaz(body, h[fh::evla], h[fh::evlo], std::span(&h[fh::stla], 1), std::span(&h[fh::stlo], 1),
           1, std::span(&h[fh::dist], 1), std::span(&h[fh::az], 1), std::span(&h[fh::baz], 1),
           std::span(&h[fh::gcarc], 1), err);
    const bool finite = std::isfinite(h[fh::dist]) && std::isfinite(h[fh::az]) &&
                        std::isfinite(h[fh::baz]) && std::isfinite(h[fh::gcarc]);
    if (err != 0 || !finite) h[fh::dist] = h[fh::az] = h[fh::baz] = h[fh::gcarc] = FUNDEF;
}

// Header and data blocks of the current trace to a handle opened at the
// start of its file, as one transfer of the whole file: the samples are
// converted to big-endian in a buffer of the library (the caller's arrays are
// only read).  The trace is written in file order, without seeking, so that
// a stream (a pipe, a terminal) takes it as well as a file.
void write_trace(int nfu, std::span<const float> x, std::span<const float> y, int npts, bool leven,
                 int& nerr) {
    thread_local std::vector<std::byte> file;
    const std::size_t n = npts > 0 ? static_cast<std::size_t>(npts) : 0;
    const std::size_t blocks = leven ? 1 : 2;
    file.resize(detail::header_bytes + 4 * blocks * n);
    save_numeric(file.data());
    save_text(std::span(file).subspan(numericBytes, textBytes));
    std::byte* out = file.data() + detail::header_bytes;
    for (std::span<const float> v : {y, x}) {
        for (std::size_t j = 0; j < n; ++j, out += 4)
            detail::store_big(out, std::bit_cast<std::uint32_t>(v[j]));
        if (leven) break;
    }
    // (wsac0 has checked that the words fit an int.)
    zwabs(nfu, file, static_cast<int>(file.size() / 4), -1, nerr);
    if (nerr != 0) nerr = ERR_WRITE;
}

// The record-based path's messages: one line on standard error after a blank.
void report(const std::string& line) {
    std::fprintf(stderr, " %s\n", line.c_str());
}

// The name as the record-based messages show it: up to and including its
// first blank, or all of it when it has none.
std::string shown_name(std::string_view name) {
    const auto blank = name.find(' ');
    return std::string(blank == std::string_view::npos ? name : name.substr(0, blank + 1));
}

} // namespace

void rsac1(std::string_view name, std::span<float> y, int& nlen, float& beg, float& del, int max,
           int& nerr) {
    nerr = 0;
    detail::ensure_initialised();
    // A command pipe cannot deliver a trace.
    std::string_view stripped;
    if (!detail::strip_name(name, stripped) || (!stripped.empty() && stripped.front() == '|')) {
        nerr = ERR_OPEN;
        return;
    }
    int nfu = 0;
    bool regular = false;
    zopenc(nfu, name, 0, 1, 0, nerr, &regular);
    if (nerr != 0) {
        nerr = nerr == ERR_FILE_DENIED ? ERR_DENIED : ERR_OPEN;
        return;
    }
    OpenFile file(nfu, name);
    // Only a regular file holds a trace: a directory or a FIFO is refused
    // before any read could fail oddly or wait for a writer.
    if (!regular) {
        nerr = ERR_OPEN;
        return;
    }

    HeaderBytes header;
    zrabs(nfu, header, detail::header_words, 0, nerr);
    if (nerr != 0) {
        nerr = ERR_READ;
        return;
    }
    const bool little = written_little(header.data());
    load_numeric(header.data(), little);
    load_text(std::span(header).subspan(numericBytes));

    if (cmhdr.lhdr[lh::leven] == 0) {
        nerr = ERR_UNEVEN;
        return;
    }
    beg = cmhdr.fhdr[fh::b];
    del = cmhdr.fhdr[fh::delta];
    const int capacity =
        static_cast<int>(std::min<long long>(max, static_cast<long long>(y.size())));
    if (capacity == 0) {
        nlen = 0; // header only: NPTS and E stay as in the file
    } else {
        const int npts = cmhdr.nhdr[nh::npts];
        const int n = npts <= capacity ? npts : capacity;
        zrabs(nfu, std::as_writable_bytes(y), n, dataWord, nerr);
        if (nerr != 0) {
            nerr = ERR_READ;
            nlen = 0;
            return;
        }
        if (little != detail::host_little) reverse_words(y.first(static_cast<std::size_t>(n)));
        nlen = n;
        cmhdr.nhdr[nh::npts] = n;
        cmhdr.fhdr[fh::e] = beg + static_cast<float>(n - 1) * del;
    }
    compute_distances();
}

void wsac0(std::string_view name, std::span<const float> x, std::span<const float> y, int& nerr) {
    nerr = 0;
    const int npts = cmhdr.nhdr[nh::npts];
    const bool leven = cmhdr.lhdr[lh::leven] != 0;
    int unit = 0;
    zgtfun(unit, nerr);
    if (nerr != 0) return;
    // The data blocks must lie within the arrays given and within a file.
    const bool fits = npts >= 0 && static_cast<std::size_t>(npts) <= y.size() &&
                      (leven || static_cast<std::size_t>(npts) <= x.size()) &&
                      npts <= (INT_MAX - dataWord) / 2;

    if (!name.empty() && name.front() == '|') {
        // A memory file is sized to its final length and written in place.
        if (!fits) {
            nerr = ERR_WRITE;
            return;
        }
        int nfu = 0;
        znfile(nfu, name, "DATA", dataWord + (leven ? npts : 2 * npts), nerr);
        if (nerr != 0) return;
        write_trace(nfu, x, y, npts, leven, nerr);
        int ignored = 0;
        zclose(nfu, name, ignored);
        return;
    }

    // Any other name is a file replaced atomically or a stream written in
    // place (traceio/output.hpp).
    std::string_view stripped;
    if (!detail::strip_name(name, stripped) || stripped.empty()) {
        errno = stripped.empty() ? ENOENT : ENAMETOOLONG;
        nerr = ERR_OPEN;
        return;
    }
    if (!fits) {
        errno = EINVAL;
        nerr = ERR_WRITE;
        return;
    }
    detail::Output out;
    nerr = out.open(std::string(stripped));
    if (nerr != 0) return;
    write_trace(-out.fd(), x, y, npts, leven, nerr);
    if (nerr == 0)
        nerr = out.finish();
    else
        out.abandon();
}

void describe_samples(std::span<const float> y) {
    detail::ensure_initialised();
    auto& h = cmhdr.fhdr;
    const int npts = cmhdr.nhdr[nh::npts];
    const std::size_t n = npts > 0 ? std::min(static_cast<std::size_t>(npts), y.size()) : 0;
    h[fh::e] = npts > 0 ? h[fh::b] + static_cast<float>(npts - 1) * h[fh::delta] : FUNDEF;
    h[fh::depmin] = h[fh::depmax] = h[fh::depmen] = FUNDEF;
    if (n > 0) {
        const auto samples = y.first(n);
        const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
        double sum = 0.0;
        for (float v : samples) sum += v;
        h[fh::depmin] = *low;
        h[fh::depmax] = *high;
        h[fh::depmen] = static_cast<float>(sum / static_cast<double>(n));
    }
    cmhdr.nhdr[nh::nvhdr] = NVHDR_CURRENT;
    cmhdr.ihdr[ih::iftype] = detail::ITIME;
    cmhdr.lhdr[lh::leven] = 1;
}

bool plain_file_name(std::string_view name) {
    const auto control = [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7f;
    };
    return !(name.starts_with('|') || std::any_of(name.begin(), name.end(), control));
}

std::string time_series_problem() {
    detail::ensure_initialised();
    const int type = cmhdr.ihdr[ih::iftype];
    if (type == detail::ITIME) return {};
    const std::string shown = type >= 1 && type <= static_cast<int>(detail::kmlhf.enums.size())
                                  ? std::string(detail::kmlhf.enums[type - 1])
                              : type == IUNDEF ? "undefined"
                                               : std::to_string(type);
    return "IFTYPE is " + shown + ", not ITIME";
}

std::string begin_time_problem() {
    detail::ensure_initialised();
    const float b = cmhdr.fhdr[fh::b], delta = cmhdr.fhdr[fh::delta];
    if (b == FUNDEF) return "B is undefined (-12345)";
    if (!std::isfinite(b))
        return "B is " + std::string(std::isnan(b) ? "not a number" : "infinite");
    if (!(delta > 0.0f && std::isfinite(delta))) return {};
    // The spacing of single-precision numbers at the begin time.
    const float at = std::fabs(b);
    if (!(std::nextafter(at, INFINITY) - at <= 0.5f * delta)) {
        char text[96];
        std::snprintf(text, sizeof text, "B is %g s, too far from the reference time", b);
        return text;
    }
    return {};
}

void wsac1(std::string_view name, std::span<const float> y, int nlen, float beg, float del,
           int& nerr) {
    detail::ensure_initialised();
    newhdr();
    cmhdr.nhdr[nh::npts] = nlen;
    cmhdr.fhdr[fh::delta] = del;
    cmhdr.lhdr[lh::leven] = 1;
    cmhdr.fhdr[fh::b] = beg;
    cmhdr.fhdr[fh::e] = beg + static_cast<float>(nlen - 1) * del;
    wsac0(name, {}, y, nerr);
}

bool saciou(int& unit) {
    for (int u = 9; u <= detail::max_unit; ++u) {
        if (!detail::unit_is_open(u)) {
            unit = u;
            return true;
        }
    }
    return false;
}

namespace {

// Opens an existing file on a free unit for header-record access.  False
// (error -2, reported) when no unit is free; otherwise nerr holds the status
// of the open, 0 when the unit is connected.
bool header_unit(std::string_view name, int& unit, int& nerr) {
    if (!saciou(unit)) {
        report("**Can't find unit to read SAC file header!");
        nerr = ERR_NO_RECORD_UNIT;
        return false;
    }
    std::string_view stripped;
    nerr = detail::strip_name(name, stripped) ? 0 : ENAMETOOLONG;
    if (nerr == 0)
        nerr = detail::unit_connect(unit, stripped, detail::Status::Old, detail::Access::Records,
                                    detail::header_bytes);
    return true;
}

} // namespace

void rsach(std::string_view name, int& nerr) {
    nerr = 0;
    newhdr();
    int unit = 0;
    if (!header_unit(name, unit, nerr)) return;
    HeaderBytes record;
    if (nerr == 0) {
        nerr = detail::unit_read_record(unit, 1, record);
        detail::unit_disconnect(unit, false);
    }
    if (nerr != 0) {
        report("**Can't read SAC file " + shown_name(name));
        return;
    }
    load_numeric(record.data(), written_little(record.data()));
    load_text(std::span(record).subspan(numericBytes));
}

void wsach(std::string_view name, int& nerr) {
    nerr = 0;
    if (cmhdr.nhdr[nh::nvhdr] != NVHDR_CURRENT) {
        report("**Version number isn't right in header.  Initialized?");
        nerr = ERR_VERSION;
        return;
    }
    int unit = 0;
    if (!header_unit(name, unit, nerr)) return;
    if (nerr == 0) {
        // The header keeps the byte order of the samples it describes: a
        // little-endian file gets a little-endian header back.
        HeaderBytes record;
        const bool little =
            detail::unit_read_record(unit, 1, record) == 0 && written_little(record.data());
        save_numeric(record.data(), little);
        save_text(std::span(record).subspan(numericBytes));
        nerr = detail::unit_write_record(unit, 1, record);
        const int closed = detail::unit_disconnect(unit, false);
        if (nerr == 0) nerr = closed;
    }
    if (nerr != 0) report("**Can't write SAC file " + shown_name(name));
}

void swap(void* dest, int /*len*/, bool keep, const void* src) {
    std::array<std::byte, 4> w;
    std::memcpy(w.data(), src, 4);
    if (!keep) std::reverse(w.begin(), w.end());
    std::memcpy(dest, w.data(), 4);
}

int endian_type() {
    return detail::host_little ? 1 : 0;
}

namespace {
template <std::size_t Size> void reverse_each(void* array, int count) {
    if constexpr (!detail::host_little) return;
    auto* p = static_cast<std::byte*>(array);
    for (int k = 0; k < count; ++k, p += Size) std::reverse(p, p + Size);
}
} // namespace

void swap_bytes16(void* array, int count) {
    reverse_each<2>(array, count);
}
void swap_bytes32(void* array, int count) {
    reverse_each<4>(array, count);
}
void swap_bytes64(void* array, int count) {
    reverse_each<8>(array, count);
}

} // namespace traceio
