// Stepping by run mode and the fixed-step section search.
#include <gtest/gtest.h>

#include <cmath>

#include "detail/fixed_section.hpp"
#include "detail/random.hpp"
#include "model.h"

namespace {

constexpr double kHalfPi = 1.5707963267948966;

void seed(long s) {
    tx::detail::reset_generators();
    lidum = s;
}

// x' = v, v' = -x: from (1, 0) x = cos t, which first crosses x = 0 at pi / 2.
class RunModes : public ::testing::Test {
protected:
    void SetUp() override {
        for (double &p : par) p = 0.0;
        force_on = force_off = 0.0;
        num[2] = 0.01;
        seed(21);
        tx_ = TXOpenTraxis(model, 3, 1e-9, 0.01);
        ASSERT_NE(tx_, nullptr);
    }
    void TearDown() override { TXCloseTraxis(tx_); }
    Traxis tx_ = nullptr;
};

TEST_F(RunModes, BelvaStepsByMode) {
    par[3] = 0.3;
    double t = 0.0, y[3] = {1.0, 0.0, 0.0};
    double tr = 0.0, r[3] = {1.0, 0.0, 0.0};
    seed(4);
    EXPECT_EQ(Belva_Integration_Step(kModeEuler, tx_, &t, y, 0.05), 1);
    seed(4);
    NNSrk4step(&tr, r, 0.05);
    EXPECT_EQ(t, tr);
    EXPECT_EQ(y[0], r[0]);

    EXPECT_EQ(Belva_Integration_Step(kModeAdaptive, tx_, &t, y, 0.5), 1);
    EXPECT_EQ(t, 0.55);

    seed(4);
    EXPECT_EQ(Belva_Integration_Step(kModeNoisyRk4, tx_, &t, y, 0.025), 1);
    EXPECT_NEAR(t, 0.58, 1e-12);

    const double saved[3] = {y[0], y[1], y[2]};
    EXPECT_EQ(Belva_Integration_Step(3, tx_, &t, y, 0.1), 0);
    EXPECT_NEAR(t, 0.58, 1e-12);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(y[i], saved[i]);
}

TEST_F(RunModes, SectionSearchLocatesTheCrossing) {
    for (int mode : {kModeEuler, kModeNoisyRk4}) {
        double y[3] = {1.0, 0.0, 0.0};
        float point[3] = {9, 9, 9};
        const double eps = mode == kModeEuler ? 1e-6 : 0.02;
        const double t = Fixed_PoincareStep(tx_, eps, mode, 0.0, y, point);
        EXPECT_NEAR(t, kHalfPi, 0.02) << mode;
        EXPECT_LE(std::fabs(point[0]), eps) << mode;
        EXPECT_NEAR(point[1], -1.0, 0.02) << mode;
        // Started on the far side, the next call finds the crossing in the other direction.
        const double next = Fixed_PoincareStep(tx_, eps, mode, t, y, point);
        EXPECT_NEAR(next, 3 * kHalfPi, 0.05) << mode;
        EXPECT_NEAR(point[1], 1.0, 0.05) << mode;
    }
}

TEST_F(RunModes, SectionSearchEdgeCases) {
    // Started on the section: returns at once with the starting point.
    double on[3] = {0.0, 0.5, 0.25};
    float point[3] = {9, 9, 9};
    EXPECT_EQ(Fixed_PoincareStep(tx_, 1e-6, kModeEuler, 3.0, on, point), 3.0);
    EXPECT_EQ(point[1], 0.5f);
    EXPECT_EQ(on[1], 0.5);

    // Another mode returns the time with everything untouched.
    double y[3] = {1.0, 0.0, 0.0};
    point[0] = 9;
    EXPECT_EQ(Fixed_PoincareStep(tx_, 1e-6, 1, 2.0, y, point), 2.0);
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(point[0], 9.0f);

    // A step that cannot move the time, and a search whose halving can no longer help (mode 2
    // always steps by hnoise), end with NaN instead of looping.
    num[2] = 0.0;
    EXPECT_TRUE(std::isnan(Fixed_PoincareStep(tx_, 1e-6, kModeEuler, 0.0, y, point)));
    num[2] = 0.01;
    y[0] = 1.0;
    EXPECT_TRUE(std::isnan(Fixed_PoincareStep(tx_, 1e-12, kModeNoisyRk4, 0.0, y, point)));
    EXPECT_EQ(point[0], 9.0f);

    // So does a crossing beyond the step bound; y holds the state reached.
    double far[3] = {1.0, 0.0, 0.0};
    EXPECT_TRUE(std::isnan(
        tx::detail::fixed_section_search(tx_, 1e-6, kModeEuler, 0.0, far, point, 100)));
    EXPECT_NEAR(far[0], std::cos(1.0), 0.01);
}

}  // namespace
