#include "console/outputs.hpp"

#include "console/console.hpp"

#include <cstdio>
#include <cstdlib>
#include <ostream>

namespace console {
namespace {

bool debug_failed = false;

bool control(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
}

} // namespace

void refuse_name(std::string_view what, std::string_view name) {
    concerning(printable(name));
    skip(Record().text("**").text(what).text(" name refused.").str(),
         !name.empty() && name.front() == '|' ? "it begins with '|'"
                                              : "it holds a control character");
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
