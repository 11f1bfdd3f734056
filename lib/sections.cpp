// Poincare sections: a caller's section function or the automatic hyperplane through a point
// with the unit vector field as normal, crossings located on the dense output.
#include <cmath>
#include <cstring>

#include "detail/enter.hpp"
#include "detail/section_search.hpp"
#include "tx.h"

using tx::detail::poincare_search;
using tx::detail::section_value;

extern "C" int TXSetCut(Traxis tx, cut_t cutfcn, double eps) {
    TX_ENTER(tx, "TXSetCut");
    if (!(eps > 0.0)) return TX_FAIL(tx, TX_ERR_CUT_TOLERANCE, "TXSetCut");  // NaN refused too
    tx->cut = cutfcn;
    tx->CutEps = eps;
    return 1;
}

extern "C" int TXPoincareStep(Traxis tx, double *t, double *y) {
    TX_ENTER_RHS(tx, "TXPoincareStep");
    return poincare_search(
        tx, t, y, [&](double *tt) { return TXStep(tx, tt, y) == 1; },
        [&](double tt) { return TXInterpolate(tx, tt, y) == 1; }, "TXPoincareStep");
}

extern "C" int TXCutSurface(Traxis tx, double *state, double *normal) {
    TX_ENTER(tx, "TXCutSurface");
    if (!tx->CutSurfaceDefined) return TX_FAIL(tx, TX_ERR_NO_SECTION, "TXCutSurface");
    const std::size_t bytes = static_cast<std::size_t>(tx->order) * sizeof(double);
    std::memcpy(state, tx->istate, bytes);
    std::memcpy(normal, tx->ivector, bytes);
    return 1;
}

extern "C" double TXAutoCut(Traxis tx, double, double *y) {
    if (!tx) {
        TX_FAIL(nullptr, TX_ERR_NOT_OPENED, "TXAutoCut");
        return -1.0;
    }
    tx->ErrorCode = 0;
    if (!tx->CutSurfaceDefined) return TX_FAIL(tx, TX_ERR_NO_SECTION, "TXAutoCut");
    double sum = 0.0;
    for (int i = 0; i < tx->order; ++i) sum += tx->ivector[i] * (y[i] - tx->istate[i]);
    return sum;
}

extern "C" int TXSetAutoCut(Traxis tx, double t, double *y) {
    TX_ENTER_RHS(tx, "TXSetAutoCut");
    const int n = tx->order;
    // The field goes to scratch first: a refusal keeps the hyperplane set before.
    double *const v = tx->yw;
    tx->fcn(t, y, v);
    double size = 0.0;
    bool finite = true;
    for (int i = 0; i < n; ++i) {
        size += std::fabs(v[i]);
        finite = finite && std::isfinite(y[i]) && std::isfinite(v[i]);
    }
    // A point or field that is not finite gives no normal either: refused like an equilibrium.
    if (size == 0.0 || !finite) return TX_FAIL(tx, TX_ERR_EQUILIBRIUM_STATE, "TXSetAutoCut");
    double norm = 0.0;
    for (int i = 0; i < n; ++i) norm += v[i] * v[i];
    norm = std::sqrt(norm);
    double scale = 1.0;
    if (norm == 0.0 || std::isinf(norm)) {
        // The squares under- or overflowed (a field near 1e-160 or 1e160), which would leave a
        // normal of infinite or zero length: measure the field in units of its largest component.
        scale = 0.0;
        for (int i = 0; i < n; ++i) scale = std::fmax(scale, std::fabs(v[i]));
        norm = 0.0;
        for (int i = 0; i < n; ++i) norm += (v[i] / scale) * (v[i] / scale);
        norm = std::sqrt(norm);
    }
    std::memmove(tx->istate, y, static_cast<std::size_t>(n) * sizeof(double));
    for (int i = 0; i < n; ++i) tx->ivector[i] = v[i] / scale / norm;
    tx->CutSurfaceDefined = 1;
    return 1;
}

// Secant search for the nearest crossing; the first step need not cross.  Converges just past
// the section on the side towards which the section value grew over that step.
extern "C" int CLOSESTCUT(Traxis tx, double *t, double *y) {
    const double half = tx->CutEps / 2;
    double t1 = *t, f1, f2;
    if (!section_value(tx, t1, y, f1)) return 0;
    double tstep = *t;
    if (TXStep(tx, &tstep, y) != 1) return 0;
    double t2 = tstep;
    if (!section_value(tx, t2, y, f2)) return 0;
    const double s = f2 > f1 ? 1.0 : -1.0;
    f1 = s * f1 - half;
    f2 = s * f2 - half;
    int done = 0;
    do {
        const double tn = t2 - (t1 - t2) * f2 / (f1 - f2);
        *t = tn;
        t1 = t2;
        f1 = f2;
        t2 = tn;
        // A flat secant gives no iterate; reporting it as converged would hand back NaNs.
        if (!std::isfinite(tn)) return 0;
        if (TXInterpolate(tx, t2, y) != 1) return 0;
        double f;
        if (!section_value(tx, t2, y, f)) return 0;
        f2 = s * f - half;
        if (done > tx->MaxNewtSteps) return 0;
        ++done;
    } while (!(std::fabs(f2) <= half));  // a NaN section value never counts as converged
    *t = t2;
    return 1;
}
