/* The fold curve of x' = m1 + m2 x - x^3, y' = -y in the plane of (m1, m2).  TXEquiCont
 * follows the equilibria in m1 at m2 = 1 through both folds; a second run stops at the first
 * fold, and TXEqui2DCont follows the fold curve from there both ways, through the cusp at the
 * origin onto the other fold.  Closed form: m2 = 3 x^2, m1 = -2 x^3, so 27 m1^2 = 4 m2^3.
 *
 * Writes cusp_branch.dat (the one-parameter path file: m1, x, y), cusp_curve_up.dat and
 * cusp_curve_down.dat (the two-parameter path files: m1, m2, x, y) and cusp_start.dat (the
 * fold the curve starts from), and prints the largest distance of the curve's points from the
 * closed form.  The one-parameter continuation's trace goes to standard output. */
#include <math.h>
#include <stdio.h>

#include "tx.h"

static double m1, m2;

static void cusp(double t, double *y, double *f) {
    (void)t;
    f[0] = m1 + m2 * y[0] - y[0] * y[0] * y[0];
    f[1] = -y[1];
}

static void jacobian(double t, double *y, double **J) {
    (void)t;
    J[0][0] = m2 - 3.0 * y[0] * y[0], J[0][1] = 0.0;
    J[1][0] = 0.0, J[1][1] = -1.0;
}

/* derivatives with respect to m1 and m2 */
static void parameter_jacobian(double t, double *y, double **P) {
    (void)t;
    P[0][0] = 1.0, P[0][1] = y[0];
    P[1][0] = 0.0, P[1][1] = 0.0;
}

/* UserOutput of the two-parameter runs: the largest distance from the closed form so far. */
static double worst;

static void check_point(Traxis tx, FILE *unused) {
    const double x = tx->txb->y[0];
    const double d = fmax(fabs(m2 - 3.0 * x * x), fabs(m1 + 2.0 * x * x * x));
    (void)unused;
    if (d > worst) worst = d;
}

static FILE *open_or_complain(const char *name) {
    FILE *f = fopen(name, "w");
    if (!f) perror(name);
    return f;
}

int main(void) {
    const double start[2] = {-1.3247179572, 0.0}; /* the equilibrium at m1 = -1, m2 = 1 */
    FILE *branch = open_or_complain("cusp_branch.dat");
    FILE *up = open_or_complain("cusp_curve_up.dat");
    FILE *down = open_or_complain("cusp_curve_down.dat");
    FILE *fold = open_or_complain("cusp_start.dat");
    if (!branch || !up || !down || !fold) return 1;

    Traxis tx = TXOpenTraxis(cusp, 2, 1e-9, 0.01);
    TXVarOpenTraxis(tx, jacobian, 2, parameter_jacobian, &m1, &m2);
    tx->LambdaNewtRelTol = 1e-9;
    tx->LambdaNewtAbsTol = 1e-12;

    /* The whole branch at m2 = 1. */
    double y[2] = {start[0], start[1]}, dc = 0.05;
    m1 = -1.0, m2 = 1.0;
    tx->MaxContSteps = 120;
    TXEquiCont(tx, y, &m1, &dc, 0, 2, branch);

    /* Again to its first fold, which stays in the record; m1 is put back to the point before
     * it, so take the fold's values from the record. */
    y[0] = start[0], y[1] = start[1], dc = 0.05;
    m1 = -1.0, m2 = 1.0;
    TXEquiCont(tx, y, &m1, &dc, 1, 0);
    const TraxisBif b = tx->txb;
    const double fold_m1 = b->c[0], fold_x = b->y[0], fold_y = b->y[1];
    fprintf(fold, "%.10g %.10g %.10g\n", fold_m1, 1.0, fold_x);

    /* The fold curve: the first tangent raises m2 (registered later) for a positive step. */
    tx->MaxContSteps = 60;
    for (int run = 0; run < 2; ++run) {
        b->y[0] = fold_x, b->y[1] = fold_y;
        m1 = fold_m1, m2 = 1.0;
        dc = run == 0 ? 0.1 : -0.1;
        TXEqui2DCont(tx, &m1, &m2, &dc, 2 | 4, run == 0 ? up : down, check_point, NULL);
    }
    TXCloseTraxis(tx);
    fclose(branch), fclose(up), fclose(down), fclose(fold);
    fprintf(stderr, "fold of the branch at m1 = %.10f (exact %.10f); fold curve within %.2g of "
            "m2 = 3x^2, m1 = -2x^3\n", fold_m1, 2.0 / (3.0 * sqrt(3.0)), worst);
    return 0;
}
