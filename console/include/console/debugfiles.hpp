// The -debug files of tolvane and marrick: intermediate traces that every
// job rewrites under fixed names (decon.wav, decon.trc, ...) in one
// directory.  The directory is /tmp unless the environment variable
// RF_DEBUG_DIR names another, so that runs at the same time (and test suites)
// can keep their debug files apart.
#pragma once

#include <string>
#include <string_view>

namespace console {

// The environment variable that names the directory of the debug files.
inline constexpr const char* debug_dir_variable = "RF_DEBUG_DIR";

// The path of a debug file: the directory named by RF_DEBUG_DIR (/tmp when it
// is unset or empty), a slash unless the directory ends in one, and the name.
std::string debug_path(std::string_view file);

// Reports a debug file that could not be written: the warning
// " **Trouble writing debug file PATH" and the where-line naming the file
// and the system's reason for `error` (an errno value); the file stays the
// one `concerning` names.  The run goes on and ends with status 1 (`run`).
void debug_file_failed(std::string_view path, int error);

// True once a debug file could not be written in this run.
bool debug_files_failed();

} // namespace console
