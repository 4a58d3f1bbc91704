// Whole runs of the program on trace files written by the tests.
#include "support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

namespace {

using wltest::run;

class Marrick : public ::testing::Test {
  protected:
    wltest::TempDir dir;
    // 200 samples, 0.25 s apart: the sample times add up exactly in binary.
    std::string w = wltest::write_trace(dir.path("w"), wltest::pulse(200, 60), 0.0f, 0.25f);
    std::string out = dir.path("out");

    static long peak(const wltest::Trace& t) {
        return std::max_element(t.y.begin(), t.y.end()) - t.y.begin();
    }
};

TEST_F(Marrick, CommandLineSelfDeconvolution) {
    const auto o = run({"-wavelet", "0", "49.75", w, w, out});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, " npts=  200 nft=  512 fny= 2.0000 delf=  0.0078 dt= 0.250\n");
    const auto r = wltest::read_trace(out);
    EXPECT_EQ(r.npts, 200);
    EXPECT_EQ(r.b, 0.0f);
    EXPECT_EQ(r.user2, 0.001f);
    EXPECT_EQ(r.user3, 2.0f);
    EXPECT_EQ(peak(r), 0);
}

TEST_F(Marrick, InputListSelfDeconvolutionIsAGaussianAtTenSeconds) {
    // -shift 0 still means the 10 s default of this mode.
    const auto line = w + " 0 40 " + w + " - - " + out + "\n";
    const auto o = run({"-freq", "1", "-shift", "0", "-wl", "1e-6"}, line);
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, out + "\n");
    const auto r = wltest::read_trace(out);
    EXPECT_EQ(r.b, -10.0f);
    EXPECT_EQ(r.user2, 1e-6f);
    const float a = 3.1415927f / 1.5174271f;
    EXPECT_EQ(r.user3, a);
    EXPECT_EQ(r.npts, 200); // nint((40 + 10)/0.25)
    EXPECT_EQ(peak(r), 40);
    // (2G - g0 - gh)/(2G), G the sum of the Gaussian over 0 .. 2 Hz in 1/128 Hz steps
    double g = 0;
    float gh = 0;
    for (int j = 0; j <= 256; ++j) {
        const float om = (static_cast<float>(j) * (2.0f / 256)) * 6.2831855f;
        g += gh = std::exp(-(om * om) / (a * (4 * a)));
    }
    EXPECT_NEAR(r.y[40], (2 * g - 1 - gh) / (2 * g), 2e-6);
}

TEST_F(Marrick, LaterOptionsOverrideEarlier) {
    ASSERT_EQ(run({"-freq", "1", "-pars", "0.01", "3", "-wavelet", "0", "30", w, w, out}).status,
              0);
    auto r = wltest::read_trace(out);
    EXPECT_EQ(r.user2, 0.01f);
    EXPECT_EQ(r.user3, 3.0f);
    // Regression: a lone slash reads nothing and must keep the value in force,
    // not set it to 0.
    ASSERT_EQ(
        run({"-wl", "0.02", "-wl", "/", "-freq", "/", "-wavelet", "0", "30", w, w, out}).status, 0);
    r = wltest::read_trace(out);
    EXPECT_EQ(r.user2, 0.02f);
    EXPECT_EQ(r.user3, 2.0f);
}

TEST_F(Marrick, RecoversSpikeTrainTimesAndSigns) {
    const int n = 1600; // 80 s at 20 samples per second
    const auto s = wltest::pulse(n, 60);
    std::vector<float> r(n, 0.0f);
    const int at[] = {400, 700, 1000};
    const float amp[] = {1.0f, -0.5f, 0.3f};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; at[k] + i < n; ++i) r[at[k] + i] += amp[k] * s[i];
    wltest::write_trace(dir.path("s"), s, 0.0f, 0.05f);
    wltest::write_trace(dir.path("r"), r, 0.0f, 0.05f);
    const auto o = run({"-freq", "2"}, dir.path("s") + " 0 79.95 " + dir.path("r") + " - - " + out);
    ASSERT_EQ(o.status, 0) << o.err;
    const auto rf = wltest::read_trace(out);
    EXPECT_EQ(rf.npts, 1799);
    for (int k = 0; k < 3; ++k) {
        const auto lo = rf.y.begin() + at[k] + 200 - 20; // 10 s shift = 200 samples
        const auto top = std::max_element(
            lo, lo + 40, [](float a, float b) { return std::abs(a) < std::abs(b); });
        EXPECT_EQ(top - rf.y.begin(), at[k] + 200) << k;
        EXPECT_NEAR(*top, amp[k], 0.05f * std::abs(amp[k])) << k;
    }
}

TEST_F(Marrick, SampleIntervalDriftLimit) {
    const auto wl = wltest::write_trace(dir.path("wl"), wltest::pulse(20000, 60), 0.0f, 0.05f);
    for (int n : {20000, 30000}) {
        const auto d = wltest::write_trace(dir.path("d"), wltest::pulse(n, 60), 0.0f, 0.05002f);
        const auto o = run({}, wl + " 0 100 " + d + " - - " + out);
        // drift 0.4 s goes on, 0.6 s stops
        EXPECT_EQ(o.said, n == 20000 ? "" : "STOP **Sample rate mismatch.\n");
        EXPECT_EQ(o.status, n == 20000 ? 0 : 1);
    }
}

// Names used to be cut to 64 characters, so that a longer output name wrote
// another file (and two long names sharing 64 characters the same one).
TEST_F(Marrick, NamesOf64CharactersAreEchoedWholeAndLongerOnesRefused) {
    const std::string base = dir.path("");
    const std::string name64 = base + std::string(64 - base.size(), 'n');
    const auto o = run({}, w + " 0 40 " + w + " - - " + name64 + "xyz\n" + w + " 0 40 " + w +
                               " - - " + name64 + "\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, name64 + "\n");
    EXPECT_EQ(o.err,
              " **File name longer than 64 characters.\n  line 1, file '" + name64 + "xyz'\n");
    EXPECT_FALSE(std::filesystem::exists(name64 + "xyz"));
    EXPECT_TRUE(std::filesystem::exists(name64));
    const auto cl = run({"-wavelet", "0", "40", w, w, name64 + "xyz"});
    EXPECT_EQ(cl.status, 1);
    EXPECT_EQ(cl.said, " **File name longer than 64 characters.\n");
}

TEST_F(Marrick, ConvolutionShiftsByTheConvFileOwnSamples) {
    // A spike at sample 6 and two far echoes that give the file no mean and no
    // trend, so its demeaning and detrending leave it as it is.
    std::vector<float> spikes(200, 0.0f);
    spikes[5] = 4.0f; // times dt: unit area
    spikes[150] = -4.0f - 580.0f / 49;
    spikes[199] = 580.0f / 49;
    // The begin time plays no part: the file is used from its first sample.
    const auto c = wltest::write_trace(dir.path("c"), spikes, 123.0f, 0.25f);
    ASSERT_EQ(run({"-wavelet", "0", "49.75", w, w, out}).status, 0);
    ASSERT_EQ(run({"-wavelet", "0", "49.75", "-convolve", c, w, w, dir.path("conv")}).status, 0);
    const auto plain = wltest::read_trace(out), conv = wltest::read_trace(dir.path("conv"));
    // The demeaned wavelet leaves the plain result without its mean; the
    // spikes sum to zero, so the convolution cancels that offset: compare
    // both against their level 8 s after the pulse.
    for (int k = 0; k < 40; ++k)
        EXPECT_NEAR(conv.y[k + 5] - conv.y[37], plain.y[k] - plain.y[32], 1e-4f) << k;
}

TEST_F(Marrick, OutputCountIsBoundedByTheTransform) {
    ASSERT_EQ(run({}, w + " 0 1e6 " + w + " - - " + out).status, 0);
    EXPECT_EQ(wltest::read_trace(out).npts, 512);
}

// Regression: the raw decon buffer was not cleared past its data, so a window
// reaching past a short trace's end interpolated towards an earlier job's samples.
TEST_F(Marrick, NoSampleOfAnEarlierJobLeaksIntoALaterOne) {
    const auto big = wltest::write_trace(dir.path("big"), std::vector<float>(400, 1e4f), 0, 0.25f);
    const std::string line = w + " 1.1 60 " + w + " - - " + out + "\n";
    ASSERT_EQ(run({}, line).status, 0);
    const auto alone = wltest::read_trace(out);
    ASSERT_EQ(run({}, big + " 0 60 " + big + " - - " + dir.path("x") + "\n" + line).status, 0);
    EXPECT_EQ(wltest::read_trace(out).y, alone.y);
    // Buffers are cleared only as far as anything was written: a longer
    // transform before, and a job skipped after its samples were read, leave
    // no trace either.
    const std::string skipped = big + " 500 600 " + big + " - - " + dir.path("y") + "\n";
    EXPECT_EQ(
        run({}, big + " 0 60 " + big + " - - " + dir.path("x") + "\n" + skipped + line).status, 1);
    EXPECT_EQ(wltest::read_trace(out).y, alone.y);
}

TEST_F(Marrick, InformationLineFillsTooWideFieldsWithAsterisks) {
    const auto slow = wltest::write_trace(dir.path("slow"), wltest::pulse(10, 10), 0, 1000.0f);
    const auto o = run({"-wavelet", "0", "9000", slow, slow, out});
    EXPECT_EQ(o.out, " npts=   10 nft=   32 fny= 0.0005 delf=  0.0000 dt=******\n");
}

TEST_F(Marrick, WriteFailureEndsTheListAfterEarlierOutputs) {
    const auto line = [&](const std::string& o) { return w + " 0 40 " + w + " - - " + o + "\n"; };
    const auto o = run({}, line(out) + line(dir.path("no/such")) + line(dir.path("third")));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, out + "\n");
    EXPECT_EQ(o.err, " **Trouble writing " + dir.path("no/such") + "\n  line 2, file '" +
                         dir.path("no/such") + "': No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(dir.path("third")));
}

// Problems of one job's data once stopped the whole list (or, for a begin
// time of -12345 or a spectral file, passed unnoticed); each now costs only
// its own job, with a message naming the file and why.
TEST_F(Marrick, AJobRefusedForItsDataCostsNoOtherJob) {
    const auto still = wltest::write_trace(dir.path("zero"), std::vector<float>(200), 0, 0.25f);
    const auto undefined_b =
        wltest::write_trace(dir.path("undef"), wltest::pulse(200, 60), -12345, 0.25f);
    // A copy of w that calls itself a spectral file (IFTYPE 2 = IRLIM).
    const std::string spectral = dir.path("spectral");
    std::filesystem::copy_file(w, spectral);
    {
        std::fstream f(spectral, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4 * 85 + 3);
        f.put(2);
    }
    const auto line = [&](const std::string& wav, const std::string& o) {
        return wav + " 0 40 " + w + " - - " + o + "\n";
    };
    const auto o = run({}, line(still, dir.path("a")) + line(undefined_b, dir.path("b")) +
                               line(spectral, dir.path("c")) +
                               line(w, std::string("|").append(dir.path("d"))) + line(w, out));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.out, out + "\n");
    EXPECT_EQ(o.said, " **Wavelet is zero - nothing to deconvolve.\n **Bad begin time.\n"
                      " **Not a time series.\n **Output name refused.\n");
    // The zero wavelet, not the decon input read after it, is named.
    EXPECT_NE(o.err.find("line 1, file '" + still + "'\n"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("line 2, file '" + undefined_b + "': B is undefined (-12345)"),
              std::string::npos);
    EXPECT_NE(o.err.find("line 3, file '" + spectral + "': IFTYPE is IRLIM, not ITIME"),
              std::string::npos);
    for (const char* none : {"a", "b", "c", "d"})
        EXPECT_FALSE(std::filesystem::exists(dir.path(none)));
}

// Debug files go where RF_DEBUG_DIR says; one that cannot be written is
// named in a warning, the result is still written and the status is 1.
TEST_F(Marrick, DebugFilesFollowTheirDirectoryVariable) {
    ::setenv("RF_DEBUG_DIR", dir.path().c_str(), 1);
    auto o = run({"-debug", "-wavelet", "0", "40", w, w, out});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path("decon.wav")));
    EXPECT_TRUE(std::filesystem::exists(dir.path("decon.trc")));
    ::setenv("RF_DEBUG_DIR", dir.path("missing").c_str(), 1);
    o = run({"-debug", "-wavelet", "0", "40", w, w, out});
    ::unsetenv("RF_DEBUG_DIR");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.said, " **Trouble writing debug file " + dir.path("missing/decon.wav") +
                          "\n **Trouble writing debug file " + dir.path("missing/decon.trc") +
                          "\n");
    EXPECT_TRUE(std::filesystem::exists(out));
}

// A trace is read with its header in one go where it can be; a file whose
// samples fall short of its header must still be judged by that header (a
// spectral or too long file) and not merely reported as unreadable.
TEST_F(Marrick, FilesShortOfTheirSamplesAreJudgedByTheirHeaders) {
    // A copy of w with header word `word` set (big-endian), cut to 632 + 400 bytes.
    const auto cut = [&](const std::string& name, int word, std::uint32_t value) {
        const std::string p = dir.path(name);
        std::filesystem::copy_file(w, p);
        {
            std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(4 * word);
            for (int shift = 24; shift >= 0; shift -= 8) f.put(static_cast<char>(value >> shift));
        }
        std::filesystem::resize_file(p, 632 + 400);
        return p;
    };
    const struct {
        std::string file;
        const char* said;
    } cases[] = {
        {cut("spectral", 85, 2), "STOP **Not a time series.\n"},         // IFTYPE IRLIM
        {cut("long", 79, 50000), "STOP **File too long, shorten it.\n"}, // NPTS
        {cut("short", 79, 200), "STOP **Trouble reading wavelet input file.\n"},
    };
    for (const auto& c : cases) {
        const auto o = run({"-wavelet", "0", "40", c.file, w, out});
        EXPECT_EQ(o.said, c.said) << c.file;
        EXPECT_EQ(o.status, 1) << c.file;
    }
}

TEST_F(Marrick, FailureMessagesAndStatuses) {
    const auto long_trace =
        wltest::write_trace(dir.path("long"), std::vector<float>(40000), 0, .25f);
    const auto fast = wltest::write_trace(dir.path("fast"), wltest::pulse(200, 60), 0, 0.26f);
    const auto empty = wltest::write_trace(dir.path("empty"), {}, 0, 0.25f);
    const auto still = wltest::write_trace(dir.path("zero"), std::vector<float>(200), 0, 0.25f);
    const auto flat = wltest::write_trace(dir.path("flat"), wltest::pulse(200, 60), 0, 0.0f);
    const auto back = wltest::write_trace(dir.path("back"), wltest::pulse(200, 60), 0, -0.25f);
    auto nan = wltest::pulse(200, 60);
    nan[7] = std::numeric_limits<float>::quiet_NaN();
    wltest::write_trace(dir.path("nan"), nan, 0, 0.25f);
    const std::string none = dir.path("none"), win[] = {"-wavelet", "0", "40"};
    // Later options override the window; a fourth and fifth name follow the output.
    const auto cl = [&](std::string a, std::string b, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args{win[0], win[1], win[2], a, b, out};
        args.insert(args.end(), more.begin(), more.end());
        return run(args);
    };
    const auto job = [&](const std::string& line) { return run({}, line + "\n"); };
    const struct {
        wltest::Outcome o;
        const char* err;
        int status;
    } cases[] = {
        {cl(none, w), "STOP **Trouble reading wavelet input file.\n", 1},
        {cl(w, none), "STOP **Trouble reading decon input file.\n", 1},
        {cl(w, w, {"-convolve", none}), "STOP **Trouble reading decon conv. file.\n", 1},
        {cl(long_trace, w), "STOP **File too long, shorten it.\n", 1},
        {cl(w, long_trace), "STOP **File too long, shorten it.\n", 1},
        {cl(w, w, {"-convolve", long_trace}), "STOP **File too long, shorten it.\n", 1},
        {cl(w, fast), "STOP **Sample rate mismatch.\n", 1},
        {cl(w, w, {"-convolve", fast}), "STOP **Sample rate mismatch.\n", 1},
        {cl(w, w, {"extra", "more"}),
         " **Dont understand more, skipping.\n **Fourth file name extra is not used without "
         "-convolve.\n",
         1},
        // A fourth name without -convolve was passed over without a word.
        {cl(w, w, {"extra"}), " **Fourth file name extra is not used without -convolve.\n", 1},
        {cl(w, w, {"extra", "-convolve", w}), "", 0},
        {run({w, w, out}), "STOP **Nonsense wavelet start/end values.\n", 1},
        {run({"-wl", "abc"}), " **Invalid water level.\n", 1},
        {run({"-pars", "0.1"}), " **Invalid water level & Gauss width.\n", 1},
        {run({"-freq"}), " **Invalid frequency.\n", 1},
        {run({"-taper", "x"}), " **Invalid taper value.\n", 1},
        {run({"-shift", "x"}), " **Invalid time shift value.\n", 1},
        {run({"-wavelet", "0", "x"}), " **Invalid wavelet end.\n", 1},
        {run({}), "", 0},
        {job(w + " 0 40"), "STOP **Bad input format (not enough data)\n", 1},
        {job(w + " x 40 w - - o"), " **Invalid window start.\n", 1},
        {job(w + " 0 y w - - o"), " **Invalid window end.\n", 1},
        {job(w + " 40 40 w - - o"), "STOP **Nonsense wavelet start/end values.\n", 1},
        // Not left to produce a non-finite or empty trace:
        {cl(empty, w), "STOP **Trace has no samples.\n", 1},
        {cl(flat, w), "STOP **Bad sample interval.\n", 1},
        {cl(w, back), "STOP **Bad sample interval.\n", 1},
        {cl(still, w), "STOP **Wavelet is zero - nothing to deconvolve.\n", 1},
        {cl(w, w, {"-wavelet", "0", "0.1"}), "STOP **Wavelet is zero - nothing to deconvolve.\n",
         1},
        {cl(w, dir.path("nan")), "STOP **Result is not finite - check the input traces.\n", 1},
        // A problem of one job's data costs only that job in a job list.
        {run({"-shift", "-5"}, w + " 0 1 " + w + " - - " + out),
         " **Window end lies before the output start - nothing to write.\n", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.o.said, c.err);
        EXPECT_EQ(c.o.status, c.status) << c.err;
    }
}

} // namespace
