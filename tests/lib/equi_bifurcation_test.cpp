// Location and classification of equilibrium bifurcations against closed-form bifurcation
// points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "branches.hpp"
#include "memory_stream.hpp"
#include "owned_handle.hpp"
#include "tx.h"

namespace {

using txtest::OwnedHandle;

// A handle on f with the one parameter p registered and a record attached; analytic Jacobians
// when given, differences otherwise.
OwnedHandle open_with_record(fcn_t f, int n, double *p, jac_t jac = nullptr,
                             jac_t pjac = nullptr) {
    OwnedHandle tx = txtest::open_quiet(f, n, 1e-8, 0.01);
    if (jac)
        TXVarOpenTraxis(tx.get(), jac, 1, pjac, p);
    else
        TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 1, pjac, 1e-7, p);
    tx->txb = TXCreateBif(tx.get());
    return tx;
}

// Everything the record holds for an equilibrium, to see that a refusal changed nothing.
std::vector<double> contents(const Traxis tx) {
    const TraxisBif b = tx->txb;
    const int n = tx->order;
    std::vector<double> v(b->y, b->y + n);
    for (int i = 0; i < b->phidim; ++i) v.insert(v.end(), b->Phi[i], b->Phi[i] + b->phidim);
    for (const double *w : {b->c, b->er, b->ei, b->trans}) v.insert(v.end(), w, w + 1);
    v.push_back(b->biftype);
    return v;
}

TEST(LocateEquiBif, LorenzHopfWithinTheTestFunctionTolerance) {
    // At rho_H the real part of the complex pair changes at d Re(lambda)/d rho = 0.0302, so a
    // test function within tol puts rho within tol / 0.0302 of rho_H, and residuals within
    // tol |y| (sqrt NewtRelTol) keep the point that close to the branch.
    for (double tol : {1e-3, 1e-6, 1e-9}) {
        OwnedHandle tx = open_with_record(txtest::lorenz, 3, &txtest::g_rho, txtest::lorenz_jac,
                                          txtest::lorenz_rho_jac);
        tx->LambdaNewtRelTol = tol;
        tx->NewtRelTol = tol * tol;
        txtest::g_rho = 24.5;
        txtest::lorenz_equilibrium(24.5, tx->txb->y);
        txtest::MemoryStream marks;
        ASSERT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &txtest::g_rho, marks.get()), 1) << tol;
        const TraxisBif b = tx->txb;
        int crit = 0;
        EXPECT_LE(std::fabs(EQUICRIT(tx.get(), &crit)), tol);
        EXPECT_NE(b->ei[crit], 0.0);
        EXPECT_NEAR(txtest::g_rho, txtest::kRhoHopf, tol / 0.03 + 1e-12) << tol;
        EXPECT_EQ(b->c[0], txtest::g_rho);
        double eq[3];
        txtest::lorenz_equilibrium(txtest::g_rho, eq);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(b->y[i], eq[i], tol * eq[i]);
        // Column n holds df/drho = (0, x, 0) at the located point.
        EXPECT_EQ(b->Phi[1][3], b->y[0]);
        EXPECT_EQ(b->Phi[0][3], 0.0);
        EXPECT_EQ(b->biftype, TX_BIF_NOT_DETERMINED);
        EXPECT_EQ(marks.text().find_first_not_of(".!"), std::string::npos);

        const double located = txtest::g_rho;
        txtest::g_rho = 0.0;  // the check puts the parameters back to the record's values
        ASSERT_EQ(TXCheckEquiBif(tx.get(), b, &txtest::g_rho, 0.1, nullptr), 1);
        EXPECT_EQ(txtest::g_rho, located);
        EXPECT_EQ(b->biftype, TX_BIF_HOPF);
        EXPECT_STREQ(b->btype, " -Oo- or -oO- ");
    }
}

TEST(LocateEquiBif, BothFoldsOfTheCubicAreSaddleNodes) {
    for (double x0 : {0.5, -0.5}) {
        OwnedHandle tx = open_with_record(txtest::cubic, 2, &txtest::g_mu, txtest::cubic_jac,
                                          txtest::cubic_mu_jac);
        tx->LambdaNewtRelTol = 1e-10;
        tx->NewtRelTol = 1e-16;
        tx->NewtAbsTol = 1e-20;
        txtest::g_mu = x0 * x0 * x0 - x0;
        tx->txb->y[0] = x0;
        tx->txb->y[1] = 0.0;
        ASSERT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &txtest::g_mu, nullptr), 1);
        // 1 - 3x^2 within 1e-10 puts x within about 1e-10 of 1/sqrt 3; mu is flat there.
        EXPECT_NEAR(tx->txb->y[0], std::copysign(1.0 / std::sqrt(3.0), x0), 1e-9);
        EXPECT_NEAR(txtest::g_mu, -std::copysign(txtest::kMuFold, x0), 1e-12);

        for (int i = 0; i < 2; ++i) tx->txb->trans[i] = 42.0;
        ASSERT_EQ(TXCheckEquiBif(tx.get(), tx->txb, &txtest::g_mu, 0.1, nullptr), 1);
        EXPECT_EQ(tx->txb->biftype, TX_BIF_SADDLE_NODE);
        EXPECT_STREQ(tx->txb->btype, " ) or ( ");
        EXPECT_EQ(tx->txb->trans[0], 42.0);  // written for Hopf points only
    }
    // Difference Jacobians: 1 - 3x^2 comes out 3x JacPert too low, which moves the located x
    // by JacPert / 2.
    OwnedHandle tx = open_with_record(txtest::cubic, 2, &txtest::g_mu);
    tx->LambdaNewtRelTol = 1e-10;
    tx->NewtRelTol = 1e-16;
    txtest::g_mu = -0.375;
    tx->txb->y[0] = 0.5;
    ASSERT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &txtest::g_mu, nullptr), 1);
    EXPECT_NEAR(tx->txb->y[0], 1.0 / std::sqrt(3.0) - tx->JacPert / 2, 1e-3 * tx->JacPert);
}

TEST(LocateEquiBif, ALocatedPointTakesOneIteration) {
    // x' = mu - x^2 at x = mu = 0 and the focus at a = 0: critical real part and residual are
    // exactly 0 already.
    {
        OwnedHandle tx = open_with_record(txtest::quadratic, 2, &txtest::g_mu);
        txtest::g_mu = 0.0;
        tx->txb->y[0] = tx->txb->y[1] = 0.0;
        txtest::MemoryStream marks;
        ASSERT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &txtest::g_mu, marks.get()), 1);
        EXPECT_EQ(marks.text(), ".");
        EXPECT_EQ(txtest::g_mu, 0.0);
        ASSERT_EQ(TXCheckEquiBif(tx.get(), tx->txb, &txtest::g_mu, 0.1, nullptr), 1);
        EXPECT_EQ(tx->txb->biftype, TX_BIF_SADDLE_NODE);
    }
    {
        OwnedHandle tx = open_with_record(txtest::focus, 2, &txtest::g_a);
        txtest::g_a = 0.0;
        tx->txb->y[0] = tx->txb->y[1] = 0.0;
        tx->txb->trans[0] = tx->txb->trans[1] = 0.0;
        ASSERT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &txtest::g_a, nullptr), 1);
        ASSERT_EQ(TXCheckEquiBif(tx.get(), tx->txb, &txtest::g_a, 0.1, nullptr), 1);
        EXPECT_EQ(tx->txb->biftype, TX_BIF_HOPF);
        EXPECT_STREQ(tx->txb->btype, " -Oo- or -oO- ");
        // An eigenvector of the real part 0 of J = [[0, -2], [2, 0]]: the zero vector's only
        // normalised stand-in, with last component positive.
        EXPECT_DOUBLE_EQ(std::hypot(tx->txb->trans[0], tx->txb->trans[1]), 1.0);
        EXPECT_GT(tx->txb->trans[1], 0.0);
    }
}

TEST(EquiBifRefusals, ForeignParameterLeavesEverythingAsItWas) {
    OwnedHandle tx = open_with_record(txtest::cubic, 2, &txtest::g_mu);
    txtest::g_mu = 0.1;
    tx->txb->y[0] = 0.5;
    double other = 0.0;
    const std::vector<double> before = contents(tx.get());
    EXPECT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &other, nullptr), 0);
    EXPECT_EQ(TXCheckEquiBif(tx.get(), tx->txb, &other, 0.1, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, 0);  // refused without a report
    EXPECT_EQ(tx->cp[0], 0);      // but the flags are written
    EXPECT_EQ(contents(tx.get()), before);
    EXPECT_EQ(txtest::g_mu, 0.1);
}

TEST(EquiBifRefusals, RecordMustBeTheAttachedOneAndLargeEnough) {
    OwnedHandle tx = open_with_record(txtest::cubic, 2, &txtest::g_mu);
    const TraxisBif attached = tx->txb;
    tx->txb = nullptr;
    EXPECT_EQ(TXLocateEquiBif(tx.get(), attached, &txtest::g_mu, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_BIF);
    tx->txb = attached;
    EXPECT_EQ(TXCheckEquiBif(tx.get(), nullptr, &txtest::g_mu, 0.1, nullptr), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_BIF);

    // Made before the parameters were registered: no room for their values.
    OwnedHandle early = txtest::open_quiet(txtest::cubic, 2, 1e-8, 0.01);
    early->txb = TXCreateBif(early.get());
    TXVarOpenTraxis(early.get(), nullptr, 1e-7, 1, nullptr, 1e-7, &txtest::g_mu);
    EXPECT_EQ(TXLocateEquiBif(early.get(), early->txb, &txtest::g_mu, nullptr), 0);
    EXPECT_EQ(early->ErrorCode, TX_ERR_NO_BIF);
}

TEST(EquiBifRefusals, NoConvergenceIsCode30) {
    OwnedHandle tx = open_with_record(txtest::cubic, 2, &txtest::g_mu);
    txtest::g_mu = -0.375;
    tx->txb->y[0] = 0.5;
    tx->MaxNewtSteps = 0;  // one correction allowed, none more
    txtest::MemoryStream marks;
    EXPECT_EQ(TXLocateEquiBif(tx.get(), tx->txb, &txtest::g_mu, marks.get()), 0);
    EXPECT_EQ(tx->ErrorCode, TX_ERR_NO_CONVERGENCE);
    EXPECT_EQ(marks.text(), ".");

    // Tolerances of 0 for the test function make its scaled value 0/0 at a located point: a
    // NaN distance is no convergence, not success.
    OwnedHandle q = open_with_record(txtest::quadratic, 2, &txtest::g_mu);
    q->LambdaNewtRelTol = q->LambdaNewtAbsTol = 0.0;
    txtest::g_mu = 0.0;
    q->txb->y[0] = q->txb->y[1] = 0.0;
    EXPECT_EQ(TXLocateEquiBif(q.get(), q->txb, &txtest::g_mu, nullptr), 0);
    EXPECT_EQ(q->ErrorCode, TX_ERR_NO_CONVERGENCE);

    tx->TerminateOnFatalError = 1;
    tx->txb->y[0] = 0.5;
    txtest::g_mu = -0.375;
    EXPECT_EXIT(TXLocateEquiBif(tx.get(), tx->txb, &txtest::g_mu, nullptr),
                testing::ExitedWithCode(1), "No Convergense in Newton iteration");
}

}  // namespace
