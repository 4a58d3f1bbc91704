// Header store, named access and the text routines behind the lookup.
#include "scratch.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"
#include "traceio/textutil.hpp"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <utility>

using namespace traceio;
using namespace std::string_literals;

namespace {

int integer(std::string_view name) {
    int v = 0, e = 0;
    getnhv(name, v, e);
    return v;
}
float real(std::string_view name) {
    float v = 0;
    int e = 0;
    getfhv(name, v, e);
    return v;
}
std::string text(std::string_view name) {
    std::string v;
    int e = 0;
    getkhv(name, v, e);
    return v;
}

} // namespace

TEST(HeaderStore, FreshHeaderHasDefaultsAndUndefinedFields) {
    newhdr();
    int v = 0, e = -1;
    getnhv("nvhdr", v, e);
    EXPECT_EQ(v, 6);
    EXPECT_EQ(e, 0);
    getnhv("npts", v, e);
    EXPECT_EQ(v, -12345);
    EXPECT_EQ(e, 1336);
    getnhv("NZYEAR", v, e);
    EXPECT_EQ(e, 1336);
    getnhv("iftype", v, e); // not an integer field: enumerated
    EXPECT_EQ(e, 1337);
    float f = 0;
    getfhv("delta", f, e);
    EXPECT_EQ(f, -12345.0f);
    EXPECT_EQ(e, 1336);
    EXPECT_EQ(text("kstnm"), "-12345");
    std::string k;
    getkhv("kevnm", k, e);
    EXPECT_EQ(e, 1336);
    bool b = false;
    for (auto [name, expect] : {std::pair{"leven", true},
                                {"lpspol", false},
                                {"lovrok", true},
                                {"lcalda", true},
                                {"lhdr5", false}}) {
        getlhv(name, b, e);
        EXPECT_EQ(b, expect) << name;
    }
}

TEST(HeaderStore, NamesMatchInAnyCaseWithBlanksOrNul) {
    newhdr();
    int e = 0;
    setfhv("delta", 0.5f, e);
    setfhv("DELTA   ", 0.25f, e);
    EXPECT_EQ(real("Delta"), 0.25f);
    setfhv("dElTa\0garbage"s, 0.125f, e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(real("delta"), 0.125f);
    setnhv("npts\0\xff\xfe"s, 42, e);
    EXPECT_EQ(integer("NPTS  "), 42);
    // Quotes in a name stop the case folding: "'npts'" is no field.
    setnhv("'npts'", 1, e);
    EXPECT_EQ(e, 1337);
}

TEST(HeaderStore, WrongKindOrUnknownNameChangesNothing) {
    newhdr();
    int e = 0;
    setnhv("npts", 7, e);
    setfhv("npts", 3.0f, e);
    EXPECT_EQ(e, 1337);
    EXPECT_EQ(integer("npts"), 7);
    setnhv("delta", 3, e);
    EXPECT_EQ(e, 1337);
    EXPECT_EQ(real("delta"), -12345.0f);
    // Only the first 8 characters count, and abbreviations never match.
    setfhv("T0MARKER", 1.0f, e);
    EXPECT_EQ(e, 1337);
    setfhv("T0", 1.0f, e);
    EXPECT_EQ(e, 0);
    setfhv("del", 1.0f, e);
    EXPECT_EQ(e, 1337);
    setfhv("", 1.0f, e);
    EXPECT_EQ(e, 1337);
    setnhv("NZYEARXX", 1999, e); // cut to NZYEARXX: not a name
    EXPECT_EQ(e, 1337);
    setfhv("USER0   extra", 2.0f, e); // compared on its first 8 characters only
    EXPECT_EQ(e, 0);
    EXPECT_EQ(real("user0"), 2.0f);
    int v = 1;
    getnhv("nosuch", v, e);
    EXPECT_EQ(e, 1337);
    EXPECT_EQ(v, -12345);
}

TEST(HeaderStore, TextFieldsArePaddedCutAndSplit) {
    newhdr();
    int e = 0;
    setkhv("kstnm", "ABC", e);
    EXPECT_EQ(text("KSTNM"), "ABC");
    setkhv("kstnm", "ABCDEFGHIJKL", e);
    EXPECT_EQ(text("kstnm"), "ABCDEFGH");
    setkhv("kevnm", "0123456789abcdefXYZW", e);
    EXPECT_EQ(text("kevnm"), "0123456789abcdef");
    EXPECT_EQ(text("kevnmc"), "89abcdef");
    setkhv("kevnm", "abc", e);
    EXPECT_EQ(text("kevnm"), "abc");
    EXPECT_EQ(text("kevnmc"), "");
    setkhv("kevnmc", "second", e);
    EXPECT_EQ(text("kevnm"), "abc     second");
    // Trailing blanks of a value are part of it: they blank the slot.
    setkhv("kuser0", "ab      cd", e);
    EXPECT_EQ(text("kuser0"), "ab");
    setkhv("user0", "x", e);
    EXPECT_EQ(e, 1337);
}

TEST(HeaderStore, LogicalsAndEnumerationCodes) {
    newhdr();
    int e = 0;
    setlhv("leven", false, e);
    bool b = true;
    getlhv("LEVEN", b, e);
    EXPECT_FALSE(b);
    setlhv("npts", true, e);
    EXPECT_EQ(e, 1337);
    EXPECT_EQ(enum_code("itime"), 1);
    EXPECT_EQ(enum_code("IO_"), 84);
    EXPECT_EQ(enum_code("ieartH"), 101);
    EXPECT_EQ(enum_code("IMARS"), 103);
    EXPECT_EQ(enum_code("IMARSX"), 0);
    // Enumerated fields by the names of their values.
    std::string value;
    getihv("iftype", value, e);
    EXPECT_EQ(value, "ITIME");
    getihv("iztype", value, e);
    EXPECT_EQ(e, 1336);
    EXPECT_EQ(value, "");
    setihv("IZTYPE", "it9", e);
    getihv("iztype", value, e);
    EXPECT_EQ(value, "IT9");
    for (auto [field, enumeration] : {std::pair{"iztype", "nonsense"}, {"npts", "IO"}}) {
        setihv(field, enumeration, e);
        EXPECT_EQ(e, 1337) << field;
    }
    getihv("iztype", value, e);
    EXPECT_EQ(value, "IT9"); // unchanged by the refused settings
    int v = 0;
    getnhv("nvhdr", v, e);
    EXPECT_EQ(v, 6);
}

TEST(TextRoutines, ModcaseKeepsQuotedStretches) {
    const std::string in = "it's a 'test'";
    std::string out(in.size(), '?');
    modcase(true, in, static_cast<int>(in.size()), out);
    EXPECT_EQ(out, "IT's a 'TEST'");
    std::string lower(6, '#');
    modcase(false, "ABCDEF", 3, lower);
    EXPECT_EQ(lower, "abc###"); // positions past count are left alone
    std::array<char, 2> small{'x', 'x'};
    modcase(true, "abcdef", 6, small); // never stored past the output
    EXPECT_EQ(std::string(small.begin(), small.end()), "AB");
}

TEST(TextRoutines, IndexRoutines) {
    EXPECT_EQ(indexb("abc  "), 3);
    EXPECT_EQ(indexb("ab\0cd"s), 2);
    EXPECT_EQ(indexb("     "), 0);
    EXPECT_EQ(indexb(""), 0);
    EXPECT_EQ(indexb("\0abc"s), 0);
    EXPECT_EQ(indexa("abcabc", 'b', true, true), 2);
    EXPECT_EQ(indexa("abcabc", 'b', false, true), 5);
    EXPECT_EQ(indexa("aaab", 'a', true, false), 4);
    EXPECT_EQ(indexa("", 'a', true, true), 0);
    const std::array<std::string_view, 3> list{"ONE", "TWO     ", "THREE"};
    EXPECT_EQ(nequal("TWO", list, 3), 2);
    EXPECT_EQ(nequal("THREE   ", list, 3), 3);
    EXPECT_EQ(nequal("THREE", list, 2), 0);
    EXPECT_EQ(nequal("ONE", list, 0), 0);
    EXPECT_EQ(nequal("ONE", list, 99), 1); // count beyond the list is cut to it
    EXPECT_EQ(nequal("TW", list, 3), 0);
}

// The one trailing-blank trimmer: blanks elsewhere and a NUL are content.
TEST(TextRoutines, TrimmedDropsOnlyTrailingBlanks) {
    const std::array<std::pair<std::string, std::string>, 6> cases{{
        {"abc  ", "abc"},
        {"  a b ", "  a b"},
        {"     ", ""},
        {"", ""},
        {"a\0  "s, "a\0"s},
        {"tab\t", "tab\t"},
    }};
    for (const auto& [in, out] : cases) EXPECT_EQ(trimmed(in), out) << '"' << in << '"';
}

// Fault pinned: the store began as words of zeros, not as a fresh header, so
// a header set field by field without newhdr (or none at all) was written
// with NVHDR 0 and LEVEN false, error 0, into a file every reader refuses.
// Each case runs in a process of its own (the store is per process): the
// child re-executes the test binary, so no earlier test has touched it.
TEST(HeaderStore, StoreStartsAsAFreshHeader) {
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* what;
        bool (*check)();
    };
    const Case cases[] = {
        {"fields read before any header are undefined",
         [] {
             int e1 = 0, e2 = 0, e3 = 0;
             float b = 0;
             std::string k;
             getfhv("b", b, e2);
             getkhv("kstnm", k, e3);
             getnhv("npts", e1, e1);
             return integer("npts") == IUNDEF && b == FUNDEF && e2 == ERR_UNDEFINED &&
                    e3 == ERR_UNDEFINED && k == "-12345" && integer("nvhdr") == NVHDR_CURRENT;
         }},
        {"fields set without newhdr make a trace header",
         [] {
             int e = 0;
             bool leven = false;
             std::string type;
             setnhv("npts", 10, e);
             getlhv("leven", leven, e);
             getihv("iftype", type, e);
             return leven && type == "ITIME" && real("delta") == FUNDEF && integer("npts") == 10 &&
                    text("kstnm") == "-12345";
         }},
        {"a write before any header is refused, not a file of zeros",
         [] {
             traceio_test::Scratch dir;
             const std::array<float, 4> y{1, 2, 3, 4};
             int e = 0;
             wsac0(dir.path("none.sac"), {}, y, e);
             return e == ERR_WRITE && !std::filesystem::exists(dir.path("none.sac"));
         }},
        {"a header set field by field is written as a readable trace",
         [] {
             traceio_test::Scratch dir;
             const std::array<float, 4> y{1, 2, 3, 4};
             int e = 0, n = 0;
             setnhv("npts", 4, e);
             setfhv("delta", 0.5f, e);
             setfhv("b", 0.0f, e);
             wsac0(dir.path("set.sac"), {}, y, e);
             if (e != 0) return false;
             std::array<float, 4> back{};
             float b = 1, delta = 0;
             rsac1(dir.path("set.sac"), back, n, b, delta, 4, e);
             return e == 0 && n == 4 && back == y && delta == 0.5f;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EXIT(std::exit(c.check() ? 0 : 1), testing::ExitedWithCode(0), "");
    }
    GTEST_FLAG_SET(death_test_style, style);
}
