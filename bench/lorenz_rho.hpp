// Lorenz (sigma = 10, b = 8/3) with rho a registered parameter, and its Jacobians, for the
// benchmarks of the variational equations and of continuation.
#pragma once

namespace txbench {

inline double g_rho = 28.0;

inline void lorenz_rho(double, double *y, double *f) {
    f[0] = 10.0 * (y[1] - y[0]);
    f[1] = y[0] * (g_rho - y[2]) - y[1];
    f[2] = y[0] * y[1] - 8.0 / 3.0 * y[2];
}

inline void lorenz_rho_jacobian(double, double *y, double **J) {
    J[0][0] = -10.0, J[0][1] = 10.0, J[0][2] = 0.0;
    J[1][0] = g_rho - y[2], J[1][1] = -1.0, J[1][2] = -y[0];
    J[2][0] = y[1], J[2][1] = y[0], J[2][2] = -8.0 / 3.0;
}

inline void rho_jacobian(double, double *y, double **P) {
    P[0][0] = 0.0;
    P[1][0] = y[0];
    P[2][0] = 0.0;
}

}  // namespace txbench
