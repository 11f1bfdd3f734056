/* The Lorenz system as a C right-hand side for Python: build it as a shared object,
 *     cc -O2 -shared -fPIC -o lorenz.so lorenz.c
 * and load it with traxis.c_function("./lorenz.so", "lorenz").  The parameters live in
 * lorenz_par, which Python reaches with ctypes: (c_double * 3).in_dll(so, "lorenz_par"). */
double lorenz_par[3] = {10.0, 28.0, 8.0 / 3.0}; /* sigma, rho, beta */

void lorenz(double t, double *y, double *f) {
    (void)t;
    f[0] = lorenz_par[0] * (y[1] - y[0]);
    f[1] = y[0] * (lorenz_par[1] - y[2]) - y[1];
    f[2] = y[0] * y[1] - lorenz_par[2] * y[2];
}
