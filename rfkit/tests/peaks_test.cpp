// rfkit peaks: peaks of receiver functions beside ray-theory delays.
#include "sacfiles.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace rfkit {
namespace {

using namespace rfkit::testing;

const std::string crust = std::string(RFKIT_EXAMPLES) + "/crust.mod";

// A receiver function of crust.mod's Moho at 0.06 s/km: P at 0, Ps, PpPs
// and a negative PpSs+PsPs where ray theory puts them, Ps moved by `late`.
std::vector<float> moho_rf(double late) {
    std::vector<float> y(1000);
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double t = -10 + 0.05 * static_cast<double>(i);
        const auto pulse = [&](double at) { return std::exp(-(t - at) * (t - at) / 0.02); };
        y[i] = static_cast<float>(pulse(0) + 0.3 * pulse(4.349 + late) + 0.1 * pulse(14.636) -
                                  0.1 * pulse(18.985));
    }
    return y;
}

// The slowness from -p or from the file's USER0 (s/km or s/deg) gives the
// same delays; -check passes when Ps sits on its peak and fails one sample
// and more away.
TEST(Peaks, ChecksPsAgainstRayTheoryWithTheFilesSlowness) {
    rftest::TempDir dir;
    const std::string on = dir.path("on.rf"), off = dir.path("off.rf"), deg = dir.path("deg.rf");
    write_trace(on, moho_rf(0), -10, 0.05f,
                [] { set("user0", 0.06f), set_text("kuser0", "s/km"); });
    write_trace(off, moho_rf(0.12), -10, 0.05f);
    write_trace(deg, moho_rf(0), -10, 0.05f,
                [] { set("user0", 0.06f * 111.19493f), set_text("kuser0", "s/deg"); });

    Outcome o = run({"peaks", "-check", "-model", crust, on});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_NE(o.out.find("p = 0.0600 s/km"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("35.0 km:  Ps 4.35 -> 4.35 +0.300 [+0.0]"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("PpSs+PsPs 18.99 -> 19.00 -0.099 [+0.3]"), std::string::npos) << o.out;
    o = run({"peaks", "-check", "-model", crust, deg});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    o = run({"peaks", "-check", "-model", crust, "-p", "0.06", off});
    EXPECT_EQ(o.status, 1) << o.out;
    // Without a slowness the file cannot be checked; without a model only
    // its peaks are listed.
    o = run({"peaks", "-check", "-model", crust, off});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("has no slowness"), std::string::npos) << o.err;
    o = run({"peaks", off, dir.path("missing.rf")});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find("largest peaks (s, amplitude):  0.00 +1.000"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("missing.rf' cannot be read"), std::string::npos) << o.err;
}

TEST(Peaks, RefusesIncompleteRequests) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"peaks"},
                                                 {"peaks", "-table", "-model", crust},
                                                 {"peaks", "-check", "x.rf"},
                                                 {"peaks", "-p", "fast", "x.rf"},
                                                 {"peaks", "-q", "x.rf"}}) {
        const Outcome o = run(args);
        EXPECT_EQ(o.status, 1) << args.back();
        EXPECT_NE(o.err.find("rfkit peaks: "), std::string::npos) << o.err;
    }
}

} // namespace
} // namespace rfkit
