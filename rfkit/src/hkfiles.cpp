#include "rfkit/hkfiles.hpp"

#include "traceio/output.hpp"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
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
    // The trace writer's target: a file replaced whole, or a stream in place.
    traceio::detail::Output out;
    if (out.open(name) != 0) return std::strerror(errno);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(out.fd(), text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) {
            out.abandon();
            return std::strerror(errno);
        }
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    return out.finish() == 0 ? std::string() : std::strerror(errno);
}

} // namespace rfkit
