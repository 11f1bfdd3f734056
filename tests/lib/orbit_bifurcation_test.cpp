// Orbit bifurcations located and classified directly from a record.  The continuation tests
// reach every type through TXAutoCont and TXNonAutoCont; these cover what a run does not show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "cycle_systems.hpp"
#include "matrix.hpp"
#include "memory_stream.hpp"

namespace {

using namespace txtest::cycles;
using Marks = txtest::MemoryStream;

// A handle with a record attached that holds S's orbit through the separated point z at lambda.
template <class S>
struct OrbitRecord {
    bool autonomous;
    txtest::OwnedHandle tx;
    TraxisBif b = nullptr;

    OrbitRecord(double lambda, bool autonomous_, std::initializer_list<double> z, int turns = 1)
        : autonomous(autonomous_), tx(open_cycle<S>(lambda, autonomous_)) {
        txtest::Matrix Phi(S::n, S::n);
        double y[4];
        observed_point<S>(0.0, z, y);
        double T = autonomous ? turns * cycle_period() : forcing_period();
        const int found = autonomous ? TXAutoOrbit(tx.get(), 0.0, y, Phi.ptr(), turns, &T)
                                     : TXNonAutoOrbit(tx.get(), 0.0, y, Phi.ptr(), T);
        EXPECT_EQ(found, 1);
        b = tx->txb = TXCreateBif(tx.get());
        std::copy(y, y + S::n, b->y);
        b->T = T;
        b->c[0] = g_lambda;
        b->c[1] = g_omega;
    }
    int locate(FILE *state, int mode) { return TXLocateBif(tx.get(), b, &g_lambda, mode, state); }
    int check(FILE *state, int mode) {
        return TXCheckBif(tx.get(), b, &g_lambda, 0.05, mode, state);
    }
};

TEST(LocateBif, PointAlreadyOnTheCircleNeedsOneEvaluation) {
    // The forced twist at lambda = 0 has the multiplier -e^0 = -1 exactly.
    OrbitRecord<DoublingForced> r(0.0, false, {0.0, 0.0});
    const std::vector<double> y(r.b->y, r.b->y + 2);
    Marks marks;
    ASSERT_EQ(r.locate(marks.get(), 0), 1);
    EXPECT_EQ(marks.text(), ".");
    EXPECT_EQ(g_lambda, 0.0);
    EXPECT_EQ(std::vector<double>(r.b->y, r.b->y + 2), y);
    EXPECT_EQ(r.b->T, forcing_period());
    EXPECT_NEAR(std::hypot(r.b->er[0], r.b->ei[0]) + std::hypot(r.b->er[1], r.b->ei[1]),
                1.0 + std::exp(kAlpha), 1e-6);
}

TEST(LocateBif, OrbitCountedAsTwoTurnsIsHalved) {
    // Twice round the twisted cycle the critical multiplier is (-e^(lambda T))^2, near +1, and
    // the half-period map shows the -1: the period is halved ("%") before locating.
    OrbitRecord<DoublingCycle> r(-0.02, true, {1.0, 0.0}, 2);
    EXPECT_NEAR(r.b->T, 2.0 * cycle_period(), 1e-7);
    double z[4];
    DoublingCycle::to_separated(0.0, r.b->y, z);
    z[3] += 0.01;  // off the orbit along the critical direction
    DoublingCycle::to_observed(0.0, z, r.b->y);
    Marks marks;
    ASSERT_EQ(r.locate(marks.get(), 2), 1);
    EXPECT_EQ(marks.text().substr(0, 1), "%");
    EXPECT_NEAR(r.b->T, cycle_period(), 1e-7);
    EXPECT_NEAR(g_lambda, 0.0, r.tx->LambdaNewtRelTol / cycle_period());
}

TEST(OrbitBif, ForeignParameterOrRecordIsRefusedUntouched) {
    OrbitRecord<TranscriticalForced> r(-0.05, false, {0.0, 0.0});
    double foreign = 0.0;
    const std::vector<double> y(r.b->y, r.b->y + 2);
    Marks marks;
    EXPECT_EQ(TXLocateBif(r.tx.get(), r.b, &foreign, 0, marks.get()), 0);
    EXPECT_EQ(TXCheckBif(r.tx.get(), r.b, &foreign, 0.05, 0, marks.get()), 0);
    EXPECT_EQ(r.tx->ErrorCode, 0);
    EXPECT_EQ(std::vector<double>(r.b->y, r.b->y + 2), y);
    EXPECT_EQ(r.b->T, forcing_period());
    EXPECT_EQ(r.b->biftype, 0);
    EXPECT_EQ(g_lambda, -0.05);
    EXPECT_EQ(r.tx->nparam, 2);
    EXPECT_EQ(marks.text(), "");

    // No record, or one made before the parameters were registered: code 28.
    EXPECT_EQ(TXLocateBif(r.tx.get(), nullptr, &g_lambda, 0, nullptr), 0);
    EXPECT_EQ(r.tx->ErrorCode, TX_ERR_NO_BIF);
    Traxis bare = TXOpenTraxis(TranscriticalForced::fcn, 2, 1e-9, 0.01);
    TraxisBif small = TXCreateBif(bare);
    EXPECT_EQ(TXCheckBif(r.tx.get(), small, &g_lambda, 0.05, 0, nullptr), 0);
    EXPECT_EQ(r.tx->ErrorCode, TX_ERR_NO_BIF);
    TXDestroyBif(bare, small);
    TXCloseTraxis(bare);
}

TEST(OrbitBif, FailuresRestoreParametersPeriodAndParameterCount) {
    OrbitRecord<DoublingForced> r(-0.05, false, {0.0, 0.0});
    r.tx->MaxNewtSteps = 0;  // the second Newton evaluation already fails
    EXPECT_EQ(r.locate(nullptr, 0), 0);
    EXPECT_EQ(r.tx->nparam, 2);

    // At the doubling the neighbours are sought at twice the period; none converges here.
    OrbitRecord<DoublingForced> at(0.0, false, {0.0, 0.0});
    ASSERT_EQ(at.locate(nullptr, 0), 1);
    at.tx->MaxNewtSteps = 0;
    g_omega = 7.0;
    Marks marks;
    EXPECT_EQ(at.check(marks.get(), 0), 0);
    EXPECT_EQ(marks.text(), "v");
    EXPECT_EQ(at.b->T, forcing_period());
    EXPECT_EQ(g_lambda, at.b->c[0]);
    EXPECT_EQ(g_omega, 2.0 * M_PI);
    EXPECT_EQ(at.tx->nparam, 2);
}

TEST(CheckBif, ModeAboveOneIsAutonomous) {
    OrbitRecord<TranscriticalCycle> r(-0.05, true, {1.0, 0.0, 0.0});
    ASSERT_EQ(r.locate(nullptr, 1), 1);
    ASSERT_EQ(r.check(nullptr, 3), 1);
    EXPECT_EQ(r.b->biftype, TX_BIF_TRANSCRITICAL);
}

}  // namespace
