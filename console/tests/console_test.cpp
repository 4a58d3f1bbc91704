#include "console/console.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <new>
#include <sstream>
#include <stdexcept>

namespace {

using console::Record;

// Runs with the console on string streams; restores the real ones after.
struct Redirect {
    std::istringstream in;
    std::ostringstream out, err;
    console::Streams saved = console::streams();
    explicit Redirect(const std::string& input = "") : in(input) {
        console::streams() = {&in, &out, &err};
    }
    ~Redirect() { console::streams() = saved; }
};

TEST(Record, TextsJoinNumbersTakeABlank) {
    EXPECT_EQ(Record().text("**Bad input, line ").integer(3).text(", skipping.").str(),
              " **Bad input, line            3 , skipping.");
    EXPECT_EQ(Record().text("**Invalid ").text("-freq value").text(".").str(),
              " **Invalid -freq value.");
    EXPECT_EQ(Record().integer(-42).str(), "         -42");
    EXPECT_EQ(Record().text("a").real(0.5f).integer(7).str(), " a  0.50000000               7");
}

TEST(G15_8, FixedFormBetweenTenthAndHundredMillion) {
    EXPECT_EQ(console::g15_8(0.5f), " 0.50000000    ");
    EXPECT_EQ(console::g15_8(7.0f), "  7.0000000    ");
    EXPECT_EQ(console::g15_8(-7.0f), " -7.0000000    ");
    EXPECT_EQ(console::g15_8(12345678.0f), "  12345678.    ");
    EXPECT_EQ(console::g15_8(0.1f), " 0.10000000    ");
    EXPECT_EQ(console::g15_8(0.0f), "  0.0000000    ");
    // A negative zero is written with its sign, like any other negative value.
    EXPECT_EQ(console::g15_8(-0.0f), " -0.0000000    ");
}

TEST(G15_8, ExponentFormOutside) {
    EXPECT_EQ(console::g15_8(1.0e-3f), " 0.10000000E-02");
    EXPECT_EQ(console::g15_8(-2.5e9f), "-0.25000000E+10");
    EXPECT_EQ(console::g15_8(1.0e8f), " 0.10000000E+09");
    EXPECT_EQ(console::g15_8(3.0e-38f), " 0.30000001E-37");
    // 99999999.5 is not a float; the largest below 1e8 rounds up to 1e8 in
    // eight digits and so takes the exponent form.
    EXPECT_EQ(console::g15_8(99999992.0f), "  99999992.    ");
}

TEST(Fields, OverflowFillsWithAsterisks) {
    EXPECT_EQ(console::int_field(42, 5), "   42");
    EXPECT_EQ(console::int_field(123456, 5), "*****");
    EXPECT_EQ(console::int_field(-1234, 5), "-1234");
    EXPECT_EQ(console::fixed_field(3.14159, 8, 3), "   3.142");
    EXPECT_EQ(console::fixed_field(42.4, 5, 0), "  42.");
    EXPECT_EQ(console::fixed_field(-0.25, 5, 3), "-.250");
    EXPECT_EQ(console::fixed_field(123456.0, 6, 2), "******");
    EXPECT_EQ(console::fixed_field(std::nan(""), 6, 2), "******");
    EXPECT_EQ(console::fixed_field(1.0 / 0.0, 4, 1), "****");
}

TEST(Console, UptoBlank) {
    EXPECT_EQ(console::upto_blank("out.sac  rest"), "out.sac");
    EXPECT_EQ(console::upto_blank("whole"), "whole");
}

TEST(Pause, GoResumes) {
    Redirect r("go\nnext line\n");
    console::pause("**RATINT:  Duplicate points");
    EXPECT_EQ(r.err.str(), "PAUSE **RATINT:  Duplicate points\n"
                           "To resume execution, type go.  Other input will terminate the job.\n"
                           "RESUMED\n");
    std::string rest;
    std::getline(r.in, rest);
    EXPECT_EQ(rest, "next line"); // only the answer line was consumed
}

TEST(Pause, GoFromCrlfLineResumes) {
    Redirect r("go\r\n");
    EXPECT_NO_THROW(console::pause());
}

TEST(Pause, AnythingElseEndsTheRun) {
    for (const char* answer : {"no\n", "go on\n", "", "GO\n"}) {
        Redirect r(answer);
        try {
            console::pause();
            ADD_FAILURE() << "resumed on '" << answer << "'";
        } catch (const console::Ending& e) {
            EXPECT_EQ(e.status(), 1);
            EXPECT_EQ(e.line(), "");
        }
        EXPECT_EQ(r.err.str().substr(0, 6), "PAUSE\n");
    }
}

TEST(Run, EndingsBecomeStatusAndLine) {
    Redirect r;
    EXPECT_EQ(console::run([] { return 0; }), 0);
    EXPECT_EQ(console::run([]() -> int { console::stop("**No wavelet"); }), 1);
    EXPECT_EQ(console::run([]() -> int { console::quit(0); }), 0);
    EXPECT_EQ(console::run([]() -> int { console::file_failure("cannot open model m1"); }), 2);
    EXPECT_EQ(console::run([]() -> int { throw std::runtime_error("boom"); }), 1);
    EXPECT_EQ(console::run([]() -> int { throw std::bad_alloc(); }), 1);
    const std::string e = r.err.str();
    EXPECT_EQ(e.substr(0, 38), "STOP **No wavelet\ncannot open model m1");
    EXPECT_NE(e.find("boom"), std::string::npos);
    EXPECT_NE(e.find("Memory allocation failed\n"), std::string::npos);
}

TEST(Console, ArgumentsSkipProgramName) {
    char a0[] = "prog", a1[] = "-freq", a2[] = "2.5";
    char* argv[] = {a0, a1, a2, nullptr};
    auto args = console::arguments(3, argv);
    ASSERT_EQ(args.size(), 2u);
    EXPECT_EQ(args[0], "-freq");
    EXPECT_EQ(args[1], "2.5");
}

} // namespace
