// Forward-difference Jacobians of a right-hand side, for the handle's callback (TXNumJac,
// TXNumParamJac) and for the callables of tx.hpp alike.
#pragma once

#include "../tx.h"

namespace tx::detail {

// Column i of J from the perturbation of the variable slot(i), by forward differences of fcn
// with the absolute perturbation pert; the variable is put back by subtracting the perturbation
// again.  The sub-handle's ivector is the scratch: f(y) in its first n values, the perturbed
// evaluation in the next n.
template <class Fcn, class Slot>
void forward_differences(Traxis tx, Fcn &fcn, double t, double *y, double **J, int columns,
                         double pert, Slot &&slot) {
    const int n = tx->order;
    double *const f = tx->TX->ivector, *const fp = f + n;
    fcn(t, y, f);
    for (int i = 0; i < columns; ++i) {
        double &x = slot(i);
        x += pert;
        fcn(t, y, fp);
        for (int k = 0; k < n; ++k) J[k][i] = (fp[k] - f[k]) / pert;
        x -= pert;
    }
}

}  // namespace tx::detail
