// Absolute times of trace headers.  A header's reference time is its six
// fields NZYEAR, NZJDAY (day of the year), NZHOUR, NZMIN, NZSEC, NZMSEC; every
// other time field is seconds after it.  Here an absolute time is a count of
// milliseconds since 1970-01-01 00:00:00 UTC on the proleptic Gregorian
// calendar, without leap seconds (as the reference fields count).
#pragma once

#include <cstdint>
#include <string>

namespace rfkit {

// The reference time of the header in the store, in milliseconds since 1970.
// False when a field is undefined or out of its range (year 1..9999, day
// 1..365 or 366, hour 0..23, minute 0..59, second 0..60, msec 0..999).
bool stored_reference(std::int64_t& ms);

// Writes a reference time into the store's six fields.
void store_reference(std::int64_t ms);

// The nearest whole millisecond of an absolute time given in seconds.
std::int64_t nearest_ms(double seconds);

// "2011-02-25T13:07:26.980" (milliseconds shown) and "20110225T130726"
// (whole seconds, truncated) forms of an absolute time.
std::string iso_time(std::int64_t ms);
std::string compact_time(std::int64_t ms);

} // namespace rfkit
