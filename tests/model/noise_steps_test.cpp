// The programs' fixed-step integrators: order without noise, the scaling of the noise, time
// keeping, the batch drivers, and agreement with the library's noise-driven integration.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "detail/random.hpp"
#include "files.hpp"
#include "model.h"

namespace {

void seed(long s) {
    tx::detail::reset_generators();
    lidum = s;
}

void set_model(double sigma) {
    const double p[kModelParams] = {0.5, 0.3, 0.8, sigma, 0.4};
    for (int i = 0; i < kModelParams; ++i) par[i] = p[i];
    force_on = 0.2;  // a smooth pulse inside [0, 1]
    force_off = 0.8;
}

using Stepper = void (*)(double *, double *, double);

// Error in x at t = 1 from a state where x stays positive (the model is smooth there).
double error_at_one(Stepper step, int n) {
    double ref_t = 0.0, ref[3] = {1.0, 0.5, 0.2};
    for (int i = 0; i < 20000; ++i) NNSrk4step_blocked(&ref_t, ref, 1.0 / 20000);
    double t = 0.0, y[3] = {1.0, 0.5, 0.2};
    for (int i = 0; i < n; ++i) step(&t, y, 1.0 / n);
    EXPECT_NEAR(t, 1.0, 1e-12);
    return std::fabs(y[0] - ref[0]);
}

TEST(NoiseSteps, OrdersWithoutNoise) {
    set_model(0.0);
    const double euler = error_at_one(NNSrk4step, 50) / error_at_one(NNSrk4step, 100);
    EXPECT_NEAR(euler, 2.0, 0.2);
    const double rk4 = error_at_one(NNSrk4step_blocked, 10) / error_at_one(NNSrk4step_blocked, 20);
    EXPECT_NEAR(rk4, 16.0, 2.0);

    // One Euler step is exactly y + h f.
    double t = 0.5, y[3] = {0.3, -0.2, 0.1}, f[3];
    model(t, y, f);
    const double expected[3] = {0.3 + f[0] * 0.01, -0.2 + f[1] * 0.01, 0.1 + f[2] * 0.01};
    NNSrk4step(&t, y, 0.01);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(y[i], expected[i]);
    EXPECT_EQ(t, 0.51);
}

TEST(NoiseSteps, NoiseScalesWithTheStepOrItsRoot) {
    // From the origin with a = b = c = A = 0 the drift is zero at the start, so x moves by the
    // noise alone: q = sigma g h for the Euler step.  For the four stages q = sigma g sqrt(h),
    // less the feedback through v' = -x within the step, which works out to q h^2 / 6.
    const double p[kModelParams] = {0.0, 0.0, 0.0, 0.7, 0.0};
    for (int i = 0; i < kModelParams; ++i) par[i] = p[i];
    seed(3);
    const double g = gasdev();
    seed(3);
    double t = 0.0, y[3] = {0.0, 0.0, 0.0};
    NNSrk4step(&t, y, 0.01);
    EXPECT_EQ(y[0], 0.7 * g * 0.01);
    EXPECT_EQ(y[1], 0.0);
    seed(3);
    double z[3] = {0.0, 0.0, 0.0};
    NNSrk4step_blocked(&t, z, 0.01);
    const double q = 0.7 * g * 0.1;
    EXPECT_NEAR(z[0], q * (1 - 0.01 * 0.01 / 6), 1e-12 * std::fabs(q));
    EXPECT_EQ(t, 0.02);
}

TEST(NoiseSteps, FixedStepsKeepTime) {
    set_model(0.3);
    seed(11);
    double y[3] = {0.2, 0.1, 0.0};
    NNSrk4(4.0, y);  // leaves time keeping to the caller
    seed(11);
    double t = 4.0, z[3] = {0.2, 0.1, 0.0};
    NNSrk4step_blocked(&t, z, 0.001);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(y[i], z[i], 1e-16);
    double tn = 1.0;
    NNSrk4n(&tn, y);
    EXPECT_DOUBLE_EQ(tn, 1.005);
}

TEST(NoiseSteps, BatchDriversAgree) {
    txtest::ScratchDir dir;
    ASSERT_TRUE(dir.ok());
    set_model(0.2);
    const double start[3] = {0.3, 0.0, 0.1};

    seed(5);
    double t = 2.0, y[3] = {start[0], start[1], start[2]}, last[3];
    NNSrk4nm(&t, y, last);
    EXPECT_NEAR(t, 2.0 + kBatchRuns * 0.005, 1e-9);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(last[i], y[i]);

    seed(5);
    double t2 = 2.0, y2[3] = {start[0], start[1], start[2]};
    std::vector<float> x(kBatchRuns), v(kBatchRuns);
    NNSrk4nm2(&t2, y2, x.data(), v.data());
    EXPECT_EQ(t2, t);
    EXPECT_EQ(x.back(), static_cast<float>(y[0]));
    EXPECT_EQ(v.back(), static_cast<float>(y[1]));

    seed(5);
    double t3 = 2.0, y3[3] = {start[0], start[1], start[2]};
    std::vector<float> x1(kBatchRuns);
    NNSrk4nm1(&t3, y3, x1.data());
    EXPECT_EQ(x1, x);

    seed(5);
    double t4 = 2.0, y4[3] = {start[0], start[1], start[2]};
    NNSrk4nm2f(&t4, y4);
    const std::string text = txtest::read_file("out.dat");
    char last_line[128];
    std::snprintf(last_line, sizeof last_line, " %f %f %f \n", t, y[0], y[1]);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kBatchRuns);
    EXPECT_EQ(text.substr(text.size() - std::strlen(last_line)), last_line);

    seed(5);
    double t5 = 2.0, y5[3] = {start[0], start[1], start[2]};
    NNSrk4nm1f(&t5, y5);
    std::snprintf(last_line, sizeof last_line, " %f %f \n", t, y[0]);
    const std::string text1 = txtest::read_file("out.dat");
    EXPECT_EQ(text1.substr(text1.size() - std::strlen(last_line)), last_line);

    // Without "out.dat" the run still integrates and says why nothing was written.
    std::remove("out.dat");
    ASSERT_EQ(::mkdir("out.dat", 0700), 0);
    seed(5);
    double t6 = 2.0, y6[3] = {start[0], start[1], start[2]};
    testing::internal::CaptureStderr();
    NNSrk4nm1f(&t6, y6);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "ERROR: could not create out.dat\n");
    EXPECT_EQ(y6[0], y[0]);
}

TEST(NoiseSteps, LibraryIntegrationIsTheSameScheme) {
    set_model(0.5);
    Traxis tx = TXOpenTraxis(model, 3, 1e-8, 0.01);
    ASSERT_NE(tx, nullptr);
    double t = 0.0, y[3] = {0.4, 0.1, -0.2};
    TXIntegrate(tx, &t, 1.0, y);
    double before[3];
    TXInterpolate(tx, 0.95, before);
    const double tfirst = tx->tfirst, tlast = tx->tlast, h = tx->h;

    seed(8);
    double ours_t = t, ours[3] = {y[0], y[1], y[2]};
    for (int i = 0; i < 3; ++i) NNSrk4step_blocked(&ours_t, ours, 0.01);
    seed(8);
    ASSERT_EQ(TXIntegrate_With_Noise(tx, &t, 1.025, y), 1);
    EXPECT_NEAR(t, 1.03, 1e-12);  // three whole steps: the last one is not shortened
    for (int i = 0; i < 3; ++i) EXPECT_EQ(y[i], ours[i]);

    double after[3];
    TXInterpolate(tx, 0.95, after);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(after[i], before[i]);
    EXPECT_EQ(tx->tfirst, tfirst);
    EXPECT_EQ(tx->tlast, tlast);
    EXPECT_EQ(tx->h, h);
    TXCloseTraxis(tx);
}

}  // namespace
