// Ordinary mistakes of a new user, each with the message that names it and,
// in a job list, the line; and the forms that must go on working.
#include "multitaper/tolvane.hpp"

#include "helpers.hpp"
#include "synthetic.hpp"
#include "traceio/sacfile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

namespace {

using testing_support::TempDir;

using testing_support::Result;
using testing_support::tolvane;

class TolvaneMistakes : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        ASSERT_TRUE(write_records(testing_support::make_records(1e-3f), dir.path("quiet")));
    }
    // A job line on stem.z and stem.r (150 s from 0 s).
    std::string job(const std::string& stem, const std::string& out,
                    const std::string& decon = "55 85", const std::string& noise = "10 40") const {
        return dir.path(stem + ".z") + " " + decon + " " + dir.path(stem + ".r") + " 55 85 " +
               noise + " " + dir.path(out) + "\n";
    }
};

// Each of these once ran with the default settings and status 0.
TEST_F(TolvaneMistakes, CommandLineMistakesAreRefusedBeforeAnyJob) {
    const std::string cutoff = "STOP **Cutoff frequency must be above 0 (-freq).\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"-frq", "2"}, " **Unrecognized parameter: -frq\n"},
        {{"-sft", "5"}, " **Unrecognized parameter: -sft\n"},
        {{"--freq", "2"}, " **Unrecognized parameter: --freq\n"},
        {{"-freq", "0"}, cutoff},
        {{"-frequency", "-2"}, cutoff},
    };
    for (const auto& c : cases) {
        const Result r = tolvane(c.args, job("quiet", "o.sac"));
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_FALSE(std::filesystem::exists(dir.path("o.sac")));
    }
    // Window values are still taken as given, negative ones included.
    const Result neg = tolvane({"-window", "-5", "85", "-wavelet", "-5", "85", "-noise", "10", "40",
                                dir.path("quiet.z"), dir.path("quiet.r"), dir.path("o.sac")});
    EXPECT_EQ(neg.status, 0) << neg.err;
}

// A decimal comma once passed as the number before it: -freq 2,5 cut off at
// 2 Hz, -window 55 85,5 ended at 85 s, with status 0.  (Job lines read their
// six window values as one list, where "55,85" gives two values.)
TEST_F(TolvaneMistakes, DecimalCommasInOptionsAreRefused) {
    const std::string why = "'85,5' is more than one number (the decimal mark is a point)\n";
    const Result opt = tolvane({"-freq", "85,5"}, job("quiet", "o.sac"));
    EXPECT_EQ(opt.status, 1);
    EXPECT_EQ(opt.err, " **Invalid -freq value.\n  " + why);
    const Result single =
        tolvane({"-window", "55", "85,5", "-wavelet", "55", "85", "-noise", "10", "40",
                 dir.path("quiet.z"), dir.path("quiet.r"), dir.path("o.sac")});
    EXPECT_EQ(single.status, 1);
    EXPECT_EQ(single.err, " **Invalid deconvolution end.\n  " + why);
    EXPECT_FALSE(std::filesystem::exists(dir.path("o.sac")));
}

// A shift of the transform's span or more, or one below zero that brings
// zero lag round into the output, put the direct wave a whole span from
// where B dates it (at -28 s for -shift 100) without a word.  The output is
// written as it always was (runs may rely on it); the run now says so.
TEST_F(TolvaneMistakes, AShiftOutsideTheTransformIsSaid) {
    const std::string said = " **Time shift beyond the transform length.\n";
    const struct {
        const char* shift;
        std::string said;
    } cases[] = {
        {"100", said}, {"1e9", said}, {"-30", said}, {"30", ""}, // within the span of a 30 s window
        {"-5", ""}, // zero lag comes round after the output's end
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.path("o.sac"));
        const Result r = tolvane({"-freq", "2", "-shift", c.shift}, job("quiet", "o.sac"));
        EXPECT_EQ(r.said, c.said) << c.shift;
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(std::filesystem::exists(dir.path("o.sac"))) << c.shift;
    }
}

// File names without the windows of single mode were once passed over, and
// the run read an empty job list and ended with status 0.
TEST_F(TolvaneMistakes, FileNamesNeedTheirMode) {
    const std::string z = dir.path("quiet.z"), r = dir.path("quiet.r"), o = dir.path("o.sac");
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"-freq", "2", z, r, o},
         " **File names on the command line need -window, -wavelet and "
         "-noise; job lines give their own.\n"},
        {{"-window", "55", "85", "-wavelet", "55", "85", "-noise", "10", "40", z, r},
         " **Single mode needs three file names (wavelet, decon, output); 2 given.\n"},
    };
    for (const auto& c : cases) {
        const Result res = tolvane(c.args);
        EXPECT_EQ(res.status, 1);
        EXPECT_EQ(res.err, c.err);
    }
}

TEST_F(TolvaneMistakes, HelpRunsNothing) {
    for (const char* h : {"-h", "-help", "--help"}) {
        const Result r = tolvane({h}, job("quiet", "o.sac"));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: tolvane", 0), 0u);
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(std::filesystem::exists(dir.path("o.sac")));
    }
}

// A window after its trace once ended the run with "Result is not finite".
TEST_F(TolvaneMistakes, WindowsOutsideTheirTraceAreNamed) {
    const std::string z = dir.path("quiet.z"), r_file = dir.path("quiet.r");
    const Result r =
        tolvane({}, job("quiet", "a.sac", "300 330") + job("quiet", "b.sac", "55 85", "-60 -30") +
                        job("quiet", "c.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.path("c.sac") + "\n");
    EXPECT_EQ(r.err, " **Decon window 300 to 330 s lies wholly outside the decon input trace "
                     "(0 to 149.95 s).\n  line 1, file '" +
                         r_file +
                         "'\n"
                         " **Noise window -60 to -30 s lies wholly outside the wavelet trace "
                         "(0 to 149.95 s).\n  line 2, file '" +
                         z + "'\n");
}

// Traces in units that make amplitudes of 1e-12 or 1e10 overflow or
// underflow the single-precision spectra; the message once left the user
// to guess why the result was not finite.
TEST_F(TolvaneMistakes, AmplitudesSpectraCannotHoldAreNamed) {
    const struct {
        float scale;
        const char* why;
    } cases[] = {{1e-12f, "too small for single-precision spectra"},
                 {1e10f, "too large for single-precision spectra"}};
    for (const auto& c : cases) {
        testing_support::Records rec = testing_support::make_records(1e-3f);
        for (float& v : rec.vertical) v *= c.scale;
        for (float& v : rec.radial) v *= c.scale;
        ASSERT_TRUE(write_records(rec, dir.path("scaled")));
        const Result r = tolvane({"-freq", "2"}, job("scaled", "o.sac"));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.said, " **Result is not finite - check the input traces.\n") << c.scale;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
    }
}

// Traces 4 s apart get a taper too short for three tapers, and the taper
// design pauses.  The answer was once read from the job list: the next job
// line was eaten, or a line "go" resumed with an invalid taper design.
TEST_F(TolvaneMistakes, APauseSkipsItsJobInsteadOfReadingTheJobList) {
    ASSERT_TRUE(
        write_records(testing_support::make_records(1e-3f, 1, 4.0f, 100), dir.path("coarse")));
    const std::string where = "  line 1, file '" + dir.path("coarse.z") +
                              "': job skipped, a pause takes no answer from the job list\n";
    const Result r = tolvane({"-freq", "0.1"}, job("coarse", "a.sac", "40 300", "8 36") + "go\n" +
                                                   job("quiet", "b.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.path("b.sac") + "\n");
    EXPECT_EQ(r.err, "PAUSE **MTAPER: nwin not << n! - invalid use.\n" + where +
                         " **Bad input, line            2 , skipping.\n"
                         "  line 2: 1 token where 9 are needed\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path("a.sac")));
    // One job from the command line still asks.
    const Result single =
        tolvane({"-freq", "0.1", "-window", "55", "300", "-wavelet", "55", "85", "-noise", "8",
                 "36", dir.path("coarse.z"), dir.path("coarse.r"), dir.path("s.sac")},
                "go\n");
    EXPECT_EQ(single.err, "PAUSE **MTAPER: nwin not << n! - invalid use.\n"
                          "To resume execution, type go.  Other input will terminate the job.\n"
                          "RESUMED\n");
}

// Names used to be cut to 80 characters, writing another file than named.
TEST_F(TolvaneMistakes, NamesLongerThanTheirFieldAreRefused) {
    const std::string base = dir.path("");
    const std::string longer = base + std::string(81 - base.size(), 'n');
    const Result r = tolvane({}, job("quiet", longer.substr(base.size())) + job("quiet", "ok.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.path("ok.sac") + "\n");
    EXPECT_EQ(r.err, " **File name longer than 80 characters.\n  line 1, file '" + longer + "'\n");
    EXPECT_FALSE(std::filesystem::exists(longer.substr(0, 80)));
}

// Two lines naming the same output once left only the second result, with
// status 0.
TEST_F(TolvaneMistakes, NoLineReplacesTheOutputOfAnEarlierOne) {
    const Result r = tolvane({}, job("quiet", "a.sac") + job("quiet", "./a.sac", "60 80"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.path("a.sac") + "\n");
    EXPECT_EQ(r.err, " **Output already written by line 1, skipping.\n  line 2, file '" +
                         dir.path("./a.sac") + "': two job lines name the same output\n");
}

} // namespace

namespace {

// Time (s) of the largest sample of a trace file, from its B and DELTA.
float time_of_peak(const std::string& file) {
    std::vector<float> y(4096);
    int n = 0, nerr = 0;
    float b = 0.0f, dt = 0.0f;
    traceio::rsac1(file, y, n, b, dt, static_cast<int>(y.size()), nerr);
    if (nerr != 0 || n < 1) return NAN;
    const auto peak = std::max_element(
        y.begin(), y.begin() + n, [](float a, float c) { return std::fabs(a) < std::fabs(c); });
    return b + static_cast<float>(peak - y.begin()) * dt;
}

} // namespace

// A wavelet window that starts at another time than the decon window moves
// the direct wave by the difference (to -5 s for a wavelet window from 50 s
// with a decon window from 55 s), since the spectra are dated from their own
// windows; that once went without a word.  The output stays as it always
// was (runs may rely on it), and the run says where the arrivals stand.
TEST_F(TolvaneMistakes, WaveletWindowStartingElsewhereIsSaid) {
    const std::string z = dir.path("quiet.z"), r_file = dir.path("quiet.r");
    const std::string said = " **Wavelet and decon windows start at different times.\n";
    const struct {
        const char* window;
        float peak; // s
        bool said;
    } cases[] = {{"55 85", 0, false},
                 {"55 70", 0, false},
                 {"50 85", -5, true},
                 {"58 85", 3, true},
                 {"52 65", -3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window);
        const std::string out = dir.path("w.sac");
        const Result r = tolvane({"-freq", "2"},
                                 z + " 55 85 " + r_file + " " + c.window + " 10 40 " + out + "\n");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.said, c.said ? said : "");
        EXPECT_NEAR(time_of_peak(out), c.peak, 0.01f);
    }
    // The same in single mode, where -window and -wavelet differ.
    const Result single = tolvane({"-freq", "2", "-window", "55", "85", "-wavelet", "50", "85",
                                   "-noise", "10", "40", z, r_file, dir.path("s.sac")});
    EXPECT_EQ(single.status, 0) << single.err;
    EXPECT_EQ(single.said, said);
    EXPECT_NEAR(time_of_peak(dir.path("s.sac")), -5.0f, 0.01f);
}
