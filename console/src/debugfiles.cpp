#include "console/debugfiles.hpp"

#include "console/console.hpp"

#include <cstdlib>
#include <ostream>

namespace console {
namespace {

bool failed = false;

} // namespace

std::string debug_path(std::string_view file) {
    const char* dir = std::getenv(debug_dir_variable);
    std::string path = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (path.back() != '/') path += '/';
    return path.append(file);
}

void debug_file_failed(std::string_view path, int error) {
    failed = true;
    concerning(path);
    err() << Record().text("**Trouble writing debug file ").text(path).str() << '\n'
          << where(system_reason(error)) << '\n';
}

bool debug_files_failed() {
    return failed;
}

} // namespace console
