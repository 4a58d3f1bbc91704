// Trace files: byte layout, round trips, partial reads, error numbers, byte
// order and the safe replacement of output files.
#include "scratch.hpp"
#include "store.hpp"
#include "traceio/traceio.hpp"
#include "traceio/zfile.hpp"
#include "units.hpp"

#include <cmath>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace traceio;
using traceio_test::bytes_at;
using traceio_test::Scratch;
using traceio_test::slurp;
using traceio_test::spit;
using Bytes = std::vector<std::uint8_t>;

namespace {

void set_int(const char* name, int v) {
    int e = 0;
    setnhv(name, v, e);
    ASSERT_EQ(e, 0) << name;
}
void set_float(const char* name, float v) {
    int e = 0;
    setfhv(name, v, e);
    ASSERT_EQ(e, 0) << name;
}
int get_int(const char* name) {
    int v = 0, e = 0;
    getnhv(name, v, e);
    return v;
}
float get_float(const char* name) {
    float v = 0;
    int e = 0;
    getfhv(name, v, e);
    return v;
}

// Writes an evenly spaced trace of n samples 1, 2, 3, ...
void write_ramp(const std::string& path, int n, float b = 0.0f, float delta = 0.5f) {
    std::vector<float> y(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) y[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
    int e = 0;
    wsac1(path, y, n, b, delta, e);
    ASSERT_EQ(e, 0);
}

// Reverses every 4-byte word of a file except the 48 words of text, making a
// little-endian copy of a big-endian trace.
Bytes to_little_endian(Bytes v) {
    for (std::size_t w = 0; w * 4 < v.size(); ++w) {
        if (w >= 110 && w < 158) continue;
        std::reverse(v.begin() + static_cast<std::ptrdiff_t>(4 * w),
                     v.begin() + static_cast<std::ptrdiff_t>(4 * w + 4));
    }
    return v;
}

} // namespace

TEST(TraceLayout, EmptyTraceIsExactlyTheHeader) {
    Scratch s;
    newhdr();
    set_int("npts", 0);
    int e = 0;
    setkhv("kstnm", "ABC", e);
    setkhv("kevnm", "0123456789ABCDEF", e);
    wsac0(s.path("empty.sac"), {}, {}, e);
    ASSERT_EQ(e, 0);
    const Bytes f = slurp(s.path("empty.sac"));
    ASSERT_EQ(f.size(), 632u);
    EXPECT_EQ(bytes_at(f, 0, 4), (Bytes{0xC6, 0x40, 0xE4, 0x00}));   // DELTA undefined
    EXPECT_EQ(bytes_at(f, 280, 4), (Bytes{0xFF, 0xFF, 0xCF, 0xC7})); // NZYEAR undefined
    EXPECT_EQ(bytes_at(f, 304, 4), (Bytes{0, 0, 0, 6}));             // NVHDR
    EXPECT_EQ(bytes_at(f, 340, 4), (Bytes{0, 0, 0, 1}));             // IFTYPE = ITIME
    EXPECT_EQ(bytes_at(f, 420, 8), (Bytes{0, 0, 0, 1, 0, 0, 0, 0})); // LEVEN, LPSPOL
    EXPECT_EQ(std::string(f.begin() + 440, f.begin() + 448), "ABC     ");
    EXPECT_EQ(std::string(f.begin() + 448, f.begin() + 464), "0123456789ABCDEF");
    EXPECT_EQ(std::string(f.begin() + 624, f.begin() + 632), "-12345  ");
}

TEST(TraceLayout, UnevenTraceHasYThenX) {
    Scratch s;
    newhdr();
    set_int("npts", 3);
    int e = 0;
    setlhv("leven", false, e);
    const std::vector<float> x{10, 20, 30};
    const std::vector<float> y{1, 2, 3};
    wsac0(s.path("xy.sac"), x, y, e);
    ASSERT_EQ(e, 0);
    const Bytes f = slurp(s.path("xy.sac"));
    ASSERT_EQ(f.size(), 632u + 24u);
    EXPECT_EQ(bytes_at(f, 420, 4), (Bytes{0, 0, 0, 0}));
    EXPECT_EQ(bytes_at(f, 632, 4), (Bytes{0x3F, 0x80, 0, 0})); // y[0] = 1
    EXPECT_EQ(bytes_at(f, 644, 4), (Bytes{0x41, 0x20, 0, 0})); // x[0] = 10
    EXPECT_EQ(bytes_at(f, 652, 4), (Bytes{0x41, 0xF0, 0, 0})); // x[2] = 30
    // Evenly spaced: the x array is ignored, whatever it holds.
    setlhv("leven", true, e);
    wsac0(s.path("y.sac"), x, y, e);
    EXPECT_EQ(slurp(s.path("y.sac")).size(), 632u + 12u);
    // The reader refuses the uneven file but loads its header; the caller's
    // samples and length stay as they were.
    std::vector<float> r(8, 99.0f);
    int n = -7;
    float b = 0, d = 0;
    rsac1(s.path("xy.sac"), r, n, b, d, 8, e);
    EXPECT_EQ(e, 801);
    EXPECT_EQ(n, -7);
    EXPECT_EQ(r[0], 99.0f);
    EXPECT_EQ(get_int("npts"), 3);
}

TEST(TraceRoundTrip, EveryHeaderWordSurvives) {
    Scratch s;
    newhdr();
    const auto& names = detail::kmlhf;
    int e = 0;
    for (std::size_t k = 0; k < names.fhdr.size(); ++k)
        setfhv(names.fhdr[k], 0.5f + static_cast<float>(k), e);
    for (std::size_t k = 0; k < names.nhdr.size(); ++k)
        setnhv(names.nhdr[k], 1000 + static_cast<int>(k), e);
    for (std::size_t k = 0; k < names.khdr.size(); ++k)
        setkhv(names.khdr[k], std::string("K").append(std::to_string(k)).append("xyz"), e);
    set_int("nvhdr", 6);
    set_int("npts", 4);
    set_float("delta", 0.25f);
    set_float("b", -1.0f);
    setlhv("lcalda", false, e); // keep the stored distances
    setlhv("lpspol", true, e);
    const detail::NumericHeader before = detail::cmhdr;
    const detail::TextHeader text_before = detail::kmhdr;
    const std::vector<float> y{1.5f, -2.5f, 3.0f, 1e-30f};
    wsac0(s.path("all.sac"), {}, y, e);
    ASSERT_EQ(e, 0);
    newhdr();
    std::vector<float> r(10);
    int n = 0;
    float b = 0, d = 0;
    rsac1(s.path("all.sac"), r, n, b, d, 10, e);
    ASSERT_EQ(e, 0);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(std::vector<float>(r.begin(), r.begin() + 4), y);
    EXPECT_EQ(b, -1.0f);
    EXPECT_EQ(d, 0.25f);
    for (std::size_t k = 0; k < 70; ++k) {
        if (k == detail::f::e) continue; // recomputed from B, DELTA and NPTS
        EXPECT_EQ(detail::cmhdr.fhdr[k], before.fhdr[k]) << names.fhdr[k];
    }
    EXPECT_EQ(detail::cmhdr.fhdr[detail::f::e], -1.0f + 3 * 0.25f);
    EXPECT_EQ(detail::cmhdr.nhdr, before.nhdr);
    EXPECT_EQ(detail::cmhdr.ihdr, before.ihdr);
    EXPECT_EQ(detail::cmhdr.lhdr, before.lhdr);
    EXPECT_EQ(detail::kmhdr.khdr, text_before.khdr);
}

TEST(TraceRoundTrip, CallerArraysAndStoreAreUnchangedByAWrite) {
    Scratch s;
    newhdr();
    set_int("npts", 300); // more than one 512-byte piece
    int e = 0;
    setlhv("leven", false, e);
    std::vector<float> x(300), y(300);
    for (int i = 0; i < 300; ++i) {
        x[static_cast<std::size_t>(i)] = std::ldexp(1.0f + static_cast<float>(i), i % 60 - 30);
        y[static_cast<std::size_t>(i)] = -std::sqrt(static_cast<float>(i) + 0.1f);
    }
    std::uint32_t nan_bits = 0x7FA00001u; // a signalling NaN with a payload
    std::memcpy(&y[7], &nan_bits, 4);
    const auto x0 = x;
    const auto y0 = y;
    const auto store = detail::cmhdr;
    wsac0(s.path("keep.sac"), x, y, e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(std::memcmp(x.data(), x0.data(), 1200), 0);
    EXPECT_EQ(std::memcmp(y.data(), y0.data(), 1200), 0);
    EXPECT_EQ(detail::cmhdr.fhdr, store.fhdr);
    EXPECT_EQ(detail::cmhdr.nhdr, store.nhdr);
    // The file holds the NaN's exact bits, big-endian.
    const Bytes f = slurp(s.path("keep.sac"));
    EXPECT_EQ(bytes_at(f, 632 + 28, 4), (Bytes{0x7F, 0xA0, 0x00, 0x01}));
}

TEST(TraceRoundTrip, OneCallWriterStartsFromAFreshHeader) {
    Scratch s;
    newhdr();
    set_float("user0", 3.0f);
    set_int("nzyear", 2001);
    const std::vector<float> y{1, 2, 3, 4, 5};
    int e = 0;
    wsac1(s.path("w1.sac"), y, 5, 10.0f, 0.1f, e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(get_float("user0"), -12345.0f);
    EXPECT_EQ(get_int("nzyear"), -12345);
    EXPECT_EQ(get_float("e"), 10.0f + 4 * 0.1f);
    EXPECT_EQ(slurp(s.path("w1.sac")).size(), 632u + 20u);
    std::vector<float> r(5);
    int n = 0;
    float b = 0, d = 0;
    rsac1(s.path("w1.sac"), r, n, b, d, 5, e);
    EXPECT_EQ(get_float("user0"), -12345.0f);
    EXPECT_EQ(r, y);
}

TEST(TraceRead, HeaderOnlyAndPartialReads) {
    Scratch s;
    const std::string p = s.path("ten.sac");
    write_ramp(p, 10, 2.0f, 0.5f);
    std::vector<float> r(12, -1.0f);
    int n = -1, e = 0;
    float b = 0, d = 0;
    rsac1(p, r, n, b, d, 0, e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(b, 2.0f);
    EXPECT_EQ(d, 0.5f);
    EXPECT_EQ(r[0], -1.0f);
    EXPECT_EQ(get_int("npts"), 10);
    EXPECT_EQ(get_float("e"), 6.5f);

    rsac1(p, r, n, b, d, 3, e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(r[2], 3.0f);
    EXPECT_EQ(r[3], -1.0f);
    EXPECT_EQ(get_int("npts"), 3);
    EXPECT_EQ(get_float("e"), 3.0f);

    // The span bounds the read even when max promises more room.
    std::vector<float> big(12, -1.0f);
    rsac1(p, std::span(big).first(4), n, b, d, 100, e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(big[3], 4.0f);
    EXPECT_EQ(big[4], -1.0f);
}

TEST(TraceRead, OpenAndReadErrors) {
    Scratch s;
    std::vector<float> r(4, 7.0f);
    int n = 0, e = 0;
    float b = 0, d = 0;
    rsac1(s.path("missing.sac"), r, n, b, d, 4, e);
    EXPECT_EQ(e, 101);

    spit(s.path("short.sac"), Bytes(100, 0));
    rsac1(s.path("short.sac"), r, n, b, d, 4, e);
    EXPECT_EQ(e, 114);

    // The header promises 10 samples, the file holds 2.
    write_ramp(s.path("cut.sac"), 10);
    Bytes f = slurp(s.path("cut.sac"));
    f.resize(632 + 8);
    spit(s.path("cut.sac"), f);
    rsac1(s.path("cut.sac"), r, n, b, d, 4, e);
    EXPECT_EQ(e, 114);

    // A negative sample count fails cleanly and stores nothing.
    newhdr();
    set_int("npts", 0);
    wsac0(s.path("neg.sac"), {}, {}, e);
    f = slurp(s.path("neg.sac"));
    f[316] = f[317] = f[318] = f[319] = 0xFF; // NPTS = -1
    spit(s.path("neg.sac"), f);
    std::fill(r.begin(), r.end(), 7.0f);
    rsac1(s.path("neg.sac"), r, n, b, d, 4, e);
    EXPECT_EQ(e, 114);
    EXPECT_EQ(r[0], 7.0f);

    write_ramp(s.path("secret.sac"), 2);
    ::chmod(s.path("secret.sac").c_str(), 0);
    ::chmod(s.path().c_str(), 0755);
    EXPECT_TRUE(traceio_test::unprivileged([&] {
        rsac1(s.path("secret.sac"), r, n, b, d, 4, e);
        return e == 108;
    }));
}

TEST(TraceRead, RefusesWhatCannotHoldATrace) {
    Scratch s;
    std::vector<float> r(4);
    int n = 0, e = 0;
    float b = 0, d = 0;
    rsac1(s.path(), r, n, b, d, 4, e); // a directory
    EXPECT_EQ(e, 101);
    // A FIFO with no writer must neither block nor be read.
    ASSERT_EQ(::mkfifo(s.path("fifo").c_str(), 0600), 0);
    rsac1(s.path("fifo"), r, n, b, d, 4, e);
    EXPECT_EQ(e, 101);
    // A command pipe yields no trace and is never started.
    rsac1("|touch " + s.path("ran"), r, n, b, d, 4, e);
    EXPECT_EQ(e, 101);
    EXPECT_FALSE(std::filesystem::exists(s.path("ran")));
    // Overlong names are refused, not cut or copied past a buffer.
    rsac1(std::string(5000, 'a'), r, n, b, d, 4, e);
    EXPECT_EQ(e, 101);
    // Trailing blanks are not part of a name.
    write_ramp(s.path("pad.sac"), 2);
    rsac1(s.path("pad.sac") + "     ", r, n, b, d, 4, e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(n, 2);
}

TEST(TraceRead, LittleEndianFilesAreRecognised) {
    Scratch s;
    newhdr();
    set_int("npts", 3);
    set_float("delta", 0.01f);
    set_float("b", 1.5f);
    set_int("nzyear", 2020);
    int e = 0;
    setkhv("kstnm", "LESTA", e);
    wsac0(s.path("be.sac"), {}, std::vector<float>{1.0f, -2.0f, 1e6f}, e);
    spit(s.path("le.sac"), to_little_endian(slurp(s.path("be.sac"))));
    newhdr();
    std::vector<float> r(3);
    int n = 0;
    float b = 0, d = 0;
    rsac1(s.path("le.sac"), r, n, b, d, 3, e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(r, (std::vector<float>{1.0f, -2.0f, 1e6f}));
    EXPECT_EQ(b, 1.5f);
    EXPECT_EQ(d, 0.01f);
    EXPECT_EQ(get_int("nzyear"), 2020);
    EXPECT_EQ(get_int("nvhdr"), 6);
    std::string k;
    getkhv("kstnm", k, e);
    EXPECT_EQ(k, "LESTA");

    // The record-based reader recognises it too.
    newhdr();
    rsach(s.path("le.sac"), e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(get_int("nzyear"), 2020);
    EXPECT_EQ(get_float("delta"), 0.01f);

    // Rewriting the header of a little-endian file keeps the file's order
    // (a big-endian header would make its samples unreadable); unchanged, the
    // file's bytes are reproduced exactly.
    const Bytes le = slurp(s.path("le.sac"));
    wsach(s.path("le.sac"), e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(slurp(s.path("le.sac")), le);
    set_float("user1", 4.0f);
    wsach(s.path("le.sac"), e);
    rsac1(s.path("le.sac"), r, n, b, d, 3, e);
    EXPECT_EQ(r, (std::vector<float>{1.0f, -2.0f, 1e6f}));
    EXPECT_EQ(get_float("user1"), 4.0f);

    // A version word that is 6 in neither order: read big-endian.
    Bytes f = slurp(s.path("be.sac"));
    f[307] = 7;
    spit(s.path("v7.sac"), f);
    rsac1(s.path("v7.sac"), r, n, b, d, 3, e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(get_int("nvhdr"), 7);
    EXPECT_EQ(r[2], 1e6f);
}

TEST(TraceWrite, ErrorsLeaveAnOlderFileUntouched) {
    Scratch s;
    const std::string p = s.path("old.sac");
    write_ramp(p, 5);
    const Bytes old = slurp(p);
    const std::vector<float> y{1, 2};
    int e = 0;

    newhdr();
    set_int("npts", 3); // more samples than the array holds
    wsac0(p, {}, y, e);
    EXPECT_EQ(e, 115);
    set_int("npts", -1);
    wsac0(p, {}, y, e);
    EXPECT_EQ(e, 115);
    set_int("npts", 2); // uneven, but no x values
    setlhv("leven", false, e);
    wsac0(p, {}, y, e);
    EXPECT_EQ(e, 115);
    EXPECT_EQ(slurp(p), old);
    EXPECT_EQ(s.entries(), std::vector<std::string>{"old.sac"}); // no temporary left

    setlhv("leven", true, e);
    wsac0(s.path("no/such/dir/x.sac"), {}, y, e);
    EXPECT_EQ(e, 101);
    wsac0(std::string(2000, 'x'), {}, y, e);
    EXPECT_EQ(e, 101);
    std::filesystem::create_directory(s.path("adir"));
    wsac0(s.path("adir"), {}, y, e); // a directory is not replaced
    EXPECT_EQ(e, 101);
    EXPECT_TRUE(std::filesystem::is_directory(s.path("adir")));
}

TEST(TraceWrite, FailedWriteMidwayKeepsTheOldFile) {
    // A file-size limit makes the data write fail after the header.
    Scratch s;
    const std::string p = s.path("old.sac");
    write_ramp(p, 5);
    const Bytes old = slurp(p);
    std::vector<float> y(2000, 1.0f);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    newhdr();
    set_int("npts", 2000);
    set_float("delta", 1.0f);
    int e = 0;
    wsac0(p, {}, y, e);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(e, 115);
    EXPECT_EQ(slurp(p), old);
    EXPECT_EQ(s.entries(), std::vector<std::string>{"old.sac"});
}

TEST(TraceWrite, ReadOnlyDirectoryKeepsTheOldFile) {
    Scratch s;
    const std::string p = s.path("old.sac");
    write_ramp(p, 5);
    const Bytes old = slurp(p);
    ::chmod(s.path().c_str(), 0555);
    EXPECT_TRUE(traceio_test::unprivileged([&] {
        int e = 0;
        wsac1(p, std::vector<float>{1}, 1, 0.0f, 1.0f, e);
        return e == 101;
    }));
    ::chmod(s.path().c_str(), 0755);
    EXPECT_EQ(slurp(p), old);
    EXPECT_EQ(s.entries(), std::vector<std::string>{"old.sac"});
}

TEST(TraceWrite, ReplacesWholeFileAndNeverFollowsAPlantedLink) {
    Scratch s;
    const std::string p = s.path("out.sac");
    write_ramp(p, 50);
    write_ramp(p, 2); // shorter: nothing of the old file remains
    EXPECT_EQ(slurp(p).size(), 632u + 8u);

    spit(s.path("victim"), Bytes{'k', 'e', 'e', 'p'});
    std::filesystem::create_symlink(s.path("victim"), s.path("link.sac"));
    write_ramp(s.path("link.sac"), 3);
    EXPECT_FALSE(std::filesystem::is_symlink(s.path("link.sac")));
    EXPECT_EQ(slurp(s.path("link.sac")).size(), 632u + 12u);
    EXPECT_EQ(slurp(s.path("victim")), (Bytes{'k', 'e', 'e', 'p'}));

    // New files get mode 0666 less the creation mask.
    const mode_t mask = ::umask(022);
    write_ramp(s.path("mode.sac"), 1);
    ::umask(mask);
    struct stat st {};
    ::stat(s.path("mode.sac").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(TraceWrite, NoFreeUnitGives116) {
    Scratch s;
    std::vector<int> taken;
    for (int u = 1; u <= 19; ++u) {
        if (detail::unit_is_open(u)) continue;
        ASSERT_EQ(
            detail::unit_connect(u, "/dev/null", detail::Status::Old, detail::Access::Text, 0), 0);
        taken.push_back(u);
    }
    int e = 0;
    wsac1(s.path("x.sac"), std::vector<float>{1}, 1, 0.0f, 1.0f, e);
    for (int u : taken) detail::unit_disconnect(u, false);
    EXPECT_EQ(e, 116);
    EXPECT_TRUE(s.entries().empty());
}

TEST(TraceWrite, MemoryFilesGoUnderThePrefix) {
    Scratch s;
    zmempfx(s.path() + "/mem-");
    int e = 0;
    wsac1("|trace", std::vector<float>{1, 2, 3}, 3, 0.0f, 1.0f, e);
    zmempfx("");
    ASSERT_EQ(e, 0);
    const Bytes f = slurp(s.path("mem-trace"));
    EXPECT_EQ(f.size(), 632u + 12u);
    EXPECT_EQ(bytes_at(f, 640, 4), (Bytes{0x40, 0x40, 0, 0}));
    std::vector<float> r(3);
    int n = 0;
    float b = 0, d = 0;
    rsac1(s.path("mem-trace"), r, n, b, d, 3, e);
    EXPECT_EQ(r, (std::vector<float>{1, 2, 3}));
}

TEST(TraceRead, DistancesFollowLcaldaAndBody) {
    Scratch s;
    auto write_with = [&](bool lcalda, int body, float stla = 0.0f) {
        newhdr();
        set_int("npts", 1);
        set_float("delta", 1.0f);
        set_float("b", 0.0f);
        set_float("evla", 0.0f);
        set_float("evlo", 0.0f);
        set_float("stla", stla);
        set_float("stlo", 10.0f);
        set_float("dist", 1.0f);
        set_float("az", 2.0f);
        int e = 0;
        setlhv("lcalda", lcalda, e);
        detail::cmhdr.ihdr[detail::i::body] = body;
        wsac0(s.path("d.sac"), {}, std::vector<float>{0}, e);
        ASSERT_EQ(e, 0);
        std::vector<float> r(1);
        int n = 0;
        float b = 0, d = 0;
        rsac1(s.path("d.sac"), r, n, b, d, 1, e);
        ASSERT_EQ(e, 0);
    };
    write_with(true, IUNDEF); // undefined body: the Earth
    EXPECT_NEAR(get_float("dist"), 1113.2f, 0.05f);
    EXPECT_NEAR(get_float("az"), 90.0f, 1e-3f);
    EXPECT_NEAR(get_float("baz"), 270.0f, 1e-3f);
    EXPECT_NEAR(get_float("gcarc"), 10.0f, 1e-4f);
    write_with(true, enum_code("IMOON"));
    EXPECT_NEAR(get_float("dist"), 1737.4f * 10.0f * 0.017453292f, 0.01f);
    write_with(false, IUNDEF);
    EXPECT_EQ(get_float("dist"), 1.0f);
    EXPECT_EQ(get_float("az"), 2.0f);
    // Regression: a station latitude that is not a number gave DIST = 0 and
    // NaN angles; the four fields are now undefined.
    write_with(true, IUNDEF, std::nanf(""));
    EXPECT_EQ(get_float("dist"), -12345.0f);
    EXPECT_EQ(get_float("gcarc"), -12345.0f);
    write_with(true, 5); // not a body: the four fields become undefined
    EXPECT_EQ(get_float("dist"), -12345.0f);
    EXPECT_EQ(get_float("az"), -12345.0f);
    EXPECT_EQ(get_float("baz"), -12345.0f);
    EXPECT_EQ(get_float("gcarc"), -12345.0f);
}

TEST(HeaderRecords, RewriteOnlyTheHeader) {
    Scratch s;
    const std::string p = s.path("h.sac");
    write_ramp(p, 4);
    const Bytes before = slurp(p);
    int e = 0;
    rsach(p, e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(get_int("npts"), 4);
    set_float("user3", 9.0f);
    wsach(p, e);
    ASSERT_EQ(e, 0);
    const Bytes after = slurp(p);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(std::equal(after.begin() + 632, after.end(), before.begin() + 632));
    EXPECT_EQ(bytes_at(after, 172, 4), (Bytes{0x41, 0x10, 0, 0})); // USER3 = 9
    newhdr();
    rsach(p, e);
    EXPECT_EQ(get_float("user3"), 9.0f);
}

TEST(HeaderRecords, FailuresAreReported) {
    Scratch s;
    int e = 0;
    testing::internal::CaptureStderr();
    rsach(s.path("none.sac") + "  ", e);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_GT(e, 0);
    EXPECT_EQ(err, " **Can't read SAC file " + s.path("none.sac") + " \n");

    spit(s.path("tiny.sac"), Bytes(10, 0)); // shorter than one header
    rsach(s.path("tiny.sac"), e);
    EXPECT_NE(e, 0);

    newhdr();
    set_int("nvhdr", 5);
    testing::internal::CaptureStderr();
    wsach(s.path("tiny.sac"), e);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(e, -1);
    EXPECT_EQ(err, " **Version number isn't right in header.  Initialized?\n");

    newhdr();
    testing::internal::CaptureStderr();
    wsach(s.path("absent.sac"), e); // only an existing file is rewritten
    err = testing::internal::GetCapturedStderr();
    EXPECT_GT(e, 0);
    EXPECT_FALSE(std::filesystem::exists(s.path("absent.sac")));
    EXPECT_EQ(err, " **Can't write SAC file " + s.path("absent.sac") + "\n");

    std::vector<int> taken;
    for (int u = 9; u <= detail::max_unit; ++u)
        if (!detail::unit_is_open(u) &&
            detail::unit_connect(u, "/dev/null", detail::Status::Old, detail::Access::Text, 0) == 0)
            taken.push_back(u);
    int unit = 0;
    EXPECT_FALSE(saciou(unit));
    testing::internal::CaptureStderr();
    rsach(s.path("tiny.sac"), e);
    err = testing::internal::GetCapturedStderr();
    for (int u : taken) detail::unit_disconnect(u, false);
    EXPECT_EQ(e, -2);
    EXPECT_EQ(err, " **Can't find unit to read SAC file header!\n");
    EXPECT_TRUE(saciou(unit));
    EXPECT_EQ(unit, 9);
}

TEST(ByteOrder, SwapRoutines) {
    const std::uint32_t w = 0x01020304u;
    std::uint32_t out = 0;
    swap(&out, 4, false, &w);
    EXPECT_EQ(out, 0x04030201u);
    swap(&out, 99, true, &w);
    EXPECT_EQ(out, w);
    EXPECT_EQ(endian_type(), std::endian::native == std::endian::little ? 1 : 0);
    std::uint16_t h[2] = {0x0102, 0x0304};
    std::uint64_t q = 0x0102030405060708ull;
    std::uint32_t ws[2] = {0x01020304u, 0x0A0B0C0Du};
    swap_bytes16(h, 2);
    swap_bytes64(&q, 1);
    swap_bytes32(ws, 1); // only the first value
    if (endian_type() == 1) {
        EXPECT_EQ(h[1], 0x0403);
        EXPECT_EQ(q, 0x0807060504030201ull);
        EXPECT_EQ(ws[0], 0x04030201u);
        EXPECT_EQ(ws[1], 0x0A0B0C0Du);
    } else {
        EXPECT_EQ(h[1], 0x0304);
    }
}

// Fault pinned: a little-endian file of header version 7 (6's layout with
// double-precision values after the samples) was taken for big-endian, since
// only a version word of 6 told the order: its header and samples were read
// byte-reversed, garbage with error 0.  Versions 6 and 7 in either order.
TEST(TraceRead, ByteOrderIsToldByVersionsSixAndSeven) {
    Scratch s;
    const std::vector<float> y{1.0f, -2.0f, 1e6f};
    newhdr();
    set_int("npts", 3);
    set_float("delta", 0.01f);
    set_float("b", 1.5f);
    int e = 0;
    wsac0(s.path("be.sac"), {}, y, e);
    ASSERT_EQ(e, 0);
    const Bytes big = slurp(s.path("be.sac"));
    const struct {
        const char* what;
        int version;
        bool little;
    } cases[] = {
        {"6 big", 6, false}, {"6 little", 6, true}, {"7 big", 7, false}, {"7 little", 7, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes v = big;
        v[4 * 76 + 3] = static_cast<std::uint8_t>(c.version); // NVHDR, big-endian
        spit(s.path("t.sac"), c.little ? to_little_endian(v) : v);
        newhdr();
        std::vector<float> r(3);
        int n = 0;
        float b = 0, d = 0;
        rsac1(s.path("t.sac"), r, n, b, d, 3, e);
        EXPECT_EQ(e, 0);
        EXPECT_EQ(n, 3);
        EXPECT_EQ(r, y);
        EXPECT_EQ(b, 1.5f);
        EXPECT_EQ(d, 0.01f);
        EXPECT_EQ(get_int("nvhdr"), c.version);
    }
}
