// The library's integrator through the C callback and through tx.hpp with the right-hand side
// inlined, with either pair, and the hand-written loop that measures its overhead, with the
// right-hand side inlined and behind a function pointer.
#include <algorithm>

#include "peers.hpp"
#include "problem_list.hpp"
#include "reference_rk65.hpp"
#include "tx.h"
#include "tx.hpp"

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
struct CountedInline {
    void operator()(double t, const double *y, double *f) const {
        ++g_evaluations<P>;
        P::rhs(t, y, f);
    }
};

// inline_rhs: tx::integrate with the right-hand side as a callable, else TXIntegrate with the
// callback; the handle is opened once, and every solve starts from the first step guess.
template <class P, bool inline_rhs>
class TxSolver : public Solver {
public:
    TxSolver(double rtol, double atol, int method)
        : tx_(TXOpenTraxis(inline_rhs ? nullptr : counted<P>, P::n, rtol, kFirstStep)) {
        tx_->AbsTol = atol;
        TXSetMethod(tx_, method);
    }
    ~TxSolver() override { TXCloseTraxis(tx_); }
    void solve(double *y) override {
        tx_->h = kFirstStep;
        std::copy(P::y0.begin(), P::y0.end(), y);
        double t = P::t0;
        const long before = g_evaluations<P>;
        if constexpr (inline_rhs)
            tx::integrate(tx_, &t, P::t1, y, CountedInline<P>{});
        else
            TXIntegrate(tx_, &t, P::t1, y);
        evaluations += g_evaluations<P> - before;
    }

private:
    Traxis tx_;
};

// The right-hand side behind a function pointer that the compiler cannot see through, as
// for a library: what is left of the overhead once this is paid is the library's own.
template <class P>
struct Callback {
    fcn_t fcn;
    void operator()(double t, const double *y, double *f) const {
        fcn(t, const_cast<double *>(y), f);
    }
};

template <class P>
Callback<P> opaque_callback() {
    static fcn_t volatile pointer = counted<P>;
    return {pointer};
}

template <class P, class Rhs>
class ReferenceLoopSolver : public Solver {
public:
    ReferenceLoopSolver(double rtol, double atol, Rhs rhs) : rtol_(rtol), atol_(atol), rhs_(rhs) {}
    void solve(double *y) override {
        const long before = g_evaluations<P>;
        txbench::ReferenceRk65<P::n, Rhs> loop(rhs_, rtol_, atol_, kFirstStep);
        auto state = P::y0;
        double t = P::t0;
        loop.integrate(t, P::t1, state);
        std::copy(state.begin(), state.end(), y);
        evaluations += g_evaluations<P> - before;
    }

private:
    double rtol_, atol_;
    Rhs rhs_;
};

}  // namespace

template <class P>
std::unique_ptr<Solver> make_tx(double rtol, double atol) {
    return std::make_unique<TxSolver<P, false>>(rtol, atol, TX_METHOD_RK65);
}

template <class P>
std::unique_ptr<Solver> make_tx_high_order(double rtol, double atol) {
    return std::make_unique<TxSolver<P, false>>(rtol, atol, TX_METHOD_HIGH_ORDER);
}

template <class P>
std::unique_ptr<Solver> make_hpp(double rtol, double atol) {
    return std::make_unique<TxSolver<P, true>>(rtol, atol, TX_METHOD_RK65);
}

template <class P>
std::unique_ptr<Solver> make_hpp_high_order(double rtol, double atol) {
    return std::make_unique<TxSolver<P, true>>(rtol, atol, TX_METHOD_HIGH_ORDER);
}

template <class P>
std::unique_ptr<Solver> make_reference_loop(double rtol, double atol) {
    return std::make_unique<ReferenceLoopSolver<P, CountedInline<P>>>(rtol, atol,
                                                                     CountedInline<P>{});
}

template <class P>
std::unique_ptr<Solver> make_callback_reference_loop(double rtol, double atol) {
    return std::make_unique<ReferenceLoopSolver<P, Callback<P>>>(rtol, atol,
                                                                opaque_callback<P>());
}

TXPEERS_FOR_EACH_PROBLEM(make_tx)
TXPEERS_FOR_EACH_PROBLEM(make_tx_high_order)
TXPEERS_FOR_EACH_PROBLEM(make_hpp)
TXPEERS_FOR_EACH_PROBLEM(make_hpp_high_order)
TXPEERS_FOR_EACH_PROBLEM(make_reference_loop)
TXPEERS_FOR_EACH_PROBLEM(make_callback_reference_loop)

}  // namespace txpeers
