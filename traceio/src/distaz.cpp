#include "traceio/distaz.hpp"

#include "store.hpp"
#include "traceio/header.hpp"
#include "traceio/message.hpp"

#include <algorithm>
#include <cmath>
#include <complex>

namespace traceio {

namespace {

constexpr float torad = 0.017453292f; // pi/180 as the series has always used it
constexpr float todeg = 57.29578f;
// Stand-in for a latitude of exactly 0 (1e-8 degrees in radians), which keeps
// the tangents of the distance series away from 0.
constexpr float tiny = 1.7453292e-10f;

struct Body {
    int code;
    float a, f, kmpdeg;
};
constexpr Body earth{detail::IEARTH, 6378.16f, 0.00335293f, 111.3199f};
constexpr Body bodies[] = {
    earth,
    {detail::IMOON, 1737.4f, 0.0f, 30.32335f},
    {detail::IMARS, 3396.19f, 0.005886007f, 59.2747f},
    {detail::IMERCURY, 2439.7f, 0.0f, 42.5808f},
    {detail::IVENUS, 6051.8f, 0.0f, 105.6238f},
    {detail::ISUN, 696000.0f, 0.0f, 12147.49f},
};

// cos x and sin x together, as the exponential of i x.
std::complex<float> cis(float x) {
    return std::exp(std::complex<float>(0.0f, x));
}

// A point on the ellipsoid: geographic latitude (cosine, sine, tangent), the
// longitude and the direction cosines of the geocentric position.
struct Point {
    float cphi, sphi, tphi; // geographic latitude (tphi: its tangent)
    float lam;              // longitude, radians
    float d, e, F, c, A, B, G, H;
};

Point locate(float lat, float lon, float onemec2) {
    Point p{};
    float cpsi = 0.0f;
    float spsi = 0.0f;
    if (std::fabs(lat) == 90.0f) {
        // The pole itself: single-precision pi/2 lies just past the pole, where
        // the tangent changes sign and would put the point at the other pole.
        p.cphi = tiny;
        p.sphi = std::copysign(1.0f, lat);
        p.tphi = p.sphi / p.cphi;
        spsi = p.sphi;
    } else {
        const float theta = lat == 0.0f ? tiny : lat * torad;
        const auto cs = cis(theta);
        p.cphi = cs.real();
        p.sphi = cs.imag();
        p.tphi = lat == 0.0f ? tiny : std::tan(theta);
        const auto cpsi_spsi = cis(std::atan(onemec2 * p.tphi));
        cpsi = cpsi_spsi.real();
        spsi = cpsi_spsi.imag();
    }
    p.lam = lon * torad;
    const auto cl = cis(p.lam);
    p.d = cl.imag();
    p.e = -cl.real();
    p.F = -cpsi;
    p.c = spsi;
    p.A = p.F * p.e;
    p.B = -p.F * p.d;
    p.G = -p.c * p.e;
    p.H = p.c * p.d;
    return p;
}

float degrees_0_360(float radians) {
    float v = radians * todeg;
    return v < 0.0f ? v + 360.0f : v;
}

float sq(float v) {
    return v * v;
}

// Geodesic distance on the ellipsoid by Rudoe's series, from point 1 to 2.
float rudoe(const Point& p1, const Point& p2, float a, float e2, float onemec2, float ec2,
            float eps) {
    const float dlam = p2.lam - p1.lam;
    const auto cs = cis(dlam);
    const float cdl = cs.real();
    const float sdl = cs.imag();
    const float tt1 = p1.sphi / p1.cphi;
    const float tt2 = p2.sphi / p2.cphi;
    const double t1 = tt1;
    const double t2 = tt2;
    const float x = static_cast<float>(
        t2 * p1.cphi / eps + p1.sphi * (e2 * std::sqrt((t2 * t2 + eps) / (t1 * t1 + eps)) - cdl));
    const float dd = std::sqrt(sdl * sdl + x * x);
    if (!(dd > 0.0f)) return 0.0f; // the same point: no direction, no distance
    const float calpha = x / dd;
    const float salpha = sdl / dd;
    const float w = sq(p1.cphi * calpha);
    const double u = (static_cast<double>(w) + static_cast<double>(p1.sphi) * p1.sphi) * ec2;
    const double u2 = u * u;
    const double u3 = u * u2;
    // e^2 times the squared sine: the square is formed first.
    const float nu1 = a / std::sqrt(1.0f - e2 * sq(p1.sphi));
    const float nu2 = a / std::sqrt(1.0f - e2 * sq(p2.sphi));
    const float uu = static_cast<float>(1.0 + u);
    const float rootu = std::sqrt(uu);
    const float sigma1 = std::atan2(tt1, rootu * calpha);
    const float sigma2 =
        std::atan2(nu1 * p1.sphi + uu * (onemec2 * nu2 * p2.sphi - onemec2 * nu1 * p1.sphi),
                   rootu * (cdl * nu2 * p2.cphi * calpha - nu2 * p2.cphi * sdl * p1.sphi * salpha));
    const float b0 = std::sqrt(1.0f + ec2 * w) * nu1 / uu;
    const double c0 = 1.0 + u / 4.0 - 3.0 * u2 / 64.0 + 5.0 * u3 / 256.0;
    const double c2 = -u / 8.0 + u2 / 32.0 - 15.0 * u3 / 1024.0;
    const double c4 = -u2 / 256.0 + 3.0 * u3 / 1024.0;
    const float s2 = std::sin(2.0f * sigma2) - std::sin(2.0f * sigma1);
    const float s4 = std::sin(4.0f * sigma2) - std::sin(4.0f * sigma1);
    return static_cast<float>(std::fabs(b0 * c0 * (sigma2 - sigma1) + b0 * (s2 * c2 + s4 * c4)));
}

bool same_place(float lat1, float lon1, float lat2, float lon2) {
    if (lat1 != lat2) return false;
    return std::fabs(lat1) == 90.0f || std::fmod(lon1 - lon2, 360.0f) == 0.0f;
}

} // namespace

void refel(int body, float& a, float& f, float& kmpdeg, int& nerr) {
    nerr = 0;
    const auto* it = std::find_if(std::begin(bodies), std::end(bodies),
                                  [&](const Body& b) { return b.code == body; });
    const Body& b = it == std::end(bodies) ? earth : *it;
    if (it == std::end(bodies)) nerr = ERR_BODY;
    a = b.a;
    f = b.f;
    kmpdeg = b.kmpdeg;
}

void distaz(int body, float evla, float evlo, std::span<const float> stla,
            std::span<const float> stlo, int ns, std::span<float> dist, std::span<float> az,
            std::span<float> baz, std::span<float> gcarc, int& nerr) {
    nerr = 0;
    float a = 0.0f, f = 0.0f, kmpdeg = 0.0f;
    refel(body, a, f, kmpdeg, nerr);
    if (nerr != 0) return;
    const float e2 = 2.0f * f - f * f;
    const float onemec2 = 1.0f - e2;
    const float ec2 = e2 / onemec2;
    const float eps = 1.0f + ec2;

    const std::size_t count =
        std::min({static_cast<std::size_t>(std::max(ns, 0)), stla.size(), stlo.size(), dist.size(),
                  az.size(), baz.size(), gcarc.size()});
    const Point ev = locate(evla, evlo, onemec2);
    const bool event_known = std::isfinite(evla) && std::isfinite(evlo);
    for (std::size_t i = 0; i < count; ++i) {
        // A coordinate that is not a number places nothing: the results are
        // undefined and the station fails the check, as a bad distance would.
        if (!event_known || !std::isfinite(stla[i]) || !std::isfinite(stlo[i])) {
            dist[i] = az[i] = baz[i] = gcarc[i] = FUNDEF;
            nerr = ERR_DISTANCE;
            setmsg("ERROR", ERR_DISTANCE);
            apimsg(static_cast<int>(i) + 1);
            continue;
        }
        if (same_place(evla, evlo, stla[i], stlo[i])) {
            dist[i] = az[i] = baz[i] = gcarc[i] = 0.0f;
            continue;
        }
        const Point st = locate(stla[i], stlo[i], onemec2);

        const float sc = ev.A * st.A + ev.B * st.B + ev.c * st.c;
        const float sd = 0.5f * std::sqrt((sq(ev.A - st.A) + sq(ev.B - st.B) + sq(ev.c - st.c)) *
                                          (sq(ev.A + st.A) + sq(ev.B + st.B) + sq(ev.c + st.c)));
        gcarc[i] = degrees_0_360(std::atan2(sd, sc));

        const float ssa = sq(st.A - ev.d) + sq(st.B - ev.e) + st.c * st.c - 2.0f;
        const float sca = sq(st.A - ev.G) + sq(st.B - ev.H) + sq(st.c - ev.F) - 2.0f;
        az[i] = degrees_0_360(std::atan2(ssa, sca));

        const float ssb = static_cast<float>(static_cast<double>(ev.A - st.d) * (ev.A - st.d) +
                                             static_cast<double>(ev.B - st.e) * (ev.B - st.e) +
                                             ev.c * ev.c - 2.0);
        const float scb = sq(ev.A - st.G) + sq(ev.B - st.H) + sq(ev.c - st.F) - 2.0f;
        baz[i] = degrees_0_360(std::atan2(ssb, scb));

        // The series starts from the event unless the station lies south of
        // the equator.
        const bool station_north = stla[i] >= 0.0f;
        dist[i] = station_north ? rudoe(ev, st, a, e2, onemec2, ec2, eps)
                                : rudoe(st, ev, a, e2, onemec2, ec2, eps);

        if (std::fabs(dist[i] - gcarc[i] * kmpdeg) > 100.0f) {
            nerr = ERR_DISTANCE;
            setmsg("ERROR", ERR_DISTANCE);
            apimsg(static_cast<int>(i) + 1);
        }
    }
}

} // namespace traceio
