// Adaptive stepping with the embedded 6(5) Runge-Kutta pair.
#include <cstring>

#include "detail/enter.hpp"
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

void copy(double *dst, const double *src, int n) {
    std::memcpy(dst, src, static_cast<std::size_t>(n) * sizeof(double));
}

}  // namespace

extern "C" int TXStep(Traxis tx, double *t0, double *y) {
    TX_ENTER(tx, "TXStep");
    const int n = tx->order;
    double h = rk_trial_step(tx);
    const double t = *t0;
    tx->tfirst = t;
    copy(tx->y0, y, n);
    copy(tx->yfirst, y, n);
    const bool advanced = with_vector_size(
        n, [&](auto size) { return rk_accepted_step(tx, size, t, h, PlainRhs{tx->fcn}); });
    if (!advanced) return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, "TXStep");
    copy(tx->ylast, tx->y6, n);
    copy(y, tx->ylast, n);
    tx->h = h;
    *t0 = tx->tlast;
    tx->StepTaken = 1;
    return 1;
}

extern "C" int TXIntegrate(Traxis tx, double *t0, double t1, double *y) {
    TX_ENTER(tx, "TXIntegrate");
    double t = *t0;
    if (t1 == t) return 1;
    // Negated so that a NaN target is refused instead of never being reached.
    if (!(t1 > t)) return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, "TXIntegrate");
    const int n = tx->order;
    double h = rk_trial_step(tx);
    copy(tx->y6, y, n);
    const PlainRhs rhs{tx->fcn};
    const bool advanced = with_vector_size(n, [&](auto size) {
        do {
            tx->tfirst = t;
            copy_vector(tx->y0, tx->y6, size);
            if (!rk_accepted_step(tx, size, t, h, rhs)) return false;
            t = tx->tlast;
        } while (t < t1);
        return true;
    });
    if (!advanced) return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, "TXIntegrate");
    tx->h = h;
    tx->StepTaken = 1;
    copy(tx->ylast, tx->y6, n);
    copy(tx->yfirst, tx->y0, n);
    copy(y, tx->ylast, n);
    if (t > t1) {
        const int status = TXInterpolate(tx, t1, y);
        if (status != 1) return status;
    }
    *t0 = t1;
    return 1;
}
