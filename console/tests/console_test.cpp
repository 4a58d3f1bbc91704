#include "console/console.hpp"
#include "console/outputs.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

// A decimal comma once gave "-freq 2,5" the value 2 and "-p 0,06" a slowness
// of 0, without a word: the list read takes the first item and drops the rest.
TEST(OneNumber, ADecimalCommaOrASecondItemIsNamed) {
    const struct {
        const char* text;
        std::string why;
    } cases[] = {
        {"2.5", ""},
        {"-0.06", ""},
        {"1e-3  ", ""},
        {"  4", ""},
        {"", ""},
        {"/", ""},
        {"0.06,", ""},
        {"2,5", "'2,5' is more than one number (the decimal mark is a point)"},
        {",5", "',5' is more than one number (the decimal mark is a point)"},
        {"0,06  ", "'0,06' is more than one number (the decimal mark is a point)"},
        {"2/5", "'2/5' is more than one number"},
        {"2 5", "'2 5' is more than one number"},
    };
    for (const auto& c : cases) EXPECT_EQ(console::one_number_problem(c.text), c.why) << c.text;
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
    const std::string endless = "go" + std::string(100000, 'o') + "\n"; // kept only in part
    for (const std::string& answer : {std::string("no\n"), std::string("go on\n"), std::string(),
                                      std::string("GO\n"), std::string("\n"), endless}) {
        Redirect r(answer);
        try {
            console::pause();
            ADD_FAILURE() << "resumed on '" << answer.substr(0, 10) << "'";
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

// Every line read, as (number, text) pairs, and whether the list was clean.
struct Read {
    std::vector<std::pair<long, std::string>> lines;
    bool clean;
};
Read read_all(console::JobLines& jobs) {
    Read r{{}, true};
    for (std::string line; jobs.next(line);) r.lines.emplace_back(jobs.number(), line);
    r.clean = jobs.clean();
    return r;
}

TEST(JobLines, PassOverBlankAndCommentLinesAndStripCarriageReturns) {
    Redirect r("a b\r\n\n   \n# note\n  # indented note\n\t\r\nc#d\nlast");
    console::JobLines jobs("expects");
    const Read got = read_all(jobs);
    const std::vector<std::pair<long, std::string>> want{{1, "a b"}, {7, "c#d"}, {8, "last"}};
    EXPECT_EQ(got.lines, want);
    EXPECT_TRUE(got.clean);
    EXPECT_EQ(r.err.str(), ""); // not a terminal: no prompt, and nothing said of passed-over lines
}

TEST(JobLines, OverlongLineIsSkippedWithItsNumber) {
    const std::string longest(console::max_line, 'x');
    Redirect r(longest + "\n" + longest + "y\nnext\n" + longest + "zz");
    console::JobLines jobs("expects");
    const Read got = read_all(jobs);
    const std::vector<std::pair<long, std::string>> want{{1, longest}, {3, "next"}};
    EXPECT_EQ(got.lines, want);
    EXPECT_FALSE(got.clean);
    EXPECT_EQ(r.err.str(),
              " **Input line too long, skipping.\n  line 2: more than 4096 characters\n"
              " **Input line too long, skipping.\n  line 4: more than 4096 characters\n");
}

// A stream whose reads fail, as a disk or a terminal can.
struct FailingBuffer : std::streambuf {
    int_type underflow() override { throw std::ios_base::failure("read failed"); }
};

TEST(JobLines, ReadErrorIsNotTheEndOfInput) {
    Redirect r;
    FailingBuffer failing;
    std::istream broken(&failing);
    console::streams().in = &broken;
    console::JobLines jobs("expects");
    std::string line;
    try {
        jobs.next(line);
        ADD_FAILURE() << "a failed read passed for the end of input";
    } catch (const console::Ending& e) {
        EXPECT_EQ(e.status(), 2);
        EXPECT_EQ(e.line(), " **Trouble reading standard input.\n  line 1");
    }
}

TEST(Where, NamesLineFileAndReasonAsKnown) {
    struct Case {
        bool in_job;
        const char* file;
        const char* reason;
        const char* want;
    } cases[] = {
        {true, "nodir/a.rf", "No such file or directory",
         "  line 2, file 'nodir/a.rf': No such file or directory"},
        {true, "", "", "  line 2"},
        {true, "", "8 tokens", "  line 2: 8 tokens"},
        {false, "a.rf", "", "  file 'a.rf'"},
        {false, "a.rf", "Permission denied", "  file 'a.rf': Permission denied"},
        {false, "", "why", "  why"},
        {false, "", "", ""},
    };
    for (const Case& c : cases) {
        Redirect r("first\nsecond\n");
        std::optional<console::JobLines> jobs;
        if (c.in_job) {
            jobs.emplace("expects");
            std::string line;
            jobs->next(line);
            jobs->next(line);
        }
        console::concerning(c.file);
        EXPECT_EQ(console::where(c.reason), c.want) << c.file << " " << c.reason;
        console::concerning("");
    }
}

TEST(JobLines, SkipGoesOnStopEndsAndBothSayWhere) {
    Redirect r("one\ntwo\nthree\n");
    console::JobLines jobs("expects");
    std::string line;
    ASSERT_TRUE(jobs.next(line));
    EXPECT_TRUE(jobs.run([] { console::concerning("w.sac"); }));
    ASSERT_TRUE(jobs.next(line));
    EXPECT_FALSE(jobs.run([] {
        console::concerning("nodir/a.rf");
        console::skip(" **Trouble writing nodir/a.rf", console::system_reason(ENOENT));
    }));
    EXPECT_EQ(r.err.str(), " **Trouble writing nodir/a.rf\n"
                           "  line 2, file 'nodir/a.rf': No such file or directory\n");
    EXPECT_FALSE(jobs.clean());
    ASSERT_TRUE(jobs.next(line));
    try {
        jobs.run([] { console::stop("**Trouble reading wavelet input file."); });
        ADD_FAILURE() << "a stop did not end the run";
    } catch (const console::Ending& e) {
        EXPECT_EQ(e.status(), 1);
        // The file named in the job of line 2 is forgotten at line 3.
        EXPECT_EQ(e.line(), "STOP **Trouble reading wavelet input file.\n  line 3");
    }
    try {
        console::quit(1);
    } catch (const console::Ending& e) {
        EXPECT_EQ(e.line(), "  line 3"); // after a message written by someone else
    }
}

TEST(JobLines, PauseSkipsTheJobInsteadOfReadingTheJobList) {
    Redirect r("one\ngo\n");
    console::JobLines jobs("expects");
    std::string line;
    ASSERT_TRUE(jobs.next(line));
    EXPECT_FALSE(jobs.run([] { console::pause("**MTAPER: nwin not << n! - invalid use."); }));
    EXPECT_EQ(r.err.str(), "PAUSE **MTAPER: nwin not << n! - invalid use.\n"
                           "  line 1: job skipped, a pause takes no answer from the job list\n");
    ASSERT_TRUE(jobs.next(line));
    EXPECT_EQ(line, "go"); // still there for the next job
}

TEST(Skip, OutsideAJobListEndsTheRun) {
    Redirect r;
    EXPECT_EQ(console::run([]() -> int {
                  console::concerning("out.sac");
                  console::skip(" **Trouble writing out.sac");
              }),
              1);
    console::concerning("");
    EXPECT_EQ(r.err.str(), " **Trouble writing out.sac\n  file 'out.sac'\n");
}

// An output of the run is known under any path to the same file, and only
// then (a symbolic link is replaced when written, so it is a file of its own); a stream written in
// place is not kept.
TEST(RunOutputs, AFileIsKnownUnderEveryNameOfIt) {
    Redirect r;
    char tmpl[] = "/tmp/run-outputs-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string d = tmpl;
    std::filesystem::create_directory(d + "/sub");
    std::ofstream(d + "/a.rf") << "a";
    std::ofstream(d + "/b.rf") << "b";
    std::filesystem::create_symlink(d + "/a.rf", d + "/link.rf");
    std::filesystem::create_directory_symlink(d, d + "/again");
    ASSERT_EQ(::mkfifo((d + "/fifo").c_str(), 0600), 0);
    console::RunOutputs outputs;
    outputs.add(d + "/a.rf", 3);
    outputs.add(d + "/fifo", 4);
    const struct {
        std::string name;
        bool known;
    } cases[] = {
        {d + "/a.rf", true},        {d + "/./a.rf", true},     {d + "/sub/../a.rf", true},
        {d + "/link.rf", false},    {d + "/again/a.rf", true}, {d + "/b.rf", false},
        {d + "/missing.rf", false}, {d + "/fifo", false},
    };
    for (const auto& c : cases) {
        try {
            outputs.check(c.name, "Output", "two job lines name the same output");
            EXPECT_FALSE(c.known) << c.name;
        } catch (const console::Skip& e) {
            EXPECT_TRUE(c.known) << c.name;
            EXPECT_TRUE(e.line().starts_with(" **Output already written by line 3, skipping.\n"))
                << e.line();
        }
    }
    // Two writers racing once saw a later output skipped: the file written
    // here had been replaced by the other writer, and its inode came back as
    // a new file under another name.  Moved away, it is no output of the run.
    std::filesystem::rename(d + "/a.rf", d + "/moved.rf");
    EXPECT_NO_THROW(outputs.check(d + "/moved.rf", "Output", "the same output"));
    console::concerning("");
    std::filesystem::remove_all(d);
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
