// H-kappa stacking of receiver functions (Zhu & Kanamori 2000, J. Geophys.
// Res. 105, 2969-2980): the crust as one flat layer of thickness H (km) and
// Vp/Vs ratio kappa over a half-space, with a given average P speed Vp.
//
// For a receiver function of horizontal slowness p (s/km) the Moho phases
// arrive after the direct P at
//   t_Ps = H (qb - qa),   t_PpPs = H (qb + qa),   t_PpSs+PsPs = 2 H qb,
//   qa = sqrt(1/Vp^2 - p^2),   qb = sqrt(kappa^2/Vp^2 - p^2),
// and the stack is
//   s(H, kappa) = sum over files of c [w1 r(t_Ps) + w2 r(t_PpPs) - w3 r(t_PpSs+PsPs)],
// r read by linear interpolation (zero outside the trace), c = 1, or the
// file's count in a bootstrap resample.  The minus sign: PpSs+PsPs has the
// opposite polarity to Ps at a speed increase.  Grid values are stored row
// by row, one row per kappa: value(k, j) at H = h.at(j), kappa = kappa.at(k).
#pragma once

#include "rfkit/rfset.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rfkit {

// An evenly stepped range first, first + step, ... up to last (inclusive,
// within a millionth of a step).
struct Range {
    double first = 0, last = 0, step = 0;
    // Number of points; 0 when the range is empty (a step that is not
    // positive, last before first, or a value that is not finite).
    long count() const;
    double at(long i) const { return first + static_cast<double>(i) * step; }
};

struct HkSettings {
    double vp = 6.3;                              // average crustal P speed (km/s)
    std::array<double, 3> weights{0.7, 0.2, 0.1}; // Ps, PpPs, PpSs+PsPs
    Range h{20, 70, 0.1};                         // km
    Range kappa{1.60, 2.10, 0.0025};
};

// Grids larger than this are refused (memory and time).
inline constexpr long max_grid_points = 4'000'000;

// The three delays after the direct P, in seconds; nullopt when qa or qb is
// imaginary (p at or beyond 1/Vp or kappa/Vp).
struct PhaseTimes {
    double ps = 0, ppps = 0, ppss = 0;
};
std::optional<PhaseTimes> phase_times(double h, double kappa, double vp, double p);

// Why a stack of these settings over receiver functions of these slownesses
// cannot be made, or an empty text when it can: an empty H or kappa range, a
// negative H, Vp not positive, a weight that is not finite or all three
// zero, a grid of more
// than max_grid_points points, or a slowness for which every kappa of the
// range gives an imaginary time (the message names the file).
std::string refusal(const HkSettings& s, std::span<const ReceiverFunction> rfs);

// The H-kappa stack of a set of receiver functions, prepared once (each
// trace cut to the span of times the grid reaches) and evaluated for any
// counts per file.  The settings must have passed `refusal`.
class HkStack {
  public:
    HkStack(std::span<const ReceiverFunction> rfs, const HkSettings& s);

    // The stack with counts[f] copies of file f (every file once when counts
    // is empty): nk x nh values, NaN on rows where some counted file's times
    // are imaginary.
    std::vector<double> evaluate(std::span<const int> counts = {}) const;

    // Part of the grid: kappa indices k0, k0 + k_stride, ... below k_end and
    // H indices j0, j0 + j_stride, ... below j_end (within the grid).
    struct Box {
        long k0, k_end, k_stride, j0, j_end, j_stride;
        long kappa_points() const { return (k_end - k0 + k_stride - 1) / k_stride; }
        long h_points() const { return (j_end - j0 + j_stride - 1) / j_stride; }
    };
    // The stack on those points only, row by row as above.
    std::vector<double> evaluate(std::span<const int> counts, const Box& box) const;

    const HkSettings& settings() const { return settings_; }
    long nh() const { return nh_; }
    long nk() const { return nk_; }
    std::size_t files() const { return traces_.size(); }

  private:
    struct Window {                 // the samples a grid can reach, zero-padded
        std::vector<float> samples; // samples[m] is the trace's sample first + m
        std::vector<float> slopes;  // samples[m + 1] - samples[m]
        double offset = 0;          // (0 - begin) / delta - first: zero lag in window samples
        double delta = 0;
        double slowness = 0;
    };
    HkSettings settings_;
    long nh_ = 0, nk_ = 0;
    std::vector<Window> traces_;
};

// The largest value of a grid (the first of equals), with its place; nullopt
// when every value is NaN.
struct Peak {
    double h = 0, kappa = 0, value = 0;
};
std::optional<Peak> maximum(std::span<const double> grid, const HkSettings& s);

// A small generator for the bootstrap (SplitMix64: a 64-bit counter through a
// fixed mixing function), so that resamples are the same on every platform.
class Resampler {
  public:
    explicit Resampler(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // A uniform integer in 0 .. n-1 (the high half of a 64-bit product).
    std::uint32_t below(std::uint32_t n);
    // Counts of each of n files in one resample of n drawn with replacement.
    std::vector<int> counts(std::size_t n);

  private:
    std::uint64_t state_;
};

// Bootstrap spread of the stack's maximum (Efron & Tibshirani 1993, An
// Introduction to the Bootstrap, ch. 6): the standard deviations of the
// maxima's H and kappa over `resamples` resamples of the files.  Each
// resample's maximum is sought on every other grid point, then on the full
// grid within two steps of that.  `progress`
// (may be empty) is called after each resample with the number done.
struct Spread {
    double h = 0, kappa = 0;
};
Spread bootstrap(const HkStack& stack, int resamples, std::uint64_t seed,
                 const std::function<void(int)>& progress = {});

// The curve of (H, kappa) points, one per kappa of the grid, on which a phase
// (0 Ps, 1 PpPs, 2 PpSs+PsPs) arrives when it does for (h, kappa) at slowness
// p: how the three phases trade H against kappa.  Points where the time is
// imaginary are left out.
std::vector<std::array<double, 2>> phase_curve(int phase, double h, double kappa, double p,
                                               const HkSettings& s);

} // namespace rfkit
