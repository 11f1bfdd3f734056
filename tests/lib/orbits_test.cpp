// Newton solvers for equilibria and periodic orbits.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "matrix.hpp"
#include "tx.h"

namespace {

using txtest::Matrix;

long g_evals = 0;
double g_p1 = 0.0, g_p2 = 0.0;  // registered parameters, read by no system here

// A handle with its variational sub-handle open: analytic Jacobian when given, else differences.
struct Handle {
    Traxis tx;
    Handle(fcn_t f, int n, jac_t jac, double rtol = 1e-9) : tx(TXOpenTraxis(f, n, rtol, 0.01)) {
        tx->TerminateOnFatalError = 0;
        const int opened = jac ? TXVarOpenTraxis(tx, jac, 2, nullptr, 1e-6, &g_p1, &g_p2)
                               : TXVarOpenTraxis(tx, nullptr, 1e-7, 2, nullptr, 1e-6, &g_p1,
                                                 &g_p2);
        EXPECT_EQ(opened, 1);
        g_evals = 0;
    }
    ~Handle() { TXCloseTraxis(tx); }
    Traxis operator->() const { return tx; }
    operator Traxis() const { return tx; }
};

// ---- equilibria ----

// x' = x^2 - 2, y' = x - y: equilibrium (sqrt 2, sqrt 2)
void root_two(double, double *y, double *f) {
    ++g_evals;
    f[0] = y[0] * y[0] - 2.0;
    f[1] = y[0] - y[1];
}
void root_two_jac(double, double *y, double **J) {
    J[0][0] = 2.0 * y[0];
    J[0][1] = 0.0;
    J[1][0] = 1.0;
    J[1][1] = -1.0;
}

// x' = x^3 - 2x + 2: Newton from 0 cycles between 0 and 1
void cycling(double, double *y, double *f) {
    ++g_evals;
    f[0] = (y[0] * y[0] - 2.0) * y[0] + 2.0;
}
void cycling_jac(double, double *y, double **J) { J[0][0] = 3.0 * y[0] * y[0] - 2.0; }

// x' = x - 1, y' = 0.5: no equilibrium, and a Jacobian with a zero row
void drifting(double, double *y, double *f) {
    ++g_evals;
    f[0] = y[0] - 1.0;
    f[1] = 0.5;
}
void drifting_jac(double, double *, double **J) {
    J[0][0] = 1.0;
    J[0][1] = 0.0;
    J[1][0] = 0.0;
    J[1][1] = 0.0;
}

TEST(EquiPoint, ExactEquilibriumTakesOneEvaluationAndLeavesTheGuess) {
    Handle tx(root_two, 2, root_two_jac);
    double y[2] = {std::sqrt(2.0), std::sqrt(2.0)};
    ASSERT_EQ(TXEquiPoint(tx, y), 1);
    EXPECT_EQ(g_evals, 1);
    EXPECT_EQ(y[0], std::sqrt(2.0));
    EXPECT_EQ(y[1], std::sqrt(2.0));
}

TEST(EquiPoint, ConvergesWithAnalyticAndDifferenceJacobians) {
    for (jac_t jac : {jac_t(root_two_jac), jac_t(nullptr)}) {
        Handle tx(root_two, 2, jac);
        double y[2] = {1.0, 3.0};
        ASSERT_EQ(TXEquiPoint(tx, y), 1);
        // Converged in the weighted norm with NewtRelTol = 1e-5.
        EXPECT_NEAR(y[0], std::sqrt(2.0), 1e-5);
        EXPECT_NEAR(y[1], std::sqrt(2.0), 1e-5);
        EXPECT_LE(g_evals, jac ? 10 : 10 * 3);
    }
}

TEST(EquiPoint, MaxNewtStepsOneFailsEvenAtTheSolution) {
    Handle tx(root_two, 2, root_two_jac);
    ASSERT_EQ(TXSetMaxNewtSteps(tx, 1), 1);
    double y[2] = {std::sqrt(2.0), std::sqrt(2.0)};
    EXPECT_EQ(TXEquiPoint(tx, y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_CONVERGENCE);
    EXPECT_EQ(g_evals, 1);
}

TEST(EquiPoint, DivergenceRestoresTheGuess) {
    Handle tx(cycling, 1, cycling_jac);
    tx->NewtAbsTol = 1e-6;  // so that the start at 0 counts
    double y = 0.0;
    EXPECT_EQ(TXEquiPoint(tx, &y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_CONVERGENCE);
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(g_evals, 3);  // 0 -> 1 -> 0: the distance grows twentyfold

    y = -2.0;  // near the real root
    ASSERT_EQ(TXEquiPoint(tx, &y), 1);
    EXPECT_NEAR(y, -1.76929235423863, 1e-5);  // residual within NewtRelTol |y|
}

TEST(EquiPoint, ComponentsAtExactlyZeroAreIgnored) {
    Handle tx(drifting, 2, drifting_jac);
    double y[2] = {1.0, 0.0};  // residual 0.5 in a component whose value is 0
    EXPECT_EQ(TXEquiPoint(tx, y), 1);
    EXPECT_EQ(g_evals, 1);

    tx->NewtAbsTol = 1e-6;  // now it counts, and the zero Jacobian row gives no correction
    EXPECT_EQ(TXEquiPoint(tx, y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_SINGULAR);
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(y[1], 0.0);
}

// Without the sub-handle each solver refuses on the caller's handle, which decides whether the
// process ends.
TEST(Solvers, WithoutTheVariationalSubHandleReportCodeOneOnTheHandle) {
    Traxis tx = TXOpenTraxis(root_two, 2, 1e-8, 0.01);
    double y[2] = {1.0, 1.0}, period = 0.0;
    Matrix phi(2, 2);
    EXPECT_EXIT(TXEquiPoint(tx, y), testing::ExitedWithCode(1),
                "'TXEquiPoint': Traxis not opened\nTraxis Closed");
    tx->TerminateOnFatalError = 0;
    EXPECT_EQ(TXEquiPoint(tx, y), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NOT_OPENED);
    EXPECT_EQ(TXNonAutoOrbit(tx, 0.0, y, phi.ptr(), 1.0), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NOT_OPENED);
    EXPECT_EQ(TXAutoOrbit(tx, 0.0, y, phi.ptr(), 1, &period), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NOT_OPENED);
    EXPECT_EQ(y[0], 1.0);
    TXCloseTraxis(tx);
}

// ---- forced orbits ----

// x' = -x + cos t, y' = -2 y + sin t: the 2 pi-periodic solution is known in closed form
void forced(double t, double *y, double *f) {
    ++g_evals;
    f[0] = -y[0] + std::cos(t);
    f[1] = -2.0 * y[1] + std::sin(t);
}
void forced_jac(double, double *, double **J) {
    J[0][0] = -1.0;
    J[0][1] = 0.0;
    J[1][0] = 0.0;
    J[1][1] = -2.0;
}

constexpr double kTwoPi = 6.283185307179586;

TEST(NonAutoOrbit, LinearForcedSystemNeedsOneCorrection) {
    Handle tx(forced, 2, forced_jac, 1e-10);
    ASSERT_EQ(TXSetMaxNewtSteps(tx, 3), 1);  // the second evaluation must pass
    Matrix phi(2, 2);
    double y[2] = {3.0, -1.0};
    ASSERT_EQ(TXNonAutoOrbit(tx, 0.0, y, phi.ptr(), kTwoPi), 1);
    // x = (cos t + sin t) / 2, y = (2 sin t - cos t) / 5 at t = 2 pi
    EXPECT_NEAR(y[0], 0.5, 1e-8);
    EXPECT_NEAR(y[1], -0.2, 1e-8);
    EXPECT_NEAR(phi[0][0], std::exp(-kTwoPi), 1e-9);
    EXPECT_NEAR(phi[1][1], std::exp(-2 * kTwoPi), 1e-9);
    EXPECT_NEAR(phi[0][1], 0.0, 1e-12);
    EXPECT_EQ(tx->nparam, 2);

    double again[2] = {3.0, -1.0};
    ASSERT_EQ(TXSetMaxNewtSteps(tx, 2), 1);
    EXPECT_EQ(TXNonAutoOrbit(tx, 0.0, again, phi.ptr(), kTwoPi), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_CONVERGENCE);
    EXPECT_EQ(tx->nparam, 2);
}

TEST(NonAutoOrbit, MaxNewtStepsOneFailsAtTheSolutionAndRestoresNparam) {
    Handle tx(forced, 2, forced_jac, 1e-10);
    ASSERT_EQ(TXSetMaxNewtSteps(tx, 1), 1);
    Matrix phi(2, 2);
    double y[2] = {0.5, -0.2};
    EXPECT_EQ(TXNonAutoOrbit(tx, 0.0, y, phi.ptr(), kTwoPi), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_CONVERGENCE);
    EXPECT_EQ(tx->nparam, 2);
}

TEST(NonAutoOrbit, StartTimeShiftsThePhase) {
    Handle tx(forced, 2, forced_jac, 1e-10);
    Matrix phi(2, 2);
    double y[2] = {1.0, 1.0};  // a component at exactly 0 would be ignored
    const double t = kTwoPi / 4;
    ASSERT_EQ(TXNonAutoOrbit(tx, t, y, phi.ptr(), kTwoPi), 1);
    EXPECT_NEAR(y[0], 0.5, 1e-8);  // (cos + sin) / 2 at pi / 2
    EXPECT_NEAR(y[1], 0.4, 1e-8);  // (2 sin - cos) / 5
}

TEST(NonAutoOrbit, NonPositivePeriodIsRefused) {
    Handle tx(forced, 2, forced_jac);
    Matrix phi(2, 2);
    double y[2] = {0.0, 0.0};
    EXPECT_EQ(TXNonAutoOrbit(tx, 0.0, y, phi.ptr(), 0.0), 0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NEGATIVE_STEP);
    EXPECT_EQ(tx->nparam, 2);
}

// ---- autonomous orbits ----

constexpr double kOmega = 2.0;

// Hopf normal form: r' = r (1 - r^2), theta' = omega; the unit circle attracts with rate 2
void hopf(double, double *y, double *f) {
    const double r2 = y[0] * y[0] + y[1] * y[1];
    f[0] = y[0] - kOmega * y[1] - y[0] * r2;
    f[1] = kOmega * y[0] + y[1] - y[1] * r2;
}
void hopf_jac(double, double *y, double **J) {
    const double x = y[0], v = y[1], r2 = x * x + v * v;
    J[0][0] = 1.0 - r2 - 2.0 * x * x;
    J[0][1] = -kOmega - 2.0 * x * v;
    J[1][0] = kOmega - 2.0 * x * v;
    J[1][1] = 1.0 - r2 - 2.0 * v * v;
}
double hopf_cut(double, double *y) { return y[1]; }

struct HopfHandle : Handle {
    HopfHandle() : Handle(hopf, 2, hopf_jac, 1e-10) {
        TXSetCut(tx, hopf_cut, 1e-9);
        tx->NewtAbsTol = 1e-8;  // the section component is near 0, never exactly
    }
};

// One TXAutoOrbit call on the Hopf system from (x, v).
struct HopfOrbit {
    HopfHandle tx;
    Matrix phi{2, 2};
    double y[2];
    double period = 0.0;
    HopfOrbit(double x, double v) : y{x, v} {}
    int solve(int turns) { return TXAutoOrbit(tx, 0.0, y, phi.ptr(), turns, &period); }
};

TEST(AutoOrbit, ConvergesOntoTheLimitCycleWithItsMultipliers) {
    HopfOrbit o(1.3, 0.4);
    ASSERT_EQ(o.solve(1), 1);
    const double exact = kTwoPi / kOmega;
    EXPECT_NEAR(o.period, exact, 1e-6);
    EXPECT_NEAR(std::hypot(o.y[0], o.y[1]), 1.0, 1e-5);
    EXPECT_LE(std::fabs(o.y[1]), 1e-9);  // on the section
    double er[2], ei[2];
    ASSERT_EQ(TXEigen(o.tx, 2, o.phi.ptr(), er, ei), 1);
    SORTEIG(er, ei, 2);
    EXPECT_NEAR(er[1], 1.0, 1e-5);
    EXPECT_NEAR(er[0], std::exp(-2.0 * exact), 1e-5);
    EXPECT_EQ(o.tx->nparam, 2);
}

TEST(AutoOrbit, StartOnTheSectionIsTheAnchor) {
    HopfOrbit o(1.0, 0.0);
    ASSERT_EQ(o.solve(1), 1);
    // Without the anchor the first crossing would be at (-1, 0), half a turn later.
    EXPECT_NEAR(o.y[0], 1.0, 1e-6);
    EXPECT_NEAR(o.period, kTwoPi / kOmega, 1e-6);
}

TEST(AutoOrbit, TwoTurnsDoubleThePeriod) {
    HopfOrbit o(1.2, 0.3);
    ASSERT_EQ(o.solve(2), 1);
    EXPECT_NEAR(o.period, 2.0 * kTwoPi / kOmega, 2e-6);
}

TEST(AutoOrbit, SectionNeverReachedReturnsZeroAndRestoresNparam) {
    HopfOrbit o(1.0, 0.0);
    TXSetCut(o.tx, [](double, double *y) { return y[0] - 5.0; }, 1e-9);
    ASSERT_EQ(TXSetMaxPeriodSteps(o.tx, 50), 1);
    EXPECT_EQ(o.solve(1), 0);
    EXPECT_EQ(TXErrorTraxis(o.tx), 0);
    EXPECT_EQ(o.tx->nparam, 2);
}

TEST(AutoOrbit, TurnCountBelowOneIsRefused) {
    HopfOrbit o(1.0, 0.0);
    EXPECT_EQ(o.solve(0), 0);
    EXPECT_EQ(TXErrorTraxis(o.tx), TX_ERR_BAD_MODE);
}

}  // namespace
