// Stepping, integration and dense output of a handle with any right-hand side rhs(t, y, f): the
// C functions pass the handle's callback, tx.hpp the caller's callable, so both take the same
// steps and give the same bits.  Each chooses the handle's method and a vector length known at
// compile time where it can; the callers apply the entry protocol first.
#pragma once

#include "../tx.h"
#include "enter.hpp"
#include "method_state.hpp"
#include "rk_step.hpp"
#include "dense_step.hpp"
#include "target.hpp"
#include "verner_step.hpp"

namespace tx::detail {

// f(method) for the method numbered id.
template <class F>
decltype(auto) with_method(int id, F &&f) {
    if (id == TX_METHOD_HIGH_ORDER) return f(Verner87{});
    return f(Rk65{});
}

template <class Size, class Rhs>
void dense_output(Rk65, Traxis tx, Size n, double t, double *out, Rhs &rhs) {
    dense_sample(tx, n, t, out, rhs);
}

template <class Size, class Rhs>
void dense_output(Verner87, Traxis tx, Size n, double t, double *out, Rhs &rhs) {
    Verner87::dense(tx, n, t, out, rhs);
}

// Before the first attempt: the stage rows are about to change, whichever pair runs.
inline void starting_step(Traxis tx) {
    if (tx->method) tx->method->dense_ready = false;
}

// After an accepted step of Method: the dense output follows it.
template <class Method>
void took_step(Traxis tx) {
    tx->StepTaken = 1;
    if (tx->method) tx->method->last = Method::id;
}

// One accepted step from the state in y0 at t (also copied to yfirst); leaves it in the handle,
// its end in ylast.
template <class Method, class Size, class Rhs>
bool step_from_y0(Traxis tx, Size n, double t, Rhs &rhs) {
    double h = rk_trial_step(tx);
    starting_step(tx);
    tx->tfirst = t;
    copy_vector(tx->yfirst, tx->y0, n);
    if (!accepted_step<Method>(tx, n, t, h, rhs)) return false;
    copy_vector(tx->ylast, tx->y6, n);
    tx->h = h;
    took_step<Method>(tx);
    return true;
}

// Steps from the state in y6 at t until t1 is reached or passed; leaves the last step in the
// handle, its end in ylast.
template <class Method, class Size, class Rhs>
bool steps_from_y6(Traxis tx, Size n, double &t, double t1, Rhs &rhs) {
    double h = rk_trial_step(tx);
    starting_step(tx);
    do {
        tx->tfirst = t;
        copy_vector(tx->y0, tx->y6, n);
        if (!accepted_step<Method>(tx, n, t, h, rhs)) return false;
        t = tx->tlast;
    } while (t < t1);
    tx->h = h;
    took_step<Method>(tx);
    copy_vector(tx->ylast, tx->y6, n);
    copy_vector(tx->yfirst, tx->y0, n);
    return true;
}

template <class Method, class Size, class Rhs>
bool step_once(Traxis tx, Size n, double *t0, double *y, Rhs &rhs) {
    copy_vector(tx->y0, y, n);
    if (!step_from_y0<Method>(tx, n, *t0, rhs)) return false;
    copy_vector(y, tx->ylast, n);
    *t0 = tx->tlast;
    return true;
}

template <class Method, class Size, class Rhs>
bool steps_to(Traxis tx, Size n, double &t, double t1, double *y, Rhs &rhs) {
    copy_vector(tx->y6, y, n);
    if (!steps_from_y6<Method>(tx, n, t, t1, rhs)) return false;
    copy_vector(y, tx->ylast, n);
    return true;
}

// The bodies of TXStep, TXIntegrate and TXInterpolate after the entry protocol; `name` is the
// operation that reports a refusal.
template <class Rhs>
int step_op(Traxis tx, double *t0, double *y, Rhs &rhs, const char *name) {
    const bool ok = with_method(next_method(tx), [&](auto method) {
        return with_vector_size(tx->order, [&](auto n) {
            return step_once<decltype(method)>(tx, n, t0, y, rhs);
        });
    });
    return ok ? 1 : TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, name);
}

template <class Rhs>
void dense_op(Traxis tx, double t, double *y, Rhs &rhs) {
    with_method(last_method(tx), [&](auto method) {
        with_vector_size(tx->order, [&](auto n) { dense_output(method, tx, n, t, y, rhs); });
    });
}

template <class Rhs>
int interpolate_op(Traxis tx, double t, double *y, Rhs &rhs, const char *name) {
    if (!tx->StepTaken) return TX_FAIL(tx, TX_ERR_NO_STEP_TAKEN, name);
    dense_op(tx, t, y, rhs);
    return 1;
}

template <class Rhs>
int integrate_op(Traxis tx, double *t0, double t1, double *y, Rhs &rhs, const char *name) {
    double t = *t0;
    if (t1 == t) return 1;
    if (!target_ahead(t, t1)) return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, name);
    const bool ok = with_method(next_method(tx), [&](auto method) {
        return with_vector_size(tx->order, [&](auto n) {
            return steps_to<decltype(method)>(tx, n, t, t1, y, rhs);
        });
    });
    if (!ok) return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, name);
    if (t > t1) dense_op(tx, t1, y, rhs);
    *t0 = t1;
    return 1;
}

}  // namespace tx::detail
