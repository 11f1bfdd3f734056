// Helpers shared by the Google Benchmark files: handles for the problems, counts of accepted
// steps (the unit of the step benchmarks) and the per-step time counter.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>

#include "problems.hpp"
#include "tx.h"

namespace txbench {

constexpr double kFirstStep = 1e-3;  // much smaller guesses can stick: see docs/performance.md

struct CloseHandle {
    void operator()(Traxis_t *tx) const { TXCloseTraxis(tx); }
};
using Handle = std::unique_ptr<Traxis_t, CloseHandle>;

template <class P>
Handle open_handle(double rtol) {
    Handle tx(TXOpenTraxis(fcn<P>, P::n, rtol, kFirstStep));
    tx->AbsTol = rtol;
    return tx;
}

// Accepted steps of TXIntegrate over the problem's interval: TXStep takes the same steps.
template <class P>
long accepted_steps(double rtol) {
    Handle tx = open_handle<P>(rtol);
    auto y = P::y0;
    double t = P::t0;
    long steps = 0;
    while (t < P::t1) {
        TXStep(tx.get(), &t, y.data());
        ++steps;
    }
    return steps;
}

// Reports the time per unit (step, call, interval) next to the time per iteration.
inline void per_unit(benchmark::State &state, const char *unit, double units_per_iteration) {
    state.counters[unit] = benchmark::Counter(
        units_per_iteration * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace txbench
