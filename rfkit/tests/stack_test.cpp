// rfkit stack on receiver functions of a known crust.
#include "rfkit/hkstack.hpp"
#include "rftest/scratch.hpp"
#include "synthetic_rfs.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace rfkit::testing;

struct Trace {
    std::vector<float> y;
    float b = 0, dt = 0, e = 0, depmax = 0, user0 = 0, user1 = 0;
    std::string iftype;
    long peak_after(float t0) const {
        const auto first = static_cast<long>(std::ceil((t0 - b) / dt));
        return std::max_element(y.begin() + first, y.end()) - y.begin();
    }
};

Trace read(const std::string& name) {
    Trace t;
    t.y.resize(20000);
    int n = 0, nerr = 0;
    traceio::rsac1(name, t.y, n, t.b, t.dt, static_cast<int>(t.y.size()), nerr);
    EXPECT_EQ(nerr, 0);
    t.y.resize(static_cast<std::size_t>(n));
    traceio::getfhv("user0", t.user0, nerr);
    traceio::getfhv("user1", t.user1, nerr);
    traceio::getfhv("e", t.e, nerr);
    traceio::getfhv("depmax", t.depmax, nerr);
    traceio::getihv("iftype", t.iftype, nerr);
    return t;
}

// Receiver functions at 20 slownesses from 0.04 to 0.08 s/km moved to 0.06:
// the stack's Moho Ps lies within one sample of its ray-theory time at 0.06
// s/km, and on the depth axis near the crust's 35 km.
TEST(RfkitStack, PutsTheMohoPsAtItsReferenceSlownessTime) {
    rftest::TempDir dir;
    const Crust crust{35, 6.3, 1.75};
    auto args = synthetic_rfs(dir.path(), crust, 20);
    args.insert(args.begin(), {"stack", "-o", dir.path("stack.sac")});
    auto o = run_rfkit(args);
    ASSERT_EQ(o.status, 0) << o.err;
    const Trace t = read(dir.path("stack.sac"));
    EXPECT_EQ(t.iftype, "ITIME");
    EXPECT_EQ(t.user0, 0.06f);
    EXPECT_EQ(t.user1, 20.0f);
    // The header describes the stack (E was once worked in double precision,
    // DEPMAX left undefined).
    EXPECT_EQ(t.e, t.b + static_cast<float>(t.y.size() - 1) * t.dt);
    EXPECT_EQ(t.depmax, *std::max_element(t.y.begin(), t.y.end()));
    const double ps = rfkit::phase_times(crust.h, crust.kappa, crust.vp, 0.06)->ps;
    const double found = t.b + t.dt * static_cast<double>(t.peak_after(2.0f));
    EXPECT_NEAR(found, ps, t.dt) << "Moho Ps of the stack";

    args[1] = "-depth";
    args[2] = "0.5";
    args.insert(args.begin() + 1, {"-o", dir.path("depth.sac")});
    o = run_rfkit(args);
    ASSERT_EQ(o.status, 0) << o.err;
    const Trace d = read(dir.path("depth.sac"));
    // The depth axis was once labelled a time series (IFTYPE set through the
    // integer fields, which refused it unseen).
    EXPECT_EQ(d.iftype, "IXY");
    EXPECT_NEAR(d.b + d.dt * static_cast<double>(d.peak_after(15.0f)), 35.0, 1.0);
}

// Refusals: no output named, too few usable files, a slowness beyond the
// reference Earth's P speed; a file left out is named and fails the run.
TEST(RfkitStack, RefusesWhatItCannotStackAndNamesWhatItLeavesOut) {
    rftest::TempDir dir;
    const auto rfs = synthetic_rfs(dir.path(), Crust{}, 3);
    const std::string out = dir.path("out.sac");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;
        bool written;
    };
    const std::vector<Case> cases{
        {{"stack", rfs[0], rfs[1]}, 1, "no output named (-o file)", false},
        {{"stack", "-o", out, rfs[0], dir.path("none.sac")},
         1,
         "1 usable receiver function(s); a stack needs at least two",
         false},
        {{"stack", "-o", out, "-p", "0.2", rfs[0], rfs[1]},
         1,
         "slowness 0.200000 s/km reaches beyond the reference P speed",
         false},
        {{"stack", "-o", out, "-depth", "0.001", rfs[0], rfs[1]}, 1, "depth step", false},
        // Once taken for one of the library's memory files: success, nothing written.
        {{"stack", "-o", "|" + out, rfs[0], rfs[1]}, 1, "beginning with '|'", false},
        {{"stack", "-o", out, rfs[0], dir.path("none.sac"), rfs[1], rfs[2]},
         1,
         "left out '" + dir.path("none.sac") + "': no such file",
         true},
        // Once "cannot open or create the file (error 101)", the cause unsaid.
        {{"stack", "-o", dir.path("no/out.sac"), rfs[0], rfs[1]},
         1,
         "cannot write '" + dir.path("no/out.sac") + "': No such file or directory",
         false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(out);
        const auto o = run_rfkit(c.args);
        SCOPED_TRACE(o.err);
        EXPECT_EQ(o.status, c.status);
        EXPECT_NE(o.err.find(c.said), std::string::npos) << c.said;
        EXPECT_EQ(std::filesystem::exists(out), c.written);
    }
}

} // namespace

namespace {

// The sample interval of the stack is the one most receiver functions share:
// a single file of another interval first in the list once left out all the
// others ("differs from 0.025 s of" that file) and failed the run.
TEST(RfkitStack, KeepsTheIntervalMostReceiverFunctionsShare) {
    rftest::TempDir dir;
    const auto rfs = synthetic_rfs(dir.path(), Crust{}, 4);
    // A copy of the first, resampled at half the interval.
    const Trace first = read(rfs[0]);
    std::vector<float> fine(first.y.size() * 2 - 1);
    for (std::size_t i = 0; i < fine.size(); ++i)
        fine[i] = i % 2 == 0 ? first.y[i / 2] : (first.y[i / 2] + first.y[i / 2 + 1]) / 2;
    const std::string odd = dir.path("fine.sac");
    int nerr = 0;
    traceio::setnhv("npts", static_cast<int>(fine.size()), nerr);
    traceio::setfhv("delta", first.dt / 2, nerr);
    traceio::wsac0(odd, {}, fine, nerr);
    ASSERT_EQ(nerr, 0);
    struct Case {
        std::vector<std::string> files;
        int used;
        std::string said;
    };
    const std::vector<Case> cases{
        {{odd, rfs[0], rfs[1], rfs[2]}, 3, "left out '" + odd + "': sample interval 0.025000 s"},
        {{rfs[0], odd, rfs[1], rfs[2]}, 3, "differs from 0.050000 s of '" + rfs[0] + "'"},
        {{odd, odd, rfs[0]}, 2, "left out '" + rfs[0] + "': sample interval 0.050000 s"},
        {{odd, rfs[0]}, 1, "a stack needs at least two"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"stack", "-o", dir.path("out.sac")};
        args.insert(args.end(), c.files.begin(), c.files.end());
        for (const char* tool : {"stack", "hk"}) {
            args[0] = tool;
            if (args[0] == "hk") args[1] = "-nonorm", args[2] = "-nonorm";
            const auto o = run_rfkit(args);
            SCOPED_TRACE(std::string(tool) + ": " + o.err);
            EXPECT_EQ(o.status, 1);
            EXPECT_NE(o.err.find(c.said), std::string::npos) << c.said;
            if (c.used > 1) {
                EXPECT_NE(o.err.find(std::to_string(c.used) + " of " +
                                     std::to_string(c.files.size()) + " receiver functions used"),
                          std::string::npos);
            }
        }
    }
}

} // namespace

namespace {

void name_station(const std::string& file, const std::string& station, float stla) {
    std::vector<float> y(20000);
    int n = 0, nerr = 0;
    float b = 0, dt = 0;
    traceio::rsac1(file, y, n, b, dt, static_cast<int>(y.size()), nerr);
    y.resize(static_cast<std::size_t>(n));
    traceio::setkhv("knetwk", "CX", nerr);
    traceio::setkhv("kstnm", station, nerr);
    traceio::setfhv("stla", stla, nerr);
    traceio::wsac0(file, {}, y, nerr);
}

// Receiver functions of two stations were stacked without a word and the
// stack labelled with the first one's station and place.  Now hk and stack
// name the stations (the run goes on: a regional stack may be meant) and the
// stack's header leaves station and place undefined.
TEST(RfkitStack, SaysWhenTheReceiverFunctionsAreOfSeveralStations) {
    struct Case {
        std::vector<std::string> stations;
        bool warned;
        std::string kstnm;
    };
    const std::vector<Case> cases{
        {{"PB01", "PB01", "PB01"}, false, "PB01"},
        {{"PB01", "PB02", "PB01"}, true, "-12345"},
        {{"", "", ""}, false, "-12345"},
    };
    for (const Case& c : cases) {
        rftest::TempDir dir;
        const auto rfs = synthetic_rfs(dir.path(), Crust{}, 3);
        for (std::size_t i = 0; i < rfs.size(); ++i)
            if (!c.stations[i].empty())
                name_station(rfs[i], c.stations[i], 10.0f + static_cast<float>(i));
        std::vector<std::string> stack{"stack", "-o", dir.path("s.sac")}, hk{"hk", "-boot", "5"};
        for (auto* args : {&stack, &hk}) {
            args->insert(args->end(), rfs.begin(), rfs.end());
            const auto o = run_rfkit(*args);
            SCOPED_TRACE(args->front() + " " + c.stations[1] + ": " + o.err);
            EXPECT_EQ(o.status, 0);
            EXPECT_EQ(o.err.find("of 2 stations (CX.PB01, CX.PB02)") != std::string::npos,
                      c.warned);
        }
        read(dir.path("s.sac"));
        std::string kstnm;
        float stla = 0;
        int nerr = 0;
        traceio::getkhv("kstnm", kstnm, nerr);
        traceio::getfhv("stla", stla, nerr);
        EXPECT_EQ(kstnm, c.kstnm);
        if (c.warned) {
            EXPECT_EQ(stla, traceio::FUNDEF);
        } else if (c.kstnm == "PB01") {
            EXPECT_EQ(stla, 10.0f);
        }
    }
}

} // namespace
