// Variational equations: state, fundamental matrix and parameter sensitivities integrated as
// one extended vector on a sub-handle, with the plain integrator's scheme and dense output.
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "detail/enter.hpp"
#include "detail/method_state.hpp"
#include "detail/newton.hpp"
#include "detail/open.hpp"
#include "detail/section_search.hpp"
#include "detail/variational_step.hpp"
#include "tx.h"

namespace {

// The handle's callbacks, or its difference Jacobians where a callback is missing.
struct HandleFcn {
    Traxis tx;
    void operator()(double t, double *y, double *f) const { tx->fcn(t, y, f); }
};

struct HandleJac {
    Traxis tx;
    void operator()(double t, double *y, double **J) const {
        tx::detail::state_jacobian(tx, t, y, J);
    }
};

struct HandleParamJac {
    Traxis tx;
    void operator()(double t, double *y, double **J) const {
        tx::detail::parameter_jacobian(tx, t, y, J);
    }
};

// The variational right-hand side of the handle's callbacks, handed to f.
template <class F>
decltype(auto) with_handle_rhs(Traxis tx, F &&f) {
    HandleFcn fcn{tx};
    HandleJac jac{tx};
    HandleParamJac paramjac{tx};
    return f([&] { return tx::detail::var_rhs(tx, fcn, jac, paramjac); });
}

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
    // The sub-handle integrates with the handle's method.
    const int method = tx::detail::next_method(tx);
    if (!tx::detail::reserve_method(sub, method)) {
        discard(tx);
        return TX_FAIL(tx, TX_ERR_NO_MEMORY, kOpen);
    }
    tx::detail::select_method(sub, method);

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
    TX_ENTER_RHS(tx, "TXVarStep");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarStep");
    return with_handle_rhs(tx, [&](auto make_rhs) {
        return tx::detail::var_step_op(tx, t0, y, Phi, make_rhs(), "TXVarStep");
    });
}

extern "C" int TXVarIntegrate(Traxis tx, double *t0, double t1, double *y, double **Phi) {
    TX_ENTER_RHS(tx, "TXVarIntegrate");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarIntegrate");
    return with_handle_rhs(tx, [&](auto make_rhs) {
        return tx::detail::var_integrate_op(tx, t0, t1, y, Phi, make_rhs, "TXVarIntegrate");
    });
}

extern "C" int TXVarInterpolate(Traxis tx, double t, double *y, double **Phi) {
    TX_ENTER_RHS(tx, "TXVarInterpolate");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarInterpolate");
    return with_handle_rhs(tx, [&](auto make_rhs) {
        return tx::detail::var_interpolate_op(tx, t, y, Phi, make_rhs(), "TXVarInterpolate");
    });
}

extern "C" int TXVarPoincareStep(Traxis tx, double *t, double *y, double **Phi) {
    TX_ENTER_RHS(tx, "TXVarPoincareStep");
    if (!tx->TX) return TX_FAIL(tx, TX_ERR_NOT_OPENED, "TXVarPoincareStep");
    // No correction of Phi for the time shift to the section is applied.
    return tx::detail::poincare_search(
        tx, t, y, [&](double *tt) { return TXVarStep(tx, tt, y, Phi) == 1; },
        [&](double tt) { return TXVarInterpolate(tx, tt, y, Phi) == 1; }, "TXVarPoincareStep");
}
