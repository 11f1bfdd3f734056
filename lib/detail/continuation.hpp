// The continuation skeleton: what the one- and two-parameter continuations of equilibria and
// periodic orbits share.  A routine opens a Run with begin(), takes its outputs, record, work
// block and parameters, and then steps with corrected_step() on a branch object of its own,
// which holds the predictor, the residual and the bordered Newton system.
#pragma once

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "../tx.h"
#include "bif_record.hpp"

namespace tx::detail {

// The code an operation of the run failed with; one that failed without leaving a reason has
// still failed: code 30.
inline int failure_code(const Traxis tx) {
    return tx->ErrorCode != 0 ? tx->ErrorCode : TX_ERR_NO_CONVERGENCE;
}

// The outputs selected by the bits of `mode`: 1 the state stream, 2 the path stream, 4
// UserOutput with its stream.  A bit whose stream (1, 2) or callback (4) is null counts as
// clear, and so do unknown bits.  A null `user` stream is the caller's own business: it is
// passed to UserOutput as given.
struct Outputs {
    std::FILE *state = nullptr;
    std::FILE *path = nullptr;
    output_t user_output = nullptr;
    std::FILE *user = nullptr;

    void progress(char mark) const {
        if (state) std::fputc(mark, state);
    }
    void progress(const char *text) const {
        if (state) std::fputs(text, state);
    }
    void step_size(double dc) const {
        if (state) std::fprintf(state, "   Stepsize: %g ", dc);
    }
    // An accepted point, as the record holds it: TXStateOutput, TXPathOutput, UserOutput.
    void point(Traxis tx) const;
    // A confirmed bifurcation: TXStateBifOutput, TXPathOutput, UserOutput.
    void bifurcation(Traxis tx) const;
};

// Takes the variable arguments that `mode` selects, in the order state, path, UserOutput, user.
Outputs take_outputs(int mode, va_list ap);

// The state of one run that the skeleton works on.
struct Run {
    Traxis tx = nullptr;
    const char *name = "";  // the routine, for error reports
    double maxdc = 0.0;     // |*dc| at entry: no step is ever longer
    double mindc = 0.0;     // NewtRelTol * maxdc + NewtAbsTol: a shorter step is code 29
    double stepdist = 0.0;  // distance of the last corrected point from the last accepted one
    Outputs out;

    // Raises code through the fatal-error routine under the routine's name; its result.
    int fail(int line, int code) const { return TXFatalError(tx, line, code, name); }
    // A run that ends normally leaves no code behind: a location or search that failed on the
    // way (and was answered by a smaller step) is part of the run, not its result.
    int succeed() const {
        tx->ErrorCode = 0;
        tx->TX->ErrorCode = 0;
        return 1;
    }
};

// Entry of every continuation: a null handle or sub-handle is code 1; both error codes are
// cleared; a step *dc that is 0 or not a finite number is code 29 (it predicts nothing, and
// halving would never bring it below mindc); then maxdc and mindc.  1, or the report's result.
int begin(Run &run, Traxis tx, const double *dc, const char *name);

// The handle's bifurcation record for a run whose bordered systems take order + extra rows
// and columns of Phi.  A missing record is created and attached when `create` is set (code 3
// when that fails) and is code 28 otherwise.  A record too small for the run (made while order
// or nparam was smaller) is code 28, before anything is written into it.  1, or the report's
// result.
int attach_record(Run &run, bool create, int extra);

// Whether a prediction old + step * dir, given in pieces (state, parameters, period), is a
// point other than old: every component finite and at least one changed.
class Prediction {
public:
    Prediction &add(const double *old, const double *dir, int n, double step) {
        for (int i = 0; i < n; ++i) {
            const double p = old[i] + step * dir[i];
            finite_ = finite_ && std::isfinite(p);
            moved_ = moved_ || p != old[i];
        }
        return *this;
    }
    bool moves() const { return finite_ && moved_; }

private:
    bool finite_ = true;
    bool moved_ = false;
};

// Halves *dc after a failed corrector run or a rejected point.  Code 29 when its magnitude is
// then below mindc, or when the halved step is 0 or no longer predicts a point other than the
// last accepted one (branch.moves(dc) false; a prediction that is not finite counts as none):
// with both Newton tolerances 0, mindc is 0 and would never end the halving.
template <class Branch>
int halve(const Run &run, double *dc, const Branch &branch) {
    *dc /= 2.0;
    if (std::fabs(*dc) < run.mindc || *dc == 0.0 || !branch.moves(*dc))
        return run.fail(__LINE__, TX_ERR_MIN_STEPSIZE);
    return 1;
}

// A branch, the part of a run that is the routine's own, provides
//   void predict(double dc)        the point predicted by the signed step dc from the last
//                                  accepted point (and anything the routine does with it);
//   bool moves(double dc) const    whether a step dc predicts a finite point other than the
//                                  last accepted one;
//   double residual()              a corrector iteration up to the weighted distance of its
//                                  residual; a converged point has distance <= 1;
//   void correct(double dist, double &stepdist)
//                                  the rest of the iteration after its progress mark: when
//                                  dist > 1, the Newton correction and the new stepdist;
//   int failure() const            0, or the code that ends the run because residual() could
//                                  not evaluate the point (it then returned NaN).

// The Newton corrector: iterates while the count is below MaxNewtSteps, the distance is above
// 1, has not doubled and the point has not wandered 2 maxdc from the last accepted one.  Marks
// "." on the first iteration or when the distance fell, "!" otherwise.  True when it converged;
// a distance that is not a number never counts as converged.
template <class Branch>
bool converge(Run &run, Branch &branch) {
    const int max_its = run.tx->MaxNewtSteps;
    int its = 0;
    double dist = 0.0, olddist = 0.0;
    do {
        olddist = dist;
        dist = branch.residual();
        run.out.progress(its == 0 || dist < olddist ? '.' : '!');
        branch.correct(dist, run.stepdist);
        ++its;
    } while (its < max_its && dist > 1.0 && (olddist == 0.0 || dist < 2.0 * olddist) &&
             run.stepdist < 2.0 * run.maxdc);
    return dist <= 1.0;
}

// When the minimum-step test is made: after every corrector run, or after failed ones only.
enum class MinStep { every_run, after_failure };

// Predicts with *dc from the last accepted point and corrects, halving the step and predicting
// again from the same point after each corrector failure, until a corrector run converges.
// State output: "   Stepsize: %g " before each run, its marks, a line end after it.  1 when
// converged, else the result of the report of code 29 or of the branch's failure.
template <class Branch>
int corrected_step(Run &run, double *dc, Branch &branch, MinStep rule) {
    for (;;) {
        branch.predict(*dc);
        run.out.step_size(*dc);
        const bool converged = converge(run, branch);
        run.out.progress('\n');
        if (const int code = branch.failure()) return run.fail(__LINE__, code);
        if (!converged) {
            if (halve(run, dc, branch) != 1) return 0;
            continue;
        }
        if (rule == MinStep::every_run && std::fabs(*dc) < run.mindc)
            return run.fail(__LINE__, TX_ERR_MIN_STEPSIZE);
        return 1;
    }
}

// The step rule of the one-parameter runs.  The factor is the smaller of 0.05 / |tan a|, a the
// angle between successive extended tangents given by its cosine, and 0.05 / d, d the change
// of the critical eigenvalue relative to 1 + |1 - its mean|; a cosine rounded outside [-1, 1]
// makes the angle term NaN, and the eigenvalue term alone decides.  The factor is held in
// [0.7071, cap]; then |*dc| is clamped into [mindc, maxdc] with its sign (0 counts as positive).
void adapt_step(const Run &run, double *dc, double cosine, double eigcrit, double lasteigcrit,
                double cap);

// The step rule of the two-parameter runs: after each accepted point the step grows by 1.25,
// up to its magnitude at entry, keeping its sign.
void grow_step(const Run &run, double *dc);

// Marks c1 and c2 as the only active parameters: 1 with their list indices in index[0] and
// index[1], else code 26 unless they are two different addresses, each registered exactly once.
int mark_parameter_pair(const Run &run, const double *c1, const double *c2, int index[2]);

// The turning-point measure of the one-parameter runs: the sum of |tang_i - oldtang_i| over the
// components that changed sign, divided by 2n, when at most `kept_allowed` components kept
// their sign, else 0.  Above 1 the branch has folded back between the two points.  A component
// whose tangent is 0 at either point (a variable the parameter does not move, such as y of
// y' = -y) counts neither way: otherwise it would hide every fold.
double fold_measure(const double *tang, const double *oldtang, int n, int kept_allowed = 0);

}  // namespace tx::detail
