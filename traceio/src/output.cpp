#include "traceio/output.hpp"

#include "traceio/errors.hpp"
#include "traceio/signals.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace traceio::detail {

namespace {

// ---- Removing the temporary file when a signal ends the process ----------

constexpr auto interrupting = interrupting_signals;

// The temporary file being written, for the signal handler; armed only while
// the file may exist.  The longest temporary name is well under this size
// (names are under 1024 characters and the suffix is short).
volatile std::sig_atomic_t armed = 0;
char armed_path[4096];

extern "C" void remove_and_end(int sig) {
    if (armed != 0) ::unlink(armed_path);
    // Ends the process by the same signal, as the default action would.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

// Takes over the interrupting signals that still have their default action;
// an ignored signal (a write past the size limit then fails with an error
// instead) or one the program handles itself is left as it is.
void watch_interrupts() {
    // Signals taken over once stay ours (the programs install no handlers
    // of their own), so later writes need not ask again.
    static std::array<bool, interrupting.size()> ours_already{};
    for (std::size_t k = 0; k < interrupting.size(); ++k) {
        const int s = interrupting[k];
        if (ours_already[k]) continue;
        struct sigaction now {};
        if (::sigaction(s, nullptr, &now) != 0 || now.sa_handler != SIG_DFL ||
            (now.sa_flags & SA_SIGINFO) != 0)
            continue;
        struct sigaction ours {};
        ours.sa_handler = remove_and_end;
        sigemptyset(&ours.sa_mask);
        for (int other : interrupting) sigaddset(&ours.sa_mask, other);
        ours_already[k] = ::sigaction(s, &ours, nullptr) == 0;
    }
}

void arm(const std::string& path) {
    const std::size_t n = std::min(path.size(), sizeof armed_path - 1);
    std::memcpy(armed_path, path.data(), n);
    armed_path[n] = '\0';
    std::atomic_signal_fence(std::memory_order_seq_cst);
    armed = 1;
}

void disarm() {
    armed = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

// ---- Stream targets ------------------------------------------------------

// The descriptor a name stands for when it names one of the process's own
// open descriptors, e.g. /dev/stdout.
std::optional<int> own_descriptor(std::string_view name) {
    if (name == "/dev/stdout") return 1;
    if (name == "/dev/stderr") return 2;
    for (std::string_view dir : {"/dev/fd/", "/proc/self/fd/"}) {
        if (name.substr(0, dir.size()) != dir) continue;
        const std::string_view digits = name.substr(dir.size());
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        return std::atoi(std::string(digits).c_str());
    }
    return std::nullopt;
}

// How long a named pipe may go without a reader before the write is given
// up: long enough for a reader started alongside, short enough that a pipe
// nobody reads never stalls a batch.
constexpr int reader_wait_ms = 5000;
constexpr int reader_poll_ms = 10;

// Opens an existing character device or named pipe for writing in place.
int open_stream(const std::string& path) {
    for (int waited = 0;; waited += reader_poll_ms) {
        // Not blocking: opening a pipe without a reader fails at once
        // (ENXIO) instead of waiting for ever.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            const int fl = ::fcntl(fd, F_GETFL);
            if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
            return fd;
        }
        if (errno != ENXIO || waited >= reader_wait_ms) return -1;
        const timespec pause{0, reader_poll_ms * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

// ---- Replacements --------------------------------------------------------

// The directory part of a path, with its slash ("" for the working one).
std::string directory_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// A name beside target that no other writer uses: a hidden name with a
// random tag.
std::string temporary_name(const std::string& target) {
    static std::atomic<unsigned> serial{0};
    const std::string dir = directory_of(target);
    const std::string base = target.substr(dir.size()).substr(0, 40);
    const auto seed =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    // Asked once: the name only needs to differ from other writers' names
    // most of the time, since the exclusive creation settles any clash.
    static const pid_t pid = ::getpid();
    unsigned long tag =
        seed ^ (static_cast<unsigned long>(pid) << 20) ^ (serial.fetch_add(1) * 2654435761ul);
    std::string suffix;
    for (int c = 0; c < 8; ++c, tag /= 36)
        suffix += "0123456789abcdefghijklmnopqrstuvwxyz"[tag % 36];
    return dir + "." + base + "." + suffix + ".part";
}

// Creates a new named file beside target, exclusively and without following
// a symbolic link; -1 on failure.  The file is known to the signal handler
// from the moment it exists.
int create_named(const std::string& target, std::string& temp) {
    const HeldSignals blocked; // no temporary unknown to the handler
    watch_interrupts();
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = temporary_name(target);
        arm(temp);
        const int fd =
            ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        const int why = errno;
        disarm();
        errno = why;
        if (why != EEXIST) return -1;
    }
    return -1;
}

// Gives the unnamed file open on fd a temporary name beside target, through
// the descriptor's entry in /proc (or, for a privileged process, the
// descriptor itself); false on failure.
bool name_unnamed(int fd, const std::string& target, std::string& temp) {
    const HeldSignals blocked; // no temporary unknown to the handler
    watch_interrupts();
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = temporary_name(target);
        arm(temp);
        if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno != EEXIST && ::linkat(fd, "", AT_FDCWD, temp.c_str(), AT_EMPTY_PATH) == 0))
            return true;
        const int why = errno;
        disarm();
        errno = why;
        if (why != EEXIST) break;
    }
    temp.clear();
    return false;
}

} // namespace

bool unnamed_temporaries = true;

int Output::open(const std::string& target) {
    abandon();
    target_ = target;
    replace_ = unnamed_ = false;
    if (const auto own = own_descriptor(target)) {
        // What the program printed before comes before the trace.
        if (*own == 1) std::fflush(stdout);
        if (*own == 2) std::fflush(stderr);
        fd_ = ::fcntl(*own, F_DUPFD_CLOEXEC, 3);
        return fd_ >= 0 ? 0 : ERR_OPEN;
    }
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return ERR_OPEN;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return ERR_OPEN;
    }
    if (exists && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        fd_ = open_stream(target);
        return fd_ >= 0 ? 0 : ERR_OPEN;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return ERR_OPEN;
    }
    replace_ = true;
    // Preferably a file without a name, which vanishes with the process
    // whatever ends it (even SIGKILL); where the file system has none, a
    // hidden name beside the target.
    if (unnamed_temporaries) {
        const std::string dir = directory_of(target);
        fd_ = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        unnamed_ = fd_ >= 0;
    }
    if (fd_ < 0) fd_ = create_named(target, temp_);
    if (fd_ < 0) {
        temp_.clear();
        replace_ = false;
        return ERR_OPEN;
    }
    // The replacement is readable by whoever could read the file it replaces.
    if (exists) ::fchmod(fd_, st.st_mode & 0777);
    return 0;
}

int Output::finish() {
    if (replace_ && unnamed_ && !name_unnamed(fd_, target_, temp_)) {
        abandon();
        return ERR_OPEN;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        abandon();
        return ERR_WRITE;
    }
    if (!replace_) return 0;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        abandon();
        return ERR_OPEN;
    }
    temp_.clear();
    disarm();
    replace_ = false;
    return 0;
}

void Output::abandon() {
    const int why = errno;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
        disarm();
    }
    replace_ = false;
    errno = why;
}

} // namespace traceio::detail
