// Difference Jacobians of the right-hand side and of the section function.
#include "detail/differences.hpp"
#include "detail/enter.hpp"
#include "detail/section_search.hpp"
#include "tx.h"

using tx::detail::section_value;

namespace {

// The variational sub-handle's vector ivector is the scratch: f(y) in its first n values, the
// perturbed evaluation in the next n.  Refused on the main handle, so that a caller that asked
// for error codes gets one instead of the end of the process.
bool has_scratch(Traxis tx) {
    if (!tx->TX) return false;
    tx->TX->ErrorCode = 0;
    return true;
}

}  // namespace

extern "C" int TXNumJac(Traxis tx, double t, double *y, double **J) {
    TX_ENTER_RHS(tx, "TXNumJac");
    if (!has_scratch(tx)) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXNumJac");
    const fcn_t fcn = tx->fcn;
    tx::detail::forward_differences(tx, fcn, t, y, J, tx->order, tx->JacPert,
                                    [y](int i) -> double & { return y[i]; });
    return 1;
}

extern "C" int TXNumParamJac(Traxis tx, double t, double *y, double **J) {
    TX_ENTER_RHS(tx, "TXNumParamJac");
    if (!has_scratch(tx)) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXNumParamJac");
    double **const c = tx->c;
    const fcn_t fcn = tx->fcn;
    tx::detail::forward_differences(tx, fcn, t, y, J, tx->nparam, tx->ParamJacPert,
                                    [c](int i) -> double & { return *c[i]; });
    return 1;
}

extern "C" int TXNumCutJac(Traxis tx, double t, double *y, double *c1, double *c2, double *j) {
    TX_ENTER(tx, "TXNumCutJac");
    if (!has_scratch(tx)) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXNumCutJac");
    // Without any section every quotient would be taken of error returns.
    if (!tx->cut && !tx->CutSurfaceDefined) return TX_FAIL(tx, TX_ERR_NO_SECTION, "TXNumCutJac");
    const double pert = tx->JacPert;  // also for the two parameters
    double f;
    section_value(tx, t, y, f);
    auto quotient = [&](double &x) {
        x += pert;
        double perturbed;
        section_value(tx, t, y, perturbed);
        x -= pert;
        return (perturbed - f) / pert;
    };
    const int n = tx->order;
    for (int i = 0; i < n; ++i) j[i] = quotient(y[i]);
    j[n] = quotient(*c1);
    j[n + 1] = quotient(*c2);
    return 1;
}
