/* Model support of the analysis programs: the three-variable excitable model with gated forcing
 * and additive noise on its first variable, its state and parameter files, the random number
 * generators and the fixed-step stochastic integrators.
 *
 * Compiles as C99 and as C++.  The globals below exist once per program; the generators and
 * integrators share them, so nothing here may be entered from two threads at once.
 *
 * Start-up of a program:
 *     model_program_start(&kRunSpikes);          starting seed and forcing times
 *     read_model_state(&kRunSpikes, &st);        "system.st": st, par, num, lidum
 *     read_process_pairs(&kRunSpikes, names, values);   "param.isi", echoed
 *     force_on = num[3]; force_off = num[4];
 * run_lyapunov and run_sweep use Read_St_File and Load_Proc_Pars, run_cycle readStateFile and
 * readParamFile.  A reader ends the process with status 1 when it cannot open its file, meets a
 * name longer than its buffer, a "system.st" that lacks one of the model's 3 "&var" or 5 "&par"
 * records or their values, or a process file that runs short or holds a value that is not a
 * number (or, in "param.slc", not an int).  It prints the program's message for the case, where
 * there is one, to standard output, and one line "<program>: <file>: <reason>" to standard error.
 */
#ifndef TX_MODEL_H
#define TX_MODEL_H

#include "tx.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- model globals ---- */

enum { kModelDim = 3, kModelParams = 5, kModelSettings = 30 };

/* a (linear gain of x), b (rate of w), A (forcing amplitude), sigma (noise amplitude), c (cubic) */
extern double par[kModelParams];
/* "&num" settings by position: 0 start time, 1 end time, 2 fixed step or sampling interval,
 * 3 and 4 switch-on and switch-off times of the forcing; higher ones belong to the programs */
extern double num[kModelSettings];
extern double force_on;
extern double force_off;
/* forcing at the time of the last model() call */
extern double force;
/* noise mask; every model() call sets it to (1, 0, 0) */
extern double mnoise[kModelDim];
/* seed of ran3: a negative value re-seeds at the next draw, after which it is 1 */
extern long lidum;

/* ---- per-program settings ---- */

/* Which records and formats a program reads from "system.st", with its messages and checks. */
struct StateFormat;

typedef struct ModelProgram {
    const char *name;                 /* "run_section", ... */
    long initial_lidum;               /* 192984284 or 0 */
    double initial_force_on;
    double initial_force_off;
    const struct StateFormat *state;  /* "system.st" */
    const char *process_file;         /* "param.pnc", ...; NULL for run_nullclines */
    int process_pairs;                /* fixed-list length; 0 when read by key (run_cycle) */
    const char *process_open_error;   /* printed as is when process_file cannot be opened */
} ModelProgram;

extern const ModelProgram kRunSection;
extern const ModelProgram kRunSpikes;
extern const ModelProgram kRunLyapunov;
extern const ModelProgram kRunSweep;
extern const ModelProgram kRunCycle;
extern const ModelProgram kRunNullclines;

/* Sets lidum, force_on and force_off to the program's starting values, and the name the readers
 * put before their messages on standard error; call first in main. */
void model_program_start(const ModelProgram *prog);

/* ---- state and parameter files ---- */

/* Longest names kept: "system.st" of most programs, of run_cycle, process files. */
enum { kStNameMax = 23, kCycleNameMax = 17, kProcNameMax = 14 };

typedef struct StVariable {   /* "&var" */
    char name[kStNameMax + 1];
    double value;             /* initial value, never exactly 0 */
    double extra[2];          /* read, not used */
} StVariable;

typedef struct StParameter {  /* "&par" */
    char name[kStNameMax + 1];
    double value;
    double extra;             /* read, not used */
} StParameter;

/* Everything one "system.st" gave.  A record cut short keeps the earlier values of its missing
 * fields; counts include records beyond the 3, 5 and 30 that are stored. */
typedef struct StateFile {
    StVariable var[kModelDim];
    StParameter par[kModelParams];
    double num[kModelSettings];
    int pph[3];        /* "&pph": unused, horizontal variable, vertical variable */
    double window[4];  /* "&pph": horizontal from, to, vertical from, to */
    int msc[3];        /* "&msc": run mode, unused, seed */
    int nvar;
    int npar;
    int nnum;
    unsigned char var_read[kModelDim];     /* 1 where the record's value was read */
    unsigned char par_read[kModelParams];
} StateFile;

/* run_section, run_spikes, run_nullclines: fills *st from "system.st" with the program's formats,
 * then copies the parameter values into par, the settings into num and, for run_section and
 * run_spikes, the seed into lidum.  par, num and lidum keep their values where no field is read. */
void read_model_state(const ModelProgram *prog, StateFile *st);
/* run_section, run_spikes: the program's process_pairs pairs, echoed as "%s  =  %f\n"; reads
 * nothing for a program without a fixed list */
void read_process_pairs(const ModelProgram *prog, char names[][kProcNameMax + 1], double *values);

/* run_lyapunov, run_sweep: Read_St_File fills vars, params and num and checks the record counts;
 * the caller copies the values into its state vector and par. */
extern StVariable vars[kModelDim];
extern StParameter params[kModelParams];
void Read_St_File(const char *path);
/* n pairs in file order, echoed as "%s  =  %f\n" */
void Load_Proc_Pars(const char *path, int n, char names[][kProcNameMax + 1], double *values);

/* run_cycle: readStateFile reads "system.st" into systemVariable (3 doubles allocated by the
 * caller; values are skipped while it is NULL), the two name tables and par.  readParamFile reads
 * "param.slc" by key: "slc_periodicity" -> periodNumber, "slc_max_steps" -> max_adjust (both
 * truncated towards zero), "slc_eps" -> cycle_eps; other keys, and known keys whose value is not
 * a number, are ignored with a line on standard error that names them. */
extern double *systemVariable;
extern char systemVariableName[kModelDim][kCycleNameMax + 1];
extern char systemParameterName[kModelParams][kCycleNameMax + 1];
extern int periodNumber;
extern int max_adjust;
extern double cycle_eps;
void readStateFile(void);
void readParamFile(void);

/* ---- random numbers ---- */

/* uniform in [0, 1) from the subtractive generator seeded by lidum; the argument is not used */
float ran3(long *idum);
/* standard normal (polar method); every second call returns the spare of the call before */
float gasdev(void);

/* ---- model callbacks ---- */

/* model() and noise_part() are declared in tx.h: the library calls them by name. */

/* section x = 0: returns y[0] */
double cutfun(double t, double *y);
/* J is 3 x 3, rows by equation; the forcing does not enter */
void jacobian(double t, double *y, double **J);
/* P is 3 x 5: derivatives by par[0] ... par[4]; the forcing column is 0 */
void parametricJacobian(double t, double *y, double **P);
/* forcing gate without amplitude: 0.25 (1 + tanh(10 (t - on))) (1 + tanh(10 (off - t))) */
double Force_bar(double on, double off, double t);

/* ---- fixed-step stochastic integration ---- */

/* Run modes of the noisy programs. */
enum { kModeEuler = 0, kModeAdaptive = 1, kModeNoisyRk4 = 2 };

/* Euler step with noise sigma g h; advances *t by h */
void NNSrk4step(double *t, double *y, double h);
/* four-stage step, one noise sample sigma g sqrt(h) held over the stages; advances *t by h */
void NNSrk4step_blocked(double *t, double *y, double h);
/* NNSrk4step_blocked with h = 0.001 from time t; the caller keeps the time */
void NNSrk4(double t, double *y);
/* five NNSrk4 steps: *t += 0.005 */
void NNSrk4n(double *t, double *y);

/* Batch drivers: kBatchRuns NNSrk4n calls (20.48 time units); *t ends at the final time. */
enum { kBatchRuns = 4096 };
/* last (3 doubles) holds the final state */
void NNSrk4nm(double *t, double *y, double *last);
/* x[i] (kBatchRuns floats) = y[0] after the i-th run */
void NNSrk4nm1(double *t, double *y, float *x);
/* x[i] = y[0] and v[i] = y[1] after the i-th run */
void NNSrk4nm2(double *t, double *y, float *x, float *v);
/* write " %f %f \n" (time, y[0]) after each run to "out.dat"; if it cannot be created, they still
 * integrate and say so on standard error */
void NNSrk4nm1f(double *t, double *y);
/* likewise " %f %f %f \n" (time, y[0], y[1]) */
void NNSrk4nm2f(double *t, double *y);

/* Advances (*t, y) by h with NNSrk4step, TXIntegrate or TXIntegrate_With_Noise by run mode.
 * Returns 1, the library's result in modes 1 and 2, or 0 for another mode (nothing done). */
int Belva_Integration_Step(int mode, Traxis tx, double *t, double *y, double h);

/* At most this many fixed steps per Fixed_PoincareStep call. */
enum { kFixedPoincareMaxSteps = 10000000 };
/* Steps from (t, y) with num[2] in run mode 0 or 2 (tx is used in mode 2 only) until x = 0 is
 * crossed, halving the step until one side lies within eps of the section.  Returns the time of
 * the crossing state, written to point (3 floats); y holds the state after the crossing.
 * Another mode returns t with y and point untouched.  Returns NaN, with y at the state reached
 * and point untouched, when no crossing is found within kFixedPoincareMaxSteps steps or the step
 * no longer advances the time. */
double Fixed_PoincareStep(Traxis tx, double eps, int mode, double t, double *y, float *point);

#ifdef __cplusplus
}
#endif

#endif /* TX_MODEL_H */
