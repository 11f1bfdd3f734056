// The adaptive 6(5) stepper: accuracy, order, step control and its guards.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "systems.hpp"
#include "tx.h"

namespace {

using txtest::Handle;

TEST(Integrate, ExponentialGrowthToOne) {
    Handle tx(txtest::growth, 1, 1e-10, 0.01);
    double t = 0.0, y = 1.0;
    ASSERT_EQ(TXIntegrate(tx, &t, 1.0, &y), 1);
    EXPECT_EQ(t, 1.0);
    EXPECT_LT(std::fabs(y - std::exp(1.0)) / std::exp(1.0), 1e-10);
    EXPECT_LT(tx->tfirst, 1.0);
    EXPECT_GT(tx->tlast, 1.0);  // the last step overshoots and is sampled back

    // The same steps one at a time: 16 accepted, the last ending beyond 1.
    Handle st(txtest::growth, 1, 1e-10, 0.01);
    double ts = 0.0, ys = 1.0;
    int steps = 0;
    while (ts < 1.0) {
        ASSERT_EQ(TXStep(st, &ts, &ys), 1);
        ++steps;
    }
    EXPECT_EQ(steps, 16);
    EXPECT_GT(ts, 1.0);
    EXPECT_EQ(ts, tx->tlast);  // TXStep and TXIntegrate take the very same steps
    EXPECT_EQ(ys, tx->ylast[0]);
}

TEST(Integrate, ContinuesFromTheInterpolatedStateWithTheLastProposal) {
    Handle a(txtest::oscillator, 2, 1e-9, 0.01);
    double t = 0.0, y[2] = {1.0, 0.0};
    for (int i = 1; i <= 40; ++i) {
        ASSERT_EQ(TXIntegrate(a, &t, 0.25 * i, y), 1);
        EXPECT_EQ(t, 0.25 * i);
    }
    EXPECT_NEAR(y[0], std::cos(10.0), 1e-7);
    EXPECT_NEAR(y[1], -std::sin(10.0), 1e-7);
}

TEST(Integrate, TargetEqualToStartDoesNothing) {
    Handle tx(txtest::growth, 1, 1e-8, 0.01);
    double t = 2.0, y = 3.0;
    txtest::g_calls = 0;
    EXPECT_EQ(TXIntegrate(tx, &t, 2.0, &y), 1);
    EXPECT_EQ(txtest::g_calls, 0);
    EXPECT_EQ(tx->StepTaken, 0);
    EXPECT_EQ(y, 3.0);
}

TEST(Integrate, TargetMetExactlyNeedsNoInterpolation) {
    Handle tx(txtest::growth, 1, 0.0, 0.125);  // zero tolerances: fixed steps of 1/8
    double t = 0.0, y = 1.0;
    txtest::g_calls = 0;
    ASSERT_EQ(TXIntegrate(tx, &t, 1.0, &y), 1);
    EXPECT_EQ(txtest::g_calls, 8 * 8);  // eight steps, no dense-output evaluations
    EXPECT_EQ(tx->tlast, 1.0);
    EXPECT_EQ(y, tx->ylast[0]);
}

TEST(Integrate, BackwardNaNOrInfiniteTargetIsRefusedAndLeavesTheStateAlone) {
    Handle tx(txtest::growth, 1, 1e-8, 0.01);
    tx->TerminateOnFatalError = 0;
    double t = 1.0, y = 2.0;
    EXPECT_EQ(TXIntegrate(tx, &t, 0.5, &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 7);
    EXPECT_EQ(t, 1.0);
    EXPECT_EQ(y, 2.0);
    EXPECT_EQ(TXIntegrate(tx, &t, std::nan(""), &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 7);
    EXPECT_EQ(TXIntegrate(tx, &t, std::numeric_limits<double>::infinity(), &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 7);
    EXPECT_EQ(tx->StepTaken, 0);
}

TEST(Step, ZeroTolerancesGiveAFixedStep) {
    Handle tx(txtest::decay, 1, 0.0, 0.1);
    double t = 0.0, y = 1.0;
    for (int i = 1; i <= 5; ++i) {
        ASSERT_EQ(TXStep(tx, &t, &y), 1);
        EXPECT_EQ(tx->h, 0.1);
        EXPECT_DOUBLE_EQ(tx->tlast - tx->tfirst, 0.1);
    }
    ASSERT_EQ(TXSetMaxStep(tx, 0.05), 1);
    ASSERT_EQ(TXStep(tx, &t, &y), 1);
    EXPECT_NEAR(tx->tlast - tx->tfirst, 0.05, 1e-15);
    EXPECT_EQ(tx->h, 0.05);
}

TEST(Step, MaxStepLimitsTheVeryNextStep) {
    Handle tx(txtest::oscillator, 2, 1e-6, 0.01);
    double t = 0.0, y[2] = {1.0, 0.0};
    for (int i = 0; i < 5; ++i) ASSERT_EQ(TXStep(tx, &t, y), 1);
    ASSERT_GT(tx->h, 0.05);
    ASSERT_EQ(TXSetMaxStep(tx, 0.05), 1);
    const double before = t;
    ASSERT_EQ(TXStep(tx, &t, y), 1);
    EXPECT_NEAR(t - before, 0.05, 1e-15);
    EXPECT_LE(tx->h, 0.05);
}

// Global error of fixed steps over [0, 1]: sixth order, so halving h divides it by about 64.
TEST(Step, SixthOrderWithFixedSteps) {
    auto error_with = [](double h) {
        Handle tx(txtest::oscillator, 2, 0.0, h);
        double t = 0.0, y[2] = {1.0, 0.0};
        while (t < 1.0 - 1e-12) TXStep(tx, &t, y);
        return std::hypot(y[0] - std::cos(t), y[1] + std::sin(t));
    };
    const double e1 = error_with(0.1), e2 = error_with(0.05);
    EXPECT_NEAR(std::log2(e1 / e2), 6.0, 0.3);
}

// Local errors of one step: the propagated solution is of order 6 (error ~ h^7), the embedded
// one of order 5 (error ~ h^6); a wrong weight in either table breaks one of the ratios.
TEST(Step, EmbeddedPairOrdersFromLocalErrors) {
    auto local = [](double h, double &e5, double &e6) {
        Handle tx(txtest::growth, 1, 0.0, h);
        double t = 0.0, y = 1.0;
        TXStep(tx, &t, &y);
        e6 = std::fabs(tx->y6[0] - std::exp(h));
        e5 = std::fabs(tx->y5[0] - std::exp(h));
    };
    double a5, a6, b5, b6;
    local(0.2, a5, a6);
    local(0.1, b5, b6);
    EXPECT_NEAR(std::log2(a5 / b5), 6.0, 0.3);
    EXPECT_NEAR(std::log2(a6 / b6), 7.0, 0.3);
}

TEST(Step, RejectedAttemptShrinksTheStepAndRetries) {
    Handle tx(txtest::growth, 1, 1e-12, 1.0);  // far too large a first guess
    double t = 0.0, y = 1.0;
    txtest::g_calls = 0;
    ASSERT_EQ(TXStep(tx, &t, &y), 1);
    EXPECT_GT(txtest::g_calls, 8);  // at least one rejection
    EXPECT_EQ(txtest::g_calls % 8, 0);
    EXPECT_LT(t, 1.0);
    EXPECT_NEAR(y, std::exp(t), 1e-11 * y);
}

// y' = 1, but NaN at t = 0.1, where the first fixed step of 0.6 puts its stage 1.
void nan_at_first_stage(double t, double *, double *f) {
    f[0] = std::fabs(t - 0.1) < 1e-12 ? std::nan("") : 1.0;
}

TEST(Guards, NaNRightHandSideEndsWithStepTooSmall) {
    Handle tx(txtest::not_a_number, 1, 1e-8, 0.01);
    tx->TerminateOnFatalError = 0;
    double t = 0.0, y = 1.0;
    txtest::g_calls = 0;
    EXPECT_EQ(TXIntegrate(tx, &t, 1.0, &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 31);
    EXPECT_STREQ(TXStrErrorTraxis(tx), "Step size too small");
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(y, 1.0);
    EXPECT_LT(txtest::g_calls, 8 * 2000);
    EXPECT_EQ(TXStep(tx, &t, &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 31);
}

// Zero tolerances accept every finite attempt, never a non-finite one.
TEST(Guards, NonFiniteAttemptIsRejectedWhateverTheTolerances) {
    for (double rtol : {0.0, 1e-8}) {
        Handle tx(txtest::not_a_number, 1, rtol, 0.01);
        tx->TerminateOnFatalError = 0;
        double t = 0.0, y = 1.0;
        EXPECT_EQ(TXIntegrate(tx, &t, 1.0, &y), 0);
        EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_STEP_TOO_SMALL);
        EXPECT_EQ(y, 1.0);
    }
    // NaN only in stage 1, which has no weight in either solution: the step is still rejected.
    Handle tx(nan_at_first_stage, 1, 0.0, 0.6);
    double t = 0.0, y = 0.0;
    ASSERT_EQ(TXStep(tx, &t, &y), 1);
    EXPECT_LT(t, 0.6);
}

TEST(GuardsDeathTest, StepTooSmallIsReportedByATerminatingHandle) {
    Handle tx(txtest::not_a_number, 1, 1e-8, 0.01);
    double t = 0.0, y = 1.0;
    EXPECT_EXIT((errno = 0, TXStep(tx, &t, &y)), ::testing::ExitedWithCode(1),
                "'TXStep': Step size too small\nTraxis Closed\n$");
}

TEST(Guards, NegativeOrNaNStepSetByTheCallerIsRefused) {
    Handle tx(txtest::decay, 1, 1e-8, 0.01);
    tx->TerminateOnFatalError = 0;
    double t = 0.0, y = 1.0;
    tx->h = -0.1;
    EXPECT_EQ(TXStep(tx, &t, &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 31);
    tx->h = std::nan("");
    EXPECT_EQ(TXIntegrate(tx, &t, 1.0, &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), 31);
    tx->h = std::numeric_limits<double>::infinity();  // shrinks back instead of staying infinite
    EXPECT_EQ(TXIntegrate(tx, &t, 1.0, &y), 1);
    EXPECT_NEAR(y, std::exp(-1.0), 1e-7);
}

void zero_and_growth(double, double *y, double *f) {
    f[0] = 0.0;
    f[1] = y[1];
}

// With AbsTol 0 a component that stays exactly 0 has a zero error scale; it must neither
// poison the norm nor stop the integration.
TEST(Guards, ComponentIdenticallyZeroUnderZeroAbsoluteTolerance) {
    Handle tx(zero_and_growth, 2, 1e-10, 0.01);
    Handle ref(txtest::growth, 1, 1e-10, 0.01);
    double t = 0.0, y[2] = {0.0, 1.0}, tr = 0.0, yr = 1.0;
    ASSERT_EQ(TXIntegrate(tx, &t, 1.0, y), 1);
    ASSERT_EQ(TXIntegrate(ref, &tr, 1.0, &yr), 1);
    EXPECT_EQ(y[0], 0.0);
    EXPECT_EQ(y[1], yr);
}

}  // namespace

namespace {

long g_decay_calls = 0;

void counted_decay(double, double *y, double *f) {
    ++g_decay_calls;
    f[0] = -y[0];
}

// Under AbsTol 0 a decaying solution passes through the subnormal range, where |y| RelTol no
// longer resolves anything; it used to force steps of 1.7e-7 that left y unchanged, so that
// reaching t = 1000 took some 10^9 steps.  (Found by the table-column fuzz harness.)
TEST(Guards, DecayThroughTheSubnormalRangeKeepsItsStride) {
    for (int method : {TX_METHOD_RK65, TX_METHOD_HIGH_ORDER}) {
        Handle tx(counted_decay, 1, 1e-8, 0.01);
        ASSERT_EQ(TXSetMethod(tx, method), 1);
        double t = 0.0, y = 1.0;
        g_decay_calls = 0;
        ASSERT_EQ(TXIntegrate(tx, &t, 1000.0, &y), 1) << method;
        EXPECT_EQ(t, 1000.0);
        EXPECT_LT(std::fabs(y), 1e-300);  // e^-1000 underflows to 0
        EXPECT_LT(g_decay_calls, 100000) << method;
    }
}

}  // namespace
