// Ordinary mistakes of a new user, each with the message that names it and,
// in a job list, the line; and the forms that must go on working.
#include "support.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

using wltest::run;

class Mistakes : public ::testing::Test {
  protected:
    wltest::TempDir dir;
    std::string w = wltest::write_trace(dir.path("w"), wltest::pulse(200, 60), 0.0f, 0.25f);
    std::string out = dir.path("out");
    std::string line(const std::string& window, const std::string& output) const {
        return w + " " + window + " " + w + " - - " + output + "\n";
    }
};

// Each of these once ran with default settings and status 0, or said nothing.
TEST_F(Mistakes, CommandLineMistakesAreRefusedBeforeAnyJob) {
    const std::string gauss = "STOP **Gaussian width must be above 0 (-freq or -pars).\n";
    const struct {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{"--freq", "2.5"}, " **Unrecognized parameter: --freq\n"},
        {{"-frq", "2.5"}, " **Unrecognized parameter: -frq\n"},
        {{"-wl", "0.01", "-x"}, " **Unrecognized parameter: -x\n"},
        {{"-"}, " **Unrecognized parameter: -\n"},
        {{"-freq", "0"}, gauss.c_str()},
        {{"-freq", "-1"}, gauss.c_str()},
        {{"-pars", "0.001", "0"}, gauss.c_str()},
        {{"-freq", "2", "-pars", "0.01", "-3"}, gauss.c_str()},
    };
    for (const auto& c : cases) {
        const auto o = run(c.args, line("0 40", out));
        EXPECT_EQ(o.status, 1) << c.err;
        EXPECT_EQ(o.err, c.err);
        EXPECT_EQ(o.out, "");
        EXPECT_FALSE(std::filesystem::exists(out)) << c.err;
    }
}

// A decimal comma once passed as the number before it: -freq 2,5 filtered at
// 2 Hz, a window start 0,5 began at 0, with status 0.
TEST_F(Mistakes, DecimalCommasAreRefused) {
    const std::string comma = ": '2,5' is more than one number (the decimal mark is a point)\n";
    const struct {
        std::vector<std::string> args;
        std::string input, err;
    } cases[] = {
        {{"-freq", "2,5"}, line("0 40", out), " **Invalid frequency.\n  " + comma.substr(2)},
        {{"-wl", "2,5"}, line("0 40", out), " **Invalid water level.\n  " + comma.substr(2)},
        {{"-shift", "2,5"},
         line("0 40", out),
         " **Invalid time shift value.\n  " + comma.substr(2)},
        {{"-wavelet", "0", "2,5", w, w, out}, "", " **Invalid wavelet end.\n  " + comma.substr(2)},
        {{}, line("2,5 40", out), " **Invalid window start.\n  line 1" + comma},
    };
    for (const auto& c : cases) {
        const auto o = run(c.args, c.input);
        EXPECT_EQ(o.status, 1) << c.err;
        EXPECT_EQ(o.err, c.err);
        EXPECT_EQ(o.out, "");
        EXPECT_FALSE(std::filesystem::exists(out)) << c.err;
    }
}

// A window that starts before the traces once cut as many samples as a trace
// holds from the window start, so the trace's last stretch (as long as the
// window reached before it) was left out of the deconvolution: a conversion
// 37.5 s after the direct wave was missing from the receiver function, with
// status 0.
TEST_F(Mistakes, AWindowStartingBeforeTheTracesReachesTheirEnd) {
    const float dt = 0.25f;
    std::vector<float> z(200, 0.0f), r(200, 0.0f);
    const auto p = wltest::pulse(60, 60);
    for (std::size_t i = 0; i < p.size(); ++i) {
        z[40 + i] = p[i];
        r[40 + i] += p[i];
        if (190 + i < r.size()) r[190 + i] += 0.5f * p[i];
    }
    const std::string zf = wltest::write_trace(dir.path("z"), z, 0.0f, dt);
    const std::string rf = wltest::write_trace(dir.path("r"), r, 0.0f, dt);
    const struct {
        const char* start;
        bool job_line;
    } cases[] = {{"0", true}, {"-5", true}, {"-20", true}, {"0", false}, {"-20", false}};
    for (const auto& c : cases) {
        const auto o = c.job_line ? run({}, zf + " " + c.start + " 50 " + rf + " - - " + out + "\n")
                                  : run({"-shift", "10", "-wavelet", c.start, "50", zf, rf, out});
        ASSERT_EQ(o.status, 0) << o.err;
        const auto t = wltest::read_trace(out);
        const auto at = [&](float lag) { return t.y[std::lround((lag - t.b) / dt)]; };
        EXPECT_NEAR(at(0.0f), 1.0f, 0.15f) << c.start;
        EXPECT_NEAR(at(37.5f), 0.5f, 0.1f) << c.start << (c.job_line ? " job line" : "");
    }
}

// A shift of the transform's span or more, or one so far below zero that
// zero lag comes round into the output, dated the direct wave a whole span
// away (at -204.8 s for -shift 250) without a word.  The output is written
// as it always was (runs may rely on it); the run now says so.
TEST_F(Mistakes, AShiftOutsideTheTransformIsSaid) {
    const std::string said = " **Time shift beyond the transform length.\n";
    const struct {
        std::vector<std::string> args;
        bool job_line;
        std::string said;
    } cases[] = {
        {{"-shift", "250"}, true, said},
        {{"-shift", "250", "-wavelet", "0", "40", w, w, out}, false, said},
        {{"-shift", "-150", "-wavelet", "0", "40", w, w, out}, false, said},
        {{"-shift", "100"}, true, ""},
        {{"-shift", "-20", "-wavelet", "0", "40", w, w, out}, false, ""},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(out);
        const auto o = run(c.args, c.job_line ? line("0 40", out) : "");
        EXPECT_EQ(o.said, c.said) << c.args[1];
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_TRUE(std::filesystem::exists(out)) << c.args[1];
    }
}

// A forgotten output name once turned the run into an input list that read
// nothing and ended with status 0; a window given with job lines was
// silently replaced by theirs.
TEST_F(Mistakes, NamesAndWindowNeedTheirMode) {
    const struct {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{"-wavelet", "0", "40", w, w},
         " **A job on the command line needs three file names (wavelet, decon input, output); 2 "
         "given.\n"},
        {{w},
         " **A job on the command line needs three file names (wavelet, decon input, "
         "output); 1 given.\n"},
        {{"-wavelet", "0", "40"},
         " **-wavelet is for a job named on the command line; job "
         "lines give their own window.\n"},
    };
    for (const auto& c : cases) {
        const auto o = run(c.args, line("0 40", out));
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, c.err);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST_F(Mistakes, HelpRunsNothing) {
    for (const char* h : {"-h", "-help", "--help"}) {
        const auto o = run({"-wl", "0.01", h}, line("0 40", out));
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.out.rfind("Usage: marrick", 0), 0u) << h;
        EXPECT_NE(o.out.find("wavelet-file window-start window-end decon-file - - output-file"),
                  std::string::npos);
        EXPECT_EQ(o.err, "");
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST_F(Mistakes, NegativeValuesAndNamesStillPass) {
    const auto o = run({"-wavelet", "-5", "40", "-shift", "-2", w, w, out});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(wltest::read_trace(out).b, 2.0f);
}

// A window after the trace once ended with "Wavelet is zero"; a missing
// file did not say which.  Each is named with its line, and the run goes
// on where the job alone is lost.
TEST_F(Mistakes, JobMistakesNameTheirLineFileAndReason) {
    const std::string none = dir.path("none");
    const auto o = run({}, line("300 320", dir.path("a")) + line("0 40", dir.path("b")) + w +
                               " 0 40 " + none + " - - " + out + "\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, dir.path("b") + "\n");
    EXPECT_EQ(o.err,
              " **Window 300 to 320 s lies wholly outside the wavelet trace (0 to 49.75 s).\n"
              "  line 1, file '" +
                  w +
                  "'\n"
                  "STOP **Trouble reading decon input file.\n"
                  "  line 3, file '" +
                  none + "': No such file or directory\n");
    const auto cl = run({"-wavelet", "-80", "-60", w, w, out});
    EXPECT_EQ(cl.status, 1);
    EXPECT_EQ(cl.err,
              " **Window -80 to -60 s lies wholly outside the wavelet trace (0 to 49.75 s).\n"
              "  file '" +
                  w + "'\n");
}

TEST_F(Mistakes, AValueOnALineThatIsNoNumberNamesTheLine) {
    const auto o = run({}, line("0 40", out) + w + " 0 4O " + w + " - - x\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, " **Invalid window end.\n  line 2\n");
}

// Two lines naming the same output once left only the second result, with
// status 0.  A stream output (/dev/null here) is written by every line.
TEST_F(Mistakes, NoLineReplacesTheOutputOfAnEarlierOne) {
    const std::string dotted = dir.path(".") + "/out";
    const auto o = run({}, line("0 40", out) + line("0 30", dotted) + line("0 40", "/dev/null") +
                               line("0 30", "/dev/null"));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, out + "\n/dev/null\n/dev/null\n");
    EXPECT_EQ(o.err, " **Output already written by line 1, skipping.\n  line 2, file '" + dotted +
                         "': two job lines name the same output\n");
    EXPECT_EQ(wltest::read_trace(out).npts, 200); // (40 s + 10 s shift) / 0.25 s: line 1
}

} // namespace
