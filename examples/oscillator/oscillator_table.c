/* Integrates the harmonic oscillator x'' = -x from (1, 0) and prints a table sampled every
 * 0.5 time units next to the exact solution (cos t, -sin t). */
#include <math.h>
#include <stdio.h>

#include "tx.h"

static void oscillator(double t, double *y, double *f) {
    (void)t;
    f[0] = y[1];
    f[1] = -y[0];
}

int main(void) {
    double t = 0.0, y[2] = {1.0, 0.0};
    Traxis tx = TXOpenTraxis(oscillator, 2, 1e-10, 0.01);
    if (!tx) return 1;
    printf("#%9s %22s %22s %12s\n", "t", "x", "v", "error");
    for (int i = 0; i <= 20; ++i) {
        const double t1 = 0.5 * i;
        if (!TXIntegrate(tx, &t, t1, y)) return 1;
        const double err = fabs(y[0] - cos(t)) + fabs(y[1] + sin(t));
        printf("%10.4f %22.15e %22.15e %12.3e\n", t, y[0], y[1], err);
    }
    TXCloseTraxis(tx);
    return 0;
}
