#include "synthetics/tau.hpp"

#include "support.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace synthetics {
namespace {

using testing::Capture;

using cfloat = std::complex<float>;

void set_gradient(float p, float z0, float vtop, float vbottom, float h) {
    TauStore& t = tauval();
    t.p = p, t.z0 = z0, t.vtop = vtop;
    t.g = (cfloat(vbottom) - t.vtop) / cfloat(h, 0.0f);
}

int calls = 0;
float square(float x) {
    ++calls;
    return x * x;
}

TEST(Trapzd, StagesRefineInOrder) {
    float s = 0.0f;
    calls = 0;
    trapzd(square, 0.0f, 1.0f, s, 1);
    EXPECT_FLOAT_EQ(s, 0.5f);
    trapzd(square, 0.0f, 1.0f, s, 2);
    EXPECT_FLOAT_EQ(s, 0.375f);
    trapzd(square, 0.0f, 1.0f, s, 3);
    EXPECT_FLOAT_EQ(s, 0.34375f);
    EXPECT_EQ(calls, 2 + 1 + 2); // ends, then 1 and 2 new interior points
}

TEST(Ratint, NodeAndRationalFunction) {
    float xa[] = {1.0f, 0.25f, 0.0625f}, ya[] = {3.0f, 2.0f, 1.5f};
    float y = 0, dy = 1;
    ratint(xa, ya, 3, 0.25f, y, dy);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(dy, 0.0f);
    // A diagonal rational function through its points is reproduced.
    float xr[] = {1.0f, 0.5f, 0.25f, 0.125f}, yr[4];
    for (int i = 0; i < 4; ++i) yr[i] = (1.0f + 2.0f * xr[i]) / (1.0f + xr[i]);
    ratint(xr, yr, 4, 0.0f, y, dy);
    EXPECT_NEAR(y, 1.0f, 1e-5f);
}

TEST(Ratint, DuplicatePointsPauseForGo) {
    // x = 0 with (1, 2) and (2, 1): the first rational step meets 0/0-free
    // cancellation dd = 0 with w != 0.
    float xa[] = {1.0f, 2.0f}, ya[] = {2.0f, 1.0f};
    float y = 0, dy = 0;
    {
        Capture c("go\n");
        ratint(xa, ya, 2, 0.0f, y, dy);
        EXPECT_EQ(c.err(), "PAUSE **RATINT:  Duplicate points\n"
                           "To resume execution, type go.  Other input will terminate the job.\n"
                           "RESUMED\n");
    }
    Capture c("stop\n");
    EXPECT_THROW(ratint(xa, ya, 2, 0.0f, y, dy), console::Ending);
}

TEST(Tauint, ConstantIntegrandAndZeroThickness) {
    Capture c;
    set_gradient(0.1f, 2.0f, 5.0f, 5.0f, 10.0f);
    float q = std::sqrt(1.0f / 25.0f - 0.01f);
    EXPECT_NEAR(tauint(pslow, 2.0f, 12.0f, 1e-4f), 10.0f * q, 1e-6f);
    // Regression: an empty interval ran all 20 stages, chasing the 1e-25 floor
    // of the rational fit, and reported non-convergence.
    EXPECT_EQ(tauint(pslow, 3.0f, 3.0f, 1e-4f), 0.0f);
    EXPECT_EQ(c.err(), "");
}

// Against the closed form of the integral of sqrt(1/v^2 - p^2) for a speed
// linear in depth: F(v) = s - ln((1 + s)/(p v)), s = sqrt(1 - p^2 v^2).
TEST(Tauint, LinearGradientMatchesClosedForm) {
    Capture c;
    const float vt = 6.2f, vb = 6.9f, h = 20.0f, z0 = 10.0f;
    const double g = (vb - vt) / h;
    set_gradient(0.0f, z0, vt, vb, h);
    EXPECT_NEAR(tauint(pslow, z0, z0 + h, 1e-4f), std::log(vb / vt) / g, 3e-4);
    const double p = 0.1;
    auto F = [&](double v) {
        double s = std::sqrt(1.0 - p * p * v * v);
        return s - std::log((1.0 + s) / (p * v));
    };
    set_gradient(0.1f, z0, vt, vb, h);
    double exact = (F(vb) - F(vt)) / g;
    EXPECT_NEAR(tauint(pslow, z0, z0 + h, 1e-4f), exact, 2e-4 * exact);
    EXPECT_EQ(c.err(), "");
}

TEST(Tauint, NoConvergenceReturnsTheBestStage) {
    Capture c;
    float v = tauint(square, 0.0f, 1.0f, -1.0f); // a tolerance nothing can meet
    EXPECT_NEAR(v, 1.0f / 3.0f, 1e-5f);
    EXPECT_EQ(c.err(), " **TAUINT:  Too many steps, returning min error.\n");
}

} // namespace
} // namespace synthetics
