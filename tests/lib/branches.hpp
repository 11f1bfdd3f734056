// Systems with one parameter and equilibrium branches known in closed form, for the
// bifurcation and continuation tests.  Each thread has its own parameter values, so handles
// in separate threads follow separate branches.
#pragma once

#include <cmath>

#include "tx.h"

namespace txtest {

// Lorenz system, sigma = 10, b = 8/3, parameter rho.  The nonzero equilibria
// (±sqrt(b(rho - 1)), ±sqrt(b(rho - 1)), rho - 1) lose stability in a Hopf bifurcation at
// rho = sigma (sigma + b + 3) / (sigma - b - 1) = 470/19.
inline thread_local double g_rho = 15.0;
constexpr double kSigma = 10.0, kB = 8.0 / 3.0;
constexpr double kRhoHopf = kSigma * (kSigma + kB + 3.0) / (kSigma - kB - 1.0);

inline void lorenz(double, double *y, double *f) {
    f[0] = kSigma * (y[1] - y[0]);
    f[1] = y[0] * (g_rho - y[2]) - y[1];
    f[2] = y[0] * y[1] - kB * y[2];
}
inline void lorenz_jac(double, double *y, double **J) {
    J[0][0] = -kSigma, J[0][1] = kSigma, J[0][2] = 0.0;
    J[1][0] = g_rho - y[2], J[1][1] = -1.0, J[1][2] = -y[0];
    J[2][0] = y[1], J[2][1] = y[0], J[2][2] = -kB;
}
inline void lorenz_rho_jac(double, double *y, double **P) {
    P[0][0] = 0.0;
    P[1][0] = y[0];
    P[2][0] = 0.0;
}
inline void lorenz_equilibrium(double rho, double *y) {
    y[0] = y[1] = std::sqrt(kB * (rho - 1.0));
    y[2] = rho - 1.0;
}

// x' = mu + x - x^3, y' = -y: equilibria on mu = x^3 - x, folds at x = ±1/sqrt 3, where
// mu = ∓2/(3 sqrt 3).
inline thread_local double g_mu = 0.0;
inline const double kMuFold = 2.0 / (3.0 * std::sqrt(3.0));

inline void cubic(double, double *y, double *f) {
    f[0] = g_mu + y[0] - y[0] * y[0] * y[0];
    f[1] = -y[1];
}
inline void cubic_jac(double, double *y, double **J) {
    J[0][0] = 1.0 - 3.0 * y[0] * y[0], J[0][1] = 0.0;
    J[1][0] = 0.0, J[1][1] = -1.0;
}
inline void cubic_mu_jac(double, double *, double **P) {
    P[0][0] = 1.0;
    P[1][0] = 0.0;
}

// x' = a x - w y, y' = w x + a y: eigenvalues a ± i w at the equilibrium 0 for every a.
inline thread_local double g_a = 0.0;
constexpr double kOmega = 2.0;

inline void focus(double, double *y, double *f) {
    f[0] = g_a * y[0] - kOmega * y[1];
    f[1] = kOmega * y[0] + g_a * y[1];
}

// x' = mu - x^2, y' = -y: a fold at the origin with mu = 0.
inline void quadratic(double, double *y, double *f) {
    f[0] = g_mu - y[0] * y[0];
    f[1] = -y[1];
}

}  // namespace txtest
