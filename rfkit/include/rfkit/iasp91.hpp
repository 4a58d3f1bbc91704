// Direct-P travel times and ray parameters in the iasp91 Earth model
// (Kennett & Engdahl 1991, Geophys. J. Int. 105, 429-465): a spherical Earth
// of radius 6371 km whose mantle P speed is linear in radius between the
// model's tabulated depths.
//
// Units: depths in km, distances in degrees of arc, times in seconds.  The
// ray parameter p = r sin(i) / v is carried in seconds per radian; at the
// surface it is the horizontal slowness p / 6371 s/km.
//
// Method: the ray integrals X(p) (distance) and T(p) (time) are summed over
// the model's layers.  Inside a layer where v = a + b r the substitution
// eta = r / v = p cosh(u) removes the square-root singularity at the turning
// point and leaves smooth integrands,
//     X = int du / (cosh u (1 - b eta)),    T = int eta du / (1 - b eta),
// which Gauss-Legendre quadrature integrates to rounding level.  The ray
// parameter for a distance is found by scanning X(p) over every branch of
// the travel-time curve and refining each crossing; the earliest is direct P.
#pragma once

#include <string>

namespace rfkit::iasp91 {

inline constexpr double earth_radius = 6371.0; // km
inline constexpr double min_distance = 25.0;   // degrees: nearer, the upper-mantle
inline constexpr double max_distance = 98.0;   // triplications; farther, the core
inline constexpr double max_depth = 700.0;     // km, the deepest earthquakes

// Distance (radians) and time (s) of the ray of parameter p (s/rad) that
// leaves a source at depth_km downwards and returns to the surface.  Both are
// NaN when the ray cannot leave downwards (p at or above r/v at the source)
// or would enter the core.
struct Ray {
    double distance;
    double time;
};
Ray ray(double p, double depth_km);

// Smallest ray parameter of direct P (s/rad): the ray grazing the core.
double grazing_p();

// The first direct-P arrival at a surface receiver.
struct Arrival {
    double time;     // s after the origin
    double slowness; // s/km at the surface
    double p;        // s/rad
};

// Direct P from a source at depth_km (0..700) to distance_deg (25..98).
// Returns false, with `why` saying so in a sentence fragment, for a depth or
// distance outside those ranges or where no direct P arrives (the ray would
// have to enter the core, at large distances from deep sources); `arrival` is
// then unchanged.
bool direct_p(double depth_km, double distance_deg, Arrival& arrival, std::string& why);

} // namespace rfkit::iasp91
