// Reference times: the calendar and the header's six fields.
#include "rfkit/reftime.hpp"

#include "traceio/header.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace {

void set_reference(std::array<int, 6> v) {
    int e = 0;
    const char* names[] = {"nzyear", "nzjday", "nzhour", "nzmin", "nzsec", "nzmsec"};
    for (int i = 0; i < 6; ++i) traceio::setnhv(names[i], v[static_cast<std::size_t>(i)], e);
}

// Days of the year, leap years and the turn of a year and of a century.
TEST(ReferenceTime, ReadsWritesAndNamesTimes) {
    struct Case {
        std::array<int, 6> fields;
        const char* iso;
        const char* compact;
    };
    for (const Case c :
         {Case{{2011, 56, 13, 7, 26, 980}, "2011-02-25T13:07:26.980", "20110225T130726"},
          Case{{2000, 60, 0, 0, 0, 0}, "2000-02-29T00:00:00.000", "20000229T000000"},
          Case{{2012, 366, 23, 59, 59, 999}, "2012-12-31T23:59:59.999", "20121231T235959"},
          Case{{1969, 365, 12, 0, 0, 1}, "1969-12-31T12:00:00.001", "19691231T120000"}}) {
        traceio::newhdr();
        set_reference(c.fields);
        std::int64_t ms = 0;
        ASSERT_TRUE(rfkit::stored_reference(ms)) << c.iso;
        EXPECT_EQ(rfkit::iso_time(ms), c.iso);
        EXPECT_EQ(rfkit::compact_time(ms), c.compact);
        traceio::newhdr();
        rfkit::store_reference(ms);
        std::int64_t again = 0;
        ASSERT_TRUE(rfkit::stored_reference(again));
        EXPECT_EQ(again, ms);
    }
    // kestrum's reference time moved by 2 ms crosses into a new year.
    traceio::newhdr();
    set_reference({1999, 365, 23, 59, 59, 999});
    std::int64_t ms = 0;
    ASSERT_TRUE(rfkit::stored_reference(ms));
    EXPECT_EQ(rfkit::iso_time(ms + rfkit::nearest_ms(0.0024)), "2000-01-01T00:00:00.001");
}

TEST(ReferenceTime, RefusesUndefinedOrImpossibleFields) {
    for (const auto& fields :
         {std::array<int, 6>{-12345, 1, 0, 0, 0, 0},
          std::array<int, 6>{2011, 366, 0, 0, 0, 0}, // not a leap year
          std::array<int, 6>{2011, 0, 0, 0, 0, 0}, std::array<int, 6>{2011, 10, 24, 0, 0, 0},
          std::array<int, 6>{2011, 10, 0, 0, 0, 1000}}) {
        traceio::newhdr();
        set_reference(fields);
        std::int64_t ms = 0;
        EXPECT_FALSE(rfkit::stored_reference(ms)) << fields[0] << " " << fields[1];
    }
}

} // namespace
