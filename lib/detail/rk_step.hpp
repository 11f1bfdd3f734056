// One attempt of the embedded 6(5) pair on a handle's vectors, and the step-size rule.
// Shared by the plain stepper and the variational integrator, which runs the same scheme
// on the extended vector with its own right-hand side.
#pragma once

#include <cfloat>
#include <cmath>

#include "../tx.h"
#include "rk_tables.hpp"
#include "vector_size.hpp"

namespace tx::detail {

// Row j of the stage matrix: sum over m < j of a[j][m] * k_m[i], then y0 + h * sum.
//
// Every sum starts from +0.0 and adds its terms in the order of m, exactly as written in the
// method; such a partial sum is never -0.0 in round-to-nearest, so leaving out a term whose
// coefficient is zero (a ±0 product for any finite stage value) changes no bit.  The zero
// entries of the tables are skipped at compile time.
template <int J, int... M>
inline double stage_sum(const double *const *k, int i, std::integer_sequence<int, M...>) {
    using T = RungeKutta65;
    double sum = 0.0;
    ((T::a[J][M] != 0.0 ? void(sum += T::a[J][M] * k[M][i]) : void()), ...);
    return sum;
}

template <const double (&B)[RungeKutta65::s], int... M>
inline double weight_sum(const double *const *k, int i, std::integer_sequence<int, M...>) {
    double sum = 0.0;
    ((B[M] != 0.0 ? void(sum += B[M] * k[M][i]) : void()), ...);
    return sum;
}

// Stage J: its argument in yw, then its derivative into k[J].
template <int J, class Size, class Rhs>
inline void rk_stage(Size n, double t, double h, const double *__restrict y0,
                     double *__restrict yw, double *const *k, Rhs &rhs) {
    using T = RungeKutta65;
    if constexpr (J == 0) {
        static_assert(T::c[0] == 0.0, "the first stage sits at the start of the step");
        // y0 + h * 0 and t + 0 * h with h * 0 = +0 for the positive finite steps that reach an
        // attempt: the first evaluation need not wait for the step size, which the previous
        // attempt's error norm is still computing.
        for (int i = 0; i < n(); ++i) yw[i] = y0[i] + 0.0;
        rhs(t + 0.0, yw, k[0]);
    } else {
        for (int i = 0; i < n(); ++i)
            yw[i] = y0[i] + h * stage_sum<J>(k, i, std::make_integer_sequence<int, J>());
        rhs(t + T::c[J] * h, yw, k[J]);
    }
}

template <class Size, class Rhs, int... J>
inline void rk_stages(Size n, double t, double h, const double *y0, double *yw, double *const *k,
                      Rhs &rhs, std::integer_sequence<int, J...>) {
    (rk_stage<J>(n, t, h, y0, yw, k, rhs), ...);
}

// Root-sum-square of the error estimate over the scales |y| RelTol + AbsTol; 0 under zero
// tolerances, which fix the step.
template <class Size>
double error_norm(const Traxis tx, Size n, const double *__restrict y,
                  const double *__restrict abs_err) {
    const double rtol = tx->RelTol, atol = tx->AbsTol;
    if (atol == 0.0 && rtol == 0.0) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < n(); ++i) {
        // Below the smallest normal double an error scale asks for more than the arithmetic
        // resolves: a solution decaying into the subnormal range would have its step shrunk
        // until the step no longer changed it, and then crawl on at that size for ever.  An
        // error that small counts as met; a larger one is measured against DBL_MIN (a component
        // at exactly 0 under AbsTol 0 must still be met to within it).
        double s = std::fabs(y[i]) * rtol + atol;
        const double e = abs_err[i];
        if (s < DBL_MIN) {
            if (e < DBL_MIN) continue;
            s = DBL_MIN;
        }
        const double r = e / s;
        sum += r * r;
    }
    return std::sqrt(sum);
}

// Stages from tx->y0 at (t, h) into k rows 0-7 (row stride n); leaves y5, y6, abs_err and
// returns the error norm over the first n components, infinite when a stage or the estimate is
// not finite.  rhs(t, y, f) evaluates the right-hand side.  n is the handle's order, except for
// the variational sub-handle, whose vectors are sized for every registered parameter while only
// the active ones are integrated.  h must be positive and finite, as rk_accepted_step ensures.
template <class Size, class Rhs>
double rk_attempt(Traxis tx, Size n, double t, double h, Rhs &&rhs) {
    using T = RungeKutta65;
    const double *__restrict const y0 = tx->y0;
    double *__restrict const yw = tx->yw;
    double *__restrict const y5 = tx->y5;
    double *__restrict const y6 = tx->y6;
    double *__restrict const abs_err = tx->abs_err;
    double *k[T::s];
    for (int j = 0; j < T::s; ++j) k[j] = tx->k + j * n();
    const auto stages = std::make_integer_sequence<int, T::s>();
    rk_stages(n, t, h, y0, yw, k, rhs, stages);

    // The error estimate is finite only if both solutions are, and they use every stage but
    // stage 1, so these two tests see every value (NaN fails both comparisons).
    const double *const k1 = k[1];
    bool finite = true;
    for (int i = 0; i < n(); ++i) {
        y5[i] = y0[i] + h * weight_sum<T::b5>(k, i, stages);
        y6[i] = y0[i] + h * weight_sum<T::b6>(k, i, stages);
        abs_err[i] = std::fabs(y6[i] - y5[i]);
        finite &= (abs_err[i] <= DBL_MAX) & (std::fabs(k1[i]) <= DBL_MAX);
    }
    // A right-hand side that failed somewhere in the step fails the attempt whatever the
    // tolerances: zero tolerances would otherwise accept it.
    if (!finite) return INFINITY;
    return error_norm(tx, n, y6, abs_err);
}

inline bool rk_accepted(double err) { return err <= 1.0; }  // false for NaN

// At most hmax where it is set, and finite: growth is unbounded, and an overflow to infinity
// would never shrink back.
inline double limited_step(double h, double hmax) {
    if (hmax > 0.0 && h > hmax) h = hmax;
    if (h > DBL_MAX) h = DBL_MAX;
    return h;
}

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
    return limited_step(h * factor, hmax);
}

inline double rk_trial_step(const Traxis tx) { return limited_step(tx->h, tx->hmax); }

// False once the step can no longer move t forward (also for a NaN or negative step).
inline bool rk_step_advances(double t, double h) { return t + h > t; }

// The default 6(5) pair as a method of the generic step loop below.
struct Rk65 {
    static constexpr int id = TX_METHOD_RK65;
    template <class Size, class Rhs>
    static double attempt(Traxis tx, Size n, double t, double h, Rhs &rhs) {
        return rk_attempt(tx, n, t, h, rhs);
    }
    static double next_step(const Traxis tx, double h, double err) {
        return rk_next_step(h, err, tx->hmax);
    }
};

// Attempts of Method from tx->y0 at t until one is accepted, which leaves y6 and sets tlast; h
// becomes the proposal for the next step.  False when the step no longer advances t (code 31 for
// the caller).
template <class Method, class Size, class Rhs>
bool accepted_step(Traxis tx, Size n, double t, double &h, Rhs &&rhs) {
    for (;;) {
        if (!rk_step_advances(t, h)) return false;
        const double err = Method::attempt(tx, n, t, h, rhs);
        const double used = h;
        h = Method::next_step(tx, h, err);
        if (rk_accepted(err)) {
            tx->tlast = t + used;
            return true;
        }
    }
}

}  // namespace tx::detail
