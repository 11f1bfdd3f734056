// tx.hpp: C++17 front end of Traxis with the right-hand side and Jacobians given as any
// callable, which the compiler can inline into the step loop.
//
// The functions work on the same handle as the C interface (opened with TXOpenTraxis, whose fcn
// may be null when only these functions integrate with it) and run the same templates as
// TXStep, TXIntegrate, TXInterpolate and the TXVar operations: with callables computing what the
// handle's callbacks compute they take the same steps and give the same bits, with the handle's
// method (TXSetMethod), tolerances, hmax and step proposal, and leave the handle as the C
// functions do, so that the two may be mixed on one handle.  Refusals follow the entry protocol
// of tx.h and name these functions ("tx::step", ...).
//
//   auto lorenz = [](double, const double *y, double *f) {
//       f[0] = 10.0 * (y[1] - y[0]);
//       f[1] = y[0] * (28.0 - y[2]) - y[1];
//       f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
//   };
//   Traxis h = TXOpenTraxis(nullptr, 3, 1e-10, 1e-3);
//   double t = 0.0, y[3] = {1.0, 1.0, 1.0};
//   tx::integrate(h, &t, 2.0, y, lorenz);
//
// rhs(t, y, f) writes dy/dt into f and must not modify y (it may take y as const double *).
// jac(t, y, J) fills J[i][k] = df_i/dy_k, and paramjac(t, y, P) fills P[i][q] = df_i/dp_q for
// every parameter registered by TXVarOpenTraxis, with J and P given as row pointers.  Passing
// tx::difference_jacobian (the default) takes forward differences of rhs instead, with the
// perturbations JacPert and ParamJacPert, as TXNumJac and TXNumParamJac do for the callback.
#pragma once

#include <type_traits>

#include "detail/differences.hpp"
#include "detail/enter.hpp"
#include "detail/integrate.hpp"
#include "detail/variational_step.hpp"
#include "tx.h"

namespace tx {

struct DifferenceJacobian {};
inline constexpr DifferenceJacobian difference_jacobian{};

// One accepted step; tx->h then holds the proposal for the next.
template <class Rhs>
int step(Traxis tx, double *t0, double *y, Rhs &&rhs) {
    TX_ENTER(tx, "tx::step");
    return detail::step_op(tx, t0, y, rhs, "tx::step");
}

// Returns with *t0 == t1; the last step may overshoot t1 and is sampled by dense output.
template <class Rhs>
int integrate(Traxis tx, double *t0, double t1, double *y, Rhs &&rhs) {
    TX_ENTER(tx, "tx::integrate");
    return detail::integrate_op(tx, t0, t1, y, rhs, "tx::integrate");
}

// State at t on the last step (extrapolates outside it).
template <class Rhs>
int interpolate(Traxis tx, double t, double *y, Rhs &&rhs) {
    TX_ENTER(tx, "tx::interpolate");
    return detail::interpolate_op(tx, t, y, rhs, "tx::interpolate");
}

namespace detail {

template <class Fcn>
struct StateDifferences {
    Traxis tx;
    Fcn &fcn;
    void operator()(double t, double *y, double **J) const {
        forward_differences(tx, fcn, t, y, J, tx->order, tx->JacPert,
                            [y](int i) -> double & { return y[i]; });
    }
};

template <class Fcn>
struct ParameterDifferences {
    Traxis tx;
    Fcn &fcn;
    void operator()(double t, double *y, double **J) const {
        double **const c = tx->c;
        forward_differences(tx, fcn, t, y, J, tx->nparam, tx->ParamJacPert,
                            [c](int i) -> double & { return *c[i]; });
    }
};

// The caller's Jacobian, or forward differences of rhs in place of difference_jacobian.
template <class Fcn, class Jac>
decltype(auto) state_jacobian(Traxis tx, Fcn &fcn, Jac &jac) {
    if constexpr (std::is_same_v<std::decay_t<Jac>, DifferenceJacobian>)
        return StateDifferences<Fcn>{tx, fcn};
    else
        return (jac);
}

template <class Fcn, class Jac>
decltype(auto) parameter_jacobian(Traxis tx, Fcn &fcn, Jac &jac) {
    if constexpr (std::is_same_v<std::decay_t<Jac>, DifferenceJacobian>)
        return ParameterDifferences<Fcn>{tx, fcn};
    else
        return (jac);
}

// f(make_rhs) with make_rhs() building the variational right-hand side of the callables.
template <class Rhs, class Jac, class ParamJac, class F>
int with_var_rhs(Traxis tx, Rhs &rhs, Jac &jac, ParamJac &paramjac, F &&f) {
    auto &&state = state_jacobian(tx, rhs, jac);
    auto &&parameters = parameter_jacobian(tx, rhs, paramjac);
    return f([&] { return var_rhs(tx, rhs, state, parameters); });
}

}  // namespace detail

// The variational operations on the sub-handle opened by TXVarOpenTraxis (whose jac and
// paramjac arguments these functions do not use); y and Phi as for TXVarStep.
template <class Rhs, class Jac = DifferenceJacobian, class ParamJac = DifferenceJacobian>
int var_step(Traxis tx, double *t0, double *y, double **Phi, Rhs &&rhs, Jac &&jac = Jac{},
             ParamJac &&paramjac = ParamJac{}) {
    TX_ENTER(tx, "tx::var_step");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "tx::var_step");
    return detail::with_var_rhs(tx, rhs, jac, paramjac, [&](auto make_rhs) {
        return detail::var_step_op(tx, t0, y, Phi, make_rhs(), "tx::var_step");
    });
}

template <class Rhs, class Jac = DifferenceJacobian, class ParamJac = DifferenceJacobian>
int var_integrate(Traxis tx, double *t0, double t1, double *y, double **Phi, Rhs &&rhs,
                  Jac &&jac = Jac{}, ParamJac &&paramjac = ParamJac{}) {
    TX_ENTER(tx, "tx::var_integrate");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "tx::var_integrate");
    return detail::with_var_rhs(tx, rhs, jac, paramjac, [&](auto make_rhs) {
        return detail::var_integrate_op(tx, t0, t1, y, Phi, make_rhs, "tx::var_integrate");
    });
}

template <class Rhs, class Jac = DifferenceJacobian, class ParamJac = DifferenceJacobian>
int var_interpolate(Traxis tx, double t, double *y, double **Phi, Rhs &&rhs, Jac &&jac = Jac{},
                    ParamJac &&paramjac = ParamJac{}) {
    TX_ENTER(tx, "tx::var_interpolate");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "tx::var_interpolate");
    return detail::with_var_rhs(tx, rhs, jac, paramjac, [&](auto make_rhs) {
        return detail::var_interpolate_op(tx, t, y, Phi, make_rhs(), "tx::var_interpolate");
    });
}

}  // namespace tx
