// Correlation sums of 100 000 points in 3 dimensions over 10 radii: every pair counted once
// against the plain count that forms every distance again for each radius.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "correlation.hpp"

namespace {

constexpr int kPoints = 100000;
constexpr int kDims = 3;
constexpr int kRadii = 10;

const correlation::PointSet &points() {
    static const correlation::PointSet set = [] {
        std::mt19937 gen(1);
        correlation::PointSet p{kPoints, kDims, std::vector<float>(kPoints * kDims)};
        for (float &v : p.x) v = static_cast<float>(gen() >> 8) * 0x1p-24f;
        correlation::rescale_to_unit(p);
        return p;
    }();
    return set;
}

template <void (*Count)(const correlation::PointSet &, double, int, std::int64_t *)>
void count(benchmark::State &state) {
    const auto &p = points();
    std::int64_t counts[kRadii];
    for (auto _ : state) {
        Count(p, 1.0, kRadii, counts);
        benchmark::DoNotOptimize(counts);
    }
    state.counters["pairs"] = static_cast<double>(kPoints / 100) * kPoints;
}

BENCHMARK(count<correlation::count_pairs_once>)->Name("cordim/once")->Unit(benchmark::kMillisecond);
BENCHMARK(count<correlation::count_pairs_per_radius>)
    ->Name("cordim/per_radius")
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
