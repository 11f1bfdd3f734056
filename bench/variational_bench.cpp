// TXVarIntegrate on Lorenz (n = 3) with its analytic Jacobian: state and fundamental matrix
// (12 components), and with the sensitivity to rho as well (15 components).  Per accepted step.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"

namespace txbench {
namespace {

double g_rho = 28.0;

void lorenz(double, double *y, double *f) {
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (g_rho - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}

void jacobian(double, double *y, double **J) {
    J[0][0] = -10.0, J[0][1] = 10.0, J[0][2] = 0.0;
    J[1][0] = g_rho - y[2], J[1][1] = -1.0, J[1][2] = -y[0];
    J[2][0] = y[1], J[2][1] = y[0], J[2][2] = -8.0 / 3.0;
}

void rho_jacobian(double, double *y, double **P) {
    P[0][0] = 0.0;
    P[1][0] = y[0];
    P[2][0] = 0.0;
}

struct Variational {
    Handle tx;
    double rows[3][4];
    double *phi[3] = {rows[0], rows[1], rows[2]};
    double y[3];
    double t;

    explicit Variational(bool sensitivity) : tx(TXOpenTraxis(lorenz, 3, 1e-8, kFirstStep)) {
        tx->AbsTol = 1e-8;
        TXVarOpenTraxis(tx.get(), jacobian, 1, rho_jacobian, &g_rho);
        tx->cp[0] = sensitivity;
        restart();
    }
    void restart() {
        for (int i = 0; i < 3; ++i) {
            y[i] = 1.0;
            for (int k = 0; k < 4; ++k) rows[i][k] = i == k ? 1.0 : 0.0;
        }
        t = 0.0;
        tx->TX->h = kFirstStep;
    }
};

constexpr double kEnd = 2.0;

void BM_TXVarIntegrate(benchmark::State &state) {
    Variational v(state.range(0) != 0);
    long steps = 0;
    while (v.t < kEnd) {
        TXVarStep(v.tx.get(), &v.t, v.y, v.phi);
        ++steps;
    }
    for (auto _ : state) {
        v.restart();
        TXVarIntegrate(v.tx.get(), &v.t, kEnd, v.y, v.phi);
        benchmark::DoNotOptimize(v.rows);
    }
    per_unit(state, "per_step", static_cast<double>(steps));
}

// range(0): 1 with the sensitivity to rho, 0 without.
BENCHMARK(BM_TXVarIntegrate)->Arg(0)->Arg(1);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
