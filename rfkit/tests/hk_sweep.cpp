// The wider check of rfkit hk, run by hand (it takes a minute or two):
// one-layer crusts of 25-50 km and kappa 1.70-1.85 at 15 to 30 slownesses,
// with and without noise.  One line per case: the true and recovered values,
// the errors, and whether H is within 0.5 km, kappa within 0.02 and both
// errors within the bootstrap uncertainty (twice it: "2s").
//
//   rfkit_hk_sweep [scratch directory]
#include "rftest/scratch.hpp"
#include "synthetic_rfs.hpp"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace rfkit::testing;

int main() {
    int failed = 0, cases = 0;
    std::printf("%5s %5s %5s %3s %5s | %6s %5s %6s %6s | %5s %6s  %s\n", "H", "Vp", "kappa", "n",
                "noise", "H", "sH", "kappa", "sk", "dH", "dk", "verdict");
    for (double noise : {0.0, 0.1})
        for (double h : {25.0, 32.0, 38.0, 44.0, 50.0})
            for (double kappa : {1.70, 1.75, 1.80, 1.85}) {
                const Crust crust{h, 6.0 + 0.1 * (h - 25) / 5, kappa};
                const int count = 15 + (cases % 4) * 5;
                rftest::TempDir dir;
                const auto names = synthetic_rfs(dir.path(), crust, count, noise,
                                                 static_cast<std::uint64_t>(cases) + 7);
                char vp[16];
                std::snprintf(vp, sizeof vp, "%.2f", crust.vp);
                std::vector<std::string> args{"hk", "-vp", vp};
                args.insert(args.end(), names.begin(), names.end());
                const HkResult r = parse_hk(run_rfkit(args).out);
                const double dh = r.h - h, dk = r.kappa - kappa;
                const bool close = std::abs(dh) <= 0.5 && std::abs(dk) <= 0.02;
                const bool covered = std::abs(dh) <= r.h_error && std::abs(dk) <= r.kappa_error;
                const bool covered2 =
                    std::abs(dh) <= 2 * r.h_error && std::abs(dk) <= 2 * r.kappa_error;
                failed += !close || !covered2;
                ++cases;
                std::printf("%5.1f %5.2f %5.2f %3d %5.2f | %6.2f %5.2f %6.4f %6.4f | %+5.2f "
                            "%+6.4f  %s %s\n",
                            h, crust.vp, kappa, count, noise, r.h, r.h_error, r.kappa,
                            r.kappa_error, dh, dk, close ? "ok" : "OFF",
                            covered    ? "covered"
                            : covered2 ? "covered-2s"
                                       : "NOT-COVERED");
                std::fflush(stdout);
            }
    std::printf("%d passed, %d failed\n", cases - failed, failed);
    return failed == 0 ? 0 : 1;
}
