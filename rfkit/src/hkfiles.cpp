#include "rfkit/hkfiles.hpp"

#include "traceio/signals.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rfkit {

namespace {

template <typename... Values> void append(std::string& out, const char* format, Values... v) {
    std::array<char, 256> line{};
    const int n = std::snprintf(line.data(), line.size(), format, v...);
    if (n > 0) out.append(line.data(), std::min<std::size_t>(static_cast<std::size_t>(n), 255));
}

constexpr std::array<const char*, 3> phase_names{"Ps", "PpPs", "PpSs+PsPs"};

} // namespace

std::string grid_text(std::span<const double> grid, const HkSettings& s, const HkSummary& run) {
    std::string out;
    out.reserve(grid.size() * 32 + 512);
    append(out, "# rfkit hk: H-kappa stack of %d receiver functions, p %.4f to %.4f s/km\n",
           run.used, run.p_min, run.p_max);
    append(out, "# Vp %g km/s, weights %g %g %g (Ps, PpPs, PpSs+PsPs)\n", s.vp, s.weights[0],
           s.weights[1], s.weights[2]);
    append(out, "# H %g to %g by %g km, kappa %g to %g by %g\n", s.h.first, s.h.at(s.h.count() - 1),
           s.h.step, s.kappa.first, s.kappa.at(s.kappa.count() - 1), s.kappa.step);
    append(out, "# maximum %.6g at H %.4f kappa %.5f; columns: H (km), kappa, stack / maximum\n",
           run.best.value, run.best.h, run.best.kappa);
    const long nh = s.h.count();
    // Divided by the size of the maximum, so that signs stay as they are.
    const double scale = run.best.value != 0 ? 1 / std::abs(run.best.value) : 1;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const long k = static_cast<long>(i) / nh, j = static_cast<long>(i) % nh;
        if (std::isnan(grid[i]))
            append(out, "%.6g %.6g NaN\n", s.h.at(j), s.kappa.at(k));
        else
            append(out, "%.6g %.6g %.6f\n", s.h.at(j), s.kappa.at(k), grid[i] * scale);
    }
    return out;
}

std::string curves_text(const HkSettings& s, const HkSummary& run) {
    std::string out;
    append(out, "# rfkit hk: phase curves through H %.4f kappa %.5f at p %.4f s/km\n", run.best.h,
           run.best.kappa, run.p_mean);
    for (int phase = 0; phase < 3; ++phase) {
        append(out, "> %s\n", phase_names[static_cast<std::size_t>(phase)]);
        for (const auto& [h, kappa] : phase_curve(phase, run.best.h, run.best.kappa, run.p_mean, s))
            append(out, "%.4f %.6g\n", h, kappa);
    }
    return out;
}

namespace {

// The descriptor a name stands for when it names one of the process's own
// (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N).
int own_descriptor(const std::string& name) {
    if (name == "/dev/stdout") return 1;
    if (name == "/dev/stderr") return 2;
    for (const std::string dir : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!name.starts_with(dir)) continue;
        const std::string digits = name.substr(dir.size());
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::atoi(digits.c_str());
    }
    return -1;
}

// Opens a device or a named pipe for writing in place; a pipe nobody opens
// for reading within 5 s is given up (ENXIO) instead of waiting for ever.
int open_stream(const std::string& name) {
    for (int waited = 0;; waited += 10) {
        const int fd = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
            return fd;
        }
        if (errno != ENXIO || waited >= 5000) return -1;
        const timespec pause{0, 10000000L};
        ::nanosleep(&pause, nullptr);
    }
}

// Writes all of text to fd; 0 or errno.
int write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) return errno;
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Writes text in place to a stream target (a device, a named pipe, one of
// the process's own descriptors); 0 or errno.
int write_in_place(int fd, const std::string& text) {
    if (fd < 0) return errno;
    int error = write_all(fd, text);
    if (::close(fd) != 0 && error == 0) error = errno;
    return error;
}

} // namespace

std::string replace_text_file(const std::string& name, const std::string& text) {
    if (const int own = own_descriptor(name); own >= 0) {
        std::fflush(own == 2 ? stderr : stdout);
        const int error = write_in_place(::fcntl(own, F_DUPFD_CLOEXEC, 3), text);
        return error == 0 ? std::string() : std::strerror(error);
    }
    struct stat st {};
    const bool exists = ::stat(name.c_str(), &st) == 0;
    if (exists && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
        const int error = write_in_place(open_stream(name), text);
        return error == 0 ? std::string() : std::strerror(error);
    }
    if (exists && !S_ISREG(st.st_mode)) return std::strerror(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    static std::atomic<unsigned> serial{0};
    const auto slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string base = name.substr(dir.size());
    if (base.empty()) return "not a file name";
    const traceio::HeldSignals held; // no temporary file outlives an interruption
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "." + base.substr(0, 40) + "." + std::to_string(::getpid()) + "." +
               std::to_string(serial.fetch_add(1)) + ".part";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return std::strerror(errno);
    }
    if (fd < 0) return "no temporary name free beside it";
    // The replacement is readable by whoever could read the file it replaces.
    if (exists) ::fchmod(fd, st.st_mode & 07777);
    int error = write_all(fd, text);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), name.c_str()) != 0) error = errno;
    if (error == 0) return {};
    ::unlink(temp.c_str());
    return std::strerror(error);
}

} // namespace rfkit
