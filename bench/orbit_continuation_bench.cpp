// Periodic orbits of the Roessler system (a = b = 0.2) followed in c with TXAutoCont, and its
// period doubling near c = 2.83 located and classified: time per accepted orbit point and per
// located bifurcation (TXLocateBif followed by TXCheckBif).  Analytic Jacobians, RelTol 1e-9.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "bench_support.hpp"

namespace txbench {
namespace {

double g_a = 0.2, g_b = 0.2, g_c = 2.5;

void rossler(double, double *y, double *f) {
    f[0] = -y[1] - y[2];
    f[1] = y[0] + g_a * y[1];
    f[2] = g_b + y[2] * (y[0] - g_c);
}

void jacobian(double, double *y, double **J) {
    J[0][0] = 0.0, J[0][1] = -1.0, J[0][2] = -1.0;
    J[1][0] = 1.0, J[1][1] = g_a, J[1][2] = 0.0;
    J[2][0] = y[2], J[2][1] = 0.0, J[2][2] = y[0] - g_c;
}

void parameter_jacobian(double, double *y, double **P) {
    P[0][0] = 0.0, P[0][1] = 0.0, P[0][2] = 0.0;
    P[1][0] = y[1], P[1][1] = 0.0, P[1][2] = 0.0;
    P[2][0] = 0.0, P[2][1] = 1.0, P[2][2] = -y[2];
}

double section(double, double *y) { return y[0]; }

Handle open_rossler() {
    Handle tx(TXOpenTraxis(rossler, 3, 1e-9, kFirstStep));
    tx->AbsTol = 1e-10;
    tx->NewtAbsTol = 1e-8;
    TXVarOpenTraxis(tx.get(), jacobian, 3, parameter_jacobian, &g_a, &g_b, &g_c);
    TXSetCut(tx.get(), section, 1e-9);
    return tx;
}

// A point near the attracting cycle at c = 2.5.
struct Start {
    double t = 0.0;
    double y[3] = {1.0, 1.0, 0.0};
    Start() {
        g_c = 2.5;
        Handle tx(TXOpenTraxis(rossler, 3, 1e-9, kFirstStep));
        TXIntegrate(tx.get(), &t, 300.0, y);
    }
};

// Six steps of 0.05 from c = 2.5 (the first point is the Newton solution): no bifurcation.
void BM_TXAutoCont(benchmark::State &state) {
    const Start start;
    Handle tx = open_rossler();
    tx->MaxContSteps = 6;
    for (auto _ : state) {
        double y[3] = {start.y[0], start.y[1], start.y[2]};
        double T = 0.0, dc = 0.05;
        g_c = 2.5;
        if (TXAutoCont(tx.get(), start.t, y, 1, &T, &g_c, &dc, 0, 0) != 1)
            state.SkipWithError("continuation failed");
        benchmark::DoNotOptimize(y);
    }
    per_unit(state, "per_point", tx->MaxContSteps);
}
BENCHMARK(BM_TXAutoCont)->Unit(benchmark::kMillisecond);

// From the cycle at c = 2.81, reached by continuation, to the doubling, then its neighbours.
void BM_LocateAndCheck(benchmark::State &state) {
    const Start start;
    Handle tx = open_rossler();
    tx->MaxContSteps = 10;
    double y[3] = {start.y[0], start.y[1], start.y[2]}, T = 0.0, dc = 0.05;
    g_c = 2.5;
    if (TXAutoCont(tx.get(), start.t, y, 1, &T, &g_c, &dc, 0, 0) != 1 || g_c > 2.83)
        state.SkipWithError("no orbit before the doubling");
    const double c0 = g_c;
    TraxisBif b = tx->txb;
    for (auto _ : state) {
        g_c = c0;
        b->t = 0.0;
        b->T = T;
        for (int i = 0; i < 3; ++i) b->y[i] = y[i];
        if (TXLocateBif(tx.get(), b, &g_c, 1, nullptr) != 1 ||
            TXCheckBif(tx.get(), b, &g_c, 0.05, 1, nullptr) != 1)
            state.SkipWithError("not located");
    }
    per_unit(state, "per_bifurcation", 1.0);
}
BENCHMARK(BM_LocateAndCheck)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
