// Opening and closing handles, the message table and the error queries.
#include <cstdlib>
#include <iterator>

#include "detail/enter.hpp"
#include "detail/error_stream.hpp"
#include "detail/method_state.hpp"
#include "detail/open.hpp"
#include "tx.h"

extern "C" const char *const TraxisFatalError[] = {
    "No error",
    "Traxis not opened",
    "Traxis already opened",
    "Not enough memory",
    "Order of dynamical system not positive",
    "Tolerance not positive",
    "Timestep guess not positive",
    "Negative time step attempted",
    "No Poincare-section defined",
    "Attempt to interpolate outside interval",
    "Fatal error equilibrium state",
    "Max time step not positive",
    "No step taken before interpolation",
    "Unable to bracket Poincare section",
    "No Variational equation specified",
    "Unable to open Traxis substructure",
    "Poincare tolerance not positive",
    "Newton tolerance not positive",
    "Poincare plane not reached within MaxPeriodSteps",
    "Maximum number of Newton iterations exceeded",
    "Equilibrium find while searching for periodic solution",
    "Too many iterations in Housholder QR decomposition",
    "Singular matrix in LU decompostition",
    "Pertubation for Jacobian calculation not positive",
    "Negative number of parameter(s)",
    "Unable to open output file",
    "Wrong number of parameters",
    "Bad mode specification",
    "No Traxis Bifurcation structure specified",
    "Minimum stepsize reached",
    "No Convergense in Newton iteration",
    "Step size too small",
    "Lyapunov interval, sampling or exponent count out of range",
    "Invalid column format",
    "Unable to write output file",
    "No right-hand side specified",
    "Unknown integration method",
};
static_assert(std::size(TraxisFatalError) == TX_ERR_COUNT, "one text per error code");

namespace {

// Everything the record owns besides itself, in allocation order.
void free_vectors(Traxis tx) noexcept {
    double **vectors[] = {&tx->abs_err, &tx->rel_err, &tx->y5,     &tx->y6,
                          &tx->ynp1d2,  &tx->yfirst,  &tx->ylast,  &tx->y0,
                          &tx->yw,      &tx->istate,  &tx->ivector, &tx->k};
    for (double **v : vectors) {
        std::free(*v);
        *v = nullptr;
    }
    std::free(tx->output);
    tx->output = nullptr;
    std::free(tx->form);
    tx->form = nullptr;
    tx::detail::free_method(tx);
}

template <class T>
bool take(T *&p, std::size_t n) noexcept {
    p = static_cast<T *>(std::calloc(n, sizeof(T)));
    return p != nullptr;
}

}  // namespace

Traxis tx::detail::open_handle(fcn_t fcn, int order, double RelTol, double h, int *code) noexcept {
    // Written as negations so that NaN is refused as well.
    *code = order <= 0             ? TX_ERR_ORDER
            : !(RelTol >= 0.0)     ? TX_ERR_TOLERANCE
            : !(h > 0.0)           ? TX_ERR_TIMESTEP_GUESS
                                   : TX_NO_ERROR;
    if (*code != TX_NO_ERROR) return nullptr;
    Traxis tx = static_cast<Traxis>(std::calloc(1, sizeof(Traxis_t)));
    if (!tx) {
        *code = TX_ERR_NO_MEMORY;
        return nullptr;
    }
    const std::size_t n = static_cast<std::size_t>(order);
    bool ok = take(tx->abs_err, n) && take(tx->rel_err, n) && take(tx->y5, n) &&
              take(tx->y6, n) && take(tx->ynp1d2, n) && take(tx->yfirst, n) &&
              take(tx->ylast, n) && take(tx->y0, n) && take(tx->yw, n) &&
              take(tx->istate, n) && take(tx->ivector, n) && take(tx->k, 12 * n) &&
              take(tx->output, n + 1) && take(tx->form, 9 * (n + 1));
    if (!ok) {
        free_vectors(tx);
        std::free(tx);
        *code = TX_ERR_NO_MEMORY;
        return nullptr;
    }
    // calloc left every pointer null and every count 0; set the rest.
    tx->AbsTol = 0.0;
    tx->RelTol = RelTol;
    tx->NewtAbsTol = 0.0;
    tx->NewtRelTol = 10000.0 * RelTol;
    tx->LambdaNewtAbsTol = 0.0;
    tx->LambdaNewtRelTol = 500000.0 * RelTol;
    tx->CutEps = 10.0 * RelTol;
    tx->JacPert = 1000.0 * RelTol;
    tx->ParamJacPert = 1000.0 * RelTol;
    tx->LambdaPert = 1000.0 * RelTol;
    tx->tfirst = 0.0;
    tx->tlast = 0.0;
    tx->h = h;
    tx->hmax = 0.0;
    tx->hnoise = h;
    tx->order = order;
    tx->nparam = 0;
    tx->MaxPoincareSteps = 100;
    tx->MaxPeriodSteps = 1000;
    tx->MaxNewtSteps = 10;
    tx->MaxContSteps = 1000;
    tx->CheckBifs = 1;
    tx->CutSurfaceDefined = 0;
    tx->TerminateOnFatalError = 1;
    tx->StepTaken = 0;
    tx->ErrorCode = 0;
    tx->fcn = fcn;
    return tx;
}

extern "C" Traxis TXOpenTraxis(fcn_t fcn, int order, double RelTol, double h) {
    tx::detail::set_error_stream(stderr);
    int code = TX_NO_ERROR;
    Traxis tx = tx::detail::open_handle(fcn, order, RelTol, h, &code);
    if (!tx) TX_FAIL(nullptr, code, "TXOpenTraxis");
    return tx;
}

extern "C" int TXCloseTraxis(Traxis tx) {
    TX_ENTER(tx, "TXCloseTraxis");
    free_vectors(tx);
    if (tx->TX) TXVarCloseTraxis(tx);
    if (tx->txb) TXDestroyBif(tx, tx->txb);
    std::free(tx);
    return 1;
}

extern "C" int TXOrder(Traxis tx) {
    TX_ENTER(tx, "TXOrder");
    return tx->order;
}

extern "C" int TXErrorTraxis(Traxis tx) {
    if (!tx) return TX_FAIL(nullptr, TX_ERR_NOT_OPENED, "TXErrorTraxis");
    return tx->ErrorCode;
}

extern "C" const char *TXStrErrorTraxis(Traxis tx) {
    if (!tx) {
        TX_FAIL(nullptr, TX_ERR_NOT_OPENED, "TXStrError");
        return nullptr;
    }
    // ErrorCode is a public field: never index the table with a value a caller wrote.
    if (tx->ErrorCode < 0 || tx->ErrorCode >= TX_ERR_COUNT) return "Unknown error code";
    return TraxisFatalError[tx->ErrorCode];
}

extern "C" int TXSetErrorOutput(FILE *where) {
    tx::detail::set_error_stream(where ? where : stderr);
    return 1;
}
