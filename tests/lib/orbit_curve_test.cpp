// Two-parameter continuation of orbit bifurcations on cycles whose multipliers are known in
// closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "curve_log.hpp"
#include "memory_stream.hpp"
#include "owned_handle.hpp"
#include "turning_pairs.hpp"
#include "tx.h"

namespace {

using txtest::CurveLog;
using txtest::CurvePoint;
using txtest::cut_reach;
using txtest::doubling_cycle;
using txtest::doubling_forced;
using txtest::g_c1;
using txtest::g_c2;
using txtest::g_root;
using txtest::OwnedHandle;
using txtest::section;

// p, q registered in this order; the record holds the point y at time 0 with period T.
OwnedHandle open_orbit(fcn_t f, int n, double *p, double *q, const double *y, double T) {
    OwnedHandle tx = txtest::open_quiet(f, n, 1e-10, 0.01);
    TXSetAbsTol(tx.get(), 1e-11);
    TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 2, nullptr, 1e-7, p, q);
    tx->LambdaNewtRelTol = 1e-7;
    tx->LambdaNewtAbsTol = 1e-9;
    tx->txb = TXCreateBif(tx.get());
    for (int i = 0; i < n; ++i) tx->txb->y[i] = y[i];
    tx->txb->T = T;
    tx->txb->biftype = TX_BIF_PERIOD_DOUBLING;
    return tx;
}

// On the circle at (-0.6, 0.8), where both parameters rise along the curve.
OwnedHandle open_cycle(bool swapped) {
    g_c1 = -0.6, g_c2 = 0.8;
    const double y[3] = {1.2, 0.0, 0.0};
    if (swapped) return open_orbit(doubling_cycle, 3, &g_c2, &g_c1, y, 1.0 / 0.7);
    return open_orbit(doubling_cycle, 3, &g_c1, &g_c2, y, 1.0 / 0.7);
}

void expect_on_circle(const CurvePoint &p) {
    EXPECT_NEAR(p.c1 * p.c1 + p.c2 * p.c2, 1.0, 1e-6) << p.steps;
    EXPECT_NEAR(p.T, 1.0 / (1.0 + 0.5 * p.c1), 1e-8) << p.steps;
    EXPECT_NEAR(p.y[0], 1.0 + 0.25 * p.c2, 1e-8) << p.steps;
    EXPECT_NEAR(p.y[1], 0.0, 1e-9) << p.steps;  // on the section
    EXPECT_NEAR(p.y[2], 0.0, 1e-8) << p.steps;
}

TEST(Auto2DCont, PeriodDoublingCurveWithItsPeriodInEitherRegistrationOrder) {
    std::vector<CurvePoint> runs[2];
    for (int swapped = 0; swapped < 2; ++swapped) {
        OwnedHandle tx = open_cycle(swapped == 1);
        TXSetCut(tx.get(), section, 1e-10);
        tx->MaxContSteps = 10;
        double dc = 0.1;
        CurveLog log;
        ASSERT_EQ(TXAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 4, txtest::log_curve_point, nullptr),
                  1);
        EXPECT_EQ(tx->nparam, 2);
        EXPECT_EQ(tx->txb->cindi[0], 2);
        runs[swapped] = log.points;
    }
    const std::vector<CurvePoint> &p = runs[0];
    ASSERT_EQ(p.size(), 11u);
    for (std::size_t k = 0; k < p.size(); ++k) {
        expect_on_circle(p[k]);
        if (k > 1) {
            EXPECT_GT(p[k].c1, p[k - 1].c1 + 0.04) << k;  // along the circle, the period falling
            EXPECT_LT(p[k].T, p[k - 1].T) << k;
        }
        // The same points up to the noise of difference quotients over integrated periods.
        EXPECT_NEAR(p[k].c1, runs[1][k].c1, 1e-5) << k;
        EXPECT_NEAR(p[k].T, runs[1][k].T, 1e-5) << k;
    }
    EXPECT_GT(p.back().c1, 0.1);  // past the top of the circle, where c2 turns back
    EXPECT_LT(p.back().c2, p[p.size() - 2].c2);
}

TEST(Auto2DCont, APointThatCannotReachTheSectionIsNeverTaken) {
    // Beyond c1 = -0.45 there is no section: predictions there fail until the step is at its
    // minimum.
    OwnedHandle tx = open_cycle(false);
    cut_reach = -0.45;
    TXSetCut(tx.get(), section, 1e-10);
    tx->NewtRelTol = 1e-3;
    tx->MaxContSteps = 20;
    double dc = 0.1;
    CurveLog log;
    const int result =
        TXAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 4, txtest::log_curve_point, nullptr);
    cut_reach = 10.0;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(tx->ErrorCode, 29);
    EXPECT_EQ(tx->nparam, 2);
    ASSERT_GE(log.points.size(), 3u);
    for (const CurvePoint &p : log.points) {
        EXPECT_LT(p.c1, -0.45);
        expect_on_circle(p);
    }
    EXPECT_GT(log.points.back().c1, -0.46);

    // No section at all is refused before anything is written; so is a missing record.
    tx->cut = nullptr;
    EXPECT_EQ(TXAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 0), 0);
    EXPECT_EQ(tx->ErrorCode, 8);
    TXDestroyBif(tx.get(), tx->txb);
    EXPECT_EQ(TXAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 0), 0);
    EXPECT_EQ(tx->ErrorCode, 28);
}

// The forced run from (0, 0) along l1 = 0, with the state stream.
std::vector<CurvePoint> follow_forced(double root, int steps, std::string &state_text) {
    g_root = root;
    g_c1 = 0.0, g_c2 = 0.0;
    const double y[2] = {1.0, 0.0};
    OwnedHandle tx = open_orbit(doubling_forced, 2, &g_c1, &g_c2, y, 1.0);
    tx->MaxContSteps = steps;
    double dc = 0.05;
    CurveLog log;
    txtest::MemoryStream state;
    EXPECT_EQ(TXNonAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 1 | 4, state.get(),
                              txtest::log_curve_point, nullptr),
              1);
    EXPECT_EQ(tx->nparam, 2);
    EXPECT_EQ(tx->txb->T, 1.0);
    state_text = state.text();
    return log.points;
}

// Points written twice under one step number (after the first, which repeats the start's 0).
std::vector<CurvePoint> codimension_two(const std::vector<CurvePoint> &p) {
    std::vector<CurvePoint> found;
    for (std::size_t k = 2; k < p.size(); ++k)
        if (p[k].steps == p[k - 1].steps) found.push_back(p[k]);
    return found;
}

TEST(NonAuto2DCont, ReportsWhereBothMultipliersReachMinusOneOnceAndGoesOn) {
    std::string text;
    const std::vector<CurvePoint> p = follow_forced(1.5, 40, text);
    for (const CurvePoint &q : p) {
        EXPECT_NEAR(q.c1, 0.2 * q.c2 * q.c2, 1e-7) << q.steps;  // l1 = 0
        EXPECT_NEAR(q.y[0], 1.0 + 0.5 * (q.c1 + q.c2), 1e-8) << q.steps;
    }
    const std::vector<CurvePoint> found = codimension_two(p);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(txtest::occurrences(text, "Searching for Co-dimension 2\n"), 2);
    EXPECT_EQ(txtest::occurrences(text, " ---- CO-DIMENSION 2 ----\n"), 2);
    EXPECT_NEAR(found[0].c2, 0.6, 1e-6);
    EXPECT_NEAR(found[0].c1, 0.072, 1e-6);
    EXPECT_NEAR(found[1].c2, 1.5, 1e-6);
    EXPECT_NEAR(found[1].c1, 0.45, 1e-6);
    EXPECT_GT(found[1].steps - found[0].steps, 10);
    EXPECT_GT(p.back().c2, 1.6);  // on past both
    EXPECT_EQ(p.size(), 41u + found.size());
}

TEST(NonAuto2DCont, FromThePeriodDoublingThatTheOneParameterRunLocated) {
    g_root = 10.0;
    g_c1 = -0.3, g_c2 = 0.0;
    double y[2] = {0.8, 0.1}, dc = 0.05;  // near the orbit through (0.85, 0)
    OwnedHandle tx = open_orbit(doubling_forced, 2, &g_c1, &g_c2, y, 1.0);
    tx->NewtAbsTol = 1e-9;  // y[1] passes through 0
    tx->CheckBifs = 0;      // linear in the pair: no doubled orbit to classify the point by
    ASSERT_EQ(TXNonAutoCont(tx.get(), 0.0, y, 1.0, &g_c1, &dc, 1, 0), 1);
    EXPECT_NEAR(g_c1, 0.0, 1e-6);  // left at the located point, as the record is

    tx->MaxContSteps = 5;
    dc = 0.05;
    CurveLog log;
    ASSERT_EQ(TXNonAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 4, txtest::log_curve_point, nullptr), 1);
    ASSERT_EQ(log.points.size(), 6u);
    for (const CurvePoint &q : log.points) {
        EXPECT_NEAR(q.c1, 0.2 * q.c2 * q.c2, 1e-6) << q.steps;
        EXPECT_NEAR(q.y[0], 1.0 + 0.5 * (q.c1 + q.c2), 1e-6) << q.steps;
    }
    EXPECT_GT(log.points.back().c2, 0.2);
}

TEST(NonAuto2DCont, NoSecondReportWithinTenSteps) {
    // The second zero of l2 comes six steps after the first.
    std::string text;
    const std::vector<CurvePoint> p = follow_forced(0.9, 24, text);
    ASSERT_EQ(codimension_two(p).size(), 1u);
    EXPECT_EQ(txtest::occurrences(text, "Searching for Co-dimension 2"), 1);
    EXPECT_GT(p.back().c2, 0.95);
    EXPECT_NEAR(p.back().c1, 0.2 * p.back().c2 * p.back().c2, 1e-7);
}

TEST(NonAuto2DCont, MinimumStepAfterEveryCorrectorRunAndRefusedPeriods) {
    // A step below NewtRelTol |dc| from the start ends the run after its first, converged,
    // corrector run; the parameter count is back.
    g_c1 = 0.0, g_c2 = 0.0;
    const double y[2] = {1.0, 0.0};
    OwnedHandle tx = open_orbit(doubling_forced, 2, &g_c1, &g_c2, y, 1.0);
    tx->NewtRelTol = 2.0;
    double dc = 0.05;
    CurveLog log;
    EXPECT_EQ(TXNonAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 4, txtest::log_curve_point, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, 29);
    EXPECT_EQ(tx->nparam, 2);
    EXPECT_EQ(log.points.size(), 1u);
    // A record without a period (as one from an equilibrium run) is refused before any output.
    for (double T : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
        tx->txb->T = T;
        EXPECT_EQ(TXNonAuto2DCont(tx.get(), &g_c1, &g_c2, &dc, 4, txtest::log_curve_point, nullptr),
                  0);
        EXPECT_EQ(tx->ErrorCode, 7);
    }
    EXPECT_EQ(log.points.size(), 1u);
}

}  // namespace
