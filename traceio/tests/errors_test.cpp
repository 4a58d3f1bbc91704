// The error numbers keep their values and each has a text of its own.
#include "traceio/errors.hpp"

#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace traceio;

TEST(ErrorNumbers, ValuesAndTextsAreDistinct) {
    const std::pair<int, int> pinned[] = {
        {ERR_OPEN, 101},       {ERR_DENIED, 108},        {ERR_READ, 114},      {ERR_WRITE, 115},
        {ERR_NO_UNIT, 116},    {ERR_UNEVEN, 801},        {ERR_BODY, 804},      {ERR_DISTANCE, 904},
        {ERR_UNDEFINED, 1336}, {ERR_NO_FIELD, 1337},     {ERR_FILE_DENIED, 1}, {ERR_FILE_OPEN, 2},
        {ERR_VERSION, -1},     {ERR_NO_RECORD_UNIT, -2},
    };
    std::set<std::string> texts{std::string(error_text(0)), std::string(error_text(-7))};
    for (const auto& [name, value] : pinned) {
        EXPECT_EQ(name, value);
        EXPECT_TRUE(texts.insert(std::string(error_text(name))).second)
            << value << " shares its text: " << error_text(name);
    }
    EXPECT_EQ(error_text(0), "no error");
    EXPECT_EQ(error_text(802), "unknown error");
    EXPECT_EQ(error_text(ERR_UNEVEN), "file not evenly spaced");
}
