// Newton solvers for equilibria, forced periodic orbits and autonomous periodic orbits.
// The orbit solvers take monodromy matrices from the variational sub-handle and keep their
// Newton vectors in its work storage, so that continuation loops allocate nothing.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "detail/enter.hpp"
#include "detail/newton.hpp"
#include "detail/parameters.hpp"
#include "detail/section_search.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::copy_values;
using tx::detail::section_value;
using tx::detail::start_matrix;

namespace {

// Weighted distance of the residual r from zero, relative to the state x it belongs to.
double newton_distance(const Traxis tx, const double *r, const double *x, int n) {
    return tx::detail::weighted_distance(r, x, n, tx->NewtRelTol, tx->NewtAbsTol);
}

// The iteration has failed once the distance more than doubles; a NaN distance can never
// converge either.
bool diverged(double dist, double previous) {
    return std::isnan(dist) || (previous != 0.0 && dist > 2.0 * previous);
}

}  // namespace

extern "C" int TXEquiPoint(Traxis tx, double *y) {
    TX_ENTER_RHS(tx, "TXEquiPoint");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXEquiPoint");
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
    copy_values(guess, y, n);

    // The count is tested before convergence: MaxNewtSteps evaluations, at most one fewer
    // corrections.
    auto fail = [&](int code) {
        copy_values(y, guess, n);
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
    TX_ENTER_RHS(tx, "TXNonAutoOrbit");
    Traxis sub = tx->TX;
    if (!sub) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXNonAutoOrbit");
    // A zero period would make every point a fixed point.
    if (!(T > 0.0)) return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, "TXNonAutoOrbit");
    const tx::detail::WithoutParameters no_parameters(tx);
    const int n = tx->order;
    double *const y0 = sub->istate;
    double *const r = sub->istate + n;
    copy_values(y0, y, n);
    int count = 0;
    double previous = 0.0;
    for (;;) {
        start_matrix(Phi, n, n);
        copy_values(y, y0, n);
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


namespace {

// An operation of the library left an error code behind (it returned 0 or its result does
// not say; section steps return 0 both without a crossing and after an error).
bool failed(const Traxis tx) { return tx->ErrorCode != 0; }

// One section step; false only after an error.
bool poincare_step(Traxis tx, double *t, double *y, int &crossed) {
    crossed = TXPoincareStep(tx, t, y);
    return !failed(tx);
}

// Steps until the first crossing, at most `limit` steps; false if none or on error.
bool first_crossing(Traxis tx, double *t, double *y, long long limit) {
    int crossed = 0;
    for (long long k = 0; k < limit; ++k) {
        if (!poincare_step(tx, t, y, crossed)) return false;
        if (crossed) return true;
    }
    return false;
}

// Section steps until `wanted` crossings, at most `limit` calls; false unless exactly wanted.
template <class Step>
bool count_crossings(long long wanted, long long limit, Step &&step) {
    long long found = 0;
    for (long long calls = 0; found < wanted && calls < limit; ++calls) {
        int crossed = 0;
        if (!step(crossed)) return false;
        found += crossed;
    }
    return found == wanted;
}

// Puts a corrected start point (t0, y0) of TXAutoOrbit back on the section, just past it in
// the direction of arrival.  y is scratch; returns false when no crossing could be located.
bool back_on_section(Traxis tx, double sgn, long long turns, double &t0, double *y0, double *y) {
    const int n = tx->order;
    double f, t1 = t0, t2 = t0;
    if (!section_value(tx, t1, y0, f)) return false;
    double f1 = sgn * f;
    copy_values(y, y0, n);
    if (TXStep(tx, &t2, y) != 1) return false;
    if (!section_value(tx, t2, y, f)) return false;
    double f2 = sgn * f;
    auto value_at = [&](double at, double &out) {
        if (TXInterpolate(tx, at, y) != 1 || !section_value(tx, at, y, f)) return false;
        out = sgn * f;
        return true;
    };
    // Bracket with the dense output of that step, extrapolated up to four widths each way.
    if (f1 * f2 > 0.0) {
        for (int k = 0; k < 4 && f2 > 0.0; ++k) {
            const double width = t2 - t1;
            t1 = t2;
            t2 += width;
            if (!value_at(t2, f2)) return false;
        }
        for (int k = 0; k < 4 && f1 < 0.0; ++k) {
            const double width = t2 - t1;
            t2 = t1;
            t1 -= width;
            if (!value_at(t1, f1)) return false;
        }
    }
    if (f1 * f2 <= 0.0) {
        const double half = tx->CutEps / 2;
        const int cap = tx->MaxPoincareSteps;
        double tm, g;
        int halvings = 0;
        bool stalled;
        do {
            tm = 0.5 * (t1 + t2);
            stalled = !(tm > t1 && tm < t2);  // the bracket no longer shrinks
            if (!value_at(tm, g)) return false;
            g += half;
            if (g < 0.0)
                t2 = tm;
            else
                t1 = tm;
            ++halvings;
        } while (!(std::fabs(g) < half) && !stalled && (cap == 0 || halvings < cap));
        if (!(std::fabs(g) < half)) return false;
        t0 = tm;
        copy_values(y0, y, n);
        return true;
    }
    // The dense output found no bracket: integrate from the corrected point instead.
    double t = t0;
    copy_values(y, y0, n);
    bool found;
    if (f1 > 0.0) {
        found = first_crossing(tx, &t, y, tx->MaxPeriodSteps);
    } else {
        found = count_crossings(2 * turns, tx->MaxPeriodSteps * turns + 1,
                                [&](int &crossed) { return poincare_step(tx, &t, y, crossed); });
    }
    if (!found) return false;
    t0 = t;
    copy_values(y0, y, n);
    return true;
}

}  // namespace

extern "C" int TXAutoOrbit(Traxis tx, double t, double *y, double **Phi, int p, double *T) {
    TX_ENTER_RHS(tx, "TXAutoOrbit");
    Traxis sub = tx->TX;
    if (!sub) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXAutoOrbit");
    if (p < 1) return TX_FAIL(tx, TX_ERR_BAD_MODE, "TXAutoOrbit");
    const tx::detail::WithoutParameters no_parameters(tx);
    const int n = tx->order;
    const long long turns = p;
    double *const y0 = sub->istate;
    double *const rhs = sub->istate + n;  // n + 1 values
    double *const f_scratch = sub->ivector + n;
    double t0 = t;
    copy_values(y0, y, n);

    // Reach the section, or stay where we are if already on it.
    int crossed = 0;
    if (!poincare_step(tx, &t, y, crossed)) return 0;
    if (!crossed) {
        double s;
        if (!section_value(tx, t0, y0, s)) return 0;
        if (std::fabs(s) < tx->CutEps) {
            copy_values(y, y0, n);
            t = t0;
        } else if (!first_crossing(tx, &t, y, tx->MaxPeriodSteps)) {
            return 0;
        }
    }

    // First period by counting crossings: two per turn, as they alternate in direction.
    start_matrix(Phi, n, n);
    copy_values(y0, y, n);
    t0 = t;
    if (!count_crossings(2 * turns, tx->MaxPeriodSteps * turns + 1, [&](int &c) {
            c = TXVarPoincareStep(tx, &t, y, Phi);
            return !failed(tx);
        }))
        return 0;
    *T = t - t0;

    double *const r = rhs;
    for (int i = 0; i < n; ++i) r[i] = y0[i] - y[i];
    double dist = newton_distance(tx, r, y0, n);
    double previous = dist;
    if (std::isnan(dist)) return TX_FAIL(tx, TX_ERR_NO_CONVERGENCE, "TXAutoOrbit");
    double s;
    if (!section_value(tx, t, y, s)) return 0;
    // sgn * s < 0 on the side where the orbit arrives after its last crossing.
    const double sgn = s < 0.0 ? 1.0 : -1.0;

    double **const J = sub->j;
    int its = 0;
    while (dist > 1.0) {
        // Bordered Newton system: the last row keeps the correction orthogonal to the flow.
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < n; ++k) J[i][k] = Phi[i][k] - (i == k ? 1.0 : 0.0);
        tx->fcn(t, y, f_scratch);
        for (int i = 0; i < n; ++i) J[i][n] = f_scratch[i];
        tx->fcn(t0, y0, f_scratch);
        for (int k = 0; k < n; ++k) J[n][k] = f_scratch[k];
        J[n][n] = 0.0;
        rhs[n] = 0.0;
        if (TXLinZero(tx, n + 1, J, rhs, sub->ivector) != 1) return 0;
        for (int i = 0; i < n; ++i) y0[i] += rhs[i];
        *T += rhs[n];
        // A period driven to 0 would close every orbit trivially.
        if (!(*T > 0.0)) return TX_FAIL(tx, TX_ERR_NO_CONVERGENCE, "TXAutoOrbit");

        if (!back_on_section(tx, sgn, turns, t0, y0, y)) return 0;

        copy_values(y, y0, n);
        t = t0;
        start_matrix(Phi, n, n);
        if (TXVarIntegrate(tx, &t, t0 + *T, y, Phi) != 1) return 0;
        for (int i = 0; i < n; ++i) r[i] = y0[i] - y[i];
        dist = newton_distance(tx, r, y0, n);
        if (its > tx->MaxNewtSteps || diverged(dist, previous))
            return TX_FAIL(tx, TX_ERR_NO_CONVERGENCE, "TXAutoOrbit");
        ++its;
        previous = dist;
    }
    copy_values(y, y0, n);
    return 1;
}
