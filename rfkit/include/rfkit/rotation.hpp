// Rotation of two horizontal components to radial and transverse.
//
// Conventions: azimuths in degrees clockwise from north.  A horizontal
// component of azimuth a records u_N cos a + u_E sin a of the ground motion.
// R points away from the source, azimuth BAZ + 180; T has azimuth BAZ + 90,
// R's minus 90 degrees, so that (Z up, R, T) is right-handed.  These are the
// directions of the synthetic R and T that kestrum writes (for BAZ 270: R
// east, CMPAZ 90, and T north, CMPAZ 0).
#pragma once

#include <span>

namespace rfkit {

// Azimuths of the radial and transverse components for a back azimuth, in
// [0, 360).
double radial_azimuth(double baz);
double transverse_azimuth(double baz);

// R = rr1 h1 + rr2 h2 and T = tt1 h1 + tt2 h2 for horizontals h1, h2.
struct Rotation {
    double rr1, rr2, tt1, tt2;
};

// The rotation taking horizontals of azimuths az1 and az2 to R and T for the
// back azimuth baz.  False when the two horizontals are within 10 degrees of
// parallel (or antiparallel), which would not determine the ground motion;
// `rot` is then unchanged.  Any two other azimuths are solved for exactly.
bool rotation(double az1, double az2, double baz, Rotation& rot);

// Applies the rotation sample by sample (in double precision, each result
// rounded once); all spans have the length of h1.
void rotate(const Rotation& rot, std::span<const float> h1, std::span<const float> h2,
            std::span<float> r, std::span<float> t);

} // namespace rfkit
