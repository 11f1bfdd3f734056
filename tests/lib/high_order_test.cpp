// The high-order pair: its coefficients against the order conditions, the observed orders of
// its solution and interpolant, its guards, switching methods, and agreement with the 6(5) pair
// on a Lyapunov spectrum and a periodic orbit.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "detail/verner_step.hpp"
#include "matrix.hpp"
#include "owned_handle.hpp"
#include "tx.h"

namespace {

using txtest::Matrix;
using txtest::open_quiet;
namespace verner = tx::detail::verner;

// ---- order conditions ----

// Rooted trees up to order 8 with their densities gamma and elementary weights Phi (one value
// per stage): a tree is a root with a multiset of subtrees, generated once each as a
// non-increasing sequence of subtree indices.
struct Tree {
    int order;
    long double gamma;
    std::vector<long double> phi, a_phi;  // Phi and A Phi
};

Tree make_tree(int order, long double gamma, std::vector<long double> phi) {
    std::vector<long double> a_phi(phi.size(), 0.0L);
    for (int i = 0; i < verner::kAll; ++i)
        for (int j = 0; j < i; ++j) a_phi[i] += verner::a[i][j] * phi[j];
    return {order, gamma, std::move(phi), std::move(a_phi)};
}

std::vector<Tree> trees_up_to(int max_order) {
    constexpr int S = verner::kAll;
    std::vector<Tree> trees{make_tree(1, 1.0L, std::vector<long double>(S, 1.0L))};
    for (int order = 2; order <= max_order; ++order) {
        const std::size_t known = trees.size();
        // Forests of total order `left` from subtrees with index <= last.
        std::vector<int> forest;
        auto grow = [&](auto &&self, int left, std::size_t last) -> void {
            if (left == 0) {
                long double gamma = order;
                std::vector<long double> phi(S, 1.0L);
                for (int sub : forest) {
                    gamma *= trees[sub].gamma;
                    for (int i = 0; i < S; ++i) phi[i] *= trees[sub].a_phi[i];
                }
                trees.push_back(make_tree(order, gamma, std::move(phi)));
                return;
            }
            for (std::size_t k = 0; k <= last && k < known; ++k) {
                if (trees[k].order > left) continue;
                forest.push_back(static_cast<int>(k));
                self(self, left - trees[k].order, k);
                forest.pop_back();
            }
        };
        grow(grow, order - 1, known - 1);
    }
    return trees;
}

// Largest |sum_j w[j] Phi_j(t) - target(t)| over the trees of the given orders.
template <class Target>
long double residual(const std::vector<Tree> &trees, int from, int to,
                     const std::vector<long double> &w, Target target) {
    long double worst = 0.0L;
    for (const Tree &t : trees) {
        if (t.order < from || t.order > to) continue;
        long double sum = 0.0L;
        for (int j = 0; j < verner::kAll; ++j) sum += w[j] * t.phi[j];
        worst = std::fmax(worst, std::fabs(sum - target(t)));
    }
    return worst;
}

TEST(HighOrderTable, SatisfiesTheOrderConditionsOfThePairAndTheInterpolant) {
    const std::vector<Tree> trees = trees_up_to(8);
    ASSERT_EQ(trees.size(), 200u);  // 1 + 1 + 2 + 4 + 9 + 20 + 48 + 115
    for (int i = 0; i < verner::kAll; ++i) {
        long double sum = 0.0L;
        for (int j = 0; j < i; ++j) sum += verner::a[i][j];
        EXPECT_NEAR(static_cast<double>(sum), verner::c[i], 1e-14) << "row " << i;
    }
    auto inverse_gamma = [](const Tree &t) { return 1.0L / t.gamma; };
    std::vector<long double> b(verner::kAll, 0.0L), bhat(verner::kAll, 0.0L);
    for (int j = 0; j < verner::kStages; ++j) {
        b[j] = verner::b[j];
        bhat[j] = static_cast<long double>(verner::b[j]) - verner::e[j];
    }
    EXPECT_LT(residual(trees, 1, 8, b, inverse_gamma), 1e-12L);
    // The embedded solution is of order 7 and of no higher order.
    EXPECT_LT(residual(trees, 1, 7, bhat, inverse_gamma), 1e-12L);
    EXPECT_GT(residual(trees, 8, 8, bhat, inverse_gamma), 1e-7L);
    // Interpolant: sum_j b_j(theta) Phi_j(t) = theta^order / gamma.
    for (long double theta : {0.2L, 0.5L, 0.9L, 1.0L}) {
        std::vector<long double> b_theta(verner::kAll, 0.0L);
        for (int j = 0; j < verner::kAll; ++j)
            for (int m = 0; m <= 8; ++m)
                b_theta[j] += verner::beta[j][m] * verner::kBinomial8[m] * std::pow(theta, m) *
                              std::pow(1.0L - theta, 8 - m);
        auto target = [theta](const Tree &t) { return std::pow(theta, t.order) / t.gamma; };
        EXPECT_LT(residual(trees, 1, 8, b_theta, target), 1e-11L) << "theta " << theta;
    }
}

// ---- observed orders ----

// The Kepler problem with eccentricity 0.5, period 2 pi: exact solution by Kepler's equation.
constexpr double kEcc = 0.5;

void kepler(double, double *y, double *f) {
    const double r2 = y[0] * y[0] + y[1] * y[1], r3 = r2 * std::sqrt(r2);
    f[0] = y[2];
    f[1] = y[3];
    f[2] = -y[0] / r3;
    f[3] = -y[1] / r3;
}

void kepler_exact(double t, double *y) {
    double E = t;
    for (int i = 0; i < 40; ++i) E -= (E - kEcc * std::sin(E) - t) / (1.0 - kEcc * std::cos(E));
    const double d = 1.0 - kEcc * std::cos(E), s = std::sqrt(1.0 - kEcc * kEcc);
    y[0] = std::cos(E) - kEcc;
    y[1] = s * std::sin(E);
    y[2] = -std::sin(E) / d;
    y[3] = s * std::cos(E) / d;
}

double distance_to_exact(double t, const double *y) {
    double exact[4], worst = 0.0;
    kepler_exact(t, exact);
    for (int i = 0; i < 4; ++i) worst = std::fmax(worst, std::fabs(y[i] - exact[i]));
    return worst;
}

// Zero tolerances accept every attempt: fixed steps h.
txtest::OwnedHandle fixed_steps(double h) {
    auto tx = open_quiet(kepler, 4, 0.0, h);
    EXPECT_EQ(TXSetMethod(tx.get(), TX_METHOD_HIGH_ORDER), 1);
    return tx;
}

// Verner's pairs have small leading error terms: the next ones still weigh in where the errors
// stand clear of rounding, so the observed orders lie somewhat above the asymptotic ones (the
// order conditions above hold exactly).  A wrong coefficient would drop them to 4 or less.
TEST(HighOrder, GlobalErrorOfFixedStepsFallsWithAtLeastTheEighthPower) {
    std::vector<double> errors;
    for (int steps : {16, 32, 64}) {
        auto tx = fixed_steps(6.0 / steps);
        double t = 0.0, y[4];
        kepler_exact(0.0, y);
        ASSERT_EQ(TXIntegrate(tx.get(), &t, 6.0, y), 1);
        errors.push_back(distance_to_exact(t, y));
    }
    for (std::size_t i = 0; i + 1 < errors.size(); ++i) {
        const double order = std::log2(errors[i] / errors[i + 1]);
        EXPECT_GT(order, 7.6) << errors[i + 1];
        EXPECT_LT(order, 10.5) << errors[i + 1];
    }
}

TEST(HighOrder, InterpolantErrorFallsWithAtLeastTheNinthPowerOfTheStep) {
    const double t0 = 1.5;
    for (double theta : {0.3, 0.8}) {
        std::vector<double> errors;
        for (double h : {0.8, 0.4, 0.2}) {
            auto tx = fixed_steps(h);
            double t = t0, y[4], sample[4];
            kepler_exact(t0, y);
            ASSERT_EQ(TXStep(tx.get(), &t, y), 1);
            ASSERT_EQ(TXInterpolate(tx.get(), t0 + theta * h, sample), 1);
            errors.push_back(distance_to_exact(t0 + theta * h, sample));
            // The ends of the step.
            ASSERT_EQ(TXInterpolate(tx.get(), t0, sample), 1);
            EXPECT_EQ(sample[1], tx->yfirst[1]);
            ASSERT_EQ(TXInterpolate(tx.get(), tx->tlast, sample), 1);
            EXPECT_NEAR(sample[1], y[1], 1e-13);
        }
        for (std::size_t i = 0; i + 1 < errors.size(); ++i)
            EXPECT_GT(std::log2(errors[i] / errors[i + 1]), 8.2) << "theta " << theta;
    }
}

// ---- costs, guards and switching ----

long g_calls = 0;

void counted_kepler(double t, double *y, double *f) {
    ++g_calls;
    kepler(t, y, f);
}

void not_a_number(double, double *, double *f) { f[0] = std::numeric_limits<double>::quiet_NaN(); }

TEST(HighOrder, ThirteenEvaluationsPerStepAndEightForTheInterpolantOfAStep) {
    auto tx = open_quiet(counted_kepler, 4, 0.0, 0.1);
    double t = 0.0, y[4], sample[4];
    kepler_exact(0.0, y);
    ASSERT_EQ(TXSetMethod(tx.get(), TX_METHOD_HIGH_ORDER), 1);
    g_calls = 0;
    ASSERT_EQ(TXStep(tx.get(), &t, y), 1);
    EXPECT_EQ(g_calls, 13);
    ASSERT_EQ(TXInterpolate(tx.get(), 0.05, sample), 1);
    ASSERT_EQ(TXInterpolate(tx.get(), 0.07, sample), 1);
    EXPECT_EQ(g_calls, 13 + 8);
    // Switched between steps: the last step keeps its dense output, the next is the 6(5) pair's.
    double before[4], after[4];
    ASSERT_EQ(TXInterpolate(tx.get(), 0.03, before), 1);
    ASSERT_EQ(TXSetMethod(tx.get(), TX_METHOD_RK65), 1);
    ASSERT_EQ(TXInterpolate(tx.get(), 0.03, after), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(after[i], before[i]);
    g_calls = 0;
    ASSERT_EQ(TXStep(tx.get(), &t, y), 1);
    ASSERT_EQ(TXInterpolate(tx.get(), t - 0.05, sample), 1);
    EXPECT_EQ(g_calls, 8 + 4);
    // Unknown methods are refused and change nothing.
    for (int method : {-1, 2}) {
        EXPECT_EQ(TXSetMethod(tx.get(), method), 0);
        EXPECT_EQ(TXErrorTraxis(tx.get()), TX_ERR_UNKNOWN_METHOD);
    }
    g_calls = 0;
    ASSERT_EQ(TXStep(tx.get(), &t, y), 1);
    EXPECT_EQ(g_calls, 8);
}

void kepler_jac(double, double *y, double **J) {
    const double r2 = y[0] * y[0] + y[1] * y[1], r = std::sqrt(r2), r5 = r2 * r2 * r;
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) J[i][k] = (i < 2 && k == i + 2) ? 1.0 : 0.0;
    J[2][0] = (2.0 * y[0] * y[0] - y[1] * y[1]) / r5;
    J[2][1] = J[3][0] = 3.0 * y[0] * y[1] / r5;
    J[3][1] = (2.0 * y[1] * y[1] - y[0] * y[0]) / r5;
}

TEST(HighOrder, VariationalSubHandleFollowsTheMethodOfItsHandle) {
    auto tx = open_quiet(counted_kepler, 4, 0.0, 0.1);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), kepler_jac, 0), 1);
    Matrix phi{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    double t = 0.0, y[4];
    kepler_exact(0.0, y);
    for (int method : {TX_METHOD_HIGH_ORDER, TX_METHOD_RK65}) {
        ASSERT_EQ(TXSetMethod(tx.get(), method), 1);
        g_calls = 0;
        ASSERT_EQ(TXVarStep(tx.get(), &t, y, phi.ptr()), 1);
        EXPECT_EQ(g_calls, method == TX_METHOD_HIGH_ORDER ? 13 : 8);
    }
}

TEST(HighOrder, NonFiniteAttemptsAreRejectedUntilTheStepUnderflows) {
    for (double rtol : {1e-8, 0.0}) {
        auto tx = open_quiet(not_a_number, 1, rtol, 0.1);
        ASSERT_EQ(TXSetMethod(tx.get(), TX_METHOD_HIGH_ORDER), 1);
        double t = 0.0, y = 1.0;
        EXPECT_EQ(TXStep(tx.get(), &t, &y), 0);
        EXPECT_EQ(TXErrorTraxis(tx.get()), TX_ERR_STEP_TOO_SMALL);
        EXPECT_EQ(TXIntegrate(tx.get(), &t, 1.0, &y), 0);
        EXPECT_EQ(TXErrorTraxis(tx.get()), TX_ERR_STEP_TOO_SMALL);
        EXPECT_EQ(t, 0.0);
        EXPECT_EQ(y, 1.0);
    }
}

TEST(HighOrder, StepsRespectHmax) {
    auto tx = open_quiet(kepler, 4, 1e-6, 0.5);
    ASSERT_EQ(TXSetMethod(tx.get(), TX_METHOD_HIGH_ORDER), 1);
    ASSERT_EQ(TXSetMaxStep(tx.get(), 0.01), 1);
    double t = 0.0, y[4];
    kepler_exact(0.0, y);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(TXStep(tx.get(), &t, y), 1);
        EXPECT_EQ(tx->h, 0.01);
    }
    EXPECT_NEAR(t, 0.2, 1e-15);
    EXPECT_LE(distance_to_exact(t, y), 1e-13);
}

// ---- agreement with the 6(5) pair ----

void lorenz(double, double *y, double *f) {
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (28.0 - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}

TEST(HighOrder, LorenzLyapunovSpectrumAgreesWithTheDefaultPair) {
    // Ten time units: both methods follow the same trajectory (it separates at the rate of the
    // largest exponent from the tolerance 1e-11), so their finite-time exponents must agree.
    double spectra[2][3];
    for (int method : {TX_METHOD_RK65, TX_METHOD_HIGH_ORDER}) {
        auto tx = open_quiet(lorenz, 3, 1e-11, 0.01);
        ASSERT_EQ(TXSetMethod(tx.get(), method), 1);
        double t = 0.0, y[3] = {1.0, 1.0, 1.0};
        ASSERT_EQ(TXLyapCalc(tx.get(), &t, y, 1e-6, 0.1, 0, 100, spectra[method], 3), 1);
    }
    // The sum is the divergence -(10 + 1 + 8/3) over any interval.
    for (const double *s : spectra)
        EXPECT_NEAR((s[0] + s[1] + s[2]) * std::log(2.0), -(11.0 + 8.0 / 3.0), 1e-5);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(spectra[1][i], spectra[0][i], 1e-3) << i;
}

// Van der Pol, mu = 1: a limit cycle of period 6.6632868593..., crossing y[1] = 0 twice per turn.
void van_der_pol(double, double *y, double *f) {
    f[0] = y[1];
    f[1] = (1.0 - y[0] * y[0]) * y[1] - y[0];
}

void van_der_pol_jac(double, double *y, double **J) {
    J[0][0] = 0.0;
    J[0][1] = 1.0;
    J[1][0] = -2.0 * y[0] * y[1] - 1.0;
    J[1][1] = 1.0 - y[0] * y[0];
}

double velocity(double, double *y) { return y[1]; }

TEST(HighOrder, PeriodicOrbitAgreesWithTheDefaultPair) {
    double period[2], multiplier[2], point[2];
    for (int method : {TX_METHOD_RK65, TX_METHOD_HIGH_ORDER}) {
        auto tx = open_quiet(van_der_pol, 2, 1e-10, 0.01);
        ASSERT_EQ(TXSetMethod(tx.get(), method), 1);
        ASSERT_EQ(TXVarOpenTraxis(tx.get(), van_der_pol_jac, 0), 1);
        TXSetCut(tx.get(), velocity, 1e-10);
        tx->NewtAbsTol = 1e-7;
        Matrix phi(2, 2);
        double y[2] = {2.0, 0.0};
        ASSERT_EQ(TXAutoOrbit(tx.get(), 0.0, y, phi.ptr(), 1, &period[method]), 1);
        double er[2], ei[2];
        ASSERT_EQ(TXEigen(tx.get(), 2, phi.ptr(), er, ei), 1);
        SORTEIG(er, ei, 2);
        EXPECT_NEAR(er[1], 1.0, 1e-7);
        multiplier[method] = er[0];
        point[method] = y[0];
    }
    EXPECT_NEAR(period[0], 6.663286859323130, 1e-8);
    EXPECT_NEAR(period[1], period[0], 1e-9);
    EXPECT_NEAR(multiplier[1], multiplier[0], 1e-9);
    EXPECT_NEAR(point[1], point[0], 1e-9);
}

}  // namespace
