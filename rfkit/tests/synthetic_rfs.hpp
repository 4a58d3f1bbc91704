// Receiver functions with known answers for the H-kappa and moveout tests:
// a one-layer crust over a half-space, synthetics by kestrum at several
// slownesses, then water-level receiver functions of R by Z by marrick, all
// run in-process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rfkit::testing {

struct Crust {
    double h = 35, vp = 6.3, kappa = 1.75; // km, km/s, Vp/Vs
};

// Writes `count` receiver functions of the crust over an 8.1/4.5 km/s
// half-space, at slownesses evenly spread from 0.04 to 0.08 s/km, into dir
// ("rf<i>.sac"), 20 samples per second, Gaussian width for 0.1 at 2 Hz, zero
// lag 10 s after the first sample.  noise > 0 adds white noise of that rms,
// as a fraction of the largest radial amplitude, to the radial traces before
// the deconvolution (a generator seeded with `seed`).  Returns the names.
std::vector<std::string> synthetic_rfs(const std::string& dir, const Crust& crust, int count,
                                       double noise = 0, std::uint64_t seed = 1);

// The status and output of one in-process `rfkit` run.
struct Outcome {
    int status = -1;
    std::string out, err;
};
Outcome run_rfkit(const std::vector<std::string>& args, const std::string& input = "");

// The numbers of an hk result line, or all NaN when the line is not one.
struct HkResult {
    double h, h_error, kappa, kappa_error;
    int n;
    double p_min, p_max;
};
HkResult parse_hk(const std::string& out);

} // namespace rfkit::testing
