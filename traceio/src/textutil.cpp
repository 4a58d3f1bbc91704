#include "traceio/textutil.hpp"

#include <algorithm>

namespace traceio {

void modcase(bool upper, std::string_view input, int count, std::span<char> output) {
    const auto n =
        std::min<std::size_t>(count < 0 ? 0 : static_cast<std::size_t>(count), input.size());
    bool quoted = false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = input[i];
        if (c == '\'' || c == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        if (i < output.size()) output[i] = c;
    }
}

std::string_view trimmed(std::string_view text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

int indexa(std::string_view text, char c, bool forward, bool occurrence) {
    const int n = static_cast<int>(text.size());
    for (int k = 0; k < n; ++k) {
        const int i = forward ? k : n - 1 - k;
        if ((text[i] == c) == occurrence) return i + 1;
    }
    return 0;
}

int indexb(std::string_view text) {
    const int b = indexa(text, ' ', false, false);
    const int c = indexa(text, '\0', true, true);
    return c > 0 ? std::min(b, c - 1) : b;
}

namespace {
// Equal as blank-padded text: the longer one may only add blanks.
bool padded_equal(std::string_view a, std::string_view b) {
    const auto n = std::min(a.size(), b.size());
    if (a.substr(0, n) != b.substr(0, n)) return false;
    const auto rest = a.size() > n ? a.substr(n) : b.substr(n);
    return rest.find_first_not_of(' ') == std::string_view::npos;
}
} // namespace

int nequal(std::string_view key, std::span<const std::string_view> list, int count) {
    const int n = std::min<int>(count, static_cast<int>(list.size()));
    for (int i = 0; i < n; ++i)
        if (padded_equal(key, list[i])) return i + 1;
    return 0;
}

} // namespace traceio
