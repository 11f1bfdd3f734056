/* The limit cycle of the Roessler system x' = -y - z, y' = x + a y, z' = b + z (x - c), with
 * a = b = 0.2, followed in c from 2.5 with TXAutoCont.  Near c = 2.83 a Floquet multiplier
 * passes through -1: the cycle doubles its period (the first step of the classic cascade), the
 * continuation locates and classifies the point and goes on along the now unstable cycle.
 *
 * Writes rossler_branch.dat (c, period, the two non-trivial multipliers, stable count),
 * rossler_bifurcations.dat (the same for each located bifurcation), the path records to
 * rossler_path.dat and the progress with every point and the framed bifurcation report to
 * rossler_state.txt; a summary goes to standard output. */
#include <math.h>
#include <stdio.h>

#include "tx.h"

static double a = 0.2, b = 0.2, c = 2.5;

static void rossler(double t, double *y, double *f) {
    (void)t;
    f[0] = -y[1] - y[2];
    f[1] = y[0] + a * y[1];
    f[2] = b + y[2] * (y[0] - c);
}

static void jacobian(double t, double *y, double **J) {
    (void)t;
    J[0][0] = 0.0, J[0][1] = -1.0, J[0][2] = -1.0;
    J[1][0] = 1.0, J[1][1] = a, J[1][2] = 0.0;
    J[2][0] = y[2], J[2][1] = 0.0, J[2][2] = y[0] - c;
}

/* derivatives with respect to a, b and c */
static void parameter_jacobian(double t, double *y, double **P) {
    (void)t;
    P[0][0] = 0.0, P[0][1] = 0.0, P[0][2] = 0.0;
    P[1][0] = y[1], P[1][1] = 0.0, P[1][2] = 0.0;
    P[2][0] = 0.0, P[2][1] = 1.0, P[2][2] = -y[2];
}

/* the plane x = 0, crossed twice per turn */
static double section(double t, double *y) {
    (void)t;
    return y[0];
}

/* UserOutput: the record holds the point with its period and multipliers (the trivial one,
 * moved last, is left out).  A bifurcation comes with the step number of the point before it. */
static FILE *bifurcations;
static void branch_line(Traxis tx, FILE *out) {
    static int last_step = -1;
    TraxisBif r = tx->txb;
    int stable = 0;
    for (int i = 0; i < 2; ++i)
        if (hypot(r->er[i], r->ei[i]) < 1.0) ++stable;
    const int located = r->steps == last_step;
    last_step = r->steps;
    if (located)
        printf("%s%s at c = %.6f, period %.6f\n", TraxisBifName[r->biftype], r->btype, r->c[2],
               r->T);
    fprintf(located ? bifurcations : out, "%.8f %.8f %.8f %.8f %.8f %.8f %d\n", r->c[2], r->T,
            r->er[0], r->ei[0], r->er[1], r->ei[1], stable);
}

int main(void) {
    Traxis tx = TXOpenTraxis(rossler, 3, 1e-9, 0.01);
    if (!tx) return 1;
    tx->TerminateOnFatalError = 0;
    tx->AbsTol = 1e-10;
    tx->NewtAbsTol = 1e-8;
    tx->MaxContSteps = 40;
    if (!TXVarOpenTraxis(tx, jacobian, 3, parameter_jacobian, &a, &b, &c) ||
        !TXSetCut(tx, section, 1e-9))
        return 1;

    /* settle onto the attracting cycle first: Newton needs a guess close to it */
    double t = 0.0, y[3] = {1.0, 1.0, 0.0};
    if (!TXIntegrate(tx, &t, 300.0, y)) return 1;

    FILE *branch = fopen("rossler_branch.dat", "w");
    FILE *path = fopen("rossler_path.dat", "w");
    FILE *state = fopen("rossler_state.txt", "w");
    bifurcations = fopen("rossler_bifurcations.dat", "w");
    if (!branch || !path || !state || !bifurcations) {
        perror("rossler_cycles: an output file");
        return 1;
    }
    fprintf(branch, "# c period Re(m1) Im(m1) Re(m2) Im(m2) stable\n");
    fprintf(bifurcations, "# c period Re(m1) Im(m1) Re(m2) Im(m2) stable\n");
    double T = 0.0, dc = 0.05;
    const int ok = TXAutoCont(tx, t, y, 1, &T, &c, &dc, 0, 1 | 2 | 4, state, path, branch_line,
                              branch);
    fclose(branch);
    fclose(path);
    fclose(state);
    fclose(bifurcations);
    if (!ok) {
        fprintf(stderr, "rossler_cycles: %s\n", TXStrErrorTraxis(tx));
        return 1;
    }
    printf("last point: c = %.6f, period %.6f\n", c, T);
    TXCloseTraxis(tx);
    return 0;
}
