// Opening, closing, defaults, the message table and both forms of fatal-error reporting.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#define TX_MATHERR  // the hook is tested here
#include "tx.h"
#include "systems.hpp"

namespace {

// The build date in the compiler's form "Mmm dd yyyy" (day padded with a space).
std::string build_date() { return "[A-Z][a-z][a-z] [ 1-3][0-9] [0-9][0-9][0-9][0-9]"; }

std::string report_with_handle(const std::string &where, const std::string &msg) {
    return "^Error in tx \\(" + build_date() + "\\) line [0-9]+\n'" + where + "': " + msg +
           "\nTraxis Closed\n$";
}

std::string report_without_handle(const std::string &where, const std::string &msg) {
    return "^ERROR in tx \\(" + build_date() + "\\) line [0-9]+\n'" + where + "': " + msg + "\n$";
}

TEST(Open, DefaultsFollowFromTheToleranceAndStepGuess) {
    Traxis tx = TXOpenTraxis(txtest::three, 3, 1e-8, 0.01);
    ASSERT_NE(tx, nullptr);
    EXPECT_EQ(tx->order, 3);
    EXPECT_EQ(tx->AbsTol, 0.0);
    EXPECT_EQ(tx->RelTol, 1e-8);
    EXPECT_EQ(tx->NewtAbsTol, 0.0);
    EXPECT_DOUBLE_EQ(tx->NewtRelTol, 1e-4);
    EXPECT_EQ(tx->LambdaNewtAbsTol, 0.0);
    EXPECT_DOUBLE_EQ(tx->LambdaNewtRelTol, 5e-3);
    EXPECT_DOUBLE_EQ(tx->CutEps, 1e-7);
    EXPECT_DOUBLE_EQ(tx->JacPert, 1e-5);
    EXPECT_DOUBLE_EQ(tx->ParamJacPert, 1e-5);
    EXPECT_DOUBLE_EQ(tx->LambdaPert, 1e-5);
    EXPECT_EQ(tx->tfirst, 0.0);
    EXPECT_EQ(tx->tlast, 0.0);
    EXPECT_EQ(tx->h, 0.01);
    EXPECT_EQ(tx->hmax, 0.0);
    EXPECT_EQ(tx->hnoise, 0.01);
    EXPECT_EQ(tx->nparam, 0);
    EXPECT_EQ(tx->MaxPoincareSteps, 100);
    EXPECT_EQ(tx->MaxPeriodSteps, 1000);
    EXPECT_EQ(tx->MaxNewtSteps, 10);
    EXPECT_EQ(tx->MaxContSteps, 1000);
    EXPECT_EQ(tx->CheckBifs, 1);
    EXPECT_EQ(tx->CutSurfaceDefined, 0);
    EXPECT_EQ(tx->TerminateOnFatalError, 1);
    EXPECT_EQ(tx->StepTaken, 0);
    EXPECT_EQ(tx->ErrorCode, 0);
    EXPECT_EQ(tx->fcn, &txtest::three);
    EXPECT_EQ(tx->cut, nullptr);
    EXPECT_EQ(tx->jac, nullptr);
    EXPECT_EQ(tx->paramjac, nullptr);
    EXPECT_EQ(tx->TX, nullptr);
    EXPECT_EQ(tx->txb, nullptr);
    EXPECT_EQ(tx->j, nullptr);
    EXPECT_EQ(tx->c, nullptr);
    EXPECT_EQ(tx->cp, nullptr);
    for (double *v : {tx->abs_err, tx->rel_err, tx->y5, tx->y6, tx->ynp1d2, tx->yfirst, tx->ylast,
                      tx->y0, tx->yw, tx->istate, tx->ivector, tx->k})
        EXPECT_NE(v, nullptr);
    EXPECT_NE(tx->output, nullptr);
    EXPECT_NE(tx->form, nullptr);
    tx->k[12 * 3 - 1] = 1.0;  // the whole 12 x order block is ours (ASan checks the bound)
    tx->form[9 * 4 - 1] = 'x';
    tx->output[3] = 1;
    EXPECT_EQ(TXOrder(tx), 3);
    EXPECT_EQ(TXCloseTraxis(tx), 1);
}

TEST(Open, ZeroRelativeToleranceIsAccepted) {
    Traxis tx = TXOpenTraxis(txtest::decay, 1, 0.0, 0.1);
    ASSERT_NE(tx, nullptr);
    EXPECT_EQ(tx->CutEps, 0.0);
    TXCloseTraxis(tx);
}

using OpenDeathTest = ::testing::Test;

TEST(OpenDeathTest, RefusalsReportWithoutHandleAndExitWithStatusOne) {
    EXPECT_EXIT(TXOpenTraxis(txtest::decay, 0, 1e-6, 0.1), ::testing::ExitedWithCode(1),
                report_without_handle("TXOpenTraxis", "Order of dynamical system not positive"));
    EXPECT_EXIT(TXOpenTraxis(txtest::decay, 1, -1e-6, 0.1), ::testing::ExitedWithCode(1),
                report_without_handle("TXOpenTraxis", "Tolerance not positive"));
    EXPECT_EXIT(TXOpenTraxis(txtest::decay, 1, std::nan(""), 0.1), ::testing::ExitedWithCode(1),
                report_without_handle("TXOpenTraxis", "Tolerance not positive"));
    EXPECT_EXIT(TXOpenTraxis(txtest::decay, 1, 1e-6, 0.0), ::testing::ExitedWithCode(1),
                report_without_handle("TXOpenTraxis", "Timestep guess not positive"));
    // Validation order: the order is checked before the tolerance and the step.
    EXPECT_EXIT(TXOpenTraxis(txtest::decay, -1, -1.0, -1.0), ::testing::ExitedWithCode(1),
                report_without_handle("TXOpenTraxis", "Order of dynamical system not positive"));
}

TEST(OpenDeathTest, NullHandleIsRefusedByEveryKindOfOperation) {
    double t = 0, y = 1;
    EXPECT_EXIT(TXStep(nullptr, &t, &y), ::testing::ExitedWithCode(1),
                report_without_handle("TXStep", "Traxis not opened"));
    EXPECT_EXIT(TXStrErrorTraxis(nullptr), ::testing::ExitedWithCode(1),
                report_without_handle("TXStrError", "Traxis not opened"));
    EXPECT_EXIT(TXSetMaxNewtSteps(nullptr, 3), ::testing::ExitedWithCode(1),
                report_without_handle("TXSetMaxNewtSteps", "Traxis not opened"));
    EXPECT_EXIT(TXCloseTraxis(nullptr), ::testing::ExitedWithCode(1),
                report_without_handle("TXCloseTraxis", "Traxis not opened"));
}

TEST(OpenDeathTest, TerminatingReportCarriesTheErrnoText) {
    Traxis tx = TXOpenTraxis(txtest::decay, 1, 1e-6, 0.1);
    ASSERT_NE(tx, nullptr);
    EXPECT_EXIT((errno = 0, TXSetMaxStep(tx, 0.0)), ::testing::ExitedWithCode(1),
                report_with_handle("TXSetMaxStep", "Max time step not positive"));
    EXPECT_EXIT((errno = ENOENT, TXSetMaxStep(tx, -1.0)), ::testing::ExitedWithCode(1),
                report_with_handle("TXSetMaxStep",
                                   "Max time step not positive \\(No such file or directory\\)"));
    TXCloseTraxis(tx);
}

TEST(Errors, NonTerminatingHandleRecordsTheCodeUntilTheNextOperation) {
    Traxis tx = TXOpenTraxis(txtest::decay, 1, 1e-6, 0.1);
    ASSERT_NE(tx, nullptr);
    tx->TerminateOnFatalError = 0;
    EXPECT_EQ(TXSetMaxStep(tx, 0.0), 0);
    EXPECT_EQ(tx->hmax, 0.0);
    EXPECT_EQ(TXErrorTraxis(tx), 11);
    EXPECT_STREQ(TXStrErrorTraxis(tx), "Max time step not positive");
    EXPECT_EQ(TXErrorTraxis(tx), 11);  // the queries do not clear it
    EXPECT_EQ(TXSetMaxStep(tx, 0.5), 1);
    EXPECT_EQ(TXErrorTraxis(tx), 0);
    EXPECT_STREQ(TXStrErrorTraxis(tx), "No error");
    tx->ErrorCode = 9999;  // a caller-written code never indexes past the table
    EXPECT_STREQ(TXStrErrorTraxis(tx), "Unknown error code");
    TXCloseTraxis(tx);
}

TEST(Errors, MessageTableKeepsItsTexts) {
    EXPECT_STREQ(TraxisFatalError[0], "No error");
    EXPECT_STREQ(TraxisFatalError[8], "No Poincare-section defined");
    EXPECT_STREQ(TraxisFatalError[21], "Too many iterations in Housholder QR decomposition");
    EXPECT_STREQ(TraxisFatalError[22], "Singular matrix in LU decompostition");
    EXPECT_STREQ(TraxisFatalError[23], "Pertubation for Jacobian calculation not positive");
    EXPECT_STREQ(TraxisFatalError[30], "No Convergense in Newton iteration");
    EXPECT_STREQ(TraxisFatalError[31], "Step size too small");
    for (int code = 0; code < TX_ERR_COUNT; ++code) EXPECT_NE(TraxisFatalError[code], nullptr);
}

TEST(ErrorsDeathTest, ErrorStreamIsResetByEveryOpen) {
    char path[] = "/tmp/tx_errstream_XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FILE *file = fdopen(fd, "w");
    ASSERT_NE(file, nullptr);
    TXSetErrorOutput(file);
    Traxis tx = TXOpenTraxis(txtest::decay, 1, 1e-6, 0.1);  // back to stderr
    EXPECT_EXIT((errno = 0, TXSetMaxStep(tx, 0.0)), ::testing::ExitedWithCode(1),
                report_with_handle("TXSetMaxStep", "Max time step not positive"));
    TXSetErrorOutput(file);  // after the open it sticks
    EXPECT_EXIT((errno = 0, TXSetMaxStep(tx, 0.0)), ::testing::ExitedWithCode(1), "^$");
    std::fclose(file);
    FILE *in = std::fopen(path, "r");
    ASSERT_NE(in, nullptr);
    char buf[256] = {};
    const size_t got = std::fread(buf, 1, sizeof buf - 1, in);
    std::fclose(in);
    std::remove(path);
    EXPECT_GT(got, 0u);
    EXPECT_NE(std::strstr(buf, "'TXSetMaxStep': Max time step not positive\nTraxis Closed\n"),
              nullptr);
    TXSetErrorOutput(stderr);
    TXCloseTraxis(tx);
}

TEST(ErrorsDeathTest, MathsHookIgnoresUnderflowAndEndsOnOtherErrors) {
    char name[] = "log";
    struct exception underflow = {4, name, 1e-320, 0.0, 0.0};
    EXPECT_EQ(matherr(&underflow), 0);
    struct exception domain = {1, name, -1.0, 0.0, 0.0};
    EXPECT_EXIT((errno = EDOM, matherr(&domain)), ::testing::ExitedWithCode(1),
                "^\nFatal Error in tx \\(" + build_date() +
                    "\\)\n'log': Numerical argument out of domain\nAaaarrrrrggg!! Traxis Closed\n$");
}

}  // namespace
