/* The model header used from C, by a program that reaches model() and noise_part() only through
 * TXIntegrate_With_Noise: it must link and integrate. */
#include <math.h>
#include <stdio.h>

#include "model.h"

static void rhs(double t, double *y, double *f) {
    (void)t;
    f[0] = y[1];
    f[1] = -y[0];
    f[2] = 0.0;
}

int main(void) {
    double t = 0.0, y[kModelDim] = {1.0, 0.0, 0.0};
    Traxis tx = TXOpenTraxis(rhs, kModelDim, 1e-8, 0.01);
    if (!tx) return 1;
    /* With sigma = 0 and everything but the coupling of x and v off, model() is rhs(). */
    if (TXIntegrate_With_Noise(tx, &t, 1.0, y) != 1 || fabs(y[0] - cos(t)) > 1e-9) {
        fprintf(stderr, "noise-driven integration failed: t %g, x %g\n", t, y[0]);
        return 1;
    }
    TXCloseTraxis(tx);
    return 0;
}
