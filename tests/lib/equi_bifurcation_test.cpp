// Location and classification of equilibrium bifurcations at points known in closed form.
// (Precision along whole branches is tested with the continuation.)
#include <gtest/gtest.h>

#include <cmath>

#include "branches.hpp"
#include "memory_stream.hpp"
#include "owned_handle.hpp"
#include "tx.h"

namespace {

using txtest::g_mu;
using txtest::OwnedHandle;

// A handle on f with the parameter p registered (difference Jacobians) and a record attached
// whose point is (x, 0).
OwnedHandle at_point(fcn_t f, double *p, double x) {
    OwnedHandle tx = txtest::open_quiet(f, 2, 1e-8, 0.01);
    TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 1, nullptr, 1e-7, p);
    tx->txb = TXCreateBif(tx.get());
    tx->txb->y[0] = x;
    tx->txb->y[1] = 0.0;
    return tx;
}

TEST(EquiBif, LocatedAndClassified) {
    // x' = mu - x^2 at the fold itself: one iteration, one mark; a saddle-node, trans untouched.
    g_mu = 0.0;
    OwnedHandle fold = at_point(txtest::quadratic, &g_mu, 0.0);
    fold->txb->trans[0] = 42.0;
    txtest::MemoryStream marks;
    ASSERT_EQ(TXLocateEquiBif(fold.get(), fold->txb, &g_mu, marks.get()), 1);
    EXPECT_EQ(marks.text(), ".");
    ASSERT_EQ(TXCheckEquiBif(fold.get(), fold->txb, &g_mu, 0.1, nullptr), 1);
    EXPECT_EQ(fold->txb->biftype, TX_BIF_SADDLE_NODE);
    EXPECT_STREQ(fold->txb->btype, " ) or ( ");
    EXPECT_EQ(fold->txb->trans[0], 42.0);

    // The focus at a = 0 has eigenvalues +-2i: a Hopf point, with a unit trans.
    txtest::g_a = 0.0;
    OwnedHandle hopf = at_point(txtest::focus, &txtest::g_a, 0.0);
    ASSERT_EQ(TXLocateEquiBif(hopf.get(), hopf->txb, &txtest::g_a, nullptr), 1);
    txtest::g_a = 5.0;  // the check puts the parameters back to the record's values
    ASSERT_EQ(TXCheckEquiBif(hopf.get(), hopf->txb, &txtest::g_a, 0.1, nullptr), 1);
    EXPECT_EQ(txtest::g_a, 0.0);
    EXPECT_EQ(hopf->txb->biftype, TX_BIF_HOPF);
    EXPECT_STREQ(hopf->txb->btype, " -Oo- or -oO- ");
    EXPECT_DOUBLE_EQ(std::hypot(hopf->txb->trans[0], hopf->txb->trans[1]), 1.0);

    // x' = mu + x - x^3 from x = 0.5: forward differences make 1 - 3x^2 come out 3x JacPert
    // too low, which moves the located x to 1/sqrt 3 - JacPert / 2; mu = x^3 - x there.
    g_mu = -0.375;
    OwnedHandle cubic = at_point(txtest::cubic, &g_mu, 0.5);
    cubic->LambdaNewtRelTol = 1e-10;
    cubic->NewtRelTol = 1e-16;
    ASSERT_EQ(TXLocateEquiBif(cubic.get(), cubic->txb, &g_mu, nullptr), 1);
    const double x = cubic->txb->y[0];
    EXPECT_NEAR(x, 1.0 / std::sqrt(3.0) - cubic->JacPert / 2, 1e-3 * cubic->JacPert);
    EXPECT_NEAR(g_mu, x * x * x - x, 1e-8 * x);
    EXPECT_EQ(cubic->txb->c[0], g_mu);
    EXPECT_NEAR(cubic->txb->Phi[0][2], 1.0, 1e-6);  // column n: df/dmu
}

TEST(EquiBif, Refusals) {
    g_mu = -0.375;
    OwnedHandle tx = at_point(txtest::cubic, &g_mu, 0.5);
    double other = 0.0;
    EXPECT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &other, nullptr), 0);
    EXPECT_EQ(TXCheckEquiBif(tx.get(), tx->txb, &other, 0.1, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, 0);  // an unregistered parameter is refused without a report
    EXPECT_EQ(tx->txb->y[0], 0.5);
    EXPECT_EQ(tx->txb->biftype, 0);
    EXPECT_EQ(g_mu, -0.375);

    // The record must be the attached one, and made for the registered parameters.
    EXPECT_EQ(TXCheckEquiBif(tx.get(), nullptr, &g_mu, 0.1, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_BIF);
    OwnedHandle early = txtest::open_quiet(txtest::cubic, 2, 1e-8, 0.01);
    early->txb = TXCreateBif(early.get());
    TXVarOpenTraxis(early.get(), nullptr, 1e-7, 1, nullptr, 1e-7, &g_mu);
    EXPECT_EQ(TXLocateEquiBif(early.get(), early->txb, &g_mu, nullptr), 0);
    EXPECT_EQ(early->ErrorCode, TX_ERR_NO_BIF);

    // One correction allowed and none more: code 30.
    tx->MaxNewtSteps = 0;
    EXPECT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &g_mu, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_CONVERGENCE);
    // Test-function tolerances of 0 make the scaled test function 0/0 at a located point: a
    // NaN distance is no convergence either.
    g_mu = 0.0;
    OwnedHandle q = at_point(txtest::quadratic, &g_mu, 0.0);
    q->LambdaNewtRelTol = q->LambdaNewtAbsTol = 0.0;
    EXPECT_EQ(TXLocateEquiBif(q.get(), q->txb, &g_mu, nullptr), 0);
    EXPECT_EQ(q->ErrorCode, TX_ERR_NO_CONVERGENCE);

    tx->TerminateOnFatalError = 1;
    EXPECT_EXIT(TXLocateEquiBif(tx.get(), tx->txb, &g_mu, nullptr), testing::ExitedWithCode(1),
                "No Convergense in Newton iteration");
}

}  // namespace
