// rfkit hk on receiver functions of known crusts, and the inputs it refuses.
#include "rfkit/hkstack.hpp"
#include "rftest/scratch.hpp"
#include "synthetic_rfs.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace rfkit::testing;

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Rewrites header fields of a trace file (float fields by name, then text).
void set_header(const std::string& name, const std::vector<std::pair<std::string, float>>& floats,
                const std::vector<std::pair<std::string, std::string>>& texts = {}) {
    std::vector<float> y(4000);
    int n = 0, nerr = 0;
    float b = 0, dt = 0;
    traceio::rsac1(name, y, n, b, dt, static_cast<int>(y.size()), nerr);
    ASSERT_EQ(nerr, 0);
    y.resize(static_cast<std::size_t>(n));
    for (const auto& [field, v] : floats) traceio::setfhv(field, v, nerr);
    for (const auto& [field, v] : texts) traceio::setkhv(field, v, nerr);
    traceio::wsac0(name, {}, y, nerr);
    ASSERT_EQ(nerr, 0);
}

// Crusts between 25 and 50 km, with and without noise on the radial traces:
// H within 0.5 km and kappa within 0.02 with the crust's own Vp, and the
// bootstrap uncertainty (twice it, two standard deviations) reaches the truth.
TEST(RfkitHk, RecoversThicknessAndVpVsOfOneLayerCrusts) {
    struct Case {
        Crust crust;
        int count;
        double noise;
    };
    for (const Case& c : {Case{{35, 6.3, 1.75}, 15, 0.0}, Case{{27, 6.1, 1.82}, 16, 0.0},
                          Case{{46, 6.5, 1.72}, 20, 0.1}}) {
        rftest::TempDir dir;
        const auto names = synthetic_rfs(dir.path(), c.crust, c.count, c.noise);
        const auto o =
            run_rfkit(with({"hk", "-vp", std::to_string(c.crust.vp), "-boot", "40"}, names));
        SCOPED_TRACE(std::to_string(c.crust.h) + " km: " + o.out + o.err);
        ASSERT_EQ(o.status, 0);
        const HkResult r = parse_hk(o.out);
        EXPECT_NEAR(r.h, c.crust.h, 0.5);
        EXPECT_NEAR(r.kappa, c.crust.kappa, 0.02);
        EXPECT_LE(std::abs(r.h - c.crust.h), 2 * r.h_error);
        EXPECT_LE(std::abs(r.kappa - c.crust.kappa), 2 * r.kappa_error);
        EXPECT_EQ(r.n, c.count);
        EXPECT_NEAR(r.p_min, 0.04, 1e-6);
        EXPECT_NEAR(r.p_max, 0.08, 1e-6);
    }
}

// Copies a trace file under a new name.
std::string copy(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream(to, std::ios::binary) << in.rdbuf();
    return to;
}

// Bad input: files without a usable slowness or with another sample interval
// are named, left out and counted (status 1); too few usable files, empty
// ranges and a slowness that leaves no valid grid point refuse the run; a
// maximum on the edge of the grid is pointed out.
TEST(RfkitHk, NamesLeavesOutAndRefusesBadInput) {
    rftest::TempDir dir;
    const auto good = synthetic_rfs(dir.path(), Crust{}, 3);
    const std::string noslow = copy(good[0], dir.path("noslow.sac"));
    set_header(noslow, {{"user0", traceio::FUNDEF}});
    const std::string unit = copy(good[0], dir.path("unit.sac"));
    set_header(unit, {}, {{"kuser0", "km/s"}});
    const std::string nounit = copy(good[0], dir.path("nounit.sac"));
    set_header(nounit, {}, {{"kuser0", std::string(traceio::KUNDEF)}});
    const std::string coarse = copy(good[0], dir.path("coarse.sac"));
    set_header(coarse, {{"delta", 0.1f}});
    const std::string fast = copy(good[0], dir.path("fast.sac"));
    set_header(fast, {{"user0", 0.2f}});
    const std::string degrees = copy(good[0], dir.path("degrees.sac"));
    set_header(degrees, {{"user0", static_cast<float>(0.04 * 40030.176 / 360)}},
               {{"kuser0", "s/deg"}});
    const std::string missing = dir.path("missing.sac");
    const std::vector<std::string> coarse_grid{"hk", "-H", "20", "50", "0.5", "-boot", "10"};

    struct Case {
        std::vector<std::string> args;
        std::string input;
        int status;
        std::vector<std::string> said; // on standard error
        int used;                      // n of the result line, -1: none
    };
    const std::vector<Case> cases{
        {with(coarse_grid, {good[0], noslow, good[1], good[2]}),
         "",
         1,
         {"left out '" + noslow + "': no slowness (USER0 undefined)",
          "3 of 4 receiver functions used"},
         3},
        {with(coarse_grid, {good[0], unit, coarse, good[1]}),
         "",
         1,
         {"left out '" + unit + "': slowness unit KUSER0 'km/s'",
          "left out '" + coarse + "': sample interval", "2 of 4"},
         2},
        // The undefined text read as a unit said "KUSER0 '-12345  '".
        {with(coarse_grid, {good[0], nounit, good[1]}),
         "",
         1,
         {"left out '" + nounit + "': slowness unit KUSER0 undefined"},
         2},
        {with(coarse_grid, {degrees, good[1], good[2]}), "", 0, {}, 3},
        {coarse_grid,
         "# station list\r\n" + good[0] + "\r\n\n" + missing + "\n" + good[2] + "\n",
         1,
         {"left out '" + missing + "' (line 4): no such file"},
         2},
        {with(coarse_grid, {good[0], noslow, missing}),
         "",
         1,
         {"1 usable receiver function(s); a stack needs at least two"},
         -1},
        {with({"hk", "-H", "70", "20", "0.1"}, good), "", 1, {"empty H range 70 to 20 by 0.1"}, -1},
        {with({"hk", "-kappa", "1.6", "2.1", "0"}, good), "", 1, {"empty kappa range"}, -1},
        {with(coarse_grid, {good[0], fast}),
         "",
         1,
         {"no point of the grid is valid for '" + fast + "'"},
         -1},
        {with({"hk", "-vp", "fast"}, good), "", 1, {"-vp needs a number, not 'fast'"}, -1},
        {with({"hk", "-w", "0", "0", "0"}, good), "", 1, {"the weights are all zero"}, -1},
        {with({"hk", "-H", "36", "60", "0.5", "-boot", "5"}, good),
         "",
         0,
         {"the maximum lies at the edge of the H range (H 36 km)"},
         3},
        {with({"hk", "-bootstrap", "10"}, good), "", 1, {"unknown option '-bootstrap'"}, -1},
        {{"hk"}, "\n# nothing\n", 1, {"no receiver functions named"}, -1},
    };
    for (const Case& c : cases) {
        const auto o = run_rfkit(c.args, c.input);
        SCOPED_TRACE(c.args.back() + ": " + o.err);
        EXPECT_EQ(o.status, c.status);
        for (const std::string& s : c.said) EXPECT_NE(o.err.find(s), std::string::npos) << s;
        EXPECT_EQ(parse_hk(o.out).n, c.used);
    }
}

// The grid file holds every point, normalised to 1 at the result's maximum,
// and a failed write leaves the older file and fails the run.
TEST(RfkitHk, WritesTheGridForPlottingAndKeepsItOnAFailedWrite) {
    rftest::TempDir dir;
    const auto rfs = synthetic_rfs(dir.path(), Crust{}, 4);
    const std::string grid = dir.path("hk.txt");
    auto o = run_rfkit(with({"hk", "-H", "30", "40", "0.5", "-kappa", "1.7", "1.8", "0.01", "-boot",
                             "5", "-grid", grid, "-curves", dir.path("curves.txt")},
                            rfs));
    ASSERT_EQ(o.status, 0) << o.err;
    std::ifstream in(grid);
    int points = 0;
    bool best_is_one = false;
    const HkResult r = parse_hk(o.out);
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("#")) continue;
        ++points;
        double h = 0, kappa = 0, s = 0;
        std::istringstream(line) >> h >> kappa >> s;
        if (std::abs(h - r.h) < 1e-6 && std::abs(kappa - r.kappa) < 1e-6) best_is_one = s == 1.0;
    }
    EXPECT_EQ(points, 21 * 11);
    EXPECT_TRUE(best_is_one);

    o = run_rfkit(with({"hk", "-boot", "5", "-grid", dir.path("nodir/hk.txt")}, rfs));
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("cannot write the grid file"), std::string::npos);
}

// A stream named as -grid or -curves is written in place, as the trace
// writers do: a link to /dev/null and a named pipe with a reader were once
// replaced by regular files (the reader got nothing, and -grid /dev/stdout
// run as root would have replaced /dev/stdout itself).  A replaced file
// keeps its permission bits.
TEST(RfkitHk, WritesStreamsInPlaceAndKeepsPermissions) {
    rftest::TempDir dir;
    const auto rfs = synthetic_rfs(dir.path(), Crust{}, 4);
    const std::string link = dir.path("null"), fifo = dir.path("fifo"), kept = dir.path("g.txt");
    std::filesystem::create_symlink("/dev/null", link);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The reading end, open before the run; the curves fit in the pipe.
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::ofstream(kept) << "older\n";
    std::filesystem::permissions(kept, std::filesystem::perms(0640));
    const auto o = run_rfkit(with({"hk", "-H", "30", "40", "0.5", "-kappa", "1.7", "1.8", "0.01",
                                   "-boot", "5", "-grid", link, "-curves", fifo},
                                  rfs));
    std::string read;
    char buf[4096];
    for (ssize_t n; (n = ::read(reader, buf, sizeof buf)) > 0;)
        read.append(buf, static_cast<std::size_t>(n));
    ::close(reader);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(read.starts_with("# rfkit hk: phase curves")) << read;
    ASSERT_EQ(run_rfkit(with({"hk", "-H", "30", "40", "0.5", "-kappa", "1.7", "1.8", "0.01",
                              "-boot", "5", "-grid", kept},
                             rfs))
                  .status,
              0);
    EXPECT_EQ(std::filesystem::status(kept).permissions(), std::filesystem::perms(0640));
}

} // namespace

namespace {

std::string contents(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// An output named like a receiver function once replaced it with status 0:
// `rfkit stack -o *.rf` (the output name forgotten) wrote the stack over the
// first match, `-grid`/`-curves` wrote text over it.  Refused now before
// anything is read or written, the file kept; an earlier stack is replaced.
TEST(RfkitHk, RefusesAnOutputThatWouldReplaceAReceiverFunction) {
    rftest::TempDir dir;
    const auto rfs = synthetic_rfs(dir.path(), Crust{}, 3);
    const std::string before = contents(rfs[0]), text = dir.path("other.txt");
    const std::vector<std::string> rest(rfs.begin() + 1, rfs.end());
    struct Case {
        std::vector<std::string> args;
        std::string input, said;
    };
    const std::vector<Case> cases{
        {with({"stack", "-o"}, rfs), "",
         "-o '" + rfs[0] + "' holds a trace that is not an earlier"},
        {{"stack", "-o", dir.path(".") + "/rf0.sac"},
         rfs[0] + "\n" + rfs[1] + "\n",
         "is the receiver function '" + rfs[0] + "' (line 1)"},
        {with({"hk", "-boot", "5", "-grid"}, rfs), "", "-grid '" + rfs[0] + "' holds a trace, not"},
        {with({"hk", "-boot", "5", "-curves", rfs[0]}, rest), "", "-curves '" + rfs[0] + "'"},
        {with({"hk", "-grid", text, "-curves", text}, rfs), "", "name the same file"},
    };
    for (const Case& c : cases) {
        const auto o = run_rfkit(c.args, c.input);
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + ": " + o.err);
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find(c.said), std::string::npos) << c.said;
        EXPECT_EQ(o.out, "");
        EXPECT_TRUE(contents(rfs[0]) == before) << "the receiver function was replaced";
        EXPECT_FALSE(std::filesystem::exists(text));
    }
    // Stacking again over an earlier stack, and text over text, is as before.
    const std::string stacked = dir.path("stack.sac");
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(run_rfkit(with({"stack", "-o", stacked}, rfs)).status, 0);
        const auto o = run_rfkit(with({"hk", "-boot", "5", "-grid", text}, rfs));
        EXPECT_EQ(o.status, 0) << o.err;
    }
}

} // namespace
