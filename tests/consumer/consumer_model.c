/* The installed model support: its header under traxis/ and the program-wide model callbacks. */
#include <math.h>
#include <stdio.h>

#include "traxis/model.h"

int main(void) {
    double y[kModelDim] = {0.25, -0.5, 0.125}, f[kModelDim];
    model_program_start(&kRunSpikes);
    model(0.0, y, f);
    /* the derivative of the second variable is -x, whatever the parameters */
    const int ok = f[1] == -y[0] && cutfun(0.0, y) == y[0] && isfinite(gasdev());
    printf("model support: %s\n", ok ? "ok" : "wrong");
    return ok ? 0 : 1;
}
