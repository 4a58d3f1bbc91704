#include "traceio/header.hpp"

#include "store.hpp"
#include "traceio/textutil.hpp"

#include <algorithm>
#include <array>
#include <string>

namespace traceio {
namespace detail {

namespace {

// The store as newhdr leaves it.  The store starts so, too: a header set
// field by field or written before any newhdr or rsac1 is a valid trace
// header (NVHDR 6, LEVEN true, NPTS undefined until set), not one of zeros
// that no reader takes for a trace.
constexpr NumericHeader fresh_numeric() {
    NumericHeader h;
    h.fhdr.fill(FUNDEF);
    h.nhdr.fill(IUNDEF);
    h.ihdr.fill(IUNDEF);
    h.lhdr = {1, 0, 1, 1, 0}; // LEVEN, LPSPOL, LOVROK, LCALDA, LHDR5
    h.nhdr[n::nvhdr] = NVHDR_CURRENT;
    h.ihdr[i::iftype] = ITIME;
    return h;
}

constexpr TextHeader fresh_text() {
    TextHeader t;
    for (auto& slot : t.khdr) std::copy_n(KUNDEF.begin(), slot.size(), slot.begin());
    return t;
}

} // namespace

constinit NumericHeader cmhdr = fresh_numeric();
constinit TextHeader kmhdr = fresh_text();

void ensure_initialised() {
    if (!cmhdr.initialised) {
        inihdr();
        inilhf();
    }
}

} // namespace detail

using detail::cmhdr;
using detail::kmhdr;
using detail::kmlhf;

namespace {

// The 8-character lookup key of a name: its significant part (up to the last
// non-blank, before any NUL), at most 8 characters, upper case, blank-padded.
std::array<char, 8> lookup_key(std::string_view name) {
    std::array<char, 8> key;
    key.fill(' ');
    modcase(true, name, std::min(indexb(name), 8), key);
    return key;
}

// 0-based index of a name in a table, or -1.
template <std::size_t N>
int find(std::string_view name, const std::array<std::string_view, N>& table) {
    const auto key = lookup_key(name);
    return nequal(std::string_view(key.data(), key.size()), table, static_cast<int>(N)) - 1;
}

void fill_slot(std::array<char, 8>& slot, std::string_view text) {
    slot.fill(' ');
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 8), slot.begin());
}

std::string_view slot_view(const std::array<char, 8>& slot) {
    return std::string_view(slot.data(), slot.size());
}

} // namespace

void inihdr() {
    // The undefined values, the version and the enumeration codes are fixed
    // when the library is built; this only marks the store as ready.
    cmhdr.initialised = true;
}

void inilhf() {
    // The name tables are constant tables built into the library.
}

void newhdr() {
    detail::ensure_initialised();
    const bool initialised = cmhdr.initialised;
    cmhdr = detail::fresh_numeric();
    cmhdr.initialised = initialised;
    kmhdr = detail::fresh_text();
}

void setfhv(std::string_view name, float value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.fhdr);
    if (k < 0) {
        nerr = ERR_NO_FIELD;
        return;
    }
    cmhdr.fhdr[k] = value;
}

void setnhv(std::string_view name, int value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.nhdr);
    if (k < 0) {
        nerr = ERR_NO_FIELD;
        return;
    }
    cmhdr.nhdr[k] = value;
}

void setkhv(std::string_view name, std::string_view value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.khdr);
    if (k < 0) {
        nerr = ERR_NO_FIELD;
        return;
    }
    fill_slot(kmhdr.khdr[k], value);
    // KEVNM spans two slots: its characters 9-16 go to the second one.
    if (k == 1) fill_slot(kmhdr.khdr[2], value.size() > 8 ? value.substr(8) : std::string_view{});
}

void getnhv(std::string_view name, int& value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.nhdr);
    if (k < 0) {
        value = IUNDEF;
        nerr = ERR_NO_FIELD;
        return;
    }
    value = cmhdr.nhdr[k];
    if (value == IUNDEF) nerr = ERR_UNDEFINED;
}

void getfhv(std::string_view name, float& value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.fhdr);
    if (k < 0) {
        value = FUNDEF;
        nerr = ERR_NO_FIELD;
        return;
    }
    value = cmhdr.fhdr[k];
    if (value == FUNDEF) nerr = ERR_UNDEFINED;
}

void getkhv(std::string_view name, std::string& value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.khdr);
    if (k < 0) {
        value = std::string(KUNDEF);
        nerr = ERR_NO_FIELD;
        return;
    }
    value.assign(slot_view(kmhdr.khdr[k]));
    bool undefined = slot_view(kmhdr.khdr[k]) == KUNDEF;
    if (k == 1) {
        value.append(slot_view(kmhdr.khdr[2]));
        undefined = undefined && slot_view(kmhdr.khdr[2]) == KUNDEF;
    }
    value.resize(trimmed(value).size());
    if (undefined) nerr = ERR_UNDEFINED;
}

void getlhv(std::string_view name, bool& value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.lhdr);
    if (k < 0) {
        value = false;
        nerr = ERR_NO_FIELD;
        return;
    }
    value = cmhdr.lhdr[k] != 0;
}

void setlhv(std::string_view name, bool value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.lhdr);
    if (k < 0) {
        nerr = ERR_NO_FIELD;
        return;
    }
    cmhdr.lhdr[k] = value ? 1 : 0;
}

void getihv(std::string_view name, std::string& value, int& nerr) {
    nerr = 0;
    value.clear();
    const int k = find(name, kmlhf.ihdr);
    if (k < 0) {
        nerr = ERR_NO_FIELD;
        return;
    }
    const int code = cmhdr.ihdr[k];
    if (code == IUNDEF) {
        nerr = ERR_UNDEFINED;
    } else if (code >= 1 && code <= static_cast<int>(kmlhf.enums.size())) {
        value = kmlhf.enums[static_cast<std::size_t>(code - 1)];
    } else {
        value = std::to_string(code);
    }
}

void setihv(std::string_view name, std::string_view value, int& nerr) {
    nerr = 0;
    const int k = find(name, kmlhf.ihdr);
    const int code = enum_code(value);
    if (k < 0 || code == 0) {
        nerr = ERR_NO_FIELD;
        return;
    }
    cmhdr.ihdr[k] = code;
}

int enum_code(std::string_view name) {
    const int k = find(name, kmlhf.enums);
    return k + 1;
}

} // namespace traceio
