// Dense output on the last step and the integrator settings.
#include <gtest/gtest.h>

#include <cmath>

#include "systems.hpp"
#include "tx.h"

namespace {

using txtest::Handle;

TEST(Interpolate, ReproducesTheStepEnds) {
    Handle tx(txtest::oscillator, 2, 1e-8, 0.3);
    double t = 0.0, y[2] = {1.0, 0.0}, s[2];
    ASSERT_EQ(TXStep(tx, &t, y), 1);
    ASSERT_EQ(TXInterpolate(tx, tx->tfirst, s), 1);
    EXPECT_NEAR(s[0], tx->yfirst[0], 1e-15);
    EXPECT_NEAR(s[1], tx->yfirst[1], 1e-15);
    ASSERT_EQ(TXInterpolate(tx, tx->tlast, s), 1);
    EXPECT_NEAR(s[0], tx->ylast[0], 1e-15);
    EXPECT_NEAR(s[1], tx->ylast[1], 1e-15);
}

TEST(Interpolate, AccurateAnywhereInTheLastStep) {
    Handle tx(txtest::cosine, 1, 1e-9, 0.01);
    double t = 0.0, y = 0.0, s;
    ASSERT_EQ(TXIntegrate(tx, &t, 2.0, &y), 1);
    const double a = tx->tfirst, b = tx->tlast;
    ASSERT_GT(b - a, 0.05);
    for (int i = 0; i <= 50; ++i) {
        const double ti = a + (b - a) * i / 50.0;
        ASSERT_EQ(TXInterpolate(tx, ti, &s), 1);
        EXPECT_NEAR(s, std::sin(ti), 1e-9) << "at t = " << ti;
    }
}

TEST(Interpolate, LeavesTheIntegrationUntouched) {
    Handle tx(txtest::oscillator, 2, 1e-8, 0.01);
    double t = 0.0, y[2] = {1.0, 0.0}, s[2], s2[2];
    ASSERT_EQ(TXIntegrate(tx, &t, 1.0, y), 1);
    const double tf = tx->tfirst, tl = tx->tlast, h = tx->h;
    const double yl0 = tx->ylast[0];
    ASSERT_EQ(TXInterpolate(tx, 0.5 * (tf + tl), s), 1);
    ASSERT_EQ(TXInterpolate(tx, tl + 0.1, s2), 1);  // extrapolation is allowed
    ASSERT_EQ(TXInterpolate(tx, 0.5 * (tf + tl), s2), 1);
    EXPECT_EQ(s[0], s2[0]);
    EXPECT_EQ(s[1], s2[1]);
    EXPECT_EQ(tx->tfirst, tf);
    EXPECT_EQ(tx->tlast, tl);
    EXPECT_EQ(tx->h, h);
    EXPECT_EQ(tx->ylast[0], yl0);
    // Continuing afterwards gives exactly what an uninterrupted run gives.
    Handle ref(txtest::oscillator, 2, 1e-8, 0.01);
    double tr = 0.0, yr[2] = {1.0, 0.0};
    ASSERT_EQ(TXIntegrate(ref, &tr, 1.0, yr), 1);
    ASSERT_EQ(TXIntegrate(ref, &tr, 2.0, yr), 1);
    ASSERT_EQ(TXIntegrate(tx, &t, 2.0, y), 1);
    EXPECT_EQ(y[0], yr[0]);
    EXPECT_EQ(y[1], yr[1]);
}

TEST(Interpolate, RefusedBeforeAnyStep) {
    Handle tx(txtest::decay, 1, 1e-8, 0.01);
    tx->TerminateOnFatalError = 0;
    double s;
    EXPECT_EQ(TXInterpolate(tx, 0.0, &s), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 12);
    EXPECT_STREQ(TXStrErrorTraxis(tx), "No step taken before interpolation");
}

TEST(Settings, RefusalsKeepTheOldValue) {
    Handle tx(txtest::decay, 1, 1e-8, 0.01);
    tx->TerminateOnFatalError = 0;
    EXPECT_EQ(TXSetMaxStep(tx, 0.0), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 11);
    EXPECT_EQ(TXSetMaxStep(tx, std::nan("")), 0);
    EXPECT_EQ(tx->hmax, 0.0);
    EXPECT_EQ(TXSetRelTol(tx, -1e-3), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 5);
    EXPECT_EQ(TXSetAbsTol(tx, -1e-3), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 5);
    EXPECT_EQ(TXSetNewtTol(tx, 0.0), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 17);
    EXPECT_EQ(tx->RelTol, 1e-8);
    EXPECT_EQ(tx->AbsTol, 0.0);
    EXPECT_DOUBLE_EQ(tx->NewtRelTol, 1e-4);
}

TEST(Settings, ToleranceSettersChangeOnlyTheirOwnField) {
    Handle tx(txtest::decay, 1, 1e-8, 0.01);
    EXPECT_EQ(TXSetRelTol(tx, 0.0), 1);
    EXPECT_EQ(tx->RelTol, 0.0);
    EXPECT_EQ(TXSetRelTol(tx, 1e-3), 1);
    EXPECT_DOUBLE_EQ(tx->CutEps, 1e-7);  // derived at open, not re-derived
    EXPECT_DOUBLE_EQ(tx->JacPert, 1e-5);
    EXPECT_EQ(TXSetAbsTol(tx, 0.0), 1);
    EXPECT_EQ(TXSetAbsTol(tx, 1e-9), 1);
    EXPECT_EQ(tx->AbsTol, 1e-9);
    EXPECT_EQ(TXSetNewtTol(tx, 1e-6), 1);
    EXPECT_EQ(tx->NewtRelTol, 1e-6);
    EXPECT_EQ(tx->NewtAbsTol, 0.0);
    EXPECT_EQ(TXSetMaxStep(tx, 0.25), 1);
    EXPECT_EQ(tx->hmax, 0.25);
}

TEST(Settings, CountSettersRecordCodeOneWithoutAReport) {
    Handle tx(txtest::decay, 1, 1e-8, 0.01);
    ASSERT_EQ(tx->TerminateOnFatalError, 1);  // no termination even so
    EXPECT_EQ(TXSetMaxNewtSteps(tx, -1), 0);
    EXPECT_EQ(tx->ErrorCode, 1);
    EXPECT_EQ(tx->MaxNewtSteps, 10);
    EXPECT_EQ(TXSetMaxPoincareSteps(tx, -5), 0);
    EXPECT_EQ(tx->MaxPoincareSteps, 100);
    EXPECT_EQ(TXSetMaxPeriodSteps(tx, -5), 0);
    EXPECT_EQ(tx->MaxPeriodSteps, 1000);
    EXPECT_EQ(TXSetMaxNewtSteps(tx, 0), 1);
    EXPECT_EQ(tx->ErrorCode, 0);
    EXPECT_EQ(tx->MaxNewtSteps, 0);
    EXPECT_EQ(TXSetMaxPoincareSteps(tx, 7), 1);
    EXPECT_EQ(tx->MaxPoincareSteps, 7);
    EXPECT_EQ(TXSetMaxPeriodSteps(tx, 0), 1);
    EXPECT_EQ(tx->MaxPeriodSteps, 0);
}

}  // namespace
