// rfkit info: a table of header fields for many files.
#include "sacfiles.hpp"

#include <gtest/gtest.h>

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

} // namespace
} // namespace rfkit
