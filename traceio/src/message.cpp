#include "traceio/message.hpp"

#include "traceio/textutil.hpp"
#include "traceio/zfile.hpp"

#include <algorithm>
#include <cstdio>
#include <string>

namespace traceio {

namespace {

constexpr int lineLength = 160;
constexpr int maxLines = 5;
constexpr int maxUnits = 5;
constexpr int tableSize = 100;

using Line = std::array<char, lineLength>;

// The message store's numbers and flags.
struct MessageNumbers {
    int number = 0;
    int type = 0;
    int lines = 0;
    int column = 0;
    bool autoout = false;
    int units = 0;
    std::array<int, maxUnits> unit{};
    std::array<std::array<bool, 6>, maxUnits> send{};
    int entries = 0;
    std::array<int, tableSize> numbers{};
};

// The message store's text.
struct MessageText {
    MessageText() {
        for (auto& line : lines) line.fill(' ');
    }
    std::array<std::array<char, 8>, 6> types{};
    std::array<Line, maxLines> lines;
    std::array<Line, tableSize> table{};
};

MessageNumbers cmmsg;
MessageText kmmsg;

// A line as written: up to its last non-blank, at least one character.
std::string_view written(const Line& line) {
    const auto n = std::max(indexb(std::string_view(line.data(), line.size())), 1);
    return std::string_view(line.data(), static_cast<std::size_t>(n));
}

// n right-aligned in width columns, asterisks when it does not fit.
std::string field(int n, int width) {
    std::string s = std::to_string(n);
    if (static_cast<int>(s.size()) > width)
        return std::string(static_cast<std::size_t>(width), '*');
    return std::string(static_cast<std::size_t>(width) - s.size(), ' ') + s;
}

// Index of a message-table entry, or the number of entries when none.
int entry(int number) {
    int k = 0;
    while (k < cmmsg.entries && cmmsg.numbers[static_cast<std::size_t>(k)] != number) ++k;
    return k;
}

} // namespace

void clrmsg() {
    cmmsg.number = 0;
    cmmsg.type = 0;
    for (int k = 0; k < std::max(cmmsg.lines, 1); ++k) kmmsg.lines[k].fill(' ');
    cmmsg.lines = 1;
    cmmsg.column = 0;
}

int typmsg(std::string_view type) {
    std::array<char, 8> word;
    word.fill(' ');
    modcase(true, type, std::min<int>(8, static_cast<int>(type.size())), word);
    cmmsg.type = 3;
    for (int k = 0; k < 6; ++k) {
        if (kmmsg.types[k][0] == word[0]) {
            cmmsg.type = k + 1;
            break;
        }
    }
    return cmmsg.type;
}

void setmsg(std::string_view type, int number) {
    clrmsg();
    typmsg(type);
    if (number >= 100) {
        Line text;
        getmsg(number, text);
        apcmsg(std::string_view(text.data(), text.size()));
    }
    cmmsg.number = number;
}

void getmsg(int number, std::span<char> text) {
    Line found;
    found.fill(' ');
    const int k = entry(number);
    if (k < cmmsg.entries) {
        found = kmmsg.table[static_cast<std::size_t>(k)];
    } else {
        const std::string s = "Number" + field(number, 5);
        std::copy(s.begin(), s.end(), found.begin());
    }
    std::fill(text.begin(), text.end(), ' ');
    std::copy_n(found.begin(), std::min(text.size(), found.size()), text.begin());
}

void apcmsg(std::string_view word) {
    const int w = indexb(word);
    const int limit = cmmsg.lines <= 1 ? 150 : lineLength;
    if (cmmsg.lines < 1) cmmsg.lines = 1;
    if (cmmsg.column + w >= limit) {
        if (cmmsg.lines < maxLines) {
            ++cmmsg.lines;
            cmmsg.column = 0;
        } else if (cmmsg.autoout) {
            const int type = cmmsg.type;
            outmsg();
            clrmsg();
            cmmsg.type = type;
        } else {
            kmmsg.lines[maxLines - 1].fill(' ');
            cmmsg.column = 0;
        }
    }
    Line& line = kmmsg.lines[cmmsg.lines - 1];
    for (int k = 0; k <= w; ++k) {
        const int pos = cmmsg.column + k;
        if (pos >= lineLength) break;
        line[pos] = k < w ? word[k] : ' ';
    }
    cmmsg.column += w + 1;
}

void apimsg(int n) {
    Line text;
    cnvita(n, text);
    ljust(text);
    apcmsg(std::string_view(text.data(), text.size()));
}

void cnvita(int n, std::span<char> text) {
    const std::string s = field(n, static_cast<int>(text.size()));
    std::copy(s.begin(), s.end(), text.begin());
}

void ljust(std::span<char> text) {
    const auto first = std::find_if(text.begin(), text.end(), [](char c) { return c != ' '; });
    if (first == text.end()) return;
    const auto end = std::copy(first, text.end(), text.begin());
    std::fill(end, text.end(), ' ');
}

void outmsg() {
    if (cmmsg.type < 1 || cmmsg.type > 6) return;
    std::string head;
    switch (cmmsg.type) {
    case 1:
        // Numbers up to 999 get a blank before a 3-column field.
        head = cmmsg.number <= 999 ? " \aERROR  " : " \aERROR ";
        head.append(field(cmmsg.number, cmmsg.number <= 999 ? 3 : 4)).append(": ");
        break;
    case 2:
        head = " WARNING: ";
        break;
    case 6:
        head = " ==> ";
        break;
    default:
        head = " ";
        break;
    }
    for (int u = 0; u < cmmsg.units; ++u) {
        if (!cmmsg.send[u][cmmsg.type - 1]) continue;
        std::FILE* out = zstream(cmmsg.unit[u]);
        if (out == nullptr) continue;
        std::string text = head;
        text.append(written(kmmsg.lines[0])).push_back('\n');
        for (int k = 1; k < cmmsg.lines; ++k)
            text.append(1, ' ').append(written(kmmsg.lines[k])).push_back('\n');
        std::fputs(text.c_str(), out);
        std::fflush(out);
    }
}

void msgtypes(const std::array<std::string_view, 6>& names) {
    for (int k = 0; k < 6; ++k) {
        kmmsg.types[k].fill(' ');
        modcase(true, names[k], std::min<int>(8, static_cast<int>(names[k].size())),
                kmmsg.types[k]);
    }
}

bool msgunit(int unit, std::span<const int> types) {
    if (cmmsg.units >= maxUnits) return false;
    auto& send = cmmsg.send[cmmsg.units];
    send.fill(false);
    for (int t : types)
        if (t >= 1 && t <= 6) send[t - 1] = true;
    cmmsg.unit[cmmsg.units++] = unit;
    return true;
}

bool msgtable(int number, std::string_view text) {
    const int k = entry(number);
    if (k == cmmsg.entries) {
        if (cmmsg.entries >= tableSize) return false;
        cmmsg.numbers[static_cast<std::size_t>(cmmsg.entries++)] = number;
    }
    Line& line = kmmsg.table[static_cast<std::size_t>(k)];
    line.fill(' ');
    std::copy_n(text.begin(), std::min(text.size(), line.size()), line.begin());
    return true;
}

void msgauto(bool on) {
    cmmsg.autoout = on;
}

void msgreset() {
    cmmsg = MessageNumbers{};
    kmmsg = MessageText{};
}

int msgnumber() {
    return cmmsg.number;
}
int msgtype() {
    return cmmsg.type;
}
int msglines() {
    return cmmsg.lines;
}

std::string_view msgline(int k) {
    if (k < 1 || k > maxLines) return {};
    const Line& line = kmmsg.lines[static_cast<std::size_t>(k - 1)];
    return std::string_view(
        line.data(), static_cast<std::size_t>(indexb(std::string_view(line.data(), line.size()))));
}

} // namespace traceio
