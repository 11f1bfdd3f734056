/* An outside program built against an installed Traxis: the harmonic oscillator against cos t,
 * and noise-driven integration calling this program's model() (zero noise, so it must equal the
 * classical fourth-order Runge-Kutta solution of y' = -y). */
#include <math.h>
#include <stdio.h>

#include "tx.h"

static void oscillator(double t, double *y, double *f) {
    (void)t;
    f[0] = y[1];
    f[1] = -y[0];
}

void model(double t, double *y, double *dydt) {
    (void)t;
    dydt[0] = -y[0];
}

void noise_part(double t, double *y, double *noise) {
    (void)t;
    (void)y;
    noise[0] = 0.0;
}

int main(void) {
    double t = 0.0, y[2] = {1.0, 0.0};
    Traxis tx = TXOpenTraxis(oscillator, 2, 1e-10, 0.01);
    if (!tx) return 1;
    tx->TerminateOnFatalError = 0;
    const double two_pi = 8.0 * atan(1.0);
    if (!TXIntegrate(tx, &t, two_pi, y)) {
        fprintf(stderr, "consumer: %s\n", TXStrErrorTraxis(tx));
        return 1;
    }
    const double err_osc = fabs(y[0] - 1.0) + fabs(y[1]);
    TXCloseTraxis(tx);

    /* RK4 multiplies by 1 - h + h^2/2 - h^3/6 + h^4/24 per step; h = 2^-10 lands on t = 1. */
    const double h = 1.0 / 1024.0;
    const double g = 1.0 - h + h * h / 2.0 - h * h * h / 6.0 + h * h * h * h / 24.0;
    double z = 1.0, s = 0.0;
    tx = TXOpenTraxis(oscillator, 1, 1e-10, 0.01);
    if (!tx) return 1;
    tx->TerminateOnFatalError = 0;
    tx->hnoise = h;
    if (!TXIntegrate_With_Noise(tx, &s, 1.0, &z)) {
        fprintf(stderr, "consumer: %s\n", TXStrErrorTraxis(tx));
        return 1;
    }
    const double err_noise = fabs(z - pow(g, 1024.0)) / pow(g, 1024.0);
    TXCloseTraxis(tx);

    printf("oscillator error after one period %.2e, noise-driven relative error %.2e\n", err_osc,
           err_noise);
    return (err_osc < 1e-8 && s == 1.0 && err_noise < 1e-12) ? 0 : 1;
}
