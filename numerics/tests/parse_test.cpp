#include "console/console.hpp"
#include "numerics/parse.hpp"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>

namespace {

using numerics::gnum;

// Catches what gnum writes on standard error.
struct ErrCapture {
    std::ostringstream err;
    console::Streams saved = console::streams();
    ErrCapture() { console::streams().err = &err; }
    ~ErrCapture() { console::streams() = saved; }
};

TEST(Gnum, ReadsListDirectedForms) {
    ErrCapture cap;
    float v = -1.0f;
    EXPECT_EQ(gnum("2.5", v, "x"), 0);
    EXPECT_EQ(v, 2.5f);
    EXPECT_EQ(gnum("   7", v, "x"), 0);
    EXPECT_EQ(v, 7.0f);
    EXPECT_EQ(gnum("1e-2", v, "x"), 0);
    EXPECT_EQ(v, 0.01f);
    EXPECT_EQ(gnum("4 and more words", v, "x"), 0);
    EXPECT_EQ(v, 4.0f);
    EXPECT_EQ(gnum("-1.5D+01", v, "x"), 0);
    EXPECT_EQ(v, -15.0f);
    EXPECT_EQ(gnum("+.5,9", v, "x"), 0);
    EXPECT_EQ(v, 0.5f);
    EXPECT_EQ(gnum("3./", v, "x"), 0);
    EXPECT_EQ(v, 3.0f);
    EXPECT_EQ(gnum("0.1", v, "x"), 0);
    EXPECT_EQ(v, 0.1f); // rounded once, straight to single precision
    EXPECT_EQ(cap.err.str(), "");
}

TEST(Gnum, SlashReadsNothingAndSucceeds) {
    float v = 9.0f;
    EXPECT_EQ(gnum("  / 3", v, "x"), 0);
    EXPECT_EQ(v, 9.0f);
}

TEST(Gnum, FailuresReportAndKeepValue) {
    ErrCapture cap;
    float v = 9.0f;
    EXPECT_EQ(gnum("3.5abc", v, "-freq value"), 1);
    EXPECT_EQ(gnum("   ", v, "-freq value"), 1);
    EXPECT_EQ(gnum("", v, "x"), 1);
    EXPECT_EQ(v, 9.0f);
    EXPECT_EQ(cap.err.str(), " **Invalid -freq value.\n **Invalid -freq value.\n **Invalid x.\n");
}

TEST(Gnum, RefusesMalformedAndNonFiniteNumbers) {
    ErrCapture cap;
    float v = 9.0f;
    for (const char* t :
         {".", "-", "e5", "1e", "1.2.3", "nan", "inf", "-Infinity", "0x10", "1e39", "--1", "1e+"}) {
        EXPECT_EQ(gnum(t, v, ""), 1) << t;
    }
    EXPECT_EQ(v, 9.0f);
    EXPECT_EQ(cap.err.str(), "") << "an empty name keeps the failure silent";
}

TEST(Tokens, SplitsOnBlanksOnly) {
    std::array<std::string, 9> toks;
    int ntok = -1;
    numerics::tokens("a  bb   ccc", 9, ntok, toks, 80);
    ASSERT_EQ(ntok, 3);
    EXPECT_EQ(toks[0], "a");
    EXPECT_EQ(toks[1], "bb");
    EXPECT_EQ(toks[2], "ccc");

    numerics::tokens("     ", 9, ntok, toks, 80);
    EXPECT_EQ(ntok, 0);

    numerics::tokens("x\ty z", 9, ntok, toks, 80);
    ASSERT_EQ(ntok, 2);
    EXPECT_EQ(toks[0], "x\ty"); // a tab is part of a token
}

TEST(Tokens, StopsAtMaxtokAndCutsLongTokens) {
    std::array<std::string, 9> toks;
    int ntok = 0;
    numerics::tokens("1 2 3 4 5 6 7 8 9 10 11 12", 9, ntok, toks, 80);
    EXPECT_EQ(ntok, 9);
    EXPECT_EQ(toks[8], "9");
    numerics::tokens("abcdefgh ij", 9, ntok, toks, 3);
    EXPECT_EQ(toks[0], "abc");
    EXPECT_EQ(toks[1], "ij");
}

// Regression: a maxtok larger than the array must not store past its end.
TEST(Tokens, NeverStoresPastTheArray) {
    std::array<std::string, 2> toks;
    int ntok = 0;
    numerics::tokens("p q r s", 9, ntok, toks, 80);
    EXPECT_EQ(ntok, 2);
    EXPECT_EQ(toks[1], "q");
}

TEST(Getnbs, FindsNthToken) {
    std::string out = "unchanged";
    EXPECT_TRUE(numerics::getnbs("  alpha   beta", 2, out, 80));
    EXPECT_EQ(out, "beta");
    EXPECT_TRUE(numerics::getnbs("  alpha   beta", 1, out, 3));
    EXPECT_EQ(out, "alp");
    out = "unchanged";
    EXPECT_FALSE(numerics::getnbs("  alpha   beta", 3, out, 80));
    EXPECT_FALSE(numerics::getnbs("  alpha   beta  ", 3, out, 80));
    EXPECT_FALSE(numerics::getnbs("alpha", 0, out, 80));
    EXPECT_EQ(out, "unchanged");
    EXPECT_TRUE(numerics::getnbs("alpha", 1, out, 0));
    EXPECT_EQ(out, "unchanged");
}

TEST(ReadReals, BlanksAndCommasSeparate) {
    std::array<float, 6> v{};
    EXPECT_EQ(numerics::read_reals("10 20,30 , 40 5e1 60", v), 6);
    EXPECT_EQ(v, (std::array<float, 6>{10, 20, 30, 40, 50, 60}));
    EXPECT_EQ(numerics::read_reals("1 2 3", v), 3);
    EXPECT_EQ(numerics::read_reals("1 2 / 3", v), 2);
    EXPECT_EQ(numerics::read_reals("1 2 3 4 5 6 7", v), 6);
}

TEST(ReadReals, UnreadableItemsFail) {
    std::array<float, 6> v{};
    EXPECT_EQ(numerics::read_reals("1 x 3", v), -1);
    EXPECT_EQ(numerics::read_reals("1,,3", v), -1);
    EXPECT_EQ(numerics::read_reals(",1", v), -1);
}

} // namespace
