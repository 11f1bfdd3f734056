// The flat interface on the library-wide handle.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "systems.hpp"
#include "tx.h"

namespace {

using txtest::oscillator;

double velocity(double, double *y) { return y[1]; }  // x'' = -x from (0, 1): v = 0 at t = pi/2

// The binding handle, opened quiet for the test and closed at its end.
struct Bound {
    Bound(int n = 2) {
        EXPECT_EQ(openTraxis(n, 1e-10, 0.01), 1);
        oldtx->TerminateOnFatalError = 0;
    }
    ~Bound() {
        if (oldtx) {
            EXPECT_EQ(closeTraxis(), 1);
        }
    }
};

TEST(Binding, SettersAreStricterThanTheHandleOperations) {
    Bound b;
    EXPECT_EQ(set_tol(0.0), 0);
    EXPECT_EQ(errorTraxis(), TX_ERR_TOLERANCE);
    EXPECT_EQ(TXSetRelTol(oldtx, 0.0), 1);  // the handle operation accepts 0
    EXPECT_EQ(set_abs_tol(0.0), 0);
    EXPECT_EQ(errorTraxis(), TX_ERR_TOLERANCE);
    EXPECT_EQ(set_max_step(0.0), 0);
    EXPECT_EQ(errorTraxis(), TX_ERR_MAX_STEP);
    EXPECT_EQ(errorTraxis(), TX_ERR_MAX_STEP);  // reading the code does not clear it
    EXPECT_EQ(set_tol(1e-8), 1);
    EXPECT_EQ(oldtx->RelTol, 1e-8);
    EXPECT_EQ(errorTraxis(), 0);
}

TEST(Binding, StoredRightHandSideServesLaterCalls) {
    Bound b;
    double t = 0.0, y[2] = {1.0, 0.0};
    EXPECT_EQ(interpolate(0.0, y, nullptr), 0);  // nothing stored yet
    EXPECT_EQ(errorTraxis(), TX_ERR_NO_RHS);
    ASSERT_EQ(integrate(&t, 1.0, y, oscillator), 1);
    EXPECT_NEAR(y[0], std::cos(1.0), 1e-9);

    // Dense output on the last step, through the wrapper without a function and through the
    // handle operation, evaluates the stored right-hand side.
    const double mid = 0.5 * (oldtx->tfirst + oldtx->tlast);
    double a[2], c[2];
    ASSERT_EQ(interpolate(mid, a, nullptr), 1);
    ASSERT_EQ(TXInterpolate(oldtx, mid, c), 1);
    EXPECT_NEAR(a[0], std::cos(mid), 1e-9);
    EXPECT_EQ(a[0], c[0]);
    EXPECT_EQ(a[1], c[1]);

    // The tables reach theirs.
    t = 0.0;
    y[0] = 1.0;
    y[1] = 0.0;
    static std::vector<double> xs;
    xs.clear();
    ASSERT_EQ(ftableg(&t, 3.0, 3, y, nullptr, [](double, double *v) { xs.push_back(v[0]); }), 1);
    ASSERT_EQ(xs.size(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(xs[k], std::cos(k), 1e-8);
}

TEST(Binding, SectionsWithAnyTolerance) {
    Bound b;
    double t = 0.0, y[2] = {0.0, 1.0};
    ASSERT_EQ(set_max_step(0.5), 1);
    int crossed = 0;
    for (int i = 0; i < 1000 && !crossed; ++i)
        crossed = poincare_step(&t, y, oscillator, velocity, 1e-9);
    ASSERT_EQ(crossed, 1);
    EXPECT_NEAR(t, M_PI / 2, 1e-8);
    EXPECT_NEAR(y[0], 1.0, 1e-8);

    // No tolerance check: 0, a negative one and NaN are stored, and the search still ends,
    // also without a cap on the halvings.
    for (int cap : {100, 0}) {
        ASSERT_EQ(set_max_poincare_steps(cap), 1);
        for (double eps : {0.0, -1e-6, std::numeric_limits<double>::quiet_NaN()}) {
            SCOPED_TRACE(std::to_string(cap) + " " + std::to_string(eps));
            t = 0.0;
            y[0] = 0.0;
            y[1] = 1.0;
            int result = 0, steps = 0;
            do {
                result = poincare_step(&t, y, oscillator, velocity, eps);
            } while (result == 0 && errorTraxis() == 0 && ++steps < 1000);
            EXPECT_EQ(result, 0);
            EXPECT_EQ(errorTraxis(), TX_ERR_NO_BRACKET);
            EXPECT_LT(std::fabs(t - M_PI / 2), 0.5);  // it ended at the crossing it could not meet
            EXPECT_TRUE(oldtx->CutEps == eps || (std::isnan(eps) && std::isnan(oldtx->CutEps)));
        }
    }

    // The automatic hyperplane through a point, normal to the flow there.
    double p[2] = {0.0, -1.0}, state[2], normal[2];
    ASSERT_EQ(set_auto_cut(0.0, p, oscillator), 1);
    ASSERT_EQ(cut_surface(state, normal), 1);
    EXPECT_EQ(normal[0], -1.0);
    double q[2] = {-0.5, 3.0};
    EXPECT_EQ(auto_cut(0.0, q), 0.5);
}

TEST(Binding, OpenReplacesAndCloseForgets) {
    Bound b;
    Traxis first = oldtx;
    ASSERT_EQ(openTraxis(3, 1e-8, 0.1), 1);
    EXPECT_NE(oldtx, first);
    EXPECT_EQ(order(), 3);
    EXPECT_EQ(TXCloseTraxis(first), 1);  // the replaced handle was left open, and still works
    EXPECT_EQ(closeTraxis(), 1);
    EXPECT_EQ(oldtx, nullptr);
    EXPECT_EXIT(order(), testing::ExitedWithCode(1), "'order': Traxis not opened");
    EXPECT_EXIT(openTraxis(0, 1e-8, 0.1), testing::ExitedWithCode(1),
                "'TXOpenTraxis': Order of dynamical system not positive");
}

TEST(Binding, WrappersNeedAnOpenHandle) {
    ASSERT_EQ(oldtx, nullptr);
    double t = 0, y[2] = {0, 0}, e[2];
    // One child process each, so a few stand for all: a code, a double, files, a stream.
    const std::vector<std::pair<const char *, std::function<void()>>> wrappers = {
        {"errorTraxis", [] { errorTraxis(); }},
        {"auto_cut", [&] { auto_cut(t, y); }},
        {"lyap_calc_file", [&] { lyap_calc_file("x", &t, y, 1e-6, 1, 0, 1, oscillator, e, 1, 1); }},
        {"ftablea", [&] { ftablea(stdout, "666", &t, 1, 1, y, oscillator); }},
    };
    for (const auto &[name, call] : wrappers)
        EXPECT_EXIT(call(), testing::ExitedWithCode(1),
                    std::string("'") + name + "': Traxis not opened");
}

}  // namespace
