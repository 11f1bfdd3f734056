// The model's callbacks: gated forcing, right-hand side, noise term and Jacobians.
#include <gtest/gtest.h>

#include <cmath>

#include "detail/random.hpp"
#include "model.h"

namespace {

class Model : public ::testing::Test {
protected:
    void SetUp() override {
        const double p[kModelParams] = {0.7, 0.3, 1.2, 0.4, 0.25};
        for (int i = 0; i < kModelParams; ++i) par[i] = p[i];
        force_on = 10.0;
        force_off = 20.0;
    }
};

TEST_F(Model, GatedForcing) {
    par[2] = 1.0;
    double y[3] = {0.0, 0.0, 0.0}, f[3];
    const double times[] = {0.0, 10.0, 15.0, 20.0};
    const double expected[] = {0.0, 0.5, 1.0, 0.5};
    for (int i = 0; i < 4; ++i) {
        model(times[i], y, f);
        EXPECT_NEAR(force, expected[i], 1e-15) << times[i];
        EXPECT_EQ(f[0], force);
        EXPECT_NEAR(Force_bar(10.0, 20.0, times[i]), expected[i], 1e-15);
    }
    // Never switched on: a short pulse of height 0.25 A around t = 0.
    force_on = force_off = 0.0;
    model(0.0, y, f);
    EXPECT_EQ(force, 0.25);
}

TEST_F(Model, RightHandSide) {
    double y[3] = {2.0, -1.0, 0.5}, f[3];
    model(0.0, y, f);  // forcing off at t = 0
    const double a = 0.7, b = 0.3, c = 0.25;
    EXPECT_NEAR(f[0], a * 2 - 2 * 0.5 - 1.0 - c * 8, 1e-15);
    EXPECT_EQ(f[1], -2.0);
    EXPECT_NEAR(f[2], b * (4 - 0.5), 1e-15);  // rectified term x^2 for x > 0
    y[0] = -1.0;
    model(0.0, y, f);
    EXPECT_EQ(f[2], -b * 0.5);  // and 0 for x < 0

    mnoise[0] = mnoise[1] = mnoise[2] = 7.0;
    model(3.0, y, f);
    EXPECT_EQ(mnoise[0], 1.0);
    EXPECT_EQ(mnoise[1], 0.0);
    EXPECT_EQ(mnoise[2], 0.0);

    EXPECT_EQ(cutfun(123.0, y), -1.0);
}

TEST_F(Model, NoiseTermUsesOneDeviatePerCall) {
    double y[3] = {0.1, 0.2, 0.3}, noise[3] = {9, 9, 9};
    tx::detail::reset_generators();
    lidum = 31;
    const double g1 = gasdev(), g2 = gasdev();
    tx::detail::reset_generators();
    lidum = 31;
    noise_part(0.0, y, noise);
    EXPECT_EQ(noise[0], 0.4 * g1);
    EXPECT_EQ(noise[1], 0.0);
    EXPECT_EQ(noise[2], 0.0);
    noise_part(0.0, y, noise);
    EXPECT_EQ(noise[0], 0.4 * g2);
}

// Central difference of component r of model() in direction k of the state or of par.
double quotient(double *v, int k, const double *y, int r) {
    const double step = 1e-6 * (1 + std::fabs(v[k])), saved = v[k];
    double yy[3] = {y[0], y[1], y[2]}, fp[3], fm[3];
    v[k] = saved + step;
    model(0.0, v == par ? yy : v, fp);
    v[k] = saved - step;
    model(0.0, v == par ? yy : v, fm);
    v[k] = saved;
    return (fp[r] - fm[r]) / (2 * step);
}

TEST_F(Model, JacobiansMatchDifferenceQuotients) {
    const double states[][3] = {{1.3, -0.4, 0.8}, {-0.9, 0.6, -0.2}, {0.05, 2.0, 1.0}};
    for (const auto &s : states) {
        double y[3] = {s[0], s[1], s[2]};
        double jrows[3][3], prows[3][5];
        double *J[3] = {jrows[0], jrows[1], jrows[2]};
        double *P[3] = {prows[0], prows[1], prows[2]};
        for (auto &row : prows)
            for (double &e : row) e = NAN;  // every entry must be written
        jacobian(0.0, y, J);
        parametricJacobian(0.0, y, P);
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(J[r][k], quotient(y, k, y, r), 1e-7) << r << k;
            for (int k = 0; k < 5; ++k) {
                // The forcing amplitude column is 0 by definition: the forcing is left out.
                const double expected = k == 2 ? 0.0 : quotient(par, k, y, r);
                EXPECT_NEAR(P[r][k], expected, 1e-7) << r << k;
            }
        }
    }
    double y[3] = {0.0, 1.0, 1.0}, jrows[3][3];
    double *J[3] = {jrows[0], jrows[1], jrows[2]};
    jacobian(0.0, y, J);
    EXPECT_EQ(J[2][0], 0.0);
    EXPECT_FALSE(std::signbit(J[2][0]));
}

}  // namespace
