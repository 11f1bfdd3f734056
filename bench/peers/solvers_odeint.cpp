// Boost.Odeint's controlled Dormand-Prince 5(4) and Fehlberg 7(8) steppers on fixed-size
// states (no allocation), landing on the end time by shortening the last step; each with the
// right-hand side inlined and behind a function pointer.
#include <array>

#include <boost/numeric/odeint.hpp>

#include "peers.hpp"
#include "problem_list.hpp"

namespace txpeers {

namespace {

namespace odeint = boost::numeric::odeint;

using Rhs = void (*)(double, const double *, double *);

template <class P>
void counted_rhs(double t, const double *y, double *f, long *count) {
    ++*count;
    P::rhs(t, y, f);
}

// Through a function pointer the compiler cannot see through, as from C or another language.
template <class P>
void callback_rhs(double t, const double *y, double *f, long *count) {
    static Rhs volatile pointer = P::rhs;
    ++*count;
    pointer(t, y, f);
}

template <class P, template <class...> class Method,
          void (*Call)(double, const double *, double *, long *) = counted_rhs<P>>
class OdeintSolver : public Solver {
public:
    OdeintSolver(double rtol, double atol) : rtol_(rtol), atol_(atol) {}
    void solve(double *y) override {
        using State = std::array<double, P::n>;
        State x = P::y0;
        long *const count = &evaluations;
        auto system = [count](const State &u, State &f, double t) {
            Call(t, u.data(), f.data(), count);
        };
        odeint::integrate_adaptive(odeint::make_controlled(atol_, rtol_, Method<State>()),
                                   system, x, P::t0, P::t1, kFirstStep);
        std::copy(x.begin(), x.end(), y);
    }

private:
    double rtol_, atol_;
};

template <class State>
using Dopri5 = odeint::runge_kutta_dopri5<State>;
template <class State>
using Fehlberg78 = odeint::runge_kutta_fehlberg78<State>;

}  // namespace

template <class P>
std::unique_ptr<Solver> make_odeint_dopri5(double rtol, double atol) {
    return std::make_unique<OdeintSolver<P, Dopri5>>(rtol, atol);
}

template <class P>
std::unique_ptr<Solver> make_odeint_dopri5_callback(double rtol, double atol) {
    return std::make_unique<OdeintSolver<P, Dopri5, callback_rhs<P>>>(rtol, atol);
}

template <class P>
std::unique_ptr<Solver> make_odeint_fehlberg78(double rtol, double atol) {
    return std::make_unique<OdeintSolver<P, Fehlberg78>>(rtol, atol);
}

TXPEERS_FOR_EACH_PROBLEM(make_odeint_dopri5)
TXPEERS_FOR_EACH_PROBLEM(make_odeint_dopri5_callback)
template <class P>
std::unique_ptr<Solver> make_odeint_fehlberg78_callback(double rtol, double atol) {
    return std::make_unique<OdeintSolver<P, Fehlberg78, callback_rhs<P>>>(rtol, atol);
}

TXPEERS_FOR_EACH_PROBLEM(make_odeint_fehlberg78)
TXPEERS_FOR_EACH_PROBLEM(make_odeint_fehlberg78_callback)

}  // namespace txpeers
