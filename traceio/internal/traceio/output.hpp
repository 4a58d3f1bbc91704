// Where a written trace goes.
//
// A regular file, or a name not yet taken, is replaced atomically: the trace
// is written to a temporary file in the same directory, which is renamed over
// the name once complete, so a failure or an interruption never leaves a
// half-written file under the name.  The temporary file has no name while it
// is written (O_TMPFILE, where the file system offers it), so that it
// vanishes however the process ends, even by SIGKILL; it gets a hidden name
// (.NAME.xxxxxxxx.part) only for the moment before the rename, or for the
// whole write where unnamed files are not to be had.  The replacement keeps
// the permission bits of the file it replaces; a symbolic link at the name is
// replaced, not followed.
//
// A stream target is written in place, from its current position: an existing
// character device or named pipe (a terminal, /dev/null, a FIFO that another
// program reads), reached directly or through a link, and the process's own
// descriptors named /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N.
// Anything else that already holds the name (a directory, a block device, a
// socket) is refused.
//
// While a temporary file has a name, SIGINT, SIGTERM, SIGHUP and SIGXFSZ remove it
// before the process ends by the signal as it would have without it; signals
// that the process ignores or handles itself are left alone.
#pragma once

#include <string>

namespace traceio::detail {

// Whether replacements start as files without a name (where the file system
// offers them); tests turn it off to try the named temporary files.
extern bool unnamed_temporaries;

class Output {
  public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() { abandon(); }

    // Opens the target for writing.  0, or ERR_OPEN with errno telling why: the
    // system's reason, EISDIR for a directory, EINVAL for a block device or a
    // socket, ENXIO for a named pipe that no program opened for reading within
    // a few seconds.
    int open(const std::string& target);
    // The descriptor to write the trace to, sequentially.
    int fd() const { return fd_; }
    // Completes the output: closes it and moves a replacement into place.
    // 0, ERR_WRITE when the data did not reach the file, ERR_OPEN when the rename failed;
    // on failure nothing is left of the new file and errno tells why.
    int finish();
    // Gives the output up: closes it and removes the temporary file, if any.
    // errno is preserved.
    void abandon();

  private:
    std::string temp_; // the name of a replacement's temporary file while it has one
    std::string target_;
    int fd_ = -1;
    bool replace_ = false; // a file to be renamed over the target, not a stream
    bool unnamed_ = false; // the file has no name yet (O_TMPFILE)
};

} // namespace traceio::detail
