// The message store: composing, line breaking and writing.
#include "scratch.hpp"
#include "traceio/message.hpp"
#include "traceio/zfile.hpp"

#include <array>
#include <gtest/gtest.h>
#include <string>

using namespace traceio;

namespace {
// A fresh store for every test.
class Messages : public testing::Test {
  protected:
    void SetUp() override { msgreset(); }
    void TearDown() override { msgreset(); }
};
} // namespace

TEST_F(Messages, TableLookupAndNumbers) {
    std::array<char, 20> text;
    getmsg(904, text);
    EXPECT_EQ(std::string(text.begin(), text.end()), "Number  904         ");
    std::array<char, 8> cut;
    getmsg(123456, cut);
    EXPECT_EQ(std::string(cut.begin(), cut.end()), "Number**");
    ASSERT_TRUE(msgtable(904, "Distance check failed for station"));
    getmsg(904, text);
    EXPECT_EQ(std::string(text.begin(), text.end()), "Distance check faile");

    setmsg("ERROR", 904);
    EXPECT_EQ(msgnumber(), 904);
    EXPECT_EQ(msgtype(), 3); // no type names loaded
    EXPECT_EQ(msgline(1), "Distance check failed for station");
    apimsg(-12);
    EXPECT_EQ(msgline(1), "Distance check failed for station -12");
    setmsg("WARNING", 50); // below 100: no text
    EXPECT_EQ(msgnumber(), 50);
    EXPECT_EQ(msgline(1), "");

    std::array<char, 6> field;
    cnvita(-12, field);
    EXPECT_EQ(std::string(field.begin(), field.end()), "   -12");
    cnvita(1234567, field);
    EXPECT_EQ(std::string(field.begin(), field.end()), "******");
    ljust(field);
    std::array<char, 5> padded{' ', ' ', 'a', 'b', ' '};
    ljust(padded);
    EXPECT_EQ(std::string(padded.begin(), padded.end()), "ab   ");
}

TEST_F(Messages, TypeWordsMatchOnFirstLetter) {
    msgtypes({"error", "Warning", "MESSAGE", "COMMAND", "LIST", "OUTPUT"});
    EXPECT_EQ(typmsg("err"), 1);
    EXPECT_EQ(typmsg("w"), 2);
    EXPECT_EQ(typmsg("output"), 6);
    EXPECT_EQ(typmsg("xyz"), 3);
}

TEST_F(Messages, LongMessagesBreakIntoLines) {
    setmsg("M", 0);
    const std::string word(9, 'w'); // 10 columns with its blank
    for (int k = 0; k < 16; ++k) apcmsg(word);
    // Line 1 takes words while they end before column 150 (15 of them);
    // later lines use all 160 columns (16 words).
    EXPECT_EQ(msglines(), 2);
    EXPECT_EQ(msgline(1).size(), 149u);
    EXPECT_EQ(msgline(2), word);
    for (int k = 0; k < 15 + 16 * 3; ++k) apcmsg(word);
    EXPECT_EQ(msglines(), 5);
    EXPECT_EQ(msgline(5).size(), 159u);
    // With the fifth line full, a word that does not fit replaces its text.
    apcmsg("last");
    EXPECT_EQ(msglines(), 5);
    EXPECT_EQ(msgline(5), "last");
    const std::string huge(400, 'h');
    apcmsg(huge); // cut at the line's end, never past it
    EXPECT_EQ(msgline(5), std::string(160, 'h'));
}

TEST_F(Messages, OutputGoesToRegisteredUnits) {
    traceio_test::Scratch s;
    int unit = 0, e = 0;
    zgtfun(unit, e);
    znfile(unit, s.path("log"), "TEXT", 0, e);
    ASSERT_EQ(e, 0);
    msgtypes({"ERROR", "WARNING", "MESSAGE", "COMMAND", "LIST", "OUTPUT"});
    const std::array<int, 2> types{1, 2};
    ASSERT_TRUE(msgunit(unit, types));
    msgtable(904, "Distance check failed:");
    setmsg("error", 904);
    apimsg(3);
    outmsg();
    setmsg("error", 12345);
    outmsg();
    setmsg("warning", 5);
    apcmsg("careful");
    outmsg();
    setmsg("message", 5); // type 3 is not sent to this unit
    apcmsg("quiet");
    outmsg();
    // Automatic output writes an overflowing message and starts again.
    msgauto(true);
    setmsg("w", 1);
    const std::string word(79, 'a');
    for (int k = 0; k < 10; ++k) apcmsg(word);
    zclose(unit, "", e);
    const auto bytes = traceio_test::slurp(s.path("log"));
    const std::string text(bytes.begin(), bytes.end());
    const std::string line(79, 'a');
    EXPECT_EQ(text, " \aERROR  904: Distance check failed: 3\n"
                    " \aERROR ****: Number12345\n"
                    " WARNING: careful\n"
                    " WARNING: " +
                        line + "\n " + line + " " + line + "\n " + line + " " + line + "\n " +
                        line + " " + line + "\n " + line + " " + line + "\n");
    EXPECT_EQ(msgline(1), line);
}
