// How the programs stop, pause and talk: every early end is a thrown Ending
// that `run` turns into a line on standard error and an exit status.
#include "console/console.hpp"
#include "console/outputs.hpp"

#include "traceio/textutil.hpp"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

namespace console {

namespace {

// A message and, on a line of its own, where it happened.
std::string located(std::string_view line, std::string_view reason = {}) {
    std::string text(line);
    const std::string w = where(reason);
    if (!w.empty()) text.append(text.empty() ? "" : "\n").append(w);
    return text;
}

} // namespace

void stop(std::string_view message, std::string_view reason) {
    throw Ending(1, located("STOP " + std::string(message), reason));
}

void quit(int status) {
    throw Ending(status, status == 0 ? std::string() : located(""));
}

void fail(std::string_view line, std::string_view reason) {
    throw Ending(1, located(line, reason));
}

void file_failure(std::string_view line) {
    throw Ending(2, located(line));
}

void skip(std::string_view line, std::string_view reason) {
    throw Skip(1, located(line, reason));
}

void pause(std::string_view message) {
    const std::string line = message.empty() ? "PAUSE" : "PAUSE " + std::string(message);
    // The answer would be taken from the next job line.
    if (reading_job_list()) skip(line, "job skipped, a pause takes no answer from the job list");
    std::ostream& e = err();
    e << line << '\n';
    e << "To resume execution, type go.  Other input will terminate the job.\n";
    e.flush();
    out().flush();
    // The answer line is read whole but only its start is kept: "go" is all
    // that counts, and an endless line must not fill the memory.
    std::string answer;
    bool got = false;
    for (char c = 0; in().get(c) && c != '\n';) {
        got = true;
        if (answer.size() < 8) answer.push_back(c);
    }
    got = got || in().good();
    if (!answer.empty() && answer.back() == '\r') answer.pop_back(); // a line from a CRLF file
    if (got && answer == "go") {
        e << "RESUMED\n";
        return;
    }
    // Declining (or no answer at all) ends the run as an error end.
    throw Ending(1, "");
}

Streams& streams() {
    static Streams s{&std::cin, &std::cout, &std::cerr};
    return s;
}
std::istream& in() {
    return *streams().in;
}
std::ostream& out() {
    return *streams().out;
}
std::ostream& err() {
    return *streams().err;
}

int run(const std::function<int()>& body) {
    // A reader that goes away (a closed downstream pipe, a FIFO output whose
    // reader ended) makes the write fail, to be reported below or by the
    // trace writer, instead of ending the program silently by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // Nothing of an earlier run in the same process (tests drive many).
    clear_debug_failures();
    concerning({});
    int status = 1;
    try {
        status = body();
    } catch (const Ending& end) {
        out().flush();
        if (!end.line().empty()) err() << end.line() << '\n';
        status = end.status();
    } catch (const std::bad_alloc& e) {
        out().flush();
        err() << e.what() << '\n' << "Memory allocation failed\n";
        status = 1;
    } catch (const std::exception& e) {
        out().flush();
        err() << "**Internal error: " << e.what() << '\n';
        status = 1;
    }
    out().flush();
    // A run whose job list could not be read, or whose output names never
    // reached the next stage of the pipeline, did not do what was asked: a
    // read error must not pass for the end of the list.
    if (status == 0 && streams().in == &std::cin && std::ferror(stdin)) {
        err() << Record().text("**Trouble reading standard input.").str() << '\n';
        status = 2;
    }
    if (!out()) {
        err() << Record().text("**Trouble writing standard output.").str() << '\n';
        if (status == 0) status = 1;
    }
    // Debug files not written were reported as the run went on.
    if (status == 0 && debug_files_failed()) status = 1;
    err().flush();
    return status;
}

bool looks_like_option(std::string_view arg) {
    if (arg.empty() || arg.front() != '-') return false;
    // A negative number is a value or a name, never an option.
    const std::string text(traceio::trimmed(arg));
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() || *end != '\0';
}

void unrecognized(std::string_view arg) {
    throw Ending(1, Record().text("**Unrecognized parameter: ").text(traceio::trimmed(arg)).str());
}

bool help_asked(std::span<const std::string> args) {
    for (const std::string& a : args)
        if (a == "-h" || a == "-help" || a == "--help") return true;
    return false;
}

std::string one_number_problem(std::string_view text) {
    const std::string_view item =
        traceio::trimmed(text.substr(std::min(text.find_first_not_of(' '), text.size())));
    // One item, perhaps closed by a separator ("0.06,", "/"): nothing but
    // separators after it.  A leading comma is a null item, the value unread.
    const std::size_t first = item.find_first_not_of(" ,/");
    if (first == std::string_view::npos) return {};
    const std::size_t end = item.find_first_of(" ,/", first);
    const bool null_item = item[0] == ',';
    if (!null_item && (end == std::string_view::npos ||
                       item.find_first_not_of(" ,/", end) == std::string_view::npos))
        return {};
    std::string why = "'";
    why.append(item).append("' is more than one number");
    if (item.find(',') != std::string_view::npos) why += " (the decimal mark is a point)";
    return why;
}

std::span<const std::string> arguments(int argc, char** argv) {
    static std::vector<std::string> args;
    args.clear();
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
    return args;
}

Record& Record::text(std::string_view s) {
    if (!first_ && !after_text_) line_ += ' ';
    line_ += s;
    first_ = false;
    after_text_ = true;
    return *this;
}

Record& Record::integer(long value) {
    if (!first_) line_ += ' ';
    line_ += int_field(value, 11);
    first_ = false;
    after_text_ = false;
    return *this;
}

Record& Record::real(float value) {
    if (!first_) line_ += ' ';
    line_ += g15_8(value);
    first_ = false;
    after_text_ = false;
    return *this;
}

namespace {

std::string stars(int width) {
    return std::string(width > 0 ? width : 0, '*');
}

std::string right_aligned(const std::string& s, int width) {
    if (width <= 0) return {};
    if (static_cast<int>(s.size()) > width) return stars(width);
    return std::string(width - s.size(), ' ') + s;
}

} // namespace

std::string int_field(long value, int width) {
    return right_aligned(std::to_string(value), width);
}

std::string fixed_field(double value, int width, int decimals) {
    if (width <= 0) return {};
    if (!std::isfinite(value) || decimals < 0 || decimals > 60) return stars(width);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s = buf;
    if (decimals == 0) s += '.'; // the point is always written
    // The leading zero of a fraction is optional and goes when room is short.
    if (static_cast<int>(s.size()) > width) {
        if (s.rfind("0.", 0) == 0)
            s.erase(0, 1);
        else if (s.rfind("-0.", 0) == 0)
            s.erase(1, 1);
    }
    return right_aligned(s, width);
}

std::string g15_8(float value) {
    const double v = value;
    if (std::isnan(v)) return right_aligned("NaN", 15);
    if (std::isinf(v)) return right_aligned(v > 0 ? "Infinity" : "-Infinity", 15);
    if (v == 0.0) return fixed_field(v, 11, 7) + "    "; // a negative zero keeps its sign
    // Eight significant digits decide the magnitude: [-]d.ddddddde[+-]xx.
    char sci[40];
    std::snprintf(sci, sizeof sci, "%.7e", v);
    const char* mant = sci[0] == '-' ? sci + 1 : sci;
    const int e10 = std::atoi(std::strchr(sci, 'e') + 1);
    const int k = e10 + 1; // 10^(k-1) <= |v| < 10^k after rounding
    if (k >= 0 && k <= 8) return fixed_field(v, 11, 8 - k) + "    ";
    // Exponent form 0.dddddddd E+ee.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s0.%c%.7sE%c%02d", sci[0] == '-' ? "-" : "", mant[0], mant + 2,
                  k < 0 ? '-' : '+', k < 0 ? -k : k);
    return right_aligned(buf, 15);
}

std::string_view upto_blank(std::string_view s) {
    const std::size_t p = s.find(' ');
    return p == std::string_view::npos ? s : s.substr(0, p);
}

} // namespace console
