// Direct P in iasp91: ray integrals layer by layer and the search for the ray
// parameter of a distance.  Conventions are stated in iasp91.hpp.
#include "rfkit/iasp91.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace rfkit::iasp91 {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// The mantle of iasp91: depth (km) and P speed (km/s), linear between rows;
// a repeated depth is a discontinuity.  The last row is the base of the
// mantle, where P would enter the core.
struct Row {
    double depth, vp;
};
constexpr Row mantle[] = {
    {0, 5.8},          {20, 5.8},         {20, 6.5},          {35, 6.5},          {35, 8.04},
    {77.5, 8.045},     {120, 8.05},       {165, 8.175},       {210, 8.3},         {260, 8.4825},
    {310, 8.665},      {360, 8.8475},     {410, 9.03},        {410, 9.36},        {460, 9.528},
    {510, 9.696},      {560, 9.864},      {610, 10.032},      {660, 10.2},        {660, 10.79},
    {710, 10.9229},    {760, 11.0558},    {809.5, 11.144},    {859, 11.23},       {908.5, 11.314},
    {958, 11.396},     {1007.5, 11.4761}, {1057, 11.5543},    {1106.5, 11.6308},  {1156, 11.7056},
    {1205.5, 11.7787}, {1255, 11.8504},   {1304.5, 11.9205},  {1354, 11.9893},    {1403.5, 12.0568},
    {1453, 12.1231},   {1502.5, 12.1881}, {1552, 12.2521},    {1601.5, 12.3151},  {1651, 12.3772},
    {1700.5, 12.4383}, {1750, 12.4987},   {1799.5, 12.5584},  {1849, 12.6174},    {1898.5, 12.6759},
    {1948, 12.7339},   {1997.5, 12.7915}, {2047, 12.8487},    {2096.5, 12.9057},  {2146, 12.9625},
    {2195.5, 13.0192}, {2245, 13.0758},   {2294.5, 13.1325},  {2344, 13.1892},    {2393.5, 13.2462},
    {2443, 13.3034},   {2492.5, 13.361},  {2542, 13.419},     {2591.5, 13.4774},  {2641, 13.5364},
    {2690.5, 13.5961}, {2740, 13.6564},   {2789.67, 13.6679}, {2839.33, 13.6793}, {2889, 13.6908},
};

// One layer: v(r) = a + b r between the radii `bottom` and `top` (km).
// eta = r / v grows with r in every layer of the model (a > 0).
struct Layer {
    double top, bottom, a, b;
    double eta(double r) const { return r / (a + b * r); }
};

const std::vector<Layer>& layers() {
    static const std::vector<Layer> built = [] {
        std::vector<Layer> out;
        for (std::size_t i = 0; i + 1 < std::size(mantle); ++i) {
            const Row& up = mantle[i];
            const Row& down = mantle[i + 1];
            if (down.depth == up.depth) continue; // a discontinuity
            const double top = earth_radius - up.depth, bottom = earth_radius - down.depth;
            const double b = (up.vp - down.vp) / (top - bottom);
            out.push_back({top, bottom, up.vp - b * top, b});
        }
        return out;
    }();
    return built;
}

// Gauss-Legendre rules on [-1, 1], four and eight points (half of each,
// the rules being symmetric).
struct Rule {
    std::array<double, 4> node, weight;
    int half_count;
};
constexpr Rule four{
    {0.3399810435848563, 0.8611363115940526}, {0.6521451548625461, 0.3478548451374538}, 2};
constexpr Rule eight{
    {0.1834346424956498, 0.5255324099163290, 0.7966664774136267, 0.9602898564975363},
    {0.3626837833783620, 0.3137066458778873, 0.2223810344533745, 0.1012285362903763},
    4};

struct Path {
    double x = 0, t = 0; // radians, seconds
};

// Adds `times` the one-way path of the ray p through the part of layer l
// where eta runs from eta_lo (>= p) to eta_hi.  In u (eta = p cosh u) the
// integrands are smooth, their nearest poles at least pi/2 off the real axis
// (where cosh u = 0): four points on a piece of half-width 0.05 and eight on
// pieces of half-width up to 0.5 integrate them to rounding level.
void add_path(const Layer& l, double p, double eta_lo, double eta_hi, double times, Path& path) {
    const double u0 = std::acosh(std::max(eta_lo / p, 1.0));
    const double u1 = std::acosh(std::max(eta_hi / p, 1.0));
    if (!(u1 > u0)) return;
    const int pieces = static_cast<int>(std::ceil(u1 - u0));
    const double half = (u1 - u0) / (2 * pieces);
    const Rule& rule = half <= 0.05 ? four : eight;
    for (int k = 0; k < pieces; ++k) {
        const double mid = u0 + (2 * k + 1) * half;
        for (int i = 0; i < rule.half_count; ++i) {
            const double w = times * rule.weight[i] * half;
            for (double u : {mid - half * rule.node[i], mid + half * rule.node[i]}) {
                const double c = std::cosh(u);
                const double eta = p * c;
                const double g = 1 - l.b * eta; // a / v, positive
                path.x += w / (c * g);
                path.t += w * eta / g;
            }
        }
    }
}

// The layer holding radius r (the upper one at a boundary).
const Layer& layer_at(double r) {
    for (const Layer& l : layers())
        if (r >= l.bottom) return l;
    return layers().back();
}

double eta_at_depth(double depth_km) {
    const double r = earth_radius - depth_km;
    return layer_at(r).eta(r);
}

// Distance minus target, and time, of the ray p from a source at depth_km.
struct Sample {
    double p, miss, time;
};

Sample sample(double p, double depth_km, double target) {
    const Ray r = ray(p, depth_km);
    return {p, r.distance - target, r.time};
}

// Refines a crossing of the target between a and b (misses of opposite sign)
// by regula falsi with the Illinois step.
Sample refine(Sample a, Sample b, double depth_km, double target) {
    Sample c = a;
    int side = 0;
    for (int it = 0; it < 100 && std::abs(b.p - a.p) > 1e-12 * a.p; ++it) {
        const double p = b.p - b.miss * (b.p - a.p) / (b.miss - a.miss);
        c = sample(std::clamp(p, std::min(a.p, b.p), std::max(a.p, b.p)), depth_km, target);
        if (c.miss == 0 || !std::isfinite(c.miss)) break;
        if ((c.miss > 0) == (b.miss > 0)) {
            b = c;
            if (side == -1) a.miss /= 2;
            side = -1;
        } else {
            a = c;
            if (side == 1) b.miss /= 2;
            side = 1;
        }
        if (std::abs(c.miss) < 1e-14) break;
    }
    return c;
}

// A point of the sampled travel-time curve: ray parameter, distance, time.
struct Point {
    double p, distance, time;
};

Sample at(const Point& r, double target) {
    return {r.p, r.distance - target, r.time};
}

// Branches of the travel-time curve end where the ray meets a boundary of
// the layers: there X(p) may jump or turn back.  Each branch is sampled at
// evenly spaced ray parameters, wide ones (the lower mantle's) more densely.
std::vector<std::vector<Point>> sample_branches(double depth_km) {
    const double p_lo = grazing_p(), p_hi = eta_at_depth(depth_km);
    std::vector<double> ends{p_lo, p_hi};
    for (std::size_t i = 0; i + 1 < std::size(mantle); ++i) {
        if (mantle[i].depth != mantle[i + 1].depth) continue;
        const double r = earth_radius - mantle[i].depth;
        for (double e : {r / mantle[i].vp, r / mantle[i + 1].vp})
            if (e > p_lo && e < p_hi) ends.push_back(e);
    }
    std::ranges::sort(ends);
    std::vector<std::vector<Point>> branches;
    for (std::size_t k = 0; k + 1 < ends.size(); ++k) {
        const double lo = ends[k] * (1 + 1e-12), hi = ends[k + 1] * (1 - 1e-12);
        if (!(hi > lo)) continue;
        const int per_branch = 4 + static_cast<int>(24 * (hi - lo) / (p_hi - p_lo));
        std::vector<Point>& branch = branches.emplace_back();
        for (int i = 0; i <= per_branch; ++i) {
            const double p = lo + (hi - lo) * i / per_branch;
            const Ray r = ray(p, depth_km);
            branch.push_back({p, r.distance, r.time});
        }
    }
    return branches;
}

// The sampled branches of a source depth, kept for the last few depths: the
// samples do not depend on the distance sought, so the stations of one
// event (a network's batch) share them, with the very same numbers.
const std::vector<std::vector<Point>>& sampled_branches(double depth_km) {
    constexpr std::size_t kept = 64; // about 100 kB
    thread_local std::vector<std::pair<double, std::vector<std::vector<Point>>>> recent;
    for (const auto& [depth, branches] : recent)
        if (depth == depth_km) return branches;
    if (recent.size() == kept) recent.erase(recent.begin());
    return recent.emplace_back(depth_km, sample_branches(depth_km)).second;
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace

Ray ray(double p, double depth_km) {
    const double rs = earth_radius - depth_km;
    if (!(p > 0) || !(depth_km >= 0) || !(p < eta_at_depth(depth_km))) return {nan, nan};
    // Above the source the ray runs once (up), below it twice (down and up).
    Path path;
    for (const Layer& l : layers()) {
        const double eta_top = l.eta(l.top), eta_bottom = l.eta(l.bottom);
        if (eta_top < p) return {path.x, path.t}; // reflected at the top of this layer
        const double eta_lo = std::max(eta_bottom, p);
        if (l.bottom >= rs) {
            add_path(l, p, eta_lo, eta_top, 1, path);
        } else if (l.top <= rs) {
            add_path(l, p, eta_lo, eta_top, 2, path);
        } else { // the source's layer
            const double eta_s = l.eta(rs);
            add_path(l, p, eta_s, eta_top, 1, path);
            add_path(l, p, eta_lo, eta_s, 2, path);
        }
        if (eta_bottom <= p) return {path.x, path.t}; // turned in this layer
    }
    return {nan, nan}; // into the core
}

double grazing_p() {
    const Layer& deepest = layers().back();
    return deepest.eta(deepest.bottom);
}

bool direct_p(double depth_km, double distance_deg, Arrival& arrival, std::string& why) {
    if (!(depth_km >= 0 && depth_km <= max_depth)) {
        why = "source depth " + fixed(depth_km, 1) + " km is outside 0-" + fixed(max_depth, 0) +
              " km";
        return false;
    }
    if (!(distance_deg >= min_distance && distance_deg <= max_distance)) {
        why = "distance " + fixed(distance_deg, 2) + " deg is outside " + fixed(min_distance, 0) +
              "-" + fixed(max_distance, 0) + " deg, where direct P applies";
        return false;
    }
    const double target = distance_deg * pi / 180;
    bool found = false;
    Sample best{};
    for (const std::vector<Point>& branch : sampled_branches(depth_km)) {
        for (std::size_t i = 1; i < branch.size(); ++i) {
            const Sample prev = at(branch[i - 1], target), next = at(branch[i], target);
            if (std::isfinite(prev.miss) && std::isfinite(next.miss) &&
                (prev.miss <= 0) != (next.miss <= 0)) {
                const Sample s = refine(prev, next, depth_km, target);
                if (std::isfinite(s.time) && (!found || s.time < best.time)) best = s;
                found = found || std::isfinite(s.time);
            }
        }
    }
    if (!found) {
        why = "no direct P reaches " + fixed(distance_deg, 2) + " deg from a source at " +
              fixed(depth_km, 1) + " km (the ray would graze the core)";
        return false;
    }
    arrival = {best.time, best.p / earth_radius, best.p};
    return true;
}

} // namespace rfkit::iasp91
