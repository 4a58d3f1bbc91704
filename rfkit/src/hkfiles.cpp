#include "rfkit/hkfiles.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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

std::string replace_text_file(const std::string& name, const std::string& text) {
    static std::atomic<unsigned> serial{0};
    const auto slash = name.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string base = name.substr(dir.size());
    if (base.empty()) return "not a file name";
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "." + base.substr(0, 40) + "." + std::to_string(::getpid()) + "." +
               std::to_string(serial.fetch_add(1)) + ".part";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return std::strerror(errno);
    }
    if (fd < 0) return "no temporary name free beside it";
    std::size_t done = 0;
    int error = 0;
    while (done < text.size() && error == 0) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) error = errno;
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), name.c_str()) != 0) error = errno;
    if (error == 0) return {};
    ::unlink(temp.c_str());
    return std::strerror(error);
}

} // namespace rfkit
