// One-parameter continuation of periodic orbits on the return map over one period: autonomous
// orbits (period unknown, pinned by the section) and periodically forced ones (period fixed).
// The residual is a point minus its image after one period, its derivatives come from the
// variational equations, stability from the Floquet multipliers; the skeleton does the rest.
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "detail/branch.hpp"
#include "detail/continuation.hpp"
#include "detail/multipliers.hpp"
#include "detail/newton.hpp"
#include "detail/parameters.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::copy_values;
using tx::detail::Run;

namespace {

constexpr int kOrbitRun = 1;

// The branch of periodic orbits through the point y at time *t, the parameter *c and the
// period *T, with the work vectors of one call.  Autonomous orbits also carry the period as an
// unknown (the last component of the tangent) and return to the section before each residual.
class OrbitBranch : public tx::detail::ParameterBranch {
public:
    // A fold of an autonomous branch also shows as one tangent component keeping its sign.
    OrbitBranch(Traxis tx, double *t, double *y, double *c, double *T, bool autonomous)
        : ParameterBranch(tx, y, c, autonomous ? 1 : 0), a_(autonomous ? 1 : 0), t_(t), T_(T) {}

    // One block for everything; false -> code 3.
    bool take_work() {
        const std::size_t n = static_cast<std::size_t>(n_), a = static_cast<std::size_t>(a_);
        if (!block_.take(n, n * (n + 10) + 3 + 4 * a)) return false;
        ws_ = block_.vector(n + 1 + a);
        wsp_ = block_.vector(2 * (n + 1 + a));
        oldy_ = block_.vector(n);
        er_ = block_.vector(n);
        ei_ = block_.vector(n);
        tang_ = block_.vector(n + a);
        oldtang_ = block_.vector(n);
        yw_ = block_.vector(n);
        Phi_ = block_.matrix(n, n + 1);
        return true;
    }
    double **monodromy() { return Phi_; }

    // The first point: the orbit just found needs no correction, only its period map.
    bool evaluate() { return period_map(); }

    void predict(double dc) {
        predict_point(dc);
        if (a_) *T_ = oldT_ + dummy_ * tang_[n_];
    }

    bool moves(double dc) const {
        tx::detail::Prediction p = prediction(dc);
        if (a_) p.add(&oldT_, tang_ + n_, 1, dc / ltang_);
        return p.moves();
    }

    double residual() {
        if (a_ && !CLOSESTCUT(tx_, t_, y_)) failure_ = tx::detail::failure_code(tx_);
        if (failure_ || !period_map()) return std::numeric_limits<double>::quiet_NaN();
        for (int i = 0; i < n_; ++i) ws_[i] = y_[i] - yw_[i];
        return tx::detail::weighted_distance(ws_, y_, n_, tx_->NewtRelTol, tx_->NewtAbsTol);
    }
    int failure() const { return failure_; }

    void correct(double dist, double &stepdist) {
        if (!(dist > 1.0)) return;
        // Rows [monodromy - I | parameter column | (autonomous) the flow at the end point,
        // the derivative with respect to the period]; the next row keeps the correction
        // orthogonal to the predicted direction and, for autonomous orbits, the last one to the
        // flow at the start point (the phase condition).
        double **const A = tx_->txb->Phi;
        bordered_rows(A);
        if (a_) {
            tx_->fcn(*t_, yw_, wsp_);
            for (int i = 0; i < n_; ++i) A[i][n_ + 1] = wsp_[i];
        }
        for (int i = 0; i < n_; ++i) A[n_][i] = dummy_ * tang_[i];
        A[n_][n_] = dummy_;
        ws_[n_] = 0.0;
        if (a_) {
            A[n_][n_ + 1] = 0.0;
            tx_->fcn(*t_, y_, A[n_ + 1]);
            A[n_ + 1][n_] = A[n_ + 1][n_ + 1] = 0.0;
            ws_[n_ + 1] = 0.0;
        }
        TXLinZero(tx_, n_ + 1 + a_, A, ws_, wsp_);
        for (int i = 0; i < n_; ++i) y_[i] += ws_[i];
        *c_ += ws_[n_];
        if (a_) *T_ += ws_[n_ + 1];
        stepdist = step_distance();
    }

    // Floquet multipliers, the trivial one of an autonomous orbit moved last and left out.  ns
    // counts those inside the unit circle; eigcrit is the modulus nearest to 1 after folding
    // the first multiplier out of the circle when inside and the others in when outside.
    void multipliers() {
        double **const A = tx_->txb->Phi;
        for (int i = 0; i < n_; ++i) copy_values(A[i], Phi_[i], n_);
        TXEigen(tx_, n_, A, er_, ei_);
        if (a_) SORTEIG(er_, ei_, n_);
        double m = modulus(0);
        ns_ = m < 1.0 ? 1 : 0;
        eigcrit_ = m < 1.0 ? 1.0 / m : m;
        for (int i = 1; i < n_ - a_; ++i) {
            m = modulus(i);
            if (m < 1.0) ++ns_;
            if (m > 1.0) m = 1.0 / m;
            if (std::fabs(1.0 - m) < std::fabs(1.0 - eigcrit_)) eigcrit_ = m;
        }
    }

    // tang = dy/dc along the branch from (monodromy - I) tang = -d(end point)/dc; autonomous
    // orbits border it with the flow at the point and add dT/dc as the last component.  The
    // length of an autonomous tangent counts the parameter direction, not the period.
    void tangent() {
        double **const A = tx_->txb->Phi;
        bordered_rows(A);
        for (int i = 0; i < n_; ++i) tang_[i] = -A[i][n_];
        if (a_) {
            tx_->fcn(*t_, y_, A[n_]);
            for (int i = 0; i < n_; ++i) A[i][n_] = A[n_][i];
            tang_[n_] = 0.0;
            A[n_][n_] = 0.0;
        }
        TXLinZero(tx_, n_ + a_, A, tang_, wsp_);
        double sum = a_ ? 1.0 : 0.0;
        for (int i = 0; i < n_; ++i) sum += tang_[i] * tang_[i];
        ltang_ = std::sqrt(sum);
    }

    // Cosine of the angle between the extended tangents (tang, 1) and (oldtang, 1), whose
    // lengths an autonomous tangent already holds.
    double turning_cosine() const {
        const double s = extended_product();
        if (a_) return s / (ltang_ * loldtang_);
        return s / (std::sqrt(ltang_ * ltang_ + 1.0) * std::sqrt(loldtang_ * loldtang_ + 1.0));
    }

    // The unit direction (state, parameter) in which the branch left the last accepted point
    // with the step dc: the side from which a bifurcation beyond it was reached.
    void arrival(double dc, double *direction) const {
        double sum = 1.0;
        for (int i = 0; i < n_; ++i) sum += oldtang_[i] * oldtang_[i];
        const double scale = (dc < 0.0 ? -1.0 : 1.0) / std::sqrt(sum);
        for (int i = 0; i < n_; ++i) direction[i] = oldtang_[i] * scale;
        direction[n_] = scale;
    }

    // The point becomes the last accepted one and goes into the record, with its period.
    void accept(int steps) {
        keep(steps);
        oldT_ = *T_;
        tx_->txb->T = *T_;
    }

private:
    double modulus(int i) const { return tx::detail::modulus(er_, ei_, i); }

    // The image yw of y after one period and the monodromy matrix with its parameter column.
    bool period_map() {
        copy_values(yw_, y_, n_);
        tx::detail::start_matrix(Phi_, n_, n_ + 1);
        if (TXVarIntegrate(tx_, t_, *t_ + *T_, yw_, Phi_) == 1) return true;
        failure_ = tx::detail::failure_code(tx_);
        return false;
    }

    void bordered_rows(double **A) const {
        for (int i = 0; i < n_; ++i) {
            copy_values(A[i], Phi_[i], n_ + 1);
            A[i][i] -= 1.0;
        }
    }

    int a_;  // 1 for autonomous orbits
    double *t_;
    double *T_;
    tx::detail::Block block_;
    // wsp_ also holds the flow at the end point before the solve; tang_ holds dy/dc, then
    // (autonomous) dT/dc.
    double *yw_ = nullptr;    // end point of the period map
    double **Phi_ = nullptr;  // [monodromy | d(end point)/dc], n rows of n + 1
    int failure_ = 0;
    double oldT_ = 0.0;
};

// What differs between the two entry points besides the branch.
struct OrbitKind {
    const char *name;
    bool autonomous;
    int turns;  // p of an autonomous orbit: its section crossings come in 2p per period
    double factor_cap;
};

int continue_orbits(const OrbitKind &kind, Traxis tx, double t, double *y, double *T, double *c,
                    double *dc, int nrbif, int mode, va_list ap) {
    Run run;
    if (tx::detail::begin(run, tx, dc, kind.name) != 1) return 0;
    run.out = tx::detail::take_outputs(mode, ap);
    const bool autonomous = kind.autonomous;
    if (tx::detail::attach_record(run, true, autonomous ? 2 : 1) != 1) return 0;
    const TraxisBif txb = tx->txb;
    OrbitBranch branch(tx, &t, y, c, T, autonomous);
    if (!branch.take_work()) return run.fail(__LINE__, TX_ERR_NO_MEMORY);

    txb->biftype = TX_BIF_NOT_DETERMINED;
    txb->cindi[0] = kOrbitRun;
    const int k = tx::detail::mark_parameter(tx, c);
    if (k < 0) return run.fail(__LINE__, TX_ERR_NPARAM);
    txb->cindi[1] = k;

    if (autonomous) {
        if (TXAutoOrbit(tx, t, y, branch.monodromy(), kind.turns, T) != 1 ||
            CLOSESTCUT(tx, &t, y) != 1)
            return run.fail(__LINE__, tx::detail::failure_code(tx));
    } else if (TXNonAutoOrbit(tx, t, y, branch.monodromy(), *T) != 1) {
        return run.fail(__LINE__, tx::detail::failure_code(tx));
    }

    const auto &out = run.out;
    const std::size_t n = static_cast<std::size_t>(tx->order);
    bool first = true;
    int steps = 0, nbifs = 0;
    double orth = 0.0;
    do {
        if (first) {
            if (!branch.evaluate()) return run.fail(__LINE__, branch.failure());
        } else if (tx::detail::corrected_step(run, dc, branch, tx::detail::MinStep::every_run) !=
                   1) {
            return 0;
        }
        int res = 1;
        branch.multipliers();
        branch.tangent();

        if (!first) {
            orth = branch.fold_measure();
            if (orth > 1.0 || branch.stability_changed()) {
                out.progress("Searching for bifurcation ");
                std::memcpy(txb->y, y, n * sizeof(double));
                txb->t = t;
                txb->T = *T;
                const double kept = *c;
                res = TXLocateBif(tx, txb, c, autonomous ? kind.turns : 0, out.state);
                if (res == 1) {
                    branch.arrival(*dc, txb->intang);
                    if (tx->CheckBifs) {
                        out.progress(" Checking bifurcation ");
                        res = TXCheckBif(tx, txb, c, *dc, autonomous ? 1 : 0, out.state);
                    }
                }
                if (res == 1) {
                    ++nbifs;
                    out.bifurcation(tx);
                    // The last one stays as located: a two-parameter run starts from it.
                    if (nbifs == nrbif) return run.succeed();
                }
                *c = kept;
            } else {
                tx::detail::adapt_step(run, dc, branch.turning_cosine(), branch.eigcrit(),
                                       branch.lasteigcrit(), kind.factor_cap);
            }
        }

        if (res == 1) {
            if (orth > 1.0) *dc = -*dc;  // past a fold the branch runs back in the parameter
            branch.accept(steps);
            out.point(tx);
        } else if (tx::detail::halve(run, dc, branch) != 1) {
            return 0;
        }
        first = false;
        ++steps;
    } while (steps < tx->MaxContSteps && (nrbif == 0 || nbifs < nrbif));
    return run.succeed();
}

}  // namespace

extern "C" int TXAutoCont(Traxis tx, double t, double *y, int p, double *T, double *c, double *dc,
                          int nrbif, int mode, ...) {
    va_list ap;
    va_start(ap, mode);
    const int status =
        continue_orbits({"TXAutoCont", true, p, 1.41}, tx, t, y, T, c, dc, nrbif, mode, ap);
    va_end(ap);
    return status;
}

extern "C" int TXNonAutoCont(Traxis tx, double t, double *y, double T, double *c, double *dc,
                             int nrbif, int mode, ...) {
    va_list ap;
    va_start(ap, mode);
    const int status =
        continue_orbits({"TXNonAutoCont", false, 0, 1.4142}, tx, t, y, &T, c, dc, nrbif, mode, ap);
    va_end(ap);
    return status;
}
