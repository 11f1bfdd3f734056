// Dense output of the last step: the continuous extension of the 6(5) pair on a handle's
// vectors.  Shared by TXInterpolate and the variational integrator, which samples its extended
// vector with its own right-hand side.
#pragma once

#include "../tx.h"
#include "rk_tables.hpp"
#include "vector_size.hpp"

namespace tx::detail {

// Weighted stage sum of the midpoint solution: d[0..7] on stages 0-7, d[8] on the end
// derivative k11.  Summed in that order from +0.0; the zero weight is skipped, which changes
// no bit for finite stages (see stage_sum).
template <int... J>
inline double midpoint_sum(const double *const *k, const double *k11, int i,
                           std::integer_sequence<int, J...>) {
    using D = DenseOutput65;
    double sum = 0.0;
    ((D::d[J] != 0.0 ? void(sum += D::d[J] * k[J][i]) : void()), ...);
    return sum + D::d[8] * k11[i];
}

// Writes the first n components of the solution at t into out (no range check on t).  Uses y0,
// y6, ynp1d2, yw and k rows 8-11 (row stride n); the stages of the step are k rows 0-7.  The
// four extra evaluations are repeated on every call.
template <class Size, class Rhs>
void dense_sample(Traxis tx, Size n, double t, double *out, Rhs &&rhs) {
    using D = DenseOutput65;
    const double h = tx->tlast - tx->tfirst;
    const double tau = (t - tx->tfirst) / h;
    const double tau2 = tau * tau;
    const double tau3 = tau2 * tau;
    const double tau4 = tau3 * tau;
    const double taum1 = tau - 1.0;
    const double taum1p2 = taum1 * taum1;

    double *__restrict const y0 = tx->y0;
    double *__restrict const y6 = tx->y6;
    double *__restrict const yw = tx->yw;
    double *__restrict const ym = tx->ynp1d2;
    double *k[12];
    for (int j = 0; j < 12; ++j) k[j] = tx->k + j * n();
    const double *const k0 = k[0];
    double *const k8 = k[8], *const k9 = k[9], *const k10 = k[10], *const k11 = k[11];
    copy_vector(y0, tx->yfirst, n);
    copy_vector(y6, tx->ylast, n);

    // Four extra evaluations: the end of the step, its midpoint, and the points at 0.9 and 0.95.
    rhs(tx->tlast, y6, k11);
    for (int i = 0; i < n(); ++i)
        ym[i] = y0[i] + h * midpoint_sum(k, k11, i, std::make_integer_sequence<int, 8>());
    rhs(tx->tfirst + 0.5 * h, ym, k8);
    for (int i = 0; i < n(); ++i)
        yw[i] = D::k1 * y0[i] + D::k2 * y6[i] + D::k3 * ym[i] +
                h * (D::k4 * k0[i] + D::k5 * k11[i] + D::k6 * k8[i]);
    rhs(tx->tfirst + 0.9 * h, yw, k9);
    for (int i = 0; i < n(); ++i)
        yw[i] = D::k7 * y0[i] + D::k8 * y6[i] + D::k9 * ym[i] +
                h * (D::k10 * k0[i] + D::k11 * k11[i] + D::k12 * k8[i]);
    rhs(tx->tfirst + 0.95 * h, yw, k10);

    const double d0 = (400 * tau4 - 808 * tau3 + 462 * tau2 - 34 * tau - 17) * taum1p2 / (-17);
    const double d1 = (30200 * tau3 - 65084 * tau2 + 43806 * tau - 8721) * (-tau * taum1p2 / 8721);
    const double d2 = (400 * tau4 - 1608 * tau3 + 2478 * tau2 - 1766 * tau + 513) * tau2 / 17;
    const double d3 = (3800 * tau3 - 7396 * tau2 + 4160 * tau - 513) * taum1 * tau2 / 51;
    const double d4 = (18400 * tau2 - 33088 * tau + 14877) * (-tau2 * taum1p2 / 918);
    const double d5 = (100000 * tau2 - 100000 * tau + 7125) * tau2 * taum1p2 / 918;
    const double d6 = (-1600000 * tau2 + 1600000 * tau - 216000) * tau2 * taum1p2 / 8721;
    for (int i = 0; i < n(); ++i)
        out[i] = d0 * y0[i] + d2 * y6[i] +
                 h * (d1 * k0[i] + d3 * k11[i] + d4 * k8[i] + d5 * k9[i] + d6 * k10[i]);
}

template <class Rhs>
void dense_sample(Traxis tx, int n, double t, double *out, Rhs &&rhs) {
    dense_sample(tx, RuntimeSize{n}, t, out, rhs);
}

}  // namespace tx::detail
