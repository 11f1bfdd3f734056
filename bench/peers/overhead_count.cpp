// One solve repeated, by the library or by the hand-written reference loop, for instruction
// counts under callgrind (repeatable whatever the machine's load):
//
//     valgrind --tool=callgrind overhead_count lorenz 1e-8 tx 200
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "neuron_problem.hpp"
#include "peers.hpp"
#include "problems.hpp"
#include "reference_rk65.hpp"
#include "tx.h"

namespace {

template <class P>
double solve(bool library, double rtol, int reps) {
    double sum = 0.0;  // keeps the solves from being optimised away
    for (int r = 0; r < reps; ++r) {
        auto y = P::y0;
        double t = P::t0;
        if (library) {
            Traxis tx = TXOpenTraxis(txbench::fcn<P>, P::n, rtol, txpeers::kFirstStep);
            tx->AbsTol = rtol;
            TXIntegrate(tx, &t, P::t1, y.data());
            TXCloseTraxis(tx);
        } else {
            using Loop = txbench::ReferenceRk65<P::n, txbench::Inlined<P>>;
            Loop loop({}, rtol, rtol, txpeers::kFirstStep);
            loop.integrate(t, P::t1, y);
        }
        sum += y[0];
    }
    return sum;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s lorenz|vdp|arenstorf|neuron RTOL tx|ref REPS\n", argv[0]);
        return 2;
    }
    const double rtol = std::atof(argv[2]);
    const bool library = std::strcmp(argv[3], "tx") == 0;
    const int reps = std::atoi(argv[4]);
    double sum;
    if (std::strcmp(argv[1], "lorenz") == 0) {
        sum = solve<txbench::Lorenz>(library, rtol, reps);
    } else if (std::strcmp(argv[1], "vdp") == 0) {
        sum = solve<txbench::VanDerPol>(library, rtol, reps);
    } else if (std::strcmp(argv[1], "arenstorf") == 0) {
        sum = solve<txbench::Arenstorf>(library, rtol, reps);
    } else if (std::strcmp(argv[1], "neuron") == 0) {
        txbench::Neuron::setup();
        sum = solve<txbench::Neuron>(library, rtol, reps);
    } else {
        std::fprintf(stderr, "unknown problem %s\n", argv[1]);
        return 2;
    }
    std::printf("%.17g\n", sum);
    return 0;
}
