// rfkit info: a table of header fields for many files.
#include "sacfiles.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace rfkit {
namespace {

using namespace rfkit::testing;

// Fields of every kind in any case, undefined values named as such, files
// from the arguments or from standard input; an unreadable file is reported
// and left out of the table; an unknown field ends the run before any.
TEST(Info, TabulatesFieldsOfEveryKind) {
    rftest::TempDir dir;
    const std::vector<float> y(10, 1.0f);
    write_trace(dir.path("a.rf"), y, -10, 0.05f, [] {
        set("user2", 0.93f), set_text("kstnm", "PB01"), set_text("kevnm", "OAXACA, MEXICO");
        set_int("nzyear", 2011);
        int e = 0;
        traceio::setihv("iztype", "IO", e);
    });
    write_trace(dir.path("b.rf"), y, -10, 0.05f, [] { set("user2", 0.125f); });
    const std::string fields = "kstnm,USER2,Npts,iztype,kevnm,leven,nzyear";
    Outcome o = run({"info", "-f", fields, dir.path("a.rf"), dir.path("b.rf")});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string a = dir.path("a.rf"), b = dir.path("b.rf");
    EXPECT_EQ(o.out, "# file" + std::string(a.size() - 6 + 2, ' ') +
                         "KSTNM  USER2  NPTS  IZTYPE  KEVNM             LEVEN  NZYEAR\n" + a +
                         "  PB01   0.93   10    IO      \"OAXACA, MEXICO\"  true   2011\n" + b +
                         "  undef  0.125  10    undef   undef             true   undef\n");

    o = run({"info", "-f", "user2"}, b + "\r\n\n# a comment\n" + dir.path("missing.rf") + "\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.out.find(b + "  0.125\n"), std::string::npos) << o.out;
    EXPECT_EQ(o.out.find("missing"), std::string::npos);
    EXPECT_NE(o.err.find("missing.rf': No such file or directory"), std::string::npos) << o.err;

    for (const char* bad : {"user22", "stlat", "kuser0x", "userx"}) {
        o = run({"info", "-f", bad, a});
        EXPECT_EQ(o.status, 1) << bad;
        EXPECT_NE(o.err.find("is not a header field"), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "");
    }
}

// Any file of 632 bytes or more loads as a header, and a text or a block of
// zeros was once read as a trace: info printed a row of its bytes as fields
// (status 0), hk named a sample count of hundreds of millions, prep said
// "read failed or file too short", info said "file not evenly spaced".
// Each now says that the file is not a trace file.
TEST(Info, NamesAFileThatIsNotATrace) {
    rftest::TempDir dir;
    const std::string text = dir.path("notes.txt"), zeros = dir.path("zeros.sac");
    {
        std::ofstream out(text);
        for (int i = 0; i < 40; ++i) out << "# H kappa stack, line " << i << " of a text file\n";
        std::ofstream(zeros, std::ios::binary) << std::string(2000, '\0');
    }
    const std::string trace = dir.path("z.sac");
    write_trace(trace, std::vector<float>(100, 1.0f), 0, 0.05f);
    for (const std::string& bad : {text, zeros}) {
        struct Case {
            std::vector<std::string> args;
            std::string said;
        };
        const std::vector<Case> cases{
            {{"info", bad, trace}, "'" + bad + "': not a trace file"},
            {{"hk", trace, bad}, "left out '" + bad + "': not a trace file"},
            {{"stack", "-o", dir.path("s.sac"), bad, trace}, "left out '" + bad + "': not a trace"},
            {{"prep", trace, trace, bad}, "'" + bad + "': not a trace file"},
            {{"peaks", bad}, "'" + bad + "' cannot be read as a trace"},
        };
        for (const Case& c : cases) {
            const Outcome o = run(c.args);
            SCOPED_TRACE(c.args[0] + " " + bad + ": " + o.err);
            EXPECT_EQ(o.status, 1);
            EXPECT_NE(o.err.find(c.said), std::string::npos) << c.said;
            EXPECT_EQ(o.out.find(bad), std::string::npos) << o.out;
        }
    }
    const Outcome o = run({"info", "-f", "npts", trace});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.out.find(trace + "  100\n"), std::string::npos) << o.out;
}

} // namespace
} // namespace rfkit
