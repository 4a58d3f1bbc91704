// Numbers and tokens from arguments and input lines, read the way a
// list-directed read takes them: items separated by blanks, commas or a slash.
#include "numerics/parse.hpp"

#include "console/console.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ostream>

namespace numerics {

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool ends_item(char c) {
    return is_space(c) || c == ',' || c == '/';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Converts one item (no separators inside) to a float.  Accepted: an optional
// sign, digits with an optional decimal point, and an optional exponent
// introduced by e, E, d, D, q or Q.  Words such as nan or inf are refused: a
// seismogram parameter that is not a finite number is an input error, and so
// is a value beyond the single-precision range.
bool convert(std::string_view item, float& value) {
    std::string s;
    std::size_t i = 0;
    if (i < item.size() && (item[i] == '+' || item[i] == '-')) s += item[i++];
    std::size_t digits = 0;
    while (i < item.size() && is_digit(item[i])) s += item[i++], ++digits;
    if (i < item.size() && item[i] == '.') {
        s += item[i++];
        while (i < item.size() && is_digit(item[i])) s += item[i++], ++digits;
    }
    if (digits == 0) return false;
    if (i < item.size()) {
        const char e = item[i];
        if (e != 'e' && e != 'E' && e != 'd' && e != 'D' && e != 'q' && e != 'Q') return false;
        s += 'e';
        ++i;
        if (i < item.size() && (item[i] == '+' || item[i] == '-')) s += item[i++];
        std::size_t exp_digits = 0;
        while (i < item.size() && is_digit(item[i])) s += item[i++], ++exp_digits;
        if (exp_digits == 0 || i != item.size()) return false;
    }
    errno = 0;
    char* end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return false;
    value = v; // an underflow reads as the nearest representable value
    return true;
}

// Skips blanks; returns the position of the next item start.
std::size_t skip_spaces(std::string_view t, std::size_t i) {
    while (i < t.size() && is_space(t[i])) ++i;
    return i;
}

std::size_t item_end(std::string_view t, std::size_t i) {
    while (i < t.size() && !ends_item(t[i])) ++i;
    return i;
}

} // namespace

int gnum(std::string_view text, float& value, std::string_view name) {
    const std::size_t start = skip_spaces(text, 0);
    if (start < text.size()) {
        // A slash ends the read and a leading comma is a null item: either
        // way nothing is assigned and the value keeps what it held.
        if (text[start] == '/' || text[start] == ',') return 0;
        const std::size_t end = item_end(text, start);
        float v = 0.0f;
        if (convert(text.substr(start, end - start), v)) {
            value = v;
            return 0;
        }
    }
    if (!name.empty())
        console::err() << console::Record().text("**Invalid ").text(name).text(".").str() << '\n';
    return 1;
}

void tokens(std::string_view line, int maxtok, int& ntok, std::span<std::string> toks, int ltok) {
    ntok = 0;
    // Never store past the array the caller gave.
    const std::size_t limit = maxtok < 0 ? 0 : std::min<std::size_t>(maxtok, toks.size());
    const std::size_t keep = ltok < 0 ? 0 : static_cast<std::size_t>(ltok);
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        std::size_t end = line.find(' ', i);
        if (end == std::string_view::npos) end = line.size();
        if (static_cast<std::size_t>(ntok) < limit)
            toks[ntok++] = std::string(line.substr(i, std::min(end - i, keep)));
        i = end;
    }
}

bool getnbs(std::string_view text, int n, std::string& out, int lout) {
    if (n < 1) return false;
    std::size_t i = 0, start = 0, end = 0;
    for (int k = 0; k < n; ++k) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) return false;
        start = i;
        end = text.find(' ', i);
        if (end == std::string_view::npos) end = text.size();
        i = end + 1;
    }
    if (lout > 0) out = std::string(text.substr(start, std::min<std::size_t>(end - start, lout)));
    return true;
}

int read_reals(std::string_view text, std::span<float> values) {
    std::size_t count = 0;
    std::size_t i = 0;
    bool after_comma = true; // a comma right at the start is an empty item
    while (count < values.size()) {
        i = skip_spaces(text, i);
        if (i >= text.size()) break;
        if (text[i] == '/') break; // a slash ends the list
        if (text[i] == ',') {
            // An empty item between two commas holds no number.
            if (after_comma) return -1;
            after_comma = true;
            ++i;
            continue;
        }
        const std::size_t end = item_end(text, i);
        if (!convert(text.substr(i, end - i), values[count])) return -1;
        ++count;
        after_comma = false;
        i = end;
    }
    return static_cast<int>(count);
}

} // namespace numerics
