#include "rfkit/moveout.hpp"

#include <algorithm>
#include <cmath>

namespace rfkit {

namespace {

// Speeds at depth z: linear within the row pair that holds z (a pair of
// equal depths, a discontinuity, holds nothing).
void speeds(const Layering& e, double z, double& vp, double& vs) {
    std::size_t i = 0;
    while (i + 2 < e.depth.size() && z >= e.depth[i + 1]) ++i;
    const double span = e.depth[i + 1] - e.depth[i];
    const double f = span > 0 ? std::clamp((z - e.depth[i]) / span, 0.0, 1.0) : 0.0;
    vp = e.vp[i] + f * (e.vp[i + 1] - e.vp[i]);
    vs = e.vs[i] + f * (e.vs[i + 1] - e.vs[i]);
}

std::string reach(double p) {
    return "slowness " + std::to_string(p) + " s/km reaches beyond the reference P speed";
}

// The time at slowness p0 of what a receiver function at p has at t_in.
double moved_back(double t_in, const PsDelay& at_p, const PsDelay& ref) {
    if (t_in <= 0) return t_in;
    const double z = std::min(at_p.depth(t_in).value_or(at_p.deepest()), ref.deepest());
    return ref.time(z);
}

double mean(double sum, std::size_t n) {
    return sum / static_cast<double>(n);
}

} // namespace

const Layering& reference_earth() {
    static const Layering table{
        {0,   20,  20,  35,  35,  77.5, 120, 165, 210, 210, 260, 310,
         360, 410, 410, 460, 510, 560,  610, 660, 660, 710, 760, 809.5},
        {5.8,    5.8,  6.5,  6.5,   8.04,  8.045, 8.05,   8.175, 8.3,   8.3,     8.4825,  8.665,
         8.8475, 9.03, 9.36, 9.528, 9.696, 9.864, 10.032, 10.2,  10.79, 10.9229, 11.0558, 11.144},
        {3.36,  3.36, 3.75, 3.75,  4.47,  4.485, 4.5,   4.509, 4.518, 4.522,  4.609,  4.696,
         4.783, 4.87, 5.07, 5.176, 5.282, 5.388, 5.494, 5.6,   5.95,  6.0797, 6.2095, 6.2474}};
    return table;
}

PsDelay::PsDelay(const Layering& earth, double p) : times_{0.0} {
    const double bottom = earth.depth.back();
    for (long k = 0;; ++k) {
        const double z = dz * (static_cast<double>(k) + 0.5);
        if (z >= bottom) break;
        double vp = 0, vs = 0;
        speeds(earth, z, vp, vs);
        const double qa2 = 1 / (vp * vp) - p * p, qb2 = 1 / (vs * vs) - p * p;
        if (qa2 < 0) break;
        times_.push_back(times_.back() + dz * (std::sqrt(qb2) - std::sqrt(qa2)));
    }
}

double PsDelay::deepest() const {
    return dz * static_cast<double>(times_.size() - 1);
}

double PsDelay::time(double z) const {
    const double x = std::clamp(z / dz, 0.0, static_cast<double>(times_.size() - 1));
    const auto i = std::min(static_cast<std::size_t>(x), times_.size() - 2);
    return times_[i] + (x - static_cast<double>(i)) * (times_[i + 1] - times_[i]);
}

std::optional<double> PsDelay::depth(double t) const {
    if (t < 0 || t > times_.back() || times_.size() < 2) return std::nullopt;
    const auto above = std::upper_bound(times_.begin(), times_.end(), t);
    if (above == times_.end()) return deepest();
    const auto i = static_cast<std::size_t>(above - times_.begin()) - 1;
    const double f = (t - times_[i]) / (times_[i + 1] - times_[i]);
    return dz * (static_cast<double>(i) + f);
}

std::optional<Stacked> moveout_stack(std::span<const ReceiverFunction> rfs, double p0,
                                     const Layering& earth, std::string& why) {
    const PsDelay ref(earth, p0);
    if (ref.deepest() <= 0) {
        why = reach(p0);
        return std::nullopt;
    }
    std::vector<PsDelay> delays;
    Stacked out;
    out.begin = -1e300;
    double end = 1e300;
    for (const ReceiverFunction& rf : rfs) {
        delays.emplace_back(earth, rf.slowness);
        if (delays.back().deepest() <= 0) {
            why = "'" + rf.name + "': " + reach(rf.slowness);
            return std::nullopt;
        }
        out.begin = std::max(out.begin, rf.begin);
        end = std::min(end, rf.slowness == p0 ? std::min(rf.end(), ref.latest())
                                              : moved_back(rf.end(), delays.back(), ref));
    }
    out.delta = rfs.front().delta;
    const double span = std::floor((end - out.begin) / out.delta + 1e-6);
    if (!(span >= 1)) {
        why = "the moved receiver functions share no time span of two samples";
        return std::nullopt;
    }
    out.samples.resize(static_cast<std::size_t>(span) + 1);
    out.count = static_cast<int>(rfs.size());
    for (std::size_t k = 0; k < out.samples.size(); ++k) {
        const double t = out.begin + out.delta * static_cast<double>(k);
        const double z = std::min(ref.depth(t).value_or(ref.deepest()), ref.deepest());
        double sum = 0;
        for (std::size_t f = 0; f < rfs.size(); ++f) {
            const bool same = t <= 0 || rfs[f].slowness == p0;
            sum += rfs[f].at(same ? t : delays[f].time(z));
        }
        out.samples[k] = static_cast<float>(mean(sum, rfs.size()));
    }
    return out;
}

std::optional<Stacked> depth_stack(std::span<const ReceiverFunction> rfs, double dz,
                                   const Layering& earth, std::string& why) {
    std::vector<PsDelay> delays;
    double bottom = 1e300;
    for (const ReceiverFunction& rf : rfs) {
        delays.emplace_back(earth, rf.slowness);
        if (delays.back().deepest() <= 0) {
            why = "'" + rf.name + "': " + reach(rf.slowness);
            return std::nullopt;
        }
        bottom = std::min(bottom, delays.back().depth(rf.end()).value_or(delays.back().deepest()));
    }
    const double span = std::floor(bottom / dz + 1e-6);
    if (!(span >= 1)) {
        why = "the receiver functions reach no depth of two samples";
        return std::nullopt;
    }
    Stacked out;
    out.delta = dz;
    out.samples.resize(static_cast<std::size_t>(span) + 1);
    out.count = static_cast<int>(rfs.size());
    for (std::size_t k = 0; k < out.samples.size(); ++k) {
        const double z = dz * static_cast<double>(k);
        double sum = 0;
        for (std::size_t f = 0; f < rfs.size(); ++f) sum += rfs[f].at(delays[f].time(z));
        out.samples[k] = static_cast<float>(mean(sum, rfs.size()));
    }
    return out;
}

} // namespace rfkit
