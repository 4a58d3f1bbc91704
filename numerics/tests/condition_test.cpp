#include "numerics/condition.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

using numerics::wigint;

TEST(Demean, RemovesMean) {
    std::vector<float> x{1, 2, 3, 4};
    numerics::demean(x, 4);
    EXPECT_EQ(x, (std::vector<float>{-1.5f, -0.5f, 0.5f, 1.5f}));
}

TEST(Dtrend, RemovesSlopeKeepsMean) {
    std::vector<float> x{1, 2, 3, 4};
    numerics::dtrend(x, 4);
    EXPECT_EQ(x, (std::vector<float>{2.5f, 2.5f, 2.5f, 2.5f}));
    std::vector<float> y{3, -1, 4, 1, 5};
    numerics::dtrend(y, 5);
    float sum = 0, sxy = 0;
    for (int j = 0; j < 5; ++j) sum += y[j], sxy += (j - 2) * y[j];
    EXPECT_NEAR(sum, 12.0f, 1e-5);
    EXPECT_NEAR(sxy, 0.0f, 1e-5);
}

TEST(Conditioning, CountsOfZeroOrLessChangeNothing) {
    std::vector<float> x{1, 2, 3};
    numerics::demean(x, 0);
    numerics::dtrend(x, -1);
    numerics::zero(x, 1, 0);
    EXPECT_EQ(x, (std::vector<float>{1, 2, 3}));
    std::vector<float> one{5};
    numerics::dtrend(one, 1); // no slope through a single point
    EXPECT_TRUE(std::isnan(one[0]));
}

// Regression: clearing "to the end of the buffer" with a count that runs past
// it must stop at the end of the array.
TEST(Zero, ClearsOnlyInsideArray) {
    std::vector<float> x(6, 1.0f);
    numerics::zero(std::span<float>(x).first(4), 3, 10);
    EXPECT_EQ(x, (std::vector<float>{1, 1, 0, 0, 1, 1}));
    numerics::zero(x, -1, 3);
    EXPECT_EQ(x[0], 0.0f);
    EXPECT_EQ(x[1], 1.0f);
}

TEST(Window, HalfCosineWeightsAtBothEnds) {
    std::vector<float> x(10, 1.0f);
    numerics::window(0.2f, 10, 0.1f, x);
    const std::vector<float> w{0.0f, 0.5f, 1.0f, 1.0f, 1.0f};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(x[i], w[i], 1e-6) << i;
        EXPECT_NEAR(x[9 - i], w[i], 1e-6) << i;
    }
    EXPECT_EQ(x[0], 0.0f);
    EXPECT_EQ(x[9], 0.0f);
}

// Regression: a taper longer than the series must not reach outside x(1..n);
// the samples of the overlap get both weights.
TEST(Window, LongTaperStaysInsideSeries) {
    std::vector<float> x(8, 1.0f);
    numerics::window(10.0f, 4, 1.0f, std::span<float>(x).first(6));
    for (int i = 4; i < 8; ++i) EXPECT_EQ(x[i], 1.0f) << i;
    EXPECT_EQ(x[0], 0.0f);
    EXPECT_EQ(x[3], 0.0f);
    const float w1 = (1.0f - std::cos(float(M_PI) * 0.1f)) / 2.0f;
    const float w2 = (1.0f - std::cos(float(M_PI) * 0.2f)) / 2.0f;
    EXPECT_NEAR(x[1], w1 * w2, 1e-6);
}

// Regression: a zero taper length makes 0 * infinity at the first weight.
TEST(Window, ZeroLengthClearsOnlyEnds) {
    std::vector<float> x(5, 2.0f);
    numerics::window(0.0f, 5, 0.1f, x);
    EXPECT_EQ(x, (std::vector<float>{0, 2, 2, 2, 0}));
}

TEST(Wigint, ExactAtSamplesAndOnStraightLines) {
    const std::vector<float> y{0.5f, -2.0f, 7.25f, 3.0f, 1.0f};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(wigint(10.0f, y, 5, 0.5f, 1e-4f, 10.0f + 0.5f * i), y[i]);
    const std::vector<float> line{2.0f, 2.5f, 3.0f, 3.5f, 4.0f};
    EXPECT_NEAR(wigint(0.0f, line, 5, 1.0f, 1e-4f, 0.3f), 2.15f, 1e-6);
    EXPECT_NEAR(wigint(0.0f, line, 5, 1.0f, 1e-4f, 2.7f), 3.35f, 1e-6);
}

// Pins the rounding of the Hermite form: c^2, f^2 and e^3 enter each term as
// whole factors.  Multiplying f, c and c left to right instead moved these
// values by one unit in the last place.
TEST(Wigint, HermiteTermsUseTheSquaresAsFactors) {
    const std::vector<float> y{0.3f, 1.7f, -0.4f, 2.2f, 0.9f, -1.1f};
    EXPECT_EQ(wigint(0.0f, y, 6, 0.05f, 1e-4f, 0x1.2e48e8p-4f), 0x1.737a44p-1f);
    EXPECT_EQ(wigint(0.0f, y, 6, 0.05f, 1e-4f, 0x1.2e48e8p-3f), 0x1.175f92p+1f);
}

TEST(Wigint, FlatStepDoesNotOvershoot) {
    const std::vector<float> y{0.0f, 3.0f, 3.0f, 3.0f};
    EXPECT_NEAR(wigint(0.0f, y, 4, 1.0f, 1e-4f, 1.5f), 3.0f, 1e-4);
}

// On the first interval the left derivative is the interval's slope, on the
// last the right one: a parabola's end intervals show which slopes were used.
TEST(Wigint, EndIntervalsUseIntervalSlope) {
    const std::vector<float> y{0.0f, 1.0f, 4.0f, 9.0f};
    // First interval: dL = 1 (interval), dR = weighted mean of 1 and 3 = 1.5.
    const float f = 0.5f, c = -0.5f;
    const float first = (c * c + 2 * f * c * c) * 0.0f + (f * f - 2 * c * f * f) * 1.0f +
                        1.0f * f * c * c + 1.5f * f * f * c;
    EXPECT_NEAR(wigint(0.0f, y, 4, 1.0f, 1e-4f, 0.5f), first, 1e-6);
    // Last interval: dL = weighted mean of 3 and 5 = 3.75, dR = 5 (interval).
    const float last = (c * c + 2 * f * c * c) * 4.0f + (f * f - 2 * c * f * f) * 9.0f +
                       3.75f * f * c * c + 5.0f * f * f * c;
    EXPECT_NEAR(wigint(0.0f, y, 4, 1.0f, 1e-4f, 2.5f), last, 1e-5);
}

// Regression: times before the first sample or past the array must neither
// read outside it nor invent values.
TEST(Wigint, OutsideTheArrayCountsAsZero) {
    const std::vector<float> buf{9.0f, 1.0f, 2.0f, 3.0f, 9.0f};
    std::span<const float> y = std::span<const float>(buf).subspan(1, 3);
    EXPECT_EQ(wigint(0.0f, y, 3, 1.0f, 1e-4f, -1.0f), 0.0f);
    EXPECT_EQ(wigint(0.0f, y, 3, 1.0f, 1e-4f, -5.5f), 0.0f);
    // Within three intervals of the start the zero samples before it take
    // part like any others: between two of them the value is all but zero,
    // and between the last of them and the first sample it fades in.
    EXPECT_NEAR(wigint(0.0f, y, 3, 1.0f, 1e-4f, -1.5f), 0.0f, 1e-4);
    const float fade = wigint(0.0f, y, 3, 1.0f, 1e-4f, -0.5f);
    EXPECT_GT(fade, 0.0f);
    EXPECT_LT(fade, 1.0f);
    EXPECT_EQ(wigint(0.0f, y, 3, 1.0f, 1e-4f, 3.0f), 0.0f);
    EXPECT_NEAR(wigint(0.0f, y, 3, 1.0f, 1e-4f, 3.5f), 0.0f, 1e-4); // zeros follow the data
    EXPECT_EQ(wigint(0.0f, y, 3, 1.0f, 1e-4f, 4.5f), 0.0f);
    EXPECT_EQ(wigint(0.0f, y, 3, 1.0f, 1e-4f, 1e12f), 0.0f);
    // Half a sample past the end interpolates towards the zero beyond it.
    const float tail = wigint(0.0f, y, 3, 1.0f, 1e-4f, 2.5f);
    EXPECT_GT(tail, 0.0f);
    EXPECT_LT(tail, 3.0f);
}

// Regression: the position of a time before the first sample was truncated
// towards zero instead of floored, so the value jumped at one interval before
// the start (a window start moved by 0.0002 s across it changed a receiver
// function by 9 % of its peak).  It is continuous there now, and unchanged
// from the first sample on.
TEST(Wigint, ContinuousOneIntervalBeforeTheFirstSample) {
    const std::vector<float> y{0.8f, -0.3f, 0.5f, 0.1f, -0.7f};
    for (float x1 : {0.0f, -20.0f, 17.5f}) {
        const float edge = x1 - 0.05f;
        const float before = wigint(x1, y, 5, 0.05f, 1e-4f, edge - 1e-4f);
        const float after = wigint(x1, y, 5, 0.05f, 1e-4f, edge + 1e-4f);
        EXPECT_NEAR(before, after, 2e-3f) << x1;
        EXPECT_NEAR(wigint(x1, y, 5, 0.05f, 1e-4f, x1), 0.8f, 1e-6f);
    }
}

TEST(Wigint, UnevenAbscissas) {
    const std::vector<float> x{0.0f, 1.0f, 3.0f, 4.0f, 7.0f};
    std::vector<float> y;
    for (float v : x) y.push_back(2.0f * v - 1.0f);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(wigint(x, y, 5, 1e-4f, x[i]), y[i]) << i;
    for (float t : {0.25f, 2.0f, 3.5f, 6.0f})
        EXPECT_NEAR(wigint(x, y, 5, 1e-4f, t), 2 * t - 1, 1e-5);
    // Equal abscissas do not divide by zero.
    const std::vector<float> xd{0.0f, 1.0f, 1.0f, 2.0f};
    EXPECT_TRUE(std::isfinite(wigint(xd, y, 4, 0.0f, 1.5f)));
    // The same samples evenly spaced agree with the even form.
    const std::vector<float> xe{0.0f, 1.0f, 2.0f, 3.0f};
    const std::vector<float> ye{0.0f, 3.0f, 3.0f, 1.0f};
    EXPECT_EQ(wigint(xe, ye, 4, 1e-4f, 1.3f), wigint(0.0f, ye, 4, 1.0f, 1e-4f, 1.3f));
}

// The many-times form gives the bits of the single-time routine at every
// kind of time: on samples, between them, in the first and last intervals,
// just before the trace, far outside it, where slopes fall below the floor,
// and at a time that is not a number; any count, in place as well.
TEST(Wigint, ManyTimesGiveTheSingleValues) {
    std::vector<float> y(40);
    for (int i = 0; i < 32; ++i) y[i] = std::sin(0.7f * i) * (i % 5 == 0 ? 1e-6f : 1.0f);
    y[10] = y[11] = y[12] = 0.5f; // flat run: slopes under the floor
    const float x1 = -1.3f, dx = 0.05f;
    std::vector<float> t;
    for (float s = x1 - 5.0f * dx; s < x1 + 40.0f * dx; s += 0.0173f) t.push_back(s);
    for (int i = 0; i < 32; ++i) t.push_back(x1 + static_cast<float>(i) * dx);
    t.insert(t.end(), {x1 - 3.5f * dx, x1 + 1e9f, NAN, -INFINITY, x1 + 31.5f * dx});
    for (std::size_t count : {t.size(), std::size_t{3}, std::size_t{0}}) {
        const std::span<const float> times(t.data(), count);
        std::vector<float> out(count, -7.0f);
        wigint(x1, y, 32, dx, 1e-4f, times, out);
        std::vector<float> in_place(times.begin(), times.end());
        wigint(x1, y, 32, dx, 1e-4f, in_place, in_place);
        for (std::size_t i = 0; i < count; ++i) {
            const float want = wigint(x1, y, 32, dx, 1e-4f, t[i]);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(out[i]), std::bit_cast<std::uint32_t>(want))
                << "t=" << t[i] << ": " << out[i] << " instead of " << want;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(in_place[i]),
                      std::bit_cast<std::uint32_t>(want));
        }
    }
}

TEST(Nbl, LastNonBlank) {
    EXPECT_EQ(numerics::nbl("abc   "), 3);
    EXPECT_EQ(numerics::nbl("    "), 1);
    EXPECT_EQ(numerics::nbl(""), 1);
    EXPECT_EQ(numerics::nbl(" a b"), 4);
}

} // namespace
