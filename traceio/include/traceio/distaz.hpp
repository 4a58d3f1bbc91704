// Epicentral distance, azimuth, back azimuth and great-circle arc between an
// event and stations on a reference ellipsoid chosen by a body code (the
// header's enumeration codes ISUN .. IMARS).  Angles are in degrees, distances
// in kilometres.
#pragma once

#include "traceio/errors.hpp"

#include <span>

namespace traceio {

// Equatorial radius (km), flattening and kilometres per degree of a body.
// Error ERR_BODY: an unknown code; the outputs then hold the Earth's values.
void refel(int body, float& a, float& f, float& kmpdeg, int& nerr);

// Fills element i of dist, az, baz and gcarc for each of the first ns stations
// (never more than the shortest span); ns <= 0 computes nothing.  A station,
// or an event, with a coordinate that is not finite gets -12345 (undefined)
// in all four results and error ERR_DISTANCE.
// Errors: ERR_BODY, an unknown body: nothing computed, the results untouched;
// ERR_DISTANCE, a distance disagrees with its arc by more than 100 km: that
// station's results are stored all the same, and every station is computed
// (a message for it is composed in the message store).
// Coincident points give all four results 0; a latitude of +-90 is the pole
// itself.
void distaz(int body, float evla, float evlo, std::span<const float> stla,
            std::span<const float> stlo, int ns, std::span<float> dist, std::span<float> az,
            std::span<float> baz, std::span<float> gcarc, int& nerr);

} // namespace traceio
