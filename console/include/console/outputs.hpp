// What the programs write and how they name it: output names they refuse,
// the listing of written outputs on standard output, and the -debug files.
//
// The -debug files of tolvane and marrick are intermediate traces that every
// job rewrites under fixed names (decon.wav, decon.trc, ...) in one
// directory: /tmp unless the environment variable RF_DEBUG_DIR names another,
// so that runs at the same time (and test suites) keep their files apart.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace console {

// Refuses a file name that a program will not write to: one that begins with
// '|' (the trace library's memory files) or holds a control character (NUL,
// CR, LF, ...), which would cut the name short or hide part of it.  `what`
// says whose name it is ("Output", "Model").  Skips the job (see `skip`) with
// " **<what> name refused." and the where-line, which shows the name with
// its control characters written out (`printable`).
[[noreturn]] void refuse_name(std::string_view what, std::string_view name);

// When `output` names the stream standard output goes to (/dev/stdout, or the
// pipe, FIFO or terminal under another name), the program's own text for
// standard output goes to standard error from now on, so that the trace
// written in place reaches the next stage of a pipeline whole.  Nothing
// changes for a regular file named as such (it is replaced, not written in
// place) or while a test has redirected the streams.
void keep_text_off_trace(std::string_view output);

// The text with control characters written as \0, \t, \n, \r or \xNN, for
// messages: a name shown as it is could hide part of itself.
std::string printable(std::string_view text);

// Flushes the listing of written outputs on standard output after a job.
// When it could not be written (a full disk, a downstream stage that went
// away) the run ends at once with status 1, reported by `run`: nobody would
// read the names of later outputs.
void flush_listing();

// The outputs written so far in one run of job lines, each with the input
// line that wrote it, so that a later line cannot replace them unnoticed
// (the same output name on two lines, one model at two slownesses).  A file
// is known by what the file system says it is (device and inode), so however
// its folder is named (a.rf, ./a.rf, dir/../a.rf), as long as it is still
// there under the name it was written under (another program may replace it,
// and its inode then serve a new file).  A symbolic link named as an output
// is a file of its own: writing replaces the link, not its target.  Outputs
// that are streams (a character device, a FIFO, /dev/stdout) are written, not
// replaced, and are not kept.
class RunOutputs {
  public:
    // Skips the job (see `skip`) when `file` was written by an earlier line:
    // " **<what> already written by line N, skipping." and the where-line
    // naming the file, with `reason`.
    void check(const std::string& file, std::string_view what, std::string_view reason) const;
    // Notes `file` as written by input line `line`.
    void add(const std::string& file, long line);

  private:
    struct Written {
        long line;
        std::string file; // the name it was written under
    };
    std::map<std::pair<std::uint64_t, std::uint64_t>, Written> lines_; // by (device, inode)
};

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
