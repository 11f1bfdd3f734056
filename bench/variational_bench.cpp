// TXVarIntegrate on Lorenz (n = 3) with its analytic Jacobian: state and fundamental matrix
// (12 components), and with the sensitivity to rho as well (15 components).  Per accepted step.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"
#include "lorenz_rho.hpp"

namespace txbench {
namespace {

struct Variational {
    Handle tx;
    double rows[3][4];
    double *phi[3] = {rows[0], rows[1], rows[2]};
    double y[3];
    double t;

    explicit Variational(bool sensitivity) : tx(TXOpenTraxis(lorenz_rho, 3, 1e-8, kFirstStep)) {
        tx->AbsTol = 1e-8;
        TXVarOpenTraxis(tx.get(), lorenz_rho_jacobian, 1, rho_jacobian, &g_rho);
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
