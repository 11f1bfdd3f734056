// Reference end states: the problem's right-hand side evaluated in binary128 (113-bit
// significand), integrated by Boost.Odeint's controlled Fehlberg 7(8) pair at absolute and
// relative tolerance 1e-28, and checked twice: against the same pair at 1e-24 (convergence)
// and against the Bulirsch-Stoer extrapolation method at 1e-28 (an unrelated method).
// The problems' constants are their double values, so the references solve exactly the
// problems the double-precision solvers are given.
#include "reference.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include <boost/multiprecision/float128.hpp>
#include <boost/numeric/odeint.hpp>

#include "neuron_problem.hpp"
#include "problems.hpp"

using Quad = boost::multiprecision::float128;

// Odeint descends value_type chains to find the scalar of a state; this number type names
// itself as its value_type.
template <>
struct boost::numeric::odeint::detail::extract_value_type<Quad, void> {
    using type = Quad;
};

namespace txpeers {

namespace {

namespace odeint = boost::numeric::odeint;

template <class P>
using QuadState = std::array<Quad, P::n>;

template <class P>
QuadState<P> start() {
    QuadState<P> y;
    for (int i = 0; i < P::n; ++i) y[i] = P::y0[i];  // the double values, exactly
    return y;
}

template <class P>
struct QuadSystem {
    void operator()(const QuadState<P> &y, QuadState<P> &f, Quad t) const {
        P::template rhs<Quad>(t, y.data(), f.data());
    }
};

template <class P>
using Fehlberg78 = odeint::runge_kutta_fehlberg78<QuadState<P>, Quad, QuadState<P>, Quad>;

// A right-hand side that is not smooth where y[0] changes sign (the neuron model's rectified
// square) leaves a third-derivative jump inside any step that crosses it, and both solutions of
// an embedded pair then share the same low-order error: the estimate misses it.  Every such
// crossing is made a step boundary instead.
template <class P>
constexpr bool kSmooth = true;
template <>
constexpr bool kSmooth<txbench::Neuron> = false;

template <class P>
bool crosses(const QuadState<P> &a, const QuadState<P> &b) {
    return a[0] != 0 && (a[0] < 0) != (b[0] < 0);
}

// The state where y[0] = 0 within (t, t + dt): regula falsi (Illinois) on the length of one
// Fehlberg step from (t, y).  Steps shorter than the crossing are smooth, and near the root
// the part beyond it is too short to matter.
template <class P>
QuadState<P> step_to_crossing(const QuadState<P> &y, Quad t, Quad dt, Quad &s) {
    Fehlberg78<P> rk;
    QuadState<P> out;
    Quad lo = 0, hi = dt, g_lo = y[0];
    rk.do_step(QuadSystem<P>{}, y, t, out, hi);
    Quad g_hi = out[0];
    int side = 0;
    for (int i = 0; i < 200 && hi - lo > 1e-32 * dt; ++i) {
        s = (lo * g_hi - hi * g_lo) / (g_hi - g_lo);
        rk.do_step(QuadSystem<P>{}, y, t, out, s);
        if ((out[0] < 0) == (g_lo < 0)) {
            lo = s, g_lo = out[0];
            if (side == -1) g_hi /= 2;
            side = -1;
        } else {
            hi = s, g_hi = out[0];
            if (side == 1) g_lo /= 2;
            side = 1;
        }
        if (out[0] == 0) break;
    }
    rk.do_step(QuadSystem<P>{}, y, t, out, s);
    return out;
}

// From t0 to t1 with a controlled stepper, landing on t1 exactly.
template <class P, class Stepper>
QuadState<P> integrate(Stepper &&stepper, long &steps) {
    auto y = start<P>();
    Quad t = P::t0, dt = 1e-4;
    const Quad t1 = P::t1;
    steps = 0;
    while (t < t1) {
        if (t + dt > t1) dt = t1 - t;
        const auto y_before = y;
        const Quad t_before = t;
        if (stepper.try_step(QuadSystem<P>{}, y, t, dt) != odeint::success) continue;
        ++steps;
        if constexpr (!kSmooth<P>) {
            if (crosses<P>(y_before, y)) {
                Quad s;
                y = step_to_crossing<P>(y_before, t_before, t - t_before, s);
                t = t_before + s;  // neither stepper carries derivatives between steps
            }
        }
    }
    return y;
}

template <class P>
QuadState<P> fehlberg(double tol, long &steps) {
    return integrate<P>(odeint::make_controlled(Quad(tol), Quad(tol), Fehlberg78<P>()), steps);
}

template <class P>
QuadState<P> extrapolation(double tol) {
    long steps;
    return integrate<P>(odeint::bulirsch_stoer<QuadState<P>, Quad>{Quad(tol), Quad(tol)}, steps);
}

template <class P>
double quad_distance(const QuadState<P> &a, const QuadState<P> &b) {
    Quad diff = 0, size = 0;
    for (int i = 0; i < P::n; ++i) {
        diff = std::max(diff, Quad(abs(a[i] - b[i])));
        size = std::max(size, Quad(abs(b[i])));
    }
    return static_cast<double>(diff / size);
}

}  // namespace

template <class P>
Reference reference_solution() {
    Reference r;
    long coarse_steps = 0;
    const auto y = fehlberg<P>(1e-28, r.steps);
    r.tolerance_difference = quad_distance<P>(fehlberg<P>(1e-24, coarse_steps), y);
    r.method_difference = quad_distance<P>(extrapolation<P>(1e-28), y);
    for (const Quad &x : y) r.y.push_back(static_cast<double>(x));
    return r;
}

double relative_error(const double *a, const std::vector<double> &b) {
    double diff = 0.0, size = 0.0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        diff = std::max(diff, std::fabs(a[i] - b[i]));
        size = std::max(size, std::fabs(b[i]));
    }
    return diff / size;
}

template Reference reference_solution<txbench::Lorenz>();
template Reference reference_solution<txbench::Arenstorf>();
template Reference reference_solution<txbench::VanDerPol>();
template Reference reference_solution<txbench::Neuron>();

}  // namespace txpeers
