// GSL's Prince-Dormand 8(9) and Runge-Kutta-Fehlberg 4(5) through the odeiv2 driver, which
// lands on the end time by shortening the last step.
#include <gsl/gsl_errno.h>
#include <gsl/gsl_odeiv2.h>

#include "peers.hpp"
#include "problem_list.hpp"

namespace txpeers {

namespace {

template <class P>
class GslSolver : public Solver {
public:
    GslSolver(const gsl_odeiv2_step_type *method, double rtol, double atol)
        : system_{rhs, nullptr, P::n, this},
          driver_(gsl_odeiv2_driver_alloc_y_new(&system_, method, kFirstStep, atol, rtol)) {}
    ~GslSolver() override { gsl_odeiv2_driver_free(driver_); }
    void solve(double *y) override {
        gsl_odeiv2_driver_reset_hstart(driver_, kFirstStep);  // also resets the stepper
        std::copy(P::y0.begin(), P::y0.end(), y);
        double t = P::t0;
        gsl_odeiv2_driver_apply(driver_, &t, P::t1, y);
    }

private:
    static int rhs(double t, const double y[], double f[], void *self) {
        ++static_cast<GslSolver *>(self)->evaluations;
        P::rhs(t, y, f);
        return GSL_SUCCESS;
    }
    gsl_odeiv2_system system_;
    gsl_odeiv2_driver *driver_;
};

}  // namespace

template <class P>
std::unique_ptr<Solver> make_gsl_rk8pd(double rtol, double atol) {
    return std::make_unique<GslSolver<P>>(gsl_odeiv2_step_rk8pd, rtol, atol);
}

template <class P>
std::unique_ptr<Solver> make_gsl_rkf45(double rtol, double atol) {
    return std::make_unique<GslSolver<P>>(gsl_odeiv2_step_rkf45, rtol, atol);
}

TXPEERS_FOR_EACH_PROBLEM(make_gsl_rk8pd)
TXPEERS_FOR_EACH_PROBLEM(make_gsl_rkf45)

}  // namespace txpeers
