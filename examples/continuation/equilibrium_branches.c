/* Follows two branches of equilibria with TXEquiCont and writes what a bifurcation diagram
 * needs: the fold curve of x' = mu + x - x^3, y' = -y through both its folds, and the nonzero
 * equilibrium of the Lorenz system (sigma = 10, b = 8/3) in rho through its Hopf point.  For
 * each system NAME it writes NAME_path.dat (the library's path file: parameter, state),
 * NAME_points.dat (parameter, state, number of eigenvalues with positive real part) and
 * NAME_bifs.dat (parameter, state, type of each bifurcation).  The continuation's trace goes to
 * standard output. */
#include <stdio.h>

#include "tx.h"

static double mu, rho;

static void cubic(double t, double *y, double *f) {
    (void)t;
    f[0] = mu + y[0] - y[0] * y[0] * y[0];
    f[1] = -y[1];
}

static void lorenz(double t, double *y, double *f) {
    (void)t;
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (rho - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}

static void lorenz_jac(double t, double *y, double **J) {
    (void)t;
    J[0][0] = -10.0, J[0][1] = 10.0, J[0][2] = 0.0;
    J[1][0] = rho - y[2], J[1][1] = -1.0, J[1][2] = -y[0];
    J[2][0] = y[1], J[2][1] = y[0], J[2][2] = -8.0 / 3.0;
}

static void lorenz_rho_jac(double t, double *y, double **P) {
    (void)t;
    P[0][0] = 0.0;
    P[1][0] = y[0];
    P[2][0] = 0.0;
}

/* UserOutput: called after every accepted point and every confirmed bifurcation, with the
 * point in the record.  A bifurcation carries the step number of the point before it. */
static FILE *bifs;
static int last_step;

static void write_point(Traxis tx, FILE *points) {
    const TraxisBif b = tx->txb;
    const int bifurcation = b->steps == last_step;
    FILE *out = bifurcation ? bifs : points;
    int unstable = 0;
    fprintf(out, "%.10g", b->c[b->cindi[1]]);
    for (int i = 0; i < tx->order; ++i) {
        fprintf(out, " %.10g", b->y[i]);
        unstable += b->er[i] > 0.0;
    }
    if (bifurcation)
        fprintf(out, " %s\n", TraxisBifName[b->biftype]);
    else
        fprintf(out, " %d\n", unstable);
    last_step = b->steps;
}

static FILE *open_file(const char *name, const char *what) {
    char path[64];
    snprintf(path, sizeof path, "%s_%s.dat", name, what);
    FILE *f = fopen(path, "w");
    if (!f) fprintf(stderr, "equilibrium_branches: cannot write %s\n", path);
    return f;
}

/* One branch from (y, *c) with the signed step dc; 1 when the files were written. */
static int follow(Traxis tx, const char *name, double *y, double *c, double dc, int steps) {
    FILE *path = open_file(name, "path"), *points = open_file(name, "points");
    bifs = open_file(name, "bifs");
    int ok = path && points && bifs;
    if (ok) {
        tx->MaxContSteps = steps;
        last_step = -1;
        ok = TXEquiCont(tx, y, c, &dc, 0, 2 | 4, path, write_point, points);
        if (!ok) fprintf(stderr, "equilibrium_branches: %s: %s\n", name, TXStrErrorTraxis(tx));
    }
    FILE *files[] = {path, points, bifs};
    for (int i = 0; i < 3; ++i)
        if (files[i] && fclose(files[i]) != 0) ok = 0;
    return ok;
}

int main(void) {
    double x[2] = {-1.3, 0.0}, l[3] = {1.6, 1.6, 1.0};
    Traxis a = TXOpenTraxis(cubic, 2, 1e-8, 0.01);
    Traxis b = TXOpenTraxis(lorenz, 3, 1e-8, 0.01);
    if (!a || !b) return 1;
    /* Difference Jacobians for the cubic, the analytic ones for Lorenz. */
    TXVarOpenTraxis(a, NULL, 1e-7, 1, NULL, 1e-7, &mu);
    TXVarOpenTraxis(b, lorenz_jac, 1, lorenz_rho_jac, &rho);
    a->TerminateOnFatalError = b->TerminateOnFatalError = 0;
    /* Tighter than the defaults, so that the bifurcations sit on the branch in the plot:
     * the test function within 1e-9, residuals within 1e-6 |y| there and 1e-12 |y| along. */
    a->LambdaNewtRelTol = b->LambdaNewtRelTol = 1e-9;
    a->NewtRelTol = b->NewtRelTol = 1e-12;
    mu = -1.0;
    rho = 2.0;
    const int ok = follow(a, "cubic", x, &mu, 0.05, 110) && follow(b, "lorenz", l, &rho, 0.5, 80);
    TXCloseTraxis(a);
    TXCloseTraxis(b);
    return ok ? 0 : 1;
}
