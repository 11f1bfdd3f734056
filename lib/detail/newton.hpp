// Pieces shared by the Newton iterations of the solvers, the location of bifurcations and the
// continuation correctors.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstring>

#include "../tx.h"

namespace tx::detail {

inline void copy_values(double *dst, const double *src, int n) {
    std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(double));
}

// [I | 0]: the start of a variational integration over n rows of `columns` values.
inline void start_matrix(double **Phi, int n, int columns) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < columns; ++k) Phi[i][k] = i == k ? 1.0 : 0.0;
}

// sum + Σ (r_i / (|x_i|·rel + abs))², added in index order.  A component whose weight is
// exactly 0 because x_i·rel and abs both are is left out instead of dividing by 0.
template <class X>
double add_weighted_squares(double sum, const double *r, int n, double rel, double abs, X &&x) {
    for (int i = 0; i < n; ++i) {
        const double xi = x(i);
        if (rel * xi == 0.0 && abs == 0.0) continue;
        const double q = r[i] / (std::fabs(xi) * rel + abs);
        sum += q * q;
    }
    return sum;
}

// Weighted distance of the residual r from zero, relative to the state x it belongs to.
inline double weighted_distance(const double *r, const double *x, int n, double rel, double abs) {
    return std::sqrt(add_weighted_squares(0.0, r, n, rel, abs, [x](int i) { return x[i]; }));
}

// How far a bifurcation location is from converged: the test function over the eigenvalue
// tolerances together with the residual r of the state x, whose tolerances enter as square roots.
inline double location_distance(const Traxis tx, double test, const double *r, const double *x,
                                int n) {
    const double s = test / (tx->LambdaNewtAbsTol + tx->LambdaNewtRelTol);
    return std::sqrt(add_weighted_squares(s * s, r, n, std::sqrt(tx->NewtRelTol),
                                          std::sqrt(tx->NewtAbsTol), [x](int i) { return x[i]; }));
}

// J = df/dy at (t, y): the handle's callback, else forward differences.
inline void state_jacobian(Traxis tx, double t, double *y, double **J) {
    if (tx->jac)
        tx->jac(t, y, J);
    else
        TXNumJac(tx, t, y, J);
}

// P = df/dp for every registered parameter at (t, y).
inline void parameter_jacobian(Traxis tx, double t, double *y, double **P) {
    if (tx->paramjac)
        tx->paramjac(t, y, P);
    else
        TXNumParamJac(tx, t, y, P);
}

}  // namespace tx::detail
