#include "multitaper/tolvane.hpp"

#include "helpers.hpp"
#include "numerics/realft.hpp"
#include "synthetic.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

namespace {

using testing_support::TempDir;

using testing_support::Result;
using testing_support::tolvane;

struct Trace {
    std::vector<float> y = std::vector<float>(32000);
    int npts = 0;
    float b = 0, dt = 0, user2 = 0, user3 = 0;
    int nerr = -1;
    explicit Trace(const std::string& path) {
        traceio::rsac1(path, y, npts, b, dt, 32000, nerr);
        int e = 0;
        traceio::getfhv("user2", user2, e);
        traceio::getfhv("user3", user3, e);
    }
    float at(float time) const { return y[static_cast<int>(std::lround((time - b) / dt))]; }
    // The extreme value (largest magnitude) within +-w seconds of `time`.
    float extreme(float time, float w) const {
        float best = 0.0f;
        for (float t = time - w; t <= time + w + 1e-4f; t += dt)
            if (std::fabs(at(t)) > std::fabs(best)) best = at(t);
        return best;
    }
};

// One standard job line: windows around the arrival at 60 s.
std::string job(const TempDir& dir, const std::string& stem, const std::string& out,
                const std::string& decon = "55 85", const std::string& wavelet = "55 85",
                const std::string& noise = "10 40") {
    return dir.path(stem + ".z") + " " + decon + " " + dir.path(stem + ".r") + " " + wavelet + " " +
           noise + " " + dir.path(out) + "\n";
}

class Tolvane : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        ASSERT_TRUE(write_records(testing_support::make_records(1e-3f), dir.path("quiet")));
    }
};

TEST_F(Tolvane, RecoversTheSpikeTrainAtItsTimesAndSigns) {
    const Result r = tolvane({"-freq", "2"}, job(dir, "quiet", "rf.sac"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, dir.path("rf.sac") + "\n");
    EXPECT_EQ(r.err, "");
    const Trace t(dir.path("rf.sac"));
    ASSERT_EQ(t.nerr, 0);
    EXPECT_EQ(t.b, -10.0f);
    EXPECT_EQ(t.npts, 721); // 36 s of samples and the last
    EXPECT_EQ(t.user3, 2.0f);
    EXPECT_GT(t.user2, 0.95f);
    EXPECT_LE(t.user2, 1.0f);
    // Peaks at the spike lags, with their signs and about their sizes.
    const float direct = t.extreme(0.0f, 0.1f);
    EXPECT_NEAR(direct, 1.0f, 0.15f);
    EXPECT_FLOAT_EQ(t.extreme(0.0f, 0.5f), direct) << "the direct peak is at lag 0";
    EXPECT_NEAR(t.extreme(2.5f, 0.1f), 0.5f, 0.1f);
    EXPECT_NEAR(t.extreme(6.0f, 0.1f), -0.35f, 0.1f);
    EXPECT_LT(std::fabs(t.extreme(1.25f, 0.3f)), 0.1f);
    EXPECT_LT(std::fabs(t.extreme(-5.0f, 3.0f)), 0.1f);
}

// Regression: a dead channel (all-zero samples, like kestrum's T trace for
// an incident P wave) gave a coherence of 0/0 and ended the whole batch with
// "Result is not finite".  Now its receiver function is zero, its coherence
// undefined, and the jobs after it run.
TEST_F(Tolvane, DeadChannelsGiveZeroResultsAndTheBatchGoesOn) {
    auto dead = testing_support::make_records(0.0f);
    std::fill(dead.radial.begin(), dead.radial.end(), 0.0f);
    ASSERT_TRUE(write_records(dead, dir.path("dead")));
    const std::string dead_wavelet = dir.path("dead.r") + " 55 85 " + dir.path("quiet.r") +
                                     " 55 85 10 40 " + dir.path("w0.sac") + "\n";
    const Result r = tolvane({"-freq", "2"}, job(dir, "dead", "d0.sac") + dead_wavelet +
                                                 job(dir, "quiet", "ok.sac"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              dir.path("d0.sac") + "\n" + dir.path("w0.sac") + "\n" + dir.path("ok.sac") + "\n");
    EXPECT_EQ(r.err, " **Decon window holds no signal - receiver function of zeros, coherence "
                     "undefined.\n  line 1, file '" +
                         dir.path("dead.r") +
                         "'\n **Wavelet window holds no signal - receiver function of zeros, "
                         "coherence undefined.\n  line 2, file '" +
                         dir.path("dead.r") + "'\n");
    for (const char* zero : {"d0.sac", "w0.sac"}) {
        const Trace t(dir.path(zero));
        EXPECT_EQ(t.npts, 721);
        EXPECT_EQ(t.user2, -12345.0f);
        EXPECT_TRUE(std::all_of(t.y.begin(), t.y.begin() + t.npts, [](float v) { return v == 0; }));
    }
    EXPECT_GT(Trace(dir.path("ok.sac")).user2, 0.95f);
}

// Regression: the output carried E, DEPMIN, DEPMAX and DEPMEN of the decon
// input file (E = 149.95 on a receiver function ending at 26 s).
TEST_F(Tolvane, OutputHeaderDescribesTheSamplesWritten) {
    ASSERT_EQ(tolvane({"-freq", "2"}, job(dir, "quiet", "rf.sac")).status, 0);
    const Trace t(dir.path("rf.sac"));
    float e = 0, low = 0, high = 0, mean = 0, b = 0, dt = 0;
    int n = 0, nerr = 0;
    traceio::rsac1(dir.path("rf.sac"), {}, n, b, dt, 0, nerr); // the header as stored
    traceio::getfhv("e", e, nerr);
    traceio::getfhv("depmin", low, nerr);
    traceio::getfhv("depmax", high, nerr);
    traceio::getfhv("depmen", mean, nerr);
    const auto y = std::span<const float>(t.y).first(static_cast<std::size_t>(t.npts));
    EXPECT_EQ(e, t.b + static_cast<float>(t.npts - 1) * t.dt);
    EXPECT_EQ(low, *std::min_element(y.begin(), y.end()));
    EXPECT_EQ(high, *std::max_element(y.begin(), y.end()));
    double sum = 0;
    for (float v : y) sum += v;
    EXPECT_NEAR(mean, sum / t.npts, 1e-6);
}

TEST_F(Tolvane, CoherenceFallsAsNoiseGrows) {
    std::string lines;
    const float levels[] = {1e-3f, 0.1f, 1.0f, 100.0f};
    for (int i = 0; i < 4; ++i) {
        const std::string stem = std::string("n").append(std::to_string(i));
        ASSERT_TRUE(write_records(testing_support::make_records(levels[i], 5 + i), dir.path(stem)));
        lines += job(dir, stem, stem + ".rf");
    }
    const Result r = tolvane({"-freq", "2"}, lines);
    ASSERT_EQ(r.status, 0) << r.err;
    float last = 2.0f;
    for (int i = 0; i < 4; ++i) {
        const Trace t(dir.path(std::string("n").append(std::to_string(i)).append(".rf")));
        EXPECT_LT(t.user2, last) << "noise level " << levels[i];
        if (i == 0) {
            EXPECT_GT(t.user2, 0.99f);
        }
        last = t.user2;
    }
    // The segment spectra of one taper overlap heavily, so even unrelated
    // traces keep a sizeable coherence: the fall is clear, not to zero.
    EXPECT_LT(last, 0.9f);
}

TEST_F(Tolvane, SingleModeConditionsTheTracesAndReportsTheCoherence) {
    ASSERT_TRUE(
        write_records(testing_support::make_records(1e-3f), dir.path("offset"), 0.0f, 5.0f));
    const Result plain =
        tolvane({"-freq", "2", "-window", "55", "85", "-wavelet", "55", "85", "-noise", "10", "40",
                 dir.path("quiet.z"), dir.path("quiet.r"), dir.path("single.sac")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    const Trace a(dir.path("single.sac"));
    std::string expected = " ";
    expected.append(dir.path("single.sac")).append(": Avg. squared coherence  ");
    EXPECT_EQ(plain.out, expected.append(console::g15_8(a.user2)).append("\n"));
    // A constant offset is removed in single mode ...
    const Result shifted =
        tolvane({"-freq", "2", "-window", "55", "85", "-wavelet", "55", "85", "-noise", "10", "40",
                 dir.path("offset.z"), dir.path("offset.r"), dir.path("offset.sac")});
    ASSERT_EQ(shifted.status, 0) << shifted.err;
    const Trace b(dir.path("offset.sac"));
    EXPECT_NEAR(b.user2, a.user2, 1e-3f);
    for (int i = 0; i < a.npts; ++i) ASSERT_NEAR(b.y[i], a.y[i], 2e-3f) << i;
    // ... but not in batch mode, where it dominates the low frequencies.
    const Result batch = tolvane({"-freq", "2"}, job(dir, "offset", "batch.sac"));
    ASSERT_EQ(batch.status, 0) << batch.err;
    const Trace c(dir.path("batch.sac"));
    EXPECT_GT(std::fabs(c.user2 - a.user2), 1e-3f);
}

TEST_F(Tolvane, BatchLinesAreCheckedCountedAndSkipped) {
    const std::string good = job(dir, "quiet", "a.sac");
    std::string eight = good.substr(0, good.rfind(' ')) + "\n";
    const std::string ten = good.substr(0, good.size() - 1) + " extra\n";
    // "55,85" gives two values, shifting the rest: the 99 falls off the end.
    const std::string comma = dir.path("quiet.z") + " 55,85 55 " + dir.path("quiet.r") +
                              " 85 10 40 99 " + dir.path("c.sac") + "\n";
    const std::string word = job(dir, "quiet", "w.sac", "55 late");
    const Result r =
        tolvane({"-freq", "2"}, eight + ten.substr(0, ten.find("a.sac")) + "b.sac extra\n" + comma +
                                    word + job(dir, "quiet", "d.sac", "85 55"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.path("b.sac") + "\n" + dir.path("c.sac") + "\n");
    EXPECT_EQ(r.err, " **Bad input, line            1 , skipping.\n"
                     "  line 1: 8 tokens where 9 are needed\n"
                     " **Bad input, line            4 , skipping.\n"
                     "  line 4: the six window values are not all numbers\n"
                     " **Nonsense/no decon start/end values.\n"
                     "  line 5\n");
    const Trace b(dir.path("b.sac")), c(dir.path("c.sac"));
    ASSERT_EQ(b.npts, c.npts);
    for (int i = 0; i < b.npts; ++i) ASSERT_EQ(b.y[i], c.y[i]) << i;
}

TEST_F(Tolvane, WindowChecksComeInOrderAndSkipOnlyTheirLine) {
    const Result r = tolvane({}, job(dir, "quiet", "x.sac", "85 55", "85 55", "40 10") +
                                     job(dir, "quiet", "y.sac", "85 55", "55 85", "40 10") +
                                     job(dir, "quiet", "z.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.said, " **Nonsense/no wavelet start/end values.\n"
                      " **Nonsense/no noise start/end values.\n");
    EXPECT_EQ(r.out, dir.path("z.sac") + "\n");
}

// The result past nfft must be zero also after a longer job has filled the
// buffer (here nfft 1024 then 512, with 521 samples written).
TEST_F(Tolvane, SamplesPastTheTransformLengthAreZeroOnEveryLine) {
    const Result r = tolvane({}, job(dir, "quiet", "long.sac") +
                                     job(dir, "quiet", "short.sac", "55 75", "55 75"));
    ASSERT_EQ(r.status, 0) << r.err;
    const Trace t(dir.path("short.sac"));
    ASSERT_EQ(t.npts, 521);
    for (int i = 512; i < 521; ++i) EXPECT_EQ(t.y[i], 0.0f) << i;
    EXPECT_NE(t.y[511], 0.0f);
}

TEST_F(Tolvane, CutoffAtOrAboveNyquistIsClampedAndKeptInTheHeader) {
    const Result r = tolvane({"-freq", "100"}, job(dir, "quiet", "wide.sac"));
    ASSERT_EQ(r.status, 0) << r.err;
    const Trace t(dir.path("wide.sac"));
    EXPECT_EQ(t.user3, 100.0f);
    for (int i = 0; i < t.npts; ++i) ASSERT_TRUE(std::isfinite(t.y[i])) << i;
    EXPECT_GT(t.extreme(0.0f, 0.1f), 0.5f);
}

TEST_F(Tolvane, ZeroShiftPutsZeroLagAtTheFirstSample) {
    const Result r = tolvane({"-shift", "0", "-freq", "2"}, job(dir, "quiet", "s0.sac"));
    ASSERT_EQ(r.status, 0) << r.err;
    const Trace t(dir.path("s0.sac"));
    EXPECT_EQ(t.b, 0.0f);
    EXPECT_TRUE(std::signbit(t.b));
    EXPECT_NEAR(t.y[0], 1.0f, 0.15f);
    EXPECT_NEAR(t.at(2.5f), 0.5f, 0.1f);
}

TEST_F(Tolvane, OptionsAreRecognisedAsDocumented) {
    // -frequency selects the cutoff; -debugx is no option and no name; a
    // fourth file name is skipped with a warning but makes the status 1.
    const Result r =
        tolvane({"-frequency", "1.5", "-shift", "-debug", "x"}, job(dir, "quiet", "f.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " **Invalid time shift value.\n");
    const Result x = tolvane({"-frequency", "1.5", "-debugx"}, job(dir, "quiet", "f.sac"));
    EXPECT_EQ(x.status, 1);
    EXPECT_EQ(x.err, " **Unrecognized parameter: -debugx\n");
    EXPECT_EQ(x.out, "");
    const Result s =
        tolvane({"-frequency", "1.5", "-window", "55", "85", "-wavelet", "55", "85", "-noise", "10",
                 "40", dir.path("quiet.z"), dir.path("quiet.r"), dir.path("f.sac"), "c d"});
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(s.err, " **Dont understand c, skipping.\n");
    // (appended: g++ 12 -O3 misreads " " + string as an overlapping copy)
    const std::string said =
        std::string(" ").append(dir.path("f.sac")) + ": Avg. squared coherence";
    EXPECT_EQ(s.out.rfind(said, 0), 0u);
    EXPECT_EQ(Trace(dir.path("f.sac")).user3, 1.5f);
}

TEST(TolvaneCommandLine, MissingOrUnreadableValuesEndTheRun) {
    Result r = tolvane({"-window", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " **Invalid deconvolution end.\n");
    r = tolvane({"-noise", "x", "2"});
    EXPECT_EQ(r.err, " **Invalid noise window start.\n");
    r = tolvane({"-freq"});
    EXPECT_EQ(r.err, " **Invalid -freq value.\n");
    EXPECT_EQ(r.out, "");
}

TEST(TolvaneCommandLine, SingleModeNeedsEveryWindow) {
    const Result r = tolvane({"-window", "1", "2", "a", "b", "c"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " **Nonsense/no wavelet start/end values.\n");
}

TEST(TolvaneCommandLine, EmptyInputEndsQuietly) {
    const Result r = tolvane({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out + r.err, "");
}

TEST(TolvaneCommandLine, PackedTransformSelfTest) {
    EXPECT_TRUE(multitaper::packed_transform_sound(&numerics::realft));
    // A transform that takes n as a count of complex points touches 2n values.
    auto complex_count = +[](std::span<float> d, int n, int) {
        for (int i = 0; i < 2 * n; ++i) d[i] = 0.0f;
    };
    EXPECT_FALSE(multitaper::packed_transform_sound(complex_count));
}

class TolvaneStops : public Tolvane {
  protected:
    Result run_line(const std::string& line, std::vector<std::string> args = {}) {
        return tolvane(std::move(args), line);
    }
};

TEST_F(TolvaneStops, UnreadableFilesStopTheRun) {
    Result r = run_line(job(dir, "missing", "o.sac") + job(dir, "quiet", "p.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.said, "STOP **Trouble reading decon input file.\n");
    EXPECT_EQ(r.out, "");
    r = run_line(dir.path("missing.z 55 85 ") + dir.path("quiet.r 55 85 10 40 ") +
                 dir.path("o.sac\n"));
    EXPECT_EQ(r.said, "STOP **Trouble reading wavelet input file.\n");
}

TEST_F(TolvaneStops, SampleIntervalsMustAgreeWithinATenthOfAPercent) {
    auto near = testing_support::make_records(1e-3f, 1, 0.05002f);
    auto far = testing_support::make_records(1e-3f, 1, 0.0501f);
    ASSERT_TRUE(write_records(near, dir.path("near")));
    ASSERT_TRUE(write_records(far, dir.path("far")));
    Result r = run_line(dir.path("near.z 55 85 ") + dir.path("quiet.r 55 85 10 40 ") +
                        dir.path("o.sac\n"));
    EXPECT_EQ(r.status, 0) << r.err;
    r = run_line(dir.path("far.z 55 85 ") + dir.path("quiet.r 55 85 10 40 ") + dir.path("o.sac\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.said, "STOP **Sample rate mismatch.\n");
}

TEST_F(TolvaneStops, WindowLimits) {
    Result r = run_line(job(dir, "quiet", "o.sac", "55 1700"));
    EXPECT_EQ(r.said, "STOP **Decon file too large.\n");
    r = run_line(job(dir, "quiet", "o.sac", "0 900"));
    EXPECT_EQ(r.said, "STOP **Decon window too long.\n");
    r = run_line(job(dir, "quiet", "o.sac", "55 85", "55 1700"));
    EXPECT_EQ(r.said, "STOP **File too long - shorten.\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(TolvaneStops, TaperLimitDependsOnTheSampleInterval) {
    ASSERT_TRUE(
        write_records(testing_support::make_records(1e-3f, 3, 0.01f, 15000), dir.path("fast")));
    Result r = run_line(job(dir, "fast", "o.sac"), {"-freq", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Trace t(dir.path("o.sac"));
    EXPECT_EQ(t.npts, 3601);
    EXPECT_NEAR(t.extreme(0.0f, 0.05f), 1.0f, 0.15f);
    EXPECT_NEAR(t.extreme(6.0f, 0.05f), -0.35f, 0.1f);
    ASSERT_TRUE(
        write_records(testing_support::make_records(1e-3f, 3, 0.005f, 15000), dir.path("faster")));
    r = run_line(job(dir, "faster", "o.sac", "55 65", "55 65"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.said, "STOP **Taper storage too small.\n");
}

// A cutoff under half the frequency step used to divide the result by zero.
// It is a matter of the job's window: in batch mode only that job is lost.
TEST_F(TolvaneStops, CutoffBelowTheFrequencyStepStops) {
    const Result r = run_line(job(dir, "quiet", "o.sac") + job(dir, "quiet", "o.sac", "55 140"),
                              {"-freq", "0.009"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.said, " **Cutoff frequency below frequency step - no output.\n");
    EXPECT_EQ(r.out, dir.path("o.sac") + "\n"); // the longer window has a band
    const Result ok = run_line(job(dir, "quiet", "o.sac"), {"-freq", "0.01"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    const Trace t(dir.path("o.sac"));
    for (int i = 1; i < t.npts; ++i) ASSERT_EQ(t.y[i], t.y[0]) << "one bin: a constant";
}

// The result-length guard and the cutoff check used to run before the wavelet
// file and the taper were checked, so those stops were reported wrongly.
TEST_F(TolvaneStops, TraceAndTaperStopsComeBeforeTheAddedChecks) {
    ASSERT_TRUE(
        write_records(testing_support::make_records(1e-3f, 1, 0.0001f, 3000), dir.path("dense")));
    Result r = run_line(job(dir, "dense", "o.sac", "0.1 0.2", "0.1 0.2", "0 0.05"));
    EXPECT_EQ(r.said, "STOP **Taper storage too small.\n");
    r = run_line(dir.path("missing.z 55 85 ") + dir.path("quiet.r 55 85 10 40 ") +
                     dir.path("o.sac\n"),
                 {"-freq", "0.001"});
    EXPECT_EQ(r.said, "STOP **Trouble reading wavelet input file.\n");
}

// A zero sample interval used to give infinite sample indices.
TEST_F(TolvaneStops, ZeroSampleIntervalStops) {
    auto bad = testing_support::make_records(1e-3f);
    bad.dt = 0.0f;
    ASSERT_TRUE(write_records(bad, dir.path("bad")));
    const Result r = run_line(job(dir, "bad", "o.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.said, " **Bad sample interval in decon input file.\n");
}

TEST_F(TolvaneStops, FailedWriteWarnsAndGoesOn) {
    const Result r = run_line(dir.path("quiet.z 55 85 ") + dir.path("quiet.r 55 85 10 40 ") +
                              dir.path("no/such/dir/o.sac\n") + job(dir, "quiet", "ok.sac"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " **Trouble writing " + dir.path("no/such/dir/o.sac") + "\n  line 1, file '" +
                         dir.path("no/such/dir/o.sac") + "': No such file or directory\n");
    EXPECT_EQ(r.out, dir.path("ok.sac") + "\n");
}

} // namespace
