// run_lyapunov mode file: the Lyapunov spectrum of the model, sorted, with the Lyapunov dimension
// when "param.lce" asks for it.  Mode 1 or less computes it once into "out.lce"; mode 2 computes
// nothing; mode 100 sweeps one parameter into file after emptying it, any other mode appends the
// sweep's lines to file.  The sweep continues the trajectory from one value to the next.
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "batch.hpp"
#include "model.h"
#include "settings.hpp"
#include "lyap_spectrum.hpp"
#include "tx.h"

namespace {

using txlyap::kProgram;
using txlyap::Settings;
using txlyap::Spectrum;
using txprog::fail;

constexpr int kSingleRun = 1, kNoRun = 2, kEmptyingSweep = 100;

// As atoi: a non-numeric argument is 0; out-of-range values are clamped instead of undefined.
int mode_argument(const char *text) {
    const long v = std::strtol(text, nullptr, 10);
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

struct Trajectory {
    Traxis tx;
    double t;
    double y[kModelDim];
};

// Exponents from the current state onwards; a library failure ends the program with its report.
Spectrum compute(Trajectory &run, const Settings &s, double *exponents) {
    TXLyapCalc(run.tx, &run.t, run.y, s.eps, s.lyap_dt, s.trans_steps, s.lyap_steps, exponents,
               s.computed);
    txlyap::sort_descending(exponents, s.computed);
    const double dimension =
        s.with_dimension ? txlyap::lyap_dim(exponents, s.computed, s.threshold) : 0.0;
    return {exponents, s.written, s.with_dimension, dimension};
}

void single_run(Trajectory &run, const Settings &s) {
    const char *const name = "out.lce";
    std::FILE *out = std::fopen(name, "w");
    if (!out) fail(kProgram, "cannot open %s for writing", name);
    double exponents[kModelDim];
    const Spectrum spectrum = compute(run, s, exponents);
    const bool ok = txlyap::write_single(out, params[s.parameter].name, par[s.parameter], spectrum);
    txprog::close_written(kProgram, out, name, ok);  // a failed write leaves no file behind
}

// One line per value, appended and closed at once so that the file can be read meanwhile.
void sweep(Trajectory &run, const Settings &s, const char *file, bool emptied) {
    txlyap::check_increment(s);
    if (emptied) {
        std::FILE *f = std::fopen(file, "w");
        if (!f || std::fclose(f) != 0) fail(kProgram, "cannot open %s for writing", file);
    }
    double exponents[kModelDim];
    for (double p = par[s.parameter]; p <= s.sweep_end; p += s.increment) {
        par[s.parameter] = p;
        const Spectrum spectrum = compute(run, s, exponents);
        std::FILE *out = std::fopen(file, "a");
        if (!out) fail(kProgram, "cannot open %s for appending", file);
        const bool ok = txlyap::write_sweep_line(out, p, spectrum);
        if (std::fclose(out) != 0 || !ok) fail(kProgram, "cannot write %s", file);
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

    run.tx = TXOpenTraxis(model, kModelDim, 1e-6, 0.001);
    TXSetCut(run.tx, cutfun, 1e-6);  // set as the other programs do; not used here
    if (mode <= kSingleRun)
        single_run(run, settings);
    else
        sweep(run, settings, file, mode == kEmptyingSweep);
    TXCloseTraxis(run.tx);
    return 0;
}
