// Two-parameter continuation of folds and Hopf points of equilibria: the curve in (y, c1, c2)
// where f(y) = 0 and the real part of the eigenvalue nearest the imaginary axis (EQUICRIT)
// vanishes.  Its derivatives are forward differences over n + 2 Jacobians and spectra.
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "detail/continuation.hpp"
#include "detail/curve.hpp"
#include "detail/newton.hpp"
#include "detail/work.hpp"
#include "tx.h"

using tx::detail::Run;

namespace {

constexpr const char *kName = "TXEqui2DCont";
constexpr int kEquilibriumCurve = 4;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The curve through the record's point, evaluated at the record's time.
class EquiCurve : public tx::detail::Curve {
public:
    EquiCurve(Traxis tx, double *c1, double *c2)
        : Curve(tx, tx->txb->y, c1, c2, nullptr), t_(tx->txb->t) {}

    // One block for everything; false -> code 3.
    bool take_work() {
        const std::size_t n = static_cast<std::size_t>(n_), m = n + 2;
        const std::size_t np = static_cast<std::size_t>(tx_->nparam);
        if (!block_.take(2 * n, doubles(n_, false) + n + 4 * m + n * m + n * np)) return false;
        take(block_);
        yw_ = block_.vector(n);
        ws_ = block_.vector(m);
        G_ = block_.vector(m);
        wsp_ = block_.vector(2 * m);
        J_ = block_.matrix(n, m);
        P_ = block_.matrix(n, np);
        return true;
    }

    // index: the list indices of c1 and c2.
    void set_parameters(const int index[2]) {
        place(kEquilibriumCurve, index);
        k1_ = index[0];
        k2_ = index[1];
    }

    // The tangent that moves the parameter registered later at unit rate.
    void first_tangent(double *dc) {
        perturbed_values();
        const double e = at_point();
        difference_row(tx_->txb->Phi[n_], G_, e, tx_->LambdaPert);
        tangent_with_last_free(tx_->txb->Phi, wsp_);
        orient(dc);
    }

    double residual() {
        if (failure_ || !finite()) return kNaN;
        e_ = at_point();
        for (int i = 0; i < n_; ++i) ws_[i] = -ws_[i];
        ws_[n_] = -e_;
        ws_[n_ + 1] = 0.0;
        return distance(ws_, 1, tx_->LambdaNewtRelTol, tx_->LambdaNewtAbsTol);
    }

    // The last row keeps the correction orthogonal to the predictor direction.
    void correct(double dist, double &stepdist) {
        if (!(dist > 1.0)) return;
        double **const A = tx_->txb->Phi;
        perturbed_values();
        difference_row(A[n_], G_, e_, tx_->LambdaPert);
        std::memcpy(A[n_ + 1], tang_, static_cast<std::size_t>(size_) * sizeof(double));
        TXLinZero(tx_, size_, A, ws_, wsp_);
        add(ws_);
        stepdist = step_distance();
    }

private:
    // EQUICRIT of the Jacobian in J_ (destroyed), NaN when there is no spectrum.
    double test() {
        int cd = 0;
        return record_spectrum(J_) ? EQUICRIT(tx_, &cd) : kNaN;
    }

    // f into ws, the bordered rows [df/dy | df/dc at the parameters' positions] into the
    // record's Phi, and the test function.
    double at_point() {
        tx_->fcn(t_, y_, ws_);
        tx::detail::state_jacobian(tx_, t_, y_, J_);
        tx::detail::parameter_jacobian(tx_, t_, y_, P_);
        double **const A = tx_->txb->Phi;
        for (int i = 0; i < n_; ++i) {
            J_[i][p1_] = P_[i][k1_];
            J_[i][p2_] = P_[i][k2_];
            std::memcpy(A[i], J_[i], static_cast<std::size_t>(size_) * sizeof(double));
        }
        return test();
    }

    void perturbed_values() {
        perturbed(tx_->LambdaPert, yw_, [this](double *state, int j) {
            tx::detail::state_jacobian(tx_, t_, state, J_);
            G_[j] = test();
        });
    }

    double t_;
    int k1_ = 0, k2_ = 0;  // list indices of c1 and c2, for their columns of df/dp
    double e_ = 0.0;       // test function at the point of the last residual
    tx::detail::Block block_;
    double *yw_ = nullptr;   // perturbed state
    double *ws_ = nullptr;   // residual, then Newton correction
    double *G_ = nullptr;    // perturbed test values
    double *wsp_ = nullptr;  // solver work
    double **J_ = nullptr;   // [df/dy | df/dc1, df/dc2], n rows of n + 2
    double **P_ = nullptr;   // df/dp for all registered parameters
};

}  // namespace

extern "C" int TXEqui2DCont(Traxis tx, double *c1, double *c2, double *dc, int mode, ...) {
    Run run;
    if (tx::detail::begin(run, tx, dc, kName) != 1) return 0;
    va_list ap;
    va_start(ap, mode);
    run.out = tx::detail::take_outputs(mode, ap);
    va_end(ap);
    if (tx::detail::attach_record(run, false, 2) != 1) return 0;

    EquiCurve curve(tx, c1, c2);
    if (!curve.take_work()) return run.fail(__LINE__, TX_ERR_NO_MEMORY);
    int index[2];
    if (tx::detail::mark_parameter_pair(run, c1, c2, index) != 1) return 0;
    curve.set_parameters(index);

    curve.start(run);
    curve.first_tangent(dc);
    return tx::detail::follow_curve(run, dc, curve, tx::detail::MinStep::after_failure,
                                    [](int) { return 1; });
}
