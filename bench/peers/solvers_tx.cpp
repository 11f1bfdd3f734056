// The library's integrator, and the hand-written loop that measures its overhead.
#include <algorithm>

#include "peers.hpp"
#include "problem_list.hpp"
#include "reference_rk65.hpp"
#include "tx.h"

namespace txpeers {

namespace {

// The library's callback carries no user data: the count lives per problem.
template <class P>
long g_evaluations = 0;

template <class P>
void counted(double t, double *y, double *f) {
    ++g_evaluations<P>;
    P::rhs(t, static_cast<const double *>(y), f);
}

template <class P>
class TxSolver : public Solver {
public:
    TxSolver(double rtol, double atol) : tx_(TXOpenTraxis(counted<P>, P::n, rtol, kFirstStep)) {
        tx_->AbsTol = atol;
    }
    ~TxSolver() override { TXCloseTraxis(tx_); }
    void solve(double *y) override {
        tx_->h = kFirstStep;
        std::copy(P::y0.begin(), P::y0.end(), y);
        double t = P::t0;
        const long before = g_evaluations<P>;
        TXIntegrate(tx_, &t, P::t1, y);
        evaluations += g_evaluations<P> - before;
    }

private:
    Traxis tx_;
};

template <class P>
struct CountedInline {
    long *count;
    void operator()(double t, const double *y, double *f) const {
        ++*count;
        P::rhs(t, y, f);
    }
};

template <class P>
class ReferenceLoopSolver : public Solver {
public:
    ReferenceLoopSolver(double rtol, double atol) : rtol_(rtol), atol_(atol) {}
    void solve(double *y) override {
        txbench::ReferenceRk65<P::n, CountedInline<P>> loop({&evaluations}, rtol_, atol_,
                                                             kFirstStep);
        auto state = P::y0;
        double t = P::t0;
        loop.integrate(t, P::t1, state);
        std::copy(state.begin(), state.end(), y);
    }

private:
    double rtol_, atol_;
};

}  // namespace

template <class P>
std::unique_ptr<Solver> make_tx(double rtol, double atol) {
    return std::make_unique<TxSolver<P>>(rtol, atol);
}

template <class P>
std::unique_ptr<Solver> make_reference_loop(double rtol, double atol) {
    return std::make_unique<ReferenceLoopSolver<P>>(rtol, atol);
}

TXPEERS_FOR_EACH_PROBLEM(make_tx)
TXPEERS_FOR_EACH_PROBLEM(make_reference_loop)

}  // namespace txpeers
