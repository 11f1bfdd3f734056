// The variational integrator on the sub-handle with any right-hand side and Jacobians: the C
// functions pass the handle's callbacks (or its difference Jacobians), tx.hpp the caller's
// callables.  The extended vector holds the n state values, then row i of Phi (m entries) at
// n + i * m; it is integrated by the plain integrator's templates on the sub-handle.
#pragma once

#include <cstring>

#include "../tx.h"
#include "differences.hpp"
#include "integrate.hpp"

namespace tx::detail {

struct Layout {
    int n;  // state dimension
    int m;  // n + active parameters: the row length of Phi
    int N;  // n * (m + 1)
};

// Flags are counted at every call: callers switch parameters between calls.
inline Layout layout(const Traxis tx) {
    int active = 0;
    for (int q = 0; q < tx->nparam; ++q)
        if (tx->cp[q]) ++active;
    const int n = tx->order;
    return {n, n + active, n * (n + active + 1)};
}

inline void pack(const Layout &L, const double *y, double *const *Phi, double *z) {
    std::memcpy(z, y, static_cast<std::size_t>(L.n) * sizeof(double));
    for (int i = 0; i < L.n; ++i)
        std::memcpy(z + L.n + i * L.m, Phi[i], static_cast<std::size_t>(L.m) * sizeof(double));
}

inline void unpack(const Layout &L, const double *z, double *y, double **Phi) {
    std::memcpy(y, z, static_cast<std::size_t>(L.n) * sizeof(double));
    for (int i = 0; i < L.n; ++i)
        std::memcpy(Phi[i], z + L.n + i * L.m, static_cast<std::size_t>(L.m) * sizeof(double));
}

// d/dt (y, W) = (f(y), J W + [0 | df/dp]).  jac(s, y, J) fills the state Jacobian; paramjac
// (s, y, P) the parameter one, called only with active parameters and with P[i][q] at
// J[i][n + q].
template <class Fcn, class Jac, class ParamJac>
struct VarRhs {
    Traxis tx;  // main handle: the registry and the sub-handle's workspace
    Layout L;
    Fcn &fcn;
    Jac &jac;
    ParamJac &paramjac;

    void operator()(double s, double *z, double *dz) const {
        const int n = L.n, m = L.m;
        fcn(s, z, dz);
        double **const J = tx->TX->j;
        jac(s, z, J);
        if (m > n) {
            for (int i = 0; i < n; ++i) J[i] += n;
            paramjac(s, z, J);
            for (int i = 0; i < n; ++i) J[i] -= n;
        }
        const double *const W = z + n;
        for (int i = 0; i < n; ++i) {
            const double *const Ji = J[i];
            double *const row = dz + n + i * m;
            for (int k = 0; k < n; ++k) {
                double sum = 0.0;
                for (int l = 0; l < n; ++l) sum += Ji[l] * W[l * m + k];
                row[k] = sum;
            }
            int k = n;
            for (int q = 0; q < tx->nparam; ++q) {
                if (!tx->cp[q]) continue;
                double sum = 0.0;
                for (int l = 0; l < n; ++l) sum += Ji[l] * W[l * m + k];
                sum += Ji[n + q];
                row[k++] = sum;
            }
        }
    }
};

template <class Fcn, class Jac, class ParamJac>
VarRhs<Fcn, Jac, ParamJac> var_rhs(Traxis tx, Fcn &fcn, Jac &jac, ParamJac &paramjac) {
    return {tx, layout(tx), fcn, jac, paramjac};
}

// The bodies of TXVarStep, TXVarIntegrate and TXVarInterpolate after the entry protocol and the
// sub-handle check.  Extended vectors have run-time length.
template <class Rhs>
int var_step_op(Traxis tx, double *t0, double *y, double **Phi, const Rhs &rhs,
                const char *name) {
    const Traxis sub = tx->TX;
    const Layout &L = rhs.L;
    const RuntimeSize N{L.N};
    pack(L, y, Phi, sub->y0);
    const bool ok = with_method(next_method(sub), [&](auto method) {
        return step_from_y0<decltype(method)>(sub, N, *t0, rhs);
    });
    if (!ok) return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, name);
    unpack(L, sub->ylast, y, Phi);
    *t0 = sub->tlast;
    return 1;
}

template <class Rhs>
void var_dense_op(Traxis tx, double t, double *y, double **Phi, const Rhs &rhs) {
    const Traxis sub = tx->TX;
    with_method(last_method(sub), [&](auto method) {
        // y5 is free outside an attempt and long enough for the extended vector.
        dense_output(method, sub, RuntimeSize{rhs.L.N}, t, sub->y5, rhs);
    });
    unpack(rhs.L, sub->y5, y, Phi);
}

template <class Rhs>
int var_interpolate_op(Traxis tx, double t, double *y, double **Phi, const Rhs &rhs,
                       const char *name) {
    if (!tx->TX->StepTaken) return TX_FAIL(tx, TX_ERR_NO_STEP_TAKEN, name);
    var_dense_op(tx, t, y, Phi, rhs);
    return 1;
}

// rhs is made by make_rhs() only once the target is known to be ahead: the layout reads the
// registry, which the early returns must not need.
template <class MakeRhs>
int var_integrate_op(Traxis tx, double *t0, double t1, double *y, double **Phi,
                     MakeRhs &&make_rhs, const char *name) {
    const Traxis sub = tx->TX;
    double t = *t0;
    if (t1 == t) return 1;
    if (!target_ahead(t, t1)) return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, name);
    const auto rhs = make_rhs();
    const Layout &L = rhs.L;
    const RuntimeSize N{L.N};
    pack(L, y, Phi, sub->y6);
    const bool ok = with_method(next_method(sub), [&](auto method) {
        return steps_from_y6<decltype(method)>(sub, N, t, t1, rhs);
    });
    if (!ok) return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, name);
    unpack(L, sub->ylast, y, Phi);
    if (t > t1) var_dense_op(tx, t1, y, Phi, rhs);
    *t0 = t1;
    return 1;
}

}  // namespace tx::detail
