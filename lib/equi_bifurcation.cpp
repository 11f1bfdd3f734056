// Location and classification of equilibrium bifurcations: the equilibrium at which the real
// part of the critical eigenvalue vanishes, found by Newton's method in the state and the
// continuation parameter together, and named a fold or a Hopf point.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "detail/bif_record.hpp"
#include "detail/enter.hpp"
#include "detail/newton.hpp"
#include "detail/parameters.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::Block;

namespace {

constexpr const char *kLocate = "TXLocateEquiBif";
constexpr const char *kCheck = "TXCheckEquiBif";

void mark(std::FILE *state, char c) {
    if (state) std::fputc(c, state);
}

}  // namespace

extern "C" int TXLocateEquiBif(Traxis tx, TraxisBif txb, double *c, FILE *state) {
    TX_ENTER(tx, kLocate);
    Traxis sub = tx->TX;
    if (!sub) return TX_FAIL(tx, TX_ERR_NOT_OPENED, kLocate);
    if (!tx::detail::attached_and_fits(tx, txb, 1)) return TX_FAIL(tx, TX_ERR_NO_BIF, kLocate);
    // The record's parameter index is not trusted: the column must belong to the parameter
    // that is perturbed below.
    const int k = tx::detail::mark_parameter(tx, c);
    if (k < 0) return 0;

    const int n = tx->order;
    const std::size_t un = static_cast<std::size_t>(n), m = un + 1;
    Block block;
    if (!block.take(2 * un, un * m + m + 2 * (m + 1) + un * static_cast<std::size_t>(tx->nparam)))
        return TX_FAIL(tx, TX_ERR_NO_MEMORY, kLocate);
    double **const saved = block.matrix(un, m);  // [J | df/dc] at the current point
    double *const f = block.vector(m);           // residual, then Newton step
    double *const g = block.vector(m + 1);       // test function at the perturbed points
    double *const lin_work = block.vector(m + 1);
    double **const P = block.matrix(un, static_cast<std::size_t>(tx->nparam));

    const double t = txb->t;
    double *const y = txb->y;
    double **const Phi = txb->Phi;
    const double pert = tx->LambdaPert;
    int count = 0;
    double previous = 0.0;
    int crit = 0;
    for (;;) {
        tx->fcn(t, y, f);
        tx::detail::state_jacobian(tx, t, y, Phi);
        tx::detail::parameter_jacobian(tx, t, y, P);
        for (int i = 0; i < n; ++i) {
            Phi[i][n] = P[i][k];
            std::memcpy(saved[i], Phi[i], m * sizeof(double));
        }
        TXEigen(tx, n, Phi, txb->er, txb->ei);
        const double lambda = EQUICRIT(tx, &crit);
        for (int i = 0; i < n; ++i) f[i] = -f[i];

        const double d = tx::detail::location_distance(tx, lambda, f, y, n);
        // A NaN distance would pass every test below and end the iteration as converged.
        if (count > tx->MaxNewtSteps || (previous != 0.0 && d > 2.0 * previous) || std::isnan(d))
            return TX_FAIL(tx, TX_ERR_NO_CONVERGENCE, kLocate);
        ++count;
        mark(state, previous == 0.0 || d < previous ? '.' : '!');
        previous = d;
        if (!(d > 1.0)) break;

        // Forward differences of the test function in every unknown.
        for (int i = 0; i < n; ++i) {
            y[i] += pert;
            tx::detail::state_jacobian(tx, t, y, Phi);
            TXEigen(tx, n, Phi, txb->er, txb->ei);
            g[i] = EQUICRIT(tx, &crit);
            y[i] -= pert;
        }
        *c += pert;
        tx::detail::state_jacobian(tx, t, y, Phi);
        TXEigen(tx, n, Phi, txb->er, txb->ei);
        g[n] = EQUICRIT(tx, &crit);
        *c -= pert;

        double **const A = sub->j;
        for (int i = 0; i < n; ++i) std::memcpy(A[i], saved[i], m * sizeof(double));
        for (int i = 0; i <= n; ++i) A[n][i] = (g[i] - lambda) / pert;
        f[n] = -lambda;
        // A zero row has been reported; the residual must not be taken for a step.
        if (TXLinZero(tx, n + 1, A, f, lin_work) != 1) return 0;
        for (int i = 0; i < n; ++i) y[i] += f[i];
        *c += f[n];
    }

    for (int i = 0; i < n; ++i) std::memcpy(Phi[i], saved[i], m * sizeof(double));
    tx::detail::record_parameters(tx);
    txb->indir = 0;
    txb->biftype = TX_BIF_NOT_DETERMINED;
    return 1;
}

extern "C" int TXCheckEquiBif(Traxis tx, TraxisBif txb, double *c, double thedc, FILE *state) {
    (void)thedc;
    (void)state;
    TX_ENTER(tx, kCheck);
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, kCheck);
    if (!tx::detail::attached_and_fits(tx, txb, 1)) return TX_FAIL(tx, TX_ERR_NO_BIF, kCheck);
    if (tx::detail::mark_parameter(tx, c) < 0) return 0;

    const int n = tx->order;
    const std::size_t un = static_cast<std::size_t>(n);
    Block block;
    if (!block.take(un, un * un + 3 * un)) return TX_FAIL(tx, TX_ERR_NO_MEMORY, kCheck);
    double **const A = block.matrix(un, un);
    double *const v = block.vector(un);
    double *const ws = block.vector(2 * un);  // n - 1 doubles, then n - 1 ints

    int k = 0;
    EQUICRIT(tx, &k);
    for (int i = 0; i < n; ++i) std::memcpy(A[i], txb->Phi[i], un * sizeof(double));
    // The eigenvector's solve meets a zero row whenever the critical eigenvector has a last
    // component of 0 (a fold of x' = g(x, c), y' = -y, say).  Its result is not looked at, so
    // that report must neither end the process nor be left behind by a successful check.
    const int terminate = tx->TerminateOnFatalError;
    tx->TerminateOnFatalError = 0;
    TXEigenVector(tx, n, A, txb->er[k], v, ws);
    tx->TerminateOnFatalError = terminate;
    tx->ErrorCode = 0;
    const bool hopf = txb->ei[k] != 0.0;
    txb->biftype = hopf ? TX_BIF_HOPF : TX_BIF_SADDLE_NODE;
    tx::detail::restore_parameters(tx);
    if (hopf) {
        std::memcpy(txb->trans, v, un * sizeof(double));
        std::strcpy(txb->btype, " -Oo- or -oO- ");
    } else {
        std::strcpy(txb->btype, " ) or ( ");
    }
    return 1;
}
