// Romberg-type integration of the vertical slowness through a graded layer.
#include "synthetics/tau.hpp"

#include "synthetics/reflectivity.hpp"

#include "console/console.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>

namespace synthetics {
namespace {

TauStore tau_store;
int points_to_add = 0; // new interior points of the next trapezoid stage

constexpr int max_stages = 20;
constexpr int max_points = 20;
constexpr float tiny = 1e-25f; // keeps the first rational step off 0/0

} // namespace

TauStore& tauval() {
    return tau_store;
}

float pslow(float z) {
    const TauStore& t = tau_store;
    return std::abs(vslow(t.vtop + (z - t.z0) * t.g, t.p, cfloat(1.0f, 0.0f)));
}

void trapzd(Integrand f, float a, float b, float& s, int n) {
    if (n == 1) {
        s = 0.5f * (b - a) * (f(a) + f(b));
        points_to_add = 1;
        return;
    }
    int k = points_to_add;
    float del = (b - a) / static_cast<float>(k);
    float x = a + 0.5f * del;
    float sum = 0.0f;
    for (int i = 0; i < k; ++i, x += del) sum += f(x);
    s = 0.5f * (s + (b - a) * sum / static_cast<float>(k));
    points_to_add = 2 * k;
}

void ratint(std::span<const float> xa, std::span<const float> ya, int n, float x, float& y,
            float& dy) {
    n = std::min({n, max_points, static_cast<int>(xa.size()), static_cast<int>(ya.size())});
    std::array<float, max_points + 1> c{}, d{}; // indexed from 1
    int ns = 1;
    float hmin = std::abs(x - xa[0]);
    for (int i = 1; i <= n; ++i) {
        float hh = std::abs(x - xa[static_cast<size_t>(i - 1)]);
        if (x - xa[static_cast<size_t>(i - 1)] == 0.0f) {
            y = ya[static_cast<size_t>(i - 1)];
            dy = 0.0f;
            return;
        }
        if (hh < hmin) {
            ns = i;
            hmin = hh;
        }
        c[static_cast<size_t>(i)] = ya[static_cast<size_t>(i - 1)];
        d[static_cast<size_t>(i)] = ya[static_cast<size_t>(i - 1)] + tiny;
    }
    auto X = [&](int i) { return xa[static_cast<size_t>(i - 1)]; };
    y = ya[static_cast<size_t>(ns - 1)];
    dy = 0.0f;
    --ns;
    for (int m = 1; m <= n - 1; ++m) {
        for (int i = 1; i <= n - m; ++i) {
            float w = c[static_cast<size_t>(i + 1)] - d[static_cast<size_t>(i)];
            float hh = X(i + m) - x;
            float t = (X(i) - x) * d[static_cast<size_t>(i)] / hh;
            float dd = t - c[static_cast<size_t>(i + 1)];
            if (dd != 0.0f) {
                dd = w / dd;
            } else {
                // A pole of the rational function at x: only an exact
                // cancellation gets here.
                if (w != 0.0f) console::pause("**RATINT:  Duplicate points");
                dd = 1.0f;
            }
            d[static_cast<size_t>(i)] = c[static_cast<size_t>(i + 1)] * dd;
            c[static_cast<size_t>(i)] = t * dd;
        }
        if (2 * ns < n - m) {
            dy = c[static_cast<size_t>(ns + 1)];
        } else {
            dy = d[static_cast<size_t>(ns)];
            --ns;
        }
        y = y + dy;
    }
}

float tauint(Integrand f, float a, float b, float eps) {
    // An empty interval integrates to 0 exactly; extrapolating a run of zeros
    // would only chase the rounding floor of the rational fit.
    if (a == b) return 0.0f;
    std::array<float, max_stages + 2> h{}, s{}, e{};
    h[1] = 1.0f;
    int best = 0;
    float emin = 0.0f;
    for (int j = 1; j <= max_stages; ++j) {
        trapzd(f, a, b, s[static_cast<size_t>(j)], j);
        if (j < 3) {
            s[static_cast<size_t>(j + 1)] = s[static_cast<size_t>(j)];
            h[static_cast<size_t>(j + 1)] = 0.25f * h[static_cast<size_t>(j)];
            continue;
        }
        float ss, dss;
        ratint(std::span<const float>(h).subspan(1), std::span<const float>(s).subspan(1), j, 0.0f,
               ss, dss);
        e[static_cast<size_t>(j)] = dss;
        if (std::abs(dss) <= eps * std::abs(ss)) return ss;
        s[static_cast<size_t>(j)] = ss;
        s[static_cast<size_t>(j + 1)] = ss;
        if (best == 0 || std::abs(dss) <= emin) {
            best = j;
            emin = std::abs(dss);
        }
        h[static_cast<size_t>(j + 1)] = 0.25f * h[static_cast<size_t>(j)];
    }
    console::err() << " **TAUINT:  Too many steps, returning min error.\n";
    return s[static_cast<size_t>(best)];
}

} // namespace synthetics
