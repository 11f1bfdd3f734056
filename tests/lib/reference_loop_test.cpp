// The benchmarks' hand-written reference loop must take the library's steps exactly: the
// same evaluations, step proposals and bits of every result, or its timings compare nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "../../bench/problems.hpp"
#include "../../bench/reference_rk65.hpp"
#include "tx.h"

namespace {

long g_evaluations = 0;

template <class P>
void counted(double t, double *y, double *f) {
    ++g_evaluations;
    P::rhs(t, static_cast<const double *>(y), f);
}

// Samples the problem's interval at `samples` points with both integrators.
template <class P>
void expect_same_run(double rtol, double atol, double hmax, int samples) {
    SCOPED_TRACE(testing::Message() << P::name << " rtol " << rtol << " atol " << atol
                                    << " hmax " << hmax);
    Traxis tx = TXOpenTraxis(counted<P>, P::n, rtol, 1e-3);
    tx->AbsTol = atol;
    txbench::ReferenceRk65<P::n, txbench::Inlined<P>> ref({}, rtol, atol, 1e-3);
    if (hmax > 0) {
        TXSetMaxStep(tx, hmax);
        ref.set_max_step(hmax);
    }
    auto y = P::y0, yr = P::y0;
    double t = P::t0, tr = P::t0;
    g_evaluations = 0;
    for (int i = 1; i <= samples; ++i) {
        const double t1 = P::t0 + (P::t1 - P::t0) * i / samples;
        ASSERT_EQ(TXIntegrate(tx, &t, t1, y.data()), 1);
        ASSERT_TRUE(ref.integrate(tr, t1, yr));
        ASSERT_EQ(std::memcmp(y.data(), yr.data(), sizeof y), 0) << "sample " << i;
        ASSERT_EQ(t, tr);
        ASSERT_EQ(tx->h, ref.step_proposal());
        ASSERT_EQ(tx->tfirst, ref.tfirst());
        ASSERT_EQ(tx->tlast, ref.tlast());
    }
    EXPECT_EQ(g_evaluations, ref.evaluations());
    TXCloseTraxis(tx);
}

TEST(ReferenceLoop, TakesTheLibrarysStepsBitForBit) {
    for (double rtol : {1e-4, 1e-8, 1e-12}) {
        expect_same_run<txbench::Lorenz>(rtol, 0.0, 0.0, 1);
        expect_same_run<txbench::Lorenz>(rtol, 0.0, 0.0, 37);
        expect_same_run<txbench::VanDerPol>(rtol, 0.0, 0.0, 1);
        expect_same_run<txbench::Arenstorf>(rtol, 0.0, 0.0, 1);
        expect_same_run<txbench::Chain40>(rtol, 1e-3 * rtol, 0.0, 5);
    }
    expect_same_run<txbench::VanDerPol>(1e-6, 1e-9, 0.05, 20);
    expect_same_run<txbench::Lorenz>(0.0, 0.0, 0.0, 10);  // fixed steps
}

}  // namespace
