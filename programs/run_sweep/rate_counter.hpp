// Firing rate of one signal: a spike is the signal rising above 0.1 while armed; it re-arms once
// the signal falls below 0.  The span starts at the first spike, so 100 spikes give 100 over a
// span of 99 intervals.
#pragma once

struct RateCounter {
    static constexpr double kSpike = 0.1;
    static constexpr double kRearm = 0.0;

    int fired = 0;        // 1 from a spike until the signal falls below kRearm
    int seen = 0;         // 1 once the first spike was counted
    double first_time = 0.0;
    int count = 0;

    // t is the end of the sample step that produced signal
    void spike_test(double signal, double t) {
        if (fired == 0 && signal > kSpike) {
            fired = 1;
            if (!seen) {
                seen = 1;
                first_time = t;
            }
            ++count;
        }
    }
    void rearm_test(double signal) {
        if (fired && signal < kRearm) fired = 0;
    }
    double rate(double t) const { return count / (t - first_time); }
};
