// Spike detection by two thresholds and the histogram of the intervals between spikes.
#include "isi_histogram.hpp"

#include <cmath>

namespace txprog {

IsiHistogram::IsiHistogram(const IsiSettings &settings, double initial)
    : settings_(settings),
      hist_(static_cast<std::size_t>(settings.bins > 0 ? settings.bins : 0), 0.0f),
      previous_value_(initial) {}

void IsiHistogram::sample(double t, double v, double dt) {
    if (!seen_spike_) first_time_ = t;
    if (!in_spike_ && v >= settings_.upper) {
        in_spike_ = true;
        seen_spike_ = true;
        // Linear interpolation to the threshold between the two samples.  Without a rise
        // through the threshold (the first sample, or thresholds that overlap) the spike is
        // placed at the sample itself.
        double spike = t;
        if (previous_value_ < settings_.upper)
            spike = t - dt * (v - settings_.upper) / (v - previous_value_);
        const double interval = spike - previous_spike_;
        const double bin = std::floor(settings_.bins * (interval - settings_.shortest) /
                                      (settings_.longest - settings_.shortest));
        if (bin >= 0.0 && bin < settings_.bins) {  // also false for NaN
            hist_[static_cast<std::size_t>(bin)] += 1.0f;
            ++count_;
        }
        previous_spike_ = spike;
        last_spike_ = spike;
    }
    if (in_spike_ && v <= settings_.lower) in_spike_ = false;
    previous_value_ = v;
}

double IsiHistogram::mean_interval() const { return (last_spike_ - first_time_) / count_; }

double IsiHistogram::firing_rate() const { return count_ / (last_spike_ - first_time_); }

double IsiHistogram::centre(int bin) const {
    return settings_.shortest +
           (settings_.longest - settings_.shortest) * (bin + 0.5) / settings_.bins;
}

float IsiHistogram::frequency(int bin) const {
    return hist_[static_cast<std::size_t>(bin)] / static_cast<float>(count_);
}

bool write_isi_table(std::FILE *out, const std::vector<Named> &settings,
                     const std::vector<Named> &parameters, const IsiHistogram &hist) {
    bool ok = write_named_lines(out, settings, "# %s=%f \n");
    ok &= write_named_lines(out, parameters, "# %s =%f \n");
    ok &= std::fprintf(out, "# Mean ISI= %f \n", hist.mean_interval()) >= 0;
    ok &= std::fprintf(out, "# Mean firing rate= %f\n", hist.firing_rate()) >= 0;
    for (int i = 0; i < hist.bins(); ++i)
        ok &= std::fprintf(out, " %f %f \n", hist.centre(i), hist.frequency(i)) >= 0;
    return ok;
}

}  // namespace txprog
