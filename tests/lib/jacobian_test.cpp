// Difference Jacobians: values, restoration of the perturbed variables, evaluation counts.
#include <gtest/gtest.h>

#include "owned_handle.hpp"
#include "tx.h"

namespace {

using txtest::open_quiet;

constexpr double kM[3][3] = {{2.0, -1.0, 0.5}, {0.0, 3.0, -4.0}, {1.5, 0.25, -2.0}};
double g_p[2] = {0.7, -1.3};
long g_evaluations = 0;

// f = M y + (p0, p0 p1, 0)
void affine(double, double *y, double *f) {
    ++g_evaluations;
    for (int i = 0; i < 3; ++i) f[i] = kM[i][0] * y[0] + kM[i][1] * y[1] + kM[i][2] * y[2];
    f[0] += g_p[0];
    f[1] += g_p[0] * g_p[1];
}

struct Grid {
    double cell[3][3];
    double *rows[3] = {cell[0], cell[1], cell[2]};
    explicit Grid(double fill) {
        for (auto &r : cell)
            for (double &v : r) v = fill;
    }
};

TEST(NumJac, LinearFieldGivesItsMatrixAndPutsTheStateBack) {
    auto tx = open_quiet(affine, 3, 1e-6, 0.01);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), nullptr, 1e-4, 2, nullptr, 1e-5, &g_p[0], &g_p[1]), 1);
    double y[3] = {0.3, -1.7, 2.9};
    const double y_before[3] = {0.3, -1.7, 2.9};
    Grid J(-99.0);
    g_evaluations = 0;
    ASSERT_EQ(TXNumJac(tx.get(), 0.0, y, J.rows), 1);
    EXPECT_EQ(g_evaluations, 3 + 1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_DOUBLE_EQ(y[k], y_before[k]);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(J.cell[k][i], kM[k][i], 1e-10) << k << "," << i;
    }

    Grid P(-99.0);
    g_evaluations = 0;
    ASSERT_EQ(TXNumParamJac(tx.get(), 0.0, y, P.rows), 1);
    EXPECT_EQ(g_evaluations, 2 + 1);
    EXPECT_NEAR(P.cell[0][0], 1.0, 1e-10);
    EXPECT_NEAR(P.cell[1][0], g_p[1], 1e-9);
    EXPECT_NEAR(P.cell[1][1], g_p[0], 1e-9);
    EXPECT_NEAR(P.cell[2][1], 0.0, 1e-10);
    EXPECT_EQ(P.cell[0][2], -99.0);  // only nparam columns
    EXPECT_DOUBLE_EQ(g_p[0], 0.7);
    EXPECT_DOUBLE_EQ(g_p[1], -1.3);
}

TEST(NumJac, NoParametersMeansOneEvaluationAndNoWrites) {
    auto tx = open_quiet(affine, 3, 1e-6, 0.01);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), nullptr, 1e-4, 0), 1);
    double y[3] = {1.0, 2.0, 3.0};
    Grid P(-99.0);
    g_evaluations = 0;
    ASSERT_EQ(TXNumParamJac(tx.get(), 0.0, y, P.rows), 1);
    EXPECT_EQ(g_evaluations, 1);
    EXPECT_EQ(P.cell[0][0], -99.0);
}

TEST(NumJac, WithoutSubHandleTheCodeIsLeftOnTheHandle) {
    auto tx = open_quiet(affine, 3, 1e-6, 0.01);
    double y[3] = {1.0, 2.0, 3.0};
    Grid J(0.0);
    g_evaluations = 0;
    EXPECT_EQ(TXNumJac(tx.get(), 0.0, y, J.rows), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NOT_OPENED);
    EXPECT_EQ(TXNumParamJac(tx.get(), 0.0, y, J.rows), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NOT_OPENED);
    EXPECT_EQ(g_evaluations, 0);
}

long g_cuts = 0;

double plane(double, double *y) {  // 2 y0 - y1 + 3 y2 + p0 p1
    ++g_cuts;
    return 2.0 * y[0] - y[1] + 3.0 * y[2] + g_p[0] * g_p[1];
}

TEST(NumCutJac, GradientInStateAndBothParameters) {
    auto tx = open_quiet(affine, 3, 1e-6, 0.01);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), nullptr, 1e-4, 0), 1);
    tx->cut = plane;
    double y[3] = {0.3, -1.7, 2.9}, j[5];
    g_cuts = 0;
    ASSERT_EQ(TXNumCutJac(tx.get(), 0.0, y, &g_p[0], &g_p[1], j), 1);
    EXPECT_EQ(g_cuts, 3 + 3);
    EXPECT_NEAR(j[0], 2.0, 1e-10);
    EXPECT_NEAR(j[1], -1.0, 1e-10);
    EXPECT_NEAR(j[2], 3.0, 1e-10);
    EXPECT_NEAR(j[3], g_p[1], 1e-10);  // both parameters by JacPert
    EXPECT_NEAR(j[4], g_p[0], 1e-10);
    EXPECT_DOUBLE_EQ(y[1], -1.7);
    EXPECT_DOUBLE_EQ(g_p[0], 0.7);
    EXPECT_DOUBLE_EQ(g_p[1], -1.3);
}

TEST(NumCutJac, AutomaticHyperplaneHasTheFieldAsGradient) {
    auto tx = open_quiet(affine, 3, 1e-6, 0.01);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), nullptr, 1e-4, 0), 1);
    double y[3] = {1.0, 1.0, 1.0}, j[5] = {0, 0, 0, -9.0, -9.0};
    EXPECT_EQ(TXNumCutJac(tx.get(), 0.0, y, &g_p[0], &g_p[1], j), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_SECTION);
    EXPECT_EQ(j[3], -9.0);

    ASSERT_EQ(TXSetAutoCut(tx.get(), 0.0, y), 1);
    ASSERT_EQ(TXNumCutJac(tx.get(), 0.0, y, &g_p[0], &g_p[1], j), 1);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(j[i], tx->ivector[i], 1e-10);
    EXPECT_EQ(j[3], 0.0);
    EXPECT_EQ(j[4], 0.0);
}

}  // namespace
