// Spike detection, the interval histogram and its bound, on synthetic signals.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "isi_histogram.hpp"

namespace {

// upper, lower threshold, shortest, longest interval, bins, intervals wanted
using Settings = txprog::IsiSettings;

// Feeds samples v[i] at times t0 + (i + 1) dt.
void feed(txprog::IsiHistogram &h, const std::vector<double> &v, double dt, double t0 = 0.0) {
    for (std::size_t i = 0; i < v.size(); ++i) h.sample(t0 + (i + 1) * dt, v[i], dt);
}

TEST(IsiHistogram, IntervalsOfASampledOscillationEqualItsPeriod) {
    const double period = 7.305, dt = 0.01, kPi = std::acos(-1.0);
    // Bins 0.01 wide; the period lies mid-bin, away from the sampling jitter.
    txprog::IsiHistogram h(Settings{0.5, -0.5, 7.0, 8.0, 100, 20}, 0.0);
    double t = 0.0;
    ASSERT_TRUE(h.fill(
        [&](double &now, double &v) {
            t += dt;
            now = t;
            v = std::sin(2 * kPi * t / period);
            return true;
        },
        dt, 100000));
    EXPECT_EQ(h.count(), 20);
    EXPECT_FLOAT_EQ(h.frequency(30), 1.0f);  // [7.30, 7.31)
    EXPECT_NEAR(h.centre(30), 7.305, 1e-12);
    // The span starts at the sample that saw the first spike, up to dt after it.
    EXPECT_NEAR(h.mean_interval(), period, dt / 20);
    EXPECT_NEAR(h.firing_rate(), 1 / period, dt / 20 / (period * period));
}

TEST(IsiHistogram, ThresholdsAreInclusive) {
    txprog::IsiHistogram h(Settings{1.0, 0.0, 0.0, 100.0, 100, 10}, 0.0);
    // Spikes at exactly the upper threshold, re-armed at exactly the lower one.
    feed(h, {0.5, 1.0, 0.5, 0.0, 1.0, 0.2, 1.0}, 1.0);
    EXPECT_EQ(h.count(), 2);  // at t = 2 and t = 5; the last sample came before re-arming
    EXPECT_FLOAT_EQ(h.frequency(2), 0.5f);  // 2 - 0: measured from time 0
    EXPECT_FLOAT_EQ(h.frequency(3), 0.5f);
}

TEST(IsiHistogram, OverlappingThresholdsMakeEverySampleBetweenThemASpike) {
    txprog::IsiHistogram h(Settings{0.5, 0.5, 0.0, 10.0, 10, 10}, 0.0);
    feed(h, {0.5, 0.5, 0.5}, 1.0);
    EXPECT_EQ(h.count(), 3);  // at 1 (interval 1 from time 0), 2 and 3
    EXPECT_FLOAT_EQ(h.frequency(1), 1.0f);
}

TEST(IsiHistogram, RangeIsClosedBelowAndOpenAbove) {
    txprog::IsiHistogram h(Settings{1.0, 0.0, 2.0, 3.0, 4, 10}, 0.0);
    // Spikes at 2, 5 and 7: intervals 2 (lower edge), 3 (upper edge) and 2.
    feed(h, {0, 1, 0, 0, 1, 0, 1}, 1.0);
    EXPECT_EQ(h.count(), 2);
    EXPECT_FLOAT_EQ(h.frequency(0), 1.0f);
    // The dropped interval still ends at its spike, and the span covers it.
    EXPECT_DOUBLE_EQ(h.mean_interval(), (7.0 - 2.0) / 2);
}

TEST(IsiHistogram, NothingWantedIsCompleteAtOnce) {
    txprog::IsiHistogram h(Settings{1.0, 0.0, 0.0, 1.0, 3, 0}, 0.0);
    long calls = 0;
    EXPECT_TRUE(h.fill([&](double &, double &) { return ++calls > 0; }, 0.1, 10));
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(std::isnan(h.mean_interval()));
    EXPECT_TRUE(std::isnan(h.firing_rate()));
    EXPECT_TRUE(std::isnan(h.frequency(0)));
}

TEST(IsiHistogram, FillStopsAtItsBound) {
    txprog::IsiHistogram h(Settings{1.0, 0.0, 0.0, 1.0, 3, 5}, 0.0);
    long calls = 0;
    EXPECT_FALSE(h.fill(
        [&](double &now, double &v) {
            now = ++calls;
            v = 0.0;
            return true;
        },
        1.0, 1000));
    EXPECT_EQ(calls, 1000);
    EXPECT_FALSE(h.fill([](double &, double &) { return false; }, 1.0, 1000));
}

}  // namespace
