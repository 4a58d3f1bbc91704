// Distance and azimuth on the reference bodies, and their awkward points.
#include "traceio/distaz.hpp"
#include "traceio/header.hpp"

#include <array>
#include <cmath>
#include <gtest/gtest.h>

using namespace traceio;

namespace {

struct Result {
    float dist = -1, az = -1, baz = -1, gcarc = -1;
    int err = -1;
};

Result one(int body, float evla, float evlo, float stla, float stlo) {
    Result r;
    distaz(body, evla, evlo, std::span(&stla, 1), std::span(&stlo, 1), 1, std::span(&r.dist, 1),
           std::span(&r.az, 1), std::span(&r.baz, 1), std::span(&r.gcarc, 1), r.err);
    return r;
}

const int earth = enum_code("IEARTH");

} // namespace

TEST(Distaz, EquatorAndMeridian) {
    Result r = one(earth, 0, 0, 0, 10);
    EXPECT_EQ(r.err, 0);
    EXPECT_NEAR(r.dist, 1113.2f, 0.05f);
    EXPECT_NEAR(r.az, 90.0f, 1e-4f);
    EXPECT_NEAR(r.baz, 270.0f, 1e-4f);
    EXPECT_NEAR(r.gcarc, 10.0f, 1e-5f);
    r = one(earth, 0, 0, 10, 0);
    EXPECT_NEAR(r.dist, 1105.86f, 0.01f);
    EXPECT_NEAR(r.az, 0.0f, 1e-4f);
    EXPECT_NEAR(r.baz, 180.0f, 1e-4f);
    EXPECT_NEAR(r.gcarc, 9.934f, 1e-3f); // geocentric, not 10
    // Southern station: the series runs from the station.
    r = one(earth, 0, 0, -10, 0);
    EXPECT_NEAR(r.dist, 1105.86f, 0.01f);
    EXPECT_NEAR(r.az, 180.0f, 1e-4f);
    // A long path across the date line agrees with its arc.
    r = one(earth, 30, -120, -20, 150);
    EXPECT_EQ(r.err, 0);
    EXPECT_NEAR(r.dist, r.gcarc * 111.3199f, 60.0f);
    EXPECT_NEAR(r.az, 252.59f, 0.01f);
    EXPECT_NEAR(r.baz, 61.66f, 0.01f);
}

TEST(Distaz, SphericalBodiesGiveRadiusTimesArc) {
    for (const char* name : {"IMOON", "IMERCURY", "IVENUS", "ISUN"}) {
        float a = 0, f = 1, k = 0;
        int e = 0;
        refel(enum_code(name), a, f, k, e);
        ASSERT_EQ(e, 0);
        EXPECT_EQ(f, 0.0f);
        const Result r = one(enum_code(name), 10, 20, -30, 50);
        EXPECT_EQ(r.err, 0) << name;
        EXPECT_NEAR(r.dist, a * r.gcarc * 0.017453292f, 1e-4f * r.dist) << name;
    }
    float a = 0, f = 0, k = 0;
    int e = 0;
    refel(enum_code("IMARS"), a, f, k, e);
    EXPECT_EQ(a, 3396.19f);
    EXPECT_EQ(f, 0.005886007f);
    const Result mars = one(enum_code("IMARS"), 0, 0, 0, 10);
    EXPECT_NEAR(mars.dist, 3396.19f * 10 * 0.017453292f, 0.01f);
}

TEST(Distaz, UnknownBodyComputesNothing) {
    float a = 0, f = 0, k = 0;
    int e = 0;
    refel(7, a, f, k, e);
    EXPECT_EQ(e, 804);
    EXPECT_EQ(a, 6378.16f); // the Earth's values come back
    const Result r = one(7, 0, 0, 0, 10);
    EXPECT_EQ(r.err, 804);
    EXPECT_EQ(r.dist, -1.0f);
    EXPECT_EQ(r.az, -1.0f);
}

TEST(Distaz, CoincidentPointsAndPoles) {
    // Coincident points: all zero, no 0/0.
    for (auto [la, lo, lo2] : {std::array{0.0f, 0.0f, 0.0f},
                               {35.0f, 139.0f, 139.0f},
                               {10.0f, 170.0f, -190.0f},
                               {90.0f, 0.0f, 45.0f}}) {
        const Result r = one(earth, la, lo, la, lo2);
        EXPECT_EQ(r.err, 0);
        EXPECT_EQ(r.dist, 0.0f);
        EXPECT_EQ(r.az, 0.0f);
        EXPECT_EQ(r.baz, 0.0f);
        EXPECT_EQ(r.gcarc, 0.0f);
    }
    // A pole is that pole: from 45N the north pole is 45 degrees of
    // geographic latitude away, the south pole 135.
    Result r = one(earth, 45, 10, 90, 0);
    EXPECT_EQ(r.err, 0);
    EXPECT_NEAR(r.dist, 5017.0f, 1.0f);
    EXPECT_NEAR(r.az, 0.0f, 1e-3f);
    EXPECT_LT(r.gcarc, 90.0f);
    r = one(earth, 45, 10, -90, 0);
    EXPECT_NEAR(r.dist, 20004.0f - 5017.0f, 2.0f);
    EXPECT_NEAR(r.az, 180.0f, 1e-3f);
    r = one(earth, 90, 0, -90, 0);
    EXPECT_NEAR(r.dist, 20004.0f, 1.0f);
    EXPECT_NEAR(r.gcarc, 180.0f, 1e-3f);
    for (float v : {r.dist, r.az, r.baz, r.gcarc}) EXPECT_TRUE(std::isfinite(v));
}

TEST(Distaz, SeveralStationsStayInsideTheArrays) {
    const std::array<float, 3> la{0, 10, -10}, lo{10, 0, 0};
    std::array<float, 3> d{}, az{}, baz{}, g{};
    std::array<float, 4> guarded{-5, -5, -5, -5};
    int e = 0;
    // ns larger than the arrays: only what fits is computed.
    distaz(earth, 0, 0, la, lo, 99, d, az, baz, std::span(guarded).first(2), e);
    EXPECT_EQ(e, 0);
    EXPECT_NEAR(guarded[1], 9.934f, 1e-3f);
    EXPECT_EQ(guarded[2], -5.0f);
    EXPECT_EQ(d[2], 0.0f);
    distaz(earth, 0, 0, la, lo, 3, d, az, baz, g, e);
    EXPECT_NEAR(d[0], 1113.2f, 0.05f);
    EXPECT_NEAR(d[2], 1105.86f, 0.01f);
    distaz(earth, 0, 0, la, lo, 0, d, az, baz, g, e);
    EXPECT_EQ(e, 0);
}

// Pins the rounding of the radii of curvature: e^2 multiplies the squared
// sine (square first); multiplying e^2 by the sine twice left to right moved
// these distances by one to several units in the last place.
TEST(Distaz, RadiusOfCurvatureSquaresTheSineFirst) {
    EXPECT_EQ(one(earth, 64.47f, 0, 76.24f, 127.39f).dist, 0x1.ef4314p+11f);
    EXPECT_EQ(one(earth, 45.30f, 0, -72.14f, -64.80f).dist, 0x1.b437fp+13f);
    EXPECT_EQ(one(earth, -0.88f, 0, -43.93f, 25.12f).dist, 0x1.50277ap+12f);
}

// Regression: a NaN coordinate once gave DIST = 0 (made up by the guard for
// coincident points) and NaN angles.  Nothing can be placed: all four results
// are undefined and the station fails the check.
TEST(Distaz, CoordinatesThatAreNotNumbersGiveUndefinedResults) {
    const float nan = std::nanf(""), inf = INFINITY;
    const std::array<std::array<float, 4>, 5> cases{
        {{nan, 0, 0, 10}, {0, nan, 0, 10}, {0, 0, nan, 10}, {0, 0, 0, inf}, {nan, nan, nan, nan}}};
    for (const auto& c : cases) {
        const Result r = one(earth, c[0], c[1], c[2], c[3]);
        EXPECT_EQ(r.err, 904);
        EXPECT_EQ(r.dist, FUNDEF);
        EXPECT_EQ(r.az, FUNDEF);
        EXPECT_EQ(r.baz, FUNDEF);
        EXPECT_EQ(r.gcarc, FUNDEF);
    }
}
