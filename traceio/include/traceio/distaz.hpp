// Epicentral distance, azimuth, back azimuth and great-circle arc between an
// event and stations on a reference ellipsoid chosen by a body code (the
// header's enumeration codes ISUN .. IMARS).  Angles are in degrees, distances
// in kilometres.
#pragma once

#include <span>

namespace traceio {

// Equatorial radius (km), flattening and kilometres per degree of a body;
// an unknown code gives the Earth's values and error 804.
void refel(int body, float& a, float& f, float& kmpdeg, int& nerr);

// Fills element i of dist, az, baz and gcarc for each of the first ns stations
// (never more than the shortest span).  Error 804: unknown body, nothing
// computed; 904: a distance disagrees with its arc by more than 100 km (all
// stations still computed).  A station, or an event, with a coordinate that
// is not finite gets -12345 (undefined) in all four results and error 904.
// Coincident points give all four results 0; a latitude of +-90 is the pole
// itself.
void distaz(int body, float evla, float evlo, std::span<const float> stla,
            std::span<const float> stlo, int ns, std::span<float> dist, std::span<float> az,
            std::span<float> baz, std::span<float> gcarc, int& nerr);

} // namespace traceio
