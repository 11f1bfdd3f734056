/* Traxis (tx): numerical study of dynamical systems given as ODEs.
 *
 * Plain C interface: one handle record with public fields, free functions, function-pointer
 * callbacks.  Operations returning int give 1 on success and 0 on failure (the code is then in
 * tx->ErrorCode, provided tx->TerminateOnFatalError is 0; otherwise a failure ends the process
 * with a report and status 1).  Operations returning a pointer give NULL on failure.  A refusal
 * without a handle (a null handle, or TXOpenTraxis refusing its arguments) always ends the
 * process, since there is no TerminateOnFatalError to consult.
 *
 * C++ callers that want the maths hook matherr and its record `struct exception` define
 * TX_MATHERR before including this header; without it the global name `exception` stays free
 * for `using namespace std`.  C callers always get both.
 *
 * Compiles as C99 and as C++.  Handles are independent: different handles may be used from
 * different threads; one handle must not be entered concurrently, and a callback must not call
 * back into the handle that is running it.
 */
#ifndef TX_H
#define TX_H

#include <stdio.h>

/* The shared library exports what this header declares and nothing else. */
#ifdef __GNUC__
#pragma GCC visibility push(default)
#endif

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
    TX_ERR_LYAP_ARGUMENT = 32,   /* TXLyapCalc: lyap_steps < 1, trans_steps < 0, samp < 1, nn outside
                                    1 ... order, eps or lyap_dt not positive finite, or a separation
                                    or interval the doubles cannot resolve */
    TX_ERR_COLUMN_FORMAT = 33,   /* table column string null, short, or not all digits */
    TX_ERR_WRITE_OUTPUT = 34,    /* a table could not be written completely */
    TX_ERR_NO_RHS = 35,          /* an operation that evaluates fcn on a handle opened without one */
    TX_ERR_UNKNOWN_METHOD = 36,  /* TXSetMethod: no such integration method */
    TX_ERR_COUNT = 37
};

extern const char *const TraxisFatalError[];

/* Tolerances derived from RelTol; h is the first step guess and the noise step.  Never returns
 * NULL: a refused argument or a failed allocation is reported and ends the process.  fcn may be
 * NULL (the variational sub-handle has none); every operation that would evaluate it then
 * refuses with code 35. */
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

/* The maths library's error record and hook (current glibc no longer calls it).  Global and
 * named `exception`, so C++ sees it only on request (TX_MATHERR, above). */
#if !defined(__cplusplus) || defined(TX_MATHERR)
struct exception {
    int type;          /* 1 DOMAIN, 2 SING, 3 OVERFLOW, 4 UNDERFLOW, 5 TLOSS, 6 PLOSS */
    char *name;
    double arg1;
    double arg2;
    double retval;
};
int matherr(struct exception *x);
#endif

/* ---- integration ---- */

/* One accepted step; tx->h then holds the proposal for the next.  An attempt with a stage or
 * error estimate that is not finite is rejected whatever the tolerances, so a right-hand side
 * that keeps failing ends in code 31. */
int TXStep(Traxis tx, double *t0, double *y);
/* returns with *t0 == t1; the last step may overshoot t1 and is sampled by dense output */
int TXIntegrate(Traxis tx, double *t0, double t1, double *y);

/* ---- dense output and settings ---- */

/* state at t on the last step (extrapolates outside it).  After a TXStep or TXIntegrate that
 * failed, the step records hold the failed attempts: no dense output until a step succeeds. */
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

/* ---- tables and trajectory output ---- */

/* receives one sample of a table: the time and the state (order doubles) */
typedef void (*sample_t)(double t, double *y);

/* Tables of a trajectory sampled at n + 1 equally spaced times *t + k dt, k = 0 ... n,
 * dt = (t1 - *t) / n, the times summed up from *t.  The adaptive steps run on undisturbed; the
 * samples are taken by dense output.  On success *t and y hold the last sample (t1 to rounding).
 *
 * Columns: 0 is the time, i = 1 ... order is y[i-1].  format gives one digit per column (only
 * its first order + 1 characters are read): 0 leaves the column out, d = 1 ... 9 prints it as
 * %(d+6).(d)e and a blank ("6" -> "%12.6e ").  Each row ends with a line end.
 *
 * Refused before any file is touched, with *t and y unchanged:
 *   33 format NULL, shorter than order + 1, or not digits there;
 *   7  n < 1, t1 not ahead of *t, t1 infinite or NaN;
 *   31 dt too small to move the sample times on;
 *   35 no right-hand side; 3 no work memory;
 *   25 the file cannot be created (TXftablef) or the stream is NULL (TXftablea).
 * 34: a row, the flush (TXftablea) or the close (TXftablef) failed; the result is then 0.
 * A failed step or interpolation returns its own result; *t and y are then left unchanged and
 * the rows written so far stay in the file. */
int TXftablef(Traxis tx, const char *filename, const char *format, double *t, double t1, long n,
              double *y);
int TXftablea(Traxis tx, FILE *file, const char *format, double *t, double t1, long n, double *y);
/* hands each sample to g instead (a NULL g only integrates); the state given to g is scratch */
int TXftableg(Traxis tx, double *t, double t1, long n, double *y, sample_t g);

/* The current point of a continuation run, from the record attached to tx (a missing handle or
 * record is reported with code 1 or 28 and nothing is written; a NULL stream writes nothing).
 * TXStateOutput: step, period (orbit runs), parameters, state, eigenvalues or multipliers with
 * their moduli, closed by a rule of '-', '=', '.' or ':' for run kinds 1 to 4.
 * TXPathOutput: one line "c1 [c2] y0 ... y_{n-1}" in %.10g, c2 for two-parameter runs; a
 * parameter index that names no registered parameter prints nan. */
void TXStateOutput(Traxis tx, FILE *file);
void TXPathOutput(Traxis tx, FILE *file);

/* ---- single-handle binding layer ---- */

/* A flat interface on one library-wide handle, oldtx, for callers that work on one problem at a
 * time; one thread only.  Each wrapper forwards to the TX operation of the same meaning and
 * reports under its own name ("step", "lyap_calc", ...).  Before openTraxis and after
 * closeTraxis any wrapper reports code 1, which ends the process.
 *
 * The integrating calls take the right-hand side and leave it in the handle, so that later
 * calls, and TX operations on oldtx, use it too; a NULL fcn keeps the one stored before (none
 * yet: code 35).
 *
 * These names are common words: define TX_NO_BINDING before including this header to keep them
 * free for your own.  A program that calls none of them does not link them either way. */
#ifndef TX_NO_BINDING
extern Traxis oldtx;
/* the code left by the last failed wrapper or operation on oldtx (not cleared) */
int errorTraxis(void);
/* Opens oldtx without a right-hand side: 1, or 0 with oldtx NULL (a refused open is reported
 * like TXOpenTraxis).  A handle opened earlier is replaced WITHOUT being closed: call closeTraxis
 * first, or keep the old pointer and pass it to TXCloseTraxis yourself. */
int openTraxis(int order, double tol, double h);
/* oldtx becomes NULL when the close succeeded */
int closeTraxis(void);
int order(void);
int step(double *t0, double *y, fcn_t fcn);
int integrate(double *t0, double t1, double *y, fcn_t fcn);
int interpolate(double t, double *y, fcn_t fcn);
/* unlike TXSetRelTol, TXSetMaxStep and TXSetAbsTol these refuse 0 as well (codes 5, 11, 5) */
int set_tol(double tol);
int set_max_step(double hmax);
int set_abs_tol(double abstol);
/* stores cutfcn (NULL: the automatic hyperplane) and eps as CutEps without checking eps; with
 * eps <= 0 or NaN no crossing can be located, and the search ends with code 13 */
int poincare_step(double *t, double *y, fcn_t fcn, cut_t cutfcn, double eps);
int set_max_poincare_steps(int n);
int cut_surface(double *state, double *normal);
double auto_cut(double t, double *y);
int set_auto_cut(double t, double *y, fcn_t fcn);
int lyap_calc(double *t, double *y, double eps, double lyap_dt, fcn_t fcn, long trans_steps,
              long lyap_steps, double *exponents, int nn);
int lyap_calc_file(const char *filename, double *t, double *y, double eps, double lyap_dt,
                   long trans_steps, long lyap_steps, fcn_t fcn, double *exponents, int nn,
                   int samp);
int ftablef(const char *filename, const char *format, double *t, double t1, long n, double *y,
            fcn_t fcn);
int ftableg(double *t, double t1, long n, double *y, fcn_t fcn, sample_t g);
int ftablea(FILE *file, const char *format, double *t, double t1, long n, double *y, fcn_t fcn);
#endif /* TX_NO_BINDING */

/* ---- sections ---- */

/* a null cutfcn selects the automatic hyperplane */
int TXSetCut(Traxis tx, cut_t cutfcn, double eps);
/* one step; 1 when it crossed the section, with *t and y just past it (within CutEps) */
int TXPoincareStep(Traxis tx, double *t, double *y);
/* point and unit normal of the automatic hyperplane */
int TXCutSurface(Traxis tx, double *state, double *normal);
/* signed distance of y from the automatic hyperplane; t is not used */
double TXAutoCut(Traxis tx, double t, double *y);
/* hyperplane through y, normal to the vector field there; a zero field, or a point or field
 * that is not finite, is refused with code 10 and leaves the previous hyperplane as it was */
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
 * *t and y advance by (trans_steps + lyap_steps) * lyap_dt.  eps and lyap_dt must be positive
 * finite numbers (1 / eps as well); a separation that vanishes or overflows within an interval,
 * or an interval too short to advance *t, also ends the computation with code 32. */
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
/* Eigenvector of the real eigenvalue r, unit length with positive last component (where that
 * component is 0, the last nonzero one is positive); also for r repeated or defective, or given
 * exactly.  Where r is not an eigenvalue the vector is normally the one that solves the first
 * n - 1 rows of (A - rI) v = 0.  A or r not finite: code 22.  ws: room for n - 1 doubles
 * followed by n - 1 ints. */
int TXEigenVector(Traxis tx, int n, double **A, double r, double *ev, double *ws);
/* solves A x = b in place; work: room for n doubles followed by n ints; a zero row or an entry
 * that is not finite is refused (code 22) with A and b unchanged; other singular matrices give
 * huge solutions */
int TXLinZero(Traxis tx, int n, double **A, double *b, double *work);
void Balanc(double **a, int n);
void Elmhes(double **a, int n);
int Hqr(Traxis tx, double **a, int n, double *wr, double *wi);
/* work: n row scale factors; d: parity of the row exchanges; refusals as TXLinZero's */
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
 * the operation that failed inside.  All three need the variational sub-handle (without it:
 * code 1, reported on tx); the orbit solvers integrate without parameter sensitivities and
 * restore nparam on every return. */
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
 * tx, order, the pointers, t, T, biftype, indir, cindi, steps and the sizes at the end are set
 * at creation (the rest is zero); trans, tang, the neighbours and btype are meaningful once
 * biftype != 0.  Continuation refuses (code 28) a record too small for the handle it runs on,
 * as after a change of order or nparam. */
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
    double *intang;    /* path tangent on arrival, n + 1 */
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
    int nparam;        /* nparam at creation: the length of c */
    int phidim;        /* rows and columns of Phi: m */
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

/* ---- bifurcation report ---- */

/* The record attached to tx as a framed block 69 characters wide: type, period (orbit runs),
 * the parameters' current values, state and spectrum, and for a classified point the
 * transversal and tangent directions and the four neighbours, '*' marking the arrival side.
 * Reports a missing handle or record like TXStateOutput; a NULL stream writes nothing. */
void TXStateBifOutput(Traxis tx, FILE *file);
/* the i x j matrix m to standard output as {{ a, b}, { c, d}} */
void SHOWMAT(int i, int j, double **m);

/* ---- equilibrium bifurcations ---- */

/* txb must be the record attached to tx (else code 28), made for at least tx's order and
 * parameters; c must be registered exactly once, else 0 without a report.
 * TXLocateEquiBif: Newton's method in the record's y and *c at time txb->t, to the point where
 * the real part of the critical eigenvalue (EQUICRIT) is 0 within LambdaNewtAbsTol +
 * LambdaNewtRelTol and f within |y|·sqrt(NewtRelTol) + sqrt(NewtAbsTol), test-function
 * derivatives by differences of LambdaPert.  On success y, er, ei and the first n rows of Phi
 * ([J | df/dc], n + 1 columns) describe the located point and c the parameter values there;
 * one mark per iteration on state (when not NULL): "." closer, "!" not closer.  Code 30 after
 * more than MaxNewtSteps corrections, a doubling or a NaN of the distance. */
int TXLocateEquiBif(Traxis tx, TraxisBif txb, double *c, FILE *state);
/* biftype HOPF (critical eigenvalue complex, trans = an eigenvector of its real part) or
 * SADDLE-NODE, with btype; sets every registered parameter to txb->c.  thedc and state are not
 * used. */
int TXCheckEquiBif(Traxis tx, TraxisBif txb, double *c, double thedc, FILE *state);

/* ---- orbit bifurcations ---- */

/* From the orbit in txb (t, y, T, multipliers er/ei) to the nearby orbit whose critical
 * multiplier lies on the unit circle, by Newton's method on the start point, *c and, for an
 * autonomous orbit (mode = p > 0 turns per period), the period.  c must be exactly one registered
 * parameter; it is left at the located value, and txb receives the point, its monodromy matrix
 * with the parameter column, the multipliers, all parameter values and the period.  Marks to
 * state (may be NULL): "." distance fell, "!" it did not, "%" the period was halved.
 * 0 without a report when not located.  Both operations work on any record made for at least
 * tx's order and parameters (else code 28) and restore nparam on every return. */
int TXLocateBif(Traxis tx, TraxisBif txb, double *c, int mode, FILE *state);
/* Classifies the located point in txb: four neighbouring orbits, top and bottom at distance
 * thedc along the critical direction with the parameter free, left and right at the parameter
 * moved by -thedc and +thedc (distances halved or doubled until they converge), their stable
 * multipliers counted; writes biftype, trans, tang, the neighbours, btype and indir (the
 * neighbour most nearly opposite to the arrival direction held in intang[0 ... order]).  mode:
 * 0 forced, 1 autonomous (also above 1).  The registered parameters and the record's period are
 * left at the record's values, also after a failure.  Marks: "v" "^" "<" for retried neighbours.  0 without a report when a
 * neighbour cannot be found. */
int TXCheckBif(Traxis tx, TraxisBif txb, double *c, double thedc, int mode, FILE *state);

/* ---- continuation ---- */

/* Follows a branch of equilibria of fcn (at time 0) while *c varies; *c must be registered
 * exactly once (code 26).  y: a point near an equilibrium at the start value, which TXEquiPoint
 * corrects and which is the first point written; on return y and *c hold the last point
 * computed.  *dc: the signed first step, the Euclidean length of the predicted move of the
 * state; it is adapted within [NewtRelTol |dc| + NewtAbsTol, |dc|], changes sign after each
 * fold, and a step that is 0 or not finite is code 29.  A change in the number of stable
 * eigenvalues or a fold is located (TXLocateEquiBif) and classified (TXCheckEquiBif);
 * nrbif > 0 returns 1 after that many, with *c back at the point that revealed the last one
 * (which stays in the record); nrbif 0 runs MaxContSteps passes (at least one), nrbif < 0 one.
 * A failed location (code 30) rejects the pass and halves the step.  mode selects outputs taking variable arguments in
 * this order: 1 FILE *state (progress marks, TXStateOutput of each point, TXStateBifOutput of
 * each bifurcation), 2 FILE *path (TXPathOutput of each point and bifurcation), 4 output_t
 * UserOutput then FILE *user (UserOutput(tx, user) after each point and bifurcation, which
 * reads the record tx->txb).  A bit whose stream or UserOutput is NULL counts as clear.  A
 * trace goes to standard output.  The record is created (and kept) when tx has none; one made
 * for a smaller order or nparam is code 28.  A corrector distance that is not a number counts
 * as no convergence; halving the step below NewtRelTol |dc| + NewtAbsTol, to 0, or until it
 * no longer moves the predicted point is code 29. */
int TXEquiCont(Traxis tx, double *y, double *c, double *dc, int nrbif, int mode, ...);

/* Follow a branch of periodic orbits while *c varies, with the calling convention, outputs,
 * step control and bifurcation handling of TXEquiCont (no trace on standard output).  The
 * residual is the point minus its image after one period; stability is judged by the Floquet
 * multipliers; a change in the number of those inside the unit circle, or a fold, is located
 * (TXLocateBif) and, when CheckBifs is set, classified (TXCheckBif); intang then holds the unit
 * direction (state, parameter) of arrival.  nrbif > 0 returns 1 after that many bifurcations,
 * with *c and the record as located.  The record gets kind 1, and T at each point.  t advances
 * with every period integrated.
 * TXAutoCont: an autonomous orbit crossing the section 2p times per period; y starts near the
 * orbit (TXAutoOrbit, then the nearest crossing), *T receives the period and follows it.  A
 * section search that fails without a reason is code 30.
 * TXNonAutoCont: an orbit of a system forced with period T > 0, which stays fixed. */
int TXAutoCont(Traxis tx, double t, double *y, int p, double *T, double *c, double *dc, int nrbif,
               int mode, ...);
int TXNonAutoCont(Traxis tx, double t, double *y, double T, double *c, double *dc, int nrbif,
                  int mode, ...);

/* Two-parameter continuation of a curve of bifurcations from the point held in the record
 * tx->txb (its y, t and, for orbits, T) and the current values of *c1 and *c2, two different
 * parameters each registered exactly once (else code 26).  The extended unknown is the state,
 * the two parameters (the one registered earlier first) and, for TXAuto2DCont, the period.
 * The start point is written first, as step 0; then MaxContSteps points follow, each written
 * to the outputs that mode selects as in TXEquiCont, with its step number.  *dc: the signed
 * first step, measured in the whole extended unknown; a negative one reverses the first
 * tangent, which moves the parameter registered later (TXAuto2DCont: earlier) at unit rate.
 * The step becomes positive, halves after a failed correction and grows by 1.25 after each
 * point up to |dc| at entry; the secant through the last two points gives the direction.
 * Correction: Newton's method on the residual and the test function against LambdaNewtRelTol
 * and LambdaNewtAbsTol, test-function derivatives by differences of LambdaPert.  On return
 * the record's y (and T) and *c1, *c2 hold the last point.  Refused: no sub-handle (1), no
 * record or one too small for the run (28), no work memory (3), a step 0 or not finite (29).
 * The only early end is code 29 for a step below NewtRelTol |dc| + NewtAbsTol, tested after
 * every correction in the orbit runs and after failed ones in TXEqui2DCont.  The orbit runs
 * integrate their difference quotients with nparam 0 and restore it on every return.
 * TXEqui2DCont: folds and Hopf points of equilibria (f = 0 and EQUICRIT = 0 at time txb->t);
 * after TXEquiCont, which puts *c back, set the parameters to the record's c first. */
int TXEqui2DCont(Traxis tx, double *c1, double *c2, double *dc, int mode, ...);
/* The orbit runs refuse a record period txb->T that is not positive and finite (code 7).
 * TXAuto2DCont: bifurcations of periodic orbits of an autonomous system, pinned by the
 * handle's section (no section: code 8): the orbit through y returns after T and a multiplier
 * other than the trivial one has modulus 1, weighted by 1 + |Im| unless the record's biftype
 * is TORUS.  A prediction or correction that CLOSESTCUT cannot bring onto the section counts
 * as a failed correction.  The period is written into the record at each point. */
int TXAuto2DCont(Traxis tx, double *c1, double *c2, double *dc, int mode, ...);
/* Bifurcations of orbits of a system forced with the fixed period txb->T, every multiplier a
 * candidate.  When a second multiplier comes within 0.025 of +1 or -1, more than ten steps
 * after the last such point, Newton's method looks for the point where the two critical
 * multipliers meet on the unit circle; one found is written (after " ---- CO-DIMENSION 2 ----"
 * on the state stream) with the step number of the point before it, and the run goes on past
 * it.  A search that fails leaves the last point as it was. */
int TXNonAuto2DCont(Traxis tx, double *c1, double *c2, double *dc, int mode, ...);

/* ---- program-provided model (needed only by TXIntegrate_With_Noise) ---- */

void model(double t, double *y, double *dydt);
void noise_part(double t, double *y, double *noise);

#ifdef __cplusplus
}
#endif

#ifdef __GNUC__
#pragma GCC visibility pop
#endif

#endif /* TX_H */
