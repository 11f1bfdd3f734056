// Adaptive stepping with the handle's Runge-Kutta pair.
#include "detail/enter.hpp"
#include "detail/integrate.hpp"
#include "tx.h"

namespace {

struct PlainRhs {
    fcn_t fcn;
    void operator()(double t, double *y, double *f) const { fcn(t, y, f); }
};

}  // namespace

extern "C" int TXStep(Traxis tx, double *t0, double *y) {
    TX_ENTER_RHS(tx, "TXStep");
    PlainRhs rhs{tx->fcn};
    return tx::detail::step_op(tx, t0, y, rhs, "TXStep");
}

extern "C" int TXIntegrate(Traxis tx, double *t0, double t1, double *y) {
    TX_ENTER_RHS(tx, "TXIntegrate");
    PlainRhs rhs{tx->fcn};
    return tx::detail::integrate_op(tx, t0, t1, y, rhs, "TXIntegrate");
}
