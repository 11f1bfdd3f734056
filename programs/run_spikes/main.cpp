// run_spikes outfile: the histogram of the intervals between spikes of one model variable,
// with the mean interval and the mean firing rate, written to outfile and shown by the viewer.
//
// The sampling loop ends after kMaxSampleSteps sample steps even when fewer intervals than
// requested fell into the histogram range (a quiet trajectory would otherwise run forever), and
// as soon as the observed variable is no longer finite; the program then says how far it came
// and exits with status 1, leaving outfile as it was.
#include <cmath>
#include <cstdio>
#include <string>

#include "batch.hpp"
#include "isi_histogram.hpp"
#include "launch.hpp"
#include "model.h"
#include "progress.hpp"
#include "tx.h"

namespace {

using txprog::fail;

constexpr const char *kProgram = "run_spikes";
constexpr int kSettings = 9;
constexpr long kMaxSampleSteps = 1000000000L;  // 1e7 time units at a sample step of 0.01
constexpr double kMaxBins = 1e7;

// Positions in "param.isi"; 7 and 8 are read and echoed only.
enum { kObserved, kUpper, kLower, kShortest, kLongest, kBins, kWanted };

int observed_component(const double *v) {
    const double k = std::rint(v[kObserved]);
    if (!(k >= 0 && k < kModelDim))
        fail(kProgram, "param.isi: the observed variable (value 1) must round to 0, 1 or 2, not %g",
             v[kObserved]);
    return static_cast<int>(k);
}

txprog::IsiSettings histogram_settings(const double *v) {
    for (int i = kUpper; i <= kWanted; ++i)
        if (!std::isfinite(v[i])) fail(kProgram, "param.isi: value %d is not a number", i + 1);
    // A reversed range would count no interval and run until the step limit.
    if (!(v[kLongest] > v[kShortest]))
        fail(kProgram, "param.isi: the upper edge of the histogram range (value 5, %g) must lie "
             "above the lower edge (value 4, %g)", v[kLongest], v[kShortest]);
    if (!(v[kBins] >= 1 && v[kBins] <= kMaxBins))
        fail(kProgram, "param.isi: the number of bins (value 6) must lie in 1 ... %g", kMaxBins);
    // Every interval takes at least one sample step: more than the step bound can never be
    // counted, and the run would only end at the bound, hours later.
    if (v[kWanted] > static_cast<double>(kMaxSampleSteps))
        fail(kProgram, "param.isi: the number of intervals (value 7) must not exceed %ld, the "
             "bound on sample steps", kMaxSampleSteps);
    txprog::IsiSettings s;
    s.upper = v[kUpper];
    s.lower = v[kLower];
    s.shortest = v[kShortest];
    s.longest = v[kLongest];
    s.bins = static_cast<int>(v[kBins]);
    s.wanted = v[kWanted];
    return s;
}

}  // namespace

int main(int argc, char **argv) {
    const char *outname = txprog::output_argument(argc, argv, kProgram);
    txprog::BatchInputs in;
    txprog::read_inputs(kProgram, &kRunSpikes, in);
    const double *values = in.values;
    const int k = observed_component(values);
    const txprog::IsiSettings settings = histogram_settings(values);
    const double dt = num[2];
    if (!(dt > 0 && std::isfinite(dt)))
        fail(kProgram, "system.st: the sample step (third &num value) must be positive");
    const int mode = in.mode;
    double t = num[0];
    double *const y = in.y;

    txprog::Output &out = txprog::open_outfile(kProgram, outname);
    Traxis tx = TXOpenTraxis(model, kModelDim, 1e-6, 0.001);
    TXSetCut(tx, cutfun, 1e-6);
    txprog::IsiHistogram hist(settings, y[k]);
    long steps = 0;
    txprog::Progress progress(kProgram, [&] {
        char text[160];
        std::snprintf(text, sizeof text, "%d of %g intervals, t = %g after %ld sample steps",
                      hist.count(), settings.wanted, t, steps);
        return std::string(text);
    });
    const bool complete = hist.fill(
        [&](double &now, double &v) {
            Belva_Integration_Step(mode, tx, &t, y, dt);
            ++steps;
            progress.poll();
            now = t;
            v = y[k];
            return std::isfinite(v);
        },
        dt, kMaxSampleSteps);
    if (!complete) {
        const char *why = steps == kMaxSampleSteps ? "stopped after" : "diverged within";
        fail(kProgram, "%s %ld sample steps with %d of %g intervals; %s is left as it was", why,
             steps, hist.count(), settings.wanted, outname);
    }
    txprog::write_isi_table(out.stream(), txprog::process_pairs(in.names, values, kSettings),
                            txprog::model_parameters(in.st), hist);
    TXCloseTraxis(tx);
    txprog::commit_outputs();
    txprog::run_with_file(" ./bv_viewer.tcl ", outname, " i \n");
    return 0;
}
