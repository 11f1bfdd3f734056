// Step loops never touch the heap: every allocation of this executable is counted while a
// window is open.  malloc and friends are replaced only without AddressSanitizer, which owns
// them there; operator new is replaced in both builds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "tx.h"

namespace {
long g_allocations = 0;
bool g_counting = false;
bool g_refusing = false;  // malloc and calloc fail while set (not under AddressSanitizer)
void count() {
    if (g_counting) ++g_allocations;
}
}  // namespace

#ifdef __SANITIZE_ADDRESS__
namespace {
void *uncounted_malloc(std::size_t size) { return std::malloc(size); }
}  // namespace
#else
extern "C" {
void *__libc_malloc(std::size_t);
void *__libc_calloc(std::size_t, std::size_t);
void *__libc_realloc(void *, std::size_t);
void *malloc(std::size_t size) {
    count();
    return g_refusing ? nullptr : __libc_malloc(size);
}
void *calloc(std::size_t n, std::size_t size) {
    count();
    return g_refusing ? nullptr : __libc_calloc(n, size);
}
void *realloc(void *p, std::size_t size) {
    count();
    return __libc_realloc(p, size);
}
}
namespace {
void *uncounted_malloc(std::size_t size) { return __libc_malloc(size); }
}  // namespace
#endif

// This operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void *operator new(std::size_t size) {
    count();
    if (void *p = uncounted_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
// The nothrow forms too, so that every form is released by the free below.
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    count();
    return uncounted_malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

// Allocations made by f while the window is open.
template <class F>
long allocations_in(F &&f) {
    g_allocations = 0;
    g_counting = true;
    f();
    g_counting = false;
    return g_allocations;
}

void lorenz(double, double *y, double *f) {
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (28.0 - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}

void lorenz_jac(double, double *y, double **J) {
    J[0][0] = -10.0, J[0][1] = 10.0, J[0][2] = 0.0;
    J[1][0] = 28.0 - y[2], J[1][1] = -1.0, J[1][2] = -y[0];
    J[2][0] = y[1], J[2][1] = y[0], J[2][2] = -8.0 / 3.0;
}

// Lorenz with rho read from the continuation's parameter.
double g_rho = 15.0;
void lorenz_rho(double, double *y, double *f) {
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (g_rho - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}
void lorenz_rho_jac(double t, double *y, double **J) {
    lorenz_jac(t, y, J);
    J[1][0] = g_rho - y[2];
}
void lorenz_rho_pjac(double, double *y, double **P) {
    P[0][0] = 0.0;
    P[1][0] = y[0];
    P[2][0] = 0.0;
}

// Curves in the parameters p, q: the folds of x' = p + q x - x^3, y' = -y, and the period
// doubling of a forced pair turning by half a turn per period, at p = q.
double g_p = 2.0, g_q = 3.0;
void cusp(double, double *y, double *f) {
    f[0] = g_p + g_q * y[0] - y[0] * y[0] * y[0];
    f[1] = -y[1];
}
void half_turn(double t, double *y, double *f) {
    const double a = (g_p - g_q - 1.0) / 2.0, b = (g_p - g_q + 1.0) / 2.0;
    const double c = std::cos(2.0 * M_PI * t), s = std::sin(2.0 * M_PI * t);
    f[0] = a * y[0] + b * (c * y[0] + s * y[1]) - M_PI * y[1];
    f[1] = a * y[1] + b * (s * y[0] - c * y[1]) + M_PI * y[0];
}

}  // namespace

// The program's model, for TXIntegrate_With_Noise: Lorenz with a constant kick as noise.
extern "C" void model(double t, double *y, double *f) { lorenz(t, y, f); }
extern "C" void noise_part(double, double *, double *noise) {
    noise[0] = 0.1;
    noise[1] = noise[2] = 0.0;
}

namespace {

TEST(NoAllocation, TheCounterSeesAllocations) {
    EXPECT_EQ(allocations_in([] { ::operator delete(::operator new(64)); }), 1);
#ifndef __SANITIZE_ADDRESS__
    EXPECT_GT(allocations_in([] { TXCloseTraxis(TXOpenTraxis(lorenz, 3, 1e-8, 0.01)); }), 0);
#endif
}

TEST(NoAllocation, StepIntegrateAndInterpolate) {
    for (int method : {TX_METHOD_RK65, TX_METHOD_HIGH_ORDER}) {
        Traxis tx = TXOpenTraxis(lorenz, 3, 1e-10, 0.01);
        TXSetMethod(tx, method);  // takes the high-order pair's rows, before the window
        double t = 0.0, y[3] = {1.0, 1.0, 1.0}, sample[3];
        EXPECT_EQ(allocations_in([&] {
                      for (int i = 0; i < 2000; ++i) TXStep(tx, &t, y);
                      for (int i = 1; i <= 200; ++i) {
                          TXIntegrate(tx, &t, t + 0.1, y);
                          for (int s = 0; s < 10; ++s)
                              TXInterpolate(tx, tx->tfirst + 0.1 * s * (tx->tlast - tx->tfirst),
                                            sample);
                      }
                  }),
                  0);
        EXPECT_GT(t, 20.0);
        TXCloseTraxis(tx);
    }
}

// Operations that take one work block per call: the count must not grow with the steps.
TEST(NoAllocation, PerCallWorkDoesNotGrowWithTheSteps) {
    Traxis tx = TXOpenTraxis(lorenz, 3, 1e-8, 0.001);
    double t = 0.0, y[3] = {1.0, 1.0, 1.0}, exponents[3];
    const long noise_short = allocations_in([&] { TXIntegrate_With_Noise(tx, &t, t + 0.01, y); });
    const long noise_long = allocations_in([&] { TXIntegrate_With_Noise(tx, &t, t + 5.0, y); });
    EXPECT_EQ(noise_long, noise_short);
    EXPECT_LE(noise_long, 1);
    const long lyap_short =
        allocations_in([&] { TXLyapCalc(tx, &t, y, 1e-8, 0.1, 0, 2, exponents, 3); });
    const long lyap_long =
        allocations_in([&] { TXLyapCalc(tx, &t, y, 1e-8, 0.1, 10, 200, exponents, 3); });
    EXPECT_EQ(lyap_long, lyap_short);
    EXPECT_LE(lyap_long, 1);
    TXCloseTraxis(tx);
}

TEST(NoAllocation, ContinuationTakesOneBlockWhateverItsLength) {
    auto run = [](int steps) {
        Traxis tx = TXOpenTraxis(lorenz_rho, 3, 1e-8, 0.01);
        TXVarOpenTraxis(tx, lorenz_rho_jac, 1, lorenz_rho_pjac, &g_rho);
        tx->MaxContSteps = steps;
        g_rho = 15.0;
        double y[3] = {6.1, 6.1, 14.0}, dc = 0.2;
        std::printf("\n");  // the trace's stream has its buffer before counting starts
        const long count = allocations_in([&] { TXEquiCont(tx, y, &g_rho, &dc, 0, 0); });
        TXCloseTraxis(tx);
        return count;
    };
    testing::internal::CaptureStdout();
    const long short_run = run(2), long_run = run(40);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(long_run, short_run);
    // The record (three pieces, on the first run of a handle), TXEquiPoint's two and the block.
    EXPECT_LE(long_run, 6);
}

TEST(NoAllocation, TwoParameterContinuationTakesOneBlockWhateverItsLength) {
    for (bool orbit : {false, true}) {
        auto run = [orbit](int steps) {
            Traxis tx = TXOpenTraxis(orbit ? half_turn : cusp, 2, 1e-8, 0.01);
            tx->TerminateOnFatalError = 0;
            TXVarOpenTraxis(tx, nullptr, 1e-7, 2, nullptr, 1e-7, &g_p, &g_q);
            tx->txb = TXCreateBif(tx);
            tx->MaxContSteps = steps;
            g_p = orbit ? 0.0 : 2.0;
            g_q = orbit ? 0.0 : 3.0;
            tx->txb->y[0] = orbit ? 0.0 : -1.0;
            tx->txb->y[1] = 0.0;
            tx->txb->T = 1.0;
            double dc = 0.05;
            const long count = allocations_in([&] {
                EXPECT_EQ(orbit ? TXNonAuto2DCont(tx, &g_p, &g_q, &dc, 0)
                                : TXEqui2DCont(tx, &g_p, &g_q, &dc, 0),
                          1);
            });
            TXCloseTraxis(tx);
            return count;
        };
        const long short_run = run(2), long_run = run(20);
        EXPECT_EQ(long_run, short_run) << orbit;
        EXPECT_LE(long_run, 1) << orbit;
    }
}

double g_drive = 1.0;
void driven(double t, double *y, double *f) {  // a forced orbit that moves with g_drive
    f[0] = -y[0] + g_drive * std::cos(t);
    f[1] = -2.0 * y[1] + std::sin(t);
}

TEST(NoAllocation, OrbitContinuationTakesOneBlockWhateverItsLength) {
    auto run = [](int steps) {
        Traxis tx = TXOpenTraxis(driven, 2, 1e-8, 0.01);
        TXVarOpenTraxis(tx, nullptr, 1e-7, 1, nullptr, 1e-7, &g_drive);
        tx->MaxContSteps = steps;
        g_drive = 1.0;
        double y[2] = {0.5, -0.2}, dc = 0.1;
        const long count =
            allocations_in([&] { TXNonAutoCont(tx, 0.0, y, 2.0 * M_PI, &g_drive, &dc, 0, 0); });
        TXCloseTraxis(tx);
        return count;
    };
    const long short_run = run(2), long_run = run(20);
    EXPECT_EQ(long_run, short_run);
    EXPECT_LE(long_run, 4);  // the record (three pieces, made by the run) and the block
}

TEST(NoAllocation, VariationalStepsWithAnalyticAndDifferenceJacobians) {
    double rho = 28.0;
    auto run = [&rho](int method, bool analytic) {
        Traxis tx = TXOpenTraxis(lorenz, 3, 1e-9, 0.01);
        TXSetMethod(tx, method);
        // The eighth-order pair needs a perturbation whose rounding noise stays below the
        // tolerance.
        const double pert = method == TX_METHOD_HIGH_ORDER ? 1e-4 : 1e-7;
        if (analytic)
            ASSERT_EQ(TXVarOpenTraxis(tx, lorenz_jac, 1, nullptr, pert, &rho), 1);
        else
            ASSERT_EQ(TXVarOpenTraxis(tx, nullptr, pert, 1, nullptr, pert, &rho), 1);
        tx->cp[0] = 1;
        double rows[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}, sample_rows[3][4];
        double *Phi[3] = {rows[0], rows[1], rows[2]};
        double *S[3] = {sample_rows[0], sample_rows[1], sample_rows[2]};
        double t = 0.0, y[3] = {1.0, 1.0, 1.0}, sample[3];
        EXPECT_EQ(allocations_in([&] {
                      for (int i = 0; i < 200; ++i) TXVarStep(tx, &t, y, Phi);
                      for (int i = 0; i < 50; ++i) {
                          TXVarIntegrate(tx, &t, t + 0.05, y, Phi);
                          TXVarInterpolate(tx, t - 0.01, sample, S);
                      }
                  }),
                  0);
        TXCloseTraxis(tx);
    };
    for (int method : {TX_METHOD_RK65, TX_METHOD_HIGH_ORDER})
        for (bool analytic : {true, false}) run(method, analytic);
}

// The high-order pair's stage rows are the only memory TXSetMethod takes: without it the handle
// and its sub-handle stay on the default pair and go on working.
TEST(NoAllocation, MethodWithoutMemoryLeavesBothHandlesAsTheyWere) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "AddressSanitizer owns malloc";
#else
    double rho = 28.0;
    Traxis tx = TXOpenTraxis(lorenz, 3, 1e-9, 0.01);
    tx->TerminateOnFatalError = 0;
    ASSERT_EQ(TXVarOpenTraxis(tx, lorenz_jac, 1, nullptr, 1e-7, &rho), 1);
    g_refusing = true;
    const int status = TXSetMethod(tx, TX_METHOD_HIGH_ORDER);
    g_refusing = false;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_MEMORY);
    EXPECT_EQ(tx->method, nullptr);
    EXPECT_EQ(tx->TX->method, nullptr);
    double t = 0.0, y[3] = {1.0, 1.0, 1.0};
    EXPECT_EQ(TXIntegrate(tx, &t, 1.0, y), 1);
    EXPECT_EQ(TXSetMethod(tx, TX_METHOD_HIGH_ORDER), 1);
    EXPECT_EQ(TXIntegrate(tx, &t, 2.0, y), 1);
    TXCloseTraxis(tx);
#endif
}

}  // namespace
