// TXInterpolate: four evaluations and the interpolation weights per call, on the last step.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"
#include "neuron_problem.hpp"
#include "problems.hpp"

namespace txbench {
namespace {

template <class P>
void BM_TXInterpolate(benchmark::State &state) {
    if constexpr (std::is_same_v<P, Neuron>) Neuron::setup();
    Handle tx = open_handle<P>(1e-8);
    auto y = P::y0, sample = P::y0;
    double t = P::t0;
    TXIntegrate(tx.get(), &t, 0.5 * (P::t0 + P::t1), y.data());
    const double t0 = tx->tfirst, h = tx->tlast - tx->tfirst;
    double tau = 0.0;
    for (auto _ : state) {
        TXInterpolate(tx.get(), t0 + tau * h, sample.data());
        tau = tau < 0.95 ? tau + 0.05 : 0.0;
        benchmark::DoNotOptimize(sample);
    }
}

BENCHMARK_TEMPLATE(BM_TXInterpolate, Lorenz);
BENCHMARK_TEMPLATE(BM_TXInterpolate, Neuron);
BENCHMARK_TEMPLATE(BM_TXInterpolate, Chain40);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
