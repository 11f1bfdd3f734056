// run_sweep FILEMODE SEED INTEGRATION OUTFILE: firing rates of the model over a parameter range.
//
// "param.udf" gives the index of the swept model parameter, a nominal first value (the sweep
// starts one increment below it), an exclusive end value and the increment; four more values are
// read and echoed.  For each value the noisy model is advanced by sample steps num[2] with the
// integrator INTEGRATION (0 Euler with noise, 1 adaptive, 2 four-stage with noise) until x = y[0]
// has fired 100 spikes, and OUTFILE gets "p  rate_x  rate_v ratio" (FILEMODE 0 empties it first,
// any other value appends).  Time and state run on from one value to the next.
//
// The second rate counts spikes of v = y[1] with the same thresholds as x (above 0.1 while armed,
// re-armed below 0), so the last column compares the firing of x with the oscillation of v.
//
// A value at which x stops firing must not stall the sweep: after kMaxSampleSteps (10^7) sample
// steps without 100 spikes the line is written with the rates measured so far and standard error
// says so.  Bad arguments and inputs end the run with a message and status 1 before OUTFILE is
// opened; a library failure (through the library's error report) and a state that is no longer
// finite end it later, with OUTFILE left as it was.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "batch.hpp"
#include "model.h"
#include "progress.hpp"
#include "rate_counter.hpp"
#include "tx.h"

namespace {

constexpr int kSpikesPerValue = 100;
constexpr long kMaxSampleSteps = 10000000;
constexpr int kUdfValues = 8;
enum UdfPosition { kIndex, kFirst, kEnd, kIncrement };

constexpr const char *kProgram = "run_sweep";

bool parse_long(const char *arg, long &out) {
    errno = 0;
    char *end;
    out = std::strtol(arg, &end, 10);
    return errno == 0 && end != arg && *end == '\0';
}

struct Arguments {
    long filemode, seed, integration;
    const char *outfile;
};

std::string parse_arguments(int argc, char **argv, Arguments &a) {
    if (argc < 5) return "usage: run_sweep FILEMODE SEED INTEGRATION OUTFILE";
    a.outfile = argv[4];
    if (!parse_long(argv[1], a.filemode))
        return std::string("FILEMODE must be a whole number, not '") + argv[1] + "'";
    if (!parse_long(argv[2], a.seed))
        return std::string("SEED must be a whole number, not '") + argv[2] + "'";
    if (!parse_long(argv[3], a.integration) || a.integration < kModeEuler ||
        a.integration > kModeNoisyRk4)
        return std::string("INTEGRATION must be 0, 1 or 2, not '") + argv[3] + "'";
    return "";
}

std::string check_settings(const double *udf) {
    if (!(udf[kIndex] > -1.0 && udf[kIndex] < kModelParams))
        return "param.udf: the swept parameter index must be 0 ... 4";
    if (!std::isfinite(udf[kFirst]) || !std::isfinite(udf[kEnd]))
        return "param.udf: the first and the end value must be finite";
    if (!(udf[kIncrement] > 0.0 && std::isfinite(udf[kIncrement])))
        return "param.udf: the increment must be positive";
    // Below half the spacing of the doubles near the largest value the sweep would stand still.
    const double start = udf[kFirst] - udf[kIncrement];
    const double largest = std::fmax(std::fabs(start), std::fabs(udf[kEnd]));
    if (start < udf[kEnd] && largest + udf[kIncrement] == largest) {
        char text[96];
        std::snprintf(text, sizeof text, "param.udf: the increment is too small to move %g on",
                      largest);
        return text;
    }
    if (!(num[2] > 0.0 && std::isfinite(num[2])))
        return "system.st: the sample step (the third &num value) must be positive";
    return "";
}

// Counts spikes at one parameter value; false when the state left the finite numbers.
bool measure(Traxis tx, int mode, double &t, double *y, RateCounter &x, RateCounter &v,
             txprog::Progress &progress) {
    for (long step = 0; x.count < kSpikesPerValue && step < kMaxSampleSteps; ++step) {
        progress.poll();
        Belva_Integration_Step(mode, tx, &t, y, num[2]);
        if (!std::isfinite(y[0]) || !std::isfinite(y[1])) return false;
        x.spike_test(y[0], t);
        v.spike_test(y[1], t);
        x.rearm_test(y[0]);
        v.rearm_test(y[1]);
    }
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    Arguments args;
    const std::string usage = parse_arguments(argc, argv, args);
    if (!usage.empty()) txprog::fail(kProgram, "%s", usage.c_str());

    model_program_start(&kRunSweep);
    // A library failure ends the process inside the library, with its report and status 1.
    Traxis tx = TXOpenTraxis(model, kModelDim, 1e-6, 0.001);
    if (!tx) return 1;
    TXSetCut(tx, cutfun, 1e-6);
    lidum = args.seed;
    Read_St_File("system.st");
    double y[kModelDim];
    for (int i = 0; i < kModelDim; ++i) y[i] = vars[i].value;
    for (int i = 0; i < kModelParams; ++i) par[i] = params[i].value;
    double t = num[0];
    force_on = num[3];
    force_off = num[4];
    char names[kUdfValues][kProcNameMax + 1];
    double udf[kUdfValues];
    Load_Proc_Pars("param.udf", kUdfValues, names, udf);
    const std::string bad = check_settings(udf);
    if (!bad.empty()) txprog::fail(kProgram, "%s", bad.c_str());
    const int swept = static_cast<int>(udf[kIndex]);

    std::puts("opening outfile");
    txprog::Output &output = txprog::open_output(
        kProgram, args.outfile,
        args.filemode == 0 ? txprog::OutputMode::kReplace : txprog::OutputMode::kAppend);
    std::FILE *out = output.stream();
    std::puts("....opened  ");

    double p = udf[kFirst] - udf[kIncrement];
    int index = 0;
    RateCounter x, v;
    txprog::Progress progress(kProgram, [&] {
        char text[160];
        std::snprintf(text, sizeof text, "p = %f (value %d), %d of %d spikes of x, t = %g", p,
                      index, x.count, kSpikesPerValue, t);
        return std::string(text);
    });
    while (p < udf[kEnd]) {
        par[swept] = p;
        ++index;
        x = RateCounter{};
        v = RateCounter{};
        std::printf("apar=%f \n", p);
        if (!measure(tx, static_cast<int>(args.integration), t, y, x, v, progress))
            txprog::fail(kProgram, "the state is no longer finite at t = %g; "
                         "a smaller sample step may help", t);
        if (x.count < kSpikesPerValue)
            std::fprintf(stderr,
                         "run_sweep: p = %f: only %d spikes of x in %ld sample steps; "
                         "the line holds the rates measured so far\n",
                         p, x.count, kMaxSampleSteps);
        const double rate_x = x.rate(t), rate_v = v.rate(t);
        // 0 / 0 when neither fired; written as "nan" rather than the sign-dependent "-nan"
        const double ratio = rate_v == 0.0 && rate_x == 0.0
                                 ? std::numeric_limits<double>::quiet_NaN()
                                 : rate_x / rate_v;
        std::fprintf(out, "%f  %f  %f %f \n", p, rate_x, rate_v, ratio);
        std::fflush(stdout);
        const double next = p + udf[kIncrement];
        if (next == p)
            txprog::fail(kProgram, "param.udf: the increment is too small to move %g on", p);
        p = next;
    }
    txprog::commit_outputs();
    std::puts("DONE... ");
    TXCloseTraxis(tx);
    return 0;
}
