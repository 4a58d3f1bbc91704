#include "output.hpp"

#include "traceio/errors.hpp"

#include "traceio/errors.hpp"

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

constexpr std::array interrupting{SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

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

// Blocks the interrupting signals while alive, so that a temporary file is
// never created without being known to the handler.
class Blocked {
  public:
    Blocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int s : interrupting) sigaddset(&set, s);
        ::sigprocmask(SIG_BLOCK, &set, &saved_);
    }
    ~Blocked() { ::sigprocmask(SIG_SETMASK, &saved_, nullptr); }
    Blocked(const Blocked&) = delete;
    Blocked& operator=(const Blocked&) = delete;

  private:
    sigset_t saved_;
};

// Takes over the interrupting signals that still have their default action;
// an ignored signal (a write past the size limit then fails with an error
// instead) or one the program handles itself is left as it is.
void watch_interrupts() {
    for (int s : interrupting) {
        struct sigaction now {};
        if (::sigaction(s, nullptr, &now) != 0 || now.sa_handler != SIG_DFL ||
            (now.sa_flags & SA_SIGINFO) != 0)
            continue;
        struct sigaction ours {};
        ours.sa_handler = remove_and_end;
        sigemptyset(&ours.sa_mask);
        for (int other : interrupting) sigaddset(&ours.sa_mask, other);
        ::sigaction(s, &ours, nullptr);
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

// Creates a new file beside target, exclusively and without following a
// symbolic link, under a name no other writer uses; -1 on failure.  The
// file is known to the signal handler from the moment it exists.
int create_beside(const std::string& target, std::string& temp) {
    static std::atomic<unsigned> serial{0};
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string base = target.substr(dir.size()).substr(0, 40);
    const auto seed =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    const Blocked blocked;
    watch_interrupts();
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned long tag = seed ^ (static_cast<unsigned long>(::getpid()) << 20) ^
                            (serial.fetch_add(1) * 2654435761ul);
        std::string suffix;
        for (int c = 0; c < 8; ++c, tag /= 36)
            suffix += "0123456789abcdefghijklmnopqrstuvwxyz"[tag % 36];
        temp = dir + "." + base + "." + suffix + ".part";
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

} // namespace

int Output::open(const std::string& target) {
    abandon();
    target_ = target;
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
    fd_ = create_beside(target, temp_);
    if (fd_ < 0) {
        temp_.clear();
        return ERR_OPEN;
    }
    // The replacement is readable by whoever could read the file it replaces.
    if (exists) ::fchmod(fd_, st.st_mode & 0777);
    return 0;
}

int Output::finish() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        abandon();
        return ERR_WRITE;
    }
    if (temp_.empty()) return 0;
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        abandon();
        return ERR_OPEN;
    }
    temp_.clear();
    disarm();
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
    errno = why;
}

} // namespace traceio::detail
