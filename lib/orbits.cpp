// Newton solvers for equilibria, forced periodic orbits and autonomous periodic orbits.
// The orbit solvers take monodromy matrices from the variational sub-handle and keep their
// Newton vectors in its work storage, so that continuation loops allocate nothing.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "detail/enter.hpp"
#include "detail/section_search.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::section_value;

namespace {

void copy(double *dst, const double *src, int n) {
    std::memmove(dst, src, static_cast<std::size_t>(n) * sizeof(double));
}

void set_identity(double **phi, int n) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < n; ++k) phi[i][k] = i == k ? 1.0 : 0.0;
}

// Weighted distance of the residual r from zero, relative to the state x it belongs to.  A
// component whose weight is exactly 0 (x_i = 0 under NewtAbsTol = 0) is left out.
double newton_distance(const Traxis tx, const double *r, const double *x, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) {
        if (tx->NewtRelTol * x[i] == 0.0 && tx->NewtAbsTol == 0.0) continue;
        const double q = r[i] / (std::fabs(x[i]) * tx->NewtRelTol + tx->NewtAbsTol);
        sum += q * q;
    }
    return std::sqrt(sum);
}

// The iteration has failed once the distance more than doubles; a NaN distance can never
// converge either.
bool diverged(double dist, double previous) {
    return std::isnan(dist) || (previous != 0.0 && dist > 2.0 * previous);
}

// Orbit solvers integrate without parameter sensitivities; every return restores nparam.
class NoParameters {
public:
    explicit NoParameters(Traxis tx) : tx_(tx), saved_(tx->nparam) { tx->nparam = 0; }
    ~NoParameters() { tx_->nparam = saved_; }
    NoParameters(const NoParameters &) = delete;
    NoParameters &operator=(const NoParameters &) = delete;

private:
    Traxis tx_;
    int saved_;
};

}  // namespace

extern "C" int TXEquiPoint(Traxis tx, double *y) {
    TX_ENTER(tx, "TXEquiPoint");
    if (!tx->TX) return TX_FAIL(tx->TX, TX_ERR_NOT_OPENED, "TXEquiPoint");
    const int n = tx->order;
    const std::size_t un = static_cast<std::size_t>(n);
    tx::detail::Work block;
    std::unique_ptr<double *[]> rows(new (std::nothrow) double *[un]);
    if (!rows || !block.resize((un + 4) * un)) return TX_FAIL(tx, TX_ERR_NO_MEMORY, "TXEquiPoint");
    double *const r = block.data();
    double *const guess = r + n;
    double *const jac = guess + n;
    double *const lin_work = jac + un * un;
    for (int i = 0; i < n; ++i) rows[i] = jac + i * un;
    copy(guess, y, n);

    // The count is tested before convergence: MaxNewtSteps evaluations, at most one fewer
    // corrections.
    auto fail = [&](int code) {
        copy(y, guess, n);
        return code ? TX_FAIL(tx, code, "TXEquiPoint") : 0;
    };
    int count = 0;
    double previous = 0.0;
    for (;;) {
        tx->fcn(0.0, y, r);
        for (int i = 0; i < n; ++i) r[i] = -r[i];
        const double dist = newton_distance(tx, r, y, n);
        ++count;
        if (count >= tx->MaxNewtSteps || diverged(dist, previous))
            return fail(TX_ERR_NO_CONVERGENCE);
        previous = dist;
        if (dist <= 1.0) return 1;
        if (tx->jac)
            tx->jac(0.0, y, rows.get());
        else if (TXNumJac(tx, 0.0, y, rows.get()) != 1)
            return fail(0);
        // A Jacobian with a zero row gives no correction (code 22 is left).
        if (TXLinZero(tx, n, rows.get(), r, lin_work) != 1) return fail(0);
        for (int i = 0; i < n; ++i) y[i] += r[i];
    }
}

extern "C" int TXNonAutoOrbit(Traxis tx, double t, double *y, double **Phi, double T) {
    TX_ENTER(tx, "TXNonAutoOrbit");
    Traxis sub = tx->TX;
    if (!sub) return TX_FAIL(sub, TX_ERR_NOT_OPENED, "TXNonAutoOrbit");
    // A zero period would make every point a fixed point.
    if (!(T > 0.0)) return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, "TXNonAutoOrbit");
    const NoParameters no_parameters(tx);
    const int n = tx->order;
    double *const y0 = sub->istate;
    double *const r = sub->istate + n;
    copy(y0, y, n);
    int count = 0;
    double previous = 0.0;
    for (;;) {
        set_identity(Phi, n);
        copy(y, y0, n);
        double tt = t;
        if (TXVarIntegrate(tx, &tt, t + T, y, Phi) != 1) return 0;
        for (int i = 0; i < n; ++i) r[i] = y0[i] - y[i];
        const double dist = newton_distance(tx, r, y0, n);
        ++count;
        if (count >= tx->MaxNewtSteps || diverged(dist, previous))
            return TX_FAIL(tx, TX_ERR_NO_CONVERGENCE, "TXNonAutoOrbit");
        previous = dist;
        if (dist <= 1.0) return 1;
        for (int i = 0; i < n; ++i) Phi[i][i] -= 1.0;
        if (TXLinZero(tx, n, Phi, r, sub->ivector) != 1) return 0;
        for (int i = 0; i < n; ++i) y0[i] += r[i];
    }
}

