// What the programs write and how they name it: output names they refuse,
// the listing of written outputs on standard output, and the -debug files.
//
// The -debug files of tolvane and marrick are intermediate traces that every
// job rewrites under fixed names (decon.wav, decon.trc, ...) in one
// directory: /tmp unless the environment variable RF_DEBUG_DIR names another,
// so that runs at the same time (and test suites) keep their files apart.
#pragma once

#include <string>
#include <string_view>

namespace console {

// Refuses a file name that a program will not write to: one that begins with
// '|' (the trace library's memory files) or holds a control character (NUL,
// CR, LF, ...), which would cut the name short or hide part of it.  `what`
// says whose name it is ("Output", "Model").  Skips the job (see `skip`) with
// " **<what> name refused." and the where-line, which shows the name with
// its control characters written out (`printable`).
[[noreturn]] void refuse_name(std::string_view what, std::string_view name);

// The text with control characters written as \0, \t, \n, \r or \xNN, for
// messages: a name shown as it is could hide part of itself.
std::string printable(std::string_view text);

// Flushes the listing of written outputs on standard output after a job.
// When it could not be written (a full disk, a downstream stage that went
// away) the run ends at once with status 1, reported by `run`: nobody would
// read the names of later outputs.
void flush_listing();

// The environment variable that names the directory of the debug files.
inline constexpr const char* debug_dir_variable = "RF_DEBUG_DIR";

// The path of a debug file: the directory named by RF_DEBUG_DIR (/tmp when it
// is unset or empty), a slash unless the directory ends in one, and the name.
std::string debug_path(std::string_view file);

// Reports a debug file that could not be written: the warning
// " **Trouble writing debug file PATH" and the where-line naming the file and
// the system's reason for `error` (an errno value); the file stays the one
// `concerning` names.  The run goes on and ends with status 1 (`run`).
void debug_file_failed(std::string_view path, int error);

// True once a debug file could not be written in this run; `run` clears it
// when a run begins (tests drive many runs in one process).
bool debug_files_failed();
void clear_debug_failures();

} // namespace console
