// What the outputs of the trace routines hold after each error, as their
// declarations promise: a caller that checks nerr must be able to rely on
// what it still has in hand.
#include "scratch.hpp"
#include "traceio/traceio.hpp"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace traceio;
using traceio_test::Scratch;
using traceio_test::slurp;
using traceio_test::spit;

namespace {

std::string station() {
    std::string v;
    int e = 0;
    getkhv("kstnm", v, e);
    return v;
}

// A trace of n samples 1, 2, ... with B = 5, DELTA = 0.25 and station FILE.
void write_trace(const std::string& path, int n, bool leven = true) {
    std::vector<float> y(static_cast<std::size_t>(n), 1.0f);
    int e = 0;
    newhdr();
    setnhv("npts", n, e);
    setfhv("b", 5.0f, e);
    setfhv("delta", 0.25f, e);
    setkhv("kstnm", "FILE", e);
    setlhv("leven", leven, e);
    wsac0(path, y, y, e);
    ASSERT_EQ(e, 0);
}

} // namespace

TEST(FailedRead, OutputsHoldWhatTheDeclarationSays) {
    Scratch s;
    write_trace(s.path("uneven.sac"), 4, false);
    write_trace(s.path("cut.sac"), 10);
    auto cut = slurp(s.path("cut.sac"));
    cut.resize(632 + 8); // two of ten samples
    spit(s.path("cut.sac"), cut);
    spit(s.path("stub.sac"), std::vector<std::uint8_t>(300, 0));

    struct Case {
        const char* file;
        int nerr;
        bool header_loaded; // the store holds the file's header
        bool times_set;     // beg and del are the file's, nlen is 0
    };
    const Case cases[] = {
        {"missing.sac", ERR_OPEN, false, false},
        {"stub.sac", ERR_READ, false, false},
        {"cut.sac", ERR_READ, true, true},
        {"uneven.sac", ERR_UNEVEN, true, false},
    };
    for (const auto& c : cases) {
        int e = 0;
        newhdr();
        setkhv("kstnm", "BEFORE", e);
        std::vector<float> y(4, -3.0f);
        int n = 99;
        float b = -1.0f, d = -1.0f;
        rsac1(s.path(c.file), y, n, b, d, 4, e);
        EXPECT_EQ(e, c.nerr) << c.file << ": " << error_text(e);
        EXPECT_EQ(station(), c.header_loaded ? "FILE" : "BEFORE") << c.file;
        EXPECT_EQ(n, c.times_set ? 0 : 99) << c.file;
        EXPECT_EQ(b, c.times_set ? 5.0f : -1.0f) << c.file;
        EXPECT_EQ(d, c.times_set ? 0.25f : -1.0f) << c.file;
        if (!c.times_set) {
            EXPECT_EQ(y[0], -3.0f) << c.file;
        }
    }
}

TEST(FailedWrite, OneCallWriterKeepsItsFreshHeader) {
    Scratch s;
    int e = 0;
    newhdr();
    setkhv("kstnm", "OLD", e);
    const std::vector<float> y{1.0f, 2.0f};
    wsac1(s.path("no/such/dir/out.sac"), y, 2, 0.0f, 1.0f, e);
    EXPECT_EQ(e, ERR_OPEN);
    EXPECT_EQ(station(), "-12345"); // the fresh header, not the one before
    int n = 0;
    getnhv("npts", n, e);
    EXPECT_EQ(n, 2);
}
