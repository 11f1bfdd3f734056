// Step loops never touch the heap: every allocation of this executable is counted while a
// window is open.  malloc and friends are replaced only without AddressSanitizer, which owns
// them there; operator new is replaced in both builds.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#include "tx.h"

namespace {
long g_allocations = 0;
bool g_counting = false;
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
    return __libc_malloc(size);
}
void *calloc(std::size_t n, std::size_t size) {
    count();
    return __libc_calloc(n, size);
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

}  // namespace
