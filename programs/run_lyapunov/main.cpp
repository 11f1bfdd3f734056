// run_lyapunov mode file: the Lyapunov spectrum of the model, sorted, with the Lyapunov dimension
// when "param.lce" asks for it.  Mode 1 or less computes it once into "out.lce"; mode 2 computes
// nothing; mode 100 sweeps one parameter into file after emptying it, any other mode appends the
// sweep's lines to file.  The sweep continues the trajectory from one value to the next.  The
// file written is complete or, after a failure, as it was.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "batch.hpp"
#include "lyap_spectrum.hpp"
#include "model.h"
#include "progress.hpp"
#include "settings.hpp"
#include "tx.h"

namespace {

using txlyap::kProgram;
using txlyap::Settings;
using txlyap::Spectrum;
using txprog::fail;

constexpr int kSingleRun = 1, kNoRun = 2, kEmptyingSweep = 100;

// A whole number, as the mode always is; "abc" used to run silently as mode 0.
int mode_argument(const char *text) {
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < INT_MIN || v > INT_MAX)
        fail(kProgram, "mode: must be a whole number, not '%s'", text);
    return static_cast<int>(v);
}

struct Trajectory {
    Traxis tx;
    double t;
    double y[kModelDim];
};

// What the progress line tells: TXLyapCalc runs long in one call, so the right-hand side is
// where the run can be watched.
struct Watch {
    txprog::Progress *progress = nullptr;
    double t = 0.0;            // of the latest right-hand-side evaluation
    double t_end = 0.0;        // where the current computation ends
    int parameter = 0;
    int value_index = 0;       // of the sweep; 0 in a single run
} g_watch;

void watched_model(double t, double *y, double *dydt) {
    model(t, y, dydt);
    g_watch.t = t;
    g_watch.progress->poll();
}

std::string describe() {
    char sweep[48] = "";
    if (g_watch.value_index > 0)
        std::snprintf(sweep, sizeof sweep, " (value %d of the sweep)", g_watch.value_index);
    char text[192];
    std::snprintf(text, sizeof text, "%s = %g%s, t = %g of %g", params[g_watch.parameter].name,
                  par[g_watch.parameter], sweep, g_watch.t, g_watch.t_end);
    return text;
}

// Exponents from the current state onwards; a library failure ends the program with its report.
Spectrum compute(Trajectory &run, const Settings &s, double *exponents) {
    g_watch.t_end = run.t + static_cast<double>(s.trans_steps + s.lyap_steps) * s.lyap_dt;
    TXLyapCalc(run.tx, &run.t, run.y, s.eps, s.lyap_dt, s.trans_steps, s.lyap_steps, exponents,
               s.computed);
    txlyap::sort_descending(exponents, s.computed);
    const double dimension =
        s.with_dimension ? txlyap::lyap_dim(exponents, s.computed, s.threshold) : 0.0;
    return {exponents, s.written, s.with_dimension, dimension};
}

void single_run(Trajectory &run, const Settings &s, std::FILE *out) {
    double exponents[kModelDim];
    const Spectrum spectrum = compute(run, s, exponents);
    txlyap::write_single(out, params[s.parameter].name, par[s.parameter], spectrum);
}

void sweep(Trajectory &run, const Settings &s, std::FILE *out) {
    double exponents[kModelDim];
    for (double p = par[s.parameter]; p <= s.sweep_end;) {
        par[s.parameter] = p;
        ++g_watch.value_index;
        const Spectrum spectrum = compute(run, s, exponents);
        txlyap::write_sweep_line(out, p, spectrum);
        // check_sweep rules this out; kept so that no rounding can make the loop endless.
        const double next = p + s.increment;
        if (next == p)
            fail(kProgram, "param.lce: the sweep increment (value 8) is too small to move %g on",
                 p);
        p = next;
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: run_lyapunov mode file\n");
        return 1;
    }
    const int mode = mode_argument(argv[1]);
    const char *const file = argv[2];

    model_program_start(&kRunLyapunov);
    Read_St_File("system.st");
    Trajectory run;
    for (int i = 0; i < kModelDim; ++i) run.y[i] = vars[i].value;
    for (int i = 0; i < kModelParams; ++i) par[i] = params[i].value;
    run.t = num[0];
    force_on = num[3];
    force_off = num[4];
    char names[txlyap::kProcessValues][kProcNameMax + 1];
    double values[txlyap::kProcessValues];
    Load_Proc_Pars("param.lce", txlyap::kProcessValues, names, values);
    const Settings settings = txlyap::checked_settings(values);
    if (mode == kNoRun) return 0;
    const bool single = mode <= kSingleRun;
    if (!single) {
        txlyap::check_sweep(settings, par[settings.parameter]);
        // A sweep that starts beyond its end appends nothing and creates no file.
        const bool empty = !(par[settings.parameter] <= settings.sweep_end);
        if (empty && mode != kEmptyingSweep) return 0;
    }

    txprog::Output &out =
        single ? txprog::open_output(kProgram, "out.lce")
               : txprog::open_output(kProgram, file,
                                     mode == kEmptyingSweep ? txprog::OutputMode::kReplace
                                                            : txprog::OutputMode::kAppend);
    txprog::Progress progress(kProgram, describe);
    g_watch.progress = &progress;
    g_watch.parameter = settings.parameter;
    run.tx = TXOpenTraxis(watched_model, kModelDim, 1e-6, 0.001);
    TXSetCut(run.tx, cutfun, 1e-6);  // set as the other programs do; not used here
    if (single)
        single_run(run, settings, out.stream());
    else
        sweep(run, settings, out.stream());
    TXCloseTraxis(run.tx);
    txprog::commit_outputs();
    return 0;
}
