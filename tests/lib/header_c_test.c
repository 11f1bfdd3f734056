/* The public header used from C: open, integrate, read an error, close; the maths hook. */
#include <math.h>
#include <stdio.h>

#include "tx.h"

static void decay(double t, double *y, double *f) {
    (void)t;
    f[0] = -y[0];
}

static int failures = 0;
#define CHECK(cond)                                                        \
    do {                                                                   \
        if (!(cond)) {                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                    \
        }                                                                  \
    } while (0)

int main(void) {
    double t = 0.0, y = 1.0;
    Traxis tx = TXOpenTraxis(decay, 1, 1e-10, 0.01);
    CHECK(tx != NULL);
    if (!tx) return 1;
    CHECK(TXIntegrate(tx, &t, 1.0, &y) == 1);
    CHECK(t == 1.0);
    CHECK(fabs(y - exp(-1.0)) < 1e-10);
    tx->TerminateOnFatalError = 0;
    CHECK(TXIntegrate(tx, &t, 0.0, &y) == 0);
    CHECK(TXErrorTraxis(tx) == TX_ERR_NEGATIVE_STEP);
    CHECK(TXStrErrorTraxis(tx)[0] == 'N');
    CHECK(TXCloseTraxis(tx) == 1);
    {
        char name[] = "exp";
        struct exception underflow = {4, name, -1000.0, 0.0, 0.0};
        CHECK(matherr(&underflow) == 0); /* declared for C without any macro */
    }
    printf("%d passed, %d failed\n", failures ? 0 : 1, failures ? 1 : 0);
    return failures ? 1 : 0;
}
