// Horizontal rotation to R and T (conventions in rotation.hpp).
#include "rfkit/rotation.hpp"

#include <cmath>

namespace rfkit {

namespace {

constexpr double deg = 3.14159265358979323846 / 180;

double wrap(double az) {
    double a = std::fmod(az, 360.0);
    if (a < 0) a += 360;
    return a == 360 ? 0 : a;
}

} // namespace

double radial_azimuth(double baz) {
    return wrap(baz + 180);
}

double transverse_azimuth(double baz) {
    return wrap(baz + 90);
}

bool rotation(double az1, double az2, double baz, Rotation& rot) {
    // h1 = N c1 + E s1, h2 = N c2 + E s2; solved for N and E by Cramer's
    // rule, then projected on R and T.
    const double c1 = std::cos(az1 * deg), s1 = std::sin(az1 * deg);
    const double c2 = std::cos(az2 * deg), s2 = std::sin(az2 * deg);
    const double det = c1 * s2 - s1 * c2; // sin(az2 - az1)
    if (!(std::abs(det) >= std::sin(10 * deg))) return false;
    // N = (s2 h1 - s1 h2) / det, E = (c1 h2 - c2 h1) / det.
    const double n1 = s2 / det, n2 = -s1 / det, e1 = -c2 / det, e2 = c1 / det;
    const double ar = radial_azimuth(baz) * deg, at = transverse_azimuth(baz) * deg;
    const double cr = std::cos(ar), sr = std::sin(ar), ct = std::cos(at), st = std::sin(at);
    rot = {cr * n1 + sr * e1, cr * n2 + sr * e2, ct * n1 + st * e1, ct * n2 + st * e2};
    return true;
}

void rotate(const Rotation& rot, std::span<const float> h1, std::span<const float> h2,
            std::span<float> r, std::span<float> t) {
    for (std::size_t i = 0; i < h1.size(); ++i) {
        const double a = h1[i], b = h2[i];
        r[i] = static_cast<float>(rot.rr1 * a + rot.rr2 * b);
        t[i] = static_cast<float>(rot.tt1 * a + rot.tt2 * b);
    }
}

} // namespace rfkit
