#include "rfkit/hkstack.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace rfkit {

namespace {

// Vertical slownesses of P and S in the layer; a negative value when imaginary.
struct Vertical {
    double qa = -1, qb = -1;
    bool real() const { return qa >= 0 && qb >= 0; }
};

Vertical vertical(double kappa, double vp, double p) {
    const double a = 1 / (vp * vp) - p * p;
    const double b = kappa * kappa / (vp * vp) - p * p;
    return {a >= 0 ? std::sqrt(a) : -1, b >= 0 ? std::sqrt(b) : -1};
}

// Seconds of delay per km of H for the three phases.
std::array<double, 3> delay_per_km(const Vertical& q) {
    return {q.qb - q.qa, q.qb + q.qa, 2 * q.qb};
}

std::string number(double v) {
    std::ostringstream os;
    os << v;
    return os.str();
}

} // namespace

long Range::count() const {
    if (!(std::isfinite(first) && std::isfinite(last) && std::isfinite(step)) || !(step > 0) ||
        last < first)
        return 0;
    const double n = std::floor((last - first) / step + 1e-6) + 1;
    return n > static_cast<double>(max_grid_points) ? max_grid_points + 1 : static_cast<long>(n);
}

std::optional<PhaseTimes> phase_times(double h, double kappa, double vp, double p) {
    const Vertical q = vertical(kappa, vp, p);
    if (!q.real()) return std::nullopt;
    const auto d = delay_per_km(q);
    return PhaseTimes{h * d[0], h * d[1], h * d[2]};
}

std::string refusal(const HkSettings& s, std::span<const ReceiverFunction> rfs) {
    if (!(std::isfinite(s.vp) && s.vp > 0)) return "the P speed must be positive";
    for (double w : s.weights)
        if (!std::isfinite(w)) return "the weights must be numbers";
    if (s.weights[0] == 0 && s.weights[1] == 0 && s.weights[2] == 0)
        return "the weights are all zero";
    if (s.h.count() == 0)
        return "empty H range " + number(s.h.first) + " to " + number(s.h.last) + " by " +
               number(s.h.step);
    if (s.kappa.count() == 0)
        return "empty kappa range " + number(s.kappa.first) + " to " + number(s.kappa.last) +
               " by " + number(s.kappa.step);
    if (s.h.first < 0) return "H must not be negative";
    if (!(s.kappa.first > 0)) return "kappa must be positive";
    if (s.h.count() * s.kappa.count() > max_grid_points)
        return "a grid of more than " + std::to_string(max_grid_points) + " points";
    const double top = s.kappa.at(s.kappa.count() - 1);
    for (const ReceiverFunction& rf : rfs)
        if (!vertical(top, s.vp, rf.slowness).real())
            return "no point of the grid is valid for '" + rf.name + "': its slowness " +
                   number(rf.slowness) + " s/km needs Vp below " + number(1 / rf.slowness) +
                   " km/s and kappa above " + number(rf.slowness * s.vp);
    return {};
}

HkStack::HkStack(std::span<const ReceiverFunction> rfs, const HkSettings& s)
    : settings_(s), nh_(s.h.count()), nk_(s.kappa.count()) {
    // The latest time any grid point reads: the largest H at the largest kappa.
    const double h_last = s.h.at(nh_ - 1);
    const double k_last = s.kappa.at(nk_ - 1);
    for (const ReceiverFunction& rf : rfs) {
        const auto d = delay_per_km(vertical(k_last, s.vp, rf.slowness));
        const double t_last = h_last * std::max({d[0], d[1], d[2]});
        const double zero = -rf.begin / rf.delta; // zero lag in samples of the file
        const auto first = static_cast<long>(std::floor(zero));
        const auto length = static_cast<long>(std::floor(zero + t_last / rf.delta)) - first + 3;
        Window w;
        w.samples.assign(static_cast<std::size_t>(length), 0.0f);
        const long n = static_cast<long>(rf.samples.size());
        for (long m = std::max(0L, -first); m < length && first + m < n; ++m)
            w.samples[static_cast<std::size_t>(m)] =
                rf.samples[static_cast<std::size_t>(first + m)];
        w.slopes.assign(w.samples.size(), 0.0f);
        for (std::size_t m = 0; m + 1 < w.samples.size(); ++m)
            w.slopes[m] = w.samples[m + 1] - w.samples[m];
        w.offset = zero - static_cast<double>(first);
        w.delta = rf.delta;
        w.slowness = rf.slowness;
        traces_.push_back(std::move(w));
    }
}

std::vector<double> HkStack::evaluate(std::span<const int> counts) const {
    return evaluate(counts, Box{0, nk_, 1, 0, nh_, 1});
}

std::vector<double> HkStack::evaluate(std::span<const int> counts, const Box& box) const {
    const auto& w = settings_.weights;
    const long nk = box.kappa_points(), nh = box.h_points();
    std::vector<double> grid(static_cast<std::size_t>(nh * nk), 0.0);
    for (long k = 0; k < nk; ++k) {
        double* row = grid.data() + k * nh;
        const double kappa = settings_.kappa.at(box.k0 + k * box.k_stride);
        for (std::size_t f = 0; f < traces_.size(); ++f) {
            const int c = counts.empty() ? 1 : counts[f];
            if (c == 0) continue;
            const Window& tr = traces_[f];
            const Vertical q = vertical(kappa, settings_.vp, tr.slowness);
            if (!q.real()) {
                std::fill(row, row + nh, std::numeric_limits<double>::quiet_NaN());
                break;
            }
            // Window positions of the three phases in 32.32 fixed point (whole
            // samples above, the fraction below), stepped by an exact integer
            // per H step: the read runs nh * nk * files * 3 times.  Positions
            // are below 2^20 samples, so the fraction keeps 2^-32 of a sample.
            const auto d = delay_per_km(q);
            auto fixed = [](double u) { return static_cast<std::int64_t>(std::ldexp(u, 32)); };
            const double h0 = settings_.h.at(box.j0);
            const double dh = settings_.h.step * static_cast<double>(box.j_stride);
            std::int64_t u0 = fixed(h0 * d[0] / tr.delta + tr.offset);
            std::int64_t u1 = fixed(h0 * d[1] / tr.delta + tr.offset);
            std::int64_t u2 = fixed(h0 * d[2] / tr.delta + tr.offset);
            const std::int64_t du0 = fixed(dh * d[0] / tr.delta), du1 = fixed(dh * d[1] / tr.delta),
                               du2 = fixed(dh * d[2] / tr.delta);
            const float* y = tr.samples.data();
            const float* dy = tr.slopes.data();
            auto read = [&](std::int64_t u) {
                const auto m = static_cast<std::size_t>(u >> 32);
                const float frac = static_cast<float>(u & 0xffffffff) * 0x1p-32f;
                return y[m] + frac * dy[m];
            };
            const auto w0 = static_cast<float>(w[0]), w1 = static_cast<float>(w[1]),
                       w2 = static_cast<float>(w[2]);
            for (long j = 0; j < nh; ++j) {
                row[j] += c * (w0 * read(u0) + w1 * read(u1) - w2 * read(u2));
                u0 += du0;
                u1 += du1;
                u2 += du2;
            }
        }
    }
    return grid;
}

std::optional<Peak> maximum(std::span<const double> grid, const HkSettings& s) {
    const long nh = s.h.count();
    std::optional<Peak> best;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (std::isnan(grid[i]) || (best && !(grid[i] > best->value))) continue;
        const long k = static_cast<long>(i) / nh, j = static_cast<long>(i) % nh;
        best = Peak{s.h.at(j), s.kappa.at(k), grid[i]};
    }
    return best;
}

std::uint64_t Resampler::next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::uint32_t Resampler::below(std::uint32_t n) {
    return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32);
}

std::vector<int> Resampler::counts(std::size_t n) {
    std::vector<int> c(n, 0);
    for (std::size_t i = 0; i < n; ++i) ++c[below(static_cast<std::uint32_t>(n))];
    return c;
}

namespace {

// The maximum of a stack with the given counts: first on every other point
// of the grid, then on every point within two steps of the coarse maximum.
// The peaks of a stack are many grid steps wide (a pulse of a few tenths of
// a second spans kilometres and hundredths of kappa), so the coarse search
// lands on the peak the full grid would find, at a quarter of the cost.
std::optional<Peak> coarse_to_fine_maximum(const HkStack& stack, std::span<const int> counts) {
    const long nk = stack.nk(), nh = stack.nh();
    const HkStack::Box coarse{0, nk, 2, 0, nh, 2};
    const auto rough = stack.evaluate(counts, coarse);
    long at = -1;
    for (std::size_t i = 0; i < rough.size(); ++i)
        if (!std::isnan(rough[i]) && (at < 0 || rough[i] > rough[static_cast<std::size_t>(at)]))
            at = static_cast<long>(i);
    if (at < 0) return std::nullopt;
    const long k = 2 * (at / coarse.h_points()), j = 2 * (at % coarse.h_points());
    const HkStack::Box fine{std::max(0L, k - 2), std::min(nk, k + 3), 1,
                            std::max(0L, j - 2), std::min(nh, j + 3), 1};
    const auto near = stack.evaluate(counts, fine);
    std::optional<Peak> best;
    for (std::size_t i = 0; i < near.size(); ++i) {
        if (std::isnan(near[i]) || (best && !(near[i] > best->value))) continue;
        const long kk = fine.k0 + static_cast<long>(i) / fine.h_points();
        const long jj = fine.j0 + static_cast<long>(i) % fine.h_points();
        best = Peak{stack.settings().h.at(jj), stack.settings().kappa.at(kk), near[i]};
    }
    return best;
}

} // namespace

Spread bootstrap(const HkStack& stack, int resamples, std::uint64_t seed,
                 const std::function<void(int)>& progress) {
    Resampler draw(seed);
    std::vector<double> hs, ks;
    for (int r = 0; r < resamples; ++r) {
        const auto peak = coarse_to_fine_maximum(stack, draw.counts(stack.files()));
        if (peak) {
            hs.push_back(peak->h);
            ks.push_back(peak->kappa);
        }
        if (progress) progress(r + 1);
    }
    auto deviation = [](const std::vector<double>& v) {
        if (v.size() < 2) return 0.0;
        double mean = 0, sum = 0;
        for (double x : v) mean += x;
        mean /= static_cast<double>(v.size());
        for (double x : v) sum += (x - mean) * (x - mean);
        return std::sqrt(sum / static_cast<double>(v.size() - 1));
    };
    return {deviation(hs), deviation(ks)};
}

std::vector<std::array<double, 2>> phase_curve(int phase, double h, double kappa, double p,
                                               const HkSettings& s) {
    std::vector<std::array<double, 2>> curve;
    const auto t = phase_times(h, kappa, s.vp, p);
    if (!t) return curve;
    const double target = phase == 0 ? t->ps : phase == 1 ? t->ppps : t->ppss;
    for (long k = 0; k < s.kappa.count(); ++k) {
        const Vertical q = vertical(s.kappa.at(k), s.vp, p);
        const double per_km = delay_per_km(q)[static_cast<std::size_t>(phase)];
        if (q.real() && per_km > 0) curve.push_back({target / per_km, s.kappa.at(k)});
    }
    return curve;
}

} // namespace rfkit
