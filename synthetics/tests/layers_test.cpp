#include "synthetics/layers.hpp"
#include "synthetics/stack.hpp"

#include "support.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace synthetics {
namespace {

using testing::Capture;
using testing::model_text;
using testing::TempDir;

struct Read {
    bool ok = false;
    Layers m;
    std::string out, err;
};

Read read(const std::string& path, int flags = 7, std::string input = "") {
    Read r;
    Capture c(std::move(input));
    r.ok = rdlyr(flags, path, 100, r.m.n, r.m.title, r.m.vp, r.m.vs, r.m.rho, r.m.h, r.m.vp_bottom,
                 r.m.vs_bottom, r.m.rho_bottom, r.m.qp, r.m.qs);
    r.out = c.out();
    r.err = c.err();
    return r;
}

// Runs rdlyr expecting the run to end; returns the status and the line.
std::pair<int, std::string> ending(const std::string& path) {
    Capture c;
    Layers m;
    try {
        rdlyr(7, path, 100, m.n, m.title, m.vp, m.vs, m.rho, m.h, m.vp_bottom, m.vs_bottom,
              m.rho_bottom, m.qp, m.qs);
    } catch (const console::Ending& e) {
        return {e.status(), e.line()};
    }
    return {0, ""};
}

TEST(Blank, LastNonBlankOrOne) {
    EXPECT_EQ(blank("abc  ", 5), 3);
    EXPECT_EQ(blank("     ", 5), 1);
    EXPECT_EQ(blank("", 0), 1);
    EXPECT_EQ(blank("abcdef", 4), 4);
}

TEST(Attenuation, ReferenceValues) {
    EXPECT_NEAR(vabm(2.0 * M_PI, 10000.0, 0.16, 125.0), 1.0, 1e-7);
    EXPECT_DOUBLE_EQ(qabm(0.0, 10000.0, 0.16, 125.0), 100000.0);
    // Dispersion: slower at low frequency, faster at high frequency.
    EXPECT_LT(vabm(0.1, 10000.0, 0.16, 50.0), 1.0);
    EXPECT_GT(vabm(60.0, 10000.0, 0.16, 50.0), 1.0);
    // At 1 Hz the band's loss angle is near pi/4, so the band quality factor
    // there is about twice the nominal one.
    EXPECT_NEAR(qabm(2.0 * M_PI, 10000.0, 0.16, 125.0), 250.0, 2.0);
}

TEST(Rdlyr, HalfSpaceAloneAndFixedFieldRules) {
    TempDir d;
    // Implied decimals ("     350" is 3.50), blanks inside a field, an
    // exponent, and a short line whose missing fields are 0.
    std::string text = "  1half\n"
                       "  1      350  4. 50   3.3e0\n";
    Read r = read(d.write("m", text));
    ASSERT_TRUE(r.ok) << r.err;
    EXPECT_EQ(r.m.n, 1);
    EXPECT_EQ(r.m.title.size(), 32u);
    EXPECT_EQ(r.m.title.substr(0, 10), "half      ");
    EXPECT_FLOAT_EQ(r.m.vp[0], 3.5f);
    EXPECT_FLOAT_EQ(r.m.vs[0], 4.5f);
    EXPECT_FLOAT_EQ(r.m.rho[0], 3.3f);
    EXPECT_EQ(r.m.h[0], 0.0f);
    EXPECT_EQ(r.m.qs[0], 0.0f);
    EXPECT_EQ(r.out, "");
    // The implied decimals are taken, and said.
    EXPECT_EQ(r.err, "kestrum: warning: model file '" + d.path("m") +
                         "', line 2, columns 5-12: '     350' has no decimal point and is read "
                         "as 3.5\n");
}

TEST(Rdlyr, PromptListingAndSummary) {
    TempDir d;
    std::string path =
        d.write("crust", model_text("crust", {{6.3, 3.6, 2.8, 35}, {8.1, 4.5, 3.3}}));
    Read r = read(path, 0, "y\n");
    ASSERT_TRUE(r.ok);
    std::string expected =
        "List the site model? (y or n)  file: " + path.substr(0, 10) +
        " model: crust         2 layers \n"
        "\n\n lyr     vp      vs     rho      h     vp      vs     rho       ???\n"
        "   1     6.30    3.60    2.80   35.00    0.00    0.00    0.00    0.00    0.00\n"
        "   2     8.10    4.50    3.30    0.00    0.00    0.00    0.00    0.00    0.00\n";
    EXPECT_EQ(r.out, expected);
    // Answer no, and flag 4 set: prompt only.
    Read q = read(path, 4, "n\n");
    EXPECT_EQ(q.out, "List the site model? (y or n) ");
}

TEST(Rdlyr, RejectsWithTheirMessages) {
    TempDir d;
    Read order = read(d.write("a", "  2\n" + testing::layer_line(1, {6, 3.5, 2.8, 10}) +
                                       testing::layer_line(3, {8, 4.5, 3.3})));
    EXPECT_FALSE(order.ok);
    EXPECT_EQ(order.err, "**RDLYR:  Layers out of order\n");

    Read last =
        read(d.write("b", model_text("", {{6, 3.5, 2.8, 10}, {7, 4, 3, 10}, {8, 4.5, 3.3, 0.01}})));
    EXPECT_FALSE(last.ok);
    EXPECT_EQ(last.out, "**RDLYR:  Last layer   3 not zero thickness\n");

    // A P gradient whose bottom density is left 0 does not meet the layer below.
    Read rho = read(d.write("c", model_text("", {{6, 3.5, 2.8, 10, 6.5}, {6.5, 3.5, 2.8}})));
    EXPECT_FALSE(rho.ok);
    EXPECT_EQ(rho.err, "**RDLYR:  Speed or rho disc. at base of gradient, layer  2\n");

    Read s =
        read(d.write("d", model_text("", {{6, 3.5, 2.8, 10, 6.5, 3.7, 2.9}, {6.5, 3.6, 2.9}})));
    EXPECT_FALSE(s.ok);

    Read good =
        read(d.write("e", model_text("", {{6, 3.5, 2.8, 10, 6.5, 3.7, 2.9}, {6.5, 3.7, 2.9}})));
    EXPECT_TRUE(good.ok) << good.err;
}

// Regression: a layer count beyond the caller's arrays used to be written
// past their end; a count of 0 indexed the layer before the first.
TEST(Rdlyr, RefusesLayerCountsTheArraysCannotHold) {
    TempDir d;
    std::string many = "101\n";
    for (int i = 1; i <= 101; ++i)
        many += testing::layer_line(i, {6, 3.5, 2.8, i < 101 ? 1.0 : 0.0});
    Read r = read(d.write("many", many));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.err.find("Too many layers"), std::string::npos);
    EXPECT_NE(r.err.find("many'"), std::string::npos);

    Read z = read(d.write("none", "  0\n"));
    EXPECT_FALSE(z.ok);
    EXPECT_NE(z.err.find("No layers"), std::string::npos);
    Read neg = read(d.write("neg", " -2\n"));
    EXPECT_FALSE(neg.ok);
}

TEST(Rdlyr, UnreadableFilesEndWithStatusTwoNamingTheFile) {
    TempDir d;
    auto [s1, l1] = ending(d.path("absent"));
    EXPECT_EQ(s1, 2);
    EXPECT_NE(l1.find("absent"), std::string::npos);
    EXPECT_NE(l1.find("No such file"), std::string::npos);

    // Not a number, NaN, and a file that ends before its last layer.
    auto [s2, l2] = ending(d.write("letters", "  1\n  1     abc    3.60    2.80\n"));
    EXPECT_EQ(s2, 2);
    EXPECT_NE(l2.find("letters"), std::string::npos);
    auto [s3, l3] = ending(d.write("nan", "  1\n  1      NaN    3.60    2.80\n"));
    EXPECT_EQ(s3, 2);
    auto [s4, l4] = ending(d.write("short", "  2\n" + testing::layer_line(1, {6, 3.5, 2.8, 10})));
    EXPECT_EQ(s4, 2);
    EXPECT_NE(l4.find("short"), std::string::npos);
    auto [s5, l5] = ending(d.write("count", "  x\n"));
    EXPECT_EQ(s5, 2);
    auto [s6, l6] = ending(d.write("empty", ""));
    EXPECT_EQ(s6, 2);
}

Layers two_layers() {
    Layers m;
    m.n = 2;
    m.vp = {6.3f, 8.1f}, m.vs = {3.6f, 4.5f}, m.rho = {2.8f, 3.3f}, m.h = {35.0f, 0.0f};
    return m;
}

std::string refusal(const Layers& m) {
    try {
        check_layers(m, "x.mod");
    } catch (const console::Ending& e) {
        EXPECT_EQ(e.status(), 1);
        return e.line();
    }
    return "";
}

// Regression: each of these models divided by zero or produced non-finite
// speeds downstream instead of being refused.
TEST(CheckLayers, RefusesModelsThatCannotGiveFiniteTraces) {
    EXPECT_EQ(refusal(two_layers()), "");
    Layers half = two_layers();
    half.vp_bottom[1] = 8.5f;
    EXPECT_EQ(refusal(half),
              " **Model file 'x.mod', layer 2: gradient in a layer of zero thickness");
    Layers q = two_layers();
    q.qp[0] = 200.0f;
    EXPECT_NE(refusal(q).find("layer 1: Qp given but Qs is 0"), std::string::npos);
    Layers qdefault = two_layers();
    qdefault.qs[0] = 40.0f; // Qp = 0 selects both defaults
    EXPECT_EQ(refusal(qdefault), "");
    Layers fluid = two_layers();
    fluid.vs[0] = 0.0f;
    EXPECT_NE(refusal(fluid).find("layer 1: P speed, S speed and density must be positive"),
              std::string::npos);
    Layers thick = two_layers();
    thick.h[0] = -1.0f;
    EXPECT_NE(refusal(thick).find("negative thickness"), std::string::npos);
}

TEST(CheckSlowness, NamesTheLayerWhereTheWaveCannotTravelVertically) {
    Layers m = two_layers();
    EXPECT_NO_THROW(check_slowness(m, 0.12f, 1, "x.mod"));
    try {
        check_slowness(m, 0.13f, 1, "x.mod"); // beyond 1/8.1 in the half-space
        FAIL();
    } catch (const console::Ending& e) {
        EXPECT_NE(e.line().find("'x.mod', layer 2: slowness 0.13 s/km is at or beyond 1/vp"),
                  std::string::npos);
    }
    // For incident S the S speeds matter: 0.25 s/km is beyond 1/4.5.
    EXPECT_THROW(check_slowness(m, 0.25f, 2, "x.mod"), console::Ending);
    EXPECT_NO_THROW(check_slowness(m, 0.2f, 2, "x.mod"));
    // A graded P layer integrates its delay: no limit from its own speed.
    Layers g = two_layers();
    g.n = 3, g.vp = {6.3f, 7.0f, 8.1f}, g.vs = {3.6f, 4.0f, 4.5f}, g.rho = {2.8f, 3.0f, 3.3f};
    g.h = {10.0f, 10.0f, 0.0f}, g.vp_bottom = {7.0f, 0.0f, 0.0f}, g.rho_bottom = {3.0f, 0, 0};
    EXPECT_NO_THROW(check_slowness(g, 0.12f, 1, "x.mod"));
}

TEST(Flatten, StretchesDepthAndSpeeds) {
    Layers m = two_layers();
    flatten(m, "x.mod");
    const double R = 6371.0;
    EXPECT_NEAR(m.h[0], R * std::log(R / (R - 35.0)), 1e-3);
    double mid = R / (R - 17.5);
    EXPECT_NEAR(m.vp[0], 6.3 * mid, 1e-5);
    EXPECT_NEAR(m.rho[0], 2.8 / mid, 1e-5);
    EXPECT_NEAR(m.vs[1], 4.5 * R / (R - 35.0), 1e-5);
    EXPECT_EQ(m.h[1], 0.0f);
}

} // namespace
} // namespace synthetics
