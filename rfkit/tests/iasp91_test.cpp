// Direct P in iasp91, checked three ways: against an independent integration
// of the ray integrals in depth, against dT/dDelta = p, and against values of
// an independent high-precision integration made once for this test.
#include "rfkit/iasp91.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace iasp91 = rfkit::iasp91;
constexpr double pi = 3.14159265358979323846;
constexpr double deg = pi / 180;

// The model's P speeds read from the published table (depth, Vp, Vs, density
// after two title lines), down to the core: independent of the program's
// copy, so that a mistyped row there shows in the times.
struct Row {
    double depth, vp;
};

std::vector<Row> read_mantle() {
    std::ifstream in(RFKIT_EXAMPLES "/data/earth-models/iasp91.tvel");
    std::string title;
    std::getline(in, title);
    std::getline(in, title);
    std::vector<Row> rows;
    double depth = 0, vp = 0, vs = 0, rho = 0;
    while (in >> depth >> vp >> vs >> rho) {
        rows.push_back({depth, vp});
        if (depth >= 2889) break; // the core-mantle boundary
    }
    return rows;
}

const std::vector<Row> rows = read_mantle();

// X (rad) and T (s) of the ray p from a source at `depth`, integrated in
// depth z: dX = p dz / (r sqrt(eta^2 - p^2)), dT = eta^2 dz / (r sqrt(...)),
// with z = z_turn - s^2 to tame the turning point, by the composite midpoint
// rule.  A different variable and a different rule from the program's.
iasp91::Ray by_depth(double p, double depth) {
    const double R = 6371;
    // The turning (or reflecting) depth first.
    double zt = NAN;
    for (std::size_t i = 0; i + 1 < rows.size() && std::isnan(zt); ++i) {
        const Row a = rows[i], b = rows[i + 1];
        if (a.depth == b.depth) continue;
        const double g = (b.vp - a.vp) / (b.depth - a.depth);
        if ((R - a.depth) / a.vp < p)
            zt = a.depth;
        else if ((R - b.depth) / b.vp <= p)
            zt = (R - p * a.vp + p * g * a.depth) / (1 + p * g);
    }
    double x = 0, t = 0;
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        const Row a = rows[i], b = rows[i + 1];
        if (a.depth == b.depth || a.depth >= zt) continue;
        const double g = (b.vp - a.vp) / (b.depth - a.depth);
        // Split at the source: once above it, twice below.
        for (auto [z0, z1] : {std::pair{a.depth, std::min(b.depth, depth)},
                              std::pair{std::max(a.depth, depth), std::min(b.depth, zt)}}) {
            if (!(z1 > z0)) continue;
            const double weight = z1 <= depth ? 1 : 2;
            const double s0 = std::sqrt(zt - z1), s1 = std::sqrt(zt - z0);
            const int n = 4000;
            const double h = (s1 - s0) / n;
            for (int k = 0; k < n; ++k) {
                const double s = s0 + (k + 0.5) * h, z = zt - s * s;
                const double r = R - z, eta = r / (a.vp + g * (z - a.depth));
                const double q = std::sqrt(eta * eta - p * p);
                x += weight * h * 2 * s * p / (r * q);
                t += weight * h * 2 * s * eta * eta / (r * q);
            }
        }
    }
    return {x, t};
}

// The ray integrals agree with the independent integration in depth, for
// rays turning in the upper mantle, the transition zone, the lower mantle
// and just above the core, from sources at the surface and at depth.
TEST(Iasp91, RayIntegralsAgreeWithIntegrationInDepth) {
    ASSERT_EQ(rows.size(), 67u) << "the published table was not read whole";
    for (double depth : {0.0, 33.0, 250.0, 600.0})
        for (double p_deg : {4.45, 6.0, 7.5, 8.8, 9.5}) {
            const double p = p_deg / deg;
            const iasp91::Ray want = by_depth(p, depth);
            const iasp91::Ray got = iasp91::ray(p, depth);
            EXPECT_NEAR(got.distance / deg, want.distance / deg, 1e-6) << depth << " " << p_deg;
            EXPECT_NEAR(got.time, want.time, 1e-4) << depth << " " << p_deg;
        }
}

// Values of the same integrals made once with an independent integration
// in 30-digit arithmetic (tanh-sinh quadrature in depth): X in degrees, T in
// seconds for p in s/deg.
TEST(Iasp91, RayIntegralsMatchHighPrecisionValues) {
    struct Case {
        double depth, p_deg, x, t;
    };
    for (const Case c : {Case{0, 4.5, 96.62187491787803, 811.6937868150245},
                         Case{0, 6.0, 72.03156158446109, 685.7545076799319},
                         Case{0, 7.5, 51.42883972574449, 546.6683705181788},
                         Case{0, 8.8, 31.316502959982234, 381.87995785528375},
                         Case{250, 4.5, 95.83079476083003, 777.7534305316151},
                         Case{250, 6.0, 70.92233761599212, 650.1378660030812},
                         Case{250, 7.5, 49.93633683160701, 508.45392729609},
                         Case{250, 8.8, 29.39712640614264, 340.17360054153585}}) {
        const iasp91::Ray r = iasp91::ray(c.p_deg / deg, c.depth);
        EXPECT_NEAR(r.distance / deg, c.x, 1e-9) << c.depth << " " << c.p_deg;
        EXPECT_NEAR(r.time, c.t, 1e-7) << c.depth << " " << c.p_deg;
        // And the search finds the ray back from its distance.
        iasp91::Arrival a{};
        std::string why;
        ASSERT_TRUE(iasp91::direct_p(c.depth, c.x, a, why)) << why;
        EXPECT_NEAR(a.time, c.t, 1e-6);
        EXPECT_NEAR(a.p * deg, c.p_deg, 1e-7);
        EXPECT_NEAR(a.slowness, a.p / 6371, 1e-15);
    }
}

// The slope of the travel-time curve is the ray parameter, over the whole
// range of depths and distances, and times grow with distance and shrink
// with depth.
TEST(Iasp91, SlopeOfTravelTimeIsTheRayParameter) {
    const double h = 0.01; // degrees
    for (double depth : {0.0, 35.0, 120.0, 300.0, 410.0, 600.0, 700.0}) {
        double previous = 0;
        for (double d = 25.0 + h; d <= 98.0 - h; d += 4.1) {
            iasp91::Arrival a{}, lo{}, hi{}, deeper{};
            std::string why;
            ASSERT_TRUE(iasp91::direct_p(depth, d, a, why)) << depth << " " << d << ": " << why;
            ASSERT_TRUE(iasp91::direct_p(depth, d - h, lo, why));
            ASSERT_TRUE(iasp91::direct_p(depth, d + h, hi, why));
            const double slope = (hi.time - lo.time) / (2 * h * deg * 6371); // s/km
            EXPECT_NEAR(slope, a.slowness, 2e-5) << depth << " " << d;
            EXPECT_GT(a.time, previous);
            previous = a.time;
            if (depth < 700) {
                ASSERT_TRUE(iasp91::direct_p(depth + 50, d, deeper, why));
                EXPECT_LT(deeper.time, a.time);
            }
        }
    }
}

// Outside the model's ranges there is no answer, and the reason says why.
TEST(Iasp91, RefusesDepthsAndDistancesOutsideItsRange) {
    struct Case {
        double depth, distance;
        const char* says;
    };
    for (const Case c : {Case{-1, 60, "source depth"}, Case{701, 60, "source depth"},
                         Case{NAN, 60, "source depth"}, Case{10, 24.9, "outside 25-98 deg"},
                         Case{10, 98.1, "outside 25-98 deg"}, Case{10, NAN, "outside 25-98 deg"}}) {
        iasp91::Arrival a{1, 2, 3};
        std::string why;
        EXPECT_FALSE(iasp91::direct_p(c.depth, c.distance, a, why));
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
        EXPECT_EQ(a.time, 1); // unchanged
    }
    // A ray that would enter the core, or cannot leave the source downwards.
    EXPECT_TRUE(std::isnan(iasp91::ray(iasp91::grazing_p() * 0.99, 0).time));
    EXPECT_TRUE(std::isnan(iasp91::ray(6371 / 5.8, 0).time));
}

// The curve sampled for a source depth is kept for the next stations of the
// event.  An answer is the very answer of a fresh search whether the depth's
// samples were kept or made anew, also right after a depth a fraction of a
// kilometre away (a key rounded to whole km would hand over its samples).
TEST(Iasp91, AnswersFromKeptSamplesEqualFreshOnes) {
    const auto answer = [](double depth, double distance) {
        iasp91::Arrival a{};
        std::string why;
        EXPECT_TRUE(iasp91::direct_p(depth, distance, a, why)) << why;
        return std::array<double, 3>{a.time, a.slowness, a.p};
    };
    const auto push_out_kept_depths = [&] {
        for (int d = 0; d < 100; ++d) answer(100.25 + d * 1.5, 50);
    };
    const std::pair<double, double> neighbours[] = {{0, 0.3},     {20, 20.3},   {35, 35.3},
                                                    {410, 410.3}, {660, 660.3}, {699, 699.3}};
    for (const auto& [near, depth] : neighbours) {
        for (double distance : {45.13, 45.74}) {
            push_out_kept_depths();
            const auto fresh = answer(depth, distance);
            push_out_kept_depths();
            answer(near, 60);
            EXPECT_EQ(answer(depth, distance), fresh) << depth << " km after " << near << " km";
            EXPECT_EQ(answer(depth, distance), fresh) << depth << " km, kept";
        }
    }
}

} // namespace
