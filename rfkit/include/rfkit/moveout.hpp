// Ps moveout and the time-to-depth mapping of receiver functions through a
// reference Earth.
//
// The reference is the upper 800 km of iasp91 (Kennett & Engdahl 1991,
// Geophys. J. Int. 105, 429-465), taken flat: speeds linear between the
// rows of its table, a repeated depth marking a discontinuity (crust 5.8 and
// 6.5 km/s P over 20 and 15 km, Moho at 35 km, 410 and 660 km jumps).
//
// A Ps conversion at depth z arrives after the direct P of slowness p (s/km) at
//   T(z, p) = integral from 0 to z of (qb - qa) dz',
//   qa = sqrt(1/Vp^2 - p^2),  qb = sqrt(1/Vs^2 - p^2),
// which grows with z and shrinks as p grows.  Moving a receiver function to a
// reference slowness p0 puts what it has at T(z, p) at T(z, p0); times before
// zero lag (t < 0) stay where they are.
#pragma once

#include "rfkit/rfset.hpp"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rfkit {

// A 1-D Earth as rows of depth (km), P and S speed (km/s), top down.
struct Layering {
    std::vector<double> depth, vp, vs;
};
// The reference: iasp91 as described above.
const Layering& reference_earth();

// T(z, p) tabulated every 0.1 km down to the table's last depth, or to the
// depth where qa becomes imaginary (p at or beyond 1/Vp there).
class PsDelay {
  public:
    PsDelay(const Layering& earth, double p);
    // Delay of a conversion at depth z (0 <= z <= deepest()).
    double time(double z) const;
    // Depth whose conversion arrives at t >= 0; nullopt beyond deepest().
    std::optional<double> depth(double t) const;
    double deepest() const;
    double latest() const { return times_.back(); }

  private:
    static constexpr double dz = 0.1; // km
    std::vector<double> times_;       // T at depths 0, dz, 2 dz, ...
};

// A stacked trace: evenly spaced samples from `begin` by `delta` (seconds
// after zero lag, or km of depth), and the number of traces in it.
struct Stacked {
    double begin = 0, delta = 0;
    std::vector<float> samples;
    int count = 0;
};

// The mean of the receiver functions moved to slowness p0, on the time axis
// of the latest-beginning one, up to the earliest time every one reaches
// after its move.  nullopt (the reason in `why`) when that span has fewer
// than two samples or a slowness reaches beyond the reference P speed
// (p0 too).  The receiver functions must share their sample interval.
std::optional<Stacked> moveout_stack(std::span<const ReceiverFunction> rfs, double p0,
                                     const Layering& earth, std::string& why);

// The mean of the receiver functions against depth of conversion, every dz
// km from 0 down to the shallowest depth that every one reaches.
std::optional<Stacked> depth_stack(std::span<const ReceiverFunction> rfs, double dz,
                                   const Layering& earth, std::string& why);

} // namespace rfkit
