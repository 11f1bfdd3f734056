// One solve repeated, by the library (TXIntegrate or tx.hpp, with either pair) or by the
// hand-written reference loop, for instruction counts under callgrind (repeatable whatever the
// machine's load):
//
//     valgrind --tool=callgrind overhead_count lorenz 1e-8 tx 200
//
// Solvers: tx, tx-high (TXIntegrate), hpp, hpp-high (tx.hpp), ref (the reference loop).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "neuron_problem.hpp"
#include "peers.hpp"
#include "problems.hpp"
#include "reference_rk65.hpp"
#include "tx.h"
#include "tx.hpp"

namespace {

enum class Solver { Tx, TxHigh, Hpp, HppHigh, Reference };

template <class P>
double solve(Solver solver, double rtol, int reps) {
    double sum = 0.0;  // keeps the solves from being optimised away
    for (int r = 0; r < reps; ++r) {
        auto y = P::y0;
        double t = P::t0;
        if (solver == Solver::Reference) {
            using Loop = txbench::ReferenceRk65<P::n, txbench::Inlined<P>>;
            Loop loop({}, rtol, rtol, txpeers::kFirstStep);
            loop.integrate(t, P::t1, y);
        } else {
            const bool inlined = solver == Solver::Hpp || solver == Solver::HppHigh;
            Traxis tx = TXOpenTraxis(inlined ? nullptr : txbench::fcn<P>, P::n, rtol,
                                     txpeers::kFirstStep);
            tx->AbsTol = rtol;
            if (solver == Solver::TxHigh || solver == Solver::HppHigh)
                TXSetMethod(tx, TX_METHOD_HIGH_ORDER);
            if (inlined)
                tx::integrate(tx, &t, P::t1, y.data(), txbench::Inlined<P>{});
            else
                TXIntegrate(tx, &t, P::t1, y.data());
            TXCloseTraxis(tx);
        }
        sum += y[0];
    }
    return sum;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: %s lorenz|vdp|arenstorf|neuron RTOL tx|tx-high|hpp|hpp-high|ref "
                     "REPS\n",
                     argv[0]);
        return 2;
    }
    const double rtol = std::atof(argv[2]);
    const struct {
        const char *name;
        Solver solver;
    } kSolvers[] = {{"tx", Solver::Tx},   {"tx-high", Solver::TxHigh},  {"hpp", Solver::Hpp},
                    {"hpp-high", Solver::HppHigh}, {"ref", Solver::Reference}};
    Solver solver = Solver::Reference;
    bool known = false;
    for (const auto &s : kSolvers)
        if (std::strcmp(argv[3], s.name) == 0) solver = s.solver, known = true;
    if (!known) {
        std::fprintf(stderr, "unknown solver %s\n", argv[3]);
        return 2;
    }
    const int reps = std::atoi(argv[4]);
    double sum;
    if (std::strcmp(argv[1], "lorenz") == 0) {
        sum = solve<txbench::Lorenz>(solver, rtol, reps);
    } else if (std::strcmp(argv[1], "vdp") == 0) {
        sum = solve<txbench::VanDerPol>(solver, rtol, reps);
    } else if (std::strcmp(argv[1], "arenstorf") == 0) {
        sum = solve<txbench::Arenstorf>(solver, rtol, reps);
    } else if (std::strcmp(argv[1], "neuron") == 0) {
        txbench::Neuron::setup();
        sum = solve<txbench::Neuron>(solver, rtol, reps);
    } else {
        std::fprintf(stderr, "unknown problem %s\n", argv[1]);
        return 2;
    }
    std::printf("%.17g\n", sum);
    return 0;
}
