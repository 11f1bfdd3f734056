// TXEquiCont on the nonzero Lorenz equilibrium (n = 3) from rho = 2 to 40 in steps of at most
// 0.5, through its Hopf point at 24.74, with analytic and with difference Jacobians: time per
// accepted point, and Jacobian evaluations (calls of jac, or of fcn for the differences) per
// point.  The trace on standard output is written to /dev/null inside the timing.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "bench_support.hpp"
#include "lorenz_rho.hpp"

namespace txbench {
namespace {

long g_fcn_calls = 0, g_jac_calls = 0;

void lorenz(double t, double *y, double *f) {
    ++g_fcn_calls;
    lorenz_rho(t, y, f);
}

void jacobian(double t, double *y, double **J) {
    ++g_jac_calls;
    lorenz_rho_jacobian(t, y, J);
}

// Standard output goes to /dev/null while it lives.
class Silence {
public:
    Silence() : saved_(dup(1)) {
        std::fflush(stdout);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~Silence() {
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
    }

private:
    int saved_;
};

// UserOutput: counts accepted points (a bifurcation report repeats the step number).
struct Count {
    long points = 0;
    int last_step = -1;
};
void count(Traxis tx, FILE *user) {
    Count &c = *reinterpret_cast<Count *>(user);
    if (tx->txb->steps != c.last_step) ++c.points;
    c.last_step = tx->txb->steps;
}

struct Branch {
    Handle tx;
    Count counted;
    explicit Branch(bool analytic) : tx(TXOpenTraxis(lorenz, 3, 1e-8, kFirstStep)) {
        if (analytic)
            TXVarOpenTraxis(tx.get(), jacobian, 1, rho_jacobian, &g_rho);
        else
            TXVarOpenTraxis(tx.get(), nullptr, 1e-7, 1, nullptr, 1e-7, &g_rho);
        tx->MaxContSteps = 80;
    }
    void run() {
        g_rho = 2.0;
        double y[3] = {1.6, 1.6, 1.0}, dc = 0.5;
        counted = Count();
        TXEquiCont(tx.get(), y, &g_rho, &dc, 0, 4, count, reinterpret_cast<FILE *>(&counted));
    }
};

void BM_TXEquiCont(benchmark::State &state) {
    const bool analytic = state.range(0) != 0;
    Branch branch(analytic);
    const Silence silence;
    long runs = 0;
    g_fcn_calls = g_jac_calls = 0;
    for (auto _ : state) {
        branch.run();
        ++runs;
    }
    const double points = static_cast<double>(branch.counted.points);
    per_unit(state, "time/point", points);
    const double evaluations = analytic ? g_jac_calls : g_fcn_calls;
    state.counters[analytic ? "jac/point" : "fcn/point"] = evaluations / (runs * points);
    state.counters["points"] = points;
}
BENCHMARK(BM_TXEquiCont)->Arg(1)->Arg(0)->ArgName("analytic")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace txbench

BENCHMARK_MAIN();
