/* Prints the size of the handle record and the offset of every field the Python module mirrors,
 * one "record.field offset" per line, for test_traxis.py to hold against its ctypes records. */
#include <stddef.h>
#include <stdio.h>

#include "tx.h"

#define TX(f) printf("Traxis_t.%s %zu\n", #f, offsetof(struct Traxis_t, f))
#define BIF(f) printf("TraxisBif_t.%s %zu\n", #f, offsetof(struct TraxisBif_t, f))

int main(void) {
    printf("Traxis_t.sizeof %zu\n", sizeof(struct Traxis_t));
    TX(abs_err); TX(rel_err); TX(y5); TX(y6); TX(ynp1d2); TX(yfirst); TX(ylast); TX(y0); TX(yw);
    TX(istate); TX(ivector); TX(k); TX(j); TX(c); TX(output); TX(form); TX(cp);
    TX(AbsTol); TX(RelTol); TX(NewtAbsTol); TX(NewtRelTol); TX(LambdaNewtAbsTol);
    TX(LambdaNewtRelTol); TX(CutEps); TX(JacPert); TX(ParamJacPert); TX(LambdaPert); TX(tfirst);
    TX(tlast); TX(h); TX(hmax); TX(hnoise); TX(order); TX(nparam); TX(MaxPoincareSteps);
    TX(MaxPeriodSteps); TX(MaxNewtSteps); TX(MaxContSteps); TX(CheckBifs); TX(CutSurfaceDefined);
    TX(TerminateOnFatalError); TX(StepTaken); TX(ErrorCode); TX(fcn); TX(cut); TX(jac);
    TX(paramjac); TX(TX); TX(txb); TX(method);
    BIF(tx); BIF(order); BIF(biftype); BIF(t); BIF(y); BIF(Phi); BIF(T); BIF(c); BIF(er); BIF(ei);
    return 0;
}
