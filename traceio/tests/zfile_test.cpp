// The file-handle layer: opening modes, units, deletion, word transfers and
// memory files.
#include "scratch.hpp"
#include "traceio/zfile.hpp"
#include "units.hpp"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace traceio;
using traceio_test::Scratch;
using traceio_test::slurp;
using traceio_test::spit;
using Bytes = std::vector<std::uint8_t>;

namespace {
std::span<const std::byte> raw(const std::string& s) {
    return std::as_bytes(std::span(s));
}
} // namespace

TEST(Zopenc, CreateModesAndErrors) {
    Scratch s;
    const std::string p = s.path("f");
    int fd = 0, e = -1;
    zopenc(fd, p, 0, 0, 0, e);
    EXPECT_EQ(e, 2); // missing, not created
    EXPECT_FALSE(std::filesystem::exists(p));

    spit(p, Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    zopenc(fd, p, 2, 0, 0, e); // create if missing: content kept
    ASSERT_EQ(e, 0);
    EXPECT_LT(fd, 0);
    zclosec(fd);
    EXPECT_EQ(slurp(p).size(), 8u);
    zopenc(fd, p, 1, 0, 0, e); // create or empty
    ASSERT_EQ(e, 0);
    zclosec(fd);
    EXPECT_EQ(slurp(p).size(), 0u);

    // Trailing blanks are dropped; a name of blanks only is one blank.
    zopenc(fd, p + "   ", 1, 0, 0, e);
    EXPECT_EQ(e, 0);
    zclosec(fd);
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(s.path());
    zopenc(fd, "    ", 1, 0, 0, e);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(e, 0);
    zclosec(fd);
    EXPECT_TRUE(std::filesystem::exists(s.path(" ")));

    zopenc(fd, std::string(1024, 'n'), 1, 0, 0, e);
    EXPECT_EQ(e, 2);

    ::chmod(p.c_str(), 0);
    ::chmod(s.path().c_str(), 0755);
    EXPECT_TRUE(traceio_test::unprivileged([&] {
        zopenc(fd, p, 0, 1, 0, e);
        return e == 1;
    }));
}

// A read-only open tells a regular file from anything else, for a reader
// that takes only regular files; a FIFO opens at once, writer or not.
TEST(Zopenc, ReadOnlyOpenTellsARegularFile) {
    Scratch s;
    spit(s.path("file"), Bytes{1, 2, 3, 4});
    ASSERT_EQ(::mkfifo(s.path("fifo").c_str(), 0600), 0);
    const struct {
        std::string name;
        bool regular;
    } cases[] = {{s.path("file"), true}, {s.path(), false}, {s.path("fifo"), false}};
    for (const auto& c : cases) {
        int fd = 0, e = -1;
        bool regular = !c.regular;
        zopenc(fd, c.name, 0, 1, 0, e, &regular);
        ASSERT_EQ(e, 0) << c.name;
        EXPECT_EQ(regular, c.regular) << c.name;
        zclosec(fd);
    }
}

TEST(Zopenc, PipeToACommandIsCompleteWhenClosed) {
    Scratch s;
    int fd = 0, e = 0;
    zopenc(fd, "|cat > " + s.path("piped"), 0, 0, 0, e);
    ASSERT_EQ(e, 0);
    const std::string text = "word";
    zwabs(fd, raw(text), 1, -1, e);
    EXPECT_EQ(e, 0);
    zclose(fd, "|cat", e);
    // Closing reaps the command, so its output is all there.
    const Bytes got = slurp(s.path("piped"));
    EXPECT_EQ(std::string(got.begin(), got.end()), "word");
}

TEST(Units, PoolLookupAndTextFiles) {
    Scratch s;
    int unit = 0, e = 0;
    zgtfun(unit, e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(unit, 19);
    znfile(unit, s.path("t19"), "TEXT", 0, e);
    ASSERT_EQ(e, 0);
    int second = 0;
    zgtfun(second, e);
    znfile(second, s.path("t18"), "TEXT", 0, e);
    ASSERT_EQ(second, 18);
    int third = 0;
    zgtfun(third, e);
    EXPECT_EQ(third, 17);
    std::fputs("hello\n", zstream(19));
    zclose(19, "", e);
    zclose(18, "", e);
    EXPECT_EQ(zstream(19), nullptr);
    const Bytes text = slurp(s.path("t19"));
    EXPECT_EQ(std::string(text.begin(), text.end()), "hello\n");
    // An existing text file is opened as it is, not emptied.
    zgtfun(unit, e);
    znfile(unit, s.path("t19"), "TEXT", 0, e);
    EXPECT_EQ(e, 0);
    zclose(unit, "", e);
    EXPECT_EQ(slurp(s.path("t19")).size(), 6u);
    // The standard units stay open and cannot be closed.
    EXPECT_EQ(zstream(6), stdout);
    zclose(6, "", e);
    EXPECT_EQ(zstream(6), stdout);

    znfile(unit, s.path("lower"), "data", 0, e);
    EXPECT_EQ(e, 101);
    znfile(unit, s.path("other"), "BINARY", 0, e);
    EXPECT_EQ(e, 101);
    znfile(unit, s.path("no/dir"), "DATA", 0, e);
    EXPECT_EQ(e, 101);
}

TEST(Files, InquireAndDestroy) {
    Scratch s;
    bool exists = true;
    zinquire(s.path(), exists);
    EXPECT_FALSE(exists); // a directory does not count
    spit(s.path("f"), Bytes{1});
    zinquire(s.path("f") + "  ", exists);
    EXPECT_TRUE(exists);
    int e = 0;
    zdest(s.path("missing"), e);
    EXPECT_EQ(e, 108);
    zdest(s.path("f"), e);
    EXPECT_EQ(e, 0);
    EXPECT_FALSE(std::filesystem::exists(s.path("f")));
    // Removing a file that sits in a directory we may not change fails.
    spit(s.path("kept"), Bytes{1});
    ::chmod(s.path().c_str(), 0555);
    EXPECT_TRUE(traceio_test::unprivileged([&] {
        zdest(s.path("kept"), e);
        return e == 101;
    }));
    ::chmod(s.path().c_str(), 0755);
    EXPECT_TRUE(std::filesystem::exists(s.path("kept")));
}

TEST(WordTransfers, ReadAndWriteAtOffsets) {
    Scratch s;
    const std::string p = s.path("w");
    Bytes content(632 + 20);
    for (std::size_t k = 0; k < content.size(); ++k) content[k] = static_cast<std::uint8_t>(k * 7);
    spit(p, content);
    int fd = 0, e = 0;
    zopenc(fd, p, 0, 0, 0, e);
    ASSERT_EQ(e, 0);
    std::array<std::byte, 40> words{};
    zrabs(fd, words, 10, 158, e);
    EXPECT_EQ(e, 114); // only 5 words there
    zrabs(fd, words, 5, 158, e);
    EXPECT_EQ(e, 0);
    EXPECT_EQ(std::to_integer<int>(words[0]), (632 * 7) & 0xFF);
    // Reads that cross 512-byte boundaries come back whole.
    std::array<std::byte, 600> many{};
    zrabs(fd, many, 150, 1, e);
    ASSERT_EQ(e, 0);
    EXPECT_EQ(std::memcmp(many.data(), content.data() + 4, 600), 0);
    zrabs(fd, words, 11, 0, e); // more than the buffer holds
    EXPECT_EQ(e, 114);
    zrabs(fd, words, -1, 0, e);
    EXPECT_EQ(e, 114);
    zrabs(fd, words, 0, 0, e);
    EXPECT_EQ(e, 0);

    // A negative offset writes right after the previous write: a read in
    // between, at another offset, leaves the position alone.
    const std::string a = "AAAABBBB", b = "CCCC";
    zwabs(fd, raw(a), 2, 0, e);
    zrabs(fd, words, 5, 158, e);
    EXPECT_EQ(e, 0);
    zwabs(fd, raw(b), 1, -1, e);
    EXPECT_EQ(e, 0);
    zwabs(fd, raw(b), -1, 0, e);
    EXPECT_EQ(e, 115);
    zwabs(fd, raw(b), 2, 0, e); // the text holds only one word
    EXPECT_EQ(e, 115);
    zclose(fd, p, e);
    const Bytes got = slurp(p);
    EXPECT_EQ(std::string(got.begin(), got.begin() + 12), "AAAABBBBCCCC");
    EXPECT_EQ(got.size(), content.size());

    std::array<char, 4> text{};
    std::array<std::byte, 8> w8{};
    zputc("abcdefgh", w8, 8);
    zgetc(w8, text, 8); // cut to the text's length
    EXPECT_EQ(std::string(text.begin(), text.end()), "abcd");
}

TEST(MemoryFiles, PrefixSizeAndRemoval) {
    Scratch s;
    zmempfx(s.path() + "/pre-   ");
    int fd = 0, e = 0;
    zopenm(fd, "shm", 2, 100, e);
    ASSERT_EQ(e, 0);
    zclose(fd, "|shm", e);
    EXPECT_EQ(std::filesystem::file_size(s.path("pre-shm")), 400u);
    zopenm(fd, "shm  ", 0, 0, e); // existing, size kept
    ASSERT_EQ(e, 0);
    zclosem(fd, "shm", true);
    EXPECT_FALSE(std::filesystem::exists(s.path("pre-shm")));

    testing::internal::CaptureStderr();
    zopenm(fd, "nothere", 0, 0, e);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(e, 2);
    EXPECT_EQ(err.rfind("**Unable to create shared memory file nothere: ", 0), 0u) << err;

    // Sizing fails on a negative length; only a file made by this call goes.
    spit(s.path("pre-old"), Bytes{1, 2, 3, 4});
    testing::internal::CaptureStderr();
    zopenm(fd, "old", 2, -5, e);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(e, 2);
    EXPECT_EQ(err.rfind("**Unable to size shared memory file old to -5: ", 0), 0u) << err;
    EXPECT_EQ(slurp(s.path("pre-old")).size(), 4u);
    testing::internal::CaptureStderr();
    zopenm(fd, "new", 2, -5, e);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(s.path("pre-new")));

    testing::internal::CaptureStderr();
    zclosem(0, "gone", true);
    err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("**Unable to destroy shared memory file gone: ", 0), 0u) << err;

    // A prefix of blanks is one blank; an empty one means none.
    zmempfx("   ");
    const std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(s.path());
    zopenm(fd, "x", 2, 1, e);
    zclosec(fd);
    zmempfx("");
    zopenm(fd, "y", 2, 1, e);
    zclosec(fd);
    std::filesystem::current_path(cwd);
    EXPECT_TRUE(std::filesystem::exists(s.path(" x")));
    EXPECT_TRUE(std::filesystem::exists(s.path("y")));
}

TEST(Names, DeblankUsesOneBuffer) {
    EXPECT_EQ(deblank("abc   "), "abc");
    EXPECT_EQ(deblank("   "), " ");
    EXPECT_EQ(deblank(""), "");
    const std::string_view v = deblank(std::string(3000, 'z'));
    EXPECT_EQ(v.size(), 1023u); // cut to the buffer
    EXPECT_EQ(v.data()[v.size()], '\0');
    const std::string_view first = deblank("one");
    deblank("two");
    EXPECT_EQ(first, "two");
}
