#include "console/outputs.hpp"

#include "console/console.hpp"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>

namespace console {
namespace {

bool debug_failed = false;

bool control(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
}

// The same file however it is named: its device and inode.  (Asked of the
// file system in one call; resolving the name's every directory would cost
// more system calls than a fast job makes.)
std::pair<std::uint64_t, std::uint64_t> identity(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace

void RunOutputs::check(const std::string& file, std::string_view what,
                       std::string_view reason) const {
    // Only a file that is there can have been written earlier in the run.
    struct stat st {};
    if (lines_.empty() || ::lstat(file.c_str(), &st) != 0) return;
    const auto earlier = lines_.find(identity(st));
    if (earlier == lines_.end()) return;
    // The file written then must still be where it was written: once another
    // program has replaced or removed it, its inode may be handed to any new
    // file, which is then no output of this run.
    struct stat then {};
    if (::lstat(earlier->second.file.c_str(), &then) != 0 || identity(then) != earlier->first)
        return;
    concerning(file);
    skip(Record()
             .text("**")
             .text(what)
             .text(" already written by line ")
             .text(std::to_string(earlier->second.line))
             .text(", skipping.")
             .str(),
         reason);
}

void RunOutputs::add(const std::string& file, long line) {
    // A replaced output is a regular file; a stream written in place is a
    // device or a pipe, or a link to one of the program's own descriptors
    // (/dev/stdout), whatever that descriptor is open on.
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    lines_.insert_or_assign(identity(st), Written{line, file});
}

void refuse_name(std::string_view what, std::string_view name) {
    concerning(printable(name));
    skip(Record().text("**").text(what).text(" name refused.").str(),
         !name.empty() && name.front() == '|' ? "it begins with '|'"
                                              : "it holds a control character");
}

void keep_text_off_trace(std::string_view output) {
    Streams& s = streams();
    if (s.out != &std::cout || s.out == s.err) return;
    struct stat target {};
    struct stat standard {};
    if (stat(std::string(output).c_str(), &target) != 0 || fstat(STDOUT_FILENO, &standard) != 0)
        return;
    // A regular file is replaced, not written in place, unless it is reached
    // through a descriptor's own name.
    const bool own_name = output == "/dev/stdout" || output.starts_with("/dev/fd/") ||
                          output.starts_with("/proc/self/fd/");
    if ((S_ISREG(target.st_mode) && !own_name) || target.st_dev != standard.st_dev ||
        target.st_ino != standard.st_ino)
        return;
    s.out->flush(); // names listed so far come before the trace
    s.out = s.err;
}

std::string printable(std::string_view text) {
    std::string shown;
    for (char c : text) {
        if (!control(c)) {
            shown += c;
            continue;
        }
        switch (c) {
        case '\0':
            shown += "\\0";
            break;
        case '\t':
            shown += "\\t";
            break;
        case '\n':
            shown += "\\n";
            break;
        case '\r':
            shown += "\\r";
            break;
        default: {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            shown += hex;
        }
        }
    }
    return shown;
}

void flush_listing() {
    out().flush();
    if (!out()) throw Ending(1, "");
}

std::string debug_path(std::string_view file) {
    const char* dir = std::getenv(debug_dir_variable);
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (path.back() != '/') path += '/';
    return path.append(file);
}

void debug_file_failed(std::string_view path, int error) {
    debug_failed = true;
    concerning(path);
    err() << Record().text("**Trouble writing debug file ").text(path).str() << '\n'
          << where(system_reason(error)) << '\n';
}

bool debug_files_failed() {
    return debug_failed;
}

void clear_debug_failures() {
    debug_failed = false;
}

} // namespace console
