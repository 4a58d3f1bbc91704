// One component of a three-component recording, read from its trace file:
// the samples and the header facts that preparing it needs.  Header values
// that are undefined (-12345) or not finite are held as NaN (numbers) or as
// empty text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rfkit {

struct Recording {
    std::string file;
    std::vector<float> samples;
    double begin = 0, delta = 0;                     // B and DELTA (s)
    std::int64_t reference = 0;                      // reference time, ms since 1970 (reftime.hpp)
    std::string network, station, location, channel; // KNETWK KSTNM KHOLE KCMPNM
    double cmpaz, cmpinc;                            // degrees
    double stla, stlo, evla, evlo, evdp;             // degrees, km
    double origin, baz, gcarc;                       // O (s), BAZ, GCARC (degrees)
    std::array<double, 11> picks;                    // A, T0 .. T9 (s)
};

// Index of a pick field name ("A", "T0" .. "T9", any case) in Recording::picks,
// or -1.
int pick_index(const std::string& field);
// The field name of a pick index ("A", "T0" .. "T9").
std::string pick_name(int index);

// Reads a trace file, in one read; its header stays in the header store.
// False, with `why` naming the reason, when the file
// cannot be read, is not an evenly spaced time series, has no samples, a
// sample interval that is not positive, a begin time that is not finite, or
// no valid reference time; `rec` then holds what was read so far.
bool read_recording(const std::string& file, Recording& rec, std::string& why);

} // namespace rfkit
