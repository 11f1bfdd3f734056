// The two-threshold spike rule behind both rates.
#include <gtest/gtest.h>

#include "rate_counter.hpp"

namespace {

// Feeds samples at t = 1, 2, ... through the spike test and then the re-arm test.
RateCounter feed(std::initializer_list<double> samples) {
    RateCounter c;
    double t = 0;
    for (double s : samples) {
        c.spike_test(s, ++t);
        c.rearm_test(s);
    }
    return c;
}

TEST(RateCounter, ASpikeNeedsMoreThanTheThresholdAndRearmsBelowZero) {
    EXPECT_EQ(feed({0.1, 0.1, 0.1}).count, 0);            // exactly 0.1 is no spike
    EXPECT_EQ(feed({0.2, 0.0, 0.2}).count, 1);            // exactly 0 does not re-arm
    EXPECT_EQ(feed({0.2, -1e-9, 0.2}).count, 2);
    EXPECT_EQ(feed({0.2, 0.5, 0.05, 0.3}).count, 1);      // staying positive keeps it fired
    EXPECT_EQ(feed({0.2, -0.1, 0.2, -0.1, 0.2}).count, 3);
}

TEST(RateCounter, TheSpanStartsAtTheFirstSpike) {
    const RateCounter c = feed({0.0, 0.0, 0.5, -1, 0.5, -1, 0.5});  // spikes at t = 3, 5, 7
    EXPECT_EQ(c.first_time, 3.0);
    EXPECT_EQ(c.count, 3);
    EXPECT_DOUBLE_EQ(c.rate(7.0), 3.0 / 4.0);
}

}  // namespace
