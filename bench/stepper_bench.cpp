// Cost per accepted step of TXStep and TXIntegrate on Lorenz (n = 3), the programs' model and a
// 40-dimensional linear system, and whole solves next to the hand-written reference loop: the
// ratio of TXIntegrate to reference_loop is the library's overhead.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"
#include "neuron_problem.hpp"
#include "problems.hpp"
#include "reference_rk65.hpp"

namespace txbench {
namespace {

template <class P>
void setup_problem() {
    if constexpr (std::is_same_v<P, Neuron>) Neuron::setup();
}

// One TXStep per iteration, restarting the trajectory at the end of the interval.
template <class P>
void BM_TXStep(benchmark::State &state) {
    setup_problem<P>();
    const double rtol = 1e-8;
    Handle tx = open_handle<P>(rtol);
    auto y = P::y0;
    double t = P::t0;
    for (auto _ : state) {
        TXStep(tx.get(), &t, y.data());
        if (t >= P::t1) {
            y = P::y0;
            t = P::t0;
            tx->h = kFirstStep;
        }
        benchmark::DoNotOptimize(y);
    }
    per_unit(state, "per_step", 1.0);
}

// One solve over the interval per iteration.
template <class P>
void BM_TXIntegrate(benchmark::State &state) {
    setup_problem<P>();
    const double rtol = state.range(0) == 8 ? 1e-8 : 1e-12;
    Handle tx = open_handle<P>(rtol);
    for (auto _ : state) {
        auto y = P::y0;
        double t = P::t0;
        tx->h = kFirstStep;
        TXIntegrate(tx.get(), &t, P::t1, y.data());
        benchmark::DoNotOptimize(y);
    }
    per_unit(state, "per_step", static_cast<double>(accepted_steps<P>(rtol)));
}

template <class P>
void BM_ReferenceLoop(benchmark::State &state) {
    setup_problem<P>();
    const double rtol = state.range(0) == 8 ? 1e-8 : 1e-12;
    for (auto _ : state) {
        ReferenceRk65<P::n, Inlined<P>> loop({}, rtol, rtol, kFirstStep);
        auto y = P::y0;
        double t = P::t0;
        loop.integrate(t, P::t1, y);
        benchmark::DoNotOptimize(y);
    }
    per_unit(state, "per_step", static_cast<double>(accepted_steps<P>(rtol)));
}

// range(0): the exponent of the relative tolerance.
BENCHMARK_TEMPLATE(BM_TXStep, Lorenz);
BENCHMARK_TEMPLATE(BM_TXStep, Neuron);
BENCHMARK_TEMPLATE(BM_TXStep, Chain40);
BENCHMARK_TEMPLATE(BM_TXIntegrate, Lorenz)->Arg(8)->Arg(12);
BENCHMARK_TEMPLATE(BM_ReferenceLoop, Lorenz)->Arg(8)->Arg(12);
BENCHMARK_TEMPLATE(BM_TXIntegrate, VanDerPol)->Arg(8)->Arg(12);
BENCHMARK_TEMPLATE(BM_ReferenceLoop, VanDerPol)->Arg(8)->Arg(12);
BENCHMARK_TEMPLATE(BM_TXIntegrate, Neuron)->Arg(8)->Arg(12);
BENCHMARK_TEMPLATE(BM_ReferenceLoop, Neuron)->Arg(8)->Arg(12);
BENCHMARK_TEMPLATE(BM_TXIntegrate, Chain40)->Arg(8)->Arg(12);
BENCHMARK_TEMPLATE(BM_ReferenceLoop, Chain40)->Arg(8)->Arg(12);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
