// One attempt of the embedded 6(5) pair on a handle's vectors, and the step-size rule.
// Shared by the plain stepper and the variational integrator, which runs the same scheme
// on the extended vector with its own right-hand side.
#pragma once

#include <cfloat>
#include <cmath>

#include "../tx.h"
#include "rk_tables.hpp"

namespace tx::detail {

// Stages from tx->y0 at (t, h) into k rows 0-7 (row stride n); leaves y5, y6, abs_err and
// returns the error norm over the first n components.  rhs(t, y, f) evaluates the right-hand
// side.  n is the handle's order, except for the variational sub-handle, whose vectors are sized
// for every registered parameter while only the active ones are integrated.
template <class Rhs>
double rk_attempt(Traxis tx, int n, double t, double h, Rhs &&rhs) {
    using T = RungeKutta65;
    double *const y0 = tx->y0, *const yw = tx->yw, *const y5 = tx->y5, *const y6 = tx->y6;
    double *const k = tx->k;
    for (int i = 0; i < n; ++i) {
        y5[i] = 0.0;
        y6[i] = 0.0;
    }
    for (int j = 0; j < T::s; ++j) {
        for (int i = 0; i < n; ++i) {
            double sum = 0.0;
            for (int m = 0; m < j; ++m) sum += T::a[j][m] * k[m * n + i];
            yw[i] = y0[i] + h * sum;
        }
        double *const kj = k + j * n;
        rhs(t + T::c[j] * h, yw, kj);
        for (int i = 0; i < n; ++i) {
            y5[i] += T::b5[j] * kj[i];
            y6[i] += T::b6[j] * kj[i];
        }
    }
    for (int i = 0; i < n; ++i) {
        y5[i] = y0[i] + h * y5[i];
        y6[i] = y0[i] + h * y6[i];
        tx->abs_err[i] = std::fabs(y6[i] - y5[i]);
    }
    if (tx->AbsTol == 0.0 && tx->RelTol == 0.0) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        const double scale = std::fabs(y6[i]) * tx->RelTol + tx->AbsTol;
        const double e = tx->abs_err[i];
        if (scale == 0.0) {
            // A component that is exactly zero under a zero absolute tolerance: it can only
            // be met exactly.
            if (e == 0.0) continue;
            return INFINITY;
        }
        const double r = e / scale;
        sum += r * r;
    }
    return std::sqrt(sum);
}

inline bool rk_accepted(double err) { return err <= 1.0; }  // false for NaN

// The factor applies after rejections too: at err > 1 it lies in (0.2, 0.825), so a rejection
// always shrinks the step; a norm that is not finite shrinks it by the smallest factor.
inline double rk_next_step(double h, double err, double hmax) {
    double factor;
    if (err == 0.0)
        factor = 1.0;
    else if (!std::isfinite(err))
        factor = 0.2;
    else
        factor = 0.2 + 0.625 / std::sqrt(std::sqrt(err));
    double next = h * factor;
    if (hmax > 0.0 && next > hmax) next = hmax;
    // Growth is unbounded; an overflow to infinity would never shrink back.
    if (next > DBL_MAX) next = DBL_MAX;
    return next;
}

inline double rk_trial_step(const Traxis tx) {
    double h = tx->h;
    if (tx->hmax > 0.0 && h >= tx->hmax) h = tx->hmax;
    if (h > DBL_MAX) h = DBL_MAX;
    return h;
}

// False once the step can no longer move t forward (also for a NaN or negative step).
inline bool rk_step_advances(double t, double h) { return t + h > t; }

// Attempts from tx->y0 at t until one is accepted, which leaves y6 and sets tlast; h becomes the
// proposal for the next step.  False when the step no longer advances t (code 31 for the caller).
template <class Rhs>
bool rk_accepted_step(Traxis tx, int n, double t, double &h, Rhs &&rhs) {
    for (;;) {
        if (!rk_step_advances(t, h)) return false;
        const double err = rk_attempt(tx, n, t, h, rhs);
        const double used = h;
        h = rk_next_step(h, err, tx->hmax);
        if (rk_accepted(err)) {
            tx->tlast = t + used;
            return true;
        }
    }
}

}  // namespace tx::detail
