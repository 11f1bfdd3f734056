// Two-parameter continuation of equilibrium bifurcations along curves known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "curve_log.hpp"
#include "memory_stream.hpp"
#include "owned_handle.hpp"
#include "tx.h"

namespace {

using txtest::CurveLog;
using txtest::CurvePoint;
using txtest::OwnedHandle;

// The cusp x' = m1 + m2 x - x^3, y' = x - y: folds where m2 = 3x^2 and m1 = -2x^3, the curve
// 27 m1^2 = 4 m2^3 in the parameter plane, smooth in (x, m1, m2) through the cusp at 0.
thread_local double g_m1 = 0.0, g_m2 = 0.0;
void cusp(double, double *y, double *f) {
    f[0] = g_m1 + g_m2 * y[0] - y[0] * y[0] * y[0];
    f[1] = y[0] - y[1];
}
void cusp_jac(double, double *y, double **J) {
    J[0][0] = g_m2 - 3.0 * y[0] * y[0], J[0][1] = 0.0;
    J[1][0] = 1.0, J[1][1] = -1.0;
}
void cusp_param_jac(double, double *y, double **P) {
    P[0][0] = 1.0, P[0][1] = y[0];
    P[1][0] = 0.0, P[1][1] = 0.0;
}

// The Brusselator x' = a - (b + 1) x + x^2 y, y' = b x - x^2 y: equilibrium (a, b/a), whose
// eigenvalues cross the imaginary axis on b = 1 + a^2.
thread_local double g_a = 0.0, g_b = 0.0;
void brusselator(double, double *y, double *f) {
    const double xxy = y[0] * y[0] * y[1];
    f[0] = g_a - (g_b + 1.0) * y[0] + xxy;
    f[1] = g_b * y[0] - xxy;
}

// Parameters p, q registered in this order; difference Jacobians when jac is null.  The record
// holds the start point (x, y).
OwnedHandle open_curve(fcn_t f, jac_t jac, jac_t pjac, double *p, double *q, double x, double y) {
    OwnedHandle tx = txtest::open_quiet(f, 2, 1e-9, 0.01);
    if (jac)
        TXVarOpenTraxis(tx.get(), jac, 2, pjac, p, q);
    else
        TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 2, nullptr, 1e-7, p, q);
    tx->LambdaNewtRelTol = 1e-8;
    tx->LambdaNewtAbsTol = 1e-10;
    tx->txb = TXCreateBif(tx.get());
    tx->txb->y[0] = x;
    tx->txb->y[1] = y;
    return tx;
}

OwnedHandle open_cusp() {
    g_m1 = 2.0, g_m2 = 3.0;
    return open_curve(cusp, cusp_jac, cusp_param_jac, &g_m1, &g_m2, -1.0, -1.0);
}

TEST(Equi2DCont, CuspFoldCurvePointByPointThroughTheCusp) {
    OwnedHandle tx = open_cusp();
    tx->MaxContSteps = 50;
    double dc = -0.1;  // the first tangent raises m2: reversed, the run heads for the cusp
    CurveLog log;
    txtest::MemoryStream state;
    ASSERT_EQ(TXEqui2DCont(tx.get(), &g_m1, &g_m2, &dc, 1 | 4, state.get(),
                           txtest::log_curve_point, nullptr),
              1);
    EXPECT_EQ(dc, 0.1);
    EXPECT_EQ(tx->txb->cindi[0], 4);

    const std::vector<CurvePoint> &p = log.points;
    ASSERT_EQ(p.size(), 51u);
    // The given point comes first as step 0; so does the first point taken.
    EXPECT_EQ(p[0].c1, 2.0);
    EXPECT_EQ(p[0].c2, 3.0);
    for (std::size_t k = 0; k < p.size(); ++k) {
        EXPECT_EQ(p[k].steps, k == 0 ? 0 : static_cast<int>(k) - 1);
        const double x = p[k].y[0];
        EXPECT_NEAR(p[k].c2, 3.0 * x * x, 1e-8) << k;
        EXPECT_NEAR(p[k].c1, -2.0 * x * x * x, 1e-8) << k;
        EXPECT_NEAR(p[k].y[1], x, 1e-8) << k;
        if (k > 0) {
            EXPECT_GT(x, p[k - 1].y[0]) << k;
        }
    }
    EXPECT_GT(p.back().y[0], 0.4);  // through the cusp onto the other fold
    EXPECT_LT(p.back().c1, 0.0);
    const std::string text = state.text();
    EXPECT_LT(text.find("   Step: 0"), text.find("   Stepsize: 0.1 "));
}

TEST(Equi2DCont, StepHalvesOnFailureAndGrowsByExactlyAQuarterUpToItsEntryValue) {
    OwnedHandle tx = open_cusp();
    tx->MaxContSteps = 16;
    double dc = -1.5;  // too long for the turn at the cusp
    CurveLog log(&dc);
    ASSERT_EQ(TXEqui2DCont(tx.get(), &g_m1, &g_m2, &dc, 4, txtest::log_curve_point, nullptr), 1);
    const std::vector<CurvePoint> &p = log.points;
    ASSERT_EQ(p.size(), 17u);
    int grown = 0, halved = 0;
    for (std::size_t k = 2; k < p.size(); ++k) {
        // The step of point k is the grown step of point k - 1, halved j >= 0 times.
        const double grown_step = std::fmin(1.25 * p[k - 1].dc, 1.5);
        const double ratio = grown_step / p[k].dc;
        EXPECT_EQ(ratio, std::exp2(std::round(std::log2(ratio)))) << k;
        EXPECT_GE(ratio, 1.0) << k;
        grown += ratio == 1.0 && p[k].dc > p[k - 1].dc;
        halved += ratio > 1.0;
    }
    EXPECT_GE(halved, 1);
    EXPECT_GE(grown, 5);
    EXPECT_EQ(p.back().dc, 1.5);
    EXPECT_GT(p.back().y[0], 1.0);
    EXPECT_NEAR(p.back().c2, 3.0 * p.back().y[0] * p.back().y[0], 1e-8);
}

TEST(Equi2DCont, BrusselatorHopfCurveFromTheLocatedHopfPoint) {
    // One-parameter run in b at a = 1 up to the Hopf point b = 2, then the Hopf curve from it.
    g_a = 1.0, g_b = 1.5;
    OwnedHandle tx = open_curve(brusselator, nullptr, nullptr, &g_a, &g_b, 1.0, 1.5);
    double y[2] = {1.0, 1.5}, dc = 0.1;
    testing::internal::CaptureStdout();  // TXEquiCont's trace
    const int located = TXEquiCont(tx.get(), y, &g_b, &dc, 1, 0);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(located, 1);
    ASSERT_EQ(tx->txb->biftype, TX_BIF_HOPF);
    g_b = tx->txb->c[1];  // TXEquiCont puts b back to the point before the Hopf point
    EXPECT_NEAR(g_b, 2.0, 1e-6);

    tx->MaxContSteps = 12;
    dc = 0.2;
    CurveLog log;
    ASSERT_EQ(TXEqui2DCont(tx.get(), &g_a, &g_b, &dc, 4, txtest::log_curve_point, nullptr), 1);
    ASSERT_EQ(log.points.size(), 13u);
    for (const CurvePoint &p : log.points) {
        EXPECT_NEAR(p.c2, 1.0 + p.c1 * p.c1, 1e-6) << p.steps;
        EXPECT_NEAR(p.y[0], p.c1, 1e-7) << p.steps;
        EXPECT_NEAR(p.y[1], p.c2 / p.c1, 1e-7) << p.steps;
    }
    EXPECT_GT(log.points.back().c1, 1.5);  // a rose: the tangent moves b up at unit rate
}

TEST(Equi2DCont, RefusalsAndQuietRuns) {
    OwnedHandle tx = open_cusp();
    double dc = 0.1, other = 0.0;
    EXPECT_EQ(TXEqui2DCont(tx.get(), &g_m1, &g_m1, &dc, 0), 0);  // both match, but one parameter
    EXPECT_EQ(tx->ErrorCode, 26);
    EXPECT_EQ(TXEqui2DCont(tx.get(), &g_m1, &other, &dc, 0), 0);
    EXPECT_EQ(tx->ErrorCode, 26);
    for (double bad : {0.0, std::nan("")}) {
        dc = bad;
        EXPECT_EQ(TXEqui2DCont(tx.get(), &g_m1, &g_m2, &dc, 0), 0);
        EXPECT_EQ(tx->ErrorCode, 29);
    }
    // The minimum step ends only runs whose corrector failed: |dc| < mindc here from the start.
    // Null streams and callback count as clear bits.
    dc = 0.1;
    tx->MaxContSteps = 3;
    tx->NewtRelTol = 2.0;
    EXPECT_EQ(TXEqui2DCont(tx.get(), &g_m1, &g_m2, &dc, 7, nullptr, nullptr, nullptr, nullptr), 1);

    TXDestroyBif(tx.get(), tx->txb);
    EXPECT_EQ(TXEqui2DCont(tx.get(), &g_m1, &g_m2, &dc, 0), 0);
    EXPECT_EQ(tx->ErrorCode, 28);
    // A record made before the parameters were registered has no room for them.
    OwnedHandle bare = txtest::open_quiet(cusp, 2, 1e-9, 0.01);
    bare->txb = TXCreateBif(bare.get());
    TXVarOpenTraxis(bare.get(), cusp_jac, 2, cusp_param_jac, &g_m1, &g_m2);
    EXPECT_EQ(TXEqui2DCont(bare.get(), &g_m1, &g_m2, &dc, 0), 0);
    EXPECT_EQ(bare->ErrorCode, 28);
}

}  // namespace
