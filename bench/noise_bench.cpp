// TXIntegrate_With_Noise on the programs' model with noise: cost per fixed step (four model
// evaluations and one normal deviate).
#include <benchmark/benchmark.h>

#include "bench_support.hpp"
#include "neuron_problem.hpp"

namespace txbench {
namespace {

void BM_TXIntegrateWithNoise(benchmark::State &state) {
    Neuron::setup();
    par[3] = 0.1;  // sigma
    lidum = -1;
    Handle tx(TXOpenTraxis(model, Neuron::n, 1e-8, 0.01));
    constexpr double kSpan = 1.0;  // 100 steps of 0.01 per call
    auto y = Neuron::y0;
    double t = 0.0;
    for (auto _ : state) {
        TXIntegrate_With_Noise(tx.get(), &t, t + kSpan, y.data());
        if (t > Neuron::t1) t = 0.0;
        benchmark::DoNotOptimize(y);
    }
    per_unit(state, "per_step", kSpan / tx->hnoise);
}

BENCHMARK(BM_TXIntegrateWithNoise);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
