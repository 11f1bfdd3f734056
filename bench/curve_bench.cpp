// The two-parameter continuations, time per accepted point and right-hand-side evaluations per
// point:
//   TXEqui2DCont    the Hopf curve of the Lorenz equilibria in (sigma, rho), analytic Jacobians
//                   (n = 3, 40 points of at most 0.5);
//   TXAuto2DCont    a period-doubling curve of a 3-D cycle of period about 1 (10 points);
//   TXNonAuto2DCont a period-doubling curve of a 2-D orbit forced with period 1, through one
//                   point of codimension two (20 points).
// Orbit runs integrate at RelTol 1e-9 with difference Jacobians and correct to 1e-7 relative,
// 1e-9 absolute.
#include <benchmark/benchmark.h>

#include <cmath>

#include "../tests/lib/turning_pairs.hpp"
#include "bench_support.hpp"

namespace txbench {
namespace {

long g_fcn_calls = 0;
double g_sigma = 0.0, g_rho = 0.0;

// Lorenz with b = 8/3: Hopf on rho = sigma (sigma + b + 3) / (sigma - b - 1).
constexpr double kB = 8.0 / 3.0;
void lorenz(double, double *y, double *f) {
    ++g_fcn_calls;
    f[0] = g_sigma * (y[1] - y[0]);
    f[1] = y[0] * (g_rho - y[2]) - y[1];
    f[2] = y[0] * y[1] - kB * y[2];
}
void lorenz_jac(double, double *y, double **J) {
    J[0][0] = -g_sigma, J[0][1] = g_sigma, J[0][2] = 0.0;
    J[1][0] = g_rho - y[2], J[1][1] = -1.0, J[1][2] = -y[0];
    J[2][0] = y[1], J[2][1] = y[0], J[2][2] = -kB;
}
void lorenz_param_jac(double, double *y, double **P) {
    P[0][0] = y[1] - y[0], P[0][1] = 0.0;
    P[1][0] = 0.0, P[1][1] = y[0];
    P[2][0] = 0.0, P[2][1] = 0.0;
}

// The closed-form cycles of the tests: a period-doubling circle c1^2 + c2^2 = 1 of a 3-D cycle
// with the section y = 0, and for the forced orbit the curve c1 = c2^2 / 5 with a point of
// codimension two at c2 = 0.6.
void cycle(double t, double *y, double *f) {
    ++g_fcn_calls;
    txtest::doubling_cycle(t, y, f);
}
void forced(double t, double *y, double *f) {
    ++g_fcn_calls;
    txtest::doubling_forced(t, y, f);
}

enum Kind { kEquilibria, kAutonomous, kForced };

struct Curve {
    Handle tx;
    Kind kind;
    explicit Curve(Kind k)
        : tx(TXOpenTraxis(k == kEquilibria ? lorenz : k == kAutonomous ? cycle : forced,
                          k == kForced ? 2 : 3, k == kEquilibria ? 1e-8 : 1e-9, kFirstStep)),
          kind(k) {
        if (kind == kEquilibria) {
            TXVarOpenTraxis(tx.get(), lorenz_jac, 2, lorenz_param_jac, &g_sigma, &g_rho);
        } else {
            tx->AbsTol = 1e-10;
            TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 2, nullptr, 1e-7, &txtest::g_c1,
                            &txtest::g_c2);
            // State components that vanish on the orbit are measured absolutely.
            tx->LambdaNewtRelTol = 1e-7;
            tx->LambdaNewtAbsTol = 1e-9;
        }
        if (kind == kAutonomous) TXSetCut(tx.get(), txtest::section, 1e-9);
        tx->TerminateOnFatalError = 0;  // a failed run is reported by the benchmark
        tx->txb = TXCreateBif(tx.get());
        tx->MaxContSteps = points();
    }
    int points() const { return kind == kEquilibria ? 40 : kind == kAutonomous ? 10 : 20; }
    // 1 when the run took all its points.
    int run() {
        const TraxisBif b = tx->txb;
        double dc = 0.05;
        switch (kind) {
            case kEquilibria:
                g_sigma = 10.0, g_rho = g_sigma * (g_sigma + kB + 3.0) / (g_sigma - kB - 1.0);
                b->y[0] = b->y[1] = std::sqrt(kB * (g_rho - 1.0));
                b->y[2] = g_rho - 1.0;
                dc = 0.5;
                return TXEqui2DCont(tx.get(), &g_sigma, &g_rho, &dc, 0);
            case kAutonomous:
                txtest::g_c1 = -0.6, txtest::g_c2 = 0.8;
                b->y[0] = 1.2, b->y[1] = b->y[2] = 0.0;
                b->t = 0.0, b->T = 1.0 / 0.7;
                dc = 0.1;
                return TXAuto2DCont(tx.get(), &txtest::g_c1, &txtest::g_c2, &dc, 0);
            case kForced:
                txtest::g_c1 = 0.0, txtest::g_c2 = 0.0;
                txtest::g_root = 10.0;
                b->y[0] = 1.0, b->y[1] = 0.0;
                b->t = 0.0, b->T = 1.0;
                return TXNonAuto2DCont(tx.get(), &txtest::g_c1, &txtest::g_c2, &dc, 0);
        }
        return 0;
    }
};

void run_curve(benchmark::State &state, Kind kind) {
    Curve curve(kind);
    long runs = 0;
    g_fcn_calls = 0;
    for (auto _ : state) {
        if (curve.run() != 1) {
            state.SkipWithError("the run stopped early");
            break;
        }
        ++runs;
    }
    const double points = curve.points();
    per_unit(state, "time/point", points);
    state.counters["fcn/point"] = static_cast<double>(g_fcn_calls) / (runs * points);
}

void BM_TXEqui2DCont(benchmark::State &state) { run_curve(state, kEquilibria); }
void BM_TXAuto2DCont(benchmark::State &state) { run_curve(state, kAutonomous); }
void BM_TXNonAuto2DCont(benchmark::State &state) { run_curve(state, kForced); }
BENCHMARK(BM_TXEqui2DCont)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TXAuto2DCont)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TXNonAuto2DCont)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
