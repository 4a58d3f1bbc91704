// Preparing one event at one station for deconvolution: the three component
// files are checked to belong together, the horizontals rotated to R and T,
// the P arrival taken from a pick or predicted in iasp91, a window cut around
// it, mean and trend removed, both ends tapered, optionally band-passed, and
// the signal-to-noise ratio measured on Z.
//
// Time convention: times of the prepared traces are seconds after P.  The
// prepared traces share Z's sample times; the horizontals are taken at the
// sample nearest to each (components whose sample times differ by more than
// a tenth of a sample are refused).
#pragma once

#include "rfkit/recording.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rfkit {

struct PrepSettings {
    double from = -30, to = 90;             // window around P (s)
    double taper = 5;                       // cosine taper at both ends (s)
    int pick = 0;                           // index of the pick field (recording.hpp)
    double f1 = 0, f2 = 0;                  // band-pass corners (Hz); f2 = 0: none
    int order = 2;                          // Butterworth order of each corner
    double noise_from = -25, noise_to = -3; // noise window for the SNR (s after P)
    double signal_to = 15;                  // signal window 0 .. signal_to (s after P)
};

// One prepared event.
struct Prepared {
    // The three files in the order Z, first horizontal, second horizontal.
    std::array<std::string, 3> files;
    std::array<std::vector<float>, 3> zrt; // Z (up), R, T
    double begin = 0;                      // time of the first sample (s after P)
    double delta = 0;
    std::int64_t p_time = 0; // P arrival, ms since 1970 (nearest ms)
    double p_residual = 0;   // exact P minus p_time (s), within 0.5 ms
    bool picked = false;     // P from the pick field, else predicted
    int pick = 0;            // the pick field (recording.hpp)
    double predicted = 0;    // predicted P (s after p_time), when known
    bool has_prediction = false;
    double slowness = 0; // s/km at the surface, when known
    bool has_slowness = false;
    double baz = 0, gcarc = 0, dist = 0, az = 0;
    bool has_distance = false, located = false; // gcarc known; from coordinates
    double radial_azimuth = 0, transverse_azimuth = 0;
    double snr = 0; // RMS of Z over the signal window / over the noise window
    bool has_snr = false;
    std::string network, station, location, channel_prefix;
    std::int64_t origin = 0; // origin time (ms since 1970), when known
    bool has_origin = false;
    std::string note; // a remark worth telling the user (no ray parameter ...)
};

// The event a set of files belongs to, for messages: its origin time when
// the Z file could be read, else empty.
std::string describe_event(const Prepared& p);

// Prepares the event recorded in three files (Z and two horizontals, in any
// order).  False, with `why` saying what is wrong in a sentence fragment,
// when the files do not belong together or cannot be prepared; `out` then
// holds whatever was learned (the files, and the origin when known).  On
// success the header store holds the vertical's header as read, which
// write_prepared (prepout.hpp) builds the outputs' headers from.
bool prepare(const std::array<std::string, 3>& files, const PrepSettings& s, Prepared& out,
             std::string& why);

} // namespace rfkit
