// Spike detection by two thresholds and the histogram of the intervals between spikes.
#pragma once

#include <cstdio>
#include <vector>

#include "batch.hpp"

namespace txprog {

struct IsiSettings {
    double upper = 0.0;    // a spike is registered at or above it while armed
    double lower = 0.0;    // detection re-arms at or below it
    double shortest = 0.0; // lower edge of the histogram range
    double longest = 0.0;  // upper edge
    int bins = 0;
    double wanted = 0.0;   // intervals to collect
};

class IsiHistogram {
public:
    // initial: the observed variable at the start, the "previous value" of the first sample
    IsiHistogram(const IsiSettings &settings, double initial);

    // One sample of the observed variable v at time t, dt after the previous sample.
    void sample(double t, double v, double dt);

    // Samples advance(t, v), which moves on by dt and returns false when it cannot go on,
    // until enough intervals are counted.  False when it stopped or max_steps samples did not
    // suffice.
    template <class Advance>
    bool fill(Advance &&advance, double dt, long max_steps) {
        for (long step = 0; !complete(); ++step) {
            double t = 0.0, v = 0.0;
            if (step == max_steps || !advance(t, v)) return false;
            sample(t, v, dt);
        }
        return true;
    }

    bool complete() const { return static_cast<double>(count_) >= settings_.wanted; }
    int count() const { return count_; }
    double mean_interval() const;
    double firing_rate() const;
    double centre(int bin) const;
    float frequency(int bin) const;
    int bins() const { return settings_.bins; }

private:
    IsiSettings settings_;
    std::vector<float> hist_;
    int count_ = 0;
    bool in_spike_ = false;
    bool seen_spike_ = false;
    double first_time_ = 0.0;
    double last_spike_ = 0.0;
    double previous_spike_ = 0.0;  // the first interval is measured from time 0
    double previous_value_;
};

// The table: the process settings, the model parameters, the two means, one line per bin.
// False when a write failed.
bool write_isi_table(std::FILE *out, const std::vector<Named> &settings,
                     const std::vector<Named> &parameters, const IsiHistogram &hist);

}  // namespace txprog
