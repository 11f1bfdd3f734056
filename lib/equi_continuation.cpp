// One-parameter continuation of equilibria: tangent predictor, Newton corrector bordered by
// the predicted direction, step control by the turning of the tangent and the change of the
// critical eigenvalue, and location of the folds and Hopf points met on the way.  The only
// continuation that also traces its progress on standard output.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "detail/branch.hpp"
#include "detail/continuation.hpp"
#include "detail/newton.hpp"
#include "detail/parameters.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::Run;

namespace {

constexpr const char *kName = "TXEquiCont";
constexpr int kEquilibriumRun = 3;
constexpr double kFactorCap = 1.4142;

// The branch of equilibria through the point y at the parameter *c, with the work vectors of
// one call.  Evaluations are always at time 0.
class EquiBranch : public tx::detail::ParameterBranch {
public:
    EquiBranch(Traxis tx, double *y, double *c) : ParameterBranch(tx, y, c) {}

    // The list index of the continuation parameter, for its column of df/dp.
    void set_parameter(int k) { k_ = k; }

    // One block for everything; false -> code 3.
    bool take_work() {
        const std::size_t n = static_cast<std::size_t>(n_), m = n + 1;
        const std::size_t np = static_cast<std::size_t>(tx_->nparam);
        if (!block_.take(2 * n, m + 2 * m + 5 * n + n * m + n * np)) return false;
        ws_ = block_.vector(m);
        wsp_ = block_.vector(2 * m);
        oldy_ = block_.vector(n);
        er_ = block_.vector(n);
        ei_ = block_.vector(n);
        tang_ = block_.vector(n);
        oldtang_ = block_.vector(n);
        J_ = block_.matrix(n, m);
        P_ = block_.matrix(n, np);
        return true;
    }

    // f, J and df/dc at the current point; column n of the bordered rows is df/dc.
    void evaluate() {
        tx_->fcn(0.0, y_, ws_);
        jacobians();
    }

    // Predictor.  The signed step is the Euclidean length of the predicted move of the state;
    // the parameter moves by dc / ltang.
    void predict(double dc) {
        std::printf("\t\tTrying to predict. dummy == %lf, *dc == %lf, ltang == %lf\n", dummy_, dc,
                    ltang_);
        predict_point(dc);
        std::printf("\t\tpar[0](%lf) = oldc(%lf) + dummy(%lf)\n", *c_, oldc_, dummy_);
    }

    bool moves(double dc) const { return prediction(dc).moves(); }

    double residual() {
        tx_->fcn(0.0, y_, ws_);
        for (int i = 0; i < n_; ++i) ws_[i] = -ws_[i];
        return tx::detail::weighted_distance(ws_, y_, n_, tx_->NewtRelTol, tx_->NewtAbsTol);
    }

    // The Jacobians are taken on every iteration, the converged one included: the eigenvalues
    // and the tangent use those of the converged point.
    void correct(double dist, double &stepdist) {
        jacobians();
        if (!(dist > 1.0)) return;
        // The last row keeps the correction orthogonal to the predicted direction (tang, 1).
        double **const A = tx_->txb->Phi;
        copy_bordered_rows(A);
        for (int i = 0; i < n_; ++i) A[n_][i] = dummy_ * tang_[i];
        A[n_][n_] = dummy_;
        ws_[n_] = 0.0;
        TXLinZero(tx_, n_ + 1, A, ws_, wsp_);
        for (int i = 0; i < n_; ++i) y_[i] += ws_[i];
        *c_ += ws_[n_];
        stepdist = step_distance();
    }

    // Spectrum of J: the number of eigenvalues with negative real part, and the real part
    // closest to 0 (the first of equals).
    void eigenvalues() {
        std::printf("\t\t\t Calculating eigenvalues... ");
        double **const A = tx_->txb->Phi;
        for (int i = 0; i < n_; ++i)
            std::memcpy(A[i], J_[i], static_cast<std::size_t>(n_) * sizeof(double));
        TXEigen(tx_, n_, A, er_, ei_);
        ns_ = 0;
        for (int i = 0; i < n_; ++i)
            if (er_[i] < 0.0) ++ns_;
        eigcrit_ = er_[0];
        for (int i = 1; i < n_; ++i)
            if (std::fabs(er_[i]) < std::fabs(eigcrit_)) eigcrit_ = er_[i];
        std::puts("done");
    }

    // tang = dy/dc along the branch: J tang = -df/dc.
    void tangent() {
        std::printf("\t\t\t Calculating tangent (par[0] == %lf)... ", *c_);
        double **const A = tx_->txb->Phi;
        copy_bordered_rows(A);
        for (int i = 0; i < n_; ++i) tang_[i] = -A[i][n_];
        std::printf("Calling TXLinZero... ");
        TXLinZero(tx_, n_, A, tang_, wsp_);
        std::printf("OK ");
        double sum = 0.0;
        for (int i = 0; i < n_; ++i) sum += tang_[i] * tang_[i];
        ltang_ = std::sqrt(sum);
        std::printf("done(ltang == %lf)\n", ltang_);
    }

    int failure() const { return 0; }  // f can always be evaluated

    // The cosine of the angle between the extended tangents (tang, 1) and (oldtang, 1).
    double turning_cosine() const {
        return extended_product() /
               (std::sqrt(ltang_ * ltang_ + 1.0) * std::sqrt(loldtang_ * loldtang_ + 1.0));
    }

    void accept(int steps) { keep(steps); }

private:

    void jacobians() {
        tx::detail::state_jacobian(tx_, 0.0, y_, J_);
        tx::detail::parameter_jacobian(tx_, 0.0, y_, P_);
        for (int i = 0; i < n_; ++i) J_[i][n_] = P_[i][k_];
    }

    void copy_bordered_rows(double **A) const {
        for (int i = 0; i < n_; ++i)
            std::memcpy(A[i], J_[i], static_cast<std::size_t>(n_ + 1) * sizeof(double));
    }

    int k_ = 0;
    tx::detail::Block block_;
    double **J_ = nullptr;  // [df/dy | df/dc], n rows of n + 1
    double **P_ = nullptr;  // df/dp for all registered parameters
};

}  // namespace

extern "C" int TXEquiCont(Traxis tx, double *y, double *c, double *dc, int nrbif, int mode, ...) {
    Run run;
    if (tx::detail::begin(run, tx, dc, kName) != 1) return 0;
    va_list ap;
    va_start(ap, mode);
    run.out = tx::detail::take_outputs(mode, ap);
    va_end(ap);
    std::printf("\t\tIn TXEquiCont(...) function. Current parameter value is %lf\n", *c);

    if (tx::detail::attach_record(run, true, 1) != 1) return 0;
    const TraxisBif txb = tx->txb;
    EquiBranch branch(tx, y, c);
    if (!branch.take_work()) return run.fail(__LINE__, TX_ERR_NO_MEMORY);
    std::puts("\t\t\tMemory is allocated");

    txb->biftype = TX_BIF_NOT_DETERMINED;
    txb->cindi[0] = kEquilibriumRun;
    const int k = tx::detail::mark_parameter(tx, c);
    if (k < 0) return run.fail(__LINE__, TX_ERR_NPARAM);
    txb->cindi[1] = k;
    branch.set_parameter(k);

    if (TXEquiPoint(tx, y) != 1) return run.fail(__LINE__, tx->ErrorCode);
    std::printf(
        "\t\t\tVariables are initialized, the parameter value is %lf\n"
        "\t\t\tThe main loop is started\n",
        *c);

    const auto &out = run.out;
    bool first = true;
    int steps = 0, nbifs = 0;
    double orth = 0.0;
    do {
        std::printf("\t\tChecking if(!first)...");
        if (first) {
            // The first point is the equilibrium just found: no prediction, no correction.
            std::printf("first.");
            branch.evaluate();
            std::printf(" Parameter value is %lf\n", *c);
        } else {
            std::puts("Not first!");
            if (tx::detail::corrected_step(run, dc, branch, tx::detail::MinStep::every_run) != 1)
                return 0;
        }
        int res = 1;
        branch.eigenvalues();
        branch.tangent();

        if (!first) {
            std::puts("\t\tIt's !first");
            orth = branch.fold_measure();
            if (orth > 1.0 || branch.stability_changed()) {
                // A fold or a change of stability lies between this point and the last one.
                out.progress("Searching for bifurcation ");
                std::memcpy(txb->y, y, static_cast<std::size_t>(tx->order) * sizeof(double));
                const double kept = *c;
                std::printf("\t\tParameter value before bifurcation allocation %lf\n", *c);
                std::printf("\t\tLocating a bifurcation. Current parameter value is %lf\n", *c);
                res = TXLocateEquiBif(tx, txb, c, out.state);
                if (res == 1) {
                    std::printf("\t\tThe bifurcation is located at %lf\n", *c);
                    res = TXCheckEquiBif(tx, txb, c, *dc, out.state);
                }
                if (res == 1) {
                    ++nbifs;
                    out.bifurcation(tx);
                    if (nbifs == nrbif) {
                        std::printf("\t\tnbifs == nrbif == %d. Finish.\n", nbifs);
                        *c = kept;
                        return run.succeed();
                    }
                }
                *c = kept;
            } else {
                std::puts("\t\tTrying to adjust step");
                tx::detail::adapt_step(run, dc, branch.turning_cosine(), branch.eigcrit(),
                                       branch.lasteigcrit(), kFactorCap);
                std::puts("\t\t\t Step is adjusted");
            }
        }

        if (res == 1) {
            if (orth > 1.0) *dc = -*dc;  // past a fold the branch runs back in the parameter
            branch.accept(steps);
            out.point(tx);
        } else {
            // Location or check failed: predict again from the last accepted point.
            std::puts("\t\t\t Warning! TX is not OK!");
            if (tx::detail::halve(run, dc, branch) != 1) return 0;
        }
        std::puts("\t\tSetting first = 0");
        first = false;
        ++steps;
    } while (steps < tx->MaxContSteps && (nrbif == 0 || nbifs < nrbif));

    std::printf("\t\t\tThe main loop is done with steps == %d, nbifs == %d, nrbif == %d\n", steps,
                nbifs, nrbif);
    return run.succeed();
}
