// Dense output on the last step, and the integrator settings.
#include "detail/enter.hpp"
#include "detail/integrate.hpp"
#include "tx.h"

extern "C" int TXInterpolate(Traxis tx, double t, double *y) {
    TX_ENTER_RHS(tx, "TXInterpolate");
    const fcn_t fcn = tx->fcn;
    auto rhs = [fcn](double s, double *z, double *f) { fcn(s, z, f); };
    return tx::detail::interpolate_op(tx, t, y, rhs, "TXInterpolate");
}

extern "C" int TXSetMaxStep(Traxis tx, double hmax) {
    TX_ENTER(tx, "TXSetMaxStep");
    if (!(hmax > 0.0)) return TX_FAIL(tx, TX_ERR_MAX_STEP, "TXSetMaxStep");  // NaN refused too
    tx->hmax = hmax;
    return 1;
}

extern "C" int TXSetRelTol(Traxis tx, double RelTol) {
    TX_ENTER(tx, "TXSetRelTol");
    if (!(RelTol >= 0.0)) return TX_FAIL(tx, TX_ERR_TOLERANCE, "TXSetRelTol");
    tx->RelTol = RelTol;
    return 1;
}

extern "C" int TXSetAbsTol(Traxis tx, double AbsTol) {
    TX_ENTER(tx, "TXSetAbsTol");
    if (!(AbsTol >= 0.0)) return TX_FAIL(tx, TX_ERR_TOLERANCE, "TXSetAbsTol");
    tx->AbsTol = AbsTol;
    return 1;
}

extern "C" int TXSetNewtTol(Traxis tx, double NewtRelTol) {
    TX_ENTER(tx, "TXSetNewtTol");
    if (!(NewtRelTol > 0.0)) return TX_FAIL(tx, TX_ERR_NEWTON_TOLERANCE, "TXSetNewtTol");
    tx->NewtRelTol = NewtRelTol;
    return 1;
}

namespace {

// The count setters record code 1 without a report, whatever TerminateOnFatalError says.
int set_count(Traxis tx, int n, int Traxis_t::*field) {
    if (n < 0) {
        tx->ErrorCode = TX_ERR_NOT_OPENED;
        return 0;
    }
    tx->*field = n;
    return 1;
}

}  // namespace

extern "C" int TXSetMaxPoincareSteps(Traxis tx, int n) {
    TX_ENTER(tx, "TXSetMaxPoincareSteps");
    return set_count(tx, n, &Traxis_t::MaxPoincareSteps);
}

extern "C" int TXSetMaxPeriodSteps(Traxis tx, int n) {
    TX_ENTER(tx, "TXSetMaxPeriodSteps");
    return set_count(tx, n, &Traxis_t::MaxPeriodSteps);
}

extern "C" int TXSetMaxNewtSteps(Traxis tx, int n) {
    TX_ENTER(tx, "TXSetMaxNewtSteps");
    return set_count(tx, n, &Traxis_t::MaxNewtSteps);
}
