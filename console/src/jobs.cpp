// Job lines from standard input, and the where-line that locates a message
// in them.
#include "console/console.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace console {
namespace {

// The job list being read, if any, and the file its job is working on.
const JobLines* active = nullptr;
std::string concerned;

enum class Got { line, end, too_long, error };

// A read error, as opposed to the end of input: the standard input's stdio
// stream keeps its own error flag, which the C++ stream does not show.
bool read_failed(const std::istream& in) {
    return in.bad() || (&in == &std::cin && std::ferror(stdin));
}

// Reads one line without its end, keeping at most `max` characters of it;
// the rest of a longer line is read and dropped.
Got read_line(std::istream& in, std::string& line, std::size_t max) {
    line.clear();
    bool any = false, over = false;
    char c = 0;
    while (in.get(c)) {
        any = true;
        if (c == '\n') return over ? Got::too_long : Got::line;
        if (line.size() < max)
            line.push_back(c);
        else
            over = true;
    }
    if (read_failed(in)) return Got::error;
    if (!any) return Got::end;
    return over ? Got::too_long : Got::line; // a last line without its end
}

bool passed_over(const std::string& line) {
    const auto first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == '#';
}

} // namespace

void concerning(std::string_view file) {
    concerned = file;
}

std::string system_reason(int error) {
    return error == 0 ? std::string() : std::string(std::strerror(error));
}

std::string file_reason(std::string_view file, int error) {
    if (error != 0) return system_reason(error);
    struct stat st {};
    if (file.empty() || ::stat(std::string(file).c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return S_ISDIR(st.st_mode) ? system_reason(EISDIR) : "not a regular file";
}

std::string where(std::string_view reason) {
    std::string w;
    if (active != nullptr && active->number() > 0) w = "line " + std::to_string(active->number());
    if (!concerned.empty()) w.append(w.empty() ? "" : ", ").append("file '" + concerned + "'");
    if (!reason.empty()) w.append(w.empty() ? "" : ": ").append(reason);
    return w.empty() ? w : "  " + w;
}

bool reading_job_list() {
    return active != nullptr;
}

JobLines::JobLines(std::string_view expects) {
    active = this;
    concerned.clear();
    if (streams().in == &std::cin && ::isatty(STDIN_FILENO) == 1) {
        err() << expects << '\n';
        err().flush();
    }
}

JobLines::~JobLines() {
    active = nullptr;
    concerned.clear();
}

bool JobLines::next(std::string& line) {
    for (;;) {
        concerned.clear();
        errno = 0;
        const Got got = read_line(in(), line, max_line);
        const int error = errno;
        if (got == Got::end) return false;
        ++number_;
        if (got == Got::error)
            throw Ending(2, Record().text("**Trouble reading standard input.").str() + "\n" +
                                where(system_reason(error)));
        if (got == Got::too_long) {
            err() << Record().text("**Input line too long, skipping.").str() << '\n'
                  << where("more than " + std::to_string(max_line) + " characters") << '\n';
            ++skipped_;
            continue;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back(); // a line from a DOS file
        if (!passed_over(line)) return true;
    }
}

bool JobLines::run(const std::function<void()>& job) {
    try {
        job();
        return true;
    } catch (const Skip& skipped) {
        err() << skipped.line() << '\n';
        ++skipped_;
        return false;
    }
}

} // namespace console
