// TXLyapCalc on Lorenz: all three exponents, cost per renormalisation interval of 0.1 (four
// trajectories integrated over it, then Gram-Schmidt).
#include <benchmark/benchmark.h>

#include "bench_support.hpp"
#include "problems.hpp"

namespace txbench {
namespace {

void BM_TXLyapCalc(benchmark::State &state) {
    Handle tx = open_handle<Lorenz>(1e-8);
    auto y = Lorenz::y0;
    double t = 0.0, exponents[3];
    constexpr long kIntervals = 20;
    for (auto _ : state) {
        TXLyapCalc(tx.get(), &t, y.data(), 1e-8, 0.1, 0, kIntervals, exponents, 3);
        benchmark::DoNotOptimize(exponents);
    }
    per_unit(state, "per_interval", kIntervals);
}

BENCHMARK(BM_TXLyapCalc);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
