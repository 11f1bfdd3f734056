// Two-parameter continuation of bifurcations of periodic orbits: the curve where the orbit
// returns to its start after one period and a Floquet multiplier lies on the unit circle.
// Every evaluation integrates one whole period with the variational equations from the local
// time t, which it advances; the derivatives of the test function are forward differences
// over n + 2 or n + 3 such periods, integrated without parameter columns.
//
// Autonomous orbits (TXAuto2DCont) have the period as one more unknown and are pinned by the
// section.  Forced orbits (TXNonAuto2DCont) have the fixed forcing period, so every
// integration keeps the forcing phase, and their curve is watched for points of codimension
// two, where a second multiplier reaches +1 or -1 as well.
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "detail/continuation.hpp"
#include "detail/curve.hpp"
#include "detail/multipliers.hpp"
#include "detail/parameters.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::Run;

namespace {

constexpr int kOrbitCurve = 2;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kSecondWindow = 0.025;  // distance of a second multiplier from +-1 that searches
constexpr int kSearchSpacing = 10;       // steps after a point of codimension two before the next

class OrbitCurve : public tx::detail::Curve {
public:
    OrbitCurve(Traxis tx, double *c1, double *c2, bool autonomous)
        : Curve(tx, tx->txb->y, c1, c2, autonomous ? &period_ : nullptr),
          aut_(autonomous ? 1 : 0),
          weight_(tx->txb->biftype == TX_BIF_TORUS ? 0.0 : 1.0),
          t_(tx->txb->t),
          period_(tx->txb->T) {}

    // One block for everything; false -> code 3.
    bool take_work() {
        const std::size_t n = static_cast<std::size_t>(n_), m = static_cast<std::size_t>(size_);
        if (!block_.take(n, doubles(n_, aut_ == 1) + 4 * n + 4 * m + n * (n + 2))) return false;
        take(block_);
        yw_ = block_.vector(n);
        f_ = block_.vector(n);
        er_ = block_.vector(n);
        ei_ = block_.vector(n);
        ws_ = block_.vector(m);
        G_ = block_.vector(m);
        wsp_ = block_.vector(2 * m);
        M_ = block_.matrix(n, n + 2);
        return true;
    }

    // Autonomous: the tangent that moves the parameter registered earlier at unit rate, along
    // the section.  Forced: the one that moves the parameter registered later at unit rate.
    void first_tangent(double *dc) {
        double **const A = tx_->txb->Phi;
        gradient_values(false);
        const double m = at_point(false);
        difference_row(A[n_], G_, m, tx_->LambdaPert);
        if (aut_) {
            period_column(A);
            section_row(A[n_ + 1]);
            for (int j = 0; j < size_; ++j) A[n_ + 2][j] = j == n_ ? 1.0 : 0.0;
            subtract_identity(A);
            for (int j = 0; j < size_; ++j) tang_[j] = j == n_ + 2 ? 1.0 : 0.0;
            TXLinZero(tx_, size_, A, tang_, wsp_);
        } else {
            subtract_identity(A);
            tangent_with_last_free(A, wsp_);
        }
        orient(dc);
    }

    void predict(double dc) {
        Curve::predict(dc);
        off_section_ = false;
        if (aut_) pin();
    }

    double residual() {
        if (failure_ || off_section_ || !finite()) return kNaN;
        g_ = at_point(true);
        if (std::isnan(g_)) return kNaN;
        for (int i = 0; i < n_; ++i) ws_[i] = y_[i] - yw_[i];
        ws_[n_] = -g_;
        for (int j = n_ + 1; j < size_; ++j) ws_[j] = 0.0;
        return distance(ws_, 1, tx_->LambdaNewtRelTol, tx_->LambdaNewtAbsTol);
    }

    // Rows: [M - I | dP/dc (| f at the end)], the gradient of g, the predictor direction (which
    // keeps the correction orthogonal to it), and for autonomous orbits the section.
    void correct(double dist, double &stepdist) {
        if (!(dist > 1.0)) return;
        double **const A = tx_->txb->Phi;
        if (aut_) period_column(A);
        gradient_values(true);
        difference_row(A[n_], G_, g_, tx_->LambdaPert);
        std::memcpy(A[n_ + 1], tang_, static_cast<std::size_t>(size_) * sizeof(double));
        if (aut_) section_row(A[n_ + 2]);
        subtract_identity(A);
        TXLinZero(tx_, size_, A, ws_, wsp_);
        add(ws_);
        if (aut_) pin();
        stepdist = step_distance();
    }

    // After each accepted point of a forced orbit: a second multiplier near +1 or -1, more
    // than ten steps after the last point of codimension two, starts a search for the next.
    // 1, or the report of an integration or spectrum that failed during the search.
    int watch(const Run &run, int steps) {
        int cd1 = 0, cd2 = 0;
        const double second = CRIT2(tx_, &cd1, &cd2);
        if (second < kSecondWindow && co2step_ + kSearchSpacing < steps)
            search(run, steps, cd1, cd2);
        return failure_ ? run.fail(__LINE__, failure_) : 1;
    }

private:
    // One period from `state` (copied into yw unless it is yw) with M starting as [I | 0]; the
    // end point is left in yw.  columns: n, or n + 2 with the parameter columns.
    bool period_map(const double *state, int columns) {
        // A correction that drives the period to 0 or below has left the curve; the
        // integrator would refuse it.
        if (!(period_ > 0.0)) return false;
        if (state != yw_) std::memcpy(yw_, state, static_cast<std::size_t>(n_) * sizeof(double));
        tx::detail::start_matrix(M_, n_, columns);
        return reported(TXVarIntegrate(tx_, &t_, t_ + period_, yw_, M_) == 1);
    }

    // The multipliers of the monodromy matrix in M (destroyed) into the record; for autonomous
    // orbits the trivial one goes last, where CRIT leaves it out.
    bool multipliers() {
        if (!record_spectrum(M_)) return false;
        if (aut_) SORTEIG(tx_->txb->er, tx_->txb->ei, n_);
        return true;
    }

    // The modulus m of the multiplier nearest the unit circle, or g = (1 + w |Im|)(m - 1),
    // which a complex pair crosses more steeply.
    double test(bool weighted) {
        int cd = 0;
        const double m = CRIT(tx_, &cd, aut_);
        return weighted ? (1.0 + weight_ * std::fabs(tx_->txb->ei[cd])) * (m - 1.0) : m;
    }

    // One period at the point with the parameter columns, whose rows [M | dP/dc] go to the
    // record's Phi; the test value, NaN when the integration or the spectrum failed.
    double at_point(bool weighted) {
        if (!period_map(y_, n_ + 2)) return kNaN;
        for (int i = 0; i < n_; ++i)
            std::memcpy(tx_->txb->Phi[i], M_[i], static_cast<std::size_t>(n_ + 2) * sizeof(double));
        return multipliers() ? test(weighted) : kNaN;
    }

    void gradient_values(bool weighted) {
        tx::detail::WithoutParameters monodromy_only(tx_);
        perturbed(tx_->LambdaPert, yw_, [&](double *state, int j) {
            G_[j] = period_map(state, n_) && multipliers() ? test(weighted) : kNaN;
        });
    }

    // The derivative of the end point with respect to the period: f there, at the end time.
    void period_column(double **A) {
        tx_->fcn(t_, yw_, f_);
        for (int i = 0; i < n_; ++i) A[i][n_ + 2] = f_[i];
    }

    // Gradient of the section in y and in the parameters at n and n + 1; not in the period.
    void section_row(double *row) {
        TXNumCutJac(tx_, t_, y_, first_parameter(), second_parameter(), row);
        row[n_ + 2] = 0.0;
    }

    void subtract_identity(double **A) {
        for (int i = 0; i < n_; ++i) A[i][i] -= 1.0;
    }

    // Moves the point along its orbit onto the section.  A point that cannot be brought there
    // is never corrected or accepted: the time is put back and the corrector run fails.
    void pin() {
        const double t = t_;
        if (!finite() || CLOSESTCUT(tx_, &t_, y_) != 1) {
            t_ = t;
            off_section_ = true;
        }
    }

    // ---- points of codimension two (forced orbits) ----

    // a = |mu1| and b = (Re mu1 - Re mu2) - (Im mu1 - Im mu2)^2 of the critical pair that
    // CRIT2 gave: a = 1 and b = 0 where both sit on the unit circle at the same place.
    void meeting(int cd1, int cd2, double &a, double &b) const {
        const double *const er = tx_->txb->er, *const ei = tx_->txb->ei;
        a = tx::detail::modulus(er, ei, cd1);
        const double dim = ei[cd1] - ei[cd2];
        b = (er[cd1] - er[cd2]) - dim * dim;
    }

    // a and b after one period from `state` (columns as period_map); false when it failed.
    bool meeting_after(const double *state, int columns, double &a, double &b) {
        if (!period_map(state, columns)) return false;
        if (columns > n_)
            for (int i = 0; i < n_; ++i)
                std::memcpy(tx_->txb->Phi[i], M_[i],
                            static_cast<std::size_t>(columns) * sizeof(double));
        if (!multipliers()) return false;
        int cd1 = 0, cd2 = 0;
        CRIT2(tx_, &cd1, &cd2);
        meeting(cd1, cd2, a, b);
        return true;
    }

    // Newton's method on the fixed-point equations with a = 1 and b = 0, from the accepted
    // point, whose corrector residual is still in ws.
    void search(const Run &run, int steps, int cd1, int cd2) {
        const tx::detail::Outputs &out = run.out;
        const TraxisBif txb = tx_->txb;
        const std::size_t bytes = static_cast<std::size_t>(n_) * sizeof(double);
        out.progress("Searching for Co-dimension 2\n");
        std::memcpy(er_, txb->er, bytes);
        std::memcpy(ei_, txb->ei, bytes);
        double a = 0.0, b = 0.0;
        meeting(cd1, cd2, a, b);
        ws_[n_] = 1.0 - a;
        ws_[n_ + 1] = -b;
        const double delta = tx_->LambdaPert;
        double **const A = txb->Phi;
        int its = 0;
        double dist = 0.0, olddist = 0.0;
        do {
            out.progress(its == 0 || dist < olddist ? ':' : '!');
            {
                tx::detail::WithoutParameters monodromy_only(tx_);
                perturbed(delta, yw_, [&](double *state, int j) {
                    double ap = kNaN, bp = kNaN;
                    meeting_after(state, n_, ap, bp);
                    A[n_][j] = (ap - a) / delta;
                    A[n_ + 1][j] = (bp - b) / delta;
                });
            }
            // Rows 0..n-1 hold [M | dP/dc] of the last evaluation at the point.
            subtract_identity(A);
            TXLinZero(tx_, size_, A, ws_, wsp_);
            add(ws_);
            olddist = dist;
            if (finite() && meeting_after(y_, n_ + 2, a, b)) {
                for (int i = 0; i < n_; ++i) ws_[i] = y_[i] - yw_[i];
                ws_[n_] = 1.0 - a;
                ws_[n_ + 1] = -b;
                dist = distance(ws_, 2, 2.0 * tx_->LambdaNewtRelTol, 2.0 * tx_->LambdaNewtAbsTol);
            } else {
                dist = kNaN;
            }
            ++its;
        } while (its < tx_->MaxNewtSteps && dist > 1.0 && (olddist == 0.0 || dist < 2.0 * olddist));
        out.progress('\n');

        if (!(dist < 1.0)) {
            // Nothing found: the last accepted point stays the current one.
            std::memcpy(y_, old_, bytes);
            *c1_ = old_[p1_];
            *c2_ = old_[p2_];
            std::memcpy(txb->er, er_, bytes);
            std::memcpy(txb->ei, ei_, bytes);
            return;
        }
        co2step_ = steps;
        out.progress(" ---- CO-DIMENSION 2 ----\n");
        tx::detail::record_parameters(tx_);
        txb->steps = steps;
        out.point(tx_);
        // Past it: the direction 2 D/|D| - tang/ltang, D the move from the last accepted point.
        difference(G_);
        const double moved = length(G_, size_);
        if (moved > 0.0 && std::isfinite(moved)) {
            for (int j = 0; j < size_; ++j) tang_[j] = 2.0 * G_[j] / moved - tang_[j] / ltang_;
            ltang_ = length(tang_, size_);
        }
        keep();
    }

    int aut_;        // 1 for autonomous orbits: the trivial multiplier is left out
    double weight_;  // w of the test function: 0 on a curve of tori
    double t_;
    double period_;
    bool off_section_ = false;  // the last prediction or correction could not be pinned
    double g_ = 0.0;            // test function at the point of the last residual
    int co2step_ = -kSearchSpacing;
    tx::detail::Block block_;
    double *yw_ = nullptr;   // integrated copy of the state: ends as the end point
    double *f_ = nullptr;    // f at the end point
    double *er_ = nullptr;   // multipliers of the accepted point during a search
    double *ei_ = nullptr;
    double *ws_ = nullptr;   // residual, then Newton correction
    double *G_ = nullptr;    // perturbed test values, or a move
    double *wsp_ = nullptr;  // solver work
    double **M_ = nullptr;   // [monodromy | parameter columns], n rows of n + 2
};

int follow(Traxis tx, double *c1, double *c2, double *dc, int mode, va_list ap, bool autonomous,
           const char *name) {
    Run run;
    if (tx::detail::begin(run, tx, dc, name) != 1) return 0;
    run.out = tx::detail::take_outputs(mode, ap);
    if (tx::detail::attach_record(run, false, autonomous ? 3 : 2) != 1) return 0;

    OrbitCurve curve(tx, c1, c2, autonomous);
    if (!curve.take_work()) return run.fail(__LINE__, TX_ERR_NO_MEMORY);
    int index[2];
    if (tx::detail::mark_parameter_pair(run, c1, c2, index) != 1) return 0;
    // Without a section every pin would fail and the first tangent would have no section row.
    if (autonomous && !tx->cut && !tx->CutSurfaceDefined)
        return run.fail(__LINE__, TX_ERR_NO_SECTION);
    // As TXNonAutoOrbit: over a period that is not positive every point would be a fixed point.
    if (!(tx->txb->T > 0.0) || std::isinf(tx->txb->T))
        return run.fail(__LINE__, TX_ERR_NEGATIVE_STEP);
    curve.place(kOrbitCurve, index);

    curve.start(run);
    curve.first_tangent(dc);
    return tx::detail::follow_curve(run, dc, curve, tx::detail::MinStep::every_run, [&](int steps) {
        return autonomous ? 1 : curve.watch(run, steps);
    });
}

}  // namespace

extern "C" int TXAuto2DCont(Traxis tx, double *c1, double *c2, double *dc, int mode, ...) {
    va_list ap;
    va_start(ap, mode);
    const int result = follow(tx, c1, c2, dc, mode, ap, true, "TXAuto2DCont");
    va_end(ap);
    return result;
}

extern "C" int TXNonAuto2DCont(Traxis tx, double *c1, double *c2, double *dc, int mode, ...) {
    va_list ap;
    va_start(ap, mode);
    const int result = follow(tx, c1, c2, dc, mode, ap, false, "TXNonAuto2DCont");
    va_end(ap);
    return result;
}
