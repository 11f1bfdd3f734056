/* Traxis (tx): numerical study of dynamical systems given as ODEs.
 *
 * Plain C interface: one handle record with public fields, free functions, function-pointer
 * callbacks.  Operations returning int give 1 on success and 0 on failure (the code is then in
 * tx->ErrorCode, provided tx->TerminateOnFatalError is 0; otherwise a failure ends the process
 * with a report and status 1).  Operations returning a pointer give NULL on failure.
 *
 * Compiles as C99 and as C++.  Handles are independent: different handles may be used from
 * different threads; one handle must not be entered concurrently, and a callback must not call
 * back into the handle that is running it.
 */
#ifndef TX_H
#define TX_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- records and callbacks ---- */

typedef struct Traxis_t *Traxis;
typedef struct TraxisBif_t *TraxisBif;
struct TraxisMethod_t; /* library-private */

/* right-hand side: writes dy/dt at (t, y) into f; y must not be modified */
typedef void (*fcn_t)(double t, double *y, double *f);
/* section function: the section is its zero set */
typedef double (*cut_t)(double t, double *y);
/* Jacobian: fills J[i][k] given as row pointers */
typedef void (*jac_t)(double t, double *y, double **J);
/* continuation output: called with the handle and the caller's stream */
typedef void (*output_t)(Traxis tx, FILE *user);

struct Traxis_t {
    double *abs_err;   /* per-component error estimate of the last attempt */
    double *rel_err;   /* spare error vector, read by no operation */
    double *y5;        /* fifth-order solution of the attempt (6(5) pair only) */
    double *y6;        /* propagated solution of the attempt (sixth order, or eighth) */
    double *ynp1d2;    /* midpoint of the last step, built by dense output */
    double *yfirst;    /* state at tfirst */
    double *ylast;     /* state at tlast */
    double *y0;        /* start of the step under way */
    double *yw;        /* stage argument */
    double *istate;    /* reference point of the automatic section */
    double *ivector;   /* normal of the automatic section */
    double *k;         /* 12 x order, row r at k + r * order: stages 0-7, dense output 8-11
                          (the high-order pair keeps its first 12 stages here) */
    double **j;        /* Jacobian rows of the variational sub-handle */
    double **c;        /* addresses of the registered parameters, nparam of them */
    int *output;       /* order + 1 column selections of the table writers */
    char *form;        /* 9 * (order + 1) chars of column formats */
    char *cp;          /* nparam activity flags */
    double AbsTol;
    double RelTol;
    double NewtAbsTol;
    double NewtRelTol;
    double LambdaNewtAbsTol;
    double LambdaNewtRelTol;
    double CutEps;
    double JacPert;
    double ParamJacPert;
    double LambdaPert;
    double tfirst;     /* start of the last step */
    double tlast;      /* end of the last accepted step */
    double h;          /* step to try next */
    double hmax;       /* largest step; 0 = no limit */
    double hnoise;     /* fixed step of noise-driven integration */
    int order;
    int nparam;
    int MaxPoincareSteps;
    int MaxPeriodSteps;
    int MaxNewtSteps;
    int MaxContSteps;
    int CheckBifs;
    int CutSurfaceDefined;
    int TerminateOnFatalError;
    int StepTaken;
    int ErrorCode;
    fcn_t fcn;
    cut_t cut;
    jac_t jac;
    jac_t paramjac;
    Traxis TX;         /* variational sub-handle */
    TraxisBif txb;     /* attached bifurcation record */
    struct TraxisMethod_t *method; /* private state of TXSetMethod; NULL until a method other
                                      than the 6(5) pair is first chosen */
};

/* ---- handle and errors ---- */

/* Error codes; the texts are in TraxisFatalError. */
enum {
    TX_NO_ERROR = 0,
    TX_ERR_NOT_OPENED = 1,
    TX_ERR_ALREADY_OPENED = 2,
    TX_ERR_NO_MEMORY = 3,
    TX_ERR_ORDER = 4,
    TX_ERR_TOLERANCE = 5,
    TX_ERR_TIMESTEP_GUESS = 6,
    TX_ERR_NEGATIVE_STEP = 7,
    TX_ERR_NO_SECTION = 8,
    TX_ERR_INTERPOLATE_OUTSIDE = 9,
    TX_ERR_EQUILIBRIUM_STATE = 10,
    TX_ERR_MAX_STEP = 11,
    TX_ERR_NO_STEP_TAKEN = 12,
    TX_ERR_NO_BRACKET = 13,
    TX_ERR_NO_VARIATIONAL = 14,
    TX_ERR_SUBSTRUCTURE = 15,
    TX_ERR_CUT_TOLERANCE = 16,
    TX_ERR_NEWTON_TOLERANCE = 17,
    TX_ERR_PERIOD_STEPS = 18,
    TX_ERR_NEWTON_ITERATIONS = 19,
    TX_ERR_EQUILIBRIUM_FOUND = 20,
    TX_ERR_HQR_ITERATIONS = 21,
    TX_ERR_SINGULAR = 22,
    TX_ERR_JAC_PERTURBATION = 23,
    TX_ERR_NEGATIVE_NPARAM = 24,
    TX_ERR_OPEN_FILE = 25,
    TX_ERR_NPARAM = 26,
    TX_ERR_BAD_MODE = 27,
    TX_ERR_NO_BIF = 28,
    TX_ERR_MIN_STEPSIZE = 29,
    TX_ERR_NO_CONVERGENCE = 30,
    TX_ERR_STEP_TOO_SMALL = 31,  /* the step no longer advances t (t + h == t) */
    TX_ERR_LYAP_ARGUMENT = 32,   /* TXLyapCalc: lyap_steps < 1, trans_steps < 0, samp < 1 or nn outside 1 ... order */
    TX_ERR_COLUMN_FORMAT = 33,   /* table column string null, short, or not all digits */
    TX_ERR_WRITE_OUTPUT = 34,    /* a table could not be written completely */
    TX_ERR_NO_RHS = 35,          /* handle opened without a right-hand side */
    TX_ERR_UNKNOWN_METHOD = 36,  /* TXSetMethod: no such integration method */
    TX_ERR_COUNT = 37
};

extern const char *const TraxisFatalError[];

/* tolerances derived from RelTol; h is the first step guess and the noise step */
Traxis TXOpenTraxis(fcn_t fcn, int order, double RelTol, double h);
/* also closes an attached variational sub-handle and bifurcation record */
int TXCloseTraxis(Traxis tx);
int TXOrder(Traxis tx);
/* code and text left by the last operation on tx (these two do not clear it) */
int TXErrorTraxis(Traxis tx);
const char *TXStrErrorTraxis(Traxis tx);
/* every TXOpenTraxis resets the stream to stderr */
int TXSetErrorOutput(FILE *where);
int TXFatalError(Traxis tx, int lineno, int msgno, const char *where);

/* The maths library's error record and hook (current glibc no longer calls it). */
struct exception {
    int type;          /* 1 DOMAIN, 2 SING, 3 OVERFLOW, 4 UNDERFLOW, 5 TLOSS, 6 PLOSS */
    char *name;
    double arg1;
    double arg2;
    double retval;
};
int matherr(struct exception *x);

/* ---- integration ---- */

/* one accepted step; tx->h then holds the proposal for the next */
int TXStep(Traxis tx, double *t0, double *y);
/* returns with *t0 == t1; the last step may overshoot t1 and is sampled by dense output */
int TXIntegrate(Traxis tx, double *t0, double t1, double *y);

/* ---- dense output and settings ---- */

/* state at t on the last step (extrapolates outside it) */
int TXInterpolate(Traxis tx, double t, double *y);

/* Integration methods (TXSetMethod). */
enum {
    TX_METHOD_RK65 = 0,       /* Verner's 6(5) pair, the default */
    TX_METHOD_HIGH_ORDER = 1  /* Verner's 8(7) pair with its interpolant of order 8 */
};
/* Selects the pair of every later step of tx and of its variational sub-handle (also one opened
 * later): TXStep, TXIntegrate, the section, orbit, Lyapunov and continuation operations, the
 * variational operations and tx.hpp.  It may be switched between any two steps: each step is
 * taken with the method selected when it starts, and TXInterpolate samples the last step with the
 * dense output of the method that took it.  The step size proposal tx->h carries over.  With the
 * high-order pair, AbsTol, RelTol and hmax keep their meaning and the error norm its form; y5 is
 * not written, the eight interpolation stages of a step are evaluated by the first dense output
 * on that step only, and TXIntegrate_With_Noise is not affected.  Unknown methods are refused
 * with code 36; the first switch to the high-order pair allocates its stage rows (9 x order
 * doubles, also for the sub-handle), failing with code 3 and leaving tx unchanged.  Its larger
 * weights pass more rounding noise of the right-hand side into the error estimate: difference
 * Jacobians need a JacPert whose noise, about 1e-16 / JacPert, stays well below RelTol. */
int TXSetMethod(Traxis tx, int method);
int TXSetMaxStep(Traxis tx, double hmax);
int TXSetRelTol(Traxis tx, double RelTol);
int TXSetAbsTol(Traxis tx, double AbsTol);
int TXSetNewtTol(Traxis tx, double NewtRelTol);
/* the count setters refuse n < 0 with ErrorCode 1 and return 0, without a report */
int TXSetMaxPoincareSteps(Traxis tx, int n);
int TXSetMaxPeriodSteps(Traxis tx, int n);
int TXSetMaxNewtSteps(Traxis tx, int n);

/* ---- noise-driven integration ---- */

/* Fixed step hnoise with the program's model() and noise_part(), one noise sample per step held
 * over four stages.  *t0 ends at the first multiple of hnoise not below t1 (no interpolation);
 * the step bookkeeping of the handle, and so TXInterpolate, is left alone. */
int TXIntegrate_With_Noise(Traxis tx, double *t0, double t1, double *y);

/* ---- sections ---- */

/* a null cutfcn selects the automatic hyperplane */
int TXSetCut(Traxis tx, cut_t cutfcn, double eps);
/* one step; 1 when it crossed the section, with *t and y just past it (within CutEps) */
int TXPoincareStep(Traxis tx, double *t, double *y);
/* point and unit normal of the automatic hyperplane */
int TXCutSurface(Traxis tx, double *state, double *normal);
/* signed distance of y from the automatic hyperplane; t is not used */
double TXAutoCut(Traxis tx, double t, double *y);
/* hyperplane through y, normal to the vector field there */
int TXSetAutoCut(Traxis tx, double t, double *y);
/* library-internal: nearest crossing by a secant search from one step, which need not cross;
   1 with *t and y located, 0 when not converged within MaxNewtSteps + 1 iterates */
int CLOSESTCUT(Traxis tx, double *t, double *y);

/* ---- variational equations ---- */

/* Opens the sub-handle tx->TX that integrates the state y together with the n x m matrix Phi
 * (n = order, m = n + active parameters): Phi[i][k] = dy_i/dy0_k for k < n, then one column per
 * parameter whose flag in tx->cp is set, in registration order.  Phi is never initialised here.
 * Arguments after jac, in this order:
 *   double JacPert           only when jac is NULL (difference Jacobian TXNumJac)
 *   int nparam               parameters registered in tx->c, all inactive after opening
 *   jac_t paramjac           only when nparam > 0; NULL selects TXNumParamJac
 *   double ParamJacPert      only when paramjac was read and is NULL
 *   double *p_0 ... p_{nparam-1}
 * An open sub-handle is closed first.  A refused call leaves none open. */
int TXVarOpenTraxis(Traxis tx, jac_t jac, ...);
/* frees the registry; nparam becomes 0 */
int TXVarCloseTraxis(Traxis tx);
int TXVarStep(Traxis tx, double *t0, double *y, double **Phi);
/* the last step may overshoot t1 and is sampled back by dense output */
int TXVarIntegrate(Traxis tx, double *t0, double t1, double *y, double **Phi);
/* y and Phi at t on the last step of the sub-handle (extrapolates outside it) */
int TXVarInterpolate(Traxis tx, double t, double *y, double **Phi);
/* TXPoincareStep on the extended system, the section evaluated on y; Phi is left at the located
 * point without correction for the time shift to the section */
int TXVarPoincareStep(Traxis tx, double *t, double *y, double **Phi);

/* ---- Lyapunov exponents ---- */

double dot(double *x, double *y, int n);
/* classical Gram-Schmidt on the nn rows of v (row-major, n columns); norm gets each row's length
 * before normalisation; x is n doubles of scratch */
void GSR(double *v, double *norm, int n, double *x, int nn);
/* The nn largest exponents (1 <= nn <= order, else code 32) in bits per unit time, from nn
 * neighbours at distance eps renormalised every lyap_dt; trans_steps intervals are discarded.
 * *t and y advance by (trans_steps + lyap_steps) * lyap_dt. */
int TXLyapCalc(Traxis tx, double *t, double *y, double eps, double lyap_dt, long trans_steps,
               long lyap_steps, double *exponents, int nn);
/* Also writes the elapsed time and the running estimates to filename after every samp-th
 * interval (samp >= 1, else code 32; counted from the start, transient included); the file is
 * emptied first and reopened for every line so that it can be read meanwhile. */
int TXLyapCalcFile(Traxis tx, const char *filename, double *t, double *y, double eps,
                   double lyap_dt, long trans_steps, long lyap_steps, double *exponents, int nn,
                   int samp);

/* ---- linear algebra ---- */

/* Matrices are n row pointers and are destroyed (left holding intermediate results).
 * Eigenvalues come out unsorted; a complex pair sits at adjacent indices, negative
 * imaginary part first.  Returns the result of Hqr. */
int TXEigen(Traxis tx, int n, double **A, double *er, double *ei);
/* eigenvector of the real eigenvalue r, unit length with positive last component;
 * ws: room for n - 1 doubles followed by n - 1 ints */
int TXEigenVector(Traxis tx, int n, double **A, double r, double *ev, double *ws);
/* solves A x = b in place; work: room for n doubles followed by n ints; a zero row is
 * refused (code 22) with A and b unchanged; other singular matrices give huge solutions */
int TXLinZero(Traxis tx, int n, double **A, double *b, double *work);
void Balanc(double **a, int n);
void Elmhes(double **a, int n);
int Hqr(Traxis tx, double **a, int n, double *wr, double *wi);
/* work: n row scale factors; d: parity of the row exchanges */
int LUdcmp(Traxis tx, int n, double **a, int *indx, double *d, double *work);
void LUbksb(int n, double **a, int *indx, double *b);

/* ---- numerical Jacobians ---- */

/* Forward differences with the absolute perturbations JacPert / ParamJacPert; y and the
 * parameters are perturbed in place and put back.  They need the variational sub-handle, whose
 * vector ivector is their scratch. */
/* J[k][i] = df_k/dy_i; n + 1 evaluations of fcn */
int TXNumJac(Traxis tx, double t, double *y, double **J);
/* J[k][q] = df_k/dp_q for every registered parameter; nparam + 1 evaluations */
int TXNumParamJac(Traxis tx, double t, double *y, double **J);
/* gradient of the section (cut, else the automatic hyperplane) in y, then in *c1 and *c2, both
 * perturbed by JacPert: n + 2 values, n + 3 evaluations */
int TXNumCutJac(Traxis tx, double t, double *y, double *c1, double *c2, double *j);

/* ---- equilibria and periodic orbits ---- */

/* Newton's method on weighted residuals (NewtRelTol, NewtAbsTol; a component whose weight is
 * exactly 0 is left out), at most MaxNewtSteps evaluations; failure is code 30, or the code of
 * the operation that failed inside.  All three need the variational sub-handle; the orbit
 * solvers integrate without parameter sensitivities and restore nparam on every return. */
/* f(0, y) = 0; y holds the guess again after a failure */
int TXEquiPoint(Traxis tx, double *y);
/* fixed point of the map over one forcing period T > 0 from t; y out: the image of the
 * converged start point after one period, Phi (n x n) its monodromy matrix */
int TXNonAutoOrbit(Traxis tx, double t, double *y, double **Phi, double T);
/* periodic orbit crossing the section 2p times per period (p >= 1, else code 27); y out: its
 * point on the section, *T the period, Phi (n x n) the monodromy matrix.  0 without a report
 * when the section cannot be reached or the crossings cannot be located. */
int TXAutoOrbit(Traxis tx, double t, double *y, double **Phi, int p, double *T);

/* ---- bifurcation record and test functions ---- */

/* bifurcation type codes: indices of the name and icon tables */
enum {
    TX_BIF_NOT_DETERMINED = 0,
    TX_BIF_TORUS = 1,
    TX_BIF_TRANSCRITICAL = 2,
    TX_BIF_SADDLE_NODE = 3,
    TX_BIF_PERIOD_DOUBLING = 4,
    TX_BIF_PITCHFORK = 5,
    TX_BIF_HOPF = 6,
    TX_BIF_COUNT = 7
};

extern const char *const TraxisBifName[];
extern const char *const TraxisBifIconLeft[];   /* NULL for HOPF */
extern const char *const TraxisBifIconRight[];  /* NULL for HOPF */

/* One point of a continuation run.  n = order, m = n + nparam + 1 at creation.  Only
 * tx, order, the pointers, t, T, biftype, indir, cindi and steps are set at creation (the
 * rest is zero); trans, tang, the neighbours and btype are meaningful once biftype != 0. */
struct TraxisBif_t {
    Traxis tx;
    int order;
    int biftype;
    double t;          /* the section time for orbits */
    double *y;         /* n */
    double **Phi;      /* m rows of m; column n of the first n rows: d/d(continuation parameter) */
    double T;          /* period */
    double *c;         /* all registered parameters, in registration order */
    double *er;        /* eigenvalues or Floquet multipliers, n each */
    double *ei;
    double *trans;     /* critical eigenvector */
    double *tang;      /* branch tangent dy/dc */
    double *intang;    /* path tangent on arrival */
    double *top;       /* neighbours: +/- critical direction, parameter down/up */
    double *bot;
    double *left;
    double *right;
    double ctop;
    double cbot;
    double cleft;
    double cright;
    double Ttop;
    double Tbot;
    double Tleft;
    double Tright;
    int indir;         /* neighbour on the arrival side: 1 top, 2 bot, 3 left, 4 right; 0 unknown */
    int cindi[3];      /* run kind (0 none, 1/2 orbit 1-/2-par, 3/4 equilibrium 1-/2-par),
                          index of the first and of the second parameter */
    int steps;         /* continuation step that wrote the record */
    char btype[16];    /* appended to the type name in reports */
};

/* not attached to tx->txb here */
TraxisBif TXCreateBif(Traxis tx);
/* detaches txb from tx when attached there */
int TXDestroyBif(Traxis tx, TraxisBif txb);
/* moves the eigenvalue closest to +1 to the last place */
void SORTEIG(double *er, double *ei, int n);
/* The test functions read tx->txb->er and ei over tx->order entries; a missing handle or
 * record is reported (codes 1, 28).  CRIT: modulus closest to 1 over the first
 * order - mode multipliers (mode 1 skips the trivial one of autonomous orbits). */
double CRIT(Traxis tx, int *crit1, int mode);
/* real part of smallest magnitude */
double EQUICRIT(Traxis tx, int *crit1);
/* distance of eigenvalue cd to the nearer of +1 and -1 */
double EUKLID2(Traxis tx, int cd);
/* crit1, crit2: the two multipliers nearest to +-1, crit1 the one with the larger real part;
 * returns the distance of the second nearest (HUGE_VAL for order 1) */
double CRIT2(Traxis tx, int *crit1, int *crit2);
/* the same with the signed real parts: returns the second smallest (HUGE_VAL for order 1) */
double EQUICRIT2(Traxis tx, int *crit1, int *crit2);

/* ---- program-provided model (needed only by TXIntegrate_With_Noise) ---- */

void model(double t, double *y, double *dydt);
void noise_part(double t, double *y, double *noise);

#ifdef __cplusplus
}
#endif

#endif /* TX_H */
