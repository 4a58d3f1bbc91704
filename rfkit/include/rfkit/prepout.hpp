// The files of a prepared event: their names and their headers.
//
// Names: <dir>/<stem>.z, .r and .t, the stem made of the station and the
// origin time, NET.STA_yyyymmddThhmmss (NET.STA.LOC_... when the location
// code is set; STA_... without a network; whole seconds of the origin).
// Without an origin time the P arrival stands in: NET.STA_PyyyymmddThhmmss.
// Characters other than letters, digits, '-' and '_' in the codes become '_'.
//
// Headers: Z's header with the reference time moved to the P arrival (to the
// nearest millisecond, so that P is at time 0 within 0.5 ms and IZTYPE names
// the field holding it), every time field moved with it so that absolute
// times are unchanged, and
//   B, E, NPTS, DEPMIN, DEPMAX, DEPMEN   of the prepared samples;
//   the pick field (A by default)         P, when it was picked;
//   T9, KT9 "P_iasp91"                    the P time predicted in iasp91;
//   USER0, KUSER0 "s/km"                  the ray parameter of that P;
//   USER1, KUSER1 "snr"                   the signal-to-noise ratio on Z;
//   BAZ, GCARC, DIST, AZ                  the geometry used;
//   CMPAZ, CMPINC, KCMPNM                 Z: 0, 0, ..Z; R: BAZ+180, 90, ..R;
//                                         T: BAZ+90, 90, ..T.
// Fields whose value is unknown are left undefined.
#pragma once

#include "rfkit/prepare.hpp"
#include "traceio/signals.hpp"

#include <array>
#include <string>

namespace rfkit {

// The stem of an event's file names (see above).
std::string event_stem(const Prepared& p);

// The three output names in dir (a dir of "" or "." gives bare names).
std::array<std::string, 3> output_names(const Prepared& p, const std::string& dir);

// Writes the prepared Z, R and T under `names`, their headers made from
// the vertical's header in the store (as prepare leaves it): all three or
// none.  The three are written under hidden names beside their own
// (.NAME.PID.N.part) and renamed into place only when all are written, with
// SIGINT, SIGTERM, SIGHUP and SIGXFSZ held meanwhile, so that a failure or
// an interruption leaves the event's older files as they were.  False with
// `why` when a file cannot be written, or when a name is that of one of the
// event's input files (which is never replaced) or of a directory.
bool write_prepared(const Prepared& p, const std::array<std::string, 3>& names, std::string& why);

// Holds the interrupting signals while an event's files and job line go
// out (see traceio/signals.hpp).
using HeldSignals = traceio::HeldSignals;

} // namespace rfkit
