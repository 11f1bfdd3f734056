// The flat interface: lower-case wrappers on one library-wide handle for callers that work on
// one problem at a time.  Alone in its object file, so that its generic names (step, order,
// integrate, ...) enter a program's link only when the program calls one of them.
#include "detail/enter.hpp"
#include "tx.h"

extern "C" {
Traxis oldtx = nullptr;
}

// The entry protocol on the binding handle, reported under the wrapper's own name.
#define TX_BOUND(name) TX_ENTER(oldtx, name)

// The right-hand side of an integrating call stays in the handle for later calls; a NULL one
// keeps what an earlier call stored instead of leaving nothing to evaluate.
#define TX_BOUND_RHS(fcn, name)                                              \
    do {                                                                     \
        TX_ENTER(oldtx, name);                                               \
        if (fcn) oldtx->fcn = (fcn);                                         \
        TX_REQUIRE_RHS(oldtx, name);                                         \
    } while (0)

extern "C" int errorTraxis(void) {
    if (!oldtx) return TX_FAIL(nullptr, TX_ERR_NOT_OPENED, "errorTraxis");
    return oldtx->ErrorCode;  // not cleared: this is how the last failure is read
}

extern "C" int openTraxis(int order, double tol, double h) {
    // An earlier handle is replaced, not closed: the caller may still hold and use it.
    oldtx = TXOpenTraxis(nullptr, order, tol, h);
    return oldtx != nullptr;
}

extern "C" int closeTraxis(void) {
    TX_BOUND("closeTraxis");
    const int status = TXCloseTraxis(oldtx);
    if (status == 1) oldtx = nullptr;
    return status;
}

extern "C" int order(void) {
    TX_BOUND("order");
    return oldtx->order;
}

extern "C" int step(double *t0, double *y, fcn_t fcn) {
    TX_BOUND_RHS(fcn, "step");
    return TXStep(oldtx, t0, y);
}

extern "C" int integrate(double *t0, double t1, double *y, fcn_t fcn) {
    TX_BOUND_RHS(fcn, "integrate");
    return TXIntegrate(oldtx, t0, t1, y);
}

extern "C" int interpolate(double t, double *y, fcn_t fcn) {
    TX_BOUND_RHS(fcn, "interpolate");
    return TXInterpolate(oldtx, t, y);
}

// The three setters refuse 0 as well (NaN too), unlike TXSetRelTol and TXSetAbsTol.
extern "C" int set_tol(double tol) {
    TX_BOUND("set_tol");
    if (!(tol > 0.0)) return TX_FAIL(oldtx, TX_ERR_TOLERANCE, "set_tol");
    oldtx->RelTol = tol;
    return 1;
}

extern "C" int set_max_step(double hmax) {
    TX_BOUND("set_max_step");
    if (!(hmax > 0.0)) return TX_FAIL(oldtx, TX_ERR_MAX_STEP, "set_max_step");
    oldtx->hmax = hmax;
    return 1;
}

extern "C" int set_abs_tol(double abstol) {
    TX_BOUND("set_abs_tol");
    if (!(abstol > 0.0)) return TX_FAIL(oldtx, TX_ERR_TOLERANCE, "set_abs_tol");
    oldtx->AbsTol = abstol;
    return 1;
}

// eps is taken as it is: the crossing search ends on a bracket that no longer shrinks or after
// MaxPoincareSteps halvings even when no tolerance can be met.
extern "C" int poincare_step(double *t, double *y, fcn_t fcn, cut_t cutfcn, double eps) {
    TX_BOUND_RHS(fcn, "poincare_step");
    oldtx->cut = cutfcn;
    oldtx->CutEps = eps;
    return TXPoincareStep(oldtx, t, y);
}

extern "C" int set_max_poincare_steps(int n) {
    TX_BOUND("set_max_poincare_steps");
    return TXSetMaxPoincareSteps(oldtx, n);
}

extern "C" int cut_surface(double *state, double *normal) {
    TX_BOUND("cut_surface");
    return TXCutSurface(oldtx, state, normal);
}

extern "C" double auto_cut(double t, double *y) {
    TX_BOUND("auto_cut");
    return TXAutoCut(oldtx, t, y);
}

extern "C" int set_auto_cut(double t, double *y, fcn_t fcn) {
    TX_BOUND_RHS(fcn, "set_auto_cut");
    return TXSetAutoCut(oldtx, t, y);
}

extern "C" int lyap_calc(double *t, double *y, double eps, double lyap_dt, fcn_t fcn,
                         long trans_steps, long lyap_steps, double *exponents, int nn) {
    TX_BOUND_RHS(fcn, "lyap_calc");
    return TXLyapCalc(oldtx, t, y, eps, lyap_dt, trans_steps, lyap_steps, exponents, nn);
}

extern "C" int lyap_calc_file(const char *filename, double *t, double *y, double eps,
                              double lyap_dt, long trans_steps, long lyap_steps, fcn_t fcn,
                              double *exponents, int nn, int samp) {
    TX_BOUND_RHS(fcn, "lyap_calc_file");
    return TXLyapCalcFile(oldtx, filename, t, y, eps, lyap_dt, trans_steps, lyap_steps,
                          exponents, nn, samp);
}

extern "C" int ftablef(const char *filename, const char *format, double *t, double t1, long n,
                       double *y, fcn_t fcn) {
    TX_BOUND_RHS(fcn, "ftablef");
    return TXftablef(oldtx, filename, format, t, t1, n, y);
}

extern "C" int ftableg(double *t, double t1, long n, double *y, fcn_t fcn, sample_t g) {
    TX_BOUND_RHS(fcn, "ftableg");
    return TXftableg(oldtx, t, t1, n, y, g);
}

extern "C" int ftablea(FILE *file, const char *format, double *t, double t1, long n, double *y,
                       fcn_t fcn) {
    TX_BOUND_RHS(fcn, "ftablea");
    return TXftablea(oldtx, file, format, t, t1, n, y);
}
