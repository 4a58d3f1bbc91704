// Rotation to R and T: the directions kestrum's synthetics have, for any pair
// of horizontals.
#include "rfkit/rotation.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

constexpr double deg = 3.14159265358979323846 / 180;

// Ground motion (north, east) recorded on horizontals of azimuths az1, az2
// comes back as its projections on R (BAZ + 180) and T (BAZ + 90).
TEST(Rotation, GivesRadialAwayFromTheSourceAndTransverseNinetyDegreesBehind) {
    struct Case {
        double az1, az2, baz;
    };
    const std::array<double, 2> motion{0.3, -1.7}; // north, east
    for (const Case c : {Case{0, 90, 270}, Case{90, 0, 270}, Case{0, 90, 0}, Case{0, 90, 135},
                         Case{30, 120, 200}, Case{350, 80, 333}, Case{10, 75, 45}}) {
        rfkit::Rotation rot{};
        ASSERT_TRUE(rfkit::rotation(c.az1, c.az2, c.baz, rot));
        const auto along = [&](double az) {
            return motion[0] * std::cos(az * deg) + motion[1] * std::sin(az * deg);
        };
        const std::array<float, 1> h1{static_cast<float>(along(c.az1))},
            h2{static_cast<float>(along(c.az2))};
        std::array<float, 1> r{}, t{};
        rfkit::rotate(rot, h1, h2, r, t);
        EXPECT_NEAR(r[0], along(c.baz + 180), 1e-6) << c.az1 << " " << c.az2 << " " << c.baz;
        EXPECT_NEAR(t[0], along(c.baz + 90), 1e-6) << c.az1 << " " << c.az2 << " " << c.baz;
    }
    // kestrum's convention: for BAZ 270, R points east and T north.
    EXPECT_EQ(rfkit::radial_azimuth(270), 90);
    EXPECT_EQ(rfkit::transverse_azimuth(270), 0);
    EXPECT_EQ(rfkit::radial_azimuth(180), 0);
    EXPECT_EQ(rfkit::transverse_azimuth(-90), 0);
}

TEST(Rotation, RefusesNearlyParallelHorizontals) {
    rfkit::Rotation rot{1, 2, 3, 4};
    EXPECT_FALSE(rfkit::rotation(0, 5, 100, rot));
    EXPECT_FALSE(rfkit::rotation(10, 185, 100, rot));
    EXPECT_EQ(rot.rr1, 1); // unchanged
    EXPECT_TRUE(rfkit::rotation(0, 11, 100, rot));
}

} // namespace
