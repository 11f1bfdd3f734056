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

#ifndef __SANITIZE_ADDRESS__
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
#endif

void *operator new(std::size_t size) {
    count();
    if (void *p = std::malloc(size ? size : 1)) return p;
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

TEST(NoAllocation, TheCounterSeesAllocations) {
    EXPECT_GT(allocations_in([] { ::operator delete(::operator new(64)); }), 0);
#ifndef __SANITIZE_ADDRESS__
    EXPECT_GT(allocations_in([] { TXCloseTraxis(TXOpenTraxis(lorenz, 3, 1e-8, 0.01)); }), 0);
#endif
}

TEST(NoAllocation, StepIntegrateAndInterpolate) {
    Traxis tx = TXOpenTraxis(lorenz, 3, 1e-10, 0.01);
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

}  // namespace
