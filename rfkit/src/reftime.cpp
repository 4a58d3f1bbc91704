// Calendar arithmetic for header reference times (see reftime.hpp).  Days are
// counted from 1970-01-01 with the civil-calendar algorithm of H. Hinnant
// ("chrono-compatible low-level date algorithms").
#include "rfkit/reftime.hpp"

#include "traceio/header.hpp"

#include <array>
#include <cmath>
#include <cstdio>

namespace rfkit {

namespace {

constexpr std::int64_t ms_per_day = 86400000;

bool leap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Days from 1970-01-01 to year-month-day.
std::int64_t days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct Civil {
    int year, month, day;
};

Civil civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (m <= 2)), m, d};
}

// Splits an absolute time into date, day of the year and time of day.
struct Parts {
    Civil date;
    int jday, hour, minute, second, msec;
};

Parts split(std::int64_t ms) {
    std::int64_t days = ms / ms_per_day, rest = ms % ms_per_day;
    if (rest < 0) rest += ms_per_day, days -= 1;
    Parts p{};
    p.date = civil_from_days(days);
    p.jday = static_cast<int>(days - days_from_civil(p.date.year, 1, 1)) + 1;
    p.hour = static_cast<int>(rest / 3600000);
    p.minute = static_cast<int>(rest / 60000 % 60);
    p.second = static_cast<int>(rest / 1000 % 60);
    p.msec = static_cast<int>(rest % 1000);
    return p;
}

} // namespace

bool stored_reference(std::int64_t& ms) {
    constexpr std::array<const char*, 6> names{"nzyear", "nzjday", "nzhour",
                                               "nzmin",  "nzsec",  "nzmsec"};
    constexpr std::array<int, 6> lo{1, 1, 0, 0, 0, 0}, hi{9999, 366, 23, 59, 60, 999};
    std::array<int, 6> v{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        int nerr = 0;
        traceio::getnhv(names[i], v[i], nerr);
        if (nerr != 0 || v[i] < lo[i] || v[i] > hi[i]) return false;
    }
    if (v[1] == 366 && !leap(v[0])) return false;
    const std::int64_t days = days_from_civil(v[0], 1, 1) + v[1] - 1;
    ms = days * ms_per_day + ((v[2] * 60 + v[3]) * 60 + std::int64_t{v[4]}) * 1000 + v[5];
    return true;
}

void store_reference(std::int64_t ms) {
    const Parts p = split(ms);
    int nerr = 0;
    traceio::setnhv("nzyear", p.date.year, nerr);
    traceio::setnhv("nzjday", p.jday, nerr);
    traceio::setnhv("nzhour", p.hour, nerr);
    traceio::setnhv("nzmin", p.minute, nerr);
    traceio::setnhv("nzsec", p.second, nerr);
    traceio::setnhv("nzmsec", p.msec, nerr);
}

std::int64_t nearest_ms(double seconds) {
    return static_cast<std::int64_t>(std::llround(seconds * 1000));
}

std::string iso_time(std::int64_t ms) {
    const Parts p = split(ms);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.date.year, p.date.month,
                  p.date.day, p.hour, p.minute, p.second, p.msec);
    return buf;
}

std::string compact_time(std::int64_t ms) {
    const Parts p = split(ms);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02d", p.date.year, p.date.month,
                  p.date.day, p.hour, p.minute, p.second);
    return buf;
}

} // namespace rfkit
