/* A C program with its own step, order and integrate that uses the library's handle operations,
 * tables included: it links only because the flat interface, which defines those names too, is
 * not pulled into a program that never calls it. */
#define TX_NO_BINDING
#include <math.h>
#include <stdio.h>

#include "tx.h"

int order[3] = {3, 2, 1};
static int own_steps = 0;

double step(double h) {
    ++own_steps;
    return 2.0 * h;
}

void integrate(void) { ++own_steps; }

static void decay(double t, double *y, double *f) {
    (void)t;
    f[0] = -y[0];
}

int main(void) {
    double t = 0.0, y = 1.0;
    int failures = 0;
    Traxis tx = TXOpenTraxis(decay, 1, 1e-10, 0.01);
    if (!tx) return 1;
    FILE *sink = fopen("/dev/null", "w");
    if (!sink || TXftablea(tx, sink, "66", &t, 1.0, 4, &y) != 1) ++failures;
    if (sink) fclose(sink);
    if (fabs(y - exp(-1.0)) > 1e-9 || TXStep(tx, &t, &y) != 1) ++failures;
    integrate();
    if (step(0.5) != 1.0 || own_steps != 2 || order[0] != 3) ++failures;
    TXCloseTraxis(tx);
    printf("%s\n", failures ? "failed" : "passed");
    return failures ? 1 : 0;
}
