// rfkit info: chosen header fields of many trace files as one table.
//
//   rfkit info [-f FIELD,FIELD...] FILE...
//   rfkit info [-f FIELD,FIELD...] < names      (one file name a line)
//
// One line per file, the file name first, columns aligned; the first line
// names the columns after a '#'.  Floats are written with the fewest digits
// that read back to the same single-precision value, enumerated fields by
// their value's name, text with its inner blanks in double quotes; undefined
// values are written "undef".  A file that cannot be read is reported on
// standard error and left out of the table.
#include "console/console.hpp"
#include "rfkit/cmdline.hpp"
#include "rfkit/rfkit.hpp"
#include "tracefail.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace rfkit {

namespace {

constexpr const char* synopsis =
    "usage: rfkit info [-f FIELD,FIELD...] FILE...\n"
    "       rfkit info [-f FIELD,FIELD...] < names     (one file name a line)\n"
    "A table of header fields, one line per file, the file name first; field\n"
    "names in any case; undefined values are shown as undef.\n"
    "  -f FIELDS   the fields, separated by commas (may be repeated); default\n"
    "              knetwk,kstnm,kcmpnm,npts,delta,b,gcarc,baz,user0,user1,user2\n"
    "The manual page rfkit(1) has the details.\n";

constexpr const char* default_fields =
    "knetwk,kstnm,kcmpnm,npts,delta,b,gcarc,baz,user0,user1,user2";

enum class Kind { real, integer, enumerated, logical, text };

struct Field {
    std::string name; // upper case, as the column heading
    Kind kind;
};

// The kind of a header field, found by asking the store; false for no field.
bool kind_of(const std::string& name, Kind& kind) {
    int nerr = 0;
    float f = 0;
    traceio::getfhv(name, f, nerr);
    if (nerr != traceio::ERR_NO_FIELD) return kind = Kind::real, true;
    int n = 0;
    traceio::getnhv(name, n, nerr);
    if (nerr != traceio::ERR_NO_FIELD) return kind = Kind::integer, true;
    std::string s;
    traceio::getihv(name, s, nerr);
    if (nerr != traceio::ERR_NO_FIELD) return kind = Kind::enumerated, true;
    bool b = false;
    traceio::getlhv(name, b, nerr);
    if (nerr != traceio::ERR_NO_FIELD) return kind = Kind::logical, true;
    traceio::getkhv(name, s, nerr);
    if (nerr != traceio::ERR_NO_FIELD) return kind = Kind::text, true;
    return false;
}

void add_fields(const std::string& list, std::vector<Field>& fields) {
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        std::string name = list.substr(at, comma - at);
        at = comma + 1;
        if (name.empty()) continue;
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        Kind kind{};
        // The store matches a name on its first 8 characters; longer ones are
        // refused here so that a typo never names another field.
        if (name.size() > 8 || !kind_of(name, kind))
            throw console::Ending(1, "rfkit info: -f: '" + name + "' is not a header field");
        fields.push_back({name, kind});
    }
}

// The fewest digits (6 to 9) that read back to the same float.
std::string real_text(float v) {
    char buf[64];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(v));
        if (std::strtof(buf, nullptr) == v) break;
    }
    return buf;
}

std::string value_text(const Field& f) {
    int nerr = 0;
    switch (f.kind) {
    case Kind::real: {
        float v = 0;
        traceio::getfhv(f.name, v, nerr);
        return nerr != 0 ? "undef" : real_text(v);
    }
    case Kind::integer: {
        int v = 0;
        traceio::getnhv(f.name, v, nerr);
        return nerr != 0 ? "undef" : std::to_string(v);
    }
    case Kind::enumerated: {
        std::string v;
        traceio::getihv(f.name, v, nerr);
        return nerr != 0 ? "undef" : v;
    }
    case Kind::logical: {
        bool v = false;
        traceio::getlhv(f.name, v, nerr);
        return v ? "true" : "false";
    }
    case Kind::text: {
        std::string v;
        traceio::getkhv(f.name, v, nerr);
        if (nerr != 0) return "undef";
        if (v.empty() || v.find_first_of(" \t") != std::string::npos) return "\"" + v + "\"";
        return v;
    }
    }
    return "undef";
}

// Aligned columns: every column as wide as its widest entry.
void print(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> width;
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (width.size() <= c) width.push_back(0);
            width[c] = std::max(width[c], row[c].size());
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(width[c] - row[c].size() + 2, ' ');
        }
        console::out() << line << '\n';
    }
}

} // namespace

int info(std::span<const std::string> args) {
    traceio::newhdr(); // the store answers the field lookups
    std::vector<Field> fields;
    Arguments a(args, "rfkit info");
    for (std::string opt = a.option(); !opt.empty(); opt = a.option()) {
        if (opt == "-h" || opt == "-help" || opt == "--help") {
            console::out() << synopsis;
            return 0;
        }
        if (opt != "-f") a.unknown(opt);
        add_fields(a.text(opt), fields);
    }
    std::vector<std::string> files(a.files().begin(), a.files().end());
    if (fields.empty()) add_fields(default_fields, fields);
    int status = 0;
    if (files.empty()) {
        console::JobLines lines("rfkit info: one trace file name a line; end with Ctrl-D");
        for (std::string line; lines.next(line);) {
            const auto first = line.find_first_not_of(" \t");
            line.erase(line.find_last_not_of(" \t") + 1);
            files.push_back(line.substr(first));
        }
        if (!lines.clean()) status = 1;
    }

    std::vector<std::vector<std::string>> rows;
    rows.push_back({"# file"});
    for (const Field& f : fields) rows[0].push_back(f.name);
    for (const std::string& file : files) {
        int n = 0, nerr = 0;
        float b = 0, dt = 0;
        errno = 0;
        traceio::rsac1(file, {}, n, b, dt, 0, nerr);
        if (nerr != 0 || read_a_non_trace(nerr)) {
            const std::string why =
                read_a_non_trace(nerr) ? not_a_trace : read_failure(nerr, errno);
            console::err() << "rfkit info: '" << file << "': " << why << '\n';
            status = 1;
            continue;
        }
        std::vector<std::string> row{file};
        for (const Field& f : fields) row.push_back(value_text(f));
        rows.push_back(std::move(row));
    }
    print(rows);
    return status;
}

} // namespace rfkit
