// Noise-driven integration against a model and a noise term defined here: the library calls
// them by name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>

#include "tx.h"

namespace {

int g_noise_calls = 0;
int g_model_calls = 0;
double g_noise[2] = {0.0, 0.0};  // what noise_part delivers
bool g_zero_drift = false;
bool g_refuse_new = false;

}  // namespace

// y0' = y1, y1' = -y0 + cos t: smooth and forced, so the order shows.
extern "C" void model(double t, double *y, double *dydt) {
    ++g_model_calls;
    dydt[0] = g_zero_drift ? 0.0 : y[1];
    dydt[1] = g_zero_drift ? 0.0 : -y[0] + std::cos(t);
}

extern "C" void noise_part(double, double *, double *noise) {
    ++g_noise_calls;
    noise[0] = g_noise[0];
    noise[1] = g_noise[1];
}

// Allocation fails on request, to see the work memory refused.  Memory comes from malloc, so
// free is the matching release.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void *operator new(std::size_t n) {
    if (g_refuse_new) throw std::bad_alloc();
    if (void *p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

namespace {

class Noise : public ::testing::Test {
protected:
    void SetUp() override {
        g_noise[0] = g_noise[1] = 0.0;
        g_zero_drift = false;
        g_noise_calls = g_model_calls = 0;
        tx_ = TXOpenTraxis(model, 2, 1e-10, 0.01);
        ASSERT_NE(tx_, nullptr);
        tx_->TerminateOnFatalError = 0;
    }
    void TearDown() override { TXCloseTraxis(tx_); }

    double error_at_two(double h) {
        tx_->hnoise = h;
        double t = 0.0, y[2] = {1.0, 0.0};
        EXPECT_EQ(TXIntegrate_With_Noise(tx_, &t, 2.0 - h / 2, y), 1);
        // Exact solution from (1, 0): cos t + t sin t / 2 and its derivative.
        const double e0 = y[0] - (std::cos(t) + t * std::sin(t) / 2);
        const double e1 = y[1] - (-std::sin(t) / 2 + t * std::cos(t) / 2);
        return std::hypot(e0, e1);
    }

    Traxis tx_ = nullptr;
};

TEST_F(Noise, ClassicalFourthOrderWithoutNoise) {
    const double ratio = error_at_two(0.04) / error_at_two(0.02);
    EXPECT_NEAR(ratio, 16.0, 1.0);
    EXPECT_EQ(g_model_calls, 4 * g_noise_calls);
}

TEST_F(Noise, OneSampleScaledByTheRootOfTheStep) {
    // Without drift every stage adds n sqrt(h); with h = 1/4 all of it is exact.
    g_zero_drift = true;
    g_noise[0] = 1.0;
    g_noise[1] = -3.0;  // no mask: every component takes what noise_part gives
    tx_->hnoise = 0.25;
    double t = 0.0, y[2] = {0.0, 0.0};
    ASSERT_EQ(TXIntegrate_With_Noise(tx_, &t, 0.5, y), 1);
    EXPECT_EQ(t, 0.5);
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(y[1], -3.0);
    EXPECT_EQ(g_noise_calls, 2);
}

TEST_F(Noise, WholeStepsAndUntouchedBookkeeping) {
    double t = 0.0, y[2] = {1.0, 0.0};
    ASSERT_EQ(TXIntegrate(tx_, &t, 1.0, y), 1);
    double before[2], after[2];
    TXInterpolate(tx_, 0.9, before);
    const double tfirst = tx_->tfirst, tlast = tx_->tlast, h = tx_->h;

    double tn = 0.0, z[2] = {1.0, 0.0};
    ASSERT_EQ(TXIntegrate_With_Noise(tx_, &tn, 0.025, z), 1);
    EXPECT_EQ(tn, 0.01 + 0.01 + 0.01);  // the last step is not shortened
    EXPECT_EQ(g_noise_calls, 3);

    TXInterpolate(tx_, 0.9, after);
    EXPECT_EQ(after[0], before[0]);
    EXPECT_EQ(after[1], before[1]);
    EXPECT_EQ(tx_->tfirst, tfirst);
    EXPECT_EQ(tx_->tlast, tlast);
    EXPECT_EQ(tx_->h, h);

    ASSERT_EQ(TXIntegrate_With_Noise(tx_, &tn, tn, z), 1);  // no step, no draw
    EXPECT_EQ(g_noise_calls, 3);
}

TEST_F(Noise, Refusals) {
    double t = 1.0, y[2] = {1.0, 0.0};
    EXPECT_EQ(TXIntegrate_With_Noise(tx_, &t, 0.5, y), 0);
    EXPECT_EQ(tx_->ErrorCode, TX_ERR_NEGATIVE_STEP);
    // Neither a NaN nor an infinite target can be reached.
    for (double unreachable : {static_cast<double>(NAN), static_cast<double>(INFINITY)}) {
        EXPECT_EQ(TXIntegrate_With_Noise(tx_, &t, unreachable, y), 0);
        EXPECT_EQ(tx_->ErrorCode, TX_ERR_NEGATIVE_STEP);
        EXPECT_EQ(t, 1.0);
    }

    // hnoise is a public field: a step that cannot reach the target is refused.
    for (double bad : {0.0, -0.1, static_cast<double>(NAN)}) {
        tx_->hnoise = bad;
        EXPECT_EQ(TXIntegrate_With_Noise(tx_, &t, 2.0, y), 0);
        EXPECT_EQ(tx_->ErrorCode, TX_ERR_TIMESTEP_GUESS);
    }
    tx_->hnoise = 1e-3;
    t = 1e16;
    EXPECT_EQ(TXIntegrate_With_Noise(tx_, &t, 2e16, y), 0);
    EXPECT_EQ(tx_->ErrorCode, TX_ERR_STEP_TOO_SMALL);
    EXPECT_EQ(t, 1e16);
    EXPECT_EQ(g_noise_calls, 0);

    t = 0.0;
    g_refuse_new = true;
    const int status = TXIntegrate_With_Noise(tx_, &t, 1.0, y);
    g_refuse_new = false;
    EXPECT_EQ(status, 0);
    EXPECT_EQ(tx_->ErrorCode, TX_ERR_NO_MEMORY);
    EXPECT_EQ(t, 0.0);
}

TEST(NoiseDeath, NullHandleIsReported) {
    double t = 0.0, y[2] = {0.0, 0.0};
    EXPECT_EXIT(TXIntegrate_With_Noise(nullptr, &t, 1.0, y), ::testing::ExitedWithCode(1),
                "Traxis not opened");
}

}  // namespace
