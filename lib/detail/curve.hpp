// The two-parameter half of the continuation skeleton.  A curve of bifurcations is followed in
// the extended unknown x = (state, the two parameters, and for autonomous orbits the period):
// a first tangent of the routine's own, then secants; the bordered corrector of the skeleton;
// a step that grows by 1.25 after each accepted point.  Nothing is detected on the way: the
// run ends after MaxContSteps accepted points or on an error.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstring>

#include "../tx.h"
#include "continuation.hpp"
#include "newton.hpp"
#include "work.hpp"

namespace tx::detail {

// The extended unknown.  Positions 0..n-1 hold the state, n the parameter registered earlier,
// n + 1 the other, n + 2 the period.  The state, the parameters and the period are the
// caller's variables, updated in place; the curve keeps the last accepted point and the
// predictor direction.
class Curve {
public:
    // T: the period when it is an unknown, else null.
    Curve(Traxis tx, double *y, double *c1, double *c2, double *T)
        : tx_(tx), n_(tx->order), size_(tx->order + (T ? 3 : 2)), y_(y), c1_(c1), c2_(c2), T_(T) {}

    // What take() takes from a block.
    static std::size_t doubles(int n, bool period) {
        return 2 * (static_cast<std::size_t>(n) + (period ? 3 : 2));
    }
    void take(Block &block) {
        old_ = block.vector(static_cast<std::size_t>(size_));
        tang_ = block.vector(static_cast<std::size_t>(size_));
    }

    // index: the list indices of c1 and c2, also written into the record with the kind of
    // curve, as the outputs report them.
    void place(int kind, const int index[2]) {
        int *const cindi = tx_->txb->cindi;
        cindi[0] = kind;
        cindi[1] = index[0];
        cindi[2] = index[1];
        p1_ = index[0] < index[1] ? n_ : n_ + 1;
        p2_ = 2 * n_ + 1 - p1_;
    }
    // The parameters at positions n and n + 1.
    double *first_parameter() const { return p1_ == n_ ? c1_ : c2_; }
    double *second_parameter() const { return p1_ == n_ ? c2_ : c1_; }

    // The current point becomes the last accepted one.
    void keep() {
        std::memcpy(old_, y_, static_cast<std::size_t>(n_) * sizeof(double));
        old_[p1_] = *c1_;
        old_[p2_] = *c2_;
        if (T_) old_[n_ + 2] = *T_;
    }

    // The first point is the caller's: it is kept and written as step 0, with the parameters'
    // current values, from which the run starts.
    void start(const Run &run) {
        keep();
        record_parameters(tx_);
        tx_->txb->steps = 0;
        run.out.point(tx_);
    }

    // From the last accepted point along the tangent; the signed step dc is the length of the
    // move of the whole extended unknown.
    void predict(double dc) {
        dummy_ = dc / ltang_;
        for (int i = 0; i < n_; ++i) y_[i] = old_[i] + dummy_ * tang_[i];
        *c1_ = old_[p1_] + dummy_ * tang_[p1_];
        *c2_ = old_[p2_] + dummy_ * tang_[p2_];
        if (T_) *T_ = old_[n_ + 2] + dummy_ * tang_[n_ + 2];
    }
    bool moves(double dc) const { return Prediction().add(old_, tang_, size_, dc / ltang_).moves(); }

    // x += dx.
    void add(const double *dx) {
        for (int i = 0; i < n_; ++i) y_[i] += dx[i];
        *c1_ += dx[p1_];
        *c2_ += dx[p2_];
        if (T_) *T_ += dx[n_ + 2];
    }

    // Distance of the corrected point from the last accepted one in state and parameters.
    double step_distance() const {
        const double d2 = old_[p2_] - *c2_, d1 = old_[p1_] - *c1_;
        double sum = d2 * d2 + d1 * d1;
        for (int i = 0; i < n_; ++i) sum += (y_[i] - old_[i]) * (y_[i] - old_[i]);
        return std::sqrt(sum);
    }

    // d = x - the last accepted point.
    void difference(double *d) const {
        for (int i = 0; i < n_; ++i) d[i] = y_[i] - old_[i];
        d[p1_] = *c1_ - old_[p1_];
        d[p2_] = *c2_ - old_[p2_];
        if (T_) d[n_ + 2] = *T_ - old_[n_ + 2];
    }
    void secant() {
        difference(tang_);
        ltang_ = length(tang_, size_);
    }

    // After the first tangent: a negative step reverses it and the step becomes positive.
    void orient(double *dc) {
        ltang_ = length(tang_, size_);
        const double sign = *dc < 0.0 ? -1.0 : 1.0;
        for (int j = 0; j < size_; ++j) tang_[j] *= sign;
        *dc = std::fabs(*dc);
    }

    // The tangent that moves the parameter at n + 1 at unit rate, from the n + 1 rows of A
    // holding the state equations and the gradient of the test function; A is destroyed.
    void tangent_with_last_free(double **A, double *work) {
        for (int i = 0; i <= n_; ++i) tang_[i] = -A[i][n_ + 1];
        TXLinZero(tx_, n_ + 1, A, tang_, work);
        tang_[n_ + 1] = 1.0;
    }

    // Into the record: every parameter, the step and the period.
    void accept(int steps) const {
        record_parameters(tx_);
        tx_->txb->steps = steps;
        if (T_) tx_->txb->T = *T_;
    }

    // Weighted length of the residual r: n state equations measured against y, then `extra`
    // equations against 1.
    double distance(const double *r, int extra, double rel, double abs) const {
        const double *const y = y_;
        double sum = add_weighted_squares(0.0, r, n_, rel, abs, [y](int i) { return y[i]; });
        sum = add_weighted_squares(sum, r + n_, extra, rel, abs, [](int) { return 1.0; });
        return std::sqrt(sum);
    }

    // at(state, j) for each component j of x moved by delta.  State components are moved on
    // the copy w of y; the parameters and the period in place, put back by subtracting delta
    // again.  at evaluates at `state` with the parameters and the period as they stand.
    template <class At>
    void perturbed(double delta, double *w, At &&at) {
        for (int i = 0; i < n_; ++i) {
            std::memcpy(w, y_, static_cast<std::size_t>(n_) * sizeof(double));
            w[i] += delta;
            at(w, i);
        }
        *c1_ += delta;
        at(y_, p1_);
        *c1_ -= delta;
        *c2_ += delta;
        at(y_, p2_);
        *c2_ -= delta;
        if (T_) {
            *T_ += delta;
            at(y_, n_ + 2);
            *T_ -= delta;
        }
    }
    // row[j] = (G[j] - value) / delta: the forward-difference gradient.
    void difference_row(double *row, const double *G, double value, double delta) const {
        for (int j = 0; j < size_; ++j) row[j] = (G[j] - value) / delta;
    }

    // A point that is not finite can only be thrown away; evaluating it would be wasted at best.
    bool finite() const {
        for (int i = 0; i < n_; ++i)
            if (!std::isfinite(y_[i])) return false;
        return std::isfinite(*c1_) && std::isfinite(*c2_) && (!T_ || std::isfinite(*T_));
    }

    // 0, or the code of a failed evaluation that ends the run.
    int failure() const { return failure_; }

    static double length(const double *v, int m) {
        double sum = 0.0;
        for (int j = 0; j < m; ++j) sum += v[j] * v[j];
        return std::sqrt(sum);
    }

protected:
    // ok, after keeping the reason of a failure: the code the failed operation left, else 30.
    bool reported(bool ok) {
        if (!ok && !failure_) failure_ = failure_code(tx_);
        return ok;
    }

    // Eigenvalues of the n x n matrix A (destroyed) into the record's er and ei.  False for a
    // matrix that is not finite, which the QR iteration could only fail on (the point is
    // then merely unusable), or when the iteration failed.
    bool record_spectrum(double **A) {
        for (int i = 0; i < n_; ++i)
            for (int k = 0; k < n_; ++k)
                if (!std::isfinite(A[i][k])) return false;
        return reported(TXEigen(tx_, n_, A, tx_->txb->er, tx_->txb->ei) == 1);
    }

    Traxis tx_;
    int n_;
    int size_;
    int p1_ = 0, p2_ = 0;  // positions of c1 and c2
    double *y_;
    double *c1_;
    double *c2_;
    double *T_;
    double *old_ = nullptr;   // last accepted point
    double *tang_ = nullptr;  // predictor direction, of length ltang_
    double ltang_ = 0.0;
    double dummy_ = 0.0;  // step along tang_ of the last prediction
    int failure_ = 0;
};

// The loop of accepted points.  Branch is a Curve with the routine's corrector (residual and
// correct, as corrected_step wants them); watch(steps) runs after each accepted point has been
// kept and returns 1, or the result of an error report that ends the run.
template <class Branch, class Watch>
int follow_curve(Run &run, double *dc, Branch &branch, MinStep rule, Watch &&watch) {
    for (int steps = 0; steps < run.tx->MaxContSteps; ++steps) {
        if (corrected_step(run, dc, branch, rule) != 1) return 0;
        branch.accept(steps);
        run.out.point(run.tx);
        branch.secant();
        grow_step(run, dc);
        branch.keep();
        if (watch(steps) != 1) return 0;
    }
    return run.succeed();
}

}  // namespace tx::detail
