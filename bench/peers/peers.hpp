// The integrators of the comparison behind one interface: each solves a problem from its start
// to its end at given tolerances, and counts its right-hand-side evaluations.
#pragma once

#include <memory>
#include <vector>

namespace txpeers {

// Every solver starts from the same first step guess.  Not much smaller: the library keeps a
// step whose error estimate rounds to exactly zero (Lorenz from 1e-4 stays there for 600 steps).
constexpr double kFirstStep = 1e-3;

class Solver {
public:
    virtual ~Solver() = default;
    // Writes the end state to y; everything that can be set up once is done at construction.
    virtual void solve(double *y) = 0;
    long evaluations = 0;  // counted over all solves
};

template <class P>
std::unique_ptr<Solver> make_tx(double rtol, double atol);
// TXIntegrate with the high-order pair (TXSetMethod).
template <class P>
std::unique_ptr<Solver> make_tx_high_order(double rtol, double atol);
// tx::integrate from tx.hpp with the right-hand side inlined, with either pair.
template <class P>
std::unique_ptr<Solver> make_hpp(double rtol, double atol);
template <class P>
std::unique_ptr<Solver> make_hpp_high_order(double rtol, double atol);
template <class P>
std::unique_ptr<Solver> make_reference_loop(double rtol, double atol);
// The same loop calling the right-hand side through a function pointer, as a library must.
template <class P>
std::unique_ptr<Solver> make_callback_reference_loop(double rtol, double atol);
template <class P>
std::unique_ptr<Solver> make_odeint_dopri5(double rtol, double atol);
// The same with the right-hand side behind a function pointer, as a C caller would pass it.
template <class P>
std::unique_ptr<Solver> make_odeint_dopri5_callback(double rtol, double atol);
template <class P>
std::unique_ptr<Solver> make_odeint_fehlberg78(double rtol, double atol);
template <class P>
std::unique_ptr<Solver> make_odeint_fehlberg78_callback(double rtol, double atol);
template <class P>
std::unique_ptr<Solver> make_gsl_rk8pd(double rtol, double atol);
template <class P>
std::unique_ptr<Solver> make_gsl_rkf45(double rtol, double atol);
// Verner's 6(5) table of ARKODE extended by a ninth stage equal to its sixth-order weights.
template <class P>
std::unique_ptr<Solver> make_arkode_verner(double rtol, double atol);

// ARKODE with fixed steps h from the problem's start to its end, with its stock eight-stage
// Verner table or the nine-stage extension above.
template <class P>
std::vector<double> arkode_fixed_steps(double h, bool nine_stages);

}  // namespace txpeers
