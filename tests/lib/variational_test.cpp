// Variational integrator: fundamental matrix, parameter sensitivities, opening and refusals.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "detail/error_stream.hpp"
#include "owned_handle.hpp"
#include "tx.h"

namespace {

using txtest::open_quiet;

// A non-symmetric A, so that a transposed Jacobian or product shows.
constexpr double kA[3][3] = {{-0.3, 1.0, 0.2}, {-1.0, -0.1, 0.0}, {0.4, 0.0, -0.5}};
long g_evaluations = 0;

void linear(double, double *y, double *f) {
    ++g_evaluations;
    for (int i = 0; i < 3; ++i) f[i] = kA[i][0] * y[0] + kA[i][1] * y[1] + kA[i][2] * y[2];
}

void linear_jac(double, double *, double **J) {
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) J[i][k] = kA[i][k];
}

// exp(A T) by scaling, a Taylor series in long double, and squaring: independent of the
// integrator.
using Mat = std::array<std::array<long double, 3>, 3>;

Mat multiply(const Mat &a, const Mat &b) {
    Mat c{};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            for (int l = 0; l < 3; ++l) c[i][k] += a[i][l] * b[l][k];
    return c;
}

Mat expm(double T) {
    const int squarings = 8;
    const long double scale = T / 256.0L;
    Mat term{}, sum{};
    for (int i = 0; i < 3; ++i) term[i][i] = sum[i][i] = 1.0L;
    for (int order = 1; order <= 25; ++order) {
        Mat a{};
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k) a[i][k] = kA[i][k] * scale / order;
        term = multiply(term, a);
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k) sum[i][k] += term[i][k];
    }
    for (int s = 0; s < squarings; ++s) sum = multiply(sum, sum);
    return sum;
}

// Phi storage as rows of m doubles, set to the identity with zero parameter columns.
struct Matrix {
    std::vector<std::vector<double>> rows;
    std::vector<double *> ptr;
    Matrix(int n, int m) : rows(n, std::vector<double>(m, 0.0)), ptr(n) {
        for (int i = 0; i < n; ++i) {
            rows[i][i] = 1.0;
            ptr[i] = rows[i].data();
        }
    }
    double **get() { return ptr.data(); }
    double operator()(int i, int k) const { return rows[i][k]; }
};

TEST(VarIntegrate, FundamentalMatrixOfALinearSystemIsTheExponential) {
    const double T = 2.0;
    const Mat E = expm(T);
    for (jac_t jac : {static_cast<jac_t>(linear_jac), static_cast<jac_t>(nullptr)}) {
        auto tx = open_quiet(linear, 3, 1e-10, 0.01);
        ASSERT_EQ(jac ? TXVarOpenTraxis(tx.get(), jac, 0)
                      : TXVarOpenTraxis(tx.get(), jac, 1e-3, 0),
                  1);
        double t = 0.0, y[3] = {1.0, -0.5, 2.0};
        Matrix phi(3, 3);
        ASSERT_EQ(TXVarIntegrate(tx.get(), &t, T, y, phi.get()), 1);
        EXPECT_EQ(t, T);
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(phi(i, k), static_cast<double>(E[i][k]), jac ? 1e-8 : 1e-7)
                    << i << "," << k << (jac ? " analytic" : " differences");

        auto plain = open_quiet(linear, 3, 1e-10, 0.01);
        double tp = 0.0, yp[3] = {1.0, -0.5, 2.0};
        ASSERT_EQ(TXIntegrate(plain.get(), &tp, T, yp), 1);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(y[i], yp[i], 1e-8);
    }
}

TEST(VarIntegrate, TakesTheStepsOfRepeatedVarSteps) {
    auto a = open_quiet(linear, 3, 1e-9, 0.01);
    auto b = open_quiet(linear, 3, 1e-9, 0.01);
    ASSERT_EQ(TXVarOpenTraxis(a.get(), linear_jac, 0), 1);
    ASSERT_EQ(TXVarOpenTraxis(b.get(), linear_jac, 0), 1);
    double ta = 0.0, ya[3] = {1.0, 0.0, 0.0};
    double tb = 0.0, yb[3] = {1.0, 0.0, 0.0};
    Matrix pa(3, 3), pb(3, 3);
    ASSERT_EQ(TXVarIntegrate(a.get(), &ta, 1.0, ya, pa.get()), 1);
    int steps = 0;
    while (tb < 1.0) {
        ASSERT_EQ(TXVarStep(b.get(), &tb, yb, pb.get()), 1);
        ++steps;
    }
    EXPECT_GT(steps, 3);
    EXPECT_EQ(tb, a->TX->tlast);
    EXPECT_EQ(yb[2], a->TX->ylast[2]);
    EXPECT_EQ(pb(1, 2), a->TX->ylast[3 + 1 * 3 + 2]);  // row 1, column 2 of the packed matrix
    EXPECT_EQ(a->TX->h, b->TX->h);
}

TEST(VarIntegrate, TargetInsideTheFirstStepIsSampledBack) {
    auto tx = open_quiet(linear, 3, 1e-6, 0.1);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), linear_jac, 0), 1);
    double t = 0.0, y[3] = {1.0, 0.0, 0.0};
    Matrix phi(3, 3);
    ASSERT_EQ(TXVarIntegrate(tx.get(), &t, 0.01, y, phi.get()), 1);
    EXPECT_EQ(t, 0.01);
    EXPECT_EQ(tx->TX->tfirst, 0.0);
    EXPECT_EQ(tx->TX->tlast, 0.1);  // one full step at the opening step size
    const Mat E1 = expm(0.01);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(y[i], static_cast<double>(E1[i][0]), 1e-9);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(phi(i, k), static_cast<double>(E1[i][k]), 1e-9);
    }

    // Anywhere on that step afterwards; its ends come back exactly.
    const Mat E5 = expm(0.05);
    ASSERT_EQ(TXVarInterpolate(tx.get(), 0.05, y, phi.get()), 1);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(phi(i, k), static_cast<double>(E5[i][k]), 1e-9);
    ASSERT_EQ(TXVarInterpolate(tx.get(), 0.1, y, phi.get()), 1);
    EXPECT_EQ(phi(2, 1), tx->TX->ylast[3 + 2 * 3 + 1]);
    ASSERT_EQ(TXVarInterpolate(tx.get(), 0.0, y, phi.get()), 1);
    EXPECT_EQ(phi(0, 0), 1.0);
    EXPECT_EQ(phi(0, 1), 0.0);
}

TEST(VarIntegrate, TargetAtTheCurrentTimeChangesNothing) {
    auto tx = open_quiet(linear, 3, 1e-8, 0.01);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), linear_jac, 0), 1);
    double t = 3.0, y[3] = {1.0, 2.0, 3.0};
    Matrix phi(3, 3);
    g_evaluations = 0;
    EXPECT_EQ(TXVarIntegrate(tx.get(), &t, 3.0, y, phi.get()), 1);
    EXPECT_EQ(g_evaluations, 0);
    EXPECT_EQ(tx->TX->StepTaken, 0);
    EXPECT_EQ(y[1], 2.0);
    EXPECT_EQ(phi(1, 1), 1.0);
}

// Damped oscillator x'' = -p0 x - p1 x' with both parameters registered.
double g_p[2] = {2.0, 0.3};

void damped(double, double *y, double *f) {
    f[0] = y[1];
    f[1] = -g_p[0] * y[0] - g_p[1] * y[1];
}

void damped_paramjac(double, double *y, double **P) {
    P[0][0] = 0.0;
    P[0][1] = 0.0;
    P[1][0] = -y[0];
    P[1][1] = -y[1];
}

// Central difference of two plain integrations in parameter q.
std::array<double, 2> parameter_derivative(int q, double T) {
    const double d = 1e-4, saved = g_p[q];
    std::array<double, 2> end[2];
    for (int side = 0; side < 2; ++side) {
        g_p[q] = saved + (side ? d : -d);
        auto tx = open_quiet(damped, 2, 1e-12, 0.01);
        double t = 0.0, y[2] = {1.0, 0.0};
        TXIntegrate(tx.get(), &t, T, y);
        end[side] = {y[0], y[1]};
    }
    g_p[q] = saved;
    return {(end[1][0] - end[0][0]) / (2 * d), (end[1][1] - end[0][1]) / (2 * d)};
}

TEST(VarIntegrate, ActiveParameterColumnsAreTheSensitivities) {
    const double T = 3.0;
    const std::array<double, 2> dp0 = parameter_derivative(0, T);
    const std::array<double, 2> dp1 = parameter_derivative(1, T);
    for (jac_t pj : {static_cast<jac_t>(damped_paramjac), static_cast<jac_t>(nullptr)}) {
        auto tx = open_quiet(damped, 2, 1e-10, 0.01);
        const int opened = pj ? TXVarOpenTraxis(tx.get(), nullptr, 1e-3, 2, pj, &g_p[0], &g_p[1])
                              : TXVarOpenTraxis(tx.get(), nullptr, 1e-3, 2, pj, 1e-3, &g_p[0],
                                                &g_p[1]);
        ASSERT_EQ(opened, 1);

        // Only the second flag: column n of every row belongs to p1.
        tx->cp[1] = 1;
        double t = 0.0, y[2] = {1.0, 0.0};
        Matrix one(2, 3);
        ASSERT_EQ(TXVarIntegrate(tx.get(), &t, T, y, one.get()), 1);
        EXPECT_NEAR(one(0, 2), dp1[0], 1e-6);
        EXPECT_NEAR(one(1, 2), dp1[1], 1e-6);

        // Both flags: the columns follow the registration order; the row length grows to 4.
        tx->cp[0] = 1;
        t = 0.0;
        y[0] = 1.0;
        y[1] = 0.0;
        Matrix both(2, 4);
        ASSERT_EQ(TXVarIntegrate(tx.get(), &t, T, y, both.get()), 1);
        EXPECT_NEAR(both(0, 2), dp0[0], 1e-6);
        EXPECT_NEAR(both(1, 2), dp0[1], 1e-6);
        EXPECT_NEAR(both(0, 3), dp1[0], 1e-6);
        EXPECT_NEAR(both(1, 3), dp1[1], 1e-6);
        EXPECT_EQ(g_p[0], 2.0);  // the difference parameter Jacobian puts the values back
        EXPECT_EQ(g_p[1], 0.3);
    }
}

void rotation(double, double *y, double *f) {  // x' = v, v' = -x
    f[0] = y[1];
    f[1] = -y[0];
}

void rotation_jac(double, double *, double **J) {
    J[0][0] = 0.0;
    J[0][1] = 1.0;
    J[1][0] = -1.0;
    J[1][1] = 0.0;
}

double first_component(double, double *y) { return y[0]; }

TEST(VarPoincareStep, LocatesCrossingsWithTheMatrixThere) {
    auto tx = open_quiet(rotation, 2, 1e-10, 0.05);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), rotation_jac, 0), 1);
    ASSERT_EQ(TXSetCut(tx.get(), first_component, 1e-8), 1);
    double t = 0.0, y[2] = {1.0, 0.0};
    Matrix phi(2, 2);
    int found = 0, steps = 0;
    double sign = -1.0;  // from x > 0 the first located point lies just below 0
    while (found < 2 && steps++ < 1000) {
        const int status = TXVarPoincareStep(tx.get(), &t, y, phi.get());
        ASSERT_EQ(tx->ErrorCode, 0);
        if (!status) continue;
        ++found;
        EXPECT_NEAR(t, (2 * found - 1) * M_PI / 2, 1e-7);
        EXPECT_GT(sign * y[0], 0.0);  // just past the section, alternating sides
        EXPECT_LT(sign * y[0], 1e-8);
        sign = -sign;
        // Phi(t) is the rotation by t: [[cos t, sin t], [-sin t, cos t]].
        EXPECT_NEAR(phi(0, 0), std::cos(t), 1e-8);
        EXPECT_NEAR(phi(0, 1), std::sin(t), 1e-8);
        EXPECT_NEAR(phi(1, 0), -std::sin(t), 1e-8);
        EXPECT_NEAR(phi(1, 1), std::cos(t), 1e-8);
    }
    EXPECT_EQ(found, 2);
}

TEST(VarPoincareStep, RefusesWithoutSubHandleOrSection) {
    auto tx = open_quiet(rotation, 2, 1e-8, 0.05);
    double t = 0.0, y[2] = {1.0, 0.0};
    Matrix phi(2, 2);
    ASSERT_EQ(TXSetCut(tx.get(), first_component, 1e-8), 1);
    EXPECT_EQ(TXVarPoincareStep(tx.get(), &t, y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NOT_OPENED);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), rotation_jac, 0), 1);
    ASSERT_EQ(TXSetCut(tx.get(), nullptr, 1e-8), 1);  // automatic hyperplane, never set
    EXPECT_EQ(TXVarPoincareStep(tx.get(), &t, y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_SECTION);
    EXPECT_EQ(t, 0.0);
}

void unused_jac(double, double *, double **) {}
void unused_paramjac(double, double *, double **) {}

TEST(VarOpen, ReadsExactlyTheStatedArguments) {
    double a = 1.0, b = 2.0;
    {  // jac set, no parameters: only the count
        auto tx = open_quiet(linear, 3, 1e-6, 0.01);
        ASSERT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 0), 1);
        EXPECT_EQ(tx->jac, unused_jac);
        EXPECT_EQ(tx->JacPert, 1000 * 1e-6);
        EXPECT_EQ(tx->nparam, 0);
        EXPECT_EQ(tx->TX->order, 3 * 4 + 1);
        EXPECT_EQ(tx->TX->RelTol, 1e-6);
        EXPECT_EQ(tx->TX->h, 0.01);
    }
    {  // jac null: one double before the count
        auto tx = open_quiet(linear, 3, 1e-6, 0.01);
        ASSERT_EQ(TXVarOpenTraxis(tx.get(), nullptr, 0.125, 0), 1);
        EXPECT_EQ(tx->jac, nullptr);
        EXPECT_EQ(tx->JacPert, 0.125);
        EXPECT_EQ(tx->nparam, 0);
    }
    {  // paramjac set: no perturbation follows it
        auto tx = open_quiet(linear, 3, 1e-6, 0.01);
        tx->AbsTol = 1e-9;
        ASSERT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 2, unused_paramjac, &a, &b), 1);
        EXPECT_EQ(tx->paramjac, unused_paramjac);
        EXPECT_EQ(tx->ParamJacPert, 1000 * 1e-6);
        EXPECT_EQ(tx->nparam, 2);
        EXPECT_EQ(tx->c[0], &a);
        EXPECT_EQ(tx->c[1], &b);
        EXPECT_EQ(tx->cp[0], 0);
        EXPECT_EQ(tx->cp[1], 0);
        EXPECT_EQ(tx->TX->order, 3 * 6 + 1);
        EXPECT_EQ(tx->TX->AbsTol, 1e-9);
    }
    {  // both callbacks null: a perturbation after each
        auto tx = open_quiet(linear, 3, 1e-6, 0.01);
        ASSERT_EQ(TXVarOpenTraxis(tx.get(), nullptr, 0.25, 1, nullptr, 0.5, &b), 1);
        EXPECT_EQ(tx->JacPert, 0.25);
        EXPECT_EQ(tx->ParamJacPert, 0.5);
        EXPECT_EQ(tx->paramjac, nullptr);
        EXPECT_EQ(tx->nparam, 1);
        EXPECT_EQ(tx->c[0], &b);
    }
}

TEST(VarOpen, ReopeningReplacesTheRegistry) {
    double a = 1.0, b = 2.0;
    auto tx = open_quiet(linear, 3, 1e-6, 0.01);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 2, unused_paramjac, &a, &b), 1);
    tx->cp[1] = 1;
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 1, unused_paramjac, &b), 1);
    EXPECT_EQ(tx->nparam, 1);
    EXPECT_EQ(tx->c[0], &b);
    EXPECT_EQ(tx->cp[0], 0);
    EXPECT_EQ(tx->TX->order, 3 * 5 + 1);
    ASSERT_EQ(TXVarCloseTraxis(tx.get()), 1);
    EXPECT_EQ(tx->TX, nullptr);
    EXPECT_EQ(tx->nparam, 0);
    EXPECT_EQ(TXVarCloseTraxis(tx.get()), 1);  // nothing open: nothing to do
}

TEST(VarOpen, RefusalsLeaveNoSubHandle) {
    double a = 1.0;
    auto tx = open_quiet(linear, 3, 1e-6, 0.01);
    EXPECT_EQ(TXVarOpenTraxis(tx.get(), nullptr, 0.0, 0), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_JAC_PERTURBATION);
    EXPECT_EQ(TXVarOpenTraxis(tx.get(), nullptr, std::nan(""), 0), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_JAC_PERTURBATION);
    EXPECT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, -1), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NEGATIVE_NPARAM);
    EXPECT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 1, nullptr, -1.0, &a), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_JAC_PERTURBATION);
    EXPECT_EQ(tx->nparam, 0);
    EXPECT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 2, unused_paramjac, &a, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NPARAM);
    EXPECT_EQ(tx->TX, nullptr);
    EXPECT_EQ(tx->nparam, 0);
    EXPECT_EQ(tx->c, nullptr);

    // A parameter count whose extended order does not fit an int.
    EXPECT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 1 << 30, unused_paramjac), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_SUBSTRUCTURE);
    EXPECT_EQ(tx->nparam, 0);
}

TEST(VarOpen, KeepsTheCallersErrorStream) {
    std::FILE *log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    auto tx = open_quiet(linear, 3, 1e-6, 0.01);
    TXSetErrorOutput(log);
    ASSERT_EQ(TXVarOpenTraxis(tx.get(), unused_jac, 0), 1);
    EXPECT_EQ(tx::detail::error_stream(), log);
    TXSetErrorOutput(nullptr);
    std::fclose(log);
}

TEST(VarStep, RefusalsAreReportedOnTheMainHandle) {
    auto tx = open_quiet(linear, 3, 1e-6, 0.01);
    double t = 0.0, y[3] = {1.0, 0.0, 0.0};
    Matrix phi(3, 3);
    EXPECT_EQ(TXVarStep(tx.get(), &t, y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NOT_OPENED);
    EXPECT_EQ(TXVarIntegrate(tx.get(), &t, 1.0, y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NOT_OPENED);
    EXPECT_EQ(TXVarInterpolate(tx.get(), 0.5, y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NOT_OPENED);

    ASSERT_EQ(TXVarOpenTraxis(tx.get(), linear_jac, 0), 1);
    EXPECT_EQ(TXVarInterpolate(tx.get(), 0.5, y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_STEP_TAKEN);
    EXPECT_EQ(TXVarIntegrate(tx.get(), &t, -1.0, y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NEGATIVE_STEP);
    EXPECT_EQ(TXVarIntegrate(tx.get(), &t, std::nan(""), y, phi.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NEGATIVE_STEP);
    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(y[0], 1.0);
}

TEST(VarStepDeath, NullHandleEndsTheProcessWithAReport) {
    double t = 0.0, y[1] = {0.0};
    EXPECT_EXIT(TXVarStep(nullptr, &t, y, nullptr), ::testing::ExitedWithCode(1),
                "TXVarStep.*Traxis not opened");
}

}  // namespace
