// Locating a section crossing on the dense output of one step.  Every section step of the
// library (plain and variational) runs this one search.
//
// How to call it:
//   return tx::detail::poincare_search(tx, t, y,
//       [&](double *tt) { return TXVarStep(tx, tt, y, Phi) == 1; },      // one accepted step
//       [&](double tt) { return TXVarInterpolate(tx, tt, y, Phi) == 1; },  // dense output at tt
//       "TXVarPoincareStep");
// `tx` supplies the section (cut, else the automatic hyperplane), CutEps and MaxPoincareSteps,
// and receives error 13.  `y` is the state part (tx->order doubles) that step and interpolate
// leave behind; the section is evaluated on it.  step and interpolate return false after they
// raised an error of their own; the search then returns 0 at once.
//
// Result: 1 with *t and y just past the section in the direction of travel (sgn x value in
// (-CutEps, 0)); 0 when the step did not cross (*t, y at the end of the step) or after an error.
#pragma once

#include <cmath>

#include "../tx.h"
#include "enter.hpp"

namespace tx::detail {

// The section at (t, y): the caller's function, else the automatic hyperplane.  False when
// there is neither (TXAutoCut has then raised error 8).
inline bool section_value(Traxis tx, double t, double *y, double &value) {
    if (tx->cut) {
        value = tx->cut(t, y);
        return true;
    }
    value = TXAutoCut(tx, t, y);
    return tx->CutSurfaceDefined != 0;
}

template <class Step, class Interpolate>
int poincare_search(Traxis tx, double *t, double *y, Step &&step, Interpolate &&interpolate,
                    const char *name) {
    double f;
    if (!section_value(tx, *t, y, f)) return 0;
    const double sgn = f >= 0.0 ? 1.0 : -1.0;  // a start on the section counts as positive
    double t1 = *t;
    if (!step(t)) return 0;
    double t2 = *t;
    if (!section_value(tx, *t, y, f)) return 0;
    if (sgn * f >= 0.0) return 0;

    const double half = tx->CutEps / 2;
    const int cap = tx->MaxPoincareSteps;
    int count = 0;
    for (;;) {
        const double tm = 0.5 * (t1 + t2);
        *t = tm;
        if (!interpolate(tm)) return 0;
        if (!section_value(tx, tm, y, f)) return 0;
        const double g = half + sgn * f;
        // Once the midpoint equals an end the bracket no longer shrinks and every further
        // pass would repeat this one: without a cap that would never end.
        const bool stalled = !(tm > t1 && tm < t2);
        if (g >= 0.0)
            t1 = tm;
        else
            t2 = tm;
        ++count;
        if (std::fabs(g) < half) return 1;
        if (stalled || (cap != 0 && count >= cap)) break;
    }
    return TX_FAIL(tx, TX_ERR_NO_BRACKET, name);
}

}  // namespace tx::detail
