// Variational equations: state, fundamental matrix and parameter sensitivities integrated as
// one extended vector on a sub-handle, with the plain integrator's scheme and dense output.
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "detail/dense_step.hpp"
#include "detail/enter.hpp"
#include "detail/open.hpp"
#include "detail/target.hpp"
#include "detail/rk_step.hpp"
#include "detail/section_search.hpp"
#include "tx.h"

using tx::detail::rk_accepted_step;
using tx::detail::rk_trial_step;

namespace {

// Extended vector: the n state values, then row i of Phi (m entries) at n + i * m.
struct Layout {
    int n;  // state dimension
    int m;  // n + active parameters: the row length of Phi
    int N;  // n * (m + 1)
};

// Flags are counted at every call: callers switch parameters between calls.
Layout layout(const Traxis tx) {
    int active = 0;
    for (int q = 0; q < tx->nparam; ++q)
        if (tx->cp[q]) ++active;
    const int n = tx->order;
    return {n, n + active, n * (n + active + 1)};
}

void pack(const Layout &L, const double *y, double *const *Phi, double *z) {
    std::memcpy(z, y, static_cast<std::size_t>(L.n) * sizeof(double));
    for (int i = 0; i < L.n; ++i)
        std::memcpy(z + L.n + i * L.m, Phi[i], static_cast<std::size_t>(L.m) * sizeof(double));
}

void unpack(const Layout &L, const double *z, double *y, double **Phi) {
    std::memcpy(y, z, static_cast<std::size_t>(L.n) * sizeof(double));
    for (int i = 0; i < L.n; ++i)
        std::memcpy(Phi[i], z + L.n + i * L.m, static_cast<std::size_t>(L.m) * sizeof(double));
}

void copy(double *dst, const double *src, int n) {
    std::memcpy(dst, src, static_cast<std::size_t>(n) * sizeof(double));
}

// d/dt (y, W) = (f(y), J W + [0 | df/dp]) with J from the callbacks or by differences.
struct VarRhs {
    Traxis tx;  // main handle: fcn, jac, paramjac, the registry and the sub-handle's workspace
    Layout L;

    void operator()(double s, double *z, double *dz) const {
        const int n = L.n, m = L.m;
        tx->fcn(s, z, dz);
        double **const J = tx->TX->j;
        if (tx->jac)
            tx->jac(s, z, J);
        else
            TXNumJac(tx, s, z, J);
        if (m > n) {
            // The parameter derivatives land right of the state block: J[i][n + q].
            for (int i = 0; i < n; ++i) J[i] += n;
            if (tx->paramjac)
                tx->paramjac(s, z, J);
            else
                TXNumParamJac(tx, s, z, J);
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

// The workspace is a null-terminated row array, so closing needs no count that a caller could
// have changed meanwhile.
void free_rows(double **rows) {
    if (!rows) return;
    for (double **r = rows; *r; ++r) std::free(*r);
    std::free(rows);
}

double **alloc_rows(int count) {
    double **rows = static_cast<double **>(std::calloc(static_cast<std::size_t>(count) + 1,
                                                       sizeof(double *)));
    if (!rows) return nullptr;
    for (int r = 0; r < count; ++r) {
        rows[r] = static_cast<double *>(std::calloc(static_cast<std::size_t>(count),
                                                    sizeof(double)));
        if (!rows[r]) {
            free_rows(rows);
            return nullptr;
        }
    }
    return rows;
}

// A refused opening leaves no half-built registry: stepping it would read null parameters.
void discard(Traxis tx) {
    if (tx->TX) {
        TXVarCloseTraxis(tx);
    } else {
        tx->nparam = 0;
    }
}

constexpr const char *kOpen = "TXVarOpenTraxis";

int open_variational(Traxis tx, jac_t jac, va_list ap) {
    if (!jac) {
        const double pert = va_arg(ap, double);
        if (!(pert > 0.0)) return TX_FAIL(tx, TX_ERR_JAC_PERTURBATION, kOpen);
        tx->JacPert = pert;
    }
    const int nparam = va_arg(ap, int);
    if (nparam < 0) return TX_FAIL(tx, TX_ERR_NEGATIVE_NPARAM, kOpen);
    tx->nparam = nparam;
    if (nparam > 0) {
        tx->paramjac = va_arg(ap, jac_t);
        if (!tx->paramjac) {
            const double pert = va_arg(ap, double);
            if (!(pert > 0.0)) {
                discard(tx);
                return TX_FAIL(tx, TX_ERR_JAC_PERTURBATION, kOpen);
            }
            tx->ParamJacPert = pert;
        }
    }

    // Arguments TXOpenTraxis would refuse are refused here, on this handle: there they would
    // end the process whatever TerminateOnFatalError says.
    const int n = tx->order;
    const long long order = static_cast<long long>(n) * (n + nparam + 1) + 1;
    if (n <= 0 || order > INT_MAX || !(tx->RelTol >= 0.0) || !(tx->h > 0.0)) {
        discard(tx);
        return TX_FAIL(tx, TX_ERR_SUBSTRUCTURE, kOpen);
    }
    // Opened without a report of its own: a failure is reported on this handle, so that a
    // caller with TerminateOnFatalError 0 gets it as a return value.
    int code = TX_NO_ERROR;
    Traxis sub = tx::detail::open_handle(nullptr, static_cast<int>(order), tx->RelTol, tx->h, &code);
    if (!sub) {
        discard(tx);
        return TX_FAIL(tx, code == TX_ERR_NO_MEMORY ? TX_ERR_NO_MEMORY : TX_ERR_SUBSTRUCTURE, kOpen);
    }
    tx->TX = sub;
    tx->jac = jac;
    sub->AbsTol = tx->AbsTol;

    const std::size_t np = static_cast<std::size_t>(nparam);
    tx->c = static_cast<double **>(std::calloc(np ? np : 1, sizeof(double *)));
    tx->cp = static_cast<char *>(std::calloc(np ? np : 1, sizeof(char)));
    sub->j = tx->c && tx->cp ? alloc_rows(n + nparam + 1) : nullptr;
    if (!sub->j) {
        discard(tx);
        return TX_FAIL(tx, TX_ERR_NO_MEMORY, kOpen);
    }
    for (int q = 0; q < nparam; ++q) {
        tx->c[q] = va_arg(ap, double *);
        if (!tx->c[q]) {
            discard(tx);
            return TX_FAIL(tx, TX_ERR_NPARAM, kOpen);
        }
    }
    return 1;
}

}  // namespace

extern "C" int TXVarOpenTraxis(Traxis tx, jac_t jac, ...) {
    TX_ENTER(tx, kOpen);
    if (tx->TX) TXVarCloseTraxis(tx);  // re-opening would otherwise leak the old sub-handle
    va_list ap;
    va_start(ap, jac);
    const int status = open_variational(tx, jac, ap);
    va_end(ap);
    return status;
}

extern "C" int TXVarCloseTraxis(Traxis tx) {
    TX_ENTER(tx, "TXVarCloseTraxis");
    if (!tx->TX) return 1;
    free_rows(tx->TX->j);
    tx->TX->j = nullptr;
    std::free(tx->cp);
    tx->cp = nullptr;
    std::free(tx->c);
    tx->c = nullptr;
    tx->nparam = 0;
    TXCloseTraxis(tx->TX);
    tx->TX = nullptr;
    return 1;
}

extern "C" int TXVarStep(Traxis tx, double *t0, double *y, double **Phi) {
    TX_ENTER(tx, "TXVarStep");
    TX_REQUIRE_RHS(tx, "TXVarStep");
    const Traxis sub = tx->TX;
    if (!sub) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarStep");
    const Layout L = layout(tx);
    double h = rk_trial_step(sub);
    const double t = *t0;
    sub->tfirst = t;
    pack(L, y, Phi, sub->y0);
    copy(sub->yfirst, sub->y0, L.N);
    if (!rk_accepted_step(sub, L.N, t, h, VarRhs{tx, L}))
        return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, "TXVarStep");
    copy(sub->ylast, sub->y6, L.N);
    unpack(L, sub->ylast, y, Phi);
    sub->h = h;
    *t0 = sub->tlast;
    sub->StepTaken = 1;
    return 1;
}

extern "C" int TXVarIntegrate(Traxis tx, double *t0, double t1, double *y, double **Phi) {
    TX_ENTER(tx, "TXVarIntegrate");
    TX_REQUIRE_RHS(tx, "TXVarIntegrate");
    const Traxis sub = tx->TX;
    if (!sub) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarIntegrate");
    double t = *t0;
    if (t1 == t) return 1;
    if (!tx::detail::target_ahead(t, t1))
        return TX_FAIL(tx, TX_ERR_NEGATIVE_STEP, "TXVarIntegrate");
    const Layout L = layout(tx);
    double h = rk_trial_step(sub);
    pack(L, y, Phi, sub->y6);
    const VarRhs rhs{tx, L};
    do {
        sub->tfirst = t;
        copy(sub->y0, sub->y6, L.N);
        if (!rk_accepted_step(sub, L.N, t, h, rhs))
            return TX_FAIL(tx, TX_ERR_STEP_TOO_SMALL, "TXVarIntegrate");
        t = sub->tlast;
    } while (t < t1);
    sub->h = h;
    sub->StepTaken = 1;
    copy(sub->ylast, sub->y6, L.N);
    copy(sub->yfirst, sub->y0, L.N);
    unpack(L, sub->ylast, y, Phi);
    if (t > t1) {
        const int status = TXVarInterpolate(tx, t1, y, Phi);
        if (status != 1) return status;
    }
    *t0 = t1;
    return 1;
}

extern "C" int TXVarInterpolate(Traxis tx, double t, double *y, double **Phi) {
    TX_ENTER(tx, "TXVarInterpolate");
    TX_REQUIRE_RHS(tx, "TXVarInterpolate");
    const Traxis sub = tx->TX;
    if (!sub) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarInterpolate");
    if (!sub->StepTaken) return TX_FAIL(tx, TX_ERR_NO_STEP_TAKEN, "TXVarInterpolate");
    const Layout L = layout(tx);
    // y5 is free outside an attempt and long enough for the extended vector.
    tx::detail::dense_sample(sub, L.N, t, sub->y5, VarRhs{tx, L});
    unpack(L, sub->y5, y, Phi);
    return 1;
}

extern "C" int TXVarPoincareStep(Traxis tx, double *t, double *y, double **Phi) {
    TX_ENTER(tx, "TXVarPoincareStep");
    TX_REQUIRE_RHS(tx, "TXVarPoincareStep");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarPoincareStep");
    // No correction of Phi for the time shift to the section is applied.
    return tx::detail::poincare_search(
        tx, t, y, [&](double *tt) { return TXVarStep(tx, tt, y, Phi) == 1; },
        [&](double tt) { return TXVarInterpolate(tx, tt, y, Phi) == 1; }, "TXVarPoincareStep");
}
