// rfkit prep, whole runs in process: synthetics rotated back, the header of
// the prepared files, the job lines, and every kind of bad input left out
// alone with a message naming its event and files.
#include "rfkit/iasp91.hpp"
#include "rfkit/reftime.hpp"
#include "rfkit/rotation.hpp"
#include "sacfiles.hpp"

#include "numerics/condition.hpp"
#include "synthetics/kestrum.hpp"
#include "traceio/distaz.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace rfkit {
namespace {

using namespace rfkit::testing;
using rftest::TempDir;

constexpr double deg = 3.14159265358979323846 / 180;
constexpr float stla = -21.04323f, stlo = -69.4874f; // PB01

struct Geometry {
    double baz, gcarc;
};

Geometry geometry(float evla, float evlo) {
    std::array<float, 1> la{stla}, lo{stlo}, d{}, a{}, b{}, g{};
    int e = 0;
    traceio::distaz(traceio::enum_code("IEARTH"), evla, evlo, la, lo, 1, d, a, b, g, e);
    return {b[0], g[0]};
}

// The horizontals of azimuths 0 and 90 that record ground motion R, T.
void to_north_east(const std::vector<float>& r, const std::vector<float>& t, double baz,
                   std::vector<float>& n, std::vector<float>& e) {
    const double ar = (baz + 180) * deg, at = (baz + 90) * deg;
    n.resize(r.size()), e.resize(r.size());
    for (std::size_t i = 0; i < r.size(); ++i) {
        n[i] = static_cast<float>(r[i] * std::cos(ar) + t[i] * std::cos(at));
        e[i] = static_cast<float>(r[i] * std::sin(ar) + t[i] * std::sin(at));
    }
}

// One component file of an event: samples, channel and orientation, and
// changes to its header made after the usual fields.
struct Component {
    std::string channel;
    float cmpaz, cmpinc;
    std::vector<float> y;
    float b, dt;
    std::function<void()> edit;
};

// An event as a data centre gives it: the reference time at the origin
// (2011-02-25 13:07:26.980 plus `hours`), O = 0, coordinates and depth, no
// pick.  Z, N, E hold a pulse at the P time iasp91 predicts on Z and R, a
// converted pulse 5 s later on R, one 3 s later on T, and weak noise.
struct Event {
    float evla = 10.1f, evlo = -84.2f, evdp = 76.8f;
    int hours = 0;
    Geometry where{};
    double p = 0; // P, s after the origin
    std::array<Component, 3> c;

    explicit Event(int hours_ = 0, float evla_ = 10.1f, float evlo_ = -84.2f) {
        hours = hours_, evla = evla_, evlo = evlo_;
        where = geometry(evla, evlo);
        iasp91::Arrival a{};
        std::string why;
        if (iasp91::direct_p(evdp, where.gcarc, a, why)) p = a.time;
        const float dt = 0.05f, b = static_cast<float>(std::floor(p) - 100);
        const int n = 4000;
        std::vector<float> z(n), r(n), t(n);
        for (int i = 0; i < n; ++i) {
            const double s = b + i * dt - p;
            const auto pulse = [&](double at) { return std::exp(-(s - at) * (s - at) / 0.1); };
            const double noise = 0.01 * std::sin(7.1 * i) + 0.01 * std::cos(3.3 * i * i);
            z[static_cast<std::size_t>(i)] = static_cast<float>(pulse(0) + noise + 100);
            r[static_cast<std::size_t>(i)] = static_cast<float>(0.4 * pulse(0) + 0.2 * pulse(5));
            t[static_cast<std::size_t>(i)] = static_cast<float>(0.1 * pulse(3) + 0.5 * noise);
        }
        std::vector<float> north, east;
        to_north_east(r, t, where.baz, north, east);
        c = {Component{"BHZ", 0, 0, z, b, dt, {}}, Component{"BHN", 0, 90, north, b, dt, {}},
             Component{"BHE", 90, 90, east, b, dt, {}}};
    }

    // Writes the three files into dir; returns their names (Z, N, E).
    std::array<std::string, 3> write(const std::string& dir) const {
        std::array<std::string, 3> names;
        for (std::size_t k = 0; k < 3; ++k) {
            const Component& x = c[k];
            names[k] = dir + "/ev" + std::to_string(hours) + "." + x.channel;
            write_trace(names[k], x.y, x.b, x.dt, [&] {
                set_int("nzyear", 2011), set_int("nzjday", 56), set_int("nzhour", 13 + hours);
                set_int("nzmin", 7), set_int("nzsec", 26), set_int("nzmsec", 980);
                set("o", 0), set("evla", evla), set("evlo", evlo), set("evdp", evdp);
                set("stla", stla), set("stlo", stlo);
                set_text("kstnm", "PB01"), set_text("knetwk", "CX"), set_text("kcmpnm", x.channel);
                set("cmpaz", x.cmpaz), set("cmpinc", x.cmpinc);
                if (x.edit) x.edit();
            });
        }
        return names;
    }

    std::string stem() const { return "CX.PB01_20110225T" + std::to_string(13 + hours) + "0726"; }
};

std::string line(const std::array<std::string, 3>& f) {
    return f[0] + " " + f[1] + " " + f[2] + "\n";
}

// The words of a text line.
std::vector<std::string> words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    return w;
}

// kestrum's R and T (of incident S, so that T is not zero), turned into N
// and E for events all around the station, come back from prep as R and T
// within single-precision rounding, after the same window and taper.
TEST(Prep, KestrumSyntheticsComeBackAsRadialAndTransverse) {
    TempDir dir;
    for (const char* model : {"crust.mod", "sediment.mod"})
        std::filesystem::copy_file(std::string(RFKIT_EXAMPLES) + "/" + model, dir.path(model));
    {
        rftest::Captured quiet(dir.path("crust.mod") + "\n" + dir.path("sediment.mod") + "\n");
        std::vector<std::string> args{"-sps", "20", "-p", "0.06", "s/km", "-type", "S"};
        ASSERT_EQ(console::run([&] { return synthetics::kestrum(args); }), 0);
    }
    for (const char* model : {"crust.mod", "sediment.mod"}) {
        const std::string base = dir.path(model);
        std::array<Trace, 3> k{read_trace(base + "_sp.z"), read_trace(base + "_sp.r"),
                               read_trace(base + "_sp.t")};
        ASSERT_TRUE(k[0].ok && k[1].ok && k[2].ok);
        // The reference of the same window: -30 .. 90 s, demeaned,
        // detrended, 5 s tapers.
        const long i0 = std::lround((-30 - k[0].b) / k[0].dt), n = 2401;
        std::array<std::vector<float>, 3> want;
        for (std::size_t c = 0; c < 3; ++c) {
            want[c].assign(k[c].y.begin() + i0, k[c].y.begin() + i0 + n);
            numerics::demean(want[c], n);
            numerics::dtrend(want[c], n);
            numerics::window(5.0f, n, k[c].dt, want[c]);
        }
        for (const auto& event : {std::pair{40.0f, -75.0f}, std::pair{-30.0f, -140.0f},
                                  std::pair{-60.0f, 10.0f}, std::pair{0.0f, -20.0f}}) {
            // Named copies: clang 14 cannot capture structured bindings in a lambda.
            const float evla = event.first, evlo = event.second;
            const Geometry g = geometry(evla, evlo);
            std::vector<float> north, east;
            to_north_east(k[1].y, k[2].y, g.baz, north, east);
            const std::array<std::string, 3> files{base + ".z", base + ".e", base + ".n"};
            const std::array<std::vector<float>, 3> samples{k[0].y, east, north};
            const std::array<float, 3> cmpaz{0, 90, 0}, cmpinc{0, 90, 90};
            for (std::size_t c = 0; c < 3; ++c)
                write_trace(files[c], samples[c], k[0].b, k[0].dt, [&] {
                    set_int("nzyear", 1999), set_int("nzjday", 365), set_int("nzhour", 23);
                    set_int("nzmin", 59), set_int("nzsec", 59), set_int("nzmsec", 999);
                    set("a", 0), set("evla", evla), set("evlo", evlo), set("evdp", 10);
                    set("stla", stla), set("stlo", stlo), set_text("kstnm", "SYN");
                    set("cmpaz", cmpaz[c]), set("cmpinc", cmpinc[c]);
                });
            const Outcome o = run({"prep", "-o", dir.path("out"), files[0], files[1], files[2]});
            ASSERT_EQ(o.status, 0) << o.err;
            const std::string stem = dir.path("out") + "/SYN_P19991231T235959";
            std::array<Trace, 3> got{read_trace(stem + ".z"), read_trace(stem + ".r"),
                                     read_trace(stem + ".t")};
            for (std::size_t c = 0; c < 3; ++c) {
                ASSERT_TRUE(got[c].ok) << stem;
                ASSERT_EQ(got[c].y.size(), want[c].size());
                const float peak = *std::ranges::max_element(
                    want[c], [](float a, float b) { return std::abs(a) < std::abs(b); });
                for (std::size_t i = 0; i < want[c].size(); ++i)
                    ASSERT_NEAR(got[c].y[i], want[c][i], 4e-7 * std::abs(peak))
                        << model << " baz " << g.baz << " component " << c << " sample " << i;
            }
            EXPECT_NEAR(got[0].b, -30.0, 1e-5);
        }
    }
}

// The header of a prepared event: the reference moved to P with absolute
// times kept, the predicted P labelled, the ray parameter, the geometry and
// the components' directions; and the job line for each program.
TEST(Prep, PreparedFilesCarryPTimeRayParameterAndDirections) {
    TempDir dir;
    const Event ev;
    const auto files = ev.write(dir.path());
    for (const char* program : {"marrick", "tolvane"}) {
        const Outcome o =
            run({"prep", "-o", dir.path("out"), "-jobs", program, files[2], files[0], files[1]});
        ASSERT_EQ(o.status, 0) << o.err;
        const std::string stem = dir.path("out") + "/" + ev.stem();
        const auto w = words(o.out);
        if (std::string(program) == "marrick")
            EXPECT_EQ(w, (std::vector<std::string>{stem + ".z", "-10", "60", stem + ".r", "-", "-",
                                                   stem + ".wl.rf"}));
        else
            EXPECT_EQ(w, (std::vector<std::string>{stem + ".z", "-10", "60", stem + ".r", "-10",
                                                   "60", "-25", "-3", stem + ".mt.rf"}));
    }
    const std::string stem = dir.path("out") + "/" + ev.stem();
    iasp91::Arrival a{};
    std::string why;
    ASSERT_TRUE(iasp91::direct_p(ev.evdp, ev.where.gcarc, a, why));
    std::int64_t origin = 0;
    for (const char* c : {".z", ".r", ".t"}) {
        const Trace t = read_trace(stem + c);
        ASSERT_TRUE(t.ok);
        EXPECT_EQ(t.y.size(), 2400u); // -30 .. 90 s, P between samples
        std::int64_t ref = 0;
        ASSERT_TRUE(stored_reference(ref));
        EXPECT_NEAR(value("t9"), 0, 0.0005) << "P at time 0 within half a millisecond";
        EXPECT_EQ(text("kt9"), "P_iasp91");
        std::string iztype;
        int e = 0;
        traceio::getihv("iztype", iztype, e);
        EXPECT_EQ(iztype, "IT9");
        // The origin keeps its absolute time.
        origin = ref + nearest_ms(value("o"));
        EXPECT_EQ(iso_time(origin), "2011-02-25T13:07:26.980");
        EXPECT_NEAR(value("o") + a.time, value("t9"), 2e-3);
        EXPECT_NEAR(value("user0"), a.slowness, 1e-7);
        EXPECT_EQ(text("kuser0"), "s/km");
        EXPECT_EQ(text("kuser1"), "snr");
        EXPECT_NEAR(value("baz"), ev.where.baz, 1e-4);
        EXPECT_NEAR(value("gcarc"), ev.where.gcarc, 1e-4);
        EXPECT_NEAR(value("b"), -30, 0.05);
    }
    // Directions: Z up, R away from the source, T 90 degrees behind R.
    const std::array<std::pair<const char*, float>, 3> cmpaz{
        {{".z", 0},
         {".r", radial_azimuth(ev.where.baz)},
         {".t", transverse_azimuth(ev.where.baz)}}};
    for (auto [ending, az] : cmpaz) {
        const Trace t = read_trace(stem + ending);
        EXPECT_NEAR(value("cmpaz"), az, 1e-3) << ending;
        EXPECT_EQ(value("cmpinc"), std::string(ending) == ".z" ? 0 : 90);
        EXPECT_EQ(text("kcmpnm"), std::string("BH") + static_cast<char>(std::toupper(ending[1])));
    }
    // The rotated pulses where they were put: R at P and 5 s later, T at 3 s.
    const Trace r = read_trace(stem + ".r"), t = read_trace(stem + ".t");
    const auto at = [&](const Trace& x, double s) {
        return x.y[static_cast<std::size_t>(std::lround((s - x.b) / x.dt))];
    };
    EXPECT_NEAR(at(r, 0), 0.4, 0.02);
    EXPECT_NEAR(at(r, 5), 0.2, 0.02);
    EXPECT_NEAR(at(t, 3), 0.1, 0.02);
    EXPECT_NEAR(at(t, 0), 0.0, 0.02);
}

// A pick, a back azimuth without coordinates, a vertical recorded downwards,
// horizontals starting a third of a sample late (as records cut by a data
// centre may) and the files in any order: the same R and T.
TEST(Prep, PickBackAzimuthAndDownwardVerticalGiveTheSameTraces) {
    TempDir dir;
    const Event plain;
    const auto files = plain.write(dir.path());
    ASSERT_EQ(run({"prep", "-o", dir.path("a"), files[0], files[1], files[2]}).status, 0);

    Event other;
    other.hours = 1;
    for (Component& c : other.c)
        c.edit = [&] {
            set("stla", traceio::FUNDEF), set("evla", traceio::FUNDEF);
            set("baz", static_cast<float>(plain.where.baz));
            set("gcarc", static_cast<float>(plain.where.gcarc));
            set("t3", static_cast<float>(plain.p));
        };
    for (float& v : other.c[0].y) v = -v;
    other.c[0].cmpinc = 180;
    for (Component& c : {std::ref(other.c[1]), std::ref(other.c[2])}) c.b += c.dt / 3;
    const auto moved = other.write(dir.path());
    const Outcome o =
        run({"prep", "-o", dir.path("b"), "-pick", "t3"}, line({moved[1], moved[0], moved[2]}));
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("(0.33 of a sample), aligned on the nearest sample"), std::string::npos)
        << o.err;
    for (const char* c : {".z", ".r", ".t"}) {
        const Trace a = read_trace(dir.path("a") + "/" + plain.stem() + c);
        const Trace b = read_trace(dir.path("b") + "/" + other.stem() + c);
        ASSERT_TRUE(a.ok && b.ok) << c;
        ASSERT_EQ(a.y.size(), b.y.size());
        for (std::size_t i = 0; i < a.y.size(); ++i) ASSERT_NEAR(a.y[i], b.y[i], 2e-6) << c << i;
    }
    // The pick is P: T3 at time 0, the reference named after it.
    read_trace(dir.path("b") + "/" + other.stem() + ".z");
    EXPECT_NEAR(value("t3"), 0, 0.0005);
    std::string iztype;
    int e = 0;
    traceio::getihv("iztype", iztype, e);
    EXPECT_EQ(iztype, "IT3");
}

// A pick far from the predicted P (an S pick left in A) was taken without a
// word: it is still taken, and said; a pick a few seconds off is not.
TEST(Prep, APickFarFromThePredictedPIsSaid) {
    const struct {
        double offset; // s after the predicted P
        bool said;
    } cases[] = {{2, false}, {-9, false}, {15, true}, {-40, true}};
    int hours = 0;
    for (const auto& c : cases) {
        TempDir dir;
        Event ev(hours++);
        for (Component& x : ev.c) x.edit = [&] { set("a", static_cast<float>(ev.p + c.offset)); };
        const auto files = ev.write(dir.path());
        const Outcome o = run(
            {"prep", "-o", dir.path("out"), "-window", "-10", "20", files[0], files[1], files[2]});
        EXPECT_EQ(o.status, 0) << o.err;
        const bool said = o.err.find("s from the P iasp91 predicts: a pick of another phase?") !=
                          std::string::npos;
        EXPECT_EQ(said, c.said) << c.offset << ": " << o.err;
        EXPECT_TRUE(std::filesystem::exists(dir.path("out") + "/" + ev.stem() + ".r"));
    }
}

// Every kind of bad input leaves its event out with a message naming the
// event, the files and the fault; nothing of it is written, the good event
// after it is prepared, and the run ends with status 1.
TEST(Prep, BadInputLeavesOutItsEventAlone) {
    using Edit = std::function<void(Event&)>;
    const auto all = [](std::function<void()> f) {
        return [f](Event& ev) {
            for (Component& c : ev.c) c.edit = f;
        };
    };
    struct Case {
        const char* name;
        Edit edit;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"other station", [](Event& ev) { ev.c[1].edit = [] { set_text("kstnm", "PB02"); }; },
         "different stations (CX.PB01 and CX.PB02)"},
        // Once prepared together: a broadband vertical with high-gain horizontals.
        {"other sensor", [](Event& ev) { ev.c[1].edit = [] { set_text("kcmpnm", "HHN"); }; },
         "different sensors (channels BHZ and HHN)"},
        {"other event", [](Event& ev) { ev.c[2].edit = [] { set("o", 60); }; },
         "disagree on the origin time O"},
        {"other sampling", [](Event& ev) { ev.c[1].dt = 0.1f; }, "different sample intervals"},
        {"no overlap", [](Event& ev) { ev.c[2].b += 1000; }, "no common time span"},
        {"half a sample apart", [](Event& ev) { ev.c[2].b += ev.c[2].dt / 2; },
         "sampled at different times"},
        {"no coordinates, no BAZ", all([] { set("stla", traceio::FUNDEF); }),
         "no event and station coordinates"},
        {"no pick, no origin", all([] { set("o", traceio::FUNDEF); }),
         "no P pick (A) and no origin time (O)"},
        {"too deep", all([] { set("evdp", 800); }), "source depth EVDP 800.0 km is outside 0-700"},
        {"depth in metres", all([] { set("evdp", 33000); }),
         "33000.0 km is outside 0-700 km (a depth in metres? EVDP is read in km)"},
        {"too far", [](Event& ev) { ev = Event(0, 60.0f, 100.0f); }, "deg is outside 25-98 deg"},
        {"too near", [](Event& ev) { ev = Event(0, -10.0f, -70.0f); }, "deg is outside 25-98 deg"},
        {"all zeros", [](Event& ev) { std::ranges::fill(ev.c[2].y, 0.0f); },
         "the component is all zeros"},
        {"two verticals", [](Event& ev) { ev.c[1].cmpinc = 0; },
         "not one vertical and two horizontal"},
        {"short record",
         [](Event& ev) {
             for (Component& c : ev.c) c.y.resize(2100);
         },
         "is not inside the recordings"},
        {"no reference time", all([] { set_int("nzyear", traceio::IUNDEF); }),
         "no valid reference time"},
        {"not finite", [](Event& ev) { ev.c[0].y[2000] = NAN; }, "not finite"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Event bad;
        c.edit(bad);
        const auto bad_files = bad.write(dir.path());
        const Event good(2);
        const auto good_files = good.write(dir.path());
        const Outcome o = run({"prep", "-o", dir.path("out")}, line(bad_files) + line(good_files));
        EXPECT_EQ(o.status, 1) << c.name;
        EXPECT_NE(o.err.find(c.says), std::string::npos) << c.name << ":\n" << o.err;
        EXPECT_NE(o.err.find("left out\n  files: " + bad_files[0]), std::string::npos) << o.err;
        EXPECT_NE(o.err.find("(line 1)"), std::string::npos) << o.err;
        // Only the good event's files and one job line.
        std::vector<std::string> written;
        for (const auto& e : std::filesystem::directory_iterator(dir.path("out")))
            written.push_back(e.path().filename().string());
        std::ranges::sort(written);
        EXPECT_EQ(written, (std::vector<std::string>{good.stem() + ".r", good.stem() + ".t",
                                                     good.stem() + ".z"}))
            << c.name;
        EXPECT_EQ(std::ranges::count(o.out, '\n'), 1) << c.name;
    }
    // A missing file, and a list line without three names.
    TempDir dir;
    const Outcome o = run({"prep", "-o", dir.path()}, "a.z a.n a.e\n\n# comment\na.z a.n\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("'a.e': No such file or directory; left out"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("line 4: 2 names where three"), std::string::npos) << o.err;
}

// Choices that are not faults: an event below the signal-to-noise threshold
// is left out as asked (status 0); an output that would replace an input is
// refused; a band-pass removes what lies outside its band.
TEST(Prep, ThresholdInputsAndBandPass) {
    TempDir dir;
    Event ev;
    const auto files = ev.write(dir.path());
    Outcome o = run({"prep", "-o", dir.path("out"), "-snr", "1e6", files[0], files[1], files[2]});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("is below 1000000.0; left out as asked (-snr)"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.path("out") + "/" + ev.stem() + ".z"));

    // An input named as an output would be.
    const std::string clash = dir.path(ev.stem() + ".r");
    std::filesystem::copy_file(files[1], clash);
    o = run({"prep", "-o", dir.path(), files[0], clash, files[2]});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("would replace the input"), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(dir.path(ev.stem() + ".z")));

    // A 0.02 Hz swell on Z is gone after a 0.5-2 Hz band-pass.
    for (std::size_t i = 0; i < ev.c[0].y.size(); ++i)
        ev.c[0].y[i] += static_cast<float>(50 * std::sin(0.02 * 2 * 3.14159265 * 0.05 * i));
    ev.hours = 3;
    const auto swell = ev.write(dir.path());
    o = run({"prep", "-o", dir.path("bp"), "-bp", "0.5", "2", swell[0], swell[1], swell[2]});
    ASSERT_EQ(o.status, 0) << o.err;
    const Trace z = read_trace(dir.path("bp") + "/" + ev.stem() + ".z");
    ASSERT_TRUE(z.ok);
    for (std::size_t i = 200; i < 500; ++i) EXPECT_LT(std::abs(z.y[i]), 0.1) << i; // before P
}

// A list line left out before it is an event is counted in the closing
// summary and shows its names, and a name too long for the program names its
// list line: the summary once said "0 events prepared" and no more after a
// line of two names, and the long name's message gave no line.
TEST(Prep, LinesLeftOutAreCountedAndNamed) {
    TempDir dir;
    const Event ev;
    const auto f = ev.write(dir.path());
    const std::string deep = dir.path(std::string(60, 'x'));
    struct Case {
        std::vector<std::string> args;
        std::string list;
        std::vector<std::string> said;
    };
    const std::vector<Case> cases{
        {{"prep", "-o", dir.path("a")},
         f[0] + " " + f[1] + "\n",
         {"line 1: 2 names where three", "  names: " + f[0] + " " + f[1] + "\n",
          "0 events prepared, 1 left out for faults"}},
        {{"prep", "-o", dir.path("b")},
         "\"" + f[0] + " copy\" " + f[1] + " " + f[2] + "\n",
         {"line 1: 4 names where three", "separated by blanks",
          "0 events prepared, 1 left out for faults"}},
        {{"prep", "-o", deep},
         line(f),
         {"than the 64 characters marrick reads; choose a shorter -o folder; left out\n  files: " +
              f[0] + " " + f[1] + " " + f[2] + " (line 1)",
          "0 events prepared, 1 left out for faults"}},
    };
    for (const Case& c : cases) {
        const Outcome o = run(c.args, c.list);
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.out, "");
        for (const std::string& s : c.said)
            EXPECT_NE(o.err.find(s), std::string::npos) << s << "\n" << o.err;
    }
}

// An event that cannot be written whole leaves the files of an earlier run
// as they were: they were once replaced one by one and, when the third
// failed, the first two removed, so that the event lost its older Z and R.
// A replaced file keeps its permission bits, and no hidden file is left.
TEST(Prep, FailedEventKeepsItsOlderFiles) {
    TempDir dir;
    const Event ev;
    const auto f = ev.write(dir.path());
    const std::string out = dir.path("out"), stem = out + "/" + ev.stem();
    ASSERT_EQ(run({"prep", "-o", out, f[0], f[1], f[2]}).status, 0);
    const auto bytes = [](const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string z = bytes(stem + ".z"), r = bytes(stem + ".r");
    std::filesystem::remove(stem + ".t");
    std::filesystem::create_directory(stem + ".t");
    const Outcome o = run({"prep", "-o", out, "-window", "-20", "60", f[0], f[1], f[2]});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("'" + stem + ".t' could not be written: Is a directory; left out"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(bytes(stem + ".z"), z);
    EXPECT_EQ(bytes(stem + ".r"), r);

    std::filesystem::remove(stem + ".t");
    std::filesystem::permissions(stem + ".r", std::filesystem::perms(0640));
    ASSERT_EQ(run({"prep", "-o", out, "-window", "-20", "60", f[0], f[1], f[2]}).status, 0);
    EXPECT_NE(bytes(stem + ".z"), z);
    EXPECT_EQ(std::filesystem::status(stem + ".r").permissions(), std::filesystem::perms(0640));
    for (const auto& e : std::filesystem::directory_iterator(out))
        EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
}

// A job line that cannot be passed on (the next stage of the pipeline has
// gone, as after "| head -1") ends the run there, with the summary and status
// 1: the run once went on preparing every later event of the list, whose job
// lines nobody would read.
TEST(Prep, EndsWhenTheJobLinesHaveNoReader) {
    // Takes one line, then fails like a closed pipe.
    struct Closing : std::streambuf {
        std::string got;
        int overflow(int c) override {
            if (got.ends_with('\n') || c == traits_type::eof()) return traits_type::eof();
            got.push_back(static_cast<char>(c));
            return c;
        }
    };
    TempDir dir;
    std::string list;
    for (int hours : {0, 1, 2}) list += line(Event(hours).write(dir.path()));
    const std::string out = dir.path("out");
    rftest::Captured c(list);
    Closing pipe;
    std::ostream closed(&pipe);
    console::streams().out = &closed;
    const std::vector<std::string> args{"prep", "-o", out};
    const int status = console::run([&] { return rfkit(args); });
    EXPECT_EQ(status, 1);
    EXPECT_NE(c.err().find("rfkit prep: 2 events prepared\n **Trouble writing standard output."),
              std::string::npos)
        << c.err();
    EXPECT_TRUE(std::filesystem::exists(out + "/" + Event(1).stem() + ".t"));
    EXPECT_FALSE(std::filesystem::exists(out + "/" + Event(2).stem() + ".z"));
}

// Settings that cannot work end the run before any event.  A band-pass whose
// upper corner is 0 ("-bp 0.05 0", a high-pass meant, or "-bp -1 0") was once
// taken for no filter at all: status 0 and unfiltered traces.
TEST(Prep, RefusesSettingsThatCannotWork) {
    TempDir dir;
    const Event ev;
    const auto files = ev.write(dir.path());
    struct Case {
        std::vector<std::string> options;
        std::string said;
    };
    const std::vector<Case> cases{
        {{"-bp", "0.05", "0"}, "-bp 0.050 0.000: the corners must be 0 <= F1 < F2"},
        {{"-bp", "-1", "0"}, "-bp -1.000 0.000: the corners must be"},
        {{"-bp", "0", "0"}, "-bp 0.000 0.000: the corners must be"},
        {{"-bp", "1", "0.05"}, "-bp 1.000 0.050: the corners must be"},
        {{"-window", "10", "60"}, "P must lie inside the window"},
        {{"-noise", "-5", "5"}, "the noise window must lie before P"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"prep", "-o", dir.path("out")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), files.begin(), files.end());
        const Outcome o = run(args);
        EXPECT_EQ(o.status, 1) << c.said;
        EXPECT_NE(o.err.find(c.said), std::string::npos) << o.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path("out") + "/" + ev.stem() + ".z")) << c.said;
    }
    // A low-pass alone is F1 = 0.
    EXPECT_EQ(
        run({"prep", "-o", dir.path("lp"), "-bp", "0", "1", files[0], files[1], files[2]}).status,
        0);
}

} // namespace
} // namespace rfkit
