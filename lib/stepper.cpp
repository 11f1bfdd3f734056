// Adaptive stepping with the embedded 6(5) Runge-Kutta pair.
#include "detail/enter.hpp"
#include "detail/target.hpp"
#include "detail/rk_step.hpp"
#include "tx.h"

using tx::detail::copy_vector;
using tx::detail::rk_accepted_step;
using tx::detail::rk_trial_step;
using tx::detail::with_vector_size;

namespace {

struct PlainRhs {
    fcn_t fcn;
    void operator()(double t, double *y, double *f) const { fcn(t, y, f); }
};

template <class Size>
bool step(Traxis tx, Size n, double *t0, double *y) {
    double h = rk_trial_step(tx);
    const double t = *t0;
    tx->tfirst = t;
    copy_vector(tx->y0, y, n);
    copy_vector(tx->yfirst, y, n);
    if (!rk_accepted_step(tx, n, t, h, PlainRhs{tx->fcn})) return false;
    copy_vector(tx->ylast, tx->y6, n);
    copy_vector(y, tx->ylast, n);
    tx->h = h;
    *t0 = tx->tlast;
    tx->StepTaken = 1;
    return true;
}

// Steps until t1 is reached or passed; leaves the last step in the handle and its end in y.
template <class Size>
bool steps_to(Traxis tx, Size n, double &t, double t1, double *y) {
    double h = rk_trial_step(tx);
    copy_vector(tx->y6, y, n);
    const PlainRhs rhs{tx->fcn};
    do {
        tx->tfirst = t;
        copy_vector(tx->y0, tx->y6, n);
        if (!rk_accepted_step(tx, n, t, h, rhs)) return false;
        t = tx->tlast;
    } while (t < t1);
    tx->h = h;
    tx->StepTaken = 1;
    copy_vector(tx->ylast, tx->y6, n);
    copy_vector(tx->yfirst, tx->y0, n);
    copy_vector(y, tx->ylast, n);
    return true;
}

}  // namespace

extern "C" int TXStep(Traxis tx, double *t0, double *y) {
    TX_ENTER(tx, "TXStep");
    TX_REQUIRE_RHS(tx, "TXStep");
    if (!with_vector_size(tx->order, [&](auto n) { return step(tx, n, t0, y); }))
        return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, "TXStep");
    return 1;
}

extern "C" int TXIntegrate(Traxis tx, double *t0, double t1, double *y) {
    TX_ENTER(tx, "TXIntegrate");
    TX_REQUIRE_RHS(tx, "TXIntegrate");
    double t = *t0;
    if (t1 == t) return 1;
    if (!tx::detail::target_ahead(t, t1)) return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, "TXIntegrate");
    if (!with_vector_size(tx->order, [&](auto n) { return steps_to(tx, n, t, t1, y); }))
        return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, "TXIntegrate");
    if (t > t1) {
        const int status = TXInterpolate(tx, t1, y);
        if (status != 1) return status;
    }
    *t0 = t1;
    return 1;
}
