// Poincare sections: crossings on the dense output, the automatic hyperplane, the secant search.
#include <gtest/gtest.h>

#include <cmath>

#include "systems.hpp"
#include "tx.h"

namespace {

using txtest::Handle;

const double kPi = std::acos(-1.0);

double first_component(double, double *y) { return y[0]; }

long g_cut_calls = 0;
double counted_first_component(double, double *y) {
    ++g_cut_calls;
    return y[0];
}

double g_section_time = 0.0;  // the section t = g_section_time
double time_section(double t, double *) { return g_section_time - t; }
double time_growing(double t, double *) { return std::exp(t) - std::exp(g_section_time); }

double step_function(double, double *y) { return y[0] >= 0.0 ? 1.0 : -1.0; }

// Steps until the next located crossing; false if none within max_steps.
bool next_crossing(Traxis tx, double &t, double *y, int max_steps = 10000) {
    for (int i = 0; i < max_steps; ++i) {
        if (TXPoincareStep(tx, &t, y) == 1) return true;
        if (tx->ErrorCode != 0) return false;
    }
    return false;
}

TEST(PoincareStep, CrossingsAlternateAndLieWithinTheTolerance) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.01);  // x = cos t
    ASSERT_EQ(TXSetCut(tx, first_component, 1e-8), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    for (int k = 0; k < 6; ++k) {
        ASSERT_TRUE(next_crossing(tx, t, y)) << "crossing " << k;
        // Located just past the section: downward crossings (even k) end below it.
        if (k % 2 == 0) {
            EXPECT_LT(y[0], 0.0);
            EXPECT_GT(y[0], -1e-8);
        } else {
            EXPECT_GT(y[0], 0.0);
            EXPECT_LT(y[0], 1e-8);
        }
        EXPECT_NEAR(t, kPi / 2 + k * kPi, 1e-7);
        EXPECT_GT(t, tx->tfirst);  // inside the last step
        EXPECT_LE(t, tx->tlast);
    }
}

TEST(PoincareStep, ReturnsZeroAtTheEndOfAStepThatDoesNotCross) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.01);
    ASSERT_EQ(TXSetCut(tx, first_component, 1e-8), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    ASSERT_EQ(TXPoincareStep(tx, &t, y), 0);
    EXPECT_EQ(tx->ErrorCode, 0);
    EXPECT_EQ(t, tx->tlast);
    EXPECT_EQ(y[0], tx->ylast[0]);
    EXPECT_EQ(y[1], tx->ylast[1]);
}

TEST(PoincareStep, AStartOnTheSectionCountsAsThePositiveSide) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.01);
    ASSERT_EQ(TXSetCut(tx, first_component, 1e-8), 1);
    double t = 0.0, y[2] = {0.0, -1.0};  // x = -sin t: leaves the section downwards
    ASSERT_EQ(TXPoincareStep(tx, &t, y), 1);
    EXPECT_LT(y[0], 0.0);
    EXPECT_GT(y[0], -1e-8);
    EXPECT_GT(t, 0.0);
    EXPECT_LT(t, 1e-7);

    double t2 = 0.0, y2[2] = {0.0, 1.0};  // x = sin t: moves up, no crossing until pi
    ASSERT_EQ(TXPoincareStep(tx, &t2, y2), 0);
    ASSERT_TRUE(next_crossing(tx, t2, y2));
    EXPECT_NEAR(t2, kPi, 1e-7);
}

TEST(PoincareStep, AStepEndingExactlyOnTheSectionIsNoCrossing) {
    double t_end;
    {
        Handle probe(txtest::decay, 1, 1e-8, 0.01);
        double t = 0.0, y = 1.0;
        ASSERT_EQ(TXStep(probe, &t, &y), 1);
        t_end = t;
    }
    g_section_time = t_end;
    Handle tx(txtest::decay, 1, 1e-8, 0.01);
    ASSERT_EQ(TXSetCut(tx, time_section, 1e-9), 1);
    double t = 0.0, y = 1.0;
    ASSERT_EQ(TXPoincareStep(tx, &t, &y), 0);
    ASSERT_EQ(t, t_end);
    // The next call starts on the section, hence on the positive side, and crosses at once.
    ASSERT_EQ(TXPoincareStep(tx, &t, &y), 1);
    EXPECT_GT(t, t_end);
    EXPECT_LT(t - t_end, 1e-9);
    EXPECT_NEAR(y, std::exp(-t), 1e-8);
}

TEST(PoincareStep, BisectionCap) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.5);
    tx->TerminateOnFatalError = 0;
    ASSERT_EQ(TXSetCut(tx, counted_first_component, 1e-13), 1);

    // Without a cap the bisection runs until the tolerance is met.
    ASSERT_EQ(TXSetMaxPoincareSteps(tx, 0), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    for (g_cut_calls = 0; TXPoincareStep(tx, &t, y) != 1; g_cut_calls = 0)
        ASSERT_EQ(tx->ErrorCode, 0);
    EXPECT_GT(g_cut_calls - 2, 20);  // bisections: far more than the cap below allows
    EXPECT_LT(y[0], 0.0);
    EXPECT_GT(y[0], -1e-13);

    // The same crossing with a cap of 20 is refused; t and y hold the last midpoint.
    ASSERT_EQ(TXSetMaxPoincareSteps(tx, 20), 1);
    t = 0.0;
    y[0] = 1.0;
    y[1] = 0.0;
    EXPECT_FALSE(next_crossing(tx, t, y));
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_BRACKET);
    EXPECT_GT(t, tx->tfirst);
    EXPECT_LT(t, tx->tlast);
    EXPECT_LT(std::fabs(y[0]), 1e-4);
}

TEST(PoincareStep, CapOfOneRefusesAFirstMidpointOffTheSection) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.5);
    tx->TerminateOnFatalError = 0;
    ASSERT_EQ(TXSetCut(tx, first_component, 1e-8), 1);
    ASSERT_EQ(TXSetMaxPoincareSteps(tx, 1), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    EXPECT_FALSE(next_crossing(tx, t, y));
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_BRACKET);
    EXPECT_EQ(t, 0.5 * (tx->tfirst + tx->tlast));
}

TEST(PoincareStep, ASectionWithoutAZeroEndsEvenWithoutACap) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.5);
    tx->TerminateOnFatalError = 0;
    ASSERT_EQ(TXSetCut(tx, step_function, 1e-8), 1);
    ASSERT_EQ(TXSetMaxPoincareSteps(tx, 0), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    EXPECT_FALSE(next_crossing(tx, t, y));
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_BRACKET);
    EXPECT_NEAR(t, kPi / 2, 1e-9);  // the jump, where the interpolant changes sign
}

TEST(PoincareStepDeathTest, BracketFailureEndsTheProcessWithAReport) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.5);
    ASSERT_EQ(TXSetCut(tx, first_component, 1e-8), 1);
    ASSERT_EQ(TXSetMaxPoincareSteps(tx, 1), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    EXPECT_EXIT(
        {
            for (;;) TXPoincareStep(tx, &t, y);
        },
        testing::ExitedWithCode(1), "'TXPoincareStep': Unable to bracket Poincare section");
}

TEST(Section, Refusals) {
    Handle tx(txtest::oscillator, 2, 1e-8, 0.01);
    tx->TerminateOnFatalError = 0;
    EXPECT_EQ(TXSetCut(tx, first_component, 0.0), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_CUT_TOLERANCE);
    EXPECT_EQ(TXSetCut(tx, first_component, std::nan("")), 0);
    EXPECT_EQ(tx->cut, nullptr);
    EXPECT_DOUBLE_EQ(tx->CutEps, 1e-7);

    // No section function and no hyperplane: nothing moves.
    double t = 0.0, y[2] = {1.0, 0.0}, p[2], q[2];
    EXPECT_EQ(TXPoincareStep(tx, &t, y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_SECTION);
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(TXAutoCut(tx, 0.0, y), 0.0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_SECTION);
    EXPECT_EQ(TXCutSurface(tx, p, q), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_SECTION);

    // At an equilibrium the point is taken but no hyperplane is defined.
    double rest[2] = {0.0, 0.0};
    EXPECT_EQ(TXSetAutoCut(tx, 0.0, rest), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_EQUILIBRIUM_STATE);
    EXPECT_EQ(tx->CutSurfaceDefined, 0);
}

void nan_field(double, double *, double *f) { f[0] = f[1] = std::nan(""); }

// A point or field that gives no normal is refused like an equilibrium, and any refusal leaves
// the hyperplane defined before intact.
TEST(AutoCut, NonFinitePointOrFieldIsRefusedAndKeepsTheHyperplane) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.01);
    tx->TerminateOnFatalError = 0;
    double y[2] = {1.0, 0.0}, bad[2] = {std::nan(""), 0.0}, rest[2] = {0.0, 0.0}, p[2], q[2];
    ASSERT_EQ(TXSetAutoCut(tx, 0.0, y), 1);
    for (double *at : {bad, rest}) {
        EXPECT_EQ(TXSetAutoCut(tx, 0.0, at), 0);
        EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_EQUILIBRIUM_STATE);
    }
    tx->fcn = nan_field;
    EXPECT_EQ(TXSetAutoCut(tx, 0.0, y), 0);
    ASSERT_EQ(TXCutSurface(tx, p, q), 1);
    EXPECT_TRUE(p[0] == 1.0 && p[1] == 0.0 && q[0] == 0.0 && q[1] == -1.0);
}

TEST(Section, NullHandleIsReported) {
    double y = 0.0;
    EXPECT_EXIT(TXAutoCut(nullptr, 0.0, &y), testing::ExitedWithCode(1), "Traxis not opened");
    EXPECT_EXIT(TXSetCut(nullptr, first_component, 1.0), testing::ExitedWithCode(1),
                "'TXSetCut': Traxis not opened");
}

TEST(AutoCut, HyperplaneThroughThePointNormalToTheField) {
    Handle tx(txtest::three, 3, 1e-10, 0.01);
    double y[3] = {0.3, -1.2, 2.0}, f[3], p[3], q[3];
    ASSERT_EQ(TXSetAutoCut(tx, 0.0, y), 1);
    ASSERT_EQ(TXCutSurface(tx, p, q), 1);
    txtest::three(0.0, y, f);
    const double fn = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p[i], y[i]);
        EXPECT_NEAR(q[i], f[i] / fn, 1e-15);
    }
    EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2], 1.0, 1e-15);
    EXPECT_EQ(TXAutoCut(tx, 0.0, y), 0.0);
    double ahead[3] = {y[0] + f[0], y[1] + f[1], y[2] + f[2]};
    EXPECT_NEAR(TXAutoCut(tx, 5.0, ahead), fn, 1e-14);  // signed distance, t unused
}

double g_field_size = 1.0;  // a constant field (3, 4) * g_field_size
void constant_field(double, double *, double *f) {
    f[0] = 3.0 * g_field_size;
    f[1] = 4.0 * g_field_size;
}

TEST(AutoCut, TheNormalHasUnitLengthForTinyAndHugeFields) {
    Handle tx(constant_field, 2, 1e-10, 0.01);
    double y[2] = {1.0, 2.0}, p[2], q[2];
    for (double size : {1.0, 1e-170, 1e200}) {
        g_field_size = size;
        ASSERT_EQ(TXSetAutoCut(tx, 0.0, y), 1) << size;
        ASSERT_EQ(TXCutSurface(tx, p, q), 1);
        EXPECT_DOUBLE_EQ(q[0], 0.6) << size;
        EXPECT_DOUBLE_EQ(q[1], 0.8) << size;
    }
}

TEST(AutoCut, SectionStepsUseItWhileNoFunctionIsSet) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.01);
    ASSERT_EQ(TXSetCut(tx, first_component, 1e-8), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    ASSERT_EQ(TXSetAutoCut(tx, t, y), 1);  // plane y[1] = 0, normal (0, -1)
    ASSERT_EQ(TXSetCut(tx, nullptr, 1e-8), 1);
    EXPECT_EQ(tx->CutSurfaceDefined, 1);
    // The start lies on the plane, so the first crossing is half a turn on, the second a period.
    ASSERT_TRUE(next_crossing(tx, t, y));
    EXPECT_NEAR(t, kPi, 1e-7);
    ASSERT_TRUE(next_crossing(tx, t, y));
    EXPECT_NEAR(t, 2 * kPi, 1e-7);
    EXPECT_GT(-y[1], 0.0);  // back on the positive side, just past the plane
    EXPECT_LT(-y[1], 1e-8);
}

TEST(ClosestCut, LandsOnTheSideTowardsWhichTheValueGrew) {
    Handle tx(txtest::oscillator, 2, 1e-10, 0.5);
    ASSERT_EQ(TXSetCut(tx, first_component, 1e-8), 1);
    double t = 1.3, y[2] = {std::cos(1.3), -std::sin(1.3)};
    ASSERT_EQ(CLOSESTCUT(tx, &t, y), 1);  // x falls: lands in [-CutEps, 0]
    EXPECT_LE(y[0], 0.0);
    EXPECT_GE(y[0], -1e-8);
    EXPECT_NEAR(t, kPi / 2, 1e-7);

    t = kPi + 1.3;
    y[0] = std::cos(t);
    y[1] = -std::sin(t);
    ASSERT_EQ(CLOSESTCUT(tx, &t, y), 1);  // x rises: lands in [0, CutEps]
    EXPECT_GE(y[0], 0.0);
    EXPECT_LE(y[0], 1e-8);
    EXPECT_NEAR(t, 3 * kPi / 2, 1e-7);
}

TEST(ClosestCut, ExtrapolatesBeyondAStepThatDoesNotReachTheSection) {
    g_section_time = 0.3;
    Handle tx(txtest::decay, 1, 1e-10, 0.01);
    ASSERT_EQ(TXSetCut(tx, time_growing, 1e-9), 1);
    double t = 0.0, y = 1.0;
    ASSERT_EQ(CLOSESTCUT(tx, &t, &y), 1);
    EXPECT_LT(tx->tlast, 0.3);
    EXPECT_GE(t, 0.3);
    EXPECT_LE(t, 0.3 + 1e-9 / std::exp(0.3));
    EXPECT_NEAR(y, std::exp(-0.3), 1e-4);  // dense output extrapolated 30 steps ahead
}

TEST(ClosestCut, GivesUpAfterTheIterationCap) {
    g_section_time = 0.3;
    Handle tx(txtest::decay, 1, 1e-10, 0.01);
    ASSERT_EQ(TXSetCut(tx, time_growing, 1e-12), 1);
    ASSERT_EQ(TXSetMaxNewtSteps(tx, 0), 1);  // one secant iterate is not enough
    double t = 0.0, y = 1.0;
    EXPECT_EQ(CLOSESTCUT(tx, &t, &y), 0);
    EXPECT_EQ(tx->ErrorCode, 0);
    ASSERT_EQ(TXSetMaxNewtSteps(tx, 10), 1);
    t = 0.0;
    y = 1.0;
    EXPECT_EQ(CLOSESTCUT(tx, &t, &y), 1);
}

TEST(ClosestCut, AFlatSectionIsNotReportedAsConverged) {
    Handle tx(txtest::decay, 1, 1e-10, 0.01);
    ASSERT_EQ(TXSetCut(tx, step_function, 1e-8), 1);  // constant 1 along the whole step
    double t = 0.0, y = 1.0;
    EXPECT_EQ(CLOSESTCUT(tx, &t, &y), 0);
}

}  // namespace
