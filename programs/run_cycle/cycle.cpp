// The three stages of run_cycle and the output files they write.
#include "cycle.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "batch.hpp"
#include "model.h"
#include "progress.hpp"

Traxis traxis = nullptr;

namespace {

using txprog::fail;

constexpr const char *kProgram = "run_cycle";
constexpr int kDim = kModelDim;
constexpr double kRelTol = 1e-5;
constexpr double kFirstStep = 0.01;
constexpr double kParamPert = 1e-6;
constexpr double kCutEps = 1e-6;
constexpr double kTransient = 1000.0;
constexpr int kDebugSamples = 10000;
constexpr double kDebugInterval = 0.2;
// Guards the crossing loops against an orbit that never returns to the section (an
// equilibrium, say); a limit cycle needs far fewer steps per half turn.
constexpr long kMaxStepsPerCrossing = 100000;

constexpr const char *kResultFile = "out.slc";
constexpr const char *kMultiplierFile = "multy.slc";
constexpr const char *kDebugFile = "debug.txt";

// Opened once the inputs are checked; committed when the run succeeds.
txprog::Output *g_debug = nullptr;
txprog::Output *g_multipliers = nullptr;

// How far the run has come, for the progress lines.
struct Watch {
    const char *stage = "transient";
    const double *t = nullptr;
    int pass = 0;
} g_watch;

txprog::Progress &progress() {
    static txprog::Progress p(kProgram, [] {
        char text[128];
        std::snprintf(text, sizeof text, "%s, t = %g, %d adjustment passes", g_watch.stage,
                      g_watch.t ? *g_watch.t : 0.0, g_watch.pass);
        return std::string(text);
    });
    return p;
}

// Steps until the trajectory crosses x = 0 (either direction).
bool take_crossing(double *t) {
    g_watch.t = t;
    for (long k = 0; k < kMaxStepsPerCrossing; ++k) {
        progress().poll();
        if (TXPoincareStep(traxis, t, systemVariable)) return true;
    }
    std::fprintf(stderr, "%s: the orbit did not reach the section x = 0 within %ld steps\n",
                 kProgram, kMaxStepsPerCrossing);
    return false;
}

// Successive crossings alternate in direction, so one turn is two crossings.
bool take_turns(double *t) {
    for (long long k = 0; k < 2LL * periodNumber; ++k)
        if (!take_crossing(t)) return false;
    return true;
}

// Phi: the fundamental matrix in three columns, a fourth spare column kept 0.
struct Monodromy {
    std::array<std::array<double, kDim + 1>, kDim> cells{};
    std::array<double *, kDim> rows{};
    Monodromy() {
        for (int i = 0; i < kDim; ++i) rows[i] = cells[i].data();
        reset();
    }
    void reset() {
        for (int i = 0; i < kDim; ++i)
            for (int k = 0; k <= kDim; ++k) cells[i][k] = i == k ? 1.0 : 0.0;
    }
    double **get() { return rows.data(); }
};

// Stage message: out.slc says which stage a run that ends inside it was in.  It is the one
// output that a failed run replaces, whole, since this is how the failure is reported there.
void announce(const char *message) {
    txprog::Output &f = txprog::open_output(kProgram, kResultFile);
    std::fputs(message, f.stream());
    f.commit();
}

void write_debug_trajectory(double *t) {
    std::FILE *debug = g_debug->stream();
    g_watch.t = t;
    TXIntegrate(traxis, t, *t + kTransient, systemVariable);
    g_watch.stage = "sampling debug.txt";
    for (int i = 0; i < kDebugSamples; ++i) {
        progress().poll();
        TXIntegrate(traxis, t, *t + kDebugInterval, systemVariable);
        std::fprintf(debug, "%lf %lf %lf\n", systemVariable[0], systemVariable[1],
                     systemVariable[2]);
    }
}

void write_result(double period, const double *er, const double *ei) {
    std::FILE *out = txprog::open_output(kProgram, kResultFile).stream();
    std::fprintf(out, "# period time\n%lf\n", period);
    std::fprintf(out, "# multipliers\n\tRe\t\tIm \t\tMod \n");
    for (int i = 0; i < kDim; ++i)
        std::fprintf(out, "%d:\t%lf\t%lf\t%lf\n", i, er[i], ei[i],
                     std::sqrt(er[i] * er[i] + ei[i] * ei[i]));
}

// Places a multiplier on a 100 x 100 grid, the vertical coordinate counted downwards.
int grid_column(double re) { return static_cast<int>(std::ceil(50.0 * (std::tanh(re) + 1.0))); }
int grid_row(double im) { return 100 - static_cast<int>(std::ceil(50.0 * (std::tanh(im) + 1.0))); }

void write_multipliers(const double *er, const double *ei) {
    std::FILE *out = g_multipliers->stream();
    for (int i = 0; i < kDim; ++i) std::fprintf(out, "%f ", systemVariable[i]);
    std::fprintf(out, "\n");
    for (int i = 0; i < kDim; ++i) std::fprintf(out, "%i %i \n ", grid_column(er[i]), grid_row(ei[i]));
}

}  // namespace

void initFunction() {
    systemVariable = static_cast<double *>(std::calloc(kDim, sizeof(double)));
    if (!systemVariable) fail(kProgram, "not enough memory");
    traxis = TXOpenTraxis(model, kDim, kRelTol, kFirstStep);
    TXVarOpenTraxis(traxis, jacobian, 2, static_cast<jac_t>(nullptr), kParamPert, &par[0],
                    &par[1]);
    TXSetCut(traxis, cutfun, kCutEps);
    readStateFile();
    readParamFile();
    // Zero turns would make every point periodic with period 0.
    if (periodNumber < 1)
        fail(kProgram, "param.slc: slc_periodicity must be at least 1, not %d", periodNumber);
    if (std::isnan(cycle_eps)) fail(kProgram, "param.slc: slc_eps is not a number");

    g_debug = &txprog::open_output(kProgram, kDebugFile);
    g_multipliers = &txprog::open_output(kProgram, kMultiplierFile);
    // out.slc is written stage by stage; this finds an unwritable one before the work.
    txprog::open_output(kProgram, kResultFile).discard();
}

int adjustInitialConditions(int max, double eps) {
    double t = 0.0;
    double d = 1.0;
    if (!take_crossing(&t)) return 0;
    int passes = 0;
    while (d > eps) {
        double previous[kDim];
        for (int i = 0; i < kDim; ++i) previous[i] = systemVariable[i];
        if (!take_turns(&t)) return 0;
        double sum = 0.0;
        for (int i = 0; i < kDim; ++i) {
            const double diff = systemVariable[i] - previous[i];
            sum += diff * diff;
        }
        d = std::sqrt(sum);
        ++passes;
        g_watch.pass = passes;
        if (passes > max) return 0;
    }
    return 1;
}

int processFunction() {
    double er[kDim] = {}, ei[kDim] = {};
    Monodromy phi;
    double t = 0.0;

    write_debug_trajectory(&t);

    g_watch.stage = "adjusting the initial conditions";
    if (!adjustInitialConditions(max_adjust, cycle_eps)) {
        announce("ERROR: Can't adjust initial conditions for given pricision within given number "
                 "of steps!\n");
        txprog::note(kProgram, "param.slc: the orbit did not close to within slc_eps = %g over "
                     "%d turns in slc_max_steps = %d passes; out.slc says so", cycle_eps,
                     periodNumber, max_adjust);
        return 1;
    }

    char message[96];
    std::snprintf(message, sizeof message, "ERROR: Can't locate a %d-periodic limit cycle!\n",
                  periodNumber);
    announce(message);
    g_watch.stage = "measuring the period";
    const double start = t;
    if (!take_turns(&t)) return 1;
    const double period = t - start;

    phi.reset();
    announce("ERROR: Can't calculate the Floque multipliers\n");
    g_watch.stage = "computing the Floquet multipliers";
    TXVarIntegrate(traxis, &t, t + period, systemVariable, phi.get());
    TXEigen(traxis, kDim, phi.get(), er, ei);
    SORTEIG(er, ei, kDim);  // the multiplier along the flow goes last

    write_result(period, er, ei);
    write_multipliers(er, ei);
    txprog::commit_outputs();
    return 0;
}

void exitFunction() {
    TXVarCloseTraxis(traxis);
    TXCloseTraxis(traxis);
    traxis = nullptr;
    std::free(systemVariable);
    systemVariable = nullptr;
}
