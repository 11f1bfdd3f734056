// A handle opened without a right-hand side: every operation that would evaluate it refuses.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>

#include "matrix.hpp"
#include "owned_handle.hpp"
#include "scratch.hpp"
#include "tx.h"

namespace {

using txtest::Matrix;

double first_component(double, double *y) { return y[0]; }

TEST(NoRhs, EveryEvaluatingOperationRefusesWithCode35) {
    auto tx = txtest::open_quiet(nullptr, 2, 1e-8, 0.01);
    ASSERT_TRUE(tx);
    Traxis h = tx.get();
    double p = 0.0;
    ASSERT_EQ(TXVarOpenTraxis(h, nullptr, 1e-6, 1, nullptr, 1e-6, &p), 1);  // allowed
    ASSERT_EQ(TXSetCut(h, first_component, 1e-6), 1);
    double t = 0.0, y[2] = {1.0, 0.0}, ex[2], period = 0.0;
    Matrix phi = Matrix::identity(2, 3), jac(2, 3);
    const std::string path = scratch_path("no_rhs_lyap.txt");
    std::remove(path.c_str());

    const auto refused = [&](int status) {
        return status == 0 && TXErrorTraxis(h) == TX_ERR_NO_RHS;
    };
    EXPECT_TRUE(refused(TXStep(h, &t, y)));
    EXPECT_TRUE(refused(TXIntegrate(h, &t, 1.0, y)));
    EXPECT_TRUE(refused(TXInterpolate(h, 0.5, y)));
    EXPECT_TRUE(refused(TXPoincareStep(h, &t, y)));
    EXPECT_TRUE(refused(TXSetAutoCut(h, 0.0, y)));
    EXPECT_TRUE(refused(TXLyapCalc(h, &t, y, 1e-6, 0.5, 0, 1, ex, 2)));
    EXPECT_TRUE(refused(TXLyapCalcFile(h, path.c_str(), &t, y, 1e-6, 0.5, 0, 1, ex, 2, 1)));
    EXPECT_TRUE(refused(TXVarStep(h, &t, y, phi.ptr())));
    EXPECT_TRUE(refused(TXVarIntegrate(h, &t, 1.0, y, phi.ptr())));
    EXPECT_TRUE(refused(TXVarInterpolate(h, 0.5, y, phi.ptr())));
    EXPECT_TRUE(refused(TXVarPoincareStep(h, &t, y, phi.ptr())));
    EXPECT_TRUE(refused(TXNumJac(h, 0.0, y, jac.ptr())));
    EXPECT_TRUE(refused(TXNumParamJac(h, 0.0, y, jac.ptr())));
    EXPECT_TRUE(refused(TXEquiPoint(h, y)));
    EXPECT_TRUE(refused(TXNonAutoOrbit(h, 0.0, y, phi.ptr(), 1.0)));
    EXPECT_TRUE(refused(TXAutoOrbit(h, 0.0, y, phi.ptr(), 1, &period)));
    EXPECT_EQ(tx->TX->fcn, nullptr);  // the sub-handle is itself such a handle
    tx->TX->TerminateOnFatalError = 0;
    EXPECT_EQ(TXStep(tx->TX, &t, y), 0);
    EXPECT_EQ(TXErrorTraxis(tx->TX), TX_ERR_NO_RHS);

    EXPECT_EQ(t, 0.0);
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(tx->CutSurfaceDefined, 0);
    EXPECT_FALSE(std::ifstream(path).good());  // refused before the file is touched
}

TEST(NoRhsDeathTest, TerminatingHandleReportsInsteadOfCrashing) {
    Traxis tx = TXOpenTraxis(nullptr, 1, 1e-8, 0.01);
    double t = 0.0, y = 1.0;
    EXPECT_EXIT((errno = 0, TXIntegrate(tx, &t, 1.0, &y)), ::testing::ExitedWithCode(1),
                "'TXIntegrate': No right-hand side specified\nTraxis Closed\n$");
    TXCloseTraxis(tx);
}

}  // namespace
