// The bifurcation record, its tables and the test functions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "systems.hpp"
#include "tx.h"

namespace {

struct Handle {
    Traxis tx;
    Handle() : tx(TXOpenTraxis(txtest::three, 3, 1e-8, 0.01)) { tx->TerminateOnFatalError = 0; }
    ~Handle() { TXCloseTraxis(tx); }
    Traxis operator->() const { return tx; }
    operator Traxis() const { return tx; }
};

// A handle with a record attached whose spectrum is (re[i], im[i]).
struct Spectrum : Handle {
    Spectrum(std::initializer_list<double> re, std::initializer_list<double> im = {0, 0, 0}) {
        tx->txb = TXCreateBif(tx);
        std::copy(re.begin(), re.end(), tx->txb->er);
        std::copy(im.begin(), im.end(), tx->txb->ei);
    }
};

TEST(BifRecord, NewRecordIsZeroedAndLaidOutWithoutOverlap) {
    Handle tx;
    tx->nparam = 2;  // as registered by the variational sub-handle: m = 3 + 2 + 1
    TraxisBif b = TXCreateBif(tx);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(tx->txb, nullptr);  // not attached
    EXPECT_EQ(b->tx, tx.tx);
    EXPECT_EQ(b->order, 3);
    EXPECT_EQ(b->biftype, TX_BIF_NOT_DETERMINED);
    EXPECT_EQ(b->t, 0.0);
    EXPECT_EQ(b->T, 0.0);
    EXPECT_EQ(b->cindi[0], 0);
    EXPECT_EQ(b->steps, 0);
    EXPECT_EQ(b->indir, 0);
    EXPECT_STREQ(b->btype, "");
    EXPECT_EQ(b->nparam, 2);  // the sizes it was made for
    EXPECT_EQ(b->phidim, 6);

    // Every element of every vector and matrix row is distinct storage.
    std::set<const double *> cells;
    auto add = [&](const double *v, int len) {
        for (int i = 0; i < len; ++i) EXPECT_TRUE(cells.insert(v + i).second);
    };
    add(b->y, 3);
    for (int i = 0; i < 6; ++i) add(b->Phi[i], 6);
    add(b->c, 2);
    for (const double *v : {b->er, b->ei, b->trans, b->tang, b->top, b->bot, b->left, b->right})
        add(v, 3);
    add(b->intang, 4);  // the path tangent with its parameter component
    EXPECT_EQ(cells.size(), 10u * 3 + 1 + 36 + 2);
    tx->nparam = 0;
    EXPECT_EQ(TXDestroyBif(tx, b), 1);
}

TEST(BifRecord, DestroyingTheAttachedRecordDetachesIt) {
    Traxis tx = TXOpenTraxis(txtest::three, 3, 1e-8, 0.01);
    tx->txb = TXCreateBif(tx);
    ASSERT_NE(tx->txb, nullptr);
    EXPECT_EQ(TXDestroyBif(tx, tx->txb), 1);
    EXPECT_EQ(tx->txb, nullptr);
    EXPECT_EQ(TXCloseTraxis(tx), 1);  // must not free the record again

    Traxis other = TXOpenTraxis(txtest::three, 3, 1e-8, 0.01);
    other->txb = TXCreateBif(other);
    EXPECT_EQ(TXCloseTraxis(other), 1);  // closing frees an attached record
}

TEST(BifRecord, NullHandleIsRefused) {
    EXPECT_EXIT(TXCreateBif(nullptr), testing::ExitedWithCode(1), "Traxis not opened");
    EXPECT_EXIT(TXDestroyBif(nullptr, nullptr), testing::ExitedWithCode(1), "Traxis not opened");
}

TEST(BifTables, EveryCodeHasANameAndHopfHasNoIcons) {
    for (int i = 0; i < TX_BIF_COUNT; ++i) ASSERT_NE(TraxisBifName[i], nullptr);
    EXPECT_STREQ(TraxisBifName[TX_BIF_PERIOD_DOUBLING], "PERIOD DOUBLING");
    EXPECT_EQ(std::strlen(TraxisBifIconRight[TX_BIF_TRANSCRITICAL]), 3u);  // minus, backslash, minus
    EXPECT_EQ(TraxisBifIconLeft[TX_BIF_HOPF], nullptr);
    EXPECT_EQ(TraxisBifIconRight[TX_BIF_HOPF], nullptr);
}

TEST(SortEig, TrivialMultiplierGoesLast) {
    double er[3] = {0.5, 1.0, -0.3}, ei[3] = {0.1, 0.0, 0.2};
    SORTEIG(er, ei, 3);
    EXPECT_EQ(er[0], 0.5);
    EXPECT_EQ(er[1], -0.3);
    EXPECT_EQ(er[2], 1.0);
    EXPECT_EQ(ei[1], 0.2);
    EXPECT_EQ(ei[2], 0.0);

    // Equal distances to +1: the lowest index wins.
    double tr[3] = {1.0, 0.0, 1.0}, ti[3] = {0.5, 0.0, -0.5};
    SORTEIG(tr, ti, 3);
    EXPECT_EQ(ti[2], 0.5);
    EXPECT_EQ(ti[0], -0.5);
}

TEST(Crit, ModeOneIgnoresTheLastMultiplier) {
    Spectrum s({0.5, 0.8, 1.0}, {0.0, 0.3, 0.0});
    int crit = -1;
    EXPECT_EQ(CRIT(s, &crit, 0), 1.0);
    EXPECT_EQ(crit, 2);
    EXPECT_DOUBLE_EQ(CRIT(s, &crit, 1), std::sqrt(0.8 * 0.8 + 0.3 * 0.3));
    EXPECT_EQ(crit, 1);
}

TEST(EquiCrit, RealPartClosestToZeroWithItsSign) {
    Spectrum s({-3.0, 0.2, -0.1});
    int crit = -1;
    EXPECT_EQ(EQUICRIT(s, &crit), -0.1);
    EXPECT_EQ(crit, 2);
}

TEST(Crit2, TwoMultipliersAtPlusAndMinusOne) {
    Spectrum s({-1.0, 0.3, 1.0});
    int c1 = -1, c2 = -1;
    EXPECT_EQ(CRIT2(s, &c1, &c2), 0.0);
    EXPECT_EQ(c1, 2);
    EXPECT_EQ(c2, 0);
    EXPECT_DOUBLE_EQ(EUKLID2(s, 1), 0.7);
}

TEST(Crit2, ComplexPairIsOrderedByImaginaryPart) {
    Spectrum s({0.2, 0.9, 0.9}, {0.0, -0.5, 0.5});
    int c1 = -1, c2 = -1;
    const double d = CRIT2(s, &c1, &c2);
    EXPECT_EQ(c1, 2);  // equal real parts: the larger imaginary part first
    EXPECT_EQ(c2, 1);
    EXPECT_DOUBLE_EQ(d, std::sqrt(0.1 * 0.1 + 0.25));
}

TEST(EquiCrit2, SecondSmallestRealPart) {
    Spectrum s({-3.0, 0.2, -0.1});
    int c1 = -1, c2 = -1;
    EXPECT_EQ(EQUICRIT2(s, &c1, &c2), -0.1);
    EXPECT_EQ(c1, 2);
    EXPECT_EQ(c2, 0);
}

TEST(TestFunctions, MissingRecordIsReported) {
    Handle tx;
    int c1 = 0, c2 = 0;
    EXPECT_EQ(CRIT(tx, &c1, 0), 0.0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_BIF);
    tx->ErrorCode = 0;
    EXPECT_EQ(EQUICRIT2(tx, &c1, &c2), 0.0);
    EXPECT_EQ(TXErrorTraxis(tx), TX_ERR_NO_BIF);
}

TEST(TestFunctions, OneDimensionalSpectrumHasNoSecondCriticalValue) {
    Traxis tx = TXOpenTraxis(txtest::decay, 1, 1e-8, 0.01);
    tx->txb = TXCreateBif(tx);
    tx->txb->er[0] = -1.0;
    int c1 = -1, c2 = -1;
    EXPECT_EQ(CRIT2(tx, &c1, &c2), HUGE_VAL);
    EXPECT_EQ(c1, 0);
    EXPECT_EQ(c2, 0);
    EXPECT_EQ(EQUICRIT2(tx, &c1, &c2), HUGE_VAL);
    EXPECT_EQ(CRIT(tx, &c1, 1), 1.0);  // nothing to exclude from: index 0 stays the candidate
    TXCloseTraxis(tx);
}

}  // namespace
