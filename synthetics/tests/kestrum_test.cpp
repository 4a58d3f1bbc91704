// Whole runs of the synthetics program, in process, on models in a private
// temporary directory.
#include "synthetics/kestrum.hpp"
#include "synthetics/reflectivity.hpp"

#include "support.hpp"

#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace synthetics {
namespace {

using testing::Capture;
using testing::model_text;
using testing::TempDir;

using testing::Outcome;
using testing::run;

struct Trace {
    std::vector<float> y;
    float b = 0, delta = 0;
    float value(const char* field) const {
        float v = 0;
        int e = 0;
        traceio::getfhv(field, v, e);
        return v;
    }
    std::string text(const char* field) const {
        std::string v;
        int e = 0;
        traceio::getkhv(field, v, e);
        return v;
    }
    // Sample index of time t (seconds, trace time axis).
    long index(double t) const { return std::lround((t - b) / delta); }
    // Index of the largest |sample| within `half` samples of index i.
    long peak(long i, long half = 10) const {
        long best = i;
        for (long k = i - half; k <= i + half; ++k)
            if (std::abs(y[static_cast<size_t>(k)]) > std::abs(y[static_cast<size_t>(best)]))
                best = k;
        return best;
    }
    float at(long i) const { return y[static_cast<size_t>(i)]; }
    float max_abs(double t0, double t1) const {
        float m = 0;
        for (long k = index(t0); k <= index(t1); ++k) m = std::max(m, std::abs(at(k)));
        return m;
    }
};

// Reads a trace; its header stays in the store for `value` and `text`.
Trace read_trace(const std::string& name) {
    Trace t;
    t.y.resize(10000);
    int n = 0, e = 0;
    traceio::rsac1(name, t.y, n, t.b, t.delta, 10000, e);
    EXPECT_EQ(e, 0) << name;
    t.y.resize(static_cast<size_t>(n));
    return t;
}

std::string bytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

const std::vector<std::vector<double>> crust = {{6.3, 3.6, 2.8, 35}, {8.1, 4.5, 3.3}};

struct Times {
    double ps, ppps, ppss;
};
Times ray_times(double H, double a, double b, double p) {
    double xi = std::sqrt(1 / (a * a) - p * p), eta = std::sqrt(1 / (b * b) - p * p);
    return {H * (eta - xi), H * (eta + xi), 2 * H * eta};
}

TEST(Kestrum, SamplingOptionsAgreeAndFillTheHeader) {
    TempDir d;
    std::string a = d.write("a.mod", model_text("crust", crust));
    std::string b = d.write("b.mod", model_text("crust", crust));
    Outcome r1 = run({"-sps", "20", "-p", "0.06", "s/km", "-con"}, a + "\n");
    ASSERT_EQ(r1.status, 0) << r1.err;
    EXPECT_EQ(r1.out, a + "_sp.z " + a + "_sp.r " + a + "_sp.t \n");
    Outcome r2 = run({"-dt", "0.05", "-p", "0.06", "s/km"}, b + "\n");
    ASSERT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(r2.out, "");
    for (const char* c : {"_sp.z", "_sp.r", "_sp.t"}) EXPECT_EQ(bytes(a + c), bytes(b + c)) << c;

    Trace z = read_trace(a + "_sp.z");
    EXPECT_EQ(z.y.size(), 4401u);
    EXPECT_FLOAT_EQ(z.b, -20.0f);
    EXPECT_FLOAT_EQ(z.value("e"), 200.0f);
    EXPECT_FLOAT_EQ(z.value("user0"), 0.06f);
    EXPECT_EQ(z.text("kuser0"), "s/km");
    EXPECT_EQ(z.text("ka"), "P");
    EXPECT_EQ(z.text("kt0"), "noise");
    EXPECT_FLOAT_EQ(z.value("a"), -10.0f);
    EXPECT_FLOAT_EQ(z.value("stlo"), 90.0f);
    EXPECT_FLOAT_EQ(z.value("cmpinc"), 0.0f);
    // The first 20 s are padding before the direct wave.
    EXPECT_TRUE(std::all_of(z.y.begin(), z.y.begin() + 400, [](float v) { return v == 0.0f; }));
    Trace r = read_trace(a + "_sp.r");
    EXPECT_FLOAT_EQ(r.value("cmpaz"), 90.0f);
    EXPECT_FLOAT_EQ(r.value("cmpinc"), 90.0f);
    // Incident P: no tangential motion.
    Trace t = read_trace(a + "_sp.t");
    EXPECT_TRUE(std::all_of(t.y.begin(), t.y.end(), [](float v) { return v == 0.0f; }));
}

// The radial response of a crust over a mantle: direct P at 0, then Ps, PpPs
// and PpSs+PsPs at their ray-theory times with the signs of a speed increase.
TEST(Kestrum, CrustalConversionsAtRayTheoryTimes) {
    TempDir d;
    std::string m = d.write("crust.mod", model_text("crust", crust));
    ASSERT_EQ(run({"-sps", "20", "-p", "0.06", "s/km"}, m + "\n").status, 0);
    Trace r = read_trace(m + "_sp.r");
    Times t = ray_times(35, 6.3, 3.6, 0.06);
    EXPECT_EQ(r.peak(r.index(0.0)), r.index(0.0));
    EXPECT_GT(r.at(r.index(0.0)), 0.0f);
    for (double time : {t.ps, t.ppps, t.ppss})
        EXPECT_LE(std::abs(r.peak(r.index(time)) - r.index(time)), 1) << time;
    EXPECT_GT(r.at(r.peak(r.index(t.ps))), 0.1f);
    EXPECT_GT(r.at(r.peak(r.index(t.ppps))), 0.1f);
    EXPECT_LT(r.at(r.peak(r.index(t.ppss))), -0.1f);
    // The vertical has its largest motion in the direct P.
    Trace z = read_trace(m + "_sp.z");
    EXPECT_EQ(z.peak(z.index(10.0), 400), z.index(0.0));
}

// Letter n keeps one reverberation in the top layer: every multiple of second
// order (from 4 H qP = 20.6 s on) is gone, while letter f keeps all orders.
TEST(Kestrum, ResponseLetterSelectsTheOrderOfMultiples) {
    TempDir d;
    std::string f = d.write("f.mod", model_text("crust", crust));
    std::string n = d.write("n.mod", model_text("crust", crust));
    ASSERT_EQ(run({"-sps", "20", "-p", "0.06", "s/km", "-resp", "full"}, f + "\n").status, 0);
    ASSERT_EQ(run({"-sps", "20", "-p", "0.06", "s/km", "-resp", "n"}, n + "\n").status, 0);
    Trace rf = read_trace(f + "_sp.r"), rn = read_trace(n + "_sp.r");
    Times t = ray_times(35, 6.3, 3.6, 0.06);
    // First-order multiples are the same in both.
    long i = rn.index(t.ppps);
    EXPECT_NEAR(rn.at(i), rf.at(i), 0.02f * std::abs(rf.at(i)));
    // Second order: the S reverberation taken twice, 4 H qS = 38.0 s.
    double second = 2 * t.ppss;
    float full = rf.max_abs(second - 0.3, second + 0.3);
    EXPECT_GT(full, 0.05f);
    EXPECT_LT(rn.max_abs(26.0, 120.0), 0.05f * full);
}

TEST(Kestrum, ResponseLettersSetTheLayerModes) {
    TempDir d;
    std::string m = d.write(
        "s.mod", model_text("sed", {{2.5, 1.2, 2.1, 2}, {6.3, 3.6, 2.8, 33}, {8.1, 4.5, 3.3}}));
    struct Case {
        const char* letter;
        short top, below;
    };
    for (Case c : {Case{"f", -1, -1}, Case{"F", 1, -1}, Case{"p", 1, 1}, Case{"n", 1, 0}}) {
        ASSERT_EQ(run({"-sps", "5", "-p", "0.06", "s/km", "-resp", c.letter}, m + "\n").status, 0);
        EXPECT_EQ(rfltrn().mode[1], c.top) << c.letter;
        EXPECT_EQ(rfltrn().mode[2], c.below) << c.letter;
        EXPECT_EQ(rfltrn().mode[3], c.below) << c.letter;
    }
}

// Earth flattening thickens the layer and speeds it up: the Ps conversion of
// a 600 km layer moves by about 1.8 s, to the time of the flattened model.
TEST(Kestrum, SphericalCorrectionMovesConversions) {
    TempDir d;
    std::string m = d.write("thick.mod", model_text("thick", {{8, 4.5, 3.3, 600}, {9, 5.2, 3.5}}));
    ASSERT_EQ(run({"-sps", "20", "-p", "0.09", "s/km", "-sph"}, m + "\n").status, 0);
    Trace r = read_trace(m + "_sp.r");
    const double R = 6371, H = 600;
    double hf = R * std::log(R / (R - H)), k = R / (R - H / 2);
    double flat = ray_times(hf, 8 * k, 4.5 * k, 0.09).ps;
    double plain = ray_times(H, 8, 4.5, 0.09).ps;
    ASSERT_GT(std::abs(r.index(flat) - r.index(plain)), 30);
    EXPECT_LE(std::abs(r.peak(r.index(flat)) - r.index(flat)), 1);
    EXPECT_GT(r.at(r.index(flat)), 0.1f);
}

TEST(Kestrum, IncidentSAlignsTheDirectSAtZero) {
    TempDir d;
    std::string m = d.write("c.mod", model_text("crust", crust));
    Outcome r = run({"-sps", "20", "-p", "0.1", "s/km", "-type", "S"}, m + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    Trace t = read_trace(m + "_sp.t");
    EXPECT_FLOAT_EQ(t.b, -90.0f);
    EXPECT_FLOAT_EQ(t.value("t0"), -85.0f);
    EXPECT_FLOAT_EQ(t.value("f"), 3.0f);
    EXPECT_EQ(t.text("ka"), "S");
    EXPECT_EQ(t.peak(t.index(0.0), 1700), t.index(0.0));
    Trace rr = read_trace(m + "_sp.r");
    EXPECT_EQ(rr.peak(rr.index(0.0), 20), rr.index(0.0));
    EXPECT_GT(rr.at(rr.index(0.0)), 0.0f);
}

// Regression: the vertical of incident S had the wrong sign against the
// radial.  On a half-space the direct S moves the surface as a plane SV wave.
TEST(Kestrum, IncidentSMovesTheSurfaceAsAPlaneSVWave) {
    TempDir d;
    std::string m = d.write("h.mod", model_text("half", {{8.1, 4.5, 3.3}}));
    ASSERT_EQ(run({"-sps", "20", "-p", "0.1", "s/km", "-type", "S"}, m + "\n").status, 0);
    Trace z = read_trace(m + "_sp.z"), r = read_trace(m + "_sp.r");
    const testing::Medium half{8.1, 4.5, 3.3};
    double ratio = testing::direct_ratio(half, 0.0, half, 0.1, 1.0, 1).real(); // R/Z
    long i = z.index(0.0);
    EXPECT_NEAR(r.at(i) / z.at(i), ratio, 0.02 * std::abs(ratio));
}

TEST(Kestrum, SlownessInDegreesAndPerLine) {
    TempDir d;
    std::string a = d.write("a.mod", model_text("crust", crust));
    std::string b = d.write("b.mod", model_text("crust", crust));
    ASSERT_EQ(run({"-sps", "20", "-p", "6.671", "s/deg"}, a + "\n").status, 0);
    Trace deg = read_trace(a + "_sp.r");
    EXPECT_EQ(deg.text("kuser0"), "s/deg");
    EXPECT_NEAR(deg.value("user0"), 6.671f, 1e-4f);
    ASSERT_EQ(run({"-sps", "20", "-p", "0.06", "s/km"}, b + "\n").status, 0);
    Trace km = read_trace(b + "_sp.r");
    for (size_t i = 0; i < km.y.size(); ++i) ASSERT_NEAR(deg.y[i], km.y[i], 5e-3f) << i;

    // Per-line slowness; a line without one is skipped and the run reports it.
    std::string c = d.write("c.mod", model_text("crust", crust));
    Outcome r =
        run({"-sps", "20", "-p", "read", "s/km", "-con"}, c + " 0.07\n" + a + "\n" + b + " x\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, c + "_sp.z " + c + "_sp.r " + c + "_sp.t \n");
    EXPECT_FLOAT_EQ(read_trace(c + "_sp.z").value("user0"), 0.07f);
    Outcome ok = run({"-sps", "20", "-p", "read", "s/deg"}, c + " 6.671\n");
    EXPECT_EQ(ok.status, 0);
    EXPECT_NEAR(read_trace(c + "_sp.z").value("user0"), 6.671f, 1e-4f);
}

TEST(Kestrum, GenChoosesTheFilesWritten) {
    TempDir d;
    std::string m = d.write("m.mod", model_text("crust", crust));
    Outcome r = run({"-sps", "5", "-p", "0.06", "s/km", "-gen", "rz", "-con"}, m + "\n");
    EXPECT_EQ(r.out, m + "_sp.z " + m + "_sp.r \n");
    EXPECT_FALSE(std::filesystem::exists(m + "_sp.t"));
    std::string x = d.write("x.mod", model_text("crust", crust));
    Outcome none = run({"-sps", "5", "-p", "0.06", "s/km", "-gen", "x", "-con"}, x + "\n");
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "\n");
    EXPECT_FALSE(std::filesystem::exists(x + "_sp.z"));
}

TEST(Kestrum, OptionErrorsStopBeforeAnyModel) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    std::vector<Case> cases = {
        {{"-p", "0.06", "s/km"}, "STOP **No sample rate given (-sps or -dt)\n"},
        {{"-sps", "20"}, "STOP **No slowness given (-p x s/km or s/deg)\n"},
        {{"-sps", "20", "-p"}, "STOP **No slowness given (-p x s/km or s/deg)\n"},
        {{"-dt", "0"}, "STOP **Bad -dt value\n"},
        {{"-sps", "abc"}, "STOP **Bad -dt value\n"},
        {{"-sps"}, "STOP **Bad -dt value\n"},
        {{"-p", "0.06", "s/m"}, "STOP **Bad slowness unit (s/deg or s/km needed)\n"},
        {{"-p", "-0.06", "s/km"}, "STOP **Bad -p value\n"},
        {{"-p", "fast", "s/km"}, "STOP **Bad -p value\n"},
        {{"-type", "X"}, "STOP **Bad RF -type (should be either S or P)\n"},
        {{"-sps", "20", "-bogus", "-p", "0.06", "s/km"}, " **Unrecognized parameter: -bogus\n"},
    };
    for (const Case& c : cases) {
        Outcome r = run(c.args, "never-read.mod\n");
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    // Prefix matching: -spherical is -sph, -respond is -resp, -con... is -con.
    TempDir d;
    std::string m = d.write("m.mod", model_text("crust", crust));
    Outcome r =
        run({"-dt", "0.1", "-p", "0.06,", "s/km", "-spherical", "-respond", "f", "-contents"},
            m + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("m.mod_sp.z"), std::string::npos);
}

TEST(Kestrum, WindowLimits) {
    TempDir d;
    std::string m = d.write("m.mod", model_text("crust", crust));
    Outcome r = run({"-dt", "0.04", "-p", "0.06", "s/km"}, m + "\n");
    EXPECT_EQ(r.status, 1);
    const std::string stop = "STOP **Time window too long.\n  line 1, file '" + m + "'\n";
    EXPECT_EQ(r.err, stop);
    // Regression: a tiny interval overflowed the sample count.
    Outcome tiny = run({"-dt", "1e-30", "-p", "0.06", "s/km"}, m + "\n");
    EXPECT_EQ(tiny.err, stop);
    // Regression: a very coarse interval asked the transform for 2 points.
    Outcome coarse = run({"-dt", "300", "-p", "0.06", "s/km"}, m + "\n");
    EXPECT_EQ(coarse.status, 0) << coarse.err;
    EXPECT_EQ(read_trace(m + "_sp.z").y.size(), 2u);
}

TEST(Kestrum, ModelFailures) {
    TempDir d;
    Outcome missing = run({"-sps", "5", "-p", "0.06", "s/km"}, d.path("none.mod") + "\n");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("none.mod"), std::string::npos);

    std::string order = d.write("o.mod", "  2\n" + testing::layer_line(2, {6, 3.5, 2.8, 10}));
    Outcome o = run({"-sps", "5", "-p", "0.06", "s/km"}, order + "\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "**RDLYR:  Layers out of order\n  line 1, file '" + order + "'\n");

    // Regression: a slowness beyond 1/vp of the half-space gave NaN traces.
    // A model that cannot be computed costs no other model of the list.
    std::string m = d.write("m.mod", model_text("crust", crust));
    std::string slow =
        d.write("slow.mod", model_text("slow", {{4.0, 2.3, 2.4, 5}, {5.0, 2.9, 2.6}}));
    Outcome p = run({"-sps", "5", "-p", "0.13", "s/km"}, m + "\n" + slow + "\n");
    EXPECT_EQ(p.status, 1);
    EXPECT_TRUE(std::filesystem::exists(slow + "_sp.z"));
    EXPECT_NE(p.err.find(" **Model file '" + m + "', layer 2: slowness 0.13"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m + "_sp.z"));

    // Regression: a graded half-space divided by its zero thickness.
    std::string g =
        d.write("g.mod", model_text("g", {{6.3, 3.6, 2.8, 35}, {8.1, 4.5, 3.3, 0, 8.3, 4.6, 3.4}}));
    Outcome gr = run({"-sps", "5", "-p", "0.06", "s/km"}, g + "\n");
    EXPECT_EQ(gr.status, 1);
    EXPECT_NE(gr.err.find("layer 2: gradient in a layer of zero thickness"), std::string::npos);
}

// Regression: a quality factor so small that the complex speeds overflow gave
// NaN traces, which were written.
TEST(Kestrum, NonFiniteTracesAreNeverWritten) {
    TempDir d;
    std::string m = d.write("q.mod", "  2tinyq\n"
                                     "  1     6.30    3.60    2.80   35.00    0.00    0.00    0.00"
                                     "   1e-30   1e-30\n" +
                                         testing::layer_line(2, {8.1, 4.5, 3.3}));
    Outcome r = run({"-sps", "20", "-p", "0.06", "s/km"}, m + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(" **Non-finite samples in the synthetics of model file '" + m + "'\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m + "_sp.z"));
    EXPECT_FALSE(std::filesystem::exists(m + "_sp.r"));
}

TEST(Kestrum, FailedWriteIsReportedAndTheRunGoesOn) {
    TempDir d;
    std::string m = d.write("m.mod", model_text("crust", crust));
    std::string n = d.write("n.mod", model_text("crust", crust));
    std::filesystem::create_directory(m + "_sp.r"); // cannot be replaced by a file
    Outcome r = run({"-sps", "5", "-p", "0.06", "s/km", "-con"}, m + "\n" + n + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, " **Trouble writing " + m + "_sp.r\n  line 1, file '" + m +
                         "_sp.r': Is a directory\n");
    EXPECT_EQ(r.out, m + "_sp.z " + m + "_sp.t \n" + n + "_sp.z " + n + "_sp.r " + n + "_sp.t \n");
}

TEST(Kestrum, HalfSpaceAloneAtVerticalIncidence) {
    TempDir d;
    std::string m = d.write("h.mod", model_text("half", {{8.1, 4.5, 3.3}}));
    ASSERT_EQ(run({"-sps", "20", "-p", "0", "s/km"}, m + "\n").status, 0);
    Trace r = read_trace(m + "_sp.r");
    EXPECT_LT(*std::max_element(r.y.begin(), r.y.end()), 1e-6f);
    Trace z = read_trace(m + "_sp.z");
    EXPECT_EQ(z.peak(z.index(0.0), 300), z.index(0.0));
}

} // namespace
} // namespace synthetics
